#include "app/preference.h"

#include "store/registry.h"

namespace {

const char CompanyKeyPath[] = "Software\\Orvane Technologies";
const char ProgramKeyName[] = "Velmora";
const char ProgramKeyPath[] = "Software\\Orvane Technologies\\Velmora";
const char ShowWarningName[] = "ShowWarning";

// Opens the per-user key, creating "Velmora" below the company key when only that exists.
// 1 with an open handle in *key; 0 with nothing open and nothing created.
int OpenOrCreateProgramKey(RegistryKey* key) {
    if (RegistryOpenKey(RegistryCurrentUser, ProgramKeyPath, key))
        return 1;
    RegistryKey company;
    if (!RegistryOpenKey(RegistryCurrentUser, CompanyKeyPath, &company))
        return 0;
    int created = RegistryCreateSubkey(company, ProgramKeyName, key);
    RegistryCloseKey(company);
    return created;
}

} // namespace

uint32_t ReadShowWarning() {
    RegistryKey key;
    if (!RegistryOpenKey(RegistryCurrentUser, ProgramKeyPath, &key))
        return 0;
    // Zero-filled, so that the bytes a short value lacks count as 0.
    uint8_t bytes[4] = {0, 0, 0, 0};
    uint32_t length = sizeof bytes;
    int read = RegistryQueryValue(key, ShowWarningName, nullptr, bytes, &length);
    RegistryCloseKey(key);
    if (!read || length > sizeof bytes)
        return 0;
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

int SaveShowWarning(int ticked) {
    RegistryKey key;
    if (!OpenOrCreateProgramKey(&key))
        return 0;
    const uint8_t bytes[4] = {static_cast<uint8_t>(ticked ? 1 : 0), 0, 0, 0};
    int written = RegistrySetValue(key, ShowWarningName, RegistryTypeDword, bytes, sizeof bytes);
    RegistryCloseKey(key);
    return written;
}
