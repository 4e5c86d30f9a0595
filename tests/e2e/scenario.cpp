#include "e2e/scenario.h"

#include "ui/strings.h"

#include <cstdio>
#include <cstring>

namespace scenario {

const char MainCaption[] = CAPTION_MAIN;
const char MessageCaption[] = STR_CAPTION;
const char DisclaimerCaption[] = CAPTION_DISCLAIMER;
const char AddCaption[] = CAPTION_MODE_TIMING;
const char NoDeviceText[] = STR_NO_DEVICES;
const char AccessErrorText[] = STR_ACCESS_ERROR;
const char UnsavedChangesText[] = STR_UNSAVED_CHANGES;
const char ApplyFailedText[] = STR_APPLY_FAILED;

namespace {

const int ModeListControl = 1004;
const int AddButton = 1001;
const int AddWidthEdit = 1025;
const int AddHeightEdit = 1023;
const int AddRefreshEdit = 1024;

const char SixZeroWords[] = "00000000 00000000 00000000 00000000 00000000 00000000";

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Opens a key for reading and writing; null when it cannot be opened.
HKEY Open(HKEY root, const char* path) {
    HKEY key = nullptr;
    return RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS ? key : nullptr;
}

int SetValue(HKEY root, const char* path, const char* name, DWORD type, const void* data,
             DWORD size) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return 0;
    LONG result = RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

// The stored form of a timing: ten words as given, six zero overscan words, the checksum word.
Bytes TimingBlock(const char* tenWords, const char* checksum) {
    return Hex((std::string(tenWords) + " " + SixZeroWords + " " + checksum).c_str());
}

} // namespace

Bytes Hex(const char* digits) {
    Bytes bytes;
    int high = -1;
    for (const char* c = digits; *c; ++c) {
        int digit = HexDigit(*c);
        if (digit < 0)
            continue;
        if (high < 0) {
            high = digit;
        } else {
            bytes.push_back(static_cast<uint8_t>(high << 4 | digit));
            high = -1;
        }
    }
    return bytes;
}

std::string Describe(const Value& value) {
    std::string text;
    switch (value.type) {
    case REG_BINARY:
        text = "REG_BINARY";
        break;
    case REG_SZ:
        text = "REG_SZ";
        break;
    case REG_DWORD:
        text = "REG_DWORD";
        break;
    default:
        text = "type " + std::to_string(value.type);
    }
    for (uint8_t byte : value.data) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02X", byte);
        text += hex;
    }
    return text;
}

std::string Describe(const Values& values) {
    std::string text;
    for (const auto& entry : values)
        text += entry.first + " = " + Describe(entry.second) + "\n";
    return text;
}

int DeleteKey(HKEY root, const char* path) {
    LONG result = RegDeleteTreeA(root, path);
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
        return 0;
    result = RegDeleteKeyA(root, path);
    return (result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND) && !KeyExists(root, path);
}

int CreateKey(HKEY root, const char* path) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return 0;
    RegCloseKey(key);
    return 1;
}

int SetBinary(HKEY root, const char* path, const char* name, const Bytes& data) {
    return SetValue(root, path, name, REG_BINARY, data.data(), static_cast<DWORD>(data.size()));
}

int SetDword(HKEY root, const char* path, const char* name, uint32_t number) {
    return SetValue(root, path, name, REG_DWORD, &number, sizeof number);
}

int SetText(HKEY root, const char* path, const char* name, const char* text) {
    return SetValue(root, path, name, REG_SZ, text, static_cast<DWORD>(std::strlen(text) + 1));
}

int KeyExists(HKEY root, const char* path) {
    HKEY key = Open(root, path);
    if (!key)
        return 0;
    RegCloseKey(key);
    return 1;
}

