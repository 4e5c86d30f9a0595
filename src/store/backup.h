// The one-time per-user backup of a device's original mode values, and the write-access probe.
//
// Backup key: HKEY_CURRENT_USER\Software\Orvane Technologies\Velmora\<device short name>, holding
// byte-for-byte copies of the driver key's timing values and mode list, and
// "Original Registry Path" (REG_SZ, "HKEY_LOCAL_MACHINE\" + path, without a terminating zero where
// the system can store text so: Windows 95, 98 and ME add one).
// "Software\Orvane Technologies" is never created here; "Velmora" and the device key are.
#pragma once

#include "store/device_store.h"
#include "store/backup_values.h"
#include "store/registry.h"

#include <cstdint>

extern const char UserKeyPath[];           // "Software\Orvane Technologies\Velmora"
extern const char CompanyKeyPath[];        // "Software\Orvane Technologies"
extern const char OriginalPathValueName[]; // "Original Registry Path"

// Size of the buffer for "HKEY_LOCAL_MACHINE\" and any path that a DriverKey can hold,
// terminating zero included.
const uint32_t OriginalPathSize = 19 + DevicePathSize;

// Forms "HKEY_LOCAL_MACHINE\" + the driver key's path into out, as "Original Registry Path" holds
// it. 1 when it fits (always, for a path that DriverKey::SetPath took); 0 otherwise.
int FormatOriginalPath(const DriverKey& device, char (&out)[OriginalPathSize]);

// Creates "Velmora" below the existing per-user company key, or opens it when it exists; the
// company key itself is never created. 1 with the user key open in *key; 0 with nothing open,
// and *companyMissing (when given) 1 when the company key does not exist, 0 for any other
// failure.
int CreateUserKey(RegistryKey* key, int* companyMissing = nullptr);

// Opens the user key, creating it as CreateUserKey does when it is missing. 1 with the key open
// in *key; 0 with nothing open and nothing created.
int OpenOrCreateUserKey(RegistryKey* key);

// Size of the buffer in which a backup key path is formed, terminating zero included. A device
// short name that would not fit (more than 222 characters) has no backup key.
const uint32_t BackupKeyPathSize = 260;

// Forms "Software\Orvane Technologies\Velmora\<name>" into out. 0, out empty, for a missing or
// empty name (the backup would land in the user key itself) and for a path that does not fit.
int FormatBackupKeyPath(const char* deviceName, char (&out)[BackupKeyPathSize]);

// 1 when the device's backup key does not exist, 0 when it exists or its open failed for another
// reason (it may exist, and must not be written then). A name with no backup key path (null,
// empty or too long) gives 1.
int IsBackupMissing(const char* deviceName);

// Writes one value into the device's backup key, creating "Velmora" and the device key below an
// existing company key. 1 when the value was written; 0 when the company key is missing, a key
// could not be made, the set failed, or the name has no backup key path.
int WriteBackupValue(const char* deviceName, const char* valueName, const uint8_t* data,
                     uint32_t length, uint32_t type);

// What the device's backup key holds. "Original Registry Path" is written last, so a key that
// lacks it is a copy that ended part-way.
enum BackupState {
    BackupAbsent,     // no backup key (also for a name with no backup key path)
    BackupWhole,      // the key holds "Original Registry Path"
    BackupIncomplete, // the key lacks it
    BackupUnreadable, // the key or the value could not be read for another reason
};
int ReadBackupState(const char* deviceName);

// Copies the driver key into the device's backup key unless a whole backup exists (or may
// exist): every timing value whose name and data fit the 260-byte walk buffers, the mode list
// whatever its length, then "Original Registry Path", the mark that the copy is whole. An
// incomplete backup key is taken again in place: its values become the driver key's and the mark
// is written last. No backup key is ever deleted. The whole driver key is read before anything is
// written. 1 when the backup is whole afterwards, and when the company key is missing (nothing
// can be kept, nothing is written); 0 otherwise: a whole backup present or its state unreadable,
// no path, a driver key value that could not be read, no memory, or a backup key that could not
// be made or filled (it is then left incomplete, for the next writer to take again).
int BackupOriginalSettings(const DriverKey& device, const char* deviceName);

// What a writer asks before it changes the driver key: 1 when the device's backup is whole
// afterwards (it was, or it has just been taken, or taken again over an incomplete one), or when
// the company key is missing and nothing can be kept; 0 when the backup's state could not be
// read or the copy could not be taken whole.
int EnsureWholeBackup(const DriverKey& device, const char* deviceName);

// The outcome of reading a backup for a restore.
enum BackupReadResult {
    BackupReadWhole,
    BackupReadMissing,    // no backup key
    BackupReadUnopenable, // the key exists but cannot be opened
    BackupReadFailed,     // a value could not be read whole, or memory ran out
    BackupReadIncomplete, // read, but without "Original Registry Path": never restored
};

// A device's backup key read whole, and put back over the driver key.
class StoredBackup {
public:
    // Reads every timing value, the mode list and "Original Registry Path". A BackupReadResult.
    int Read(const char* deviceName);
    // 1 when "Original Registry Path" names the driver key, case aside (a zero byte may follow,
    // as Windows 95, 98 and ME store text).
    int FromDevice(const DriverKey& device) const;
    // Makes the driver key's modes exactly the backup's, in a save's order: every held timing
    // value is written, then the mode list is put as the backup has it (or deleted), and only
    // then are the timing values that the backup lacks deleted (one named in another case comes
    // back under the held name). 1 when every call succeeded; otherwise 0, having done all it
    // could. The backup key is never written, so a restore that failed part-way can be run again.
    int Restore(const DriverKey& device) const;

    uint32_t TimingCount() const { return values.TimingCount(); }
    int HasModeList() const { return values.HasModeList(); }
    // "Original Registry Path" as stored (not terminated), or null.
    const uint8_t* Original(uint32_t* length) const { return values.Note(length); }

private:
    HeldValues values;
};

// Writes the value "DUMMY" (REG_DWORD type, one byte 1) into the driver key and deletes it again.
// 1 when the write succeeded, whatever became of the delete; 0 with no registry call when the key
// names nothing.
int ProbeWriteAccess(const DriverKey& device);
