// velmoractl-sim.exe as an administrator meets it: started as a console program in the test's
// Wine prefix, judged by its output, its exit code and the registry; and velmora-sim.exe showing
// what it wrote. Each scenario starts from a registry put back as an installed driver leaves it,
// with the two simulated adapters and their sample modes.
#include "e2e/scenario.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

using namespace e2e;
using namespace scenario;

namespace {

struct Output {
    uint32_t code = 12345;
    std::string out, err;
};

// Console text without the carriage returns of the text mode.
std::string Lines(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

Output RunCtl(const std::string& arguments) {
    Output result;
    const std::string exe = ExeDirectory() + "..\\..\\src\\ctl\\velmoractl-sim.exe";
    // The first console program of a fresh prefix starts slowly under Wine.
    EXPECT_TRUE(RunCaptured(exe.c_str(), arguments.c_str(), 3 * DefaultTimeoutMs, &result.code,
                            &result.out, &result.err))
        << arguments;
    result.out = Lines(result.out);
    result.err = Lines(result.err);
    return result;
}

// A key's timing values and mode list, without its other values.
Values Modes(const char* key, HKEY root = HKEY_LOCAL_MACHINE) {
    Values values = ReadValues(root, key);
    for (auto at = values.begin(); at != values.end();)
        at = at->first.rfind("QOR", 0) == 0 ? std::next(at) : values.erase(at);
    return values;
}

class Velmoractl : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ResetRegistry(1));
        ASSERT_TRUE(ConfigureAdapters(TwoAdapters()));
        ASSERT_TRUE(FillDriverKey0());
        ASSERT_TRUE(FillDriverKey1());
        file = BesideExe("ctl_test.reg");
    }
    void TearDown() override {
        ResetRegistry(0);
        std::remove(file.c_str());
    }

    std::string file;
};

} // namespace

TEST_F(Velmoractl, DevicesListsBothAdapters) {
    Output r = RunCtl("devices");
    EXPECT_EQ(0u, r.code) << r.err;
    EXPECT_EQ(std::string("index  name        timings  modes  backup  driver key\n"
                          "0      DISPLAY1          2      2  no      ") +
                  DriverKey0 + "\n1      DISPLAY2          2      2  no      " + DriverKey1 + "\n",
              r.out);
    EXPECT_EQ("", r.err);
}

TEST_F(Velmoractl, AddedModeIsListedAndShownByTheWindow) {
    Output r = RunCtl("add 1024x768@85 --gtf");
    ASSERT_EQ(0u, r.code) << r.err;
    const std::string row = "1024x768@85     1024  1088    112   1376   768   769      3    807    "
                            "  94.39      68.60     85.00  -hsync +vsync\n";
    EXPECT_NE(std::string::npos, r.out.find(row)) << r.out;
    r = RunCtl("list");
    EXPECT_EQ(0u, r.code) << r.err;
    EXPECT_NE(std::string::npos, r.out.find("640x480@60 ")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find(row)) << r.out;
    EXPECT_EQ(1u, Modes(DriverKey0).count(TimingName(1024, 768, 85)));
    // The backup holds the key as it was before the add.
    EXPECT_EQ(Describe(Values{{TimingName(640, 480, 60), Value{REG_BINARY, Timing640x480at60()}},
                              {TimingName(800, 600, 75), Value{REG_BINARY, Timing800x600at75()}},
                              {ModeListValue, Value{REG_BINARY, Hex("06 40 04 80 00 00 00 60 "
                                                                    "08 00 06 00 00 00 00 75")}}}),
              Describe(Modes((std::string(UserKey) + "\\DISPLAY1").c_str(), HKEY_CURRENT_USER)));

    Session run;
    ASSERT_TRUE(run.Start());
    HWND window = run.WaitForMainWindow();
    ASSERT_NE(nullptr, window) << run.Windows();
    EXPECT_EQ((std::vector<std::string>{"640 480 60", "800 600 75", "1024 768 85"}), Rows(window));
    ASSERT_TRUE(SendCommand(window, 40002));
    uint32_t exitCode = 1;
    EXPECT_TRUE(run.WaitForExit(&exitCode));
}

