#include "formats/modeline.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

int Same(const Modeline& a, const Modeline& b) {
    const Raster &r = a.raster, &s = b.raster;
    return std::strcmp(a.name, b.name) == 0 && r.hDisplay == s.hDisplay &&
           r.hSyncStart == s.hSyncStart && r.hSyncEnd == s.hSyncEnd && r.hTotal == s.hTotal &&
           r.vDisplay == s.vDisplay && r.vSyncStart == s.vSyncStart && r.vSyncEnd == s.vSyncEnd &&
           r.vTotal == s.vTotal && r.clockHz == s.clockHz && r.flags == s.flags;
}

int Parse(const std::string& text, Modeline* m, ModelineError* e = nullptr) {
    return ParseModeline(text.data(), text.size(), m, e);
}

std::string Format(const Modeline& m) {
    char text[256];
    return FormatModeline(m, text, sizeof text) ? text : "(refused)";
}

} // namespace

TEST(Modeline, AcceptedForms) {
    const struct {
        const char* text;
        const char* name;
        uint64_t clockHz;
        uint32_t flags;
    } cases[] = {
        {"Modeline \"1024x768_60.00\"   63.50  1024 1072 1176 1328  768 771 775 798 -hsync +vsync",
         "1024x768_60.00", 63500000, RasterHSyncNegative | RasterVSyncPositive},
        {"  Modeline \"1024x768_60.00\"  64.11  1024 1072 1176 1328  768 771 775 798  -HSync "
         "+Vsync\n",
         "1024x768_60.00", 64110000, RasterHSyncNegative | RasterVSyncPositive},
        {"63.5 1024 1072 1176 1328 768 771 775 798", "", 63500000, 0},
        {"MODELINE 63 1024 1072 1176 1328 768 771 775 798 Interlace DOUBLESCAN", "", 63000000,
         RasterInterlace | RasterDoubleScan},
        {"1024x768R\t56.000001\t1024 1072 1104 1184 768 771 775 790 +hsync -vsync", "1024x768R",
         56000001, RasterHSyncPositive | RasterVSyncNegative},
        {"\"\" 281474976.710656 1024 1072 1104 1184 768 771 775 790", "", 1ull << 48, 0},
    };
    for (const auto& c : cases) {
        Modeline m{};
        ModelineError e{};
        ASSERT_EQ(1, Parse(c.text, &m, &e)) << c.text << ": " << e.reason;
        EXPECT_STREQ(c.name, m.name);
        EXPECT_EQ(c.clockHz, m.raster.clockHz);
        EXPECT_EQ(c.flags, m.raster.flags);
        EXPECT_EQ(1024u, m.raster.hDisplay);
        EXPECT_EQ(768u, m.raster.vDisplay);
    }
}

TEST(Modeline, RefusedWithReasonAndPlace) {
    const char* tail = " 1024 1072 1176 1328 768 771 775 798";
    const struct {
        std::string text;
        const char* reason;
        size_t offset;
    } cases[] = {
        {"", "empty modeline", 0},
        {"Modeline", "missing clock", 8},
        {"\"x\" 63.5 1024 1072 1176 1328 768 771 775", "missing vertical total", 40},
        {std::string("63.5") + tail + " -hsync junk", "unknown flag or trailing text", 48},
        {std::string("63.5") + tail + " +csync", "unknown flag or trailing text", 41},
        {std::string("63.5") + tail + " +hsync -hsync",
         "flag repeated or sync given both polarities", 48},
        {std::string("63.5") + tail + " interlace interlace",
         "flag repeated or sync given both "
         "polarities",
         51},
        {"63.5 1024 1072 1176 4294967296 768 771 775 798", "number past 32 bits", 20},
        {"63.5 1024 1072 1176 99999999999999999999999 768 771 775 798", "number past 32 bits", 20},
        {std::string("4294967296") + tail, "number past 32 bits", 0},
        {std::string("281474976.710657") + tail, "pixel clock too large", 0},
        {std::string("63.1234567") + tail, "clock with more than six decimals", 0},
        {std::string("63.") + tail, "not a decimal number", 0},
        {std::string("-63.5") + tail, "missing vertical total", 41}, // a bare name, then too few
        {std::string("x 63.5e0") + tail, "not a decimal number", 2},
        {"63.5 1024 1072 1176 -1328 768 771 775 798", "not a whole decimal number", 20},
        {"63.5 1024 1072 1176 0x530 768 771 775 798", "not a whole decimal number", 20},
        {std::string("\"unclosed 63.5") + tail, "name without its closing quote", 0},
        {std::string("\"a\"63.5") + tail, "no space after the name", 3},
        {std::string("n\x7F 63.5") + tail, "quote or control character in the name", 1},
        {"\"" + std::string(64, 'n') + "\" 63.5" + tail, "name longer than 63 bytes", 0},
        {std::string("63.5 1024 10\0"
                     "72 1176 1328 768 771 775 798",
                     37),
         "zero byte in the text", 12},
        {"63.5 1024 1000 1176 1328 768 771 775 798",
         "horizontal numbers out of order (display, "
         "sync start, sync end, total)",
         0},
        {"0 1024 1072 1176 1328 768 771 775 798", "pixel clock is 0", 0},
    };
    for (const auto& c : cases) {
        Modeline m{};
        m.raster.hTotal = 77;
        ModelineError e{};
        EXPECT_EQ(0, Parse(c.text, &m, &e)) << c.text;
        EXPECT_STREQ(c.reason, e.reason) << c.text;
        EXPECT_EQ(c.offset, e.offset) << c.text;
        EXPECT_EQ(77u, m.raster.hTotal) << "untouched after a refusal";
    }
    EXPECT_EQ(0, ParseModeline(nullptr, 0, nullptr, nullptr));
}

TEST(Modeline, FormatsAndReadsBack) {
    const struct {
        const char* text;
        const char* formatted;
    } cases[] = {
        {"\"1024x768_60.00\" 63.5 1024 1072 1176 1328 768 771 775 798 -hsync +vsync",
         "Modeline \"1024x768_60.00\" 63.50 1024 1072 1176 1328 768 771 775 798 -hsync +vsync"},
        {"25.175 640 656 752 800 480 490 492 525 -vsync -hsync doublescan interlace",
         "Modeline \"\" 25.175 640 656 752 800 480 490 492 525 interlace doublescan -hsync -vsync"},
        {"x 0.000001 1 1 1 1 1 1 1 1", "Modeline \"x\" 0.000001 1 1 1 1 1 1 1 1"},
        {"148.500000 1920 2008 2052 2200 1080 1084 1089 1125 +HSYNC +VSYNC",
         "Modeline \"\" 148.50 1920 2008 2052 2200 1080 1084 1089 1125 +hsync +vsync"},
    };
    for (const auto& c : cases) {
        Modeline m{};
        ASSERT_EQ(1, Parse(c.text, &m)) << c.text;
        const std::string formatted = Format(m);
        EXPECT_EQ(c.formatted, formatted);
        Modeline back{};
        ASSERT_EQ(1, Parse(formatted, &back)) << formatted;
        EXPECT_TRUE(Same(m, back)) << formatted;
    }

    Modeline m{};
    ASSERT_EQ(1, Parse(cases[0].text, &m));
    char small[40];
    EXPECT_EQ(0, FormatModeline(m, small, sizeof small)); // does not fit, and says so
    std::strcpy(m.name, "a\"b");
    EXPECT_EQ("(refused)", Format(m)); // a quote could not be read back
    std::memset(m.name, 'n', sizeof m.name);
    EXPECT_EQ("(refused)", Format(m)); // no terminating zero
}
