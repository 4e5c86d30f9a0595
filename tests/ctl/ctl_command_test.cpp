// velmoractl's commands against the in-memory registry and the scripted display services: what
// each prints and returns, what it leaves in the registry, and that a refusal writes nothing.
#include "ctl/ctl_command.h"

#include "bench/bench_data.h"
#include "devices/discovery.h"
#include "doubles/fake_display_services.h"
#include "doubles/fake_registry.h"
#include "formats/raster.h"
#include "formats/timing_calc.h"
#include "store/backup.h"
#include "store/device_store.h"
#include "support/failure_sweep.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

const char Path0[] = "SYSTEM\\CurrentControlSet\\Services\\orvdisp\\Device0";
const char Path1[] = "SYSTEM\\CurrentControlSet\\Services\\orvdisp\\Device1";
const std::string Backup0 = std::string(UserKeyPath) + "\\DISPLAY1";

using Bytes = std::vector<uint8_t>;

// What check, add and import say of a device whose monitor's limits are not known.
const char NoLimits1[] = "no monitor limits are known for DISPLAY1\n";
const char NoLimits2[] = "no monitor limits are known for DISPLAY2\n";

struct Result {
    int code;
    std::string out, err;
};

int Append(void* context, const char* text, size_t length) {
    static_cast<std::string*>(context)->append(text, length);
    return 1;
}

Result Ctl(std::vector<const char*> args) {
    Result r{0, "", ""};
    args.insert(args.begin(), "velmoractl");
    r.code = RunVelmoraCtl(static_cast<int>(args.size()), args.data(), CtlStream{Append, &r.out},
                           CtlStream{Append, &r.err});
    return r;
}

Raster MakeRaster(uint32_t hd, uint32_t hss, uint32_t hse, uint32_t ht, uint32_t vd, uint32_t vss,
                  uint32_t vse, uint32_t vt, uint64_t clockHz, uint32_t flags) {
    return Raster{hd, hss, hse, ht, vd, vss, vse, vt, clockHz, flags};
}

const Raster Vga = MakeRaster(640, 656, 752, 800, 480, 490, 492, 525, 25175000,
                              RasterHSyncNegative | RasterVSyncNegative);
const Raster Svga75 = MakeRaster(800, 816, 896, 1056, 600, 601, 604, 625, 49500000, 0);

Bytes Stored(const TimingBlock& block) {
    Bytes bytes(TimingStoredSize);
    EncodeTimingBlock(block, bytes.data());
    return bytes;
}

Bytes Stored(const Raster& raster) {
    TimingBlock block{};
    EXPECT_EQ(1, RasterToTimingBlock(raster, &block, nullptr));
    return Stored(block);
}

Bytes Modes(const std::vector<NonStandardMode>& modes) {
    Bytes bytes(modes.size() * ModeStoredSize);
    for (size_t i = 0; i < modes.size(); ++i)
        EncodeModeEntry(modes[i], &bytes[i * ModeStoredSize]);
    return bytes;
}

std::string Name(uint32_t w, uint32_t h, uint32_t r) {
    char name[64];
    FormatTimingValueName(w, h, r, name, sizeof name);
    return name;
}

void Put(RegistryRoot root, const std::string& path, const std::string& name, const Bytes& data,
         uint32_t type = RegistryTypeBinary) {
    RegistryKey key;
    ASSERT_EQ(1, MemoryRegistry::CreateKey(root, path.c_str()));
    ASSERT_EQ(1, RegistryOpenKey(root, path.c_str(), &key));
    ASSERT_EQ(1, RegistrySetValue(key, name.c_str(), type, data.data(),
                                  static_cast<uint32_t>(data.size())));
    RegistryCloseKey(key);
}

// A value as "type: byte byte ...".
std::string Text(const Bytes& data, uint32_t type = RegistryTypeBinary) {
    std::string text = std::to_string(type) + ":";
    for (uint8_t b : data)
        text += " " + std::to_string(b);
    return text;
}

Bytes TextBytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// The bytes as a .reg file writes them: "00,1a,...".
std::string Hex(const Bytes& data) {
    std::string hex;
    for (uint8_t b : data)
        hex += std::string(hex.empty() ? "" : ",") + "0123456789abcdef"[b / 16] +
               "0123456789abcdef"[b % 16];
    return hex;
}

// Every value of a key by name, as Text gives it.
std::map<std::string, std::string> Dump(RegistryRoot root, const std::string& path) {
    std::map<std::string, std::string> values;
    RegistryKey key;
    if (!RegistryOpenKey(root, path.c_str(), &key))
        return values;
    uint32_t count = 0;
    RegistryCountValues(key, &count);
    for (uint32_t i = 0; i < count; ++i) {
        char name[300];
        uint8_t data[4096];
        uint32_t nameLength = sizeof name, dataLength = sizeof data, type = 0;
        if (!RegistryEnumValue(key, i, name, &nameLength, &type, data, &dataLength))
            continue;
        values[std::string(name, nameLength)] = Text(Bytes(data, data + dataLength), type);
    }
    RegistryCloseKey(key);
    return values;
}

// Both driver keys and the whole backup of DISPLAY1, for "nothing was written".
std::string Everything() {
    std::string text;
    for (const auto& part : {std::make_pair(RegistryLocalMachine, std::string(Path0)),
                             std::make_pair(RegistryLocalMachine, std::string(Path1)),
                             std::make_pair(RegistryCurrentUser, Backup0)})
        for (const auto& value : Dump(part.first, part.second))
            text += part.second + "|" + value.first + "=" + value.second + "\n";
    return text + (MemoryRegistry::KeyExists(RegistryCurrentUser, Backup0.c_str()) ? "backup\n"
                                                                                   : "none\n");
}

std::string TempFile(const char* name) {
    return std::string(::testing::TempDir()) + name;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, file);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

std::string ReadFile(const std::string& path) {
    std::string bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return "(missing)";
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.append(chunk, got);
    std::fclose(file);
    return bytes;
}

// Two Orvane devices: DISPLAY1 with VGA and 800 x 600 at 75 and three non-standard modes (one
// for every refresh of 1024 x 768, which no timing answers), DISPLAY2 with an empty driver key.
class CtlTest : public ::testing::Test {
protected:
    void SetUp() override {
        MemoryRegistry::Reset();
        ScriptedDisplay::Reset();
        for (const auto& device :
             {std::make_pair("\\\\.\\DISPLAY1", Path0), std::make_pair("\\\\.\\DISPLAY2", Path1)}) {
            ScriptedDisplay::Device d;
            d.systemName = device.first;
            d.answer = std::string(device.second) + std::string(1, '\0');
            ScriptedDisplay::AddDevice(d);
        }
        ASSERT_EQ(1, MemoryRegistry::CreateKey(RegistryCurrentUser, CompanyKeyPath));
        ASSERT_EQ(1, MemoryRegistry::CreateKey(RegistryLocalMachine, Path1));
        Put(RegistryLocalMachine, Path0, Name(640, 480, 60), Stored(Vga));
        Put(RegistryLocalMachine, Path0, Name(800, 600, 75), Stored(Svga75));
        Put(RegistryLocalMachine, Path0, ModeListValueName,
            Modes({{640, 480, 0, 60}, {800, 600, 0, 75}, {1024, 768, 0, 0}}));
    }
};

const char ListHeader[] = "mode           hdisp hsync hwidth htotal vdisp vsync vwidth vtotal  "
                          "clock MHz  hfreq kHz  vfreq Hz  flags\n";
const char VgaRow[] = "640x480@60       640   656     96    800   480   490      2    525      "
                      "25.18      31.48     59.95  -hsync -vsync\n";

} // namespace

