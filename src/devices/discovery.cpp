// Finding the display devices that the Orvane driver answers for, through the display services.
#include "devices/discovery.h"

#include "store/device_store.h"

#include <cstring>

const char* const DisplayEntryPointNames[DisplayEntryPointCount] = {
    "GetSystemMetrics",    "MonitorFromWindow", "MonitorFromRect",    "MonitorFromPoint",
    "EnumDisplayMonitors", "GetMonitorInfoA",   "EnumDisplayDevicesA"};

DisplayEntryPointTable DisplayEntryPoints = {};

OsClass GetOsClass() {
    VersionRecord version;
    std::memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = VersionRecordSize;
    if (!DisplayGetVersion(&version))
        return 0;
    if (version.dwPlatformId == PlatformWin32Windows) {
        if (version.dwMajorVersion == 4 && version.dwMinorVersion == 10)
            return OsWindows9xFamily | OsWindows98;
        return OsWindows9xFamily | OsWindows9xOther;
    }
    if (version.dwPlatformId == PlatformWin32Nt)
        return OsNtFamily | (version.dwMajorVersion < 5 ? OsNtBefore5 : OsNt5OrLater);
    return 0;
}

namespace {

int ResolveOnce() {
    DisplayModule user32 = DisplayGetModuleHandle("USER32");
    if (!user32)
        return 0;
    for (int i = 0; i < DisplayEntryPointCount; ++i) {
        DisplayEntryPoints.entry[i] = DisplayGetProcAddress(user32, DisplayEntryPointNames[i]);
        if (!DisplayEntryPoints.entry[i])
            return 0;
    }
    // A virtual screen smaller than the primary one means the multi-monitor services are not
    // to be trusted.
    if (DisplayGetSystemMetrics(MetricCxVirtualScreen) < DisplayGetSystemMetrics(MetricCxScreen))
        return 0;
    if (DisplayGetSystemMetrics(MetricCyVirtualScreen) < DisplayGetSystemMetrics(MetricCyScreen))
        return 0;
    return 1;
}

} // namespace

int ResolveDisplayEntryPoints() {
    if (DisplayEntryPoints.done)
        return DisplayEntryPoints.entry[EntryGetMonitorInfoA] != nullptr;
    int available = ResolveOnce();
    if (!available)
        for (DisplayEntryPoint& entry : DisplayEntryPoints.entry)
            entry = nullptr;
    DisplayEntryPoints.done = 1;
    return available;
}

void ResetDisplayEntryPointsForTesting() {
    DisplayEntryPoints = DisplayEntryPointTable();
}

int EnumerateDisplayDevice(const char* device, uint32_t index, DisplayDeviceRecord* record,
                           uint32_t flags) {
    if (!ResolveDisplayEntryPoints())
        return 0;
    return DisplayCallEnumDisplayDevices(DisplayEntryPoints.entry[EntryEnumDisplayDevicesA], device,
                                         index, record, flags);
}

DisplayContext CreateDeviceContext(const char* systemName) {
    if (systemName && (GetOsClass() & (OsWindows98 | OsNt5OrLater)))
        return DisplayCreateContext(nullptr, systemName);
    return DisplayCreateContext("Display", nullptr);
}

namespace {

// 1 when the driver wrote a usable driver key path: not empty, ending with a zero byte inside the
// answer, and short enough for a DriverKey's path. The answer was zeroed before the call, so a
// driver that wrote nothing leaves an empty path.
int AnswerHasPath(const DeviceKeyQueryAnswer& answer) {
    const void* end = std::memchr(answer.path, 0, sizeof answer.path);
    if (!end)
        return 0;
    size_t length = static_cast<const char*>(end) - answer.path;
    return length > 0 && length < DevicePathSize;
}

// 1 when the record's DeviceName ends with a zero byte inside its field.
int RecordHasName(const DisplayDeviceRecord& record) {
    return std::memchr(record.DeviceName, 0, sizeof record.DeviceName) != nullptr;
}

} // namespace

uint32_t EnumerateDisplayDevices(DisplayDeviceList* list) {
    DisplayDeviceRecord record;
    std::memset(&record, 0, sizeof record);
    record.cb = DisplayDeviceRecordSize;

    for (uint32_t index = 0; EnumerateDisplayDevice(nullptr, index, &record, 0); ++index) {
        if (RecordHasName(record)) {
            DisplayContext context = CreateDeviceContext(record.DeviceName);
            if (context) {
                DeviceKeyQueryRequest request;
                std::memset(&request, 0, sizeof request);
                request.size = DeviceKeyQueryRequestSize;
                request.queryCode = DeviceKeyQueryCode;
                DeviceKeyQueryAnswer answer;
                std::memset(&answer, 0, sizeof answer);
                answer.size = DeviceKeyQueryAnswerSize;

                int32_t result = DisplayEscape(context, DeviceKeyQueryEscape, sizeof request,
                                               &request, sizeof answer, &answer);
                if (result == 0 && AnswerHasPath(answer))
                    list->Append(record.DeviceName, answer.path);
                DisplayDeleteContext(context);
            }
        }
        if (index == UINT32_MAX)
            break;
    }
    return list->Count();
}
