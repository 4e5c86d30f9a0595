// The EDID reader against edid-decode, on base blocks built here with their checksum: what each
// reads of the range limits, the maximum clock, the name and the detailed timing must be what
// edid-decode prints, and a block that edid-decode finds faulty must be refused. Skipped, saying
// why, where edid-decode is not installed (Debian package edid-decode). Then the setup file's
// mode values.
#include "formats/edid.h"
#include "formats/monitor_limits.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

using Bytes = std::vector<uint8_t>;

// An 18-byte text descriptor.
void PutText(Bytes& b, size_t at, uint8_t tag, const std::string& text) {
    b[at + 3] = tag;
    for (size_t i = 0; i < 13; ++i)
        b[at + 5 + i] = i < text.size() ? text[i] : i == text.size() ? 0x0A : 0x20;
}

// 1024x768 at 85 Hz, a CRT's.
const Bytes Crt = {0xEA, 0x24, 0x00, 0x60, 0x41, 0x00, 0x28, 0x30, 0x30,
                   0x60, 0x13, 0x00, 0x40, 0x2C, 0x11, 0x00, 0x00, 0x1E};
// 1920x1080i at 60 Hz: 74.25 MHz, 1920/280/88/44, 540/22/2/5 per field, interlaced, +h +v.
const Bytes Interlaced1080 = {0x01, 0x1D, 0x80, 0x18, 0x71, 0x1C, 0x16, 0x20, 0x58,
                              0x2C, 0x25, 0x00, 0x40, 0x2C, 0x11, 0x00, 0x00, 0x9E};

// A CRT's base block: `dtd` as its detailed timing, a name, a serial text and, unless `range` is
// empty, a range limits descriptor whose bytes 4..17 are `range`.
Bytes Block(uint8_t revision, const Bytes& range, const Bytes& dtd = Crt) {
    Bytes b(128, 0);
    const uint8_t head[] = {0,    0xFF,     0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0,  0x59,
                            0x8D, 0xA5,     0x06, 0x39, 0x30, 0,    0,    10, 11,
                            1,    revision, 0x0E, 32,   24,   0x78, 0xEA};
    std::copy(std::begin(head), std::end(head), b.begin());
    b[35] = 0x21;
    b[36] = 0x08;
    for (size_t i = 38; i < 54; ++i)
        b[i] = 1;
    b[38] = 1024 / 8 - 31;
    b[39] = 0x40 | 25;
    std::copy(dtd.begin(), dtd.end(), b.begin() + 54);
    PutText(b, 90, 0xFC, "VLM CRT 17");
    PutText(b, 108, 0xFF, "A1B2C3");
    if (!range.empty()) {
        b[75] = 0xFD;
        std::copy(range.begin(), range.end(), b.begin() + 76);
    }
    uint32_t sum = 0;
    for (size_t i = 0; i < 127; ++i)
        sum += b[i];
    b[127] = static_cast<uint8_t>(-sum);
    return b;
}

const Bytes Gtf = {0, 50, 120, 30, 83, 14, 0, 0x0A, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20};
const Bytes RangeOnly = {0, 56, 76, 31, 69, 11, 1, 0x0A, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20};
const Bytes Secondary = {0, 50, 160, 30, 96, 24, 2, 0, 40, 80, 0x58, 0x02, 128, 40};
const Bytes Cvt = {0, 48, 144, 30, 160, 33, 4, 0x11, (3 << 2) | 1, 0x40, 0x90, 0x38, 0x10, 75};
const Bytes Offsets = {0x0E, 10, 20, 5, 10, 60, 4, 0x11, 0x0C, 0, 0x90, 0x18, 0x10, 60};
const Bytes AllOffsets = {0x0F, 1, 2, 3, 4, 50, 1, 0x0A, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20};
// The reserved code 01: vertically alone, then horizontally beside the vertical maximum's 10.
const Bytes ReservedV = {0x01, 50, 100, 30, 83, 14, 1, 0x0A, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20};
const Bytes ReservedH = {0x06, 50, 100, 30, 83, 14, 1, 0x0A, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20};

#ifndef _WIN32
struct Case {
    const char* what;
    Bytes block;
    const char* modes; // the setup file's value beside the EDID, or null
};

