// The fake display services: the system a test describes, and a log of every call.
#include "doubles/fake_display_services.h"

#include "devices/discovery.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace {

struct LiveContext {
    DisplayContext handle;
    size_t device;
};

struct Script {
    int versionSucceeds = 1;
    uint32_t platformId = PlatformWin32Nt;
    uint32_t major = 5;
    uint32_t minor = 1;
    std::map<int32_t, int32_t> metrics;
    int user32Loaded = 1;
    std::vector<std::string> missingEntries;
    std::vector<ScriptedDisplay::Device> devices;
    std::vector<LiveContext> contexts;
    uintptr_t nextContext = 0x100;
    ScriptedDisplay::Log log;
};

Script DefaultScript() {
    Script script;
    script.metrics[MetricCxScreen] = 1024;
    script.metrics[MetricCyScreen] = 768;
    script.metrics[MetricCxVirtualScreen] = 1024;
    script.metrics[MetricCyVirtualScreen] = 768;
    return script;
}

Script& State() {
    static Script script = DefaultScript();
    return script;
}

DisplayModule User32Handle() {
    return reinterpret_cast<DisplayModule>(uintptr_t(0x5000));
}

// Entry points are made-up addresses, one per name, that nobody ever calls.
DisplayEntryPoint EntryFor(const char* name) {
    for (int i = 0; i < DisplayEntryPointCount; ++i)
        if (std::strcmp(name, DisplayEntryPointNames[i]) == 0)
            return reinterpret_cast<DisplayEntryPoint>(uintptr_t(0x6000 + 16 * i));
    return reinterpret_cast<DisplayEntryPoint>(uintptr_t(0x7000));
}

std::string TextOrNull(const char* text) {
    return text ? text : "(null)";
}

int AllZero(const uint8_t* bytes, size_t size) {
    for (size_t i = 0; i < size; ++i)
        if (bytes[i])
            return 0;
    return 1;
}

} // namespace

namespace ScriptedDisplay {

void Reset() {
    State() = DefaultScript();
}

void SetVersion(int succeeds, uint32_t platformId, uint32_t major, uint32_t minor) {
    Script& s = State();
    s.versionSucceeds = succeeds;
    s.platformId = platformId;
    s.major = major;
    s.minor = minor;
}

void SetMetric(int32_t index, int32_t value) {
    State().metrics[index] = value;
}

void SetUser32Loaded(int loaded) {
    State().user32Loaded = loaded;
}

void SetEntryPointMissing(const char* name) {
    State().missingEntries.push_back(name);
}

void AddDevice(const Device& device) {
    State().devices.push_back(device);
}

const Log& Calls() {
    return State().log;
}

} // namespace ScriptedDisplay

DisplayModule DisplayGetModuleHandle(const char* moduleName) {
    Script& s = State();
    s.log.moduleLookups.push_back(TextOrNull(moduleName));
    if (!s.user32Loaded || !moduleName || std::strcmp(moduleName, "USER32") != 0)
        return nullptr;
    return User32Handle();
}

DisplayEntryPoint DisplayGetProcAddress(DisplayModule module, const char* name) {
    Script& s = State();
    s.log.entryLookups.push_back(TextOrNull(name));
    if (module != User32Handle() || !name)
        return nullptr;
    for (const std::string& missing : s.missingEntries)
        if (missing == name)
            return nullptr;
    return EntryFor(name);
}

int32_t DisplayGetSystemMetrics(int32_t index) {
    Script& s = State();
    s.log.metrics.push_back(index);
    auto found = s.metrics.find(index);
    return found == s.metrics.end() ? 0 : found->second;
}

int DisplayGetVersion(VersionRecord* record) {
    Script& s = State();
    ++s.log.versionCalls;
    s.log.versionSizeField = record->dwOSVersionInfoSize;
    s.log.versionRecordZeroed =
        AllZero(reinterpret_cast<const uint8_t*>(record) + 4, sizeof *record - 4);
    if (!s.versionSucceeds)
        return 0;
    record->dwMajorVersion = s.major;
    record->dwMinorVersion = s.minor;
    record->dwPlatformId = s.platformId;
    return 1;
}

