#include "app/preference.h"

#include "store/backup.h"
#include "store/registry.h"
#include "store/coding.h"

namespace {

const char ShowWarningName[] = "ShowWarning";

} // namespace

uint32_t ReadShowWarning() {
    RegistryKey key;
    if (!RegistryOpenKey(RegistryCurrentUser, UserKeyPath, &key))
        return 0;
    // Zero-filled, so that the bytes a short value lacks count as 0.
    uint8_t bytes[4] = {0, 0, 0, 0};
    uint32_t length = sizeof bytes;
    int read = RegistryQueryValue(key, ShowWarningName, nullptr, bytes, &length);
    RegistryCloseKey(key);
    if (!read || length > sizeof bytes)
        return 0;
    return DecodeFixed32LE(bytes);
}

int SaveShowWarning(int ticked) {
    RegistryKey key;
    if (!OpenOrCreateUserKey(&key))
        return 0;
    uint8_t bytes[4];
    EncodeFixed32LE(bytes, ticked ? 1 : 0);
    int written = RegistrySetValue(key, ShowWarningName, RegistryTypeDword, bytes, sizeof bytes);
    RegistryCloseKey(key);
    return written;
}
