// The registry interface on the Windows registry (advapi32).
#include "store/registry.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

HKEY ToHkey(RegistryKey key) {
    return reinterpret_cast<HKEY>(key);
}
RegistryKey FromHkey(HKEY key) {
    return reinterpret_cast<RegistryKey>(key);
}

// Only "not found" means absence; every other code (denied, more data, a broken hive) is a
// failure to read what may well be there.
void Report(LONG result, int* missing) {
    if (missing)
        *missing = result == ERROR_FILE_NOT_FOUND;
}

} // namespace

namespace {

int OpenKey(RegistryRoot root, const char* path, REGSAM access, RegistryKey* key, int* missing) {
    HKEY base = root == RegistryLocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    HKEY opened = nullptr;
    *key = nullptr;
    LONG result = RegOpenKeyExA(base, path, 0, access, &opened);
    Report(result, missing);
    if (result != ERROR_SUCCESS)
        return 0;
    *key = FromHkey(opened);
    return 1;
}

} // namespace

int RegistryOpenKey(RegistryRoot root, const char* path, RegistryKey* key, int* missing) {
    return OpenKey(root, path, KEY_ALL_ACCESS, key, missing);
}

int RegistryOpenKeyToRead(RegistryRoot root, const char* path, RegistryKey* key, int* missing) {
    return OpenKey(root, path, KEY_READ, key, missing);
}

// RegEnumKeyA, which Windows 95 has, rather than the Ex form: only the name is wanted.
int RegistryEnumSubkey(RegistryKey key, uint32_t index, char* name, uint32_t* nameLength) {
    if (*nameLength == 0 || RegEnumKeyA(ToHkey(key), index, name, *nameLength) != ERROR_SUCCESS)
        return 0;
    const void* end = std::memchr(name, 0, *nameLength);
    if (!end)
        return 0;
    *nameLength = static_cast<uint32_t>(static_cast<const char*>(end) - name);
    return 1;
}

int RegistryCreateSubkey(RegistryKey parent, const char* name, RegistryKey* child) {
    HKEY created = nullptr;
    *child = nullptr;
    if (RegCreateKeyA(ToHkey(parent), name, &created) != ERROR_SUCCESS || created == nullptr)
        return 0;
    *child = FromHkey(created);
    return 1;
}

int RegistryCountValues(RegistryKey key, uint32_t* count) {
    DWORD values = 0;
    if (RegQueryInfoKeyA(ToHkey(key), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return 0;
    *count = values;
    return 1;
}

int RegistryEnumValue(RegistryKey key, uint32_t index, char* name, uint32_t* nameLength,
                      uint32_t* type, uint8_t* data, uint32_t* dataLength) {
    DWORD nameSize = *nameLength;
    DWORD dataSize = *dataLength;
    DWORD valueType = 0;
    LONG result =
        RegEnumValueA(ToHkey(key), index, name, &nameSize, nullptr, &valueType, data, &dataSize);
    if (result != ERROR_SUCCESS)
        return 0;
    *nameLength = nameSize;
    *dataLength = dataSize;
    if (type)
        *type = valueType;
    return 1;
}

int RegistryQueryValue(RegistryKey key, const char* name, uint32_t* type, uint8_t* data,
                       uint32_t* dataLength, int* missing) {
    DWORD size = *dataLength;
    DWORD valueType = 0;
    LONG result = RegQueryValueExA(ToHkey(key), name, nullptr, &valueType, data, &size);
    Report(result, missing);
    *dataLength = size;
    if (result != ERROR_SUCCESS)
        return 0;
    if (type)
        *type = valueType;
    return 1;
}

namespace {

// 1 on Windows 95, 98 and ME.
int IsWindows9x() {
    OSVERSIONINFOA version;
    std::memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
#pragma GCC diagnostic pop
}

} // namespace

// Text data is set from a copy followed by one byte of our choosing, so that nothing past the
// caller's data is ever read:
//   - NT reads the byte after text data and, when it is 0, stores one byte more than it was
//     given; a non-zero byte there makes the value hold exactly `length` bytes.
//   - Windows 95, 98 and ME ignore the length of REG_SZ data and store it up to its first zero
//     byte and that zero; a 0 there ends the text within the copy. Such a value holds the text
//     and its terminator, the only form these systems can store.
#ifdef VELMORA_REGISTRY_STOPS
namespace {

// The simulated programs (velmora-sim.exe, velmoractl-sim.exe) end themselves, with exit code
// 99, once they have set as many values as the simulated driver's configuration says in
// "StopAfterSets" (a DWORD), so that a test can end them part-way through their writes as a
// crash or a kill would. Without the value they never stop.
const char SimulatedDriverKey[] = "Software\\Velmora Simulated Driver";
const int StoppedExitCode = 99;

DWORD ConfiguredStop() {
    DWORD stop = 0;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SimulatedDriverKey, 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return 0;
    DWORD type = 0;
    DWORD size = sizeof stop;
    if (RegQueryValueExA(key, "StopAfterSets", nullptr, &type, reinterpret_cast<BYTE*>(&stop),
                         &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof stop)
        stop = 0;
    RegCloseKey(key);
    return stop;
}

void CountSet() {
    static const DWORD stop = ConfiguredStop();
    static DWORD sets = 0;
    if (stop && ++sets == stop)
        std::exit(StoppedExitCode);
}

} // namespace
#endif

namespace {

int SetValue(RegistryKey key, const char* name, uint32_t type, const uint8_t* data,
             uint32_t length) {
    int text = type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
    if (!text || length == 0 || !data)
        return RegSetValueExA(ToHkey(key), name, 0, type, data, length) == ERROR_SUCCESS;
    if (length == UINT32_MAX)
        return 0;
    uint8_t* copy = new (std::nothrow) uint8_t[length + 1];
    if (!copy)
        return 0;
    std::memcpy(copy, data, length);
    copy[length] = IsWindows9x() ? 0 : 0xFF;
    int result = RegSetValueExA(ToHkey(key), name, 0, type, copy, length) == ERROR_SUCCESS;
    delete[] copy;
    return result;
}

} // namespace

int RegistrySetValue(RegistryKey key, const char* name, uint32_t type, const uint8_t* data,
                     uint32_t length) {
    const int set = SetValue(key, name, type, data, length);
#ifdef VELMORA_REGISTRY_STOPS
    if (set)
        CountSet();
#endif
    return set;
}

int RegistryDeleteValue(RegistryKey key, const char* name) {
    return RegDeleteValueA(ToHkey(key), name) == ERROR_SUCCESS;
}

int RegistryDeleteKey(RegistryKey parent, const char* name) {
    return RegDeleteKeyA(ToHkey(parent), name) == ERROR_SUCCESS;
}

void RegistryCloseKey(RegistryKey key) {
    RegCloseKey(ToHkey(key));
}
