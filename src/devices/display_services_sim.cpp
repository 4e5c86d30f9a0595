// The simulated Orvane adapters and driver of velmora-sim.exe: the display-device records, the
// device contexts and the escape answers come from the registry, read through the registry
// interface. The rest of the display services stays real (display_system_win32.cpp).
//
// HKEY_LOCAL_MACHINE\Software\Velmora Simulated Driver\Adapters holds one subkey per adapter,
// "0", "1", "2", ... in system order. Its values:
//   "DeviceName"    REG_SZ    system device name such as \\.\DISPLAY1; a missing subkey, or one
//                             without this value, ends the list of adapters
//   "EscapeResult"  REG_DWORD result of the escape, a signed 32-bit number; missing means 0
//   "DriverKey"     REG_SZ    path written at byte 4 of the answer with its terminating zero;
//                             missing means the driver writes nothing
//   "CreateDCFails" REG_DWORD non-zero: no device context can be had for this adapter
//   "MonitorDeviceID" REG_SZ  the DeviceID of the adapter's monitor at index 0, such as
//                             MONITOR\VLM1701\{4d36e96e-e325-11ce-bfc1-08002be10318}\0001;
//                             missing means no monitor is attached (so too for the defaults);
//                             one that does not fit the 128-byte field answers no monitor
//   "MonitorDeviceID1", "MonitorDeviceID2", ... REG_SZ  the monitors at index 1, 2, ... (a clone
//                             set-up, or a "Default Monitor" before the real one); the first
//                             missing index ends the list
//   "MonitorState", "MonitorState1", ... REG_DWORD  the StateFlags of the monitor at that index
//                             (1 active, 2 attached); missing means 3, attached and active
// Without the key "Adapters" there are two adapters, \\.\DISPLAY1 and \\.\DISPLAY2, answering
// the driver keys Device0 and Device1 of the service orvdisp with the result 0. Nothing here
// creates a registry key.
//
// Values of any length are read safely:
//   - a DeviceName that does not fit the 32-character record field is reported with an empty
//     name, for which no device context exists: that adapter is not listed, the later ones are;
//   - a DriverKey that does not fit the caller's answer is written without its terminator, as
//     far as it fits, which the discovery refuses.
// The key is opened with full access like every other key of the program, so a user without
// administrative rights sees the two default adapters. A 32-bit build on 64-bit Windows reads it
// below HKEY_LOCAL_MACHINE\Software\Wow6432Node, as the system shows it to 32-bit programs.
//
// As on a real system, a context made for a system device name answers for that adapter, and the
// context of the driver "Display" for the primary adapter, the first one.
#include "devices/display_services.h"

#include "devices/discovery.h"
#include "store/registry.h"
#include "store/coding.h"
#include "store/registry_names.h"

#include <cstdio>
#include <cstring>
#include <new>

struct DisplayContextObject {
    uint32_t adapter;
};

