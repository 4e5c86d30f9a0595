// The one-time per-user backup of a device's original mode values, and the write-access probe.
//
// Backup key: HKEY_CURRENT_USER\Software\Orvane Technologies\Velmora\<device short name>, holding
// byte-for-byte copies of the driver key's timing values and mode list, and
// "Original Registry Path" (REG_SZ, "HKEY_LOCAL_MACHINE\" + path, without a terminating zero).
// "Software\Orvane Technologies" is never created here; "Velmora" and the device key are.
#pragma once

#include <cstdint>

extern const char UserKeyPath[];    // "Software\Orvane Technologies\Velmora"
extern const char CompanyKeyPath[]; // "Software\Orvane Technologies"

// 1 when the device's backup key cannot be opened with full access, 0 when it can.
int IsBackupMissing(const char* deviceName);

// Writes one value into the device's backup key, creating "Velmora" and the device key below an
// existing company key. 1 when the value was written, 0 otherwise.
int WriteBackupValue(const char* deviceName, const char* valueName, const uint8_t* data,
                     uint32_t length, uint32_t type);

// Copies the driver key (CurrentDevicePath) into the device's backup key unless that key exists.
// 1 when the copy ran, 0 when it did not (backup present, no path, key unreadable).
int BackupOriginalSettings(const char* deviceName);

// Writes and deletes the value "DUMMY" in the driver key. 1 when the write succeeded.
int ProbeWriteAccess();
