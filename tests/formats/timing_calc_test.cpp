// The calculators against the X tools that compute the same formulas: `cvt` (normal and reduced
// blanking) and `gtf` run over a sweep of modes, and every number must equal theirs, the pixel
// clock rounded to 10 kHz. The tools are found on PATH, in $VELMORA_ORACLE_DIR, or in
// build/oracle/usr/bin; the test fails, saying which package to install, when one is missing.
#include "formats/modeline.h"
#include "formats/timing_calc.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

std::string FindTool(const char* tool) {
    std::vector<std::string> folders;
    if (const char* dir = std::getenv("VELMORA_ORACLE_DIR"))
        folders.push_back(dir);
    if (const char* path = std::getenv("PATH")) {
        std::string p = path;
        size_t start = 0;
        for (size_t colon; (colon = p.find(':', start)) != std::string::npos; start = colon + 1)
            folders.push_back(p.substr(start, colon - start));
        folders.push_back(p.substr(start));
    }
    folders.push_back(VELMORA_SOURCE_DIR "/build/oracle/usr/bin");
    for (const std::string& folder : folders) {
        std::string candidate = folder + "/" + tool;
        struct stat st;
        if (!folder.empty() && stat(candidate.c_str(), &st) == 0 && (st.st_mode & S_IXUSR))
            return candidate;
    }
    return "";
}

// Runs the tool and parses the modeline it prints: 1 when it printed one that CheckRaster
// accepts, 0 when it printed none or an unusable one (gtf gives sync before the display's end
// for the smallest modes at 50 Hz).
int RunTool(const std::string& command, Modeline* m) {
    *m = Modeline{};
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe)
        return 0;
    int parsed = 0;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
        std::string text = line;
        ModelineError error{};
        if (text.find("Modeline") != std::string::npos)
            parsed = ParseModeline(text.data(), text.size(), m, &error);
    }
    pclose(pipe);
    return parsed;
}

std::string Numbers(const Raster& r, uint64_t clock10kHz) {
    char text[200];
    std::snprintf(text, sizeof text, "%u %u %u %u  %u %u %u %u  clock %llu x 10 kHz  flags %u",
                  r.hDisplay, r.hSyncStart, r.hSyncEnd, r.hTotal, r.vDisplay, r.vSyncStart,
                  r.vSyncEnd, r.vTotal, static_cast<unsigned long long>(clock10kHz), r.flags);
    return text;
}

} // namespace

