#include "store/backup.h"

#include "store/device_store.h"
#include "store/registry.h"

#include <cstdio>
#include <cstring>
#include <new>

const char UserKeyPath[] = "Software\\Orvane Technologies\\Velmora";
const char CompanyKeyPath[] = "Software\\Orvane Technologies";

namespace {

const char UserKeyName[] = "Velmora";
const char OriginalPathValueName[] = "Original Registry Path";
const char OriginalPathPrefix[] = "HKEY_LOCAL_MACHINE\\";
const char ProbeValueName[] = "DUMMY";

// Big enough for the prefix and any path that CurrentDevicePath can hold.
const uint32_t OriginalPathSize = sizeof OriginalPathPrefix - 1 + DevicePathSize;

// Forms "Software\Orvane Technologies\Velmora\<name>" into out. 0 for a missing or empty name
// (the backup would land in the user key itself) and for a path that does not fit.
int FormatBackupKeyPath(const char* deviceName, char (&out)[BackupKeyPathSize]) {
    out[0] = '\0';
    if (!deviceName || deviceName[0] == '\0')
        return 0;
    int written = std::snprintf(out, sizeof out, "%s\\%s", UserKeyPath, deviceName);
    if (written < 0 || static_cast<uint32_t>(written) >= sizeof out) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}

// Opens the device's backup key, creating "Velmora" and the device key below an existing company
// key when they are missing. Every parent is closed once its child is made.
int OpenOrCreateBackupKey(const char* deviceName, const char* path, RegistryKey* key) {
    if (RegistryOpenKey(RegistryCurrentUser, path, key))
        return 1;
    RegistryKey company;
    if (!RegistryOpenKey(RegistryCurrentUser, CompanyKeyPath, &company))
        return 0;
    RegistryKey user;
    int made = RegistryCreateSubkey(company, UserKeyName, &user);
    RegistryCloseKey(company);
    if (!made || !user)
        return 0;
    made = RegistryCreateSubkey(user, deviceName, key);
    RegistryCloseKey(user);
    return made && *key;
}

// Copies the mode list value whatever its length: its size is asked first. A value that is
// missing, or that cannot be read whole, is not copied.
void CopyModeListValue(RegistryKey driverKey, const char* deviceName) {
    uint32_t length = 0;
    if (!RegistryQueryValue(driverKey, ModeListValueName, nullptr, nullptr, &length))
        return;
    uint8_t* data = new (std::nothrow) uint8_t[length ? length : 1];
    if (!data)
        return;
    uint32_t type = 0;
    uint32_t read = length;
    if (RegistryQueryValue(driverKey, ModeListValueName, &type, data, &read) && read <= length)
        WriteBackupValue(deviceName, ModeListValueName, data, read, type);
    delete[] data;
}

} // namespace

int IsBackupMissing(const char* deviceName) {
    char path[BackupKeyPathSize];
    if (!FormatBackupKeyPath(deviceName, path))
        return 1;
    RegistryKey key;
    if (!RegistryOpenKey(RegistryCurrentUser, path, &key))
        return 1;
    RegistryCloseKey(key);
    return 0;
}

int WriteBackupValue(const char* deviceName, const char* valueName, const uint8_t* data,
                     uint32_t length, uint32_t type) {
    char path[BackupKeyPathSize];
    if (!FormatBackupKeyPath(deviceName, path) || !valueName || (length && !data))
        return 0;
    RegistryKey key;
    if (!OpenOrCreateBackupKey(deviceName, path, &key))
        return 0;
    int result = RegistrySetValue(key, valueName, type, data, length);
    RegistryCloseKey(key);
    return result;
}

// The copy runs once per device and user: an existing backup key, however incomplete, is never
// written again. A device whose backup key path cannot be formed is refused before anything is
// read or written.
int BackupOriginalSettings(const char* deviceName) {
    char path[BackupKeyPathSize];
    if (!FormatBackupKeyPath(deviceName, path))
        return 0;
    if (!IsBackupMissing(deviceName))
        return 0;
    RegistryKey driverKey;
    uint32_t count = 0;
    if (!OpenCurrentDeviceKeyToWalk(&driverKey, &count))
        return 0;

    char name[RegistryBufferSize];
    uint8_t data[RegistryBufferSize];
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t nameLength = RegistryBufferSize;
        uint32_t dataLength = RegistryBufferSize;
        uint32_t type = 0;
        if (!RegistryEnumValue(driverKey, i, name, &nameLength, &type, data, &dataLength))
            continue;
        name[nameLength < RegistryBufferSize ? nameLength : RegistryBufferSize - 1] = '\0';
        if (dataLength > RegistryBufferSize)
            continue;
        if (IsTimingValueName(name))
            WriteBackupValue(deviceName, name, data, dataLength, type);
    }

    CopyModeListValue(driverKey, deviceName);

    char original[OriginalPathSize];
    int written =
        std::snprintf(original, sizeof original, "%s%s", OriginalPathPrefix, CurrentDevicePath);
    if (written >= 0 && static_cast<uint32_t>(written) < sizeof original)
        WriteBackupValue(deviceName, OriginalPathValueName,
                         reinterpret_cast<const uint8_t*>(original), static_cast<uint32_t>(written),
                         RegistryTypeSz);

    RegistryCloseKey(driverKey);
    return 1;
}

int ProbeWriteAccess() {
    RegistryKey key;
    if (!OpenCurrentDeviceKey(&key))
        return 0;
    const uint8_t one = 1;
    int written = RegistrySetValue(key, ProbeValueName, RegistryTypeDword, &one, 1);
    if (written)
        RegistryDeleteValue(key, ProbeValueName);
    RegistryCloseKey(key);
    return written;
}