// A 15 kHz set from a file: written in one go, shown by the window, its scan flags in modelines.
TEST_F(Velmoractl, FittedSetFromAFileIsShownByTheWindow) {
    const std::string modes = BesideExe("ctl_test_modes.txt");
    FILE* text = std::fopen(modes.c_str(), "wb");
    ASSERT_NE(nullptr, text);
    std::fputs("# arcade\r\n320x240@60\r\n256x224@59.19  # a fraction\r\n640x448@60\r\n", text);
    std::fclose(text);
    Output r = RunCtl("fit arcade_15 --from \"" + modes + "\"");
    std::remove(modes.c_str());
    ASSERT_EQ(0u, r.code) << r.err;
    EXPECT_NE(std::string::npos, r.out.find("640x448@60: ")) << r.out;
    for (const auto& key :
         {TimingName(320, 240, 60), TimingName(256, 224, 59), TimingName(640, 448, 60)})
        EXPECT_EQ(1u, Modes(DriverKey0).count(key)) << key;
    r = RunCtl("list --modelines");
    EXPECT_NE(std::string::npos, r.out.find(" 448 ")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find(" interlace -hsync -vsync\n")) << r.out;

    Session run;
    ASSERT_TRUE(run.Start());
    HWND window = run.WaitForMainWindow();
    ASSERT_NE(nullptr, window) << run.Windows();
    // In the order of the value names, as the registry gives them back.
    EXPECT_EQ((std::vector<std::string>{"256 224 59", "320 240 60", "640 448 60", "640 480 60",
                                        "800 600 75"}),
              Rows(window));
    ASSERT_TRUE(SendCommand(window, 40002));
    uint32_t exitCode = 1;
    EXPECT_TRUE(run.WaitForExit(&exitCode));
}

TEST_F(Velmoractl, ExportedModesComeBackWithImportReplace) {
    const std::string start = RunCtl("list").out;
    Output r = RunCtl("export \"" + file + "\"");
    ASSERT_EQ(0u, r.code) << r.err;
    ASSERT_EQ(0u, RunCtl("remove 800x600@75").code);
    ASSERT_EQ(0u, RunCtl("add 1280x1024@75 --cvt").code);
    EXPECT_NE(start, RunCtl("list").out);
    r = RunCtl("import --replace \"" + file + "\"");
    ASSERT_EQ(0u, r.code) << r.err;
    EXPECT_EQ("no monitor limits are known for DISPLAY1\n"
              "imported 2 timings and 2 non-standard modes into DISPLAY1, in place of what it "
              "held\n",
              r.out);
    EXPECT_EQ(start, RunCtl("list").out);
    // Regedit takes the same file.
    ASSERT_EQ(0u, RunCtl("--device DISPLAY2 import --replace \"" + file + "\"").code);
    ASSERT_TRUE(DeleteKey(HKEY_LOCAL_MACHINE, DriverKey0));
    ASSERT_TRUE(ImportRegFile(file.c_str()));
    EXPECT_EQ(Describe(Modes(DriverKey1)), Describe(Modes(DriverKey0)));
}

TEST_F(Velmoractl, RestoreGivesTheBackupBackByteForByte) {
    // A stored form that the program would rewrite: a digit past 9, read as 10.
    Bytes odd = Timing800x600at75();
    odd[3] = 0x0A;
    odd[67] = static_cast<uint8_t>(odd[67] - 0x0A);
    ASSERT_TRUE(SetBinary(HKEY_LOCAL_MACHINE, DriverKey0, TimingName(800, 600, 75).c_str(), odd));
    const Values original = Modes(DriverKey0);
    ASSERT_EQ(0u, RunCtl("add 1600x1200@85 --cvt").code);
    ASSERT_EQ(0u, RunCtl("remove 640x480@60").code);
    EXPECT_NE(Describe(original), Describe(Modes(DriverKey0)));
    Output r = RunCtl("restore");
    ASSERT_EQ(0u, r.code) << r.err;
    EXPECT_EQ("restored 2 timing values and the mode list of DISPLAY1 from its backup\n", r.out);
    EXPECT_EQ(Describe(original), Describe(Modes(DriverKey0)));
    // The backup of the other adapter came from another key.
    ASSERT_TRUE(SetText(HKEY_CURRENT_USER, (std::string(UserKey) + "\\DISPLAY1").c_str(),
                        OriginalPathValue,
                        (std::string("HKEY_LOCAL_MACHINE\\") + DriverKey1).c_str()));
    r = RunCtl("restore");
    EXPECT_EQ(3u, r.code);
    EXPECT_EQ(0u, r.err.find("velmoractl: DISPLAY1: its backup was taken from")) << r.err;
}