std::vector<Case> Cases() {
    Bytes badSum = Block(3, Gtf);
    badSum[127] ^= 1;
    Bytes badHeader = Block(3, Gtf);
    badHeader[0] = 1;
    Bytes shortBlock = Block(3, Gtf);
    shortBlock.resize(100);
    return {{"1.3 GTF", Block(3, Gtf), nullptr},
            {"1.3 range only", Block(3, RangeOnly), nullptr},
            {"1.3 secondary GTF", Block(3, Secondary), nullptr},
            {"1.4 CVT", Block(4, Cvt), nullptr},
            {"1.4 offsets", Block(4, Offsets), nullptr},
            {"1.4 all offsets", Block(4, AllOffsets), nullptr},
            {"1.4 reserved vertical offset", Block(4, ReservedV), nullptr},
            {"1.4 reserved horizontal offset", Block(4, ReservedH), nullptr},
            {"1.3 interlaced 1080i", Block(3, Gtf, Interlaced1080), nullptr},
            {"no range limits", Block(3, {}, Crt), "30-70,50-120"},
            {"bad checksum", badSum, nullptr},
            {"bad header", badHeader, nullptr},
            {"short block", shortBlock, nullptr},
            {"short block beside MODES", shortBlock, "30-70,50-120,+,+"}};
}

// edid-decode's whole output for the bytes; "" when it is not installed.
std::string Decode(const Bytes& block) {
    char path[] = "/tmp/velmora-edid-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0)
        return "";
    const int written = write(fd, block.data(), block.size()) == static_cast<ssize_t>(block.size());
    close(fd);
    std::string out;
    FILE* pipe = written ? popen(("edid-decode " + std::string(path) + " 2>&1").c_str(), "r") : 0;
    char line[512];
    while (pipe && std::fgets(line, sizeof line, pipe))
        out += line;
    if (pipe)
        pclose(pipe);
    unlink(path);
    return out;
}

int HaveDecoder() {
    return std::system("command -v edid-decode >/dev/null 2>&1") == 0;
}

// The text after `label` up to the line's end, or "" when edid-decode printed no such line.
std::string After(const std::string& out, const std::string& label) {
    const size_t at = out.find(label);
    if (at == std::string::npos)
        return "";
    const size_t start = at + label.size();
    return out.substr(start, out.find('\n', start) - start);
}

// What we read, in edid-decode's words.
std::string Ranges(const EdidRangeLimits& r) {
    char text[160];
    std::snprintf(text, sizeof text, "%u-%u Hz V, %u-%u kHz H, max dotclock %u MHz", r.vMinHz,
                  r.vMaxHz, r.hMinKHz, r.hMaxKHz, r.maxClockMHz);
    return text;
}

// The limits that timings are held to, in edid-decode's words; "none" for a range left out.
std::string LimitsWords(const MonitorLimits& l) {
    char text[160];
    std::snprintf(text, sizeof text, "%llu-%llu Hz V, %llu-%llu kHz H",
                  static_cast<unsigned long long>(l.vMin100 / 100),
                  static_cast<unsigned long long>(l.vMax100 / 100),
                  static_cast<unsigned long long>(l.hMin100 / 100),
                  static_cast<unsigned long long>(l.hMax100 / 100));
    return l.haveH && l.haveV ? text : "none";
}

// The stored fields (per field when interlaced, as edid-decode gives them), then the frame with
// its rates as X counts them, as edid-decode gives it in its DTD line.
std::string Timing(const EdidDetailedTiming& t) {
    RasterFigures f;
    ComputeRasterFigures(t.raster, &f);
    char text[240];
    std::snprintf(text, sizeof text,
                  "%.6f MHz Hfront %u Hsync %u Hback %u Vfront %u Vsync %u Vback %u; "
                  "%ux%u%s %.2f Hz %.2f kHz",
                  t.clock10kHz / 100.0, t.hSyncOffset, t.hSyncWidth,
                  t.hBlank - t.hSyncOffset - t.hSyncWidth, t.vSyncOffset, t.vSyncWidth,
                  t.vBlank - t.vSyncOffset - t.vSyncWidth, t.raster.hDisplay, t.raster.vDisplay,
                  t.raster.flags & RasterInterlace ? "i" : "", f.vFreqHz100 / 100.0,
                  f.hFreqKHz100 / 100.0);
    return text;
}

