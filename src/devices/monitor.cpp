// Finding the monitor's EDID or setup file values in the registry (see monitor.h for where).
#include "devices/monitor.h"

#include "devices/discovery.h"
#include "store/device_store.h"
#include "store/registry.h"
#include "store/registry_names.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace {

const char MonitorClassId[] = "{4d36e96e-e325-11ce-bfc1-08002be10318}";

// Where a version class keeps its monitors: the instances' parent, the part below an instance
// that holds the EDID, the class keys' parent, and the driver reference to match.
struct MonitorPlaces {
    char instances[MonitorPathSize];
    const char* parameters; // "\\Device Parameters" on NT, "" on 9x
    char classKey[MonitorPathSize];
    char driver[MonitorNameSize];
};

// Writes the texts one after the other into out. 1 when they fit with the zero; 0 (out empty)
// when they do not, so that no cut path is ever opened.
template <size_t N>
int Join(char (&out)[N], const char* a, const char* b, const char* c = "", const char* d = "") {
    const int length = std::snprintf(out, N, "%s%s%s%s", a, b, c, d);
    if (length < 0 || static_cast<size_t>(length) >= N) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}

// The monitor at `index` below the adapter, from the system. 1 with its record, its DeviceID not
// empty and ended inside the field; -1 when one is named there whose DeviceID is not so; 0 when
// none is named there.
int QueryMonitor(const char* systemName, uint32_t index, MonitorRecord* record) {
    std::memset(record, 0, sizeof *record);
    record->cb = MonitorRecordSize;
    if (!DisplayCallEnumMonitors(DisplayEntryPoints.entry[EntryEnumDisplayDevicesA], systemName,
                                 index, record))
        return 0;
    return record->DeviceID[0] && std::memchr(record->DeviceID, 0, sizeof record->DeviceID) ? 1
                                                                                            : -1;
}

// Splits MONITOR\<model>\<driver>. 1 with both parts not empty and fitting.
int SplitDeviceId(const char* id, char (&model)[MonitorNameSize], const char** driver) {
    const size_t prefix = sizeof "MONITOR\\" - 1;
    if (!StartsWithNoCase(id, "MONITOR\\", prefix))
        return 0;
    const char* start = id + prefix;
    const char* slash = std::strchr(start, '\\');
    if (!slash || slash == start || !slash[1] || static_cast<size_t>(slash - start) >= sizeof model)
        return 0;
    std::memcpy(model, start, static_cast<size_t>(slash - start));
    model[slash - start] = '\0';
    *driver = slash + 1;
    return 1;
}

// The 9x driver reference: the class, named "Monitor" or by its identifier, and the number.
int NinexDriver(const char* driver, char (&out)[MonitorNameSize]) {
    const char* slash = std::strrchr(driver, '\\');
    if (!slash || !slash[1])
        return 0;
    const size_t classLength = static_cast<size_t>(slash - driver);
    char className[MonitorNameSize];
    if (classLength >= sizeof className)
        return 0;
    std::memcpy(className, driver, classLength);
    className[classLength] = '\0';
    if (!EqualNoCase(className, "Monitor") && !EqualNoCase(className, MonitorClassId))
        return 0;
    return Join(out, "Monitor\\", slash + 1);
}

// The places of the running version class for the DeviceID. 1 when they could be formed.
int PlacesFor(const char* id, MonitorPlaces* places) {
    char model[MonitorNameSize];
    const char* driver = nullptr;
    if (!SplitDeviceId(id, model, &driver))
        return 0;
    if (GetOsClass() & OsNtFamily) {
        places->parameters = "\\Device Parameters";
        return Join(places->instances, "SYSTEM\\CurrentControlSet\\Enum\\DISPLAY\\", model) &&
               Join(places->classKey, "SYSTEM\\CurrentControlSet\\Control\\Class\\", driver) &&
               Join(places->driver, driver, "");
    }
    places->parameters = "";
    return NinexDriver(driver, places->driver) &&
           Join(places->instances, "Enum\\Monitor\\", model) &&
           Join(places->classKey, "System\\CurrentControlSet\\Services\\Class\\", places->driver);
}

// Opens HKLM\path for reading. 1 opened, 0 missing, -1 failed otherwise.
int OpenToRead(const char* path, RegistryKey* key) {
    int missing = 0;
    if (RegistryOpenKeyToRead(RegistryLocalMachine, path, key, &missing))
        return 1;
    return missing ? 0 : -1;
}

