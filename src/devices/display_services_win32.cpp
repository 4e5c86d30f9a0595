// The display services on the real Windows calls (velmora.exe): the system's display devices,
// device contexts and escapes. The system part is in display_system_win32.cpp.
#include "devices/display_services.h"

#include <windows.h>

#include <cstddef>
#include <cstring>

// Our record is the 168-byte form of DISPLAY_DEVICEA, a prefix of the system's current one.
static_assert(sizeof(DisplayDeviceRecord) <= sizeof(DISPLAY_DEVICEA), "DISPLAY_DEVICEA size");
static_assert(offsetof(DisplayDeviceRecord, DeviceName) == offsetof(DISPLAY_DEVICEA, DeviceName),
              "DISPLAY_DEVICEA DeviceName");
static_assert(offsetof(DisplayDeviceRecord, StateFlags) == offsetof(DISPLAY_DEVICEA, StateFlags),
              "DISPLAY_DEVICEA StateFlags");

namespace {
typedef BOOL(WINAPI* EnumDisplayDevicesFunction)(LPCSTR, DWORD, PDISPLAY_DEVICEA, DWORD);
}

int DisplayCallEnumDisplayDevices(DisplayEntryPoint enumDisplayDevices, const char* device,
                                  uint32_t index, DisplayDeviceRecord* record, uint32_t flags) {
    EnumDisplayDevicesFunction call =
        reinterpret_cast<EnumDisplayDevicesFunction>(enumDisplayDevices);
    // The system is told the short size in cb, but gets a record of the full size, so that a
    // system that wrote past cb still stays inside our memory.
    DISPLAY_DEVICEA full;
    std::memset(&full, 0, sizeof full);
    std::memcpy(&full, record, sizeof *record);
    int found = call(device, index, &full, flags) != 0;
    std::memcpy(record, &full, sizeof *record);
    return found;
}

static_assert(sizeof(MonitorRecord) == sizeof(DISPLAY_DEVICEA), "DISPLAY_DEVICEA size");
static_assert(offsetof(MonitorRecord, DeviceID) == offsetof(DISPLAY_DEVICEA, DeviceID),
              "DISPLAY_DEVICEA DeviceID");

int DisplayCallEnumMonitors(DisplayEntryPoint enumDisplayDevices, const char* adapter,
                            uint32_t index, MonitorRecord* record) {
    EnumDisplayDevicesFunction call =
        reinterpret_cast<EnumDisplayDevicesFunction>(enumDisplayDevices);
    record->cb = MonitorRecordSize;
    return call(adapter, index, reinterpret_cast<DISPLAY_DEVICEA*>(record), 0) != 0;
}

DisplayContext DisplayCreateContext(const char* driver, const char* device) {
    return reinterpret_cast<DisplayContext>(CreateDCA(driver, device, nullptr, nullptr));
}

int32_t DisplayEscape(DisplayContext context, int32_t escape, int32_t inputSize, const void* input,
                      int32_t outputSize, void* output) {
    return ExtEscape(reinterpret_cast<HDC>(context), escape, inputSize,
                     static_cast<const char*>(input), outputSize, static_cast<char*>(output));
}

void DisplayDeleteContext(DisplayContext context) {
    DeleteDC(reinterpret_cast<HDC>(context));
}
