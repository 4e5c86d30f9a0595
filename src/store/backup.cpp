#include "store/backup.h"

#include "store/device_store.h"
#include "store/registry.h"

#include <cstdio>
#include <cstring>
#include <new>

const char UserKeyPath[] = "Software\\Orvane Technologies\\Velmora";
const char CompanyKeyPath[] = "Software\\Orvane Technologies";
const char OriginalPathValueName[] = "Original Registry Path";

namespace {

const char UserKeyName[] = "Velmora";
const char OriginalPathPrefix[] = "HKEY_LOCAL_MACHINE\\";
const char ProbeValueName[] = "DUMMY";

static_assert(OriginalPathSize == sizeof OriginalPathPrefix - 1 + DevicePathSize,
              "the original path's buffer holds the prefix and any device path");

} // namespace

int FormatOriginalPath(char (&out)[OriginalPathSize]) {
    const int written =
        std::snprintf(out, sizeof out, "%s%s", OriginalPathPrefix, CurrentDevicePath);
    return written >= 0 && static_cast<uint32_t>(written) < sizeof out;
}

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

namespace {

// Opens the device's backup key, creating "Velmora" and the device key below an existing company
// key when they are missing. Every parent is closed once its child is made.
int OpenOrCreateBackupKey(const char* deviceName, const char* path, RegistryKey* key) {
    if (RegistryOpenKey(RegistryCurrentUser, path, key))
        return 1;
    RegistryKey user;
    if (!CreateUserKey(&user))
        return 0;
    int made = RegistryCreateSubkey(user, deviceName, key);
    RegistryCloseKey(user);
    return made && *key;
}

// One value of the driver key, held until the whole key has been read.
struct HeldValue {
    char name[RegistryBufferSize];
    uint32_t type;
    uint32_t length;
    uint8_t data[RegistryBufferSize];
    HeldValue* next;
};

// What a backup writes, read whole from the driver key before anything is written: the timing
// values in enumeration order, the mode list when the key has one, and the path note.
class BackupCopy {
public:
    BackupCopy()
        : head(nullptr), tail(nullptr), modeList(nullptr), modeListLength(0), modeListType(0),
          originalLength(0) {}
    ~BackupCopy();
    BackupCopy(const BackupCopy&) = delete;
    BackupCopy& operator=(const BackupCopy&) = delete;

    // Reads the driver key (CurrentDevicePath). 1 when every value was read, skipping only those
    // whose name or data does not fit the walk buffers and a mode list that does not exist; 0
    // when the key could not be opened or walked, a value could not be read, or memory ran out.
    int Read();
    // Sets every value into the open backup key. 1 when every set succeeded; it stops at the
    // first that fails.
    int Write(RegistryKey backupKey) const;

private:
    int Hold(const char* name, uint32_t type, const uint8_t* data, uint32_t length);

    HeldValue* head;
    HeldValue* tail;
    uint8_t* modeList; // null when the driver key has none
    uint32_t modeListLength;
    uint32_t modeListType;
    char original[OriginalPathSize];
    uint32_t originalLength;
};

BackupCopy::~BackupCopy() {
    while (head) {
        HeldValue* next = head->next;
        delete head;
        head = next;
    }
    delete[] modeList;
}

int BackupCopy::Hold(const char* name, uint32_t type, const uint8_t* data, uint32_t length) {
    HeldValue* held = new (std::nothrow) HeldValue;
    if (!held)
        return 0;
    std::memcpy(held->name, name, sizeof held->name);
    std::memcpy(held->data, data, length);
    held->type = type;
    held->length = length;
    held->next = nullptr;
    if (tail)
        tail->next = held;
    else
        head = held;
    tail = held;
    return 1;
}

int BackupCopy::Read() {
    RegistryKey driverKey;
    uint32_t count = 0;
    if (!OpenCurrentDeviceKeyToWalk(&driverKey, &count))
        return 0; // also when CurrentDevicePath holds no terminated path
    int result = FormatOriginalPath(original);
    originalLength = result ? static_cast<uint32_t>(std::strlen(original)) : 0;
    char name[RegistryBufferSize];
    uint8_t data[RegistryBufferSize];
    for (uint32_t i = 0; i < count && result; ++i) {
        uint32_t length = 0;
        uint32_t type = 0;
        const int read = EnumIntoBuffers(driverKey, i, name, data, &length, &type);
        if (read < 0 || (read > 0 && IsTimingValueName(name) && !Hold(name, type, data, length)))
            result = 0;
    }
    if (result &&
        ReadWholeValue(driverKey, ModeListValueName, &modeList, &modeListLength, &modeListType) < 0)
        result = 0;
    RegistryCloseKey(driverKey);
    return result;
}

int BackupCopy::Write(RegistryKey backupKey) const {
    for (const HeldValue* held = head; held; held = held->next)
        if (!RegistrySetValue(backupKey, held->name, held->type, held->data, held->length))
            return 0;
    if (modeList &&
        !RegistrySetValue(backupKey, ModeListValueName, modeListType, modeList, modeListLength))
        return 0;
    return RegistrySetValue(backupKey, OriginalPathValueName, RegistryTypeSz,
                            reinterpret_cast<const uint8_t*>(original), originalLength);
}

} // namespace

int CreateUserKey(RegistryKey* key, int* companyMissing) {
    if (companyMissing)
        *companyMissing = 0;
    RegistryKey company;
    if (!RegistryOpenKey(RegistryCurrentUser, CompanyKeyPath, &company, companyMissing))
        return 0;
    int made = RegistryCreateSubkey(company, UserKeyName, key);
    RegistryCloseKey(company);
    return made && *key;
}

int OpenOrCreateUserKey(RegistryKey* key) {
    return RegistryOpenKey(RegistryCurrentUser, UserKeyPath, key) || CreateUserKey(key);
}

int IsBackupMissing(const char* deviceName) {
    char path[BackupKeyPathSize];
    if (!FormatBackupKeyPath(deviceName, path))
        return 1;
    RegistryKey key;
    int missing = 0;
    if (!RegistryOpenKey(RegistryCurrentUser, path, &key, &missing))
        return missing;
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

// The copy runs once per device and user: an existing backup key is never written again, and
// one that cannot be told to be missing counts as existing. A device whose backup key path cannot
// be formed is refused before anything is read or written. The whole driver key is read before
// the backup key is made, and a backup key that cannot be filled is deleted again, so that the
// next load takes the backup afresh rather than finding a partial one that it would never
// complete.
int BackupOriginalSettings(const char* deviceName) {
    char path[BackupKeyPathSize];
    if (!FormatBackupKeyPath(deviceName, path))
        return 0;
    if (!IsBackupMissing(deviceName))
        return 0;
    BackupCopy copy;
    if (!copy.Read())
        return 0;

    // Without the company key there is nowhere to keep a backup: the next load tries again.
    RegistryKey user;
    int missing = 0;
    if (!CreateUserKey(&user, &missing))
        return missing;
    RegistryKey device;
    int written = RegistryCreateSubkey(user, deviceName, &device);
    if (written) {
        written = copy.Write(device);
        RegistryCloseKey(device);
        if (!written)
            RegistryDeleteKey(user, deviceName);
    }
    RegistryCloseKey(user);
    return written;
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
