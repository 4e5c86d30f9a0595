// Display services: what discovery asks of the platform. One implementation is chosen at link
// time:
//   display_system_win32.cpp + display_services_win32.cpp: the real user32, gdi32 and kernel32
//       calls (velmora.exe);
//   display_system_win32.cpp + display_services_sim.cpp: the real system with simulated Orvane
//       adapters and driver read from the registry (velmora-sim.exe);
//   tests/doubles/fake_display_services.cpp: a scripted stand-in that records every call (tests
//       and fuzzers).
//
// Only portable types appear here. The records mirror the Windows ones byte for byte, so that the
// Win32 implementation hands them to the system unchanged.
#pragma once

#include "devices/display_system.h"

#include <cstdint>

struct DisplayContextObject;
typedef DisplayContextObject* DisplayContext;

const uint32_t DisplayDeviceRecordSize = 168;
const uint32_t DisplayDeviceNameSize = 32;
const uint32_t MonitorRecordSize = 424;
const uint32_t MonitorRecordTextSize = 128;

// A monitor's StateFlags (DISPLAY_DEVICE_ACTIVE, DISPLAY_DEVICE_ATTACHED).
const uint32_t MonitorStateActive = 0x1;
const uint32_t MonitorStateAttached = 0x2;

#pragma pack(push, 1)
// The platform's display-device record (DISPLAY_DEVICEA, 168 bytes).
struct DisplayDeviceRecord {
    uint32_t cb;
    char DeviceName[DisplayDeviceNameSize];
    char DeviceString[128];
    uint32_t StateFlags;
};
// The platform's whole display-device record (DISPLAY_DEVICEA with DeviceID and DeviceKey, 424
// bytes), in which a monitor below an adapter is named.
struct MonitorRecord {
    uint32_t cb;
    char DeviceName[DisplayDeviceNameSize];
    char DeviceString[MonitorRecordTextSize];
    uint32_t StateFlags;
    char DeviceID[MonitorRecordTextSize];
    char DeviceKey[MonitorRecordTextSize];
};
#pragma pack(pop)
static_assert(sizeof(DisplayDeviceRecord) == DisplayDeviceRecordSize, "DISPLAY_DEVICEA layout");
static_assert(sizeof(MonitorRecord) == MonitorRecordSize, "whole DISPLAY_DEVICEA layout");

// Calls `enumDisplayDevices`, the "EnumDisplayDevicesA" entry point found by
// DisplayGetProcAddress, with the four arguments of EnumDisplayDevicesA. Non-zero, with
// record->DeviceName filled in, when a device exists at the index.
int DisplayCallEnumDisplayDevices(DisplayEntryPoint enumDisplayDevices, const char* device,
                                  uint32_t index, DisplayDeviceRecord* record, uint32_t flags);

// Calls `enumDisplayDevices` as above for the device at `index` below the adapter named
// `adapter` (its monitors), with the whole record (cb 424) and flags 0. Non-zero, with the record
// filled, when a monitor exists at the index; a system whose record is shorter answers 0.
int DisplayCallEnumMonitors(DisplayEntryPoint enumDisplayDevices, const char* adapter,
                            uint32_t index, MonitorRecord* record);

// CreateDCA with the driver and device given (either may be null), no output and no
// initialisation data. Null when no context can be had.
DisplayContext DisplayCreateContext(const char* driver, const char* device);

// ExtEscape: the driver's result, 0 when the escape is not implemented.
int32_t DisplayEscape(DisplayContext context, int32_t escape, int32_t inputSize, const void* input,
                      int32_t outputSize, void* output);

// DeleteDC; its result is of no interest.
void DisplayDeleteContext(DisplayContext context);
