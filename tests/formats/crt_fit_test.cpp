#include "formats/crt_fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

CrtMonitor Preset(const char* name) {
    CrtMonitor m;
    EXPECT_EQ(1, FindCrtPreset(name, &m)) << name;
    return m;
}

// The figures a time should take, in stored lines or pixels, and the slack allowed: 10 % of it
// or one step, whichever is larger.
struct Expected {
    double value, slack;
};
Expected Want(double seconds, double rate, double step) {
    const double v = seconds * rate;
    return {v, std::fmax(0.1 * v, step)};
}

// The properties every fit keeps; `what` names the case in failures.
void CheckFit(const CrtMonitor& m, const CrtRequest& q, const CrtFit& f, const std::string& what) {
    const CrtBand& b = m.bands[f.band];
    const Raster& r = f.raster;
    ASSERT_EQ(0u, r.clockHz % 10000) << what;
    TimingBlock block{};
    Raster back{};
    ASSERT_EQ(1, RasterToTimingBlock(r, &block, nullptr)) << what;
    ASSERT_EQ(1, TimingBlockToRaster(block, &back)) << what;
    EXPECT_EQ(r.clockHz, back.clockHz) << what;
    // Inside the ranges, from the stored clock.
    const double hz = static_cast<double>(r.clockHz) / r.hTotal;
    const double refresh = CrtRasterRefresh(r);
    EXPECT_TRUE(hz >= b.hMinKHz * 1000 && hz <= b.hMaxKHz * 1000) << what << " " << hz;
    EXPECT_TRUE(refresh >= b.vMinHz && refresh <= b.vMaxHz) << what << " " << refresh;
    // Horizontal porches and sync within 10 % or one 8-pixel step.
    const uint32_t h[3] = {r.hSyncStart - r.hDisplay, r.hSyncEnd - r.hSyncStart,
                           r.hTotal - r.hSyncEnd};
    const double hUs[3] = {b.hFrontUs, b.hSyncUs, b.hBackUs};
    for (int i = 0; i < 3; ++i) {
        const Expected e = Want(hUs[i] / 1e6, static_cast<double>(r.clockHz), 8);
        EXPECT_EQ(0u, h[i] % 8) << what;
        EXPECT_LE(std::fabs(h[i] - e.value), e.slack) << what << " h" << i;
    }
    // Vertical sync likewise; the porches never shorter, longer only by the lines added.
    const double perLine = r.flags & RasterInterlace ? 0.5 : r.flags & RasterDoubleScan ? 2 : 1;
    const Expected front = Want(b.vFrontMs / 1000, hz / perLine, 1);
    const Expected sync = Want(b.vSyncMs / 1000, hz / perLine, 1);
    const Expected back2 = Want(b.vBackMs / 1000, hz / perLine, 1);
    EXPECT_LE(std::fabs(r.vSyncEnd - r.vSyncStart - sync.value), sync.slack) << what;
    EXPECT_GE(r.vSyncStart - r.vDisplay, front.value - front.slack) << what;
    EXPECT_GE(r.vTotal - r.vSyncEnd, back2.value - back2.slack) << what;
    // The refresh: within 0.2 % of the rate aimed at, which is the request when it is inside.
    EXPECT_LE(std::fabs(refresh - f.vRateHz), 0.002 * f.vRateHz) << what << " " << refresh;
    if (q.refreshHz >= b.vMinHz && q.refreshHz <= b.vMaxHz)
        EXPECT_EQ(q.refreshHz, f.vRateHz) << what;
    else if (f.atLimit)
        EXPECT_TRUE(f.vRateHz == b.vMinHz || f.vRateHz == b.vMaxHz) << what;
    else
        EXPECT_EQ(0, std::fmod(f.vRateHz, q.refreshHz) > 1e-9) << what;
}