Values ReadValues(HKEY root, const char* path) {
    Values values;
    HKEY key = Open(root, path);
    if (!key)
        return values;
    DWORD count = 0;
    DWORD longestName = 0;
    DWORD longestData = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                         &longestName, &longestData, nullptr, nullptr) == ERROR_SUCCESS) {
        for (DWORD i = 0; i < count; ++i) {
            std::vector<char> name(longestName + 2);
            Bytes data(longestData + 1);
            DWORD nameLength = static_cast<DWORD>(name.size());
            DWORD dataLength = static_cast<DWORD>(data.size());
            DWORD type = 0;
            if (RegEnumValueA(key, i, name.data(), &nameLength, nullptr, &type, data.data(),
                              &dataLength) != ERROR_SUCCESS)
                continue;
            data.resize(dataLength);
            values[std::string(name.data(), nameLength)] = Value{type, data};
        }
    }
    RegCloseKey(key);
    return values;
}

std::vector<std::string> SubkeyNames(HKEY root, const char* path) {
    std::vector<std::string> names;
    HKEY key = Open(root, path);
    if (!key)
        return names;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD length = sizeof name;
        if (RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.push_back(std::string(name, length));
    }
    RegCloseKey(key);
    return names;
}

int ResetRegistry(int showWarning) {
    int done = DeleteKey(HKEY_LOCAL_MACHINE, SimulatedDriverKey) &&
               DeleteKey(HKEY_LOCAL_MACHINE, DriverKey0) &&
               DeleteKey(HKEY_LOCAL_MACHINE, DriverKey1) &&
               DeleteKey(HKEY_CURRENT_USER, CompanyKey) && CreateKey(HKEY_CURRENT_USER, CompanyKey);
    if (done && showWarning)
        done = SetDword(HKEY_CURRENT_USER, UserKey, "ShowWarning", 1);
    return done;
}

std::vector<Adapter> TwoAdapters() {
    return {{"\\\\.\\DISPLAY1", DriverKey0, 0}, {"\\\\.\\DISPLAY2", DriverKey1, 0}};
}

int ConfigureAdapters(const std::vector<Adapter>& adapters) {
    std::string root = std::string(SimulatedDriverKey) + "\\Adapters";
    if (!CreateKey(HKEY_LOCAL_MACHINE, root.c_str()))
        return 0;
    for (size_t i = 0; i < adapters.size(); ++i) {
        std::string path = root + "\\" + std::to_string(i);
        const Adapter& adapter = adapters[i];
        if (!SetText(HKEY_LOCAL_MACHINE, path.c_str(), "DeviceName", adapter.deviceName) ||
            !SetDword(HKEY_LOCAL_MACHINE, path.c_str(), "EscapeResult",
                      static_cast<uint32_t>(adapter.escapeResult)))
            return 0;
        if (adapter.driverKey &&
            !SetText(HKEY_LOCAL_MACHINE, path.c_str(), "DriverKey", adapter.driverKey))
            return 0;
    }
    return 1;
}

Bytes Timing640x480at60() {
    return TimingBlock("00000012 00000800 00000640 00000656 00000096 00000525 00000480 00000490 "
                       "00000002 00002518",
                       "0000E7B4");
}

Bytes Timing800x600at75() {
    return TimingBlock("00000000 00001056 00000800 00000816 00000080 00000625 00000600 00000601 "
                       "00000003 00004950",
                       "0000DAC4");
}

Bytes Timing1152x864at75() {
    return TimingBlock("00000000 00001600 00001152 00001216 00000128 00000900 00000864 00000865 "
                       "00000003 00010800",
                       "0000BB87");
}

Bytes Timing1280x1024at60() {
    return TimingBlock("00000000 00001688 00001280 00001328 00000112 00001066 00001024 00001025 "
                       "00000003 00010800",
                       "0000B869");
}

Bytes NewModeTiming() {
    return Hex("00000000 00000000 00000000 00000000 00000000 00000000 00000000 00000000 "
               "00000000 00000000 00000000 00000000 00000000 00000000 00000000 00000000 0000FFFF");
}

