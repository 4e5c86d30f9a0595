// The part of the display services that stays real in every Windows build, velmora-sim.exe's
// included: the module handle, the entry points, the system metrics and the version record.
#include "devices/display_system.h"

#include <windows.h>

#include <cstddef>

static_assert(sizeof(VersionRecord) == sizeof(OSVERSIONINFOA), "OSVERSIONINFOA size");
static_assert(offsetof(VersionRecord, dwPlatformId) == offsetof(OSVERSIONINFOA, dwPlatformId),
              "OSVERSIONINFOA dwPlatformId");

DisplayModule DisplayGetModuleHandle(const char* moduleName) {
    return reinterpret_cast<DisplayModule>(GetModuleHandleA(moduleName));
}

DisplayEntryPoint DisplayGetProcAddress(DisplayModule module, const char* name) {
    return reinterpret_cast<DisplayEntryPoint>(
        GetProcAddress(reinterpret_cast<HMODULE>(module), name));
}

int32_t DisplayGetSystemMetrics(int32_t index) {
    return GetSystemMetrics(index);
}

int DisplayGetVersion(VersionRecord* record) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(record)) != 0;
#pragma GCC diagnostic pop
}
