#include "store/backup_values.h"

#include "store/device_store.h"
#include "store/registry_names.h"

#include <algorithm>
#include <cstring>
#include <new>

HeldValues::HeldValues()
    : head(nullptr), tail(nullptr), count(0), sorted(nullptr), modeList(nullptr), modeListLength(0),
      modeListType(0), note(nullptr), noteLength(0) {}

HeldValues::~HeldValues() {
    while (head) {
        HeldValue* next = head->next;
        delete head;
        head = next;
    }
    delete[] sorted;
    delete[] modeList;
    delete[] note;
}

int HeldValues::Hold(const char* name, uint32_t type, const uint8_t* data, uint32_t length) {
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
    ++count;
    return 1;
}

int HeldValues::ReadKey(RegistryKey key, uint32_t values) {
    char name[RegistryBufferSize];
    uint8_t data[RegistryBufferSize];
    for (uint32_t i = 0; i < values; ++i) {
        uint32_t length = 0;
        uint32_t type = 0;
        const int read = EnumIntoBuffers(key, i, name, data, &length, &type);
        if (read < 0 || (read > 0 && IsTimingValueName(name) && !Hold(name, type, data, length)))
            return 0;
    }
    return ReadWholeValue(key, ModeListValueName, &modeList, &modeListLength, &modeListType) >= 0;
}

int HeldValues::ReadNote(RegistryKey key, const char* name) {
    return ReadWholeValue(key, name, &note, &noteLength, nullptr);
}

int HeldValues::WriteTimings(RegistryKey key) const {
    int result = 1;
    for (const HeldValue* held = head; held; held = held->next)
        if (!RegistrySetValue(key, held->name, held->type, held->data, held->length))
            result = 0;
    return result;
}

int HeldValues::WriteModeList(RegistryKey key) const {
    return !modeList ||
           RegistrySetValue(key, ModeListValueName, modeListType, modeList, modeListLength);
}

int HeldValues::Index() {
    delete[] sorted;
    sorted = new (std::nothrow) const HeldValue*[count ? count : 1];
    if (!sorted)
        return 0;
    uint32_t at = 0;
    for (const HeldValue* held = head; held; held = held->next)
        sorted[at++] = held;
    std::sort(sorted, sorted + count, [](const HeldValue* a, const HeldValue* b) {
        return CompareNoCase(a->name, b->name) < 0;
    });
    return 1;
}

const HeldValue* HeldValues::Find(const char* name) const {
    if (!sorted)
        return nullptr;
    const HeldValue* const* begin = sorted;
    const HeldValue* const* end = begin + count;
    const HeldValue* const* at =
        std::lower_bound(begin, end, name, [](const HeldValue* held, const char* wanted) {
            return CompareNoCase(held->name, wanted) < 0;
        });
    return at != end && EqualNoCase((*at)->name, name) ? *at : nullptr;
}