TEST_F(Velmoractl, HostileFileIsRefusedWithTheKeyUntouched) {
    ASSERT_EQ(0u, RunCtl("export \"" + file + "\"").code);
    FILE* out = std::fopen(file.c_str(), "rb");
    ASSERT_NE(nullptr, out);
    int line = 1;
    for (int c; (c = std::fgetc(out)) != EOF;)
        line += c == '\n';
    std::fclose(out);
    out = std::fopen(file.c_str(), "ab");
    ASSERT_NE(nullptr, out);
    std::fputs("\"QORDTMCRTBCD1024X0768X0X85\"=hex:00,00,00,00\r\n", out);
    std::fclose(out);
    const Values before = ReadValues(HKEY_LOCAL_MACHINE, DriverKey1);
    Output r = RunCtl("--device 1 import --replace \"" + file + "\"");
    EXPECT_EQ(4u, r.code);
    EXPECT_EQ("", r.out);
    EXPECT_EQ("velmoractl: " + file + ": line " + std::to_string(line) +
                  ": a timing value that is not REG_BINARY of 68 bytes: "
                  "QORDTMCRTBCD1024X0768X0X85\n",
              r.err);
    EXPECT_EQ(Describe(before), Describe(ReadValues(HKEY_LOCAL_MACHINE, DriverKey1)));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, (std::string(UserKey) + "\\DISPLAY2").c_str()));
}

// velmoractl-sim.exe ended inside its first backup: the simulated driver's configuration stops it
// after n sets (the write probe's, then one per copied value, "Original Registry Path" last).
// The copy it leaves lacks its mark and the driver key is untouched; the next add takes the
// backup again whole, and restore gives the original values back byte for byte.
TEST_F(Velmoractl, ABackupEndedPartWayIsTakenAgainWhole) {
    const Values original = Modes(DriverKey0);
    const std::string backupKey = std::string(UserKey) + "\\DISPLAY1";
    for (uint32_t stop = 2; stop <= 4; ++stop) {
        SCOPED_TRACE(stop);
        SetUp();
        ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, SimulatedDriverKey, "StopAfterSets", stop));
        Output r = RunCtl("add 1024x768@85 --gtf");
        EXPECT_EQ(99u, r.code) << r.err;
        const Values partial = ReadValues(HKEY_CURRENT_USER, backupKey.c_str());
        EXPECT_EQ(0u, partial.count(OriginalPathValue));
        EXPECT_EQ(stop - 1, partial.size());
        EXPECT_EQ(original, Modes(DriverKey0));

        ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, SimulatedDriverKey, "StopAfterSets", 0));
        r = RunCtl("add 1024x768@85 --gtf");
        ASSERT_EQ(0u, r.code) << r.err;
        EXPECT_EQ(original, Modes(backupKey.c_str(), HKEY_CURRENT_USER));
        r = RunCtl("restore");
        ASSERT_EQ(0u, r.code) << r.err;
        EXPECT_EQ(original, Modes(DriverKey0));
    }
}

namespace {

// How a writer ended part-way left DISPLAY1: the stored mode list is the old one with every
// timing of the old set there (old or new form), or the new one with every timing of the new set
// as written; the backup is whole and original, or holds nothing but original values.
void ExpectOneSetWhole(const Values& original, const Values& old, const Values& clean) {
    const Values now = Modes(DriverKey0);
    const auto list = [](const Values& v) {
        const auto at = v.find(ModeListValue);
        return at == v.end() ? std::string("none") : Describe(at->second);
    };
    const bool newList = list(now) == list(clean);
    const bool oldList = list(now) == list(old);
    ASSERT_TRUE(newList || oldList) << "a mode list of neither set: " << list(now);
    for (const auto& value : newList ? clean : old) {
        if (value.first == ModeListValue)
            continue;
        const auto at = now.find(value.first);
        ASSERT_NE(now.end(), at) << value.first << " lost";
        const auto was = old.find(value.first), is = clean.find(value.first);
        if (newList && !oldList) {
            EXPECT_EQ(Describe(value.second), Describe(at->second)) << value.first;
        } else {
            EXPECT_TRUE((was != old.end() && was->second == at->second) ||
                        (is != clean.end() && is->second == at->second))
                << value.first;
        }
    }
    const std::string backupKey = std::string(UserKey) + "\\DISPLAY1";
    const Values backup = Modes(backupKey.c_str(), HKEY_CURRENT_USER);
    for (const auto& value : backup) {
        const auto at = original.find(value.first);
        ASSERT_NE(original.end(), at) << "the backup holds " << value.first;
        EXPECT_EQ(Describe(at->second), Describe(value.second)) << "the backup of " << value.first;
    }
    if (ReadValues(HKEY_CURRENT_USER, backupKey.c_str()).count(OriginalPathValue)) {
        EXPECT_EQ(Describe(original), Describe(backup));
    }
}

// The window removes 800x600@75 and applies; 1 when it ran to its end, with *stopped 1 when the
// program ended itself part-way (exit code 99).
int RemoveAndApplyInTheWindow(int* stopped) {
    Session run;
    *stopped = 0;
    if (!run.Start())
        return 0;
    // A program that ends itself while it starts shows no window: no need to wait for one.
    HWND window = nullptr;
    WaitUntil([&] {
        window = FindTopWindow(run.Id(), MainCaption, nullptr, 1004);
        return window != nullptr || !run.IsRunning();
    });
    if (window && Sync(window) && ClickListRow(Control(window, 1004), 1) &&
        ClickButton(window, 1003) && ClickButton(window, 1033))
        SendCommand(window, 40002); // Exit; the edits are written or the program has ended
    uint32_t code = 0;
    if (!run.WaitForExit(&code))
        return 0;
    *stopped = code == 99;
    return 1;
}

} // namespace