TEST_F(CtlTest, UsageErrorsAndRefusedArgumentsWriteNothing) {
    const struct {
        std::vector<const char*> args;
        int code;
        const char* text; // the start of the error line, or of the output for help
    } cases[] = {
        {{}, CtlUsage, "velmoractl: command: none given"},
        {{"--help"}, CtlDone, "Usage: velmoractl [--device NAME|INDEX] COMMAND"},
        {{"import", "--help"}, CtlDone, "Usage: velmoractl [--device NAME|INDEX] import FILE"},
        {{"frob"}, CtlUsage, "velmoractl: frob: unknown command"},
        {{"--frob", "list"}, CtlUsage, "velmoractl: --frob: unknown option"},
        {{"list", "extra"}, CtlUsage, "velmoractl: extra: unexpected argument of list"},
        {{"list", "--gtf"}, CtlUsage, "velmoractl: --gtf: not an option of list"},
        {{"add"}, CtlUsage, "velmoractl: add: expects a mode"},
        {{"add", "800x600", "--gtf"}, CtlUsage, "velmoractl: 800x600: not a mode"},
        {{"add", "10000x600@75", "--gtf"}, CtlUsage, "velmoractl: 10000x600@75: not a mode"},
        {{"add", "800x600@0", "--gtf"}, CtlUsage, "velmoractl: 800x600@0: not a mode"},
        {{"add", "800x600@75"}, CtlUsage, "velmoractl: add: give one of"},
        {{"add", "800x600@75", "--gtf", "--cvt"}, CtlUsage, "velmoractl: add: give one of"},
        {{"add", "800x600@75", "--cvt-rb"}, CtlUsage, "velmoractl: 800x600@75: "},
        {{"add", "800x600@75", "--modeline", "49.5 800 816 896"},
         CtlRefused,
         "velmoractl: --modeline: "},
        {{"add", "800x600@60", "--modeline", "49.5 800 816 896 1056 600 601 604 625"},
         CtlRefused,
         "velmoractl: --modeline: the timing gives 75.00 Hz, more than 1 Hz from 60"},
        {{"check", "--hfreq", "70-30"}, CtlUsage, "velmoractl: --hfreq: expects MIN-MAX"},
        {{"check", "--max-clock", "49.5MHz"},
         CtlUsage,
         "velmoractl: --max-clock: expects a clock in MHz, such as 230; not a number"},
        {{"--device", "DISPLAY9", "list"}, CtlSystem, "velmoractl: DISPLAY9: no such Orvane"},
        {{"--device", "2", "list"}, CtlSystem, "velmoractl: 2: no such Orvane"},
        {{"add", "640x480@60", "--gtf"}, CtlUsage, "velmoractl: 640x480@60: the device holds"},
        {{"remove", "1280x1024@60"}, CtlUsage, "velmoractl: 1280x1024@60: the device holds no"},
        {{"import", "/nonexistent/file.reg"}, CtlRefused, "velmoractl: /nonexistent/file.reg: "},
        {{"restore"}, CtlSystem, "velmoractl: DISPLAY1: has no backup"},
        {{"add", "320x300@60", "--fit", "arcade_15"},
         CtlUsage,
         "velmoractl: 320x300@60: 300 lines are outside the monitor's 192-288 progressive and "
         "448-576 interlaced lines; nothing was written"},
        {{"add", "320x240@120", "--fit", "arcade_15"},
         CtlUsage,
         "velmoractl: 320x240@120: 240 lines at 65.000 Hz need 17.016 kHz, above the monitor's "
         "top of 16.200 kHz"},
        {{"add", "320x240@60", "--fit", "frob"},
         CtlUsage,
         "velmoractl: frob: not a monitor preset"},
        {{"add", "320x240@60", "--fit", "pal", "--gtf"}, CtlUsage, "velmoractl: add: give one of"},
        {{"add", "320x240@60", "--min-clock", "25", "--gtf"},
         CtlUsage,
         "velmoractl: --min-clock: "},
        {{"add", "320x240@60", "--min-clock", "0.001", "--gtf"}, // rounded up to 0.01, not 0
         CtlUsage,
         "velmoractl: --min-clock: goes with --fit or --monitor"},
        {{"add", "320x240@60.1234", "--fit", "pal"},
         CtlUsage,
         "velmoractl: 320x240@60.1234: not a mode"},
        {{"add", "320x240@60", "--monitor", "15.6,50,1,1,1,10,5,6,0,0,192,288,0,0"},
         CtlUsage,
         "velmoractl: --monitor: the vertical porches and sync must be shorter than a frame"},
        {{"fit", "arcade_15", "320x240@60", "320x300@60"}, CtlUsage, "velmoractl: 320x300@60: "},
        {{"fit", "arcade_15", "320x240@60", "320x240@60.2"},
         CtlUsage,
         "velmoractl: 320x240@60.2: gives the mode key of an earlier mode"},
        {{"fit", "arcade_15"}, CtlUsage, "velmoractl: fit: expects modes"},
        {{"fit", "arcade_15", "640x480@60"}, CtlUsage, "velmoractl: 640x480@60: the device holds"},
        {{"fit", "--monitor", "x", "320x240@60"},
         CtlUsage,
         "velmoractl: --monitor: a monitor band"},
        {{"fit", "arcade_15", "--from", "/nonexistent/modes.txt"},
         CtlSystem,
         "velmoractl: /nonexistent/modes.txt: cannot be read"},
        {{"help", "presets"}, CtlDone, "Monitor presets for add --fit and fit"},
        {{"help", "frob"}, CtlUsage, "velmoractl: help: the one topic is presets"},
    };
    const std::string before = Everything();
    for (const auto& c : cases) {
        std::string line;
        for (const char* a : c.args)
            line += std::string(a) + " ";
        SCOPED_TRACE(line);
        Result r = Ctl(c.args);
        EXPECT_EQ(c.code, r.code);
        const std::string& shown = c.code == CtlDone ? r.out : r.err;
        EXPECT_EQ(0u, shown.find(c.text)) << shown;
        if (c.code != CtlDone) {
            EXPECT_EQ("", r.out);
            EXPECT_EQ(1, static_cast<int>(std::count(r.err.begin(), r.err.end(), '\n')));
        }
        EXPECT_EQ(before, Everything());
    }
}

TEST_F(CtlTest, DevicesAndListShowWhatTheKeysHold) {
    // A timing whose checksum fails, and an interlaced one.
    Bytes bad = Stored(Svga75);
    bad[67] ^= 1;
    Put(RegistryLocalMachine, Path0, Name(800, 600, 85), bad);
    Put(RegistryLocalMachine, Path1, Name(1920, 1080, 60),
        Stored(
            MakeRaster(1920, 2008, 2052, 2200, 1080, 1084, 1094, 1125, 74250000, RasterInterlace)));
    Put(RegistryCurrentUser, Backup0, "Original Registry Path", {}, RegistryTypeSz);

    Result devices = Ctl({"devices"});
    EXPECT_EQ(CtlDone, devices.code) << devices.err;
    EXPECT_EQ("index  name        timings  modes  backup  driver key\n"
              "0      DISPLAY1          3      3  yes     " +
                  std::string(Path0) +
                  "\n"
                  "1      DISPLAY2          1      0  no      " +
                  Path1 + "\n",
              devices.out);

    Result list = Ctl({"list"});
    EXPECT_EQ(CtlDone, list.code);
    EXPECT_EQ(std::string(ListHeader) + VgaRow +
                  "800x600@75       800   816     80   1056   600   601      3    625      "
                  "49.50      46.88     75.00  +hsync +vsync\n"
                  "800x600@85       800   816     80   1056   600   601      3    625      "
                  "49.50      46.88     75.00  +hsync +vsync  checksum fails: the next load "
                  "drops it\n"
                  "non-standard mode without a timing: 1024x768@0 (every refresh)\n",
              list.out);

    Result interlaced = Ctl({"--device", "display2", "list", "--modelines"});
    EXPECT_EQ("Modeline \"1920x1080@60\" 74.25 1920 2008 2052 2200 1080 1084 1094 1125 "
              "interlace +hsync +vsync\n",
              interlaced.out);
    EXPECT_EQ("mode", Ctl({"list", "--device", "1"}).out.substr(0, 4));
}

TEST_F(CtlTest, ListMakesExactlyTheRegistryCallsOfOneLoad) {
    DriverKey driver;
    ASSERT_EQ(1, bench::MakeDevice(5000, &driver));
    MemoryRegistry::ResetCounters();
    NonStandardModeList modes;
    TimingList timings;
    ASSERT_EQ(1, LoadModeList(driver, modes));
    ASSERT_EQ(1, timings.LoadFromDevice(driver, modes));
    std::vector<uint32_t> load;
    for (int op = 0; op < MemoryRegistry::OperationCount; ++op)
        load.push_back(MemoryRegistry::Calls(static_cast<MemoryRegistry::Operation>(op)));
    MemoryRegistry::ResetCounters();
    ScriptedDisplay::Reset();
    ScriptedDisplay::Device d;
    d.systemName = "\\\\.\\DISPLAY1";
    d.answer = std::string(bench::DriverKeyPath) + std::string(1, '\0');
    ScriptedDisplay::AddDevice(d);
    Result r = Ctl({"list"});
    ASSERT_EQ(CtlDone, r.code) << r.err;
    EXPECT_EQ(5001u, static_cast<uint32_t>(std::count(r.out.begin(), r.out.end(), '\n')));
    for (int op = 0; op < MemoryRegistry::OperationCount; ++op)
        EXPECT_EQ(load[op], MemoryRegistry::Calls(static_cast<MemoryRegistry::Operation>(op)))
            << "operation " << op;
    EXPECT_EQ(0, MemoryRegistry::OpenHandles());
}