// 1 when the key's "Driver" text is `driver` (a zero after it allowed), 0 when not or missing,
// -1 when it could not be read.
int DriverIs(const char* path, const char* driver) {
    RegistryKey key;
    const int opened = OpenToRead(path, &key);
    if (opened <= 0)
        return opened;
    uint8_t* data = nullptr;
    uint32_t length = 0;
    const int read = ReadWholeValue(key, "Driver", &data, &length, nullptr);
    RegistryCloseKey(key);
    if (read <= 0)
        return read;
    const size_t wanted = std::strlen(driver);
    const int same = (length == wanted || (length == wanted + 1 && data[wanted] == 0)) &&
                     StartsWithNoCase(driver, reinterpret_cast<const char*>(data), wanted);
    delete[] data;
    return same;
}

// The instance whose Driver matches, its path in `instance`. 1 found, 0 none, -1 failed.
int FindInstance(const MonitorPlaces& places, char (&instance)[MonitorPathSize]) {
    RegistryKey parent;
    const int opened = OpenToRead(places.instances, &parent);
    if (opened <= 0)
        return opened;
    int result = 0;
    char name[MonitorNameSize];
    for (uint32_t i = 0; result == 0; ++i) {
        uint32_t length = sizeof name;
        if (!RegistryEnumSubkey(parent, i, name, &length))
            break;
        if (Join(instance, places.instances, "\\", name))
            result = DriverIs(instance, places.driver);
    }
    RegistryCloseKey(parent);
    return result;
}

} // namespace

MonitorData::MonitorData()
    : source(MonitorNoSource), deviceId(), index(-1), deviceName(), stateFlags(0), asked(0), path(),
      valueName(nullptr), edid(nullptr), edidLength(0), modes(nullptr) {}

MonitorData::~MonitorData() {
    Clear();
}

void MonitorData::Clear() {
    delete[] edid;
    edid = nullptr;
    edidLength = 0;
    while (modes) {
        MonitorModeValue* next = modes->next;
        delete[] modes->data;
        delete modes;
        modes = next;
    }
    source = MonitorNoSource;
    path[0] = '\0';
    valueName = nullptr;
}

namespace {

// Reads the binary value `name` of HKLM\path whole into the monitor's EDID. 1 read, 0 missing
// (key or value), -1 failed.
int ReadEdidValue(MonitorData& m, const char* keyPath, const char* name) {
    RegistryKey key;
    const int opened = OpenToRead(keyPath, &key);
    if (opened <= 0)
        return opened;
    const int read = ReadWholeValue(key, name, &m.edid, &m.edidLength, nullptr);
    RegistryCloseKey(key);
    if (read > 0 && !Join(m.path, keyPath, ""))
        return -1;
    return read;
}

// The override, then the EDID value, of the instance. 1 found (source set), 0 none, -1 failed.
int ReadEdidSources(MonitorData& m, const MonitorPlaces& places, const char* instance) {
    char parameters[MonitorPathSize];
    char override[MonitorPathSize];
    if (!Join(parameters, instance, places.parameters))
        return -1;
    int read = 0;
    if (*places.parameters && Join(override, parameters, "\\EDID_OVERRIDE")) {
        read = ReadEdidValue(m, override, "0");
        m.source = MonitorEdidOverride;
        m.valueName = "0";
    }
    if (read == 0) {
        read = ReadEdidValue(m, parameters, "EDID");
        m.source = MonitorEdidValue;
        m.valueName = "EDID";
    }
    if (read <= 0) {
        m.source = MonitorNoSource;
        m.valueName = nullptr;
    }
    return read;
}

// Appends the values Mode1 to Mode9 of one MODES subkey. 1 when read, 0 when one failed.
int ReadModeValues(RegistryKey key, const char* keyName, MonitorModeValue**& tail) {
    for (int n = 1; n <= 9; ++n) {
        MonitorModeValue value{};
        std::snprintf(value.name, sizeof value.name, "Mode%d", n);
        const int read = ReadWholeValue(key, value.name, &value.data, &value.length, &value.type);
        if (read < 0)
            return 0;
        if (read == 0)
            continue;
        MonitorModeValue* node = new (std::nothrow) MonitorModeValue(value);
        if (!node || !Join(node->key, keyName, "")) {
            delete[] value.data;
            delete node;
            return 0;
        }
        *tail = node;
        tail = &node->next;
    }
    return 1;
}

// Every MODES subkey of the class key. 1 found some, 0 none, -1 failed.
int ReadSetupModes(MonitorData& m, const MonitorPlaces& places) {
    char modesPath[MonitorPathSize];
    RegistryKey modes;
    if (!Join(modesPath, places.classKey, "\\MODES"))
        return -1;
    const int opened = OpenToRead(modesPath, &modes);
    if (opened <= 0)
        return opened;
    int result = 1;
    MonitorModeValue** tail = &m.modes;
    char name[MonitorNameSize];
    char subPath[MonitorPathSize];
    for (uint32_t i = 0; result > 0; ++i) {
        uint32_t length = sizeof name;
        if (!RegistryEnumSubkey(modes, i, name, &length))
            break;
        RegistryKey sub;
        const int subOpened = Join(subPath, modesPath, "\\", name) ? OpenToRead(subPath, &sub) : -1;
        if (subOpened < 0 || (subOpened > 0 && !ReadModeValues(sub, name, tail)))
            result = -1;
        if (subOpened > 0)
            RegistryCloseKey(sub);
    }
    RegistryCloseKey(modes);
    // Beside an EDID the values stay its stand-in, and the EDID keeps the source and path.
    if (result > 0 && m.modes && (m.source != MonitorNoSource || Join(m.path, modesPath, ""))) {
        if (m.source == MonitorNoSource)
            m.source = MonitorSetupFile;
        return 1;
    }
    return result < 0 ? -1 : 0;
}

} // namespace