namespace {

const char AdaptersKey[] = "Software\\Velmora Simulated Driver\\Adapters";
const uint32_t DefaultAdapterCount = 2;
const char* const DefaultDeviceNames[DefaultAdapterCount] = {"\\\\.\\DISPLAY1", "\\\\.\\DISPLAY2"};
const char* const DefaultDriverKeys[DefaultAdapterCount] = {
    "SYSTEM\\CurrentControlSet\\Services\\orvdisp\\Device0",
    "SYSTEM\\CurrentControlSet\\Services\\orvdisp\\Device1"};

// A text value read from the registry: owned, zero-terminated, up to its first zero byte.
struct SimText {
    char* text = nullptr;
    size_t length = 0;
    SimText() = default;
    SimText(const SimText&) = delete;
    SimText& operator=(const SimText&) = delete;
    ~SimText() { delete[] text; }
};

int AdaptersConfigured() {
    RegistryKey key;
    if (!RegistryOpenKey(RegistryLocalMachine, AdaptersKey, &key))
        return 0;
    RegistryCloseKey(key);
    return 1;
}

// Opens the subkey of adapter `index`. 1 and a handle when it exists.
int OpenAdapter(uint32_t index, RegistryKey* key) {
    char path[sizeof AdaptersKey + 16];
    std::snprintf(path, sizeof path, "%s\\%u", AdaptersKey, static_cast<unsigned>(index));
    return RegistryOpenKey(RegistryLocalMachine, path, key);
}

// Reads the REG_SZ value `name` whole, whatever its length. 1 when it exists with that type and
// memory could be had for it.
int ReadText(RegistryKey key, const char* name, SimText* out) {
    uint32_t type = 0;
    uint32_t size = 0;
    if (!RegistryQueryValue(key, name, &type, nullptr, &size) || type != RegistryTypeSz)
        return 0;
    char* text = new (std::nothrow) char[size + 1u];
    if (!text)
        return 0;
    uint32_t read = size;
    if (!RegistryQueryValue(key, name, &type, reinterpret_cast<uint8_t*>(text), &read) ||
        read > size || type != RegistryTypeSz) {
        delete[] text;
        return 0;
    }
    text[read] = 0;
    out->text = text;
    out->length = std::strlen(text);
    return 1;
}

// The REG_DWORD value `name`, or 0 when it is missing or not a 32-bit number.
uint32_t ReadNumber(RegistryKey key, const char* name) {
    uint8_t data[4];
    uint32_t type = 0;
    uint32_t size = sizeof data;
    if (!RegistryQueryValue(key, name, &type, data, &size) || type != RegistryTypeDword ||
        size != sizeof data)
        return 0;
    return DecodeFixed32LE(data);
}

// What one adapter is: its system name (empty when it does not fit the record field), the
// result and driver key path of its escape, and whether contexts fail for it.
struct SimAdapter {
    char deviceName[DisplayDeviceNameSize] = {};
    int32_t escapeResult = 0;
    int hasDriverKey = 0;
    SimText driverKey;
    int createFails = 0;
};

// Reads adapter `index`. 1 when it exists; 0 at the end of the list. `withDriverKey` 0 spares
// reading a path that the caller does not need.
int ReadAdapter(uint32_t index, int withDriverKey, SimAdapter* adapter) {
    if (!AdaptersConfigured()) {
        if (index >= DefaultAdapterCount)
            return 0;
        std::strcpy(adapter->deviceName, DefaultDeviceNames[index]);
        if (withDriverKey) {
            size_t length = std::strlen(DefaultDriverKeys[index]);
            adapter->driverKey.text = new (std::nothrow) char[length + 1];
            if (adapter->driverKey.text) {
                std::memcpy(adapter->driverKey.text, DefaultDriverKeys[index], length + 1);
                adapter->driverKey.length = length;
                adapter->hasDriverKey = 1;
            }
        }
        return 1;
    }
    RegistryKey key;
    if (!OpenAdapter(index, &key))
        return 0;
    SimText name;
    int exists = ReadText(key, "DeviceName", &name);
    if (exists) {
        if (name.length < DisplayDeviceNameSize)
            std::memcpy(adapter->deviceName, name.text, name.length + 1);
        adapter->escapeResult = static_cast<int32_t>(ReadNumber(key, "EscapeResult"));
        adapter->createFails = ReadNumber(key, "CreateDCFails") != 0;
        if (withDriverKey)
            adapter->hasDriverKey = ReadText(key, "DriverKey", &adapter->driverKey);
    }
    RegistryCloseKey(key);
    return exists;
}

} // namespace

int DisplayCallEnumDisplayDevices(DisplayEntryPoint, const char* device, uint32_t index,
                                  DisplayDeviceRecord* record, uint32_t) {
    // The simulated adapters have no monitors to list below them.
    if (device || !record || record->cb != DisplayDeviceRecordSize)
        return 0;
    SimAdapter adapter;
    if (!ReadAdapter(index, 0, &adapter))
        return 0;
    std::memset(record->DeviceString, 0, sizeof record->DeviceString);
    std::memcpy(record->DeviceName, adapter.deviceName, sizeof record->DeviceName);
    std::snprintf(record->DeviceString, sizeof record->DeviceString, "Orvane (simulated)");
    record->StateFlags = 0;
    return 1;
}