// The same from edid-decode's DTD lines ("1920x1080i  60.000000 Hz  16:9  33.750 kHz ...").
std::string DecodedTiming(const std::string& out) {
    unsigned w, h, hf, hs, hb, vf, vs, vb;
    int used = 0;
    double hz, khz, mhz;
    char ratio[16];
    const std::string dtd = After(out, "DTD 1:");
    if (std::sscanf(dtd.c_str(), "%ux%u%n", &w, &h, &used) != 2)
        return "";
    const int interlaced = dtd[used] == 'i';
    if (std::sscanf(dtd.c_str() + used + interlaced, "%lf Hz %15s %lf kHz %lf MHz", &hz, ratio,
                    &khz, &mhz) != 4 ||
        std::sscanf(After(out, "Hfront").c_str(), "%u Hsync %u Hback %u", &hf, &hs, &hb) != 3 ||
        std::sscanf(After(out, "Vfront").c_str(), "%u Vsync %u Vback %u", &vf, &vs, &vb) != 3)
        return "";
    char text[240];
    std::snprintf(text, sizeof text,
                  "%.6f MHz Hfront %u Hsync %u Hback %u Vfront %u Vsync %u Vback %u; "
                  "%ux%u%s %.2f Hz %.2f kHz",
                  mhz, hf, hs, hb, vf, vs, vb, w, h, interlaced ? "i" : "", hz, khz);
    return text;
}

#endif

} // namespace

#ifndef _WIN32
TEST(EdidReader, AgreesWithEdidDecode) {
    if (!HaveDecoder())
        GTEST_SKIP() << "edid-decode is not installed (Debian package edid-decode)";
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.what);
        const std::string out = Decode(c.block);
        EdidInfo info;
        const char* reason = nullptr;
        const int read = ReadEdid(c.block.data(), c.block.size(), &info, &reason);
        const int faulty = out.find("should be") != std::string::npos ||
                           out.find("Block 0, Base EDID") == std::string::npos;
        EXPECT_EQ(!faulty, read) << out;
        // The limits held to: the EDID's when it reads, the setup file's when it does not.
        MonitorLimits setup{}, limits{};
        const int haveSetup =
            c.modes && ParseSetupModeValue(c.modes, std::string(c.modes).size(), &setup);
        const int origin = ChooseLimits(read ? &info : nullptr, haveSetup, setup, &limits);
        if (!read) {
            EXPECT_NE(nullptr, reason);
            EXPECT_EQ(0u, info.range.present);
            EXPECT_EQ(c.modes ? LimitsOfSetupFile : LimitsUnknown, origin);
            EXPECT_EQ(c.modes ? "50-120 Hz V, 30-70 kHz H" : "none", LimitsWords(limits));
            continue;
        }
        const size_t kind = out.find("Monitor ranges (");
        EXPECT_EQ(kind != std::string::npos, info.range.present != 0);
        EXPECT_EQ(info.range.present ? LimitsOfEdid : LimitsUnknown, origin);
        if (info.range.present) {
            EXPECT_EQ(After(out, "): "), Ranges(info.range)) << out;
            const std::string words = After(out, "): ");
            EXPECT_EQ(words.substr(0, words.find(", max")), LimitsWords(limits));
        }
        const std::string real = After(out, "Real max dotclock: ");
        if (!real.empty()) {
            EXPECT_EQ(std::strtod(real.c_str(), nullptr) * 1000, info.range.maxClockKHz);
        }
        const std::string pixels = After(out, "Max active pixels per line: ");
        if (!pixels.empty()) {
            EXPECT_EQ(std::strtoul(pixels.c_str(), nullptr, 10), info.range.cvtMaxActivePixels);
        }
        EXPECT_EQ(After(out, "Display Product Name: "), "'" + std::string(info.name) + "'");
        EXPECT_EQ(After(out, "Display Product Serial Number: "),
                  "'" + std::string(info.serial) + "'");
        ASSERT_EQ(1u, info.detailedCount);
        EXPECT_EQ(DecodedTiming(out), Timing(info.detailed[0])) << out;
    }
}

#endif