TEST_F(CtlTest, CheckReportsEveryProblemAndTheMonitorsLimits) {
    const struct {
        Raster raster;
        uint32_t refresh;
        std::vector<const char*> options;
        const char* report; // "" for none
    } cases[] = {
        {Svga75, 75, {"--hfreq", "30-50", "--vfreq", "50-75", "--max-clock", "49.5"}, ""},
        // At limits of three decimals, widened to the hundredths around them: 46.88 kHz, 75 Hz.
        {Svga75,
         75,
         {"--hfreq", "30-46.875", "--vfreq", "75.001-160", "--max-clock", "49.495"},
         ""},
        {Svga75, 72, {}, "refresh 75.00 Hz is more than 1 Hz from the mode's 72\n"},
        {Svga75,
         75,
         {"--hfreq", "30-46.87"},
         "horizontal frequency 46.88 kHz outside 30.00-46.87\n"},
        {Svga75, 75, {"--vfreq", "76-160"}, "refresh 75.00 Hz outside 76.00-160.00\n"},
        {Svga75, 75, {"--max-clock", "49.49"}, "pixel clock 49.50 MHz above 49.49\n"},
        {MakeRaster(900, 816, 896, 1056, 600, 601, 604, 625, 49500000, 0),
         75,
         {},
         "horizontal display 900 beyond sync start 816\n"},
        {MakeRaster(800, 816, 896, 1056, 600, 601, 700, 625, 49500000, 0),
         75,
         {},
         "vertical sync end 700 beyond total 625\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.report);
        SetUp();
        // The numbers are stored as given: the raster check of the calculators is not asked.
        TimingBlock block{};
        const Raster& r = c.raster;
        const uint32_t words[10] = {0,
                                    r.hTotal,
                                    r.hDisplay,
                                    r.hSyncStart,
                                    r.hSyncEnd - r.hSyncStart,
                                    r.vTotal,
                                    r.vDisplay,
                                    r.vSyncStart,
                                    r.vSyncEnd - r.vSyncStart,
                                    static_cast<uint32_t>(r.clockHz / 10000)};
        for (int i = 0; i < 10; ++i)
            block.words[i] = words[i];
        block.words[TimingChecksumWord] = ComputeTimingChecksum(block.words);
        Put(RegistryLocalMachine, Path1, Name(800, 600, c.refresh), Stored(block));
        Put(RegistryLocalMachine, Path1, ModeListValueName, Modes({{800, 600, 0, 0}}));
        std::vector<const char*> args = {"--device", "DISPLAY2", "check"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        Result result = Ctl(args);
        const std::string key = "800x600@" + std::to_string(c.refresh) + ": ";
        const std::string none = c.options.empty() ? NoLimits2 : "";
        if (*c.report) {
            EXPECT_EQ(CtlProblems, result.code);
            EXPECT_EQ(none + key + c.report + "checked 1 timing of DISPLAY2: 1 problem\n",
                      result.out);
        } else {
            EXPECT_EQ(CtlDone, result.code);
            EXPECT_EQ("checked 1 timing of DISPLAY2: no problems\n", result.out);
        }
    }
    // Zeros, a failed checksum and a missing non-standard mode.
    SetUp();
    TimingBlock zero{};
    zero.words[TimingChecksumWord] = ComputeTimingChecksum(zero.words);
    Put(RegistryLocalMachine, Path1, Name(640, 480, 60), Stored(zero));
    Bytes bad = Stored(Vga);
    bad[0] = 0x10;
    Put(RegistryLocalMachine, Path1, Name(640, 480, 72), bad);
    Put(RegistryLocalMachine, Path1, Name(640, 480, 75), Stored(Vga));
    Result result = Ctl({"--device", "DISPLAY2", "check"});
    EXPECT_EQ(CtlProblems, result.code);
    EXPECT_EQ(std::string(NoLimits2) +
                  "640x480@60: pixel clock is 0\n640x480@60: horizontal total is 0\n"
                  "640x480@60: vertical total is 0\n640x480@60: no non-standard mode for it\n"
                  "640x480@72: checksum fails: the next load drops it\n"
                  "640x480@75: refresh 59.95 Hz is more than 1 Hz from the mode's 75\n"
                  "640x480@75: no non-standard mode for it\n"
                  "checked 3 timings of DISPLAY2: 7 problems\n",
              result.out);
}

TEST_F(CtlTest, AddWritesTheTimingItsModeAndTheBackupFirst) {
    const auto original = Dump(RegistryLocalMachine, Path0);
    Result r = Ctl({"add", "1024x768@75", "--cvt"});
    ASSERT_EQ(CtlDone, r.code) << r.err;
    Raster cvt{};
    ASSERT_EQ(1, ComputeCvtRaster(1024, 768, 75, 0, &cvt, nullptr));
    auto after = Dump(RegistryLocalMachine, Path0);
    EXPECT_EQ(Text(Stored(cvt)), after[Name(1024, 768, 75)]);
    EXPECT_EQ(std::string(NoLimits1) + ListHeader +
                  "1024x768@75     1024  1088    104   1360   768   771      4    805      "
                  "82.00      60.29     74.90  -hsync +vsync\n",
              r.out);
    // The entry of every refresh of 1024 x 768 covers the new mode: the list is as it was.
    EXPECT_EQ(original.at(ModeListValueName), after[ModeListValueName]);
    // The backup holds the key as it was before the add.
    auto backup = Dump(RegistryCurrentUser, Backup0);
    EXPECT_EQ(1u, backup.erase("Original Registry Path"));
    EXPECT_EQ(original, backup);

    // A modeline's clock is rounded to 10 kHz and its mode gets its entry; --replace replaces.
    r = Ctl({"add", "1280x1024@60", "--modeline",
             "Modeline \"x\" 108.004 1280 1328 1440 1688 1024 1025 1028 1066 +hsync +vsync"});
    ASSERT_EQ(CtlDone, r.code) << r.err;
    EXPECT_NE(std::string::npos, r.out.find("108.00      63.98     60.02  +hsync +vsync\n"));
    r = Ctl({"add", "1280x1024@60", "--gtf", "--replace"});
    ASSERT_EQ(CtlDone, r.code) << r.err;
    EXPECT_NE(std::string::npos, r.out.find("108.88      63.60     60.00  -hsync +vsync\n"));
    EXPECT_EQ(
        Text(Modes({{640, 480, 0, 60}, {800, 600, 0, 75}, {1024, 768, 0, 0}, {1280, 1024, 0, 60}})),
        Dump(RegistryLocalMachine, Path0)[ModeListValueName]);
    EXPECT_EQ(original, backup) << "the backup is taken once";
    EXPECT_EQ(5u, Dump(RegistryLocalMachine, Path0).size());
}

TEST_F(CtlTest, RemoveTakesTheTimingAndItsEntryAndAFailingOne) {
    Bytes bad = Stored(Vga);
    bad[66] ^= 1;
    Put(RegistryLocalMachine, Path0, Name(640, 480, 72), bad);
    // Any save deletes a timing whose checksum fails; remove takes it by name too.
    Result r = Ctl({"remove", "640x480@72"});
    ASSERT_EQ(CtlDone, r.code) << r.err;
    r = Ctl({"remove", "640x480@60"});
    ASSERT_EQ(CtlDone, r.code) << r.err;
    EXPECT_EQ("removed 640x480@60 from DISPLAY1\n", r.out);
    auto after = Dump(RegistryLocalMachine, Path0);
    EXPECT_EQ(2u, after.size());
    EXPECT_EQ(Text(Modes({{800, 600, 0, 75}, {1024, 768, 0, 0}})), after[ModeListValueName]);
    // An entry for every refresh stays, and with no timing of the mode nothing is written.
    const std::string before = Everything();
    EXPECT_EQ(CtlUsage, Ctl({"remove", "1024x768@0"}).code);
    EXPECT_EQ(before, Everything());
}

TEST_F(CtlTest, WritingCommandsRefuseWithoutAccessOrAWholeLoad) {
    const std::string file = TempFile("ctl_refusal.reg");
    ASSERT_EQ(CtlDone, Ctl({"export", file.c_str()}).code);
    Put(RegistryCurrentUser, Backup0, "Original Registry Path",
        TextBytes(std::string("HKEY_LOCAL_MACHINE\\") + Path0 + "x"), RegistryTypeSz);
    const std::vector<std::vector<const char*>> commands = {{"add", "1024x768@75", "--gtf"},
                                                            {"remove", "640x480@60"},
                                                            {"import", file.c_str()},
                                                            {"restore", "--force"}};
    const struct {
        const char* what;
        int writable;
        MemoryRegistry::Operation fail;
        const char* error;
    } cases[] = {
        {"no write access", 0, MemoryRegistry::OperationCount,
         "velmoractl: DISPLAY1: the driver key cannot be written: administrator rights"},
        {"a failed enumeration", 1, MemoryRegistry::OpEnum,
         "velmoractl: DISPLAY1: the driver key could not be read whole; nothing was written\n"},
        {"a failed read of the mode list", 1, MemoryRegistry::OpQuery,
         "velmoractl: DISPLAY1: the driver key could not be read whole; nothing was written\n"},
    };
    for (const auto& c : cases) {
        for (const auto& command : commands) {
            SCOPED_TRACE(std::string(c.what) + ", " + command[0]);
            ASSERT_EQ(1, MemoryRegistry::SetWritable(RegistryLocalMachine, Path0, c.writable));
            const std::string before = Everything();
            // The restore reads the backup first: only the driver key's reads fail here.
            if (c.fail != MemoryRegistry::OperationCount)
                MemoryRegistry::FailCall(c.fail, command[0] == std::string("restore") ? 3 : 0, 1);
            Result r = Ctl(command);
            MemoryRegistry::ClearFailures();
            EXPECT_EQ(CtlSystem, r.code);
            EXPECT_EQ(0u, r.err.find(c.error)) << r.err;
            EXPECT_EQ(before, Everything());
        }
    }
}

TEST_F(CtlTest, ExportThenImportMergesOrReplaces) {
    const std::string file = TempFile("ctl_export.reg");
    const auto start = Dump(RegistryLocalMachine, Path0);
    Result r = Ctl({"export", file.c_str()});
    ASSERT_EQ(CtlDone, r.code) << r.err;
    EXPECT_EQ("exported 2 timings and 3 non-standard modes of DISPLAY1 to " + file + "\n", r.out);
    const std::string text = ReadFile(file);
    EXPECT_EQ(0u, text.find("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\" + std::string(Path0) +
                            "]\r\n\"QORDTMCRTBCD0640X0480X0X60\"=hex:00,00,00,12,"));

    // Into the other device: a merge keeps what it held and adds the file's.
    Put(RegistryLocalMachine, Path1, Name(640, 480, 60), Stored(Svga75));
    Put(RegistryLocalMachine, Path1, Name(320, 200, 70), Stored(Vga));
    Put(RegistryLocalMachine, Path1, ModeListValueName, Modes({{320, 200, 0, 70}}));
    r = Ctl({"--device", "DISPLAY2", "import", file.c_str()});
    ASSERT_EQ(CtlDone, r.code) << r.err;
    EXPECT_EQ(std::string(NoLimits2) +
                  "imported 2 timings and 3 non-standard modes into DISPLAY2\n",
              r.out);
    auto merged = Dump(RegistryLocalMachine, Path1);
    EXPECT_EQ(4u, merged.size());
    EXPECT_EQ(start.at(Name(640, 480, 60)), merged[Name(640, 480, 60)]);
    EXPECT_EQ(Text(Stored(Vga)), merged[Name(320, 200, 70)]);
    EXPECT_EQ(
        Text(Modes({{320, 200, 0, 70}, {640, 480, 0, 60}, {800, 600, 0, 75}, {1024, 768, 0, 0}})),
        merged[ModeListValueName]);
    // Replaced, it holds exactly the file's, as does the first device after its own changes.
    ASSERT_EQ(CtlDone, Ctl({"--device", "DISPLAY2", "import", file.c_str(), "--replace"}).code);
    EXPECT_EQ(start, Dump(RegistryLocalMachine, Path1));
    ASSERT_EQ(CtlDone, Ctl({"remove", "800x600@75"}).code);
    ASSERT_EQ(CtlDone, Ctl({"add", "1600x1200@85", "--cvt"}).code);
    ASSERT_EQ(CtlDone, Ctl({"import", "--replace", file.c_str()}).code);
    EXPECT_EQ(start, Dump(RegistryLocalMachine, Path0));

    // A version 5 file in UTF-16, as regedit exports, under any key.
    std::string utf16 = "\xFF\xFE";
    const std::string five = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\x]"
                             "\r\n\"" +
                             Name(320, 200, 70) + "\"=hex:" + Hex(Stored(Vga)) + "\r\n";
    for (char c : five)
        utf16 += std::string(1, c) + std::string(1, '\0');
    WriteFile(file, utf16);
    r = Ctl({"import", file.c_str()});
    ASSERT_EQ(CtlDone, r.code) << r.err;
    EXPECT_EQ(Text(Stored(Vga)), Dump(RegistryLocalMachine, Path0)[Name(320, 200, 70)]);
}

TEST_F(CtlTest, ImportRefusesAHostileFileWholeNamingTheLine) {
    const std::string head = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n";
    const std::string good = "\"" + Name(800, 600, 75) + "\"=hex:" + Hex(Stored(Svga75)) + "\r\n";
    std::string badSum = good;
    badSum[badSum.size() - 3] = badSum[badSum.size() - 3] == '0' ? '1' : '0';
    const struct {
        std::string body;
        const char* error;
    } cases[] = {
        {good + "\"QORDTMCRTBCD0800X0600X0X75\"=hex:00,0", "line 5: "},
        {good + "\"" + Name(640, 480, 60) + "\"=hex:00,00\r\n",
         "line 5: a timing value that is not REG_BINARY of 68 bytes: QORDTMCRTBCD0640X0480X0X60"},
        {good + "\"" + Name(640, 480, 60) + "\"=dword:00000001\r\n",
         "line 5: a timing value that is not REG_BINARY"},
        {badSum, "line 4: the checksum fails: QORDTMCRTBCD0800X0600X0X75"},
        {good + "\"QORDTMCRTBCD0800X0600X75\"=hex:00\r\n",
         "line 5: a timing value name that does not scan: QORDTMCRTBCD0800X0600X75"},
        {good + "\"qordtmcrtbcd0800X0600X0X75\"=hex:00\r\n", "line 5: a timing value name"},
        {good + "\"QORNonStandardModesBCD\"=hex:08,00,06,00,00,00,00\r\n",
         "line 5: a mode list that is not REG_BINARY of a multiple of 8 bytes"},
        {good + "\"QORNonStandardModesBCD\"=hex:ff,ff,06,00,00,00,00,75\r\n",
         "line 5: a mode list entry past what the driver key gives back"},
        {good + "\"" + Name(640, 480, 60) + "\"=-\r\n", "line 5: a deletion"},
        {"\"Other\"=hex:00\r\n", "holds no timing value and no mode list"},
        {good + "\"x\"=dword:123456789\r\n", "line 5: "},
    };
    const std::string file = TempFile("ctl_hostile.reg");
    const std::string before = Everything();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        WriteFile(file, head + c.body);
        Result r = Ctl({"import", file.c_str(), "--replace"});
        EXPECT_EQ(CtlRefused, r.code);
        EXPECT_EQ(0u, r.err.find("velmoractl: " + file + ": " + c.error)) << r.err;
        EXPECT_EQ(before, Everything());
    }
}