TEST(TimingCalcOracle, MatchesCvtAndGtf) {
    const std::string cvt = FindTool("cvt");
    const std::string gtf = FindTool("gtf");
    ASSERT_FALSE(cvt.empty()) << "`cvt` not found: install the Debian package xcvt";
    ASSERT_FALSE(gtf.empty()) << "`gtf` not found: install the Debian package xserver-xorg-core "
                                 "(or unpack it into build/oracle)";

    // Common sizes of every aspect ratio, plus widths off the 8-pixel cell (rounded up by CVT,
    // to the nearest even cell by GTF), ratios the X tool does not take (1368 x 770, 648 x 405,
    // 1280 x 768) and the 1360 x 768 case.
    const uint32_t sizes[][2] = {
        {640, 400},   {640, 480},   {720, 400},   {720, 480},   {720, 576},   {800, 600},
        {832, 624},   {848, 480},   {960, 600},   {960, 720},   {1024, 600},  {1024, 640},
        {1024, 768},  {1152, 720},  {1152, 864},  {1152, 870},  {1200, 900},  {1280, 720},
        {1280, 768},  {1280, 800},  {1280, 960},  {1280, 1024}, {1360, 768},  {1366, 768},
        {1368, 770},  {1400, 1050}, {1440, 900},  {1440, 1080}, {1600, 900},  {1600, 1024},
        {1600, 1200}, {1680, 1050}, {1792, 1344}, {1856, 1392}, {1920, 1080}, {1920, 1200},
        {1920, 1440}, {2048, 1152}, {2048, 1280}, {2048, 1536}, {1012, 759},  {1017, 768},
        {1020, 765},  {1355, 768},  {643, 401},   {2044, 1533}, {648, 405},   {1200, 720}};
    const uint32_t rates[] = {50, 56, 60, 67, 72, 75, 85, 100, 120, 144, 160};

    struct Method {
        const char* label;
        const std::string* tool;
        const char* option;
        int reduced; // -1 GTF, 0 CVT, 1 CVT reduced blanking
    } const methods[] = {{"gtf", &gtf, "", -1}, {"cvt", &cvt, "", 0}, {"cvt -r", &cvt, "-r ", 1}};

    // Modes whose exact figures land on a rounding edge, where single precision decides.
    const uint32_t edges[][3] = {
        {640, 1181, 96},  {728, 1181, 96},  {1080, 1252, 96}, {1432, 897, 160}, {640, 1181, 120},
        {1017, 768, 123}, {1152, 720, 141}, {1920, 1200, 97}, {1696, 1039, 61}, {1080, 400, 103}};
    std::vector<std::vector<uint32_t>> modes;
    for (const auto& size : sizes)
        for (uint32_t rate : rates)
            modes.push_back({size[0], size[1], rate});
    for (const auto& edge : edges)
        modes.push_back({edge[0], edge[1], edge[2]});

    int compared = 0, differing = 0, unusable = 0;
    for (const Method& method : methods) {
        for (const auto& mode : modes) {
            if (method.reduced == 1 && mode[2] % 60 != 0)
                continue; // the tool takes only multiples of 60 Hz, and so do we
            const std::string args = std::to_string(mode[0]) + " " + std::to_string(mode[1]) + " " +
                                     std::to_string(mode[2]);
            Modeline theirs{};
            const int usable = RunTool(*method.tool + " " + method.option + args, &theirs);
            Raster ours{};
            const char* reason = nullptr;
            const int made =
                method.reduced < 0
                    ? ComputeGtfRaster(mode[0], mode[1], mode[2], &ours, &reason)
                    : ComputeCvtRaster(mode[0], mode[1], mode[2], method.reduced, &ours, &reason);
            ++compared;
            if (!usable && !made) {
                ++unusable;
                continue;
            }
            const std::string want =
                usable ? Numbers(theirs.raster, ClockTo10kHz(theirs.raster.clockHz))
                       : std::string("no usable modeline");
            const std::string got = made ? Numbers(ours, ClockTo10kHz(ours.clockHz))
                                         : std::string("refused: ") + reason;
            if (want != got) {
                ++differing;
                ADD_FAILURE() << method.label << " " << args << "\n  theirs " << want
                              << "\n  ours   " << got;
            }
        }
    }
    EXPECT_EQ(0, differing);
    EXPECT_GE(compared - unusable, 300);
    std::printf("compared %d modes with cvt, cvt -r and gtf: %d differ, %d unusable from both\n",
                compared, differing, unusable);
}

TEST(TimingCalcOracle, RefusesWhatTheFormulasCannotGive) {
    Raster r{};
    const char* reason = nullptr;
    EXPECT_EQ(0, ComputeCvtRaster(1024, 768, 75, 1, &r, &reason)); // reduced: 60 Hz multiples
    EXPECT_EQ(0, ComputeCvtRaster(8, 8, 60, 0, &r, &reason));      // sync past the total
    EXPECT_EQ(0, ComputeGtfRaster(0, 768, 60, &r, &reason));
    EXPECT_EQ(0, ComputeGtfRaster(1024, 768, 0, &r, &reason));
    EXPECT_EQ(0, ComputeGtfRaster(1024, 768, 1001, &r, &reason));
    EXPECT_EQ(0, ComputeCvtRaster(65536, 768, 60, 0, &r, &reason));
    EXPECT_EQ(0, ComputeGtfRaster(1024, 768, 60, nullptr, &reason));
    EXPECT_EQ(0u, r.hTotal); // untouched by every refusal
    // The extremes of the accepted ranges compute without overflow.
    EXPECT_EQ(1, ComputeGtfRaster(65535, 65535, 1000, &r, &reason));
    EXPECT_EQ(1, ComputeCvtRaster(65535, 65535, 960, 1, &r, &reason));
}