// Every writer that replaces or removes, ended by the simulated program itself after 1, 2, ...
// registry sets until it runs whole: velmoractl-sim.exe's import --replace, fit --replace, remove
// and restore, and the window's Apply after a removal. Wherever it ends, one set is whole and
// listed, the backup never holds an edit, and the writer run again finishes the work.
TEST_F(Velmoractl, AWriteEndedAfterAnySetLeavesOneSetWholeAndListed) {
    const std::string exported = BesideExe("ctl_test_ended.reg");
    ASSERT_EQ(0u, RunCtl("--device DISPLAY2 export \"" + exported + "\"").code);
    const Values original = Modes(DriverKey0);
    const struct {
        const char* what;
        std::vector<std::string> before;
        std::string command; // empty: the window
    } cases[] = {
        {"import --replace", {}, "import --replace \"" + exported + "\""},
        {"fit --replace", {}, "fit vga 640x480@60 720x400@70 --replace --force"},
        {"remove", {}, "remove 800x600@75"},
        {"restore", {"add 1024x768@85 --gtf", "remove 640x480@60"}, "restore"},
        {"the window's Apply after a removal", {}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto prepare = [&](uint32_t stop) {
            SetUp();
            for (const std::string& command : c.before)
                ASSERT_EQ(0u, RunCtl(command).code) << command;
            ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, SimulatedDriverKey, "StopAfterSets", stop));
        };
        const auto write = [&](int* stopped) {
            if (c.command.empty())
                return RemoveAndApplyInTheWindow(stopped);
            const Output r = RunCtl(c.command);
            *stopped = r.code == 99;
            EXPECT_TRUE(r.code == 0 || r.code == 99) << r.err;
            return 1;
        };
        int stopped = 0;
        prepare(0);
        const Values old = Modes(DriverKey0);
        ASSERT_TRUE(write(&stopped));
        ASSERT_FALSE(stopped);
        const Values clean = Modes(DriverKey0);
        ASSERT_NE(Describe(old), Describe(clean));
        uint32_t stop = 1;
        for (; stop < 40; ++stop) {
            SCOPED_TRACE(stop);
            prepare(stop);
            ASSERT_TRUE(write(&stopped));
            if (!stopped)
                break;
            ExpectOneSetWhole(original, old, clean);
            ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, SimulatedDriverKey, "StopAfterSets", 0));
            if (Describe(Modes(DriverKey0)) != Describe(clean)) {
                ASSERT_TRUE(write(&stopped));
                EXPECT_EQ(Describe(clean), Describe(Modes(DriverKey0)));
            }
        }
        EXPECT_FALSE(stopped) << "never ran whole";
        EXPECT_LE(4u, stop) << "the writer ran whole after fewer sets than its backup needs";
        std::printf("%s: ended after 1 to %u sets\n", c.what, stop - 1);
    }
    std::remove(exported.c_str());
}

namespace {

const char WineVersionKey[] = "Software\\Wine\\AppDefaults\\velmoractl-sim.exe";

// A JSON reader that only says whether the text is one JSON document (RFC 8259) and nothing
// after it but white space.
struct JsonReader {
    const std::string& text;
    size_t at = 0;