TEST_F(CtlTest, RestoreMakesTheKeyTheBackupByteForByte) {
    // Stored forms that a save would change or drop come back as they were: a digit past 9 of
    // another type, and a failed checksum.
    TimingBlock twenty{};
    ASSERT_EQ(1, RasterToTimingBlock(Vga, &twenty, nullptr));
    twenty.words[TimingFlagsWord] = 20;
    twenty.words[TimingChecksumWord] = ComputeTimingChecksum(twenty.words);
    Bytes odd = Stored(twenty);
    odd[3] = 0x1A; // read as 1 x 10 + 10, written back as 0x20
    Bytes bad = Stored(Svga75);
    bad[67] ^= 1;
    Put(RegistryLocalMachine, Path0, Name(640, 480, 72), odd, 7);
    Put(RegistryLocalMachine, Path0, Name(800, 600, 85), bad);
    Put(RegistryLocalMachine, Path0, "Driver's own", {1, 2, 3});
    ASSERT_EQ(CtlDone, Ctl({"add", "1600x1200@60", "--gtf"}).code);
    auto backup = Dump(RegistryCurrentUser, Backup0);
    EXPECT_EQ(1u, backup.erase("Original Registry Path"));
    ASSERT_EQ(5u, backup.size()); // four timing values and the mode list

    // Changed since: a mode removed, one added, one stored again under a name of other case
    // (the same registry value).
    ASSERT_EQ(CtlDone, Ctl({"remove", "800x600@75"}).code);
    ASSERT_EQ(CtlDone, Ctl({"add", "1024x768@85", "--gtf"}).code);
    RegistryKey key;
    ASSERT_EQ(1, RegistryOpenKey(RegistryLocalMachine, Path0, &key));
    ASSERT_EQ(1, RegistryDeleteValue(key, Name(640, 480, 72).c_str()));
    RegistryCloseKey(key);
    Put(RegistryLocalMachine, Path0, "QORDTMCRTBCD0640x0480X0X72", Stored(Vga));
    Result r = Ctl({"restore"});
    ASSERT_EQ(CtlDone, r.code) << r.err;
    EXPECT_EQ("restored 4 timing values and the mode list of DISPLAY1 from its backup\n", r.out);
    auto after = Dump(RegistryLocalMachine, Path0);
    EXPECT_EQ(1u, after.erase("Driver's own"));
    EXPECT_EQ(backup, after);

    // A backup without a mode list removes it; one from another key needs --force.
    ASSERT_EQ(1, RegistryOpenKey(RegistryCurrentUser, Backup0.c_str(), &key));
    ASSERT_EQ(1, RegistryDeleteValue(key, ModeListValueName));
    RegistryCloseKey(key);
    Put(RegistryCurrentUser, Backup0, "Original Registry Path",
        TextBytes(std::string("HKEY_LOCAL_MACHINE\\") + Path1), RegistryTypeSz);
    const std::string before = Everything();
    r = Ctl({"restore"});
    EXPECT_EQ(CtlSystem, r.code);
    EXPECT_EQ("velmoractl: DISPLAY1: its backup was taken from HKEY_LOCAL_MACHINE\\" +
                  std::string(Path1) + "; give --force to restore it here anyway\n",
              r.err);
    EXPECT_EQ(before, Everything());
    ASSERT_EQ(CtlDone, Ctl({"restore", "--force"}).code);
    after = Dump(RegistryLocalMachine, Path0);
    EXPECT_EQ(0u, after.count(ModeListValueName));
    EXPECT_EQ(5u, after.size());
}

