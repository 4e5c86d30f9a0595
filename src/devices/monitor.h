// What the registry keeps of the monitor on a display device: its EDID, or its setup file's
// MODES values, found through the display services and read through the registry interface, for
// reading only.
//
// The adapter's monitor is asked of EnumDisplayDevicesA (the entry point that discovery looked
// up) with the adapter's system name and index 0; its DeviceID reads
// MONITOR\<model>\<driver>, such as MONITOR\VLM1701\{4d36e96e-e325-11ce-bfc1-08002be10318}\0001.
// Below HKEY_LOCAL_MACHINE, by the version class:
//   NT:  the instance is the subkey of SYSTEM\CurrentControlSet\Enum\DISPLAY\<model> whose
//        "Driver" equals <driver> (every monitor ever attached keeps one, so it is matched, never
//        taken first); its "Device Parameters" key holds the EDID_OVERRIDE subkey (value "0", the
//        base block) or the value "EDID" ("BAD_EDID" when the read failed); the class key is
//        SYSTEM\CurrentControlSet\Control\Class\<driver>.
//   9x:  <driver> names the monitor class, as "Monitor" or its class identifier above, and the
//        instance number; the instance is the subkey of Enum\Monitor\<model> whose "Driver" is
//        Monitor\<number>, and holds "EDID" itself; the class key is
//        System\CurrentControlSet\Services\Class\Monitor\<number>.
// The class key's MODES\<width>,<height> subkeys hold the values Mode1 to Mode9. The override
// comes first, then the EDID value, then the MODES values; the first found is the source. The
// MODES values are read beside an EDID too, for the limits when the EDID does not read.
#pragma once

#include <cstdint>

const uint32_t MonitorPathSize = 1024;
const uint32_t MonitorNameSize = 256; // a registry key name and its zero

enum MonitorSource { MonitorNoSource = 0, MonitorEdidOverride, MonitorEdidValue, MonitorSetupFile };

// One MODES value as stored, with the subkey it is under.
struct MonitorModeValue {
    char key[MonitorNameSize]; // "1280,1024"
    char name[8];              // "Mode1" to "Mode9"
    uint8_t* data;             // not terminated
    uint32_t length;
    uint32_t type;
    MonitorModeValue* next;
};

class MonitorData {
public:
    MonitorData();
    ~MonitorData();
    MonitorData(const MonitorData&) = delete;
    MonitorData& operator=(const MonitorData&) = delete;

    // Finds the monitor of the adapter named `systemName` (\\.\DISPLAY1). 1 when the search ran
    // to its end, with `source` MonitorNoSource when nothing is kept (no monitor named, no
    // instance, no data); 0 when a key or value could not be read for another reason than being
    // missing, or memory ran out (what was found so far is kept).
    int Find(const char* systemName);

    MonitorSource source;
    char deviceId[128];         // as the system named it; empty when it named none
    char path[MonitorPathSize]; // the key below HKEY_LOCAL_MACHINE that the source was read from
    const char* valueName;      // "0", "EDID", or null for the MODES values
    uint8_t* edid;              // the override's or the value's bytes, as stored
    uint32_t edidLength;
    MonitorModeValue* modes; // in the registry's order, whatever the source

private:
    void Clear();
};
