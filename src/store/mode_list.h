// The driver's list of non-standard modes and its stored form.
//
// Stored form (value "QORNonStandardModesBCD"): the entries in list order, eight bytes each and
// nothing else, so the length is count * 8 and an empty list is a value of length 0. An entry is
// width, height, reserved, refresh, each as Bcd4 (store/coding.h), so a field f comes back as
// f mod 16,000.
#pragma once

#include "store/coding.h"

#include <cstdint>

const uint32_t ModeStoredSize = 8;
// The first field that its stored form cannot give back (it reads back 16,000 less).
const uint32_t ModeFieldLimit = Bcd4Limit;

struct NonStandardMode {
    uint16_t width;
    uint16_t height;
    uint16_t reserved; // kept as read; never compared
    uint16_t refresh;  // 0 stands for the resolution whatever its refresh
};

struct NonStandardModeNode {
    NonStandardMode mode;
    NonStandardModeNode* next;
};

class NonStandardModeList {
public:
    NonStandardModeList();
    ~NonStandardModeList();
    NonStandardModeList(const NonStandardModeList&) = delete;
    NonStandardModeList& operator=(const NonStandardModeList&) = delete;

    void Clear();

    // The walk: FirstMode sets the cursor to the head; NextMode advances it. Both return the
    // entry itself, or null at the end (the cursor is then null).
    NonStandardMode* FirstMode();
    NonStandardMode* NextMode();

    // Appends a copy unless an entry of the same resolution has refresh 0 or the same refresh.
    // 1 when appended or already covered; 0 when no node could be allocated (list unchanged).
    // The cursor is where it was.
    int AddMode(const NonStandardMode& mode);

    // Removes the first entry of width x height whose refresh equals `refresh`. An entry with
    // refresh 0 is never removed. 1 when an entry went, 0 when none matched. The cursor is not
    // moved, except that a cursor on the removed entry becomes null (the walk ends there), so no
    // walk may be carried across a removal.
    int RemoveMode(uint16_t width, uint16_t height, uint16_t refresh);

    // The stored form of the whole list in a new[] buffer of count * 8 bytes (at least one byte is
    // allocated, so an empty list gives a buffer and the length 0). Null when no memory could be
    // had. The caller frees it with delete[]. The cursor is where it was.
    uint8_t* EncodeModeList(uint32_t* length) const;

    // Adds the entries of a stored form through AddMode. Whole groups of eight bytes are decoded;
    // a partial last group is ignored. 0 when bytes are missing or length is 0, or when an entry
    // could not be stored for want of memory (the other groups are still added); else 1.
    int DecodeModeList(const uint8_t* bytes, uint32_t length);

    // 1 when an entry covers the mode: one of its resolution with its refresh, or with refresh 0.
    // The rule by which AddMode leaves a mode out and by which the driver lists a timing.
    int Covers(uint16_t width, uint16_t height, uint16_t refresh) const;

    // 1 when every entry reads back from the stored form (ModeReadsBack). A save refuses a list
    // that would not: its one value would name modes nobody asked for.
    int ReadsBack() const;

    int32_t Count() const { return count; }

private:
    NonStandardModeNode* head;
    NonStandardModeNode* tail;
    NonStandardModeNode* cursor;
    int32_t count;
};

// The eight stored bytes of one entry, and the entry they hold.
void EncodeModeEntry(const NonStandardMode& mode, uint8_t out[ModeStoredSize]);
NonStandardMode DecodeModeEntry(const uint8_t bytes[ModeStoredSize]);

// The covering rule: 1 when the entry lists the mode, being of its resolution with its refresh or
// with refresh 0 (any refresh).
int EntryCovers(const NonStandardMode& entry, uint16_t width, uint16_t height, uint16_t refresh);

// 1 when every field is below ModeFieldLimit, so that the stored entry gives it back; else 0.
int ModeReadsBack(const NonStandardMode& mode);