// A copy that ended before its last value, "Original Registry Path": it is never restored, even
// with --force, the listing says "part", and the next writing command takes it again whole.
TEST_F(CtlTest, AnIncompleteBackupIsRefusedAndTakenAgain) {
    const auto original = Dump(RegistryLocalMachine, Path0);
    Put(RegistryCurrentUser, Backup0, Name(640, 480, 60), Stored(Vga));
    const std::string before = Everything();
    for (const auto& command :
         std::vector<std::vector<const char*>>{{"restore"}, {"restore", "--force"}}) {
        Result r = Ctl(command);
        EXPECT_EQ(CtlSystem, r.code);
        EXPECT_EQ(
            "velmoractl: restore: the backup of DISPLAY1 is incomplete; nothing was written\n",
            r.err);
        EXPECT_EQ(before, Everything());
    }
    EXPECT_NE(std::string::npos, Ctl({"devices"}).out.find("  part  ")) << Ctl({"devices"}).out;

    ASSERT_EQ(CtlDone, Ctl({"add", "1024x768@85", "--gtf"}).code);
    auto backup = Dump(RegistryCurrentUser, Backup0);
    EXPECT_EQ(1u, backup.erase("Original Registry Path"));
    EXPECT_EQ(original, backup);
    ASSERT_EQ(CtlDone, Ctl({"restore"}).code);
    EXPECT_EQ(original, Dump(RegistryLocalMachine, Path0));
}

