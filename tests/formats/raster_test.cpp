#include "formats/raster.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// 640 x 480 at 60 Hz, the VGA raster.
Raster Vga() {
    Raster r{};
    r.hDisplay = 640, r.hSyncStart = 656, r.hSyncEnd = 752, r.hTotal = 800;
    r.vDisplay = 480, r.vSyncStart = 490, r.vSyncEnd = 492, r.vTotal = 525;
    r.clockHz = 25175000;
    r.flags = RasterHSyncNegative | RasterVSyncNegative;
    return r;
}

int Same(const Raster& r, const Raster& s) {
    return r.hDisplay == s.hDisplay && r.hSyncStart == s.hSyncStart && r.hSyncEnd == s.hSyncEnd &&
           r.hTotal == s.hTotal && r.vDisplay == s.vDisplay && r.vSyncStart == s.vSyncStart &&
           r.vSyncEnd == s.vSyncEnd && r.vTotal == s.vTotal && r.clockHz == s.clockHz &&
           r.flags == s.flags;
}

std::string Hundredths(uint64_t value) {
    char text[32];
    return FormatHundredths(value, text, sizeof text) ? text : "(refused)";
}

} // namespace

TEST(Raster, StoredWordsOfTheVgaRaster) {
    TimingBlock block{};
    const char* reason = nullptr;
    ASSERT_EQ(1, RasterToTimingBlock(Vga(), &block, &reason));
    const uint32_t expected[17] = {12,   800, 640, 656, 96, 525, 480, 490,   2,
                                   2518, 0,   0,   0,   0,  0,   0,   0xE7B4};
    for (int i = 0; i < 17; ++i)
        EXPECT_EQ(expected[i], block.words[i]) << "word " << i;

    Raster back{};
    ASSERT_EQ(1, TimingBlockToRaster(block, &back));
    Raster want = Vga();
    want.clockHz = 25180000; // the stored unit is 10 kHz
    EXPECT_TRUE(Same(want, back));
}

TEST(Raster, PolarityAndScanFlags) {
    const struct {
        uint32_t rasterFlags;
        uint32_t stored;
        uint32_t readBack;
    } cases[] = {
        {0, 0, RasterHSyncPositive | RasterVSyncPositive}, // an open polarity is stored positive
        {RasterHSyncPositive | RasterVSyncNegative, VSyncNegative,
         RasterHSyncPositive | RasterVSyncNegative},
        {RasterInterlace | RasterHSyncNegative, Interlaced | HSyncNegative,
         RasterInterlace | RasterHSyncNegative | RasterVSyncPositive},
        {RasterDoubleScan, DoubleScan,
         RasterDoubleScan | RasterHSyncPositive | RasterVSyncPositive},
    };
    for (const auto& c : cases) {
        Raster r = Vga();
        r.flags = c.rasterFlags;
        TimingBlock block{};
        ASSERT_EQ(1, RasterToTimingBlock(r, &block, nullptr));
        EXPECT_EQ(c.stored, block.words[TimingFlagsWord]);
        Raster back{};
        ASSERT_EQ(1, TimingBlockToRaster(block, &back));
        EXPECT_EQ(c.readBack, back.flags);
    }
    // Bits past the four are not flags of ours.
    TimingBlock block{};
    block.words[TimingFlagsWord] = 0xF0 | HSyncNegative;
    Raster back{};
    ASSERT_EQ(1, TimingBlockToRaster(block, &back));
    EXPECT_EQ(static_cast<uint32_t>(RasterHSyncNegative | RasterVSyncPositive), back.flags);
}