int DisplayCallEnumDisplayDevices(DisplayEntryPoint enumDisplayDevices, const char* device,
                                  uint32_t index, DisplayDeviceRecord* record, uint32_t flags) {
    Script& s = State();
    s.log.enumIndexes.push_back(index);
    if (enumDisplayDevices != EntryFor("EnumDisplayDevicesA"))
        s.log.enumThroughResolvedEntry = 0;
    if (device || record->cb != DisplayDeviceRecordSize || flags != 0)
        s.log.enumArgumentsPlain = 0;
    if (index >= s.devices.size())
        return 0;
    const std::string& name = s.devices[index].systemName;
    size_t length = name.size() < sizeof record->DeviceName ? name.size() + 1 : name.size();
    if (length > sizeof record->DeviceName)
        length = sizeof record->DeviceName;
    std::memcpy(record->DeviceName, name.c_str(), length);
    return 1;
}

// The monitor at `index` of the first device of that name, when it has one there.
int DisplayCallEnumMonitors(DisplayEntryPoint enumDisplayDevices, const char* adapter,
                            uint32_t index, MonitorRecord* record) {
    Script& s = State();
    s.log.monitorQueries.push_back(TextOrNull(adapter));
    s.log.monitorIndexes.push_back(index);
    if (enumDisplayDevices != EntryFor("EnumDisplayDevicesA"))
        s.log.monitorThroughResolvedEntry = 0;
    if (!adapter || record->cb != MonitorRecordSize)
        return 0;
    for (const ScriptedDisplay::Device& device : s.devices) {
        if (device.systemName != adapter)
            continue;
        std::vector<ScriptedDisplay::Monitor> monitors = device.monitors;
        if (monitors.empty() && !device.monitorId.empty())
            monitors.push_back({device.monitorId, "", MonitorStateAttached | MonitorStateActive});
        if (index >= monitors.size())
            return 0;
        const ScriptedDisplay::Monitor& m = monitors[index];
        const std::string name =
            m.name.empty() ? device.systemName + "\\Monitor" + std::to_string(index) : m.name;
        std::snprintf(record->DeviceName, sizeof record->DeviceName, "%s", name.c_str());
        const size_t length =
            m.id.size() < sizeof record->DeviceID ? m.id.size() + 1 : sizeof record->DeviceID;
        std::memcpy(record->DeviceID, m.id.c_str(), length);
        record->StateFlags = m.stateFlags;
        return 1;
    }
    return 0;
}

// A context by name belongs to the first device of that name; the context of the driver
// "Display" to the first device.
DisplayContext DisplayCreateContext(const char* driver, const char* device) {
    Script& s = State();
    ScriptedDisplay::ContextCall call = {TextOrNull(driver), TextOrNull(device), nullptr};
    size_t found = s.devices.size();
    for (size_t i = 0; i < s.devices.size() && device; ++i)
        if (s.devices[i].systemName == device) {
            found = i;
            break;
        }
    if (!device && driver && std::strcmp(driver, "Display") == 0 && !s.devices.empty())
        found = 0;
    if (found < s.devices.size() && !s.devices[found].createFails) {
        call.context = reinterpret_cast<DisplayContext>(s.nextContext++);
        s.contexts.push_back({call.context, found});
    }
    s.log.created.push_back(call);
    return call.context;
}

int32_t DisplayEscape(DisplayContext context, int32_t escape, int32_t inputSize, const void* input,
                      int32_t outputSize, void* output) {
    Script& s = State();
    ScriptedDisplay::EscapeCall call = {context, escape, inputSize, outputSize, {}, 0, 0};
    const uint8_t* in = static_cast<const uint8_t*>(input);
    if (in && inputSize > 0)
        call.request.assign(in, in + inputSize);
    uint8_t* out = static_cast<uint8_t*>(output);
    if (out && outputSize >= 4) {
        std::memcpy(&call.answerSizeField, out, 4);
        call.answerZeroed = AllZero(out + 4, static_cast<size_t>(outputSize) - 4);
    }
    s.log.escapes.push_back(call);

    for (const LiveContext& live : s.contexts) {
        if (live.handle != context)
            continue;
        const ScriptedDisplay::Device& device = s.devices[live.device];
        if (out && outputSize > 4) {
            size_t room = static_cast<size_t>(outputSize) - 4;
            size_t length = device.answer.size() < room ? device.answer.size() : room;
            std::memcpy(out + 4, device.answer.data(), length);
        }
        return device.escapeResult;
    }
    return 0;
}

void DisplayDeleteContext(DisplayContext context) {
    Script& s = State();
    s.log.deleted.push_back(context);
    for (size_t i = 0; i < s.contexts.size(); ++i)
        if (s.contexts[i].handle == context) {
            s.contexts.erase(s.contexts.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
}
