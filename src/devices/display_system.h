// The system's side of the display services (display_system_win32.cpp on Windows, in every build;
// the scripted stand-in in tests/doubles for the native tests): the module handle, the entry
// points, the system metrics and the version record. Only portable types appear here; the
// version record mirrors the Windows one byte for byte.
#pragma once

#include <cstdint>

struct DisplayModuleObject;
typedef DisplayModuleObject* DisplayModule;

// An entry point of a module, as looked up by name. Never called through this type: only the
// services know the real signature.
typedef void (*DisplayEntryPoint)();

// GetSystemMetrics indexes that discovery compares.
const int32_t MetricCxScreen = 0;
const int32_t MetricCyScreen = 1;
const int32_t MetricCxVirtualScreen = 78;
const int32_t MetricCyVirtualScreen = 79;

const uint32_t VersionRecordSize = 148;

#pragma pack(push, 1)
// The platform's version record (OSVERSIONINFOA, 148 bytes).
struct VersionRecord {
    uint32_t dwOSVersionInfoSize;
    uint32_t dwMajorVersion;
    uint32_t dwMinorVersion;
    uint32_t dwBuildNumber;
    uint32_t dwPlatformId;
    char szCSDVersion[128];
};
#pragma pack(pop)
static_assert(sizeof(VersionRecord) == VersionRecordSize, "OSVERSIONINFOA layout");

const uint32_t PlatformWin32Windows = 1;
const uint32_t PlatformWin32Nt = 2;

// GetModuleHandleA: the handle of an already loaded module, or null.
DisplayModule DisplayGetModuleHandle(const char* moduleName);

// GetProcAddress: the named entry point of the module, or null.
DisplayEntryPoint DisplayGetProcAddress(DisplayModule module, const char* name);

// GetSystemMetrics: the metric, 0 when the system does not know it.
int32_t DisplayGetSystemMetrics(int32_t index);

// GetVersionExA: fills the record whose dwOSVersionInfoSize the caller has set. Non-zero on
// success.
int DisplayGetVersion(VersionRecord* record);