    void Space() {
        while (at < text.size() && std::strchr(" \t\r\n", text[at]))
            ++at;
    }
    bool Take(char c) {
        Space();
        return at < text.size() && text[at] == c ? (++at, true) : false;
    }
    bool Word(const char* word) {
        const size_t n = std::strlen(word);
        return text.compare(at, n, word) == 0 ? (at += n, true) : false;
    }
    bool String() {
        if (!Take('"'))
            return false;
        for (; at < text.size() && text[at] != '"'; ++at) {
            const unsigned char c = static_cast<unsigned char>(text[at]);
            if (c < 0x20)
                return false;
            if (c == '\\' && ++at < text.size() && text[at] == 'u')
                at += 4;
            else if (c == '\\' && (at >= text.size() || !std::strchr("\"\\/bfnrt", text[at])))
                return false;
        }
        return at++ < text.size();
    }
    bool Number() {
        const size_t start = at;
        at += text[at] == '-';
        while (at < text.size() && (std::isdigit(static_cast<unsigned char>(text[at])) ||
                                    std::strchr(".eE+-", text[at])))
            ++at;
        return at > start && std::isdigit(static_cast<unsigned char>(text[at - 1]));
    }
    bool Members(char close, bool keyed) {
        if (Take(close))
            return true;
        do {
            if ((keyed && !(String() && Take(':'))) || !Value())
                return false;
        } while (Take(','));
        return Take(close);
    }
    bool Value() {
        Space();
        if (at >= text.size())
            return false;
        const char c = text[at];
        if (c == '{' || c == '[')
            return ++at, Members(c == '{' ? '}' : ']', c == '{');
        if (c == '"')
            return String();
        return Word("true") || Word("false") || Word("null") || Number();
    }
    bool Document() {
        const bool value = Value();
        Space();
        return value && at == text.size();
    }
};

bool IsJson(const std::string& text) {
    JsonReader reader{text};
    return reader.Document();
}

} // namespace

// The demo's CRT on DISPLAY1, found where NT keeps it and where Windows 98 keeps it.
TEST_F(Velmoractl, MonitorAndCheckOnTheDemoUnderNtAndWindows98) {
    ASSERT_TRUE(ImportRegFile(BesideExe("demo.reg").c_str()));
    const struct {
        const char* version;
        const char* instance;
    } cases[] = {{"winxp",
                  "SYSTEM\\CurrentControlSet\\Enum\\DISPLAY\\VLM1701\\5&2a3b4c&0&UID1\\Device "
                  "Parameters"},
                 {"win98", "Enum\\Monitor\\VLM1701\\0001"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        ASSERT_TRUE(SetText(HKEY_CURRENT_USER, WineVersionKey, "Version", c.version));
        Output r = RunCtl("monitor");
        EXPECT_EQ(0u, r.code) << r.err;
        EXPECT_NE(std::string::npos, r.out.find(std::string("source: EDID, HKEY_LOCAL_MACHINE\\") +
                                                c.instance + ", value EDID\nname: VLM CRT 17\n"))
            << r.out;
        EXPECT_NE(
            std::string::npos,
            r.out.find("ranges: 30-83 kHz, 50-120 Hz, max pixel clock 140 MHz (default GTF)"));
        r = RunCtl("check");
        EXPECT_EQ(0u, r.code) << r.err;
        EXPECT_EQ("limits from the monitor's EDID: 30-83 kHz, 50-120 Hz, 140 MHz\n"
                  "checked 3 timings of DISPLAY1: no problems\n",
                  r.out);
        EXPECT_EQ("No monitor information for DISPLAY2\n", RunCtl("--device 1 monitor").out);
    }
    RegDeleteKeyValueA(HKEY_CURRENT_USER, WineVersionKey, "Version");
}

TEST_F(Velmoractl, AddOutsideTheMonitorIsRefusedThenForced) {
    ASSERT_TRUE(ImportRegFile(BesideExe("demo.reg").c_str()));
    const Values before = ReadValues(HKEY_LOCAL_MACHINE, DriverKey0);
    Output r = RunCtl("add 1600x1200@85 --gtf");
    EXPECT_EQ(4u, r.code);
    EXPECT_EQ("velmoractl: 1600x1200@85: horizontal frequency 107.10 kHz outside 30-83 kHz, pixel "
              "clock 234.76 MHz above 140 MHz (the monitor's EDID); give --force to write it "
              "anyway\n",
              r.err);
    EXPECT_EQ(Describe(before), Describe(ReadValues(HKEY_LOCAL_MACHINE, DriverKey0)));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, (std::string(UserKey) + "\\DISPLAY1").c_str()));
    r = RunCtl("add 1600x1200@85 --gtf --force");
    EXPECT_EQ(0u, r.code) << r.err;
    EXPECT_EQ(0u, r.out.find("--force: 1600x1200@85 written beyond the monitor's EDID: horizontal "
                             "frequency 107.10 kHz outside 30-83 kHz, pixel clock 234.76 MHz "
                             "above 140 MHz\nmode "))
        << r.out;
    EXPECT_EQ(1u, Modes(DriverKey0).count(TimingName(1600, 1200, 85)));
}