// Fields that edid-decode prints in words of its own, checked once by hand.
TEST(EdidReader, ReadsIdentityModesAndCurveFields) {
    EdidInfo info;
    const Bytes cvt = Block(4, Cvt);
    ASSERT_EQ(1, ReadEdid(cvt.data(), cvt.size(), &info, nullptr));
    EXPECT_STREQ("VLM", info.manufacturer);
    EXPECT_EQ(0x06A5u, info.product);
    EXPECT_EQ(12345u, info.serialNumber);
    EXPECT_EQ(2001u, info.year);
    EXPECT_EQ(329250u, info.range.maxClockKHz);
    EXPECT_EQ(75u, info.range.cvtPreferredHz);
    // Established: 640x480@60, 800x600@60, 1024x768@60. Standard: 1024x768@85.
    EXPECT_EQ((1u << 2) | (1u << 7) | (1u << 12), info.established);
    ASSERT_EQ(1u, info.standardCount);
    EXPECT_EQ(768u, info.standard[0].height);
    EXPECT_EQ(85u, info.standard[0].refresh);
    EXPECT_EQ(static_cast<uint32_t>(RasterHSyncPositive | RasterVSyncPositive),
              info.detailed[0].raster.flags);
    const Bytes secondary = Block(3, Secondary);
    ASSERT_EQ(1, ReadEdid(secondary.data(), secondary.size(), &info, nullptr));
    EXPECT_EQ(80u, info.range.gtfStartKHz);
    EXPECT_EQ(600u, info.range.gtfM);
    // Byte 4 is reserved before revision 4: no offsets there.
    const Bytes early = Block(3, AllOffsets);
    ASSERT_EQ(1, ReadEdid(early.data(), early.size(), &info, nullptr));
    EXPECT_EQ(4u, info.range.hMaxKHz);
    MonitorLimits limits;
    EXPECT_EQ(1, LimitsFromEdid(info, &limits));
    EXPECT_EQ(400u, limits.hMax100);
    EXPECT_EQ(50000u, limits.clock100);
}

TEST(SetupModeValue, ReadsRangesAsDecimalsAndIgnoresPolarities) {
    const struct {
        const char* text;
        int read;
        int haveV;
        uint64_t hMin, hMax, vMin, vMax;
    } cases[] = {
        {"27.0-106.0,55.0-160.0,+,+", 1, 1, 2700, 10600, 5500, 16000},
        {"31.5-64.3,50-90", 1, 1, 3150, 6430, 5000, 9000},
        {"82.0", 1, 0, 0, 8200, 0, 0},
        {"30-70,-,+", 1, 0, 3000, 7000, 0, 0},
        {" 30 - 70 , 50 - 120 , - , - ", 1, 1, 3000, 7000, 5000, 12000},
        {"31.469-64.999", 1, 0, 3146, 6500, 0, 0},
        {"15.625-16.2,49.5-60.001,+,-", 1, 1, 1562, 1620, 4950, 6001},
        {"70-30", 0, 0, 0, 0, 0, 0},
        {"30-70,50", 0, 0, 0, 0, 0, 0},
        {"30-70,+,+,+", 0, 0, 0, 0, 0, 0},
        {"30-70,x", 0, 0, 0, 0, 0, 0},
        {"", 0, 0, 0, 0, 0, 0},
        {"99999999999-1", 0, 0, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        MonitorLimits limits{};
        ASSERT_EQ(c.read, ParseSetupModeValue(c.text, std::string(c.text).size(), &limits));
        if (!c.read)
            continue;
        EXPECT_EQ(c.haveV, limits.haveV);
        EXPECT_EQ(c.hMin, limits.hMin100);
        EXPECT_EQ(c.hMax, limits.hMax100);
        EXPECT_EQ(c.vMin, limits.vMin100);
        EXPECT_EQ(c.vMax, limits.vMax100);
        EXPECT_EQ(0, limits.haveClock);
    }
    // Two modes of one monitor: the envelope of both.
    MonitorLimits a{}, b{};
    ASSERT_EQ(1, ParseSetupModeValue("30-70,50-100", 12, &a));
    ASSERT_EQ(1, ParseSetupModeValue("31-82,55-120", 12, &b));
    WidenLimits(&a, b);
    EXPECT_EQ(3000u, a.hMin100);
    EXPECT_EQ(8200u, a.hMax100);
    EXPECT_EQ(12000u, a.vMax100);
}