TEST(Raster, RefusesWhatWouldNotStoreOrMakesNoSense) {
    struct Case {
        const char* what;
        void (*change)(Raster&);
    } const cases[] = {
        {"sync start before display", [](Raster& r) { r.hSyncStart = 600; }},
        {"sync end before start", [](Raster& r) { r.hSyncEnd = 650; }},
        {"sync end past total", [](Raster& r) { r.vSyncEnd = 526; }},
        {"zero total", [](Raster& r) { r.vTotal = 0; }},
        {"zero display", [](Raster& r) { r.hDisplay = 0; }},
        {"zero clock", [](Raster& r) { r.clockHz = 0; }},
        {"clock rounds to 0", [](Raster& r) { r.clockHz = 4999; }},
        {"both polarities", [](Raster& r) { r.flags |= RasterHSyncPositive; }},
        {"total past the stored form", [](Raster& r) { r.hTotal = TimingWordLimit; }},
        {"clock past the stored form", [](Raster& r) { r.clockHz = 1600000000000ull; }},
        {"clock past 2^48", [](Raster& r) { r.clockHz = UINT64_MAX; }},
    };
    for (const Case& c : cases) {
        Raster r = Vga();
        c.change(r);
        TimingBlock block{};
        block.words[0] = 77;
        const char* reason = nullptr;
        EXPECT_EQ(0, RasterToTimingBlock(r, &block, &reason)) << c.what;
        EXPECT_NE(nullptr, reason) << c.what;
        EXPECT_EQ(77u, block.words[0]) << c.what << ": block untouched";
    }
    // A hand-made block whose sync end passes 32 bits does not become a raster.
    TimingBlock block{};
    block.words[HorizontalSyncStart] = UINT32_MAX;
    block.words[HorizontalSyncWidth] = 1;
    Raster r = Vga();
    EXPECT_EQ(0, TimingBlockToRaster(block, &r));
    EXPECT_EQ(640u, r.hDisplay);
}

TEST(Raster, FrequenciesAsModelinesCountThem) {
    const struct {
        uint32_t flags;
        uint32_t hTotal, vTotal;
        uint64_t clockHz;
        const char *clock, *hFreq, *vFreq;
        int whole;
    } cases[] = {
        {0, 800, 525, 25180000, "25.18", "31.48", "59.95", 1}, // 31.475 kHz rounds up
        {RasterInterlace, 800, 525, 25180000, "25.18", "31.48", "119.90", 1},
        {RasterDoubleScan, 800, 525, 25180000, "25.18", "31.48", "29.98", 1},
        {RasterInterlace | RasterDoubleScan, 800, 525, 25180000, "25.18", "31.48", "59.95", 1},
        {0, 1, 1, 1ull << 48, "281474976.71", "281474976710.66", "281474976710656.00", 1},
        {0, UINT32_MAX, UINT32_MAX, 10000, "0.01", "0.00", "0.00", 1},
        {RasterDoubleScan, UINT32_MAX, UINT32_MAX, 1ull << 48, "281474976.71", "65.54", "0.00", 1},
        {0, 0, 525, 25180000, "25.18", "0.00", "0.00", 0},
        {0, 800, 0, 25180000, "25.18", "31.48", "0.00", 0},
    };
    for (const auto& c : cases) {
        Raster r = Vga();
        r.flags = c.flags, r.hTotal = c.hTotal, r.vTotal = c.vTotal, r.clockHz = c.clockHz;
        RasterFigures f{};
        EXPECT_EQ(c.whole, ComputeRasterFigures(r, &f));
        EXPECT_EQ(c.clock, Hundredths(f.clockMHz100));
        EXPECT_EQ(c.hFreq, Hundredths(f.hFreqKHz100));
        EXPECT_EQ(c.vFreq, Hundredths(f.vFreqHz100));
    }
    Raster tooFast = Vga();
    tooFast.clockHz = (1ull << 48) + 1;
    RasterFigures f{};
    EXPECT_EQ(0, ComputeRasterFigures(tooFast, &f));
}

TEST(Raster, HundredthsText) {
    EXPECT_EQ("0.00", Hundredths(0));
    EXPECT_EQ("0.05", Hundredths(5));
    EXPECT_EQ("1234.56", Hundredths(123456));
    EXPECT_EQ("184467440737095516.15", Hundredths(UINT64_MAX));
    char text[6];
    EXPECT_EQ(0, FormatHundredths(12345, text, sizeof text)); // "123.45" needs 7 bytes
    EXPECT_EQ(1, FormatHundredths(1234, text, sizeof text));
    EXPECT_STREQ("12.34", std::string(text).c_str());
    EXPECT_EQ(0, FormatHundredths(1, nullptr, 10));
}
