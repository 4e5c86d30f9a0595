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

// A TV standard's line, as BT.601 gives it: samples at 13.5 MHz, their blanking, a field's
// lines (the frame has twice them and one more).
struct TvLine {
    uint32_t samples, blanking, fieldLines;
};
const TvLine* TvOf(const CrtBand& b) {
    static const TvLine ntsc = {858, 138, 262}, pal = {864, 144, 312};
    return b.standard == CrtNtsc ? &ntsc : b.standard == CrtPal ? &pal : nullptr;
}

// The broadcast total that a picture `width` wide takes on a TV band, or 0: of half the
// samples and the whole multiples of them, one within 3 % of width / (1 - blanking time x line
// rate) that leaves BT.601's blanking (in proportion); *clockHz gets its clock.
uint32_t BroadcastTotal(const CrtBand& b, uint32_t width, uint64_t* clockHz) {
    const TvLine* tv = TvOf(b);
    if (!tv)
        return 0;
    const double rate = 13.5e6 / tv->samples;
    const double natural = width / (1 - (b.hFrontUs + b.hSyncUs + b.hBackUs) * 1e-6 * rate);
    for (uint32_t halves = 1; halves * tv->samples / 2 <= 65535; halves += halves == 1 ? 1 : 2) {
        const uint32_t total = halves * tv->samples / 2;
        if (std::fabs(total - natural) <= 0.03 * natural &&
            total - width >= static_cast<double>(total) * tv->blanking / tv->samples) {
            *clockHz = 6750000ull * halves;
            return total;
        }
    }
    return 0;
}

