// velmora-sim.exe on each Windows version that it asks for its display devices in its own way.
// Wine answers GetVersionExA with the version named under its per-program settings, so the one
// 64-bit program walks every version path here, Windows 98 included.
//
// Windows 98 and NT 5 or later get a device context for each adapter by its device name, so each
// entry of the Device menu leads to its own adapter's driver key. Windows ME and NT 4.0 get the
// context of the driver "Display" for every device index; that context is the primary adapter's,
// so both entries lead to the first adapter's driver key.
#include "e2e/scenario.h"

#include <gtest/gtest.h>

using namespace e2e;
using namespace scenario;

namespace {

const char WineVersionKey[] = "Software\\Wine\\AppDefaults\\velmora-sim.exe";
const int AcceptButton = 1;
const int ApplyButton = 1033;
const int ExitCommand = 40002;
const char DeviceMenuKey = 'd';

struct WindowsVersion {
    const char* name;  // Wine's name of the version
    int ownDriverKeys; // 1: each adapter answers through its own context
    int windows9x;     // 1: text values are stored with a terminating zero
};

const WindowsVersion Versions[] = {{"win98", 1, 1}, {"winme", 0, 1}, {"nt40", 0, 0},
                                   {"win2k", 1, 0}, {"winxp", 1, 0}, {"win7", 1, 0},
                                   {"win10", 1, 0}};

// The path that the backup of a device records: the driver key that the program read for it.
std::string BackedUpPath(const char* shortName) {
    std::string key = std::string(UserKey) + "\\" + shortName;
    return Describe(ReadValues(HKEY_CURRENT_USER, key.c_str())[OriginalPathValue]);
}

// The recorded path as the system stores it: Windows 95, 98 and ME add a zero to text.
std::string RecordedPath(const char* driverKey, int windows9x) {
    std::string path = std::string("HKEY_LOCAL_MACHINE\\") + driverKey;
    Bytes text(path.begin(), path.end());
    if (windows9x)
        text.push_back(0);
    return Describe(Value{REG_SZ, text});
}

class WindowsVersions : public ::testing::Test {
protected:
    void TearDown() override {
        ResetRegistry(0);
        RegDeleteKeyValueA(HKEY_CURRENT_USER, WineVersionKey, "Version");
    }
};

} // namespace

// One run per version: the warning accepted, the first device loaded, the second chosen from the
// Device menu and loaded, a mode added to it and applied, the program ended.
TEST_F(WindowsVersions, EachEntryEditsTheDriverKeyThatItsDeviceContextAnswers) {
    const std::vector<std::string> rows0 = {"640 480 60", "800 600 75"};
    const std::vector<std::string> rows1 = {"1152 864 75", "1280 1024 60"};
    for (const WindowsVersion& version : Versions) {
        SCOPED_TRACE(version.name);
        ASSERT_TRUE(ResetRegistry(0));
        ASSERT_TRUE(ConfigureAdapters(TwoAdapters()));
        ASSERT_TRUE(FillDriverKey0() && FillDriverKey1());
        ASSERT_TRUE(SetText(HKEY_CURRENT_USER, WineVersionKey, "Version", version.name));
        const char* secondKey = version.ownDriverKeys ? DriverKey1 : DriverKey0;
        const char* otherKey = version.ownDriverKeys ? DriverKey0 : DriverKey1;
        Values expected = ReadValues(HKEY_LOCAL_MACHINE, secondKey);
        Values other = ReadValues(HKEY_LOCAL_MACHINE, otherKey);

        Session run;
        ASSERT_TRUE(run.Start());
        HWND disclaimer = run.WaitForDisclaimer();
        ASSERT_NE(nullptr, disclaimer) << run.Windows();
        ASSERT_TRUE(ClickButton(disclaimer, AcceptButton));
        HWND window = run.WaitForMainWindow();
        ASSERT_NE(nullptr, window) << run.Windows();
        EXPECT_EQ(rows0, Rows(window));
        EXPECT_EQ(RecordedPath(DriverKey0, version.windows9x), BackedUpPath("DISPLAY1"));

        // The second item of the Device menu is the second adapter; a menu with one item would
        // wrap around to the first, which has no backup named DISPLAY2.
        ASSERT_TRUE(ChooseMenuItem(window, DeviceMenuKey, 1)) << run.Windows();
        EXPECT_EQ(version.ownDriverKeys ? rows1 : rows0, Rows(window));
        EXPECT_EQ(RecordedPath(secondKey, version.windows9x), BackedUpPath("DISPLAY2"));

        ASSERT_TRUE(AddMode(run.Id(), window, "1024", "768", "85"));
        ASSERT_TRUE(ClickButton(window, ApplyButton));
        EXPECT_EQ(0, IsEnabled(window, ApplyButton));
        expected[TimingName(1024, 768, 85)] = Value{REG_BINARY, NewModeTiming()};
        Bytes& modes = expected[ModeListValue].data;
        Bytes added = Hex("10 24 07 68 00 00 00 85");
        modes.insert(modes.end(), added.begin(), added.end());
        EXPECT_EQ(Describe(expected), Describe(ReadValues(HKEY_LOCAL_MACHINE, secondKey)));
        EXPECT_EQ(Describe(other), Describe(ReadValues(HKEY_LOCAL_MACHINE, otherKey)));

        ASSERT_TRUE(SendCommand(window, ExitCommand));
        uint32_t exitCode = 12345;
        ASSERT_TRUE(run.WaitForExit(&exitCode)) << run.Windows();
        EXPECT_EQ(0u, exitCode);
    }
}