// Interlaced only when the monitor without its interlaced ranges refuses the mode, double-scan
// only when twice the lines are in the band's progressive range.
void CheckScan(const CrtMonitor& m, const CrtRequest& q, const CrtFit& f, const std::string& what) {
    const CrtBand& b = m.bands[f.band];
    if (f.raster.flags & RasterInterlace) {
        EXPECT_TRUE(q.height >= b.interMin && q.height <= b.interMax) << what;
        CrtMonitor progressiveOnly = m;
        for (size_t i = 0; i < progressiveOnly.count; ++i)
            progressiveOnly.bands[i].interMin = progressiveOnly.bands[i].interMax = 0;
        EXPECT_EQ(0, FitCrtMode(progressiveOnly, q, nullptr, nullptr)) << what;
    } else if (f.raster.flags & RasterDoubleScan) {
        EXPECT_TRUE(2 * q.height >= b.progMin && 2 * q.height <= b.progMax) << what;
    } else {
        EXPECT_TRUE(q.height >= b.progMin && q.height <= b.progMax) << what;
    }
}

} // namespace

// Every preset over widths 256 to 768 in steps of 64 (9), heights 192 to 600 in steps of 8 (52)
// and refreshes 49.5 to 65 Hz in steps of 0.5 (32): 10 presets x 14976 = 149760 requests.
TEST(CrtFit, EveryFitOfTheGridKeepsThePresetsFigures) {
    size_t count = 0;
    const CrtPreset* presets = CrtPresets(&count);
    ASSERT_EQ(10u, count);
    for (size_t p = 0; p < count; ++p) {
        const CrtMonitor m = Preset(presets[p].name);
        size_t fitted = 0, refused = 0, interlaced = 0, doubled = 0;
        for (uint32_t w = 256; w <= 768; w += 64) {
            for (uint32_t h = 192; h <= 600; h += 8) {
                for (double v = 49.5; v <= 65; v += 0.5) {
                    const CrtRequest q = {w, h, v, 0};
                    const std::string what = std::string(presets[p].name) + " " +
                                             std::to_string(w) + "x" + std::to_string(h) + "@" +
                                             std::to_string(v);
                    CrtFit f{};
                    CrtReason why{};
                    if (!FitCrtMode(m, q, &f, &why)) {
                        EXPECT_NE('\0', why.text[0]) << what;
                        ++refused;
                        continue;
                    }
                    ++fitted;
                    interlaced += (f.raster.flags & RasterInterlace) != 0;
                    doubled += (f.raster.flags & RasterDoubleScan) != 0;
                    CheckFit(m, q, f, what);
                    CheckScan(m, q, f, what);
                    if (HasFailure())
                        return;
                }
            }
        }
        std::printf("%-16s fitted %6zu (interlaced %5zu, double-scan %5zu), refused %6zu\n",
                    presets[p].name, fitted, interlaced, doubled, refused);
        EXPECT_GT(fitted, 0u) << presets[p].name;
    }
}