// The sync polarities a band gives lines drawn: the vga preset's by their count.
uint32_t WantPolarities(const CrtBand& b, uint32_t drawn) {
    if (b.standard == CrtVga)
        return drawn == 350   ? RasterHSyncPositive | RasterVSyncNegative
               : drawn == 400 ? RasterHSyncNegative | RasterVSyncPositive
                              : RasterHSyncNegative | RasterVSyncNegative;
    return (b.hSyncPositive ? RasterHSyncPositive : RasterHSyncNegative) |
           (b.vSyncPositive ? RasterVSyncPositive : RasterVSyncNegative);
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
    // The card's lowest clock, after every rounding, by widening the picture whole times.
    EXPECT_GE(r.clockHz, q.minClockHz) << what << " x" << f.widthFactor;
    EXPECT_EQ(static_cast<uint64_t>(q.width) * f.widthFactor, r.hDisplay) << what;
    EXPECT_TRUE(f.widthFactor == 1 || q.minClockHz > 0) << what;
    // Inside the ranges, from the stored clock.
    const double hz = static_cast<double>(r.clockHz) / r.hTotal;
    const double refresh = CrtRasterRefresh(r);
    EXPECT_TRUE(hz >= b.hMinKHz * 1000 && hz <= b.hMaxKHz * 1000) << what << " " << hz;
    EXPECT_TRUE(refresh >= b.vMinHz && refresh <= b.vMaxHz) << what << " " << refresh;
    const double perLine = r.flags & RasterInterlace ? 0.5 : r.flags & RasterDoubleScan ? 2 : 1;
    // The polarities, by the lines drawn.
    const uint32_t polarities =
        RasterHSyncPositive | RasterHSyncNegative | RasterVSyncPositive | RasterVSyncNegative;
    const uint32_t drawn = r.flags & RasterDoubleScan ? 2 * r.vDisplay : r.vDisplay;
    EXPECT_EQ(WantPolarities(b, drawn), r.flags & polarities) << what;
    // A TV band: a broadcast line whenever one takes the width (and is fast enough), at its
    // exact clock, the sync at its time, the porches taking the rest, BT.601's blanking kept;
    // and the broadcast line totals, the one nearer the rate aimed at for progressive.
    const TvLine* tv = TvOf(b);
    uint64_t broadcastClock = 0;
    const uint32_t broadcastTotal = BroadcastTotal(b, r.hDisplay, &broadcastClock);
    const int broadcast = broadcastTotal != 0 && broadcastClock >= q.minClockHz;
    EXPECT_EQ(broadcast, f.broadcast) << what;
    if (f.broadcast) {
        EXPECT_EQ(broadcastTotal, r.hTotal) << what;
        EXPECT_EQ(broadcastClock, r.clockHz) << what;
        EXPECT_EQ(r.clockHz * tv->samples, 13500000ull * r.hTotal) << what;
        const double sync = std::floor(b.hSyncUs * 1e-6 * r.clockHz + 0.5);
        EXPECT_EQ(sync, r.hSyncEnd - r.hSyncStart) << what;
        EXPECT_GT(r.hSyncStart, r.hDisplay) << what;
        EXPECT_GT(r.hTotal, r.hSyncEnd) << what;
        EXPECT_GE((r.hTotal - r.hDisplay) * tv->samples, r.hTotal * tv->blanking) << what;
    } else {
        // Horizontal porches and sync within 10 % or one 8-pixel step.
        const uint32_t h[3] = {r.hSyncStart - r.hDisplay, r.hSyncEnd - r.hSyncStart,
                               r.hTotal - r.hSyncEnd};
        const double hUs[3] = {b.hFrontUs, b.hSyncUs, b.hBackUs};
        for (int i = 0; i < 3; ++i) {
            const Expected e = Want(hUs[i] / 1e6, static_cast<double>(r.clockHz), 8);
            EXPECT_EQ(0u, h[i] % 8) << what;
            EXPECT_LE(std::fabs(h[i] - e.value), e.slack) << what << " h" << i;
        }
    }
    if (tv) {
        const double fieldRate = 13.5e6 / tv->samples;
        const uint32_t field = tv->fieldLines;
        if (r.flags & RasterInterlace) {
            EXPECT_EQ(2 * field + 1, r.vTotal) << what;
        } else if (r.flags & RasterDoubleScan) {
            EXPECT_EQ(field / 2, r.vTotal) << what;
        } else {
            const uint32_t nearer = std::fabs(fieldRate / field - f.vRateHz) <=
                                            std::fabs(fieldRate / (field + 1) - f.vRateHz)
                                        ? field
                                        : field + 1;
            EXPECT_EQ(nearer, r.vTotal) << what;
        }
    }
    // Vertical sync likewise; the porches never shorter, longer only by the lines added.
    const Expected front = Want(b.vFrontMs / 1000, hz / perLine, 1);
    const Expected sync = Want(b.vSyncMs / 1000, hz / perLine, 1);
    const Expected back2 = Want(b.vBackMs / 1000, hz / perLine, 1);
    EXPECT_LE(std::fabs(r.vSyncEnd - r.vSyncStart - sync.value), sync.slack) << what;
    EXPECT_GE(r.vSyncStart - r.vDisplay, front.value - front.slack) << what;
    EXPECT_GE(r.vTotal - r.vSyncEnd, back2.value - back2.slack) << what;
    // The refresh: within 0.2 % of the rate aimed at, and a step of the 10 kHz clock more for
    // the narrowest pictures, whose clock of about a megahertz moves in steps of near 1 % (a TV
    // band's broadcast totals: inside its range); the rate aimed at is the request when inside.
    if (!tv) {
        const double slack = 0.002 + 10000.0 / static_cast<double>(r.clockHz);
        EXPECT_LE(std::fabs(refresh - f.vRateHz), slack * f.vRateHz) << what << " " << refresh;
    }
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

// What the grid counts of one preset's fits.
struct GridCounts {
    size_t fitted = 0, refused = 0, interlaced = 0, doubled = 0, broadcast = 0, widened = 0;
};

// One request of the grid: fitted and checked, or refused with a reason. 0 after a failure.
int GridRequest(const CrtPreset& preset, const CrtMonitor& m, const CrtRequest& q,
                GridCounts* counts) {
    const std::string what = std::string(preset.name) + " " + std::to_string(q.width) + "x" +
                             std::to_string(q.height) + "@" + std::to_string(q.refreshHz) +
                             " min " + std::to_string(q.minClockHz);
    CrtFit f{};
    CrtReason why{};
    if (!FitCrtMode(m, q, &f, &why)) {
        EXPECT_NE('\0', why.text[0]) << what;
        ++counts->refused;
        return !::testing::Test::HasFailure();
    }
    ++counts->fitted;
    counts->interlaced += (f.raster.flags & RasterInterlace) != 0;
    counts->doubled += (f.raster.flags & RasterDoubleScan) != 0;
    counts->broadcast += f.broadcast != 0;
    counts->widened += f.widthFactor > 1;
    CheckFit(m, q, f, what);
    CheckScan(m, q, f, what);
    return !::testing::Test::HasFailure();
}

// Every preset over widths 256 to 768 in steps of 64 (9), heights 192 to 600 in steps of 8 (52)
// and refreshes 49.5 to 65 Hz in steps of 0.5 (32): 10 presets x 14976 = 149760 requests. Then
// the card's lowest clock and the broadcast lines: every width from 64 to 1024 (961) with the
// lowest clocks 6, 12, 13.5, 20 and 25 MHz (5; each lets the broadcast totals through, 6.75 MHz
// the slowest) at 224 lines and 59.19 Hz, 240 at 59.94, 288 at 50, 350 at 70, 384 at 60, 400 at
// 55, 480 at 60 and 576 at 50 (8): 10 presets x 38440 = 384400 requests more.
TEST(CrtFit, EveryFitOfTheGridKeepsThePresetsFigures) {
    size_t count = 0;
    const CrtPreset* presets = CrtPresets(&count);
    ASSERT_EQ(10u, count);
    const uint64_t minClocks[] = {6000000, 12000000, 13500000, 20000000, 25000000};
    const struct {
        uint32_t height;
        double refresh;
    } pictures[] = {{224, 59.19}, {240, 59.94}, {288, 50}, {350, 70},
                    {384, 60},    {400, 55},    {480, 60}, {576, 50}};
    for (size_t p = 0; p < count; ++p) {
        const CrtMonitor m = Preset(presets[p].name);
        GridCounts grid, floor;
        for (uint32_t w = 256; w <= 768; w += 64)
            for (uint32_t h = 192; h <= 600; h += 8)
                for (double v = 49.5; v <= 65; v += 0.5)
                    if (!GridRequest(presets[p], m, CrtRequest{w, h, v, 0}, &grid))
                        return;
        for (uint32_t w = 64; w <= 1024; ++w)
            for (uint64_t clock : minClocks)
                for (const auto& picture : pictures)
                    if (!GridRequest(presets[p], m,
                                     CrtRequest{w, picture.height, picture.refresh, clock}, &floor))
                        return;
        std::printf("%-16s fitted %6zu (interlaced %5zu, double-scan %5zu, broadcast %4zu), "
                    "refused %6zu; lowest clocks: fitted %6zu (widened %6zu, broadcast %4zu)\n",
                    presets[p].name, grid.fitted, grid.interlaced, grid.doubled, grid.broadcast,
                    grid.refused, floor.fitted, floor.widened, floor.broadcast);
        EXPECT_GT(grid.fitted, 0u) << presets[p].name;
        EXPECT_GT(floor.widened, 0u) << presets[p].name;
        const int tv = m.bands[0].standard == CrtNtsc || m.bands[0].standard == CrtPal;
        EXPECT_EQ(tv, grid.broadcast > 0) << presets[p].name;
        EXPECT_EQ(tv, floor.broadcast > 0) << presets[p].name;
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
// 0.318/0.064/1.048 ms, 128-576 lines, polarities by the lines drawn.
//  320x240@60: twice 240 is in range and needs no lines added: double-scan, 120 Hz per stored
//   line, ceil(31342.5 / 120) = 262 (31.440 kHz), porch lines at half that 5.00, 1.01, 16.47 ->
//   5, 1, 16 and 240 + 22 = 262. Clock about 320 x 31440 / 0.800 = 12.573 MHz: 8.0, 47.9, 24.0
//   px -> 8, 48, 24, total 400; 400 x 31440 = 12.576 -> 12.58 MHz, 31.450 kHz, 31450 / 262 / 2
//   = 60.019 Hz. 480 lines drawn: -hsync -vsync.
// arcade_31 is 31.4-31.5 kHz, 49.5-65 Hz, 0.940/3.770/1.890 us, 0.349/0.064/1.017 ms, 400-512
// lines.
//  504x224@59.19 with a 20 MHz lowest clock (once written at 19.90 MHz): double-scan, 118.38 Hz per
//   stored line, 266 lines the one total (31.489 kHz); porch lines 5.49, 1.01, 16.01 -> 5, 1, 16,
//   20 lines added, 10 to the front. Clock about 504 x 31489 / 0.792 = 20.034 MHz, at least 20:
//   porches 18.8, 75.5, 37.9 px -> 16, 72, 40, total 632, and 632 x 31489 = 19.901 -> 19.90 MHz
//   (19.91 the other way), below 20. So twice as wide: 1008, about 40.068 MHz, porches 37.7,
//   151.1, 75.7 px -> 40, 152, 72, total 1272; 1272 x 31489 = 40.054 -> 40.05 MHz, 31.486 kHz,
//   59.184 Hz.
// pal is 15.625 kHz, 50 Hz, 1.5/4.7/5.8 us, 0.064/0.160/1.056 ms.
//  720x576@50 interlaced: 625 lines at 15625 Hz, porch lines per frame 2.0, 5.0, 33.0 -> 2, 5,
//   33, 576 + 40 and 9 added, 4 to the front. The times give 720 a total of 720 / (1 - 12 us x
//   15625) = 886.2; 864 is 2.5 % from it and leaves 144 samples of blanking: 13.5 MHz, sync
//   4.7 us = 63.45 -> 63 samples, porches 81 shared 1.5 : 5.8 -> 16.6, 64.4 -> 17, 64.
// ntsc is 15.734264 kHz, 59.94 Hz, 1.5/4.7/4.7 us, 0.191/0.191/0.953 ms.
//  720x480@59.94 interlaced: 525 lines at 59.94 x 262.5 = 15734.25 Hz, porch lines per frame
//   6.01, 6.01, 29.99 -> 6, 6, 30, 480 + 42 and 3 added, 1 to the front. 720 / (1 - 10.9 us x
//   15734.27) = 869.0; 858 is 1.3 % from it and leaves 138: 13.5 MHz, sync 63, porches 75 shared
//   1.5 : 4.7 -> 18.1, 56.9 -> 18, 57.
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
         {320, 328, 376, 400, 240, 245, 246, 262, 12580000, RasterDoubleScan | neg},
         1},
        {"arcade_31",
         {504, 224, 59.19, 20000000},
         {1008, 1048, 1200, 1272, 224, 239, 240, 266, 40050000, RasterDoubleScan | neg},
         2},
        {"pal",
         {720, 576, 50, 0},
         {720, 737, 800, 864, 576, 582, 587, 625, 13500000, RasterInterlace | neg},
         1},
        {"ntsc",
         {720, 480, 59.94, 0},
         {720, 738, 801, 858, 480, 487, 493, 525, 13500000, RasterInterlace | neg},
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

// The TV presets' totals: the broadcast line where it takes the width (its half at 6.75 MHz,
// its double at 27 MHz for a picture widened to the lowest clock), else the band's line rate;
// the broadcast line totals always, progressive the one nearer the rate aimed at (NTSC 262 gives
// 60.054 Hz, 263 59.826; PAL 312 50.080, 313 49.920).
TEST(CrtFit, TvPresetsTakeTheBroadcastTotals) {
    const struct {
        const char* preset;
        CrtRequest request;
        uint32_t hTotal, vTotal;
        uint64_t clockHz;
        int broadcast;
        uint32_t factor;
    } cases[] = {
        {"pal", {720, 576, 50, 0}, 864, 625, 13500000, 1, 1},
        {"pal", {704, 576, 50, 0}, 864, 625, 13500000, 1, 1},
        {"pal", {682, 576, 50, 0}, 864, 625, 13500000, 1, 1}, // 839.4: 2.9 % below 864
        {"pal", {681, 576, 50, 0}, 833, 625, 13020000, 0, 1}, // 838.2: 3.1 %
        {"pal", {360, 288, 50, 0}, 432, 313, 6750000, 1, 1},  // 313 lines nearer 50 Hz
        {"pal", {360, 288, 50, 13500000}, 864, 313, 13500000, 1, 2},
        {"pal", {720, 576, 50, 20000000}, 1728, 625, 27000000, 1, 2},
        {"pal", {720, 576, 50, 13510000}, 888, 625, 13880000, 0, 1}, // 13.5 MHz is too slow
        {"pal", {320, 240, 60, 0}, 392, 312, 6140000, 0, 1},         // at 50.25 Hz: 312 nearer
        {"ntsc", {720, 480, 59.94, 0}, 858, 525, 13500000, 1, 1},
        {"ntsc", {691, 480, 59.94, 0}, 858, 525, 13500000, 1, 1}, // 834.0: 2.9 % below 858
        {"ntsc", {690, 480, 59.94, 0}, 834, 525, 13120000, 0, 1},
        {"ntsc", {720, 240, 60, 0}, 858, 262, 13500000, 1, 1},
        {"ntsc", {720, 240, 59.94, 0}, 858, 263, 13500000, 1, 1},
        {"ntsc", {352, 240, 59.94, 0}, 429, 263, 6750000, 1, 1},
        {"ntsc", {640, 480, 59.94, 0}, 768, 525, 12080000, 0, 1}, // was 523 lines
    };
    for (const auto& c : cases) {
        const std::string what = std::string(c.preset) + " " + std::to_string(c.request.width) +
                                 "x" + std::to_string(c.request.height) + " min " +
                                 std::to_string(c.request.minClockHz);
        const CrtMonitor m = Preset(c.preset);
        CrtFit f{};
        CrtReason why{};
        ASSERT_EQ(1, FitCrtMode(m, c.request, &f, &why)) << what << ": " << why.text;
        EXPECT_EQ(c.hTotal, f.raster.hTotal) << what;
        EXPECT_EQ(c.vTotal, f.raster.vTotal) << what;
        EXPECT_EQ(c.clockHz, f.raster.clockHz) << what;
        EXPECT_EQ(c.broadcast, f.broadcast) << what;
        EXPECT_EQ(c.factor, f.widthFactor) << what;
        CheckFit(m, c.request, f, what);
    }
}

// The vga preset's polarities follow the lines the monitor draws (double-scan draws twice the
// stored lines); a band named vga in monitor text follows them too; monitor text that states
// polarities keeps them.
TEST(CrtFit, VgaPolaritiesByLineCount) {
    const uint32_t hPos = RasterHSyncPositive, hNeg = RasterHSyncNegative;
    const uint32_t vPos = RasterVSyncPositive, vNeg = RasterVSyncNegative;
    const std::string figures = "31.5,50-70,0.636,3.813,1.906,0.318,0.064,1.048,";
    const struct {
        std::string monitor; // a preset's name, else monitor text
        CrtRequest request;
        uint32_t polarities;
    } cases[] = {
        {"vga", {640, 350, 70, 0}, hPos | vNeg},
        {"vga", {720, 400, 70, 0}, hNeg | vPos},
        {"vga", {640, 480, 60, 0}, hNeg | vNeg},
        {"vga", {640, 384, 60, 0}, hNeg | vNeg},
        {"vga", {800, 576, 50, 0}, hNeg | vNeg},
        {"vga", {320, 175, 70, 0}, hPos | vNeg}, // double-scan: 350 drawn
        {"vga", {320, 200, 70, 0}, hNeg | vPos}, // 400 drawn
        {"vga", {320, 240, 60, 0}, hNeg | vNeg}, // 480 drawn
        {"vga;arcade_15", {640, 400, 70, 0}, hNeg | vPos},
        {figures + "0,1,128,576,0,0", {640, 480, 60, 0}, hNeg | vPos},
        {figures + "1,1,128,576,0,0", {640, 350, 70, 0}, hPos | vPos},
        {figures + "0,0,128,576,0,0", {720, 400, 70, 0}, hNeg | vNeg},
    };
    for (const auto& c : cases) {
        const std::string what = c.monitor + " " + std::to_string(c.request.width) + "x" +
                                 std::to_string(c.request.height);
        CrtMonitor m{};
        if (!FindCrtPreset(c.monitor.c_str(), &m)) {
            ASSERT_EQ(1, ParseCrtMonitor(c.monitor.data(), c.monitor.size(), &m, nullptr)) << what;
        }
        CrtFit f{};
        CrtReason why{};
        ASSERT_EQ(1, FitCrtMode(m, c.request, &f, &why)) << what << ": " << why.text;
        EXPECT_EQ(c.polarities, f.raster.flags & (hPos | hNeg | vPos | vNeg)) << what;
        CheckFit(m, c.request, f, what);
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
