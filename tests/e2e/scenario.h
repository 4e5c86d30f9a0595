// What the end-to-end scenarios of Velmora share: the registry as the program finds it (the
// simulated adapters, the driver keys, the per-user key), read back and compared value by value,
// and one run of velmora-sim.exe or velmora.exe driven through its windows.
//
// The program runs in the same Wine prefix as the test, so the test sets up and reads the very
// keys that the program uses, with the Win32 registry API and nothing of the program's own code.
#pragma once

#include "e2e/driver.h"

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace scenario {

using Bytes = std::vector<uint8_t>;

// Bytes written as hexadecimal digits, with any spaces between them: "0000E7B4 06 40".
Bytes Hex(const char* digits);

// One registry value: its type and its bytes exactly as stored.
struct Value {
    uint32_t type = 0;
    Bytes data;
    bool operator==(const Value& other) const { return type == other.type && data == other.data; }
};
// Every value of a key by name.
using Values = std::map<std::string, Value>;

// A value for the comparisons of tests: "REG_BINARY 06 40 04 80" and the like.
std::string Describe(const Value& value);
std::string Describe(const Values& values);

const char SimulatedDriverKey[] = "Software\\Velmora Simulated Driver";
const char CompanyKey[] = "Software\\Orvane Technologies";
const char UserKey[] = "Software\\Orvane Technologies\\Velmora";
// Driver keys of the simulated adapters as the simulated driver answers them by default.
const char DriverKey0[] = "SYSTEM\\CurrentControlSet\\Services\\orvdisp\\Device0";
const char DriverKey1[] = "SYSTEM\\CurrentControlSet\\Services\\orvdisp\\Device1";
// Names of the stored forms.
const char ModeListValue[] = "QORNonStandardModesBCD";
const char OriginalPathValue[] = "Original Registry Path";

// The key with everything below it removed; 1 when it is gone (or was never there).
int DeleteKey(HKEY root, const char* path);
// The key created when missing, and its values set. 1 when every write succeeded.
int CreateKey(HKEY root, const char* path);
int SetBinary(HKEY root, const char* path, const char* name, const Bytes& data);
int SetDword(HKEY root, const char* path, const char* name, uint32_t number);
// A text with its terminating zero, as REG_SZ.
int SetText(HKEY root, const char* path, const char* name, const char* text);

// 1 when the key can be opened.
int KeyExists(HKEY root, const char* path);
// Every value of the key; empty when the key is missing (see KeyExists).
Values ReadValues(HKEY root, const char* path);
// Names of the subkeys of a key, in the registry's order.
std::vector<std::string> SubkeyNames(HKEY root, const char* path);

// One simulated adapter: "DeviceName", "DriverKey" unless `driverKey` is null (the driver then
// answers nothing), "EscapeResult".
struct Adapter {
    const char* deviceName;
    const char* driverKey;
    int32_t escapeResult;
};

// \\.\DISPLAY1 answering DriverKey0 and \\.\DISPLAY2 answering DriverKey1, both with 0.
std::vector<Adapter> TwoAdapters();

// Puts the registry as an installed driver leaves it: no simulated driver configuration, no
// driver keys of ours, the company key without anything of Velmora below it. With
// `showWarning`, the disclaimer is turned off ("ShowWarning" = 1), as most scenarios want.
int ResetRegistry(int showWarning);
// The simulated adapters, in order; an empty list means adapters that none answer.
int ConfigureAdapters(const std::vector<Adapter>& adapters);

// Stored forms used by the scenarios, each checksum valid unless said otherwise.
Bytes Timing640x480at60(); // the stored form of the mode the Add scenario builds
Bytes Timing800x600at75();
Bytes Timing1152x864at75();
Bytes Timing1280x1024at60();
// The stored form of a mode just added: sixteen zero words and the checksum 0xFFFF.
Bytes NewModeTiming();
// DriverKey0 with the modes 640 x 480 at 60 and 800 x 600 at 75, DriverKey1 with 1152 x 864 at
// 75 and 1280 x 1024 at 60, each with its non-standard mode list. 1 when every write succeeded.
int FillDriverKey0();
int FillDriverKey1();
// A value name of the timings, from width, height and refresh.
std::string TimingName(unsigned width, unsigned height, unsigned refresh);

// Window texts of the program.
extern const char MainCaption[];
extern const char MessageCaption[];
extern const char DisclaimerCaption[];
extern const char AddCaption[];
extern const char NoDeviceText[];
extern const char AccessErrorText[];
extern const char UnsavedChangesText[];
extern const char ApplyFailedText[];

// One run of the program. The destructor kills a program still running, so a failed scenario
// leaves nothing behind.
class Session {
public:
    // Starts velmora-sim.exe (or another program beside it, such as velmora.exe), found in
    // src/app of the build folder that holds this test. 1 when the process runs.
    int Start(const char* exeName = "velmora-sim.exe");
    // Starts the program at a full path (a copy outside the build, such as the release's).
    int StartPath(const char* exePath);

    // The main window (the one with the mode list) once it shows and the program has finished
    // starting: the window is visible before the first device is loaded. Null after the timeout.
    HWND WaitForMainWindow();
    // A message box with the program's caption once it shows, or null.
    HWND WaitForMessage();
    // The disclaimer once it shows, or null.
    HWND WaitForDisclaimer();

    // Waits for the end of the program: 1 with its exit code.
    int WaitForExit(uint32_t* exitCode);
    // Whether a disclaimer or a message box is showing now.
    int ShowsDisclaimer();
    int ShowsMessage();
    // How many message boxes with the program's caption show now.
    int MessageCount();

    int IsRunning() const { return process.IsRunning(); }
    uint32_t Id() const { return process.Id(); }
    std::string Windows() const { return e2e::DescribeTopWindows(process.Id()); }

private:
    e2e::AppProcess process;
};

// The main window's mode list as rows of "width height refresh".
std::vector<std::string> Rows(HWND mainWindow);

// Adds a mode through the Add dialog: "&Add", the three numbers typed, OK. 1 when the dialog
// opened, took the numbers and closed.
int AddMode(uint32_t processId, HWND mainWindow, const char* width, const char* height,
            const char* refresh);

} // namespace scenario
