#include "store/mode_list.h"

#include <new>

NonStandardModeList::NonStandardModeList()
    : head(nullptr), tail(nullptr), cursor(nullptr), count(0) {}

NonStandardModeList::~NonStandardModeList() {
    Clear();
}

void NonStandardModeList::Clear() {
    NonStandardModeNode* node = head;
    while (node) {
        NonStandardModeNode* next = node->next;
        delete node;
        node = next;
    }
    head = tail = cursor = nullptr;
    count = 0;
}

NonStandardMode* NonStandardModeList::FirstMode() {
    cursor = head;
    return cursor ? &cursor->mode : nullptr;
}

NonStandardMode* NonStandardModeList::NextMode() {
    if (!cursor)
        return nullptr;
    cursor = cursor->next;
    return cursor ? &cursor->mode : nullptr;
}

// An entry is covered when one of the same resolution has refresh 0 (it stands for every
// refresh) or the same refresh; only then is it left out. The walk goes through the list's own
// cursor and restores it, so a caller's walk is not disturbed.
int EntryCovers(const NonStandardMode& entry, uint16_t width, uint16_t height, uint16_t refresh) {
    return entry.width == width && entry.height == height &&
           (entry.refresh == 0 || entry.refresh == refresh);
}

int NonStandardModeList::Covers(uint16_t width, uint16_t height, uint16_t refresh) const {
    for (const NonStandardModeNode* node = head; node; node = node->next)
        if (EntryCovers(node->mode, width, height, refresh))
            return 1;
    return 0;
}

int NonStandardModeList::ReadsBack() const {
    for (const NonStandardModeNode* node = head; node; node = node->next)
        if (!ModeReadsBack(node->mode))
            return 0;
    return 1;
}

int NonStandardModeList::AddMode(const NonStandardMode& mode) {
    if (Covers(mode.width, mode.height, mode.refresh))
        return 1;

    NonStandardModeNode* node = new (std::nothrow) NonStandardModeNode;
    if (!node)
        return 0;
    node->mode = mode;
    node->next = nullptr;
    if (tail)
        tail->next = node;
    else
        head = node;
    tail = node;
    ++count;
    return 1;
}

// Removes the entry that belongs to one timing: same resolution and same refresh. An entry with
// refresh 0 covers the whole resolution and is never removed on behalf of one timing; asking for
// refresh 0 therefore removes nothing.
int NonStandardModeList::RemoveMode(uint16_t width, uint16_t height, uint16_t refresh) {
    if (refresh == 0)
        return 0;
    NonStandardModeNode* before = nullptr;
    for (NonStandardModeNode* node = head; node; before = node, node = node->next) {
        const NonStandardMode& x = node->mode;
        if (x.width != width || x.height != height || x.refresh != refresh)
            continue;
        if (before)
            before->next = node->next;
        else
            head = node->next;
        if (tail == node)
            tail = before;
        if (cursor == node)
            cursor = nullptr; // never left pointing at freed memory
        delete node;
        --count;
        return 1;
    }
    return 0;
}

void EncodeModeEntry(const NonStandardMode& mode, uint8_t out[ModeStoredSize]) {
    EncodeBcd4(out, mode.width);
    EncodeBcd4(out + 2, mode.height);
    EncodeBcd4(out + 4, mode.reserved);
    EncodeBcd4(out + 6, mode.refresh);
}

NonStandardMode DecodeModeEntry(const uint8_t bytes[ModeStoredSize]) {
    return NonStandardMode{DecodeBcd4(bytes), DecodeBcd4(bytes + 2), DecodeBcd4(bytes + 4),
                           DecodeBcd4(bytes + 6)};
}

int ModeReadsBack(const NonStandardMode& mode) {
    return mode.width < ModeFieldLimit && mode.height < ModeFieldLimit &&
           mode.reserved < ModeFieldLimit && mode.refresh < ModeFieldLimit;
}

uint8_t* NonStandardModeList::EncodeModeList(uint32_t* length) const {
    *length = 0;
    if (static_cast<uint32_t>(count) > UINT32_MAX / ModeStoredSize)
        return nullptr;
    uint32_t size = static_cast<uint32_t>(count) * ModeStoredSize;
    // At least one byte, so that an empty list still yields a buffer to hand to the registry.
    uint8_t* bytes = new (std::nothrow) uint8_t[size ? size : 1];
    if (!bytes)
        return nullptr;
    // A const walk of its own: the cursor is not touched at all.
    uint8_t* p = bytes;
    for (const NonStandardModeNode* node = head; node; node = node->next, p += ModeStoredSize)
        EncodeModeEntry(node->mode, p);
    *length = size;
    return bytes;
}

// Decodes every whole group of eight bytes; a partial last group is ignored rather than padded,
// since its missing fields could only be guessed. An entry that cannot be stored for want of
// memory makes the result 0, but the remaining groups are still added.
int NonStandardModeList::DecodeModeList(const uint8_t* bytes, uint32_t length) {
    if (!bytes || length == 0)
        return 0;
    int result = 1;
    for (uint32_t at = 0; length - at >= ModeStoredSize; at += ModeStoredSize)
        if (!AddMode(DecodeModeEntry(bytes + at)))
            result = 0;
    return result;
}