// Every writing command stopped at every registry call (a failure once, and a process ended
// there: every later call failing too). Whatever the stop, the stored mode list is the old one
// with the old set whole, or the new one with the new set whole (each of its timings stored as
// the command meant it); the backup is whole and holds the original values, or is no backup
// (absent, or a copy without its mark that holds nothing but original values); and the command
// run once more, where the work is not done already, gives the clean result.
TEST_F(CtlTest, AWriteStoppedAnywhereLeavesOneSetWholeAndListed) {
    const std::string file = TempFile("ctl_stopped.reg");
    const auto original = Dump(RegistryLocalMachine, Path0);
    Put(RegistryLocalMachine, Path1, Name(1024, 768, 85), Stored(Svga75));
    Put(RegistryLocalMachine, Path1, Name(320, 240, 60), Stored(Vga));
    Put(RegistryLocalMachine, Path1, ModeListValueName,
        Modes({{1024, 768, 0, 85}, {320, 240, 0, 60}}));
    ASSERT_EQ(CtlDone, Ctl({"--device", "DISPLAY2", "export", file.c_str()}).code);
    const struct {
        const char* what;
        std::vector<std::vector<const char*>> before; // after the seed, run clean
        std::vector<const char*> command;
    } cases[] = {
        {"import --replace", {}, {"import", file.c_str(), "--replace"}},
        {"fit --replace", {}, {"fit", "vga", "640x480@60", "720x400@70", "--replace", "--force"}},
        {"remove", {}, {"remove", "800x600@75"}},
        {"restore", {{"add", "1024x768@85", "--gtf"}, {"remove", "640x480@60"}}, {"restore"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::map<std::string, std::string> old, clean;
        auto prepare = [&] {
            SetUp();
            for (const auto& command : c.before)
                ASSERT_EQ(CtlDone, Ctl(command).code);
            old = Dump(RegistryLocalMachine, Path0);
        };
        prepare();
        ASSERT_EQ(CtlDone, Ctl(c.command).code);
        clean = Dump(RegistryLocalMachine, Path0);
        const uint32_t points = SweepFailures(
            prepare, [&] { return Ctl(c.command).code; },
            [&](int code, const SweepPoint&) {
                auto now = Dump(RegistryLocalMachine, Path0);
                now.erase("DUMMY"); // the probe's delete may fail unseen, as in the window
                const bool newList = now[ModeListValueName] == clean[ModeListValueName];
                const bool oldList = now[ModeListValueName] == old[ModeListValueName];
                ASSERT_TRUE(newList || oldList) << "a mode list of neither set";
                for (const auto& value : newList ? clean : old) {
                    if (value.first.compare(0, 12, "QORDTMCRTBCD") != 0)
                        continue;
                    const std::string& held = now[value.first];
                    if (newList && !oldList) {
                        EXPECT_EQ(value.second, held) << value.first;
                    } else {
                        EXPECT_TRUE(held == old[value.first] || held == clean[value.first])
                            << value.first << " lost";
                    }
                }
                auto backup = Dump(RegistryCurrentUser, Backup0);
                const bool whole = backup.erase("Original Registry Path") == 1;
                for (const auto& value : backup)
                    EXPECT_EQ(original.at(value.first), value.second)
                        << "backup of " << value.first;
                if (whole) {
                    EXPECT_EQ(original, backup);
                }
                if (code != CtlDone && now != clean) {
                    const Result again = Ctl(c.command);
                    ASSERT_EQ(CtlDone, again.code) << again.err;
                }
                now = Dump(RegistryLocalMachine, Path0);
                now.erase("DUMMY");
                EXPECT_EQ(clean, now);
            });
        EXPECT_LE(20u, points);
    }
}

namespace {

const char MonitorId[] = "MONITOR\\VLM1701\\{4d36e96e-e325-11ce-bfc1-08002be10318}\\0001";
const char Instance[] = "SYSTEM\\CurrentControlSet\\Enum\\DISPLAY\\VLM1701\\1\\Device Parameters";
const char ClassModes[] = "SYSTEM\\CurrentControlSet\\Control\\Class\\"
                          "{4d36e96e-e325-11ce-bfc1-08002be10318}\\0001\\MODES\\1280,1024";

// The demo CRT's EDID: 50-120 Hz, 30-83 kHz, 140 MHz, named "VLM CRT 17".
Bytes CrtEdid() {
    const char hex[] = "00ffffffffffff00598da506921000000c0b01030e201878ea00000000000000"
                       "000000254a0061598180714f01010101010101010101ea240060410028303060"
                       "1300402c1100001e000000fd0032781e530e000a202020202020000000fc0056"
                       "4c4d204352542031370a2020000000ff0056313741303034320a2020202000d3";
    Bytes bytes;
    for (size_t i = 0; hex[i]; i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoi(std::string(hex + i, 2), nullptr, 16)));
    return bytes;
}

// DISPLAY1's monitor is the CRT, its instance holding `edid` (none when empty).
void AttachMonitor(const Bytes& edid) {
    ScriptedDisplay::Reset();
    ResetDisplayEntryPointsForTesting();
    for (const auto& device :
         {std::make_pair("\\\\.\\DISPLAY1", Path0), std::make_pair("\\\\.\\DISPLAY2", Path1)}) {
        ScriptedDisplay::Device d;
        d.systemName = device.first;
        d.answer = std::string(device.second) + std::string(1, '\0');
        d.monitorId = device.second == Path0 ? MonitorId : "";
        ScriptedDisplay::AddDevice(d);
    }
    std::string instance = Instance;
    instance.resize(instance.rfind('\\'));
    Put(RegistryLocalMachine, instance, "Driver",
        TextBytes("{4d36e96e-e325-11ce-bfc1-08002be10318}\\0001"), RegistryTypeSz);
    if (!edid.empty())
        Put(RegistryLocalMachine, Instance, "EDID", edid);
}

// 1 when python3 reads the text as one JSON document (-1 when python3 is not there).
int ValidJson(const std::string& text) {
    if (std::system("command -v python3 >/dev/null 2>&1") != 0)
        return -1;
    const std::string file = TempFile("ctl.json");
    WriteFile(file, text);
    return std::system(("python3 -c 'import json,sys; json.load(open(sys.argv[1]))' " + file +
                        " 2>/dev/null")
                           .c_str()) == 0;
}

} // namespace

TEST_F(CtlTest, MonitorShowsItsSourceAndCheckUsesItsLimitsLimitByLimit) {
    AttachMonitor(CrtEdid());
    Result r = Ctl({"monitor"});
    ASSERT_EQ(CtlDone, r.code) << r.err;
    EXPECT_NE(std::string::npos,
              r.out.find(std::string("taken: index 0 of 1, \\\\.\\DISPLAY1\\Monitor0, "
                                     "attached and active\nsource: EDID, "
                                     "HKEY_LOCAL_MACHINE\\") +
                         Instance + ", value EDID\nname: VLM CRT 17\n"))
        << r.out;
    EXPECT_NE(std::string::npos,
              r.out.find("ranges: 30-83 kHz, 50-120 Hz, max pixel clock 140 MHz (default GTF)\n"
                         "preferred: Modeline \"1024x768\" 94.50 1024 1072 1168 1376 768 769 "
                         "772 808 +hsync +vsync (68.68 kHz, 85.00 Hz)\n"));
    EXPECT_EQ("No monitor information for DISPLAY2\n", Ctl({"--device", "1", "monitor"}).out);
    const struct {
        std::vector<const char*> options;
        const char* first; // the first line
        int code;
    } cases[] = {
        {{}, "limits from the monitor's EDID: 30-83 kHz, 50-120 Hz, 140 MHz", CtlDone},
        {{"--hfreq", "30-40"}, "limits from the monitor's EDID: 50-120 Hz, 140 MHz", CtlProblems},
        {{"--hfreq", "30-90", "--vfreq", "50-60", "--max-clock", "300"},
         "800x600@75: refresh 75.00 Hz outside 50.00-60.00",
         CtlProblems},
    };
    for (const auto& c : cases) {
        std::vector<const char*> args = {"check"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        r = Ctl(args);
        EXPECT_EQ(c.code, r.code) << c.first;
        EXPECT_EQ(c.first, r.out.substr(0, r.out.find('\n')));
    }
    // An EDID that does not read gives no limits, and says why.
    Bytes bad = CrtEdid();
    bad[127] ^= 1;
    AttachMonitor(bad);
    EXPECT_EQ(0u,
              Ctl({"check"}).out.find(
                  "no monitor limits are known for DISPLAY1: unreadable EDID (bad checksum)\n"));
    EXPECT_NE(std::string::npos, Ctl({"monitor"}).out.find("unreadable EDID (bad checksum)\n"));
    // Beside a setup file, its MODES stand in, and every output says so and why.
    bad.resize(100);
    AttachMonitor(bad);
    // As a REG_SZ is kept, with its terminating zero.
    Put(RegistryLocalMachine, ClassModes, "Mode1", TextBytes(std::string("30-70,50-120,+,+", 17)),
        RegistryTypeSz);
    const char fault[] = "its EDID does not read: shorter than 128 bytes";
    EXPECT_EQ(0u, Ctl({"check"}).out.find("limits from the monitor's setup file: 30-70 kHz, "
                                          "50-120 Hz (" +
                                          std::string(fault) + ")\n"));
    r = Ctl({"add", "1600x1200@85", "--gtf"});
    EXPECT_EQ(CtlRefused, r.code);
    EXPECT_NE(std::string::npos,
              r.err.find("(the monitor's setup file; " + std::string(fault) + "); give --force"))
        << r.err;
    EXPECT_NE(std::string::npos,
              Ctl({"monitor"})
                  .out.find("unreadable EDID (shorter than 128 bytes)\nmode: 1280,1024 "
                            "Mode1 \"30-70,50-120,+,+\": 30-70 kHz, 50-120 Hz\n"
                            "ranges: 30-70 kHz, 50-120 Hz (from the setup file, as "
                            "the EDID does not read)\n"));
    r = Ctl({"monitor", "--json"});
    EXPECT_NE(std::string::npos, r.out.find("\"text\":\"30-70,50-120,+,+\"}]")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("\"limitsSource\":\"setup-file\",\"limits\":{"))
        << r.out;
}

// An interlaced detailed timing is a frame, as X gives it, and its printed modeline adds the
// same mode back.
TEST_F(CtlTest, MonitorGivesInterlacedTimingsAsFramesThatAddTakesBack) {
    Bytes edid = CrtEdid();
    const uint8_t dtd[18] = {0x01, 0x1D, 0x80, 0x18, 0x71, 0x1C, 0x16, 0x20, 0x58,
                             0x2C, 0x25, 0x00, 0x40, 0x2C, 0x11, 0x00, 0x00, 0x9E};
    std::copy(std::begin(dtd), std::end(dtd), edid.begin() + 54);
    uint32_t sum = 0;
    for (size_t i = 0; i < 127; ++i)
        sum += edid[i];
    edid[127] = static_cast<uint8_t>(-sum);
    AttachMonitor(edid);
    const std::string numbers = " 74.25 1920 2008 2052 2200 1080 1084 1094 1125 interlace +hsync "
                                "+vsync";
    Result r = Ctl({"monitor"});
    const std::string modeline = "Modeline \"1920x1080i\"" + numbers;
    EXPECT_NE(std::string::npos, r.out.find("preferred: " + modeline + " (33.75 kHz, 60.00 Hz)\n"))
        << r.out;
    EXPECT_NE(std::string::npos,
              Ctl({"monitor", "--json"})
                  .out.find("\"vDisplay\":1080,\"vSyncStart\":1084,\"vSyncEnd\":1094,"
                            "\"vTotal\":1125,\"interlaced\":true"));
    r = Ctl({"add", "1920x1080@60", "--modeline", modeline.c_str()});
    ASSERT_EQ(CtlDone, r.code) << r.err;
    EXPECT_NE(std::string::npos, Ctl({"list", "--modelines"}).out.find(numbers + "\n"));
}

TEST_F(CtlTest, WritesOutsideTheMonitorsLimitsAreRefusedUnlessForced) {
    AttachMonitor(CrtEdid());
    const std::string file = TempFile("ctl_monitor.reg");
    ASSERT_EQ(CtlDone, Ctl({"add", "1600x1200@85", "--gtf", "--force"}).code);
    ASSERT_EQ(CtlDone, Ctl({"export", file.c_str()}).code);
    ASSERT_EQ(CtlDone, Ctl({"remove", "1600x1200@85"}).code);
    const std::string before = Everything();
    Result r = Ctl({"add", "1600x1200@85", "--gtf"});
    EXPECT_EQ(CtlRefused, r.code);
    EXPECT_EQ("velmoractl: 1600x1200@85: horizontal frequency 107.10 kHz outside 30-83 kHz, "
              "pixel clock 234.76 MHz above 140 MHz (the monitor's EDID); give --force to write it "
              "anyway\n",
              r.err);
    r = Ctl({"import", file.c_str()});
    EXPECT_EQ(CtlRefused, r.code);
    EXPECT_EQ(0u, r.err.find("velmoractl: " + file + ": line 12: 1600x1200@85: horizontal"))
        << r.err;
    EXPECT_EQ(before, Everything());
    r = Ctl({"import", file.c_str(), "--force"});
    ASSERT_EQ(CtlDone, r.code) << r.err;
    EXPECT_EQ(0u, r.out.find("--force: 1600x1200@85 imported beyond the monitor's EDID: "
                             "horizontal frequency 107.10 kHz outside 30-83 kHz"))
        << r.out;
    // Inside the limits: no line about them.
    r = Ctl({"add", "1024x768@75", "--cvt"});
    ASSERT_EQ(CtlDone, r.code) << r.err;
    EXPECT_EQ(0u, r.out.find(ListHeader));
}

// The reading commands run on keys that only a reading open can have; a writer still needs rights.
TEST_F(CtlTest, ReadingCommandsOpenForReadingOnly) {
    AttachMonitor(CrtEdid());
    ASSERT_EQ(1, MemoryRegistry::SetWritable(RegistryLocalMachine, Path0, 0));
    ASSERT_EQ(1, MemoryRegistry::SetWritable(RegistryLocalMachine, Path1, 0));
    const std::string file = TempFile("ctl_read.reg");
    for (const std::vector<const char*>& args :
         std::vector<std::vector<const char*>>{{"devices"},
                                               {"list"},
                                               {"check"},
                                               {"monitor"},
                                               {"export", file.c_str()},
                                               {"list", "--json"}}) {
        Result r = Ctl(args);
        EXPECT_EQ(CtlDone, r.code) << args[0] << ": " << r.err;
    }
    Result r = Ctl({"add", "1024x768@75", "--cvt"});
    EXPECT_EQ(CtlSystem, r.code);
    EXPECT_NE(std::string::npos, r.err.find("administrator rights are needed"));
}

// Any stored bytes come out as valid JSON; numbers are numbers.
TEST_F(CtlTest, JsonIsValidForAnyStoredData) {
    AttachMonitor(CrtEdid());
    Bytes odd = CrtEdid();
    const char name[] = "\"\\\x01\xe9\x7f";
    for (size_t i = 0; i < 5; ++i)
        odd[95 + i] = static_cast<uint8_t>(name[i]);
    uint32_t sum = 0;
    for (size_t i = 0; i < 127; ++i)
        sum += odd[i];
    odd[127] = static_cast<uint8_t>(-sum);
    Put(RegistryLocalMachine, Instance, "EDID", odd);
    Put(RegistryLocalMachine, ClassModes, "Mode1", TextBytes("x\"\n\xff"), RegistryTypeSz);
    for (const std::vector<const char*>& args :
         std::vector<std::vector<const char*>>{{"devices", "--json"},
                                               {"list", "--json"},
                                               {"check", "--json"},
                                               {"monitor", "--json"}}) {
        Result r = Ctl(args);
        EXPECT_NE(0, ValidJson(r.out)) << args[0] << ": " << r.out; // -1: no python3 to judge
        EXPECT_EQ(1u, static_cast<size_t>(std::count(r.out.begin(), r.out.end(), '\n')));
    }
    Result r = Ctl({"monitor", "--json"});
    EXPECT_NE(std::string::npos, r.out.find("\"name\":\"\\\"\\\\\\u0001\\u00e9\\u007f")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("\"limits\":{\"hFreqKHz\":{\"min\":30.00,"));
    EXPECT_NE(
        std::string::npos,
        r.out.find("\"monitorIndex\":0,\"monitorName\":\"\\\\\\\\.\\\\DISPLAY1\\\\Monitor0\",\""
                   "monitorState\":\"attached and active\",\"monitorsAsked\":1,"))
        << r.out;
    r = Ctl({"check", "--json", "--vfreq", "50-60"});
    EXPECT_EQ(CtlProblems, r.code);
    EXPECT_NE(std::string::npos,
              r.out.find("{\"mode\":\"800x600@75\",\"problem\":\"refresh 75.00 Hz outside "
                         "50.00-60.00\"}"))
        << r.out;
}

// Fitted modes: one add, then a set from a file with comments, blank lines and CRLF ends, whose
// one mode that cannot fit refuses it whole unless --skip-bad; the interlaced mode's flags in
// --modelines.
TEST_F(CtlTest, FitWritesTheWholeSetOrNothing) {
    const auto original = Dump(RegistryLocalMachine, Path0);
    Result r = Ctl({"add", "320x240@60", "--fit", "arcade_15"});
    ASSERT_EQ(CtlDone, r.code) << r.err;
    EXPECT_EQ(std::string(NoLimits1) +
                  "320x240@60: 424x261 total, 15.660 kHz, 60.001 Hz (+0.001 Hz, +0.00 %)\n" +
                  ListHeader +
                  "320x240@60       320   336     32    424   240   241      3    261       "
                  "6.64      15.66     60.00  -hsync -vsync\n",
              r.out);
    const std::string file = TempFile("ctl_fit.txt");
    WriteFile(file, "# a 15 kHz set\r\n640x480@60   # interlaced\r\n\n  256x224@59.19\n"
                    "320x300@60\n384x224@55.02");
    const std::string before = Everything();
    const struct {
        std::vector<const char*> args;
        int code;
        std::vector<const char*> out; // lines the output holds, or the start of the error
    } cases[] = {
        {{"fit", "arcade_15", "--from", file.c_str()},
         CtlUsage,
         {"velmoractl: 320x300@60: 300 lines are outside"}},
        {{"fit", "arcade_15", "--from", file.c_str(), "320x240@60"},
         CtlUsage,
         {"velmoractl: 320x300@60: "}},
        {{"fit", "arcade_15", "--from", file.c_str(), "--skip-bad", "--replace"},
         CtlDone,
         {"640x480@60: 832x521 total, 15.625 kHz, 59.981 Hz (-0.019 Hz, -0.03 %), interlaced\n",
          "256x224@59.19: ", "384x224@55.02: ", "left out 320x300@60: 300 lines are outside"}},
        // 30 Hz is below the monitor's 49.5 Hz: twice it is taken, and the line says so.
        {{"fit", "arcade_15", "320x240@30", "--replace"},
         CtlDone,
         {"320x240@30: ", ", at 60.000 Hz, 2 times the request\n"}},
    };
    for (const auto& c : cases) {
        r = Ctl(c.args);
        EXPECT_EQ(c.code, r.code) << r.err;
        for (const char* line : c.out)
            EXPECT_NE(std::string::npos, (c.code ? r.err : r.out).find(line)) << line << r.out;
        if (c.code) {
            EXPECT_EQ(before, Everything());
        }
    }
    auto after = Dump(RegistryLocalMachine, Path0);
    for (const std::string& name : {Name(640, 480, 60), Name(256, 224, 59), Name(384, 224, 55)})
        EXPECT_EQ(1u, after.count(name)) << name;
    auto backup = Dump(RegistryCurrentUser, Backup0);
    EXPECT_EQ(1u, backup.erase("Original Registry Path"));
    EXPECT_EQ(original, backup) << "the backup is taken once, before the first fit";

    r = Ctl({"list", "--modelines"});
    EXPECT_NE(std::string::npos, r.out.find(" 13.00 640 664 728 832 480 482 488 521 interlace "
                                            "-hsync -vsync\n"))
        << r.out;
    r = Ctl({"fit", "vga", "320x240@60", "--min-clock", "50"});
    ASSERT_EQ(CtlDone, r.code) << r.err;
    EXPECT_NE(std::string::npos, r.out.find(", double-scan, 1280 wide (x4) for --min-clock\n"))
        << r.out;
    r = Ctl({"list", "--modelines"});
    EXPECT_NE(std::string::npos, r.out.find(" 262 doublescan -hsync -vsync\n")) << r.out;
}

// The card's lowest clock after every rounding, the TV presets' broadcast rasters at
// their exact clock, and the vga preset's polarities by line count, as the console writes them.
TEST_F(CtlTest, FitKeepsTheLowestClockBroadcastRastersAndVgaPolarities) {
    const struct {
        std::vector<const char*> args;
        const char* line;     // the fit's line
        const char* modeline; // the end of the stored timing's modeline
    } cases[] = {
        // 504 wide rounds to 19.90 MHz, below 20: twice as wide.
        {{"add", "504x224@59.19", "--fit", "arcade_31", "--min-clock", "20", "--force"},
         "504x224@59.19: 1272x266 total, 31.486 kHz, 59.184 Hz (-0.006 Hz, -0.01 %), double-scan, "
         "1008 wide (x2) for --min-clock\n",
         "\"1008x224@59\" 40.05 1008 1048 1200 1272 224 239 240 266 doublescan -hsync -vsync\n"},
        {{"fit", "pal", "720x576@50"},
         "720x576@50: 864x625 total, 15.625 kHz, 50.000 Hz (+0.000 Hz, +0.00 %), interlaced, "
         "broadcast raster\n",
         "\"720x576@50\" 13.50 720 737 800 864 576 582 587 625 interlace -hsync -vsync\n"},
        {{"fit", "ntsc", "720x480@59.94"},
         "720x480@59.94: 858x525 total, 15.734 kHz, 59.940 Hz (+0.000 Hz, +0.00 %), interlaced, "
         "broadcast raster\n",
         "\"720x480@60\" 13.50 720 738 801 858 480 487 493 525 interlace -hsync -vsync\n"},
        {{"fit", "vga", "640x350@70"}, "640x350@70: ", " 350 386 388 448 +hsync -vsync\n"},
        {{"fit", "vga", "720x400@70"}, "720x400@70: ", " 400 411 413 448 -hsync +vsync\n"},
    };
    for (const auto& c : cases) {
        const Result r = Ctl(c.args);
        ASSERT_EQ(CtlDone, r.code) << r.err;
        EXPECT_NE(std::string::npos, r.out.find(c.line)) << r.out;
        const Result list = Ctl({"list", "--modelines"});
        EXPECT_NE(std::string::npos, list.out.find(c.modeline)) << list.out;
    }
}

namespace {

// A game list of every kind of machine: a device with an unsized screen, one that does not run,
// one without a screen, LCD, SVG and vector machines, then raster games: two rates of one key, a
// turned one, one of the key DISPLAY1 holds (640x480@60) and one too tall for any mode.
std::string GameList() {
    auto machine = [](const std::string& attributes, const std::string& display) {
        return "<machine " + attributes + ">\n" +
               (display.empty() ? "" : "\t<display tag=\"screen\" " + display + "/>\n") +
               "</machine>\n";
    };
    auto raster = [](const char* rotate, const char* w, const char* h, const char* rate) {
        return std::string("type=\"raster\" rotate=\"") + rotate + "\" width=\"" + w +
               "\" height=\"" + h + "\" refresh=\"" + rate + "\"";
    };
    return "<?xml version=\"1.0\"?>\n<mame build=\"0.251\">\n" +
           machine("name=\"screen\" isdevice=\"yes\" runnable=\"no\"",
                   raster("0", "0", "0", "60")) +
           machine("name=\"bios\" runnable=\"no\"", raster("0", "320", "240", "60")) +
           machine("name=\"slot\"", "") +
           machine("name=\"gnw\"",
                   "type=\"lcd\" rotate=\"0\" width=\"9\" height=\"9\" refresh=\"1\"") +
           machine("name=\"hh\"",
                   "type=\"svg\" rotate=\"0\" width=\"9\" height=\"9\" refresh=\"1\"") +
           machine("name=\"asteroid\"", "type=\"vector\" rotate=\"0\" refresh=\"60\"") +
           machine("name=\"sf\"", raster("0", "384", "224", "59.185606")) +
           machine("name=\"sf2\"", raster("0", "384", "224", "59.411")) +
           machine("name=\"pac\"", raster("90", "224", "384", "60")) +
           machine("name=\"hires\"", raster("0", "640", "480", "60")) +
           machine("name=\"tower\"", raster("0", "320", "600", "60")) + "</mame>\n";
}

size_t Occurrences(const std::string& text, const std::string& piece) {
    size_t count = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
        ++count;
    return count;
}

} // namespace

TEST_F(CtlTest, TableReportsEachGameOnceAndWritesTheWholeTableOrNothing) {
    const std::string file = TempFile("ctl_table.xml");
    WriteFile(file, GameList());
    const auto original = Dump(RegistryLocalMachine, Path0);
    const std::string before = Everything();
    Result r = Ctl({"table", "arcade_15", "--mame", file.c_str(), "--dry-run", "--json"});
    ASSERT_EQ(CtlDone, r.code) << r.err;
    EXPECT_NE(0, ValidJson(r.out)) << r.out;
    EXPECT_EQ(before, Everything());
    EXPECT_NE(std::string::npos,
              r.out.find("\"machines\":{\"read\":11,\"device\":1,\"notRunnable\":1,\"noScreen\":"
                         "1,\"lcd\":1,\"svg\":1,\"vector\":1,\"unknownScreen\":0,\"raster\":5}"))
        << r.out;
    EXPECT_EQ(5u, Occurrences(r.out, "{\"name\":"));
    for (const char* record :
         {"{\"name\":\"sf\",\"need\":\"384x224@59.185606\",\"rotate\":0,\"mode\":\"384x224@59\","
          "\"refreshHz\":59.298341,\"errorHz\":0.112735,\"errorPercent\":0.1905,",
          "{\"name\":\"pac\",\"need\":\"384x224@60\",\"rotate\":90,\"mode\":\"384x224@60\",",
          "{\"name\":\"tower\",\"need\":\"320x600@60\",\"rotate\":0,\"mode\":null,\"status\":"
          "\"unserved\"}"})
        EXPECT_EQ(1u, Occurrences(r.out, record)) << record;

    // Added: the key DISPLAY1 holds keeps its timing; the backup is the original.
    r = Ctl({"table", "arcade_15", "--mame", file.c_str()});
    ASSERT_EQ(CtlDone, r.code) << r.err;
    EXPECT_NE(std::string::npos,
              r.out.find("384x224@59: 504x264 total, 15.655 kHz, 59.298 Hz, 2 games at "
                         "59.186-59.411 Hz\n"))
        << r.out;
    EXPECT_NE(std::string::npos, r.out.find("written to DISPLAY1: 2 timings, 1 of the table's "
                                            "keys kept as the device held them\n"))
        << r.out;
    auto after = Dump(RegistryLocalMachine, Path0);
    EXPECT_EQ(original.at(Name(640, 480, 60)), after.at(Name(640, 480, 60)));
    for (const std::string& name : {Name(384, 224, 59), Name(384, 224, 60), Name(800, 600, 75)})
        EXPECT_EQ(1u, after.count(name)) << name;
    auto backup = Dump(RegistryCurrentUser, Backup0);
    EXPECT_EQ(1u, backup.erase("Original Registry Path"));
    EXPECT_EQ(original, backup);

    // Replaced, capped at two: the device holds exactly the table.
    r = Ctl({"table", "arcade_15", "--mame", file.c_str(), "--replace", "--max-modes", "2"});
    ASSERT_EQ(CtlDone, r.code) << r.err;
    after = Dump(RegistryLocalMachine, Path0);
    EXPECT_EQ(3u, after.size());
    for (const std::string& name : {Name(384, 224, 59), Name(384, 224, 60)})
        EXPECT_EQ(1u, after.count(name)) << name;
}

// A list that does not read, a game line that does not scan or a usage error refuses the run
// before anything is written, naming the line.
TEST_F(CtlTest, TableRefusesAListThatDoesNotReadNamingTheLine) {
    const std::string xml = TempFile("ctl_table_bad.xml"), games = TempFile("ctl_table_bad.txt");
    const char* x = xml.c_str();
    const char* g = games.c_str();
    const std::string list = "<mame>\n<machine name=\"a\">\n";
    const std::string raster = "<display type=\"raster\" rotate=\"0\" height=\"224\" ";
    const struct {
        std::string xml, games;
        std::vector<const char*> args;
        int code;
        const char* error;
    } cases[] = {
        {list, "", {"--mame", x}, CtlRefused, "line 2: the file ends inside a machine"},
        {"<mame>\n<machine name=\"" + std::string(1 << 20, 'a') + "\"/>\n</mame>\n",
         "",
         {"--mame", x},
         CtlRefused,
         "line 2: an attribute value longer than 4096 bytes"},
        {list + raster + "refresh=\"60\"/>\n</machine>\n</mame>\n",
         "",
         {"--mame", x},
         CtlRefused,
         "line 3: a raster display without its rotate, width, height and refresh"},
        {list + raster + "width=\"2e3\" refresh=\"60\"/>",
         "",
         {"--mame", x},
         CtlRefused,
         "line 3: a width that is not a whole number"},
        {"<!DOCTYPE mame [\n<!ENTITY e \"x\">\n]>\n<mame/>\n",
         "",
         {"--mame", x},
         CtlRefused,
         "line 2: an entity declaration"},
        {list + "</machine>\n<machine name=\"\xff\"/>",
         "",
         {"--mame", x},
         CtlRefused,
         "line 4: bytes that are not UTF-8"},
        {"",
         "ok 320x240@60\npac 224x288@60.6060601 90\n",
         {"--from", g},
         CtlRefused,
         "line 2: not a game of the form"},
        {"", "pac 224x288@60 45\n", {"--from", g}, CtlRefused, "line 1: not a game of the form"},
        {"", "pac 224x288@60 90 extra\n", {"--from", g}, CtlRefused, "line 1: not a game"},
        {"",
         "# long\n" + std::string(300, 'a'),
         {"--from", g},
         CtlRefused,
         "line 2: longer than 255 bytes"},
        {"", "", {"--from", "/nonexistent/list"}, CtlSystem, "cannot be read"},
        {"", "# none\n", {"--from", g, "--replace"}, CtlUsage, "no mode serves a game of the list"},
        {"", "tower 320x600@60\n", {"--from", g}, CtlUsage, "no mode serves a game"},
        {"", "", {}, CtlUsage, "table: give one of --mame FILE and --from FILE"},
        {"", "", {"--mame", x, "--from", g}, CtlUsage, "table: give one of --mame"},
        {"", "", {"--from", g, "--dry-run", "--replace"}, CtlUsage, "--dry-run: does not go"},
        {"", "", {"--from", g, "--max-modes", "0"}, CtlUsage, "--max-modes: expects"},
        {"", "", {"--from", g, "--super-width", "10000"}, CtlUsage, "--super-width: expects"},
    };
    const std::string before = Everything();
    for (const auto& c : cases) {
        WriteFile(xml, c.xml);
        WriteFile(games, c.games);
        std::vector<const char*> args = {"table", "arcade_15"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Result r = Ctl(args);
        EXPECT_EQ(c.code, r.code) << c.error;
        EXPECT_NE(std::string::npos, r.err.find(c.error)) << r.err;
        EXPECT_EQ("", r.out) << c.error;
        EXPECT_EQ(before, Everything()) << c.error;
    }
}

// The monitor's limits hold for the whole table: one timing outside them writes nothing, and
// --force writes them all, saying so.
TEST_F(CtlTest, TableOutsideTheMonitorsLimitsIsRefusedWholeUnlessForced) {
    AttachMonitor(CrtEdid()); // 30-83 kHz: no 15 kHz timing is inside
    const std::string games = TempFile("ctl_table_limits.txt");
    WriteFile(games, "sf 384x224@59.185606\npac 288x224@60.606061 90\n");
    const std::string before = Everything();
    Result r = Ctl({"table", "arcade_15", "--from", games.c_str()});
    EXPECT_EQ(CtlRefused, r.code);
    EXPECT_EQ(0u, r.err.find("velmoractl: 384x224@59: horizontal frequency 15.67 kHz outside "
                             "30-83 kHz"))
        << r.err;
    EXPECT_EQ(before, Everything());
    r = Ctl({"table", "arcade_15", "--from", games.c_str(), "--force"});
    ASSERT_EQ(CtlDone, r.code) << r.err;
    EXPECT_NE(std::string::npos, r.out.find("--force: 384x224@59 written beyond the monitor's "
                                            "EDID: horizontal frequency 15.67 kHz outside"))
        << r.out;
    EXPECT_EQ(1u, Dump(RegistryLocalMachine, Path0).count(Name(384, 224, 59)));
}
