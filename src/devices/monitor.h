// What the registry keeps of the monitor on a display device: its EDID, or its setup file's
// MODES values, found through the display services and read through the registry interface, for
// reading only.
//
// The adapter's monitors are asked of EnumDisplayDevicesA (the entry point that discovery looked
// up) with the adapter's system name and the indexes 0, 1, ... up to MonitorIndexLimit, until the
// system names none; those beyond the limit are not asked. In a clone set-up, or with a "Default
// Monitor" at index 0, the monitor whose EDID matters is not the first. Taken is the first that
// is attached and active and has an EDID; else the first with an EDID; else the first with MODES
// values. Each DeviceID reads MONITOR\<model>\<driver>, such as
// MONITOR\VLM1701\{4d36e96e-e325-11ce-bfc1-08002be10318}\0001; one that does not read so is passed
// over.
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

#include "devices/display_services.h"

#include <cstdint>

const uint32_t MonitorPathSize = 1024;
const uint32_t MonitorNameSize = 256;  // a registry key name and its zero
const uint32_t MonitorIndexLimit = 16; // the monitors asked of one adapter, at most

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

    // Finds the monitor of the adapter named `systemName` (\\.\DISPLAY1), as the header says. 1
    // when the search ran to its end, with `source` MonitorNoSource when nothing is kept (no
    // monitor named, no instance, no data); 0 when a key or value could not be read for another
    // reason than being missing, or memory ran out (the monitor taken so far is kept).
    int Find(const char* systemName);

    MonitorSource source;
    // The monitor taken, or when none has data the first that the system named: its DeviceID
    // (empty when none was named), its index below the adapter (-1: none), its DeviceName and
    // StateFlags (MonitorStateAttached, MonitorStateActive) as the system gave them.
    char deviceId[128];
    int32_t index;
    char deviceName[DisplayDeviceNameSize];
    uint32_t stateFlags;
    uint32_t asked;             // how many monitors the system named
    char path[MonitorPathSize]; // the key below HKEY_LOCAL_MACHINE that the source was read from
    const char* valueName;      // "0", "EDID", or null for the MODES values
    uint8_t* edid;              // the override's or the value's bytes, as stored
    uint32_t edidLength;
    MonitorModeValue* modes; // in the registry's order, whatever the source

private:
    void Clear();
    void TakeFrom(MonitorData& other);
    int ReadOne(const char* id);
};
