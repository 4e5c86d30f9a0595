#include "devices/device_list.h"

#include <cstring>
#include <new>

namespace {

// A separate copy of `text` of exactly its length plus the terminator, or null without memory.
char* CopyText(const char* text) {
    size_t length = std::strlen(text);
    char* copy = new (std::nothrow) char[length + 1];
    if (copy)
        std::memcpy(copy, text, length + 1);
    return copy;
}

} // namespace

DisplayDeviceList::DisplayDeviceList() : head(nullptr), tail(nullptr), cursor(nullptr), count(0) {}

DisplayDeviceList::~DisplayDeviceList() {
    Clear();
}

int DisplayDeviceList::Append(const char* systemName, const char* path) {
    if (!systemName || !path)
        return 0;
    const char* shortName = std::strrchr(systemName, '\\');
    shortName = shortName ? shortName + 1 : systemName;

    DisplayDevice* entry = new (std::nothrow) DisplayDevice;
    if (!entry)
        return 0;
    entry->systemName = CopyText(systemName);
    entry->name = entry->systemName ? entry->systemName + (shortName - systemName) : nullptr;
    entry->path = CopyText(path);
    entry->next = nullptr;
    if (!entry->systemName || !entry->path) {
        delete[] entry->systemName;
        delete[] entry->path;
        delete entry;
        return 0;
    }
    if (head)
        tail->next = entry;
    else
        head = entry;
    tail = entry;
    ++count;
    return 1;
}

namespace {

const DisplayDevice* EntryAt(const DisplayDevice* entry, uint32_t index) {
    for (; entry && index > 0; --index)
        entry = entry->next;
    return entry;
}

} // namespace

const char* DisplayDeviceList::PathAt(uint32_t index) const {
    const DisplayDevice* entry = EntryAt(head, index);
    return entry ? entry->path : nullptr;
}

const char* DisplayDeviceList::SystemNameAt(uint32_t index) const {
    const DisplayDevice* entry = EntryAt(head, index);
    return entry ? entry->systemName : nullptr;
}

const char* DisplayDeviceList::NameAt(uint32_t index) const {
    const DisplayDevice* entry = EntryAt(head, index);
    return entry ? entry->name : nullptr;
}

const char* DisplayDeviceList::FirstName() {
    if (!head)
        return nullptr;
    cursor = head;
    return cursor->name;
}

// Once the walk has run off the end the cursor stays null, so every further call gives null too.
const char* DisplayDeviceList::NextName() {
    if (!cursor)
        return nullptr;
    cursor = cursor->next;
    return cursor ? cursor->name : nullptr;
}

void DisplayDeviceList::Clear() {
    DisplayDevice* entry = head;
    while (entry) {
        DisplayDevice* next = entry->next;
        delete[] entry->systemName;
        delete[] entry->path;
        delete entry;
        entry = next;
    }
    head = tail = cursor = nullptr;
    count = 0;
}
