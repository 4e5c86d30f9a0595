#include "store/backup.h"

#include "store/backup_values.h"
#include "store/device_store.h"
#include "store/registry.h"
#include "store/registry_names.h"

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

int FormatOriginalPath(const DriverKey& device, char (&out)[OriginalPathSize]) {
    const int written = std::snprintf(out, sizeof out, "%s%s", OriginalPathPrefix, device.path);
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

// Reads the driver key into `copy`, indexed. 1 when every value was read; 0 when the key could
// not be opened or walked, a value could not be read, or memory ran out.
int ReadDriverKey(const DriverKey& device, HeldValues* copy) {
    RegistryKey driverKey;
    uint32_t count = 0;
    if (!device.OpenToWalk(&driverKey, &count))
        return 0; // also when the path is empty
    const int read = copy->ReadKey(driverKey, count) && copy->Index();
    RegistryCloseKey(driverKey);
    return read;
}

// 1 when the open backup key holds its mark, "Original Registry Path": the copy is whole; 0 when
// it lacks it; -1 when that could not be learnt.
int HoldsMark(RegistryKey backupKey) {
    uint32_t size = 0;
    int missing = 0;
    if (RegistryQueryValue(backupKey, OriginalPathValueName, nullptr, nullptr, &size, &missing))
        return 1;
    return missing ? 0 : -1;
}

// The prune's keep for a restore: a timing value of the driver key stays when the backup holds
// one of its name, and comes back under the held name when its case differs, prefix included.
const void* FindHeld(const void* context, const char* name, int* exact) {
    *exact = 0;
    if (!HasTimingPrefixNoCase(name))
        return nullptr;
    const HeldValue* held = static_cast<const HeldValues*>(context)->Find(name);
    *exact = held && std::strcmp(held->name, name) == 0;
    return held;
}

int RewriteHeld(const void*, RegistryKey key, const void* kept) {
    const HeldValue* held = static_cast<const HeldValue*>(kept);
    return RegistrySetValue(key, held->name, held->type, held->data, held->length);
}

// Deletes the open key's mode list value; 1 when it is gone, or was never there.
int DeleteModeList(RegistryKey key) {
    if (RegistryDeleteValue(key, ModeListValueName))
        return 1;
    uint32_t size = 0;
    int missing = 0;
    return !RegistryQueryValue(key, ModeListValueName, nullptr, nullptr, &size, &missing) &&
           missing;
}

// Makes the open key's mode values exactly the held ones, in the order that keeps a set whole
// wherever it stops: every held timing value, then the mode list (or its deletion) once all of
// them are written, and only then the timing values that the held ones lack. 1 when every call
// succeeded.
int PutHeldValues(RegistryKey key, const HeldValues& values) {
    int result = values.WriteTimings(key);
    const int listed =
        result && (values.HasModeList() ? values.WriteModeList(key) : DeleteModeList(key));
    uint32_t count = 0;
    if (!listed || !RegistryCountValues(key, &count) ||
        !PruneStoredTimings(key, count, PruneKeep{&values, FindHeld, RewriteHeld}))
        result = 0;
    return result;
}

// Fills the open backup key with the copy, over whatever an earlier copy that ended part-way left
// there, and writes its mark last. A key that holds the mark already is whole (another writer
// finished it meanwhile) and is not written again. 1 when the key is whole afterwards.
int FillBackupKey(const DriverKey& device, RegistryKey backupKey, const HeldValues& copy) {
    const int marked = HoldsMark(backupKey);
    if (marked != 0)
        return marked > 0;
    char original[OriginalPathSize];
    return FormatOriginalPath(device, original) && PutHeldValues(backupKey, copy) &&
           RegistrySetValue(backupKey, OriginalPathValueName, RegistryTypeSz,
                            reinterpret_cast<const uint8_t*>(original),
                            static_cast<uint32_t>(std::strlen(original)));
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

int ReadBackupState(const char* deviceName) {
    char path[BackupKeyPathSize];
    if (!FormatBackupKeyPath(deviceName, path))
        return BackupAbsent;
    RegistryKey key;
    int missing = 0;
    if (!RegistryOpenKey(RegistryCurrentUser, path, &key, &missing))
        return missing ? BackupAbsent : BackupUnreadable;
    uint32_t size = 0;
    missing = 0;
    const int marked =
        RegistryQueryValue(key, OriginalPathValueName, nullptr, nullptr, &size, &missing);
    RegistryCloseKey(key);
    return marked ? BackupWhole : missing ? BackupIncomplete : BackupUnreadable;
}

// The copy runs once per device and user: a whole backup key is never written again, and one
// whose state cannot be told counts as whole. An incomplete one (a copy that ended before its
// mark, the last value written) is taken again in place: nothing writes the driver key before its
// backup is whole, so the key still holds the original values. No backup key is ever deleted: a
// writer that finds an incomplete copy cannot tell a dead writer's from one still being made, and
// deleting it would let that writer's clean-up or its next set strike a copy that another has made
// whole since. Two writers filling one copy write the same values, the driver key's as both read
// them. The whole driver key is read before the backup key is made or written, so a read that
// fails writes nothing.
namespace {

// Takes the copy into the device's backup key, which the caller has read as absent or
// incomplete. As BackupOriginalSettings returns.
int TakeCopy(const DriverKey& device, const char* deviceName) {
    char path[BackupKeyPathSize];
    if (!FormatBackupKeyPath(deviceName, path))
        return 0;
    HeldValues copy;
    if (!ReadDriverKey(device, &copy))
        return 0;

    // Without the company key there is nowhere to keep a backup: the next load tries again.
    RegistryKey user;
    int missing = 0;
    if (!CreateUserKey(&user, &missing))
        return missing;
    RegistryKey backupKey;
    int written = RegistryCreateSubkey(user, deviceName, &backupKey);
    RegistryCloseKey(user);
    if (written) {
        written = FillBackupKey(device, backupKey, copy);
        RegistryCloseKey(backupKey);
    }
    return written;
}

} // namespace

int BackupOriginalSettings(const DriverKey& device, const char* deviceName) {
    char path[BackupKeyPathSize];
    if (!FormatBackupKeyPath(deviceName, path))
        return 0;
    const int state = ReadBackupState(deviceName);
    return (state == BackupAbsent || state == BackupIncomplete) && TakeCopy(device, deviceName);
}

int EnsureWholeBackup(const DriverKey& device, const char* deviceName) {
    const int state = ReadBackupState(deviceName);
    return state == BackupWhole ||
           ((state == BackupAbsent || state == BackupIncomplete) && TakeCopy(device, deviceName));
}

int StoredBackup::Read(const char* deviceName) {
    char path[BackupKeyPathSize];
    if (!FormatBackupKeyPath(deviceName, path))
        return BackupReadMissing;
    RegistryKey key;
    int missing = 0;
    if (!RegistryOpenKey(RegistryCurrentUser, path, &key, &missing))
        return missing ? BackupReadMissing : BackupReadUnopenable;
    uint32_t count = 0;
    int result = BackupReadFailed;
    if (RegistryCountValues(key, &count) && values.ReadKey(key, count)) {
        const int note = values.ReadNote(key, OriginalPathValueName);
        result = note > 0 ? BackupReadWhole : note == 0 ? BackupReadIncomplete : BackupReadFailed;
    }
    RegistryCloseKey(key);
    return result == BackupReadWhole && !values.Index() ? BackupReadFailed : result;
}

int StoredBackup::FromDevice(const DriverKey& device) const {
    char expected[OriginalPathSize];
    if (!FormatOriginalPath(device, expected))
        return 0;
    const uint32_t length = static_cast<uint32_t>(std::strlen(expected));
    uint32_t noteLength = 0;
    const uint8_t* note = values.Note(&noteLength);
    if (!note || noteLength < length || noteLength > length + 1)
        return 0;
    if (noteLength == length + 1 && note[length] != 0)
        return 0;
    for (uint32_t i = 0; i < length; ++i)
        if (UpperAscii(static_cast<char>(note[i])) != UpperAscii(expected[i]))
            return 0;
    return 1;
}

// As a save: the held values are the new set. The backup key is never touched, so a restore that
// failed part-way can be run again.
int StoredBackup::Restore(const DriverKey& device) const {
    RegistryKey key;
    if (!device.Open(&key))
        return 0;
    const int result = PutHeldValues(key, values);
    RegistryCloseKey(key);
    return result;
}

int ProbeWriteAccess(const DriverKey& device) {
    RegistryKey key;
    if (!device.Open(&key))
        return 0;
    const uint8_t one = 1;
    int written = RegistrySetValue(key, ProbeValueName, RegistryTypeDword, &one, 1);
    if (written)
        RegistryDeleteValue(key, ProbeValueName);
    RegistryCloseKey(key);
    return written;
}
