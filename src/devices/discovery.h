// Display device discovery: the display devices that the Orvane driver answers for, each with
// its short name and its driver key path.
//
// The driver is asked through the private escape 0x7306:
//   DeviceKeyQueryRequest, 16 bytes:  size (u32 LE) = 16, queryCode (u32 LE) = 0x00110004,
//                                     8 bytes that discovery sends as zeros
//   DeviceKeyQueryAnswer, 1288 bytes: size (u32 LE) = 1288 set before the call, then at byte 4
//                                     the driver key path, 8-bit text ending with a zero byte
#pragma once

#include "devices/device_list.h"
#include "devices/display_services.h"

#include <cstdint>

const uint32_t DeviceKeyQueryEscape = 0x7306;
const uint32_t DeviceKeyQueryCode = 0x00110004;
const uint32_t DeviceKeyQueryRequestSize = 16;
const uint32_t DeviceKeyQueryAnswerSize = 1288;
const uint32_t DeviceKeyQueryPathSize = 1284;

#pragma pack(push, 1)
struct DeviceKeyQueryRequest {
    uint32_t size;
    uint32_t queryCode;
    uint8_t unused[8];
};
struct DeviceKeyQueryAnswer {
    uint32_t size;
    char path[DeviceKeyQueryPathSize];
};
#pragma pack(pop)
static_assert(sizeof(DeviceKeyQueryRequest) == 16, "request layout");
static_assert(sizeof(DeviceKeyQueryAnswer) == 1288, "answer layout");

// Classification of the running Windows version.
typedef uint32_t OsClass;
const OsClass OsWindows9xFamily = 0x01000000;
const OsClass OsNtFamily = 0x02000000;
const OsClass OsWindows98 = 0x10;
const OsClass OsWindows9xOther = 0x1;
const OsClass OsNtBefore5 = 0x100;
const OsClass OsNt5OrLater = 0x1000;

// Asks every system display device, in index order, for its driver key path and appends to the
// list those that the Orvane driver answers for. Returns the list's count afterwards.
//
// A device is kept only when the escape returns 0 and the answer holds a non-empty path that
// ends with a zero byte inside the answer and fits a DriverKey's path: other display drivers
// return 0 for an escape they do not know and write nothing. A device whose entry cannot be
// allocated is left out.
uint32_t EnumerateDisplayDevices(DisplayDeviceList* list);

// The class of the running Windows version, computed anew from the version record at every call;
// 0 when the version cannot be had or the platform is unknown.
OsClass GetOsClass();

// The process-wide table of the seven "USER32" entry points that the display services need, in
// the order in which they are looked up. Only EnumDisplayDevicesA is ever called; the others are
// conditions of availability.
enum DisplayEntryPointIndex {
    EntryGetSystemMetrics,
    EntryMonitorFromWindow,
    EntryMonitorFromRect,
    EntryMonitorFromPoint,
    EntryEnumDisplayMonitors,
    EntryGetMonitorInfoA,
    EntryEnumDisplayDevicesA,
    DisplayEntryPointCount
};
extern const char* const DisplayEntryPointNames[DisplayEntryPointCount];

struct DisplayEntryPointTable {
    int done; // set by the first ResolveDisplayEntryPoints, whatever its outcome
    DisplayEntryPoint entry[DisplayEntryPointCount];
};
extern DisplayEntryPointTable DisplayEntryPoints;

// Looks up the entry points once per process. 1 when all seven exist and the virtual screen is at
// least as wide and as high as the primary screen; 0 otherwise, with every entry point null.
// Later calls repeat the first outcome without asking the platform anything.
int ResolveDisplayEntryPoints();

// Returns the table to its state at process start, so that a test can resolve again.
void ResetDisplayEntryPointsForTesting();

// EnumDisplayDevicesA through the resolved entry point, arguments unchanged. 0 without any call
// when the entry points are not available.
int EnumerateDisplayDevice(const char* device, uint32_t index, DisplayDeviceRecord* record,
                           uint32_t flags);

// A device context for the system device name on Windows 98 and NT 5 or later; on every other
// system (or without a name) the context of the driver "Display". Null when none can be had.
DisplayContext CreateDeviceContext(const char* systemName);