int FillDriverKey0() {
    return SetBinary(HKEY_LOCAL_MACHINE, DriverKey0, TimingName(640, 480, 60).c_str(),
                     Timing640x480at60()) &&
           SetBinary(HKEY_LOCAL_MACHINE, DriverKey0, TimingName(800, 600, 75).c_str(),
                     Timing800x600at75()) &&
           SetBinary(HKEY_LOCAL_MACHINE, DriverKey0, ModeListValue,
                     Hex("06 40 04 80 00 00 00 60  08 00 06 00 00 00 00 75"));
}

int FillDriverKey1() {
    return SetBinary(HKEY_LOCAL_MACHINE, DriverKey1, TimingName(1152, 864, 75).c_str(),
                     Timing1152x864at75()) &&
           SetBinary(HKEY_LOCAL_MACHINE, DriverKey1, TimingName(1280, 1024, 60).c_str(),
                     Timing1280x1024at60()) &&
           SetBinary(HKEY_LOCAL_MACHINE, DriverKey1, ModeListValue,
                     Hex("11 52 08 64 00 00 00 75  12 80 10 24 00 00 00 60"));
}

std::string TimingName(unsigned width, unsigned height, unsigned refresh) {
    char name[64];
    std::snprintf(name, sizeof name, "QORDTMCRTBCD%04uX%04uX0X%u", width, height, refresh);
    return name;
}

int Session::Start(const char* exeName) {
    // Tests live in <build>/tests/e2e, the programs in <build>/src/app.
    std::string exe = e2e::ExeDirectory() + "..\\..\\src\\app\\" + exeName;
    return process.Start(exe.c_str(), e2e::ExeDirectory().c_str());
}

int Session::StartPath(const char* exePath) {
    return process.Start(exePath, e2e::ExeDirectory().c_str());
}

HWND Session::WaitForMainWindow() {
    HWND window = e2e::WaitForTopWindow(process.Id(), MainCaption, e2e::DefaultTimeoutMs, nullptr,
                                        ModeListControl);
    // The thread answers through its queue only once the start-up checks and the first load are
    // over and the message loop runs.
    return window && e2e::Sync(window) ? window : nullptr;
}

HWND Session::WaitForMessage() {
    return e2e::WaitForMessageBox(process.Id(), MessageCaption);
}

HWND Session::WaitForDisclaimer() {
    return e2e::WaitForTopWindow(process.Id(), DisclaimerCaption);
}

int Session::WaitForExit(uint32_t* exitCode) {
    return process.WaitForExit(e2e::DefaultTimeoutMs, exitCode);
}

int Session::ShowsDisclaimer() {
    return e2e::FindTopWindow(process.Id(), DisclaimerCaption) != nullptr;
}

int Session::ShowsMessage() {
    return e2e::FindMessageBox(process.Id(), MessageCaption) != nullptr;
}

int Session::MessageCount() {
    // The main window has the same caption; message boxes have no mode list.
    return e2e::CountTopWindows(process.Id(), MessageCaption, "#32770") -
           e2e::CountTopWindows(process.Id(), MainCaption, "#32770", ModeListControl);
}

std::vector<std::string> Rows(HWND mainWindow) {
    std::vector<std::vector<std::string>> cells;
    std::vector<std::string> rows;
    if (!e2e::ListContents(e2e::Control(mainWindow, ModeListControl), &cells)) {
        rows.push_back("<list not readable>");
        return rows;
    }
    for (const auto& row : cells) {
        std::string text;
        for (const std::string& cell : row)
            text += (text.empty() ? "" : " ") + cell;
        rows.push_back(text);
    }
    return rows;
}

int AddMode(uint32_t processId, HWND mainWindow, const char* width, const char* height,
            const char* refresh) {
    if (!e2e::ClickButton(mainWindow, AddButton))
        return 0;
    HWND dialog = e2e::WaitForTopWindow(processId, AddCaption);
    return dialog && e2e::TypeText(dialog, AddWidthEdit, width) &&
           e2e::TypeText(dialog, AddHeightEdit, height) &&
           e2e::TypeText(dialog, AddRefreshEdit, refresh) && e2e::ClickButton(dialog, IDOK) &&
           e2e::WaitForHidden(dialog) && e2e::Sync(mainWindow);
}

} // namespace scenario