TEST_F(Velmoractl, JsonFormsReadBackAsJson) {
    ASSERT_TRUE(ImportRegFile(BesideExe("demo.reg").c_str()));
    for (const char* command : {"devices --json", "list --json", "check --json", "monitor --json",
                                "--device 1 monitor --json"}) {
        SCOPED_TRACE(command);
        Output r = RunCtl(command);
        EXPECT_EQ(0u, r.code) << r.err;
        EXPECT_TRUE(IsJson(r.out)) << r.out;
    }
    EXPECT_FALSE(IsJson("{\"a\":1,}"));
    EXPECT_FALSE(IsJson("{\"a\":\"\x01\"}"));
}

// A game list's table written in place of the device's modes: each game's reported mode is
// listed by velmoractl and shown by the window, and nothing else is.
TEST_F(Velmoractl, TableForAGameListIsListedAndShownByTheWindow) {
    const std::string games = BesideExe("ctl_test_games.xml");
    FILE* text = std::fopen(games.c_str(), "wb");
    ASSERT_NE(nullptr, text);
    const char* machines[][5] = {{"sf", "0", "384", "224", "59.185606"},
                                 {"pac", "90", "288", "224", "60.606061"},
                                 {"hires", "0", "640", "480", "60"},
                                 {"tower", "0", "320", "600", "60"}};
    std::fputs("<?xml version=\"1.0\"?>\r\n<mame build=\"0.251\">\r\n", text);
    for (const auto& m : machines)
        std::fprintf(text,
                     "\t<machine name=\"%s\">\r\n\t\t<display type=\"raster\" rotate=\"%s\" "
                     "width=\"%s\" height=\"%s\" refresh=\"%s\"/>\r\n\t</machine>\r\n",
                     m[0], m[1], m[2], m[3], m[4]);
    std::fputs("</mame>\r\n", text);
    std::fclose(text);
    Output r = RunCtl("table arcade_15 --mame \"" + games + "\" --replace --json");
    std::remove(games.c_str());
    ASSERT_EQ(0u, r.code) << r.err;
    // pac's turned picture, 288 lines at 60.6 Hz, fits no 15 kHz mode of its own.
    const char* served[][2] = {
        {"sf", "384x224@59"}, {"pac", "640x480@60"}, {"hires", "640x480@60"}, {"tower", ""}};
    for (const auto& game : served) {
        const size_t at = r.out.find(std::string("{\"name\":\"") + game[0] + "\"");
        ASSERT_NE(std::string::npos, at) << game[0] << r.out;
        const std::string record = r.out.substr(at, r.out.find('}', at) - at);
        const std::string mode =
            *game[1] ? "\"mode\":\"" + std::string(game[1]) + "\"" : "\"mode\":null";
        EXPECT_NE(std::string::npos, record.find(mode)) << record;
    }

    r = RunCtl("list");
    ASSERT_EQ(0u, r.code) << r.err;
    for (const auto& game : served) {
        if (*game[1]) {
            EXPECT_NE(std::string::npos, r.out.find(std::string("\n") + game[1] + " ")) << r.out;
        }
    }

    Session run;
    ASSERT_TRUE(run.Start());
    HWND window = run.WaitForMainWindow();
    ASSERT_NE(nullptr, window) << run.Windows();
    std::vector<std::string> rows = Rows(window);
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ((std::vector<std::string>{"384 224 59", "640 480 60"}), rows);
    ASSERT_TRUE(SendCommand(window, 40002));
    uint32_t exitCode = 1;
    EXPECT_TRUE(run.WaitForExit(&exitCode));
}