// The monitor at `index` of the adapter named `adapter`, from its "MonitorDeviceID" values.
int DisplayCallEnumMonitors(DisplayEntryPoint, const char* adapter, uint32_t index,
                            MonitorRecord* record) {
    if (!adapter || !record || !AdaptersConfigured())
        return 0;
    for (uint32_t at = 0;; ++at) {
        SimAdapter candidate;
        if (!ReadAdapter(at, 0, &candidate))
            return 0;
        if (!EqualNoCase(candidate.deviceName, adapter))
            continue;
        char idName[32] = "MonitorDeviceID";
        char stateName[32] = "MonitorState";
        if (index > 0) {
            std::snprintf(idName, sizeof idName, "MonitorDeviceID%u", static_cast<unsigned>(index));
            std::snprintf(stateName, sizeof stateName, "MonitorState%u",
                          static_cast<unsigned>(index));
        }
        RegistryKey key;
        if (!OpenAdapter(at, &key))
            return 0;
        SimText id;
        const int named = ReadText(key, idName, &id);
        uint32_t state = MonitorStateAttached | MonitorStateActive;
        uint32_t type = 0;
        uint32_t size = 0;
        if (RegistryQueryValue(key, stateName, &type, nullptr, &size))
            state = ReadNumber(key, stateName);
        RegistryCloseKey(key);
        if (!named || id.length >= sizeof record->DeviceID)
            return 0;
        std::memset(record, 0, sizeof *record);
        record->cb = MonitorRecordSize;
        std::snprintf(record->DeviceName, sizeof record->DeviceName, "%s\\Monitor%u", adapter,
                      static_cast<unsigned>(index));
        std::snprintf(record->DeviceString, sizeof record->DeviceString, "Simulated monitor");
        record->StateFlags = state;
        std::memcpy(record->DeviceID, id.text, id.length + 1);
        return 1;
    }
}

// A context by system device name names the adapter of that name; the context of the driver
// "Display" is the primary adapter's, as on a real system.
DisplayContext DisplayCreateContext(const char* driver, const char* device) {
    uint32_t index = 0;
    SimAdapter adapter;
    if (device) {
        if (!*device)
            return nullptr;
        for (;; ++index) {
            SimAdapter candidate;
            if (!ReadAdapter(index, 0, &candidate))
                return nullptr;
            if (EqualNoCase(candidate.deviceName, device)) {
                adapter.createFails = candidate.createFails;
                break;
            }
        }
    } else if (!driver || !EqualNoCase(driver, "Display") || !ReadAdapter(0, 0, &adapter)) {
        return nullptr;
    }
    if (adapter.createFails)
        return nullptr;
    DisplayContextObject* context = new (std::nothrow) DisplayContextObject;
    if (context)
        context->adapter = index;
    return context;
}

// The driver knows only the device key query; like a real display driver it answers 0 and writes
// nothing for an escape it does not know. A malformed query gets -1.
int32_t DisplayEscape(DisplayContext context, int32_t escape, int32_t inputSize, const void* input,
                      int32_t outputSize, void* output) {
    if (!context || escape != static_cast<int32_t>(DeviceKeyQueryEscape))
        return 0;
    DeviceKeyQueryRequest request;
    if (!input || inputSize < static_cast<int32_t>(sizeof request))
        return -1;
    std::memcpy(&request, input, sizeof request);
    if (request.queryCode != DeviceKeyQueryCode)
        return -1;
    SimAdapter adapter;
    if (!ReadAdapter(context->adapter, 1, &adapter))
        return -1;
    if (adapter.hasDriverKey && output && outputSize > 4) {
        size_t room = static_cast<size_t>(outputSize) - 4;
        size_t length = adapter.driverKey.length + 1;
        std::memcpy(static_cast<uint8_t*>(output) + 4, adapter.driverKey.text,
                    length < room ? length : room);
    }
    return adapter.escapeResult;
}

void DisplayDeleteContext(DisplayContext context) {
    delete context;
}