// Worked by hand. arcade_15 is 15.625-16.2 kHz, 49.5-65 Hz, porches 2.0/4.7/8.0 us and
// 0.064/0.192/1.024 ms.
//  320x240@60: totals from ceil(15625 / 60) = 261 lines (15.660 kHz); porch lines 1.00, 3.01,
//   16.04 -> 1, 3, 16, so 240 + 20 = 260 and one line added (to the back porch). The line's
//   blanking is 14.7 us x 15660 = 23.0 %, so the clock is about 320 x 15660 / 0.770 = 6.510 MHz:
//   porches 13.0, 30.6, 52.1 px -> 16, 32, 56 and a total of 424; 424 x 15660 = 6.640 MHz in
//   10 kHz, giving 15.6604 kHz and 15660.4 / 261 = 60.001 Hz.
//  640x480@60 needs the interlaced range: odd totals from 15625 / 30 -> 521 (15.630 kHz per
//   frame of two fields); porch lines per frame 2 x (1.00, 3.00, 16.01) -> 2, 6, 32, so 480 + 40
//   = 520 and one added. Clock about 640 x 15630 / 0.770 = 12.987 MHz: 26.0, 61.0, 103.9 px ->
//   24, 64, 104, total 832; 832 x 15630 = 13.004 MHz -> 13.00 MHz, 15.625 kHz exactly,
//   2 x 15625 / 521 = 59.981 Hz.
//  320x240@60 with a 25 MHz lowest clock: 6.510 MHz x 4 passes it, so 1280 wide; porches 52.1,
//   122.4, 208.3 px -> 56, 120, 208, total 1664; 1664 x 15660 = 26.058 -> 26.06 MHz, 15.661 kHz,
//   60.004 Hz.
//  320x240@25: 25 Hz is below the range, 2 x 25 = 50 Hz inside; ceil(15625 / 50) = 313 lines,
//   240 + 20 used and 53 added, 26 to the front: sync at 267. 424 x 15650 = 6.6356 -> 6.64 MHz,
//   15660.4 / 313 = 50.033 Hz.
// vga is 31.5 kHz (+-0.5 %: 31.3425-31.6575), 50-70 Hz, 0.636/3.813/1.906 us,
// 0.318/0.064/1.048 ms, -hsync +vsync, 128-576 lines.
//  320x240@60: twice 240 is in range and needs no lines added: double-scan, 120 Hz per stored
//   line, ceil(31342.5 / 120) = 262 (31.440 kHz), porch lines at half that 5.00, 1.01, 16.47 ->
//   5, 1, 16 and 240 + 22 = 262. Clock about 320 x 31440 / 0.800 = 12.573 MHz: 8.0, 47.9, 24.0
//   px -> 8, 48, 24, total 400; 400 x 31440 = 12.576 -> 12.58 MHz, 31.450 kHz, 31450 / 262 / 2
//   = 60.019 Hz.
TEST(CrtFit, WorkedExamples) {
    const uint32_t neg = RasterHSyncNegative | RasterVSyncNegative;
    const struct {
        const char* preset;
        CrtRequest request;
        Raster raster;
        uint32_t factor;
    } cases[] = {
        {"arcade_15", {320, 240, 60, 0}, {320, 336, 368, 424, 240, 241, 244, 261, 6640000, neg}, 1},
        {"arcade_15",
         {640, 480, 60, 0},
         {640, 664, 728, 832, 480, 482, 488, 521, 13000000, neg | RasterInterlace},
         1},
        {"arcade_15",
         {320, 240, 60, 25000000},
         {1280, 1336, 1456, 1664, 240, 241, 244, 261, 26060000, neg},
         4},
        {"arcade_15", {320, 240, 25, 0}, {320, 336, 368, 424, 240, 267, 270, 313, 6640000, neg}, 1},
        {"vga",
         {320, 240, 60, 0},
         {320, 328, 376, 400, 240, 245, 246, 262, 12580000,
          RasterDoubleScan | RasterHSyncNegative | RasterVSyncPositive},
         1},
    };
    for (const auto& c : cases) {
        CrtFit f{};
        CrtReason why{};
        ASSERT_EQ(1, FitCrtMode(Preset(c.preset), c.request, &f, &why)) << why.text;
        const Raster& r = f.raster;
        const Raster& e = c.raster;
        EXPECT_TRUE(r.hDisplay == e.hDisplay && r.hSyncStart == e.hSyncStart &&
                    r.hSyncEnd == e.hSyncEnd && r.hTotal == e.hTotal && r.vDisplay == e.vDisplay &&
                    r.vSyncStart == e.vSyncStart && r.vSyncEnd == e.vSyncEnd &&
                    r.vTotal == e.vTotal && r.clockHz == e.clockHz && r.flags == e.flags)
            << c.preset << " " << c.request.width << "x" << c.request.height;
        EXPECT_EQ(c.factor, f.widthFactor);
    }
}

// Refusals name the limit that stops the mode.
TEST(CrtFit, RefusalsNameTheLimit) {
    const struct {
        const char* preset;
        CrtRequest request;
        const char* reason;
    } cases[] = {
        {"arcade_15",
         {320, 300, 60, 0},
         "300 lines are outside the monitor's 192-288 progressive and 448-576 interlaced lines"},
        {"arcade_31",
         {320, 600, 60, 0},
         "600 lines are outside the monitor's 400-512 "
         "progressive lines"},
        // 65 Hz is the nearest limit; 240 lines and their porches need more than 16.2 kHz.
        {"arcade_15",
         {320, 240, 120, 0},
         "240 lines at 65.000 Hz need 17.016 kHz, above the monitor's top of 16.200 kHz"},
        {"arcade_15", {0, 240, 60, 0}, "width and height must be 1 to 65535, refresh 1 to 1000 Hz"},
        // 320 wide would need more than 65535 pixels to reach the lowest clock.
        {"arcade_15",
         {320, 240, 60, 2000000000},
         "the 10 kHz pixel clock cannot keep 320x240 at "
         "60.000 Hz inside the monitor's ranges"},
    };
    for (const auto& c : cases) {
        CrtReason why{};
        EXPECT_EQ(0, FitCrtMode(Preset(c.preset), c.request, nullptr, &why));
        EXPECT_STREQ(c.reason, why.text);
    }
}