void MonitorData::TakeFrom(MonitorData& other) {
    Clear();
    source = other.source;
    std::memcpy(path, other.path, sizeof path);
    valueName = other.valueName;
    edid = other.edid;
    edidLength = other.edidLength;
    modes = other.modes;
    other.edid = nullptr;
    other.modes = nullptr;
    other.Clear();
}

// Reads the monitor `id` into this emptied record: its EDID sources, then its setup file's values,
// beside an EDID too, since they give the limits when the EDID does not read. An instance that is
// not found still leaves the setup file's values to be read. 1 when the reading ran to its end, 0
// when a read failed.
int MonitorData::ReadOne(const char* id) {
    MonitorPlaces places;
    if (!PlacesFor(id, &places))
        return 1;
    char instance[MonitorPathSize];
    const int found = FindInstance(places, instance);
    if (found < 0)
        return 0;
    const int fromEdid = found > 0 ? ReadEdidSources(*this, places, instance) : 0;
    return fromEdid >= 0 && ReadSetupModes(*this, places) >= 0;
}

namespace {

// How much a monitor is worth taking: 3 attached and active with an EDID, 2 another with an
// EDID, 1 with MODES values, 0 with nothing.
int Rank(MonitorSource source, uint32_t stateFlags) {
    const uint32_t shown = MonitorStateAttached | MonitorStateActive;
    if (source == MonitorEdidOverride || source == MonitorEdidValue)
        return (stateFlags & shown) == shown ? 3 : 2;
    return source == MonitorSetupFile ? 1 : 0;
}

} // namespace

int MonitorData::Find(const char* systemName) {
    Clear();
    deviceId[0] = '\0';
    index = -1;
    deviceName[0] = '\0';
    stateFlags = 0;
    asked = 0;
    if (!systemName || !ResolveDisplayEntryPoints())
        return 1;
    int rank = 0;
    for (uint32_t i = 0; i < MonitorIndexLimit && rank < 3; ++i) {
        MonitorRecord record;
        const int named = QueryMonitor(systemName, i, &record);
        if (named == 0)
            break;
        ++asked;
        if (named < 0)
            continue;
        MonitorData candidate;
        if (!candidate.ReadOne(record.DeviceID))
            return 0;
        const int candidateRank = Rank(candidate.source, record.StateFlags);
        if (candidateRank <= rank && index >= 0)
            continue;
        rank = candidateRank;
        TakeFrom(candidate);
        std::memcpy(deviceId, record.DeviceID, sizeof deviceId);
        index = static_cast<int32_t>(i);
        const int nameEnds = std::memchr(record.DeviceName, 0, sizeof record.DeviceName) != nullptr;
        std::memcpy(deviceName, nameEnds ? record.DeviceName : "",
                    nameEnds ? sizeof deviceName : 1);
        stateFlags = record.StateFlags;
    }
    return 1;
}