TEST(CrtFit, MonitorText) {
    const std::string ok = "2.0,4.7,8.0,0.064,0.192,1.024,0,0,192,288,448,576";
    const struct {
        std::string text;
        int accepted;
        size_t bands;
    } cases[] = {
        {"15.625-16.2,49.5-65," + ok, 1, 1},
        {"15.62500000000000000-16.2,49.5-65," + ok, 1, 1},  // 19 digits
        {"15.625000000000000000-16.2,49.5-65," + ok, 0, 0}, // 20
        {" 15.625 , 50 ," + ok, 1, 1},
        {"15.625-16.2,49.5-65," + ok + ";31.4-31.5,50-65," + ok, 1, 2},
        {"15.625-16.2,49.5-65,2.0,4.7,8.0,0.064,0.192,1.024,1,0,192,288,0,0", 1, 1},
        {"15.625-16.2,49.5-65,2.0,4.7,8.0,0.064,0.192,1.024,0,0,192,288,448", 0, 0},
        {"13-16.2,49.5-65," + ok, 0, 0},      // below 14 kHz
        {"15-541,49.5-65," + ok, 0, 0},       // above 540 kHz
        {"15.625-16.2,39-65," + ok, 0, 0},    // below 40 Hz
        {"15.625-16.2,49.5-201," + ok, 0, 0}, // above 200 Hz
        {"16.2-15.625,49.5-65," + ok, 0, 0},  // a range upside down
        {"15.625-16.2,49.5-65,0,4.7,8.0,0.064,0.192,1.024,0,0,192,288,448,576", 0, 0},
        {"15.625-16.2,49.5-65,20,20,22,0.064,0.192,1.024,0,0,192,288,448,576", 0, 0}, // > a line
        {"15.625-16.2,49.5-65,2.0,4.7,8.0,5,5,6,0,0,192,288,448,576", 0, 0},          // > a frame
        {"15.625-16.2,49.5-65,2.0,4.7,8.0,0.064,0.192,1.024,0,0,64,127,0,0", 0, 0},
        {"15.625-16.2,49.5-65,2.0,4.7,8.0,0.064,0.192,1.024,0,0,192,288,576,448", 0, 0},
        {"15.625-16.2,49.5-65,2.0,4.7,8.0,0.064,0.192,1.024,2,0,192,288,448,576", 0, 0},
        {"15.625-16.2,49.5-65,2.0,4.7,8.0,0.064,0.192,1.024,0,0,192.5,288,448,576", 0, 0},
        {"15.625-16.2,49.5-65,2e0,4.7,8.0,0.064,0.192,1.024,0,0,192,288,448,576", 0, 0},
        {"15.625-16.2,49.5-65," + ok + ";", 0, 0},
        {std::string(100000, '1') + ",49.5-65," + ok, 0, 0},
        {std::string("15.625-16.2\0,49.5-65,", 21) + ok, 0, 0},    // a zero byte inside
        {"15.625-16.2,49.5-65," + ok + std::string(8, ';'), 0, 0}, // nine bands
    };
    for (const auto& c : cases) {
        CrtMonitor m{};
        const char* why = nullptr;
        EXPECT_EQ(c.accepted, ParseCrtMonitor(c.text.data(), c.text.size(), &m, &why))
            << c.text.substr(0, 80);
        if (c.accepted)
            EXPECT_EQ(c.bands, m.count);
        else
            EXPECT_NE(nullptr, why);
    }
}
