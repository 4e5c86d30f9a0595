// The device mode store: the custom timings of the current display device in memory, and their
// movement to and from the device's driver key (HKEY_LOCAL_MACHINE\CurrentDevicePath).
//
// Driver key values:
//   "QORDTMCRTBCD%04uX%04uX0X%u"  (width, height, refresh)  REG_BINARY, 68 bytes, one per timing
//   "QORNonStandardModesBCD"                                REG_BINARY, count * 8 bytes
// A value is a timing value exactly when its name begins with the 12 characters "QORDTMCRTBCD"
// (case-sensitive).
#pragma once

#include "store/mode_list.h"
#include "store/registry.h"
#include "store/timing.h"

#include <cstdint>

const uint32_t DevicePathSize = 260;

// The current device's driver key path, relative to HKEY_LOCAL_MACHINE. Empty means no device:
// every operation that needs the driver key then returns 0 without touching the registry.
extern char CurrentDevicePath[DevicePathSize];

// Copies a path into CurrentDevicePath. A null path or one that does not fit (260 characters or
// more) is refused: CurrentDevicePath becomes empty and the result is 0.
int SetCurrentDevicePath(const char* path);

// Opens HKEY_LOCAL_MACHINE\CurrentDevicePath with full access. 0 with no registry call when
// CurrentDevicePath is empty (or, having been written directly, holds no terminating zero).
int OpenCurrentDeviceKey(RegistryKey* key);

// Opens the driver key as above and counts its values, for a walk over them. 0 with no key left
// open when either fails.
int OpenCurrentDeviceKeyToWalk(RegistryKey* key, uint32_t* count);

// Enumerates the value at `index` of an open key into the fixed walk buffers, which every walk
// uses alike. The name is always terminated inside its buffer. 1 with the value (its type in
// *type when type is not null); 0 when its name or data does not fit the buffers, a value every
// walk skips; -1 when the enumeration failed for another reason, so that the walk cannot know
// what the value was.
int EnumIntoBuffers(RegistryKey key, uint32_t index, char (&name)[RegistryBufferSize],
                    uint8_t (&data)[RegistryBufferSize], uint32_t* dataLength, uint32_t* type);

// Reads the value `name` of an open key whole, whatever its length. 1 with the data in a new[]
// buffer in *data (the caller frees it with delete[]; at least one byte is allocated), its length
// and its type (when type is not null); 0 when there is no such value; -1 when it could not be
// read (a failed call, or no memory for it). *data is null unless the result is 1.
int ReadWholeValue(RegistryKey key, const char* name, uint8_t** data, uint32_t* length,
                   uint32_t* type);

extern const char TimingValuePrefix[]; // "QORDTMCRTBCD"
extern const char ModeListValueName[]; // "QORNonStandardModesBCD"

// 1 when `name` begins with the timing prefix (case-sensitive).
int IsTimingValueName(const char* name);

// Formats the timing value name of a mode into `out` (size bytes). 0 when it does not fit.
int FormatTimingValueName(uint32_t width, uint32_t height, uint32_t refresh, char* out,
                          uint32_t size);

// Scans width, height and refresh back out of a timing value name. 1 only when the whole name
// follows the format (width and height of one to four digits, "X", "X0X", a decimal refresh).
int ScanTimingValueName(const char* name, uint32_t* width, uint32_t* height, uint32_t* refresh);

struct TimingNode {
    CustomTiming timing;
    TimingNode* next;
};

class TimingList {
public:
    TimingList();
    ~TimingList();
    TimingList(const TimingList&) = delete;
    TimingList& operator=(const TimingList&) = delete;

    void Clear();

    // Appends a copy of the record. 0 when no node could be allocated (list unchanged).
    int Append(const CustomTiming& timing);

    // Unlinks and frees the record at the 0-based index. 0 when the index is not in the list.
    // The cursor is not moved, except that a cursor on the removed record becomes null.
    int RemoveAt(int32_t index);

    // The record at the index itself (to be changed in place), with the cursor set to it; null,
    // cursor unmoved, when the index is not in the list.
    CustomTiming* TimingAt(int32_t index);

    CustomTiming* FirstTiming();
    CustomTiming* NextTiming();

    // Recomputes the checksum word of the record at the index. 0 when there is none.
    int RefreshChecksumAt(int32_t index);

    // Replaces the list with the valid timings of the driver key, in the order the registry
    // enumerates them. A timing whose checksum fails is dropped and takes the non-standard entry
    // of its mode (same resolution and refresh) with it. A name that does not follow the format
    // whole is skipped; data shorter than 68 bytes is read with the missing bytes as 0. 1 when
    // the key was read, else 0 (the list is then empty); 0 also when a valid timing could not be
    // kept for want of memory, or when a value could not be enumerated for another reason than a
    // name or data too large for the 260-byte walk buffers (which every walk skips alike): the
    // list may then lack a timing that the next save would delete.
    int LoadFromDevice(NonStandardModeList& modes);

    // Writes one value per record in list order, then deletes every stored timing value that no
    // record names (names compared without regard to case, as the registry compares them), so
    // that the key never holds fewer modes than before the save or than the list. 1 only when the
    // key was opened and every set, enumeration and delete succeeded; otherwise 0, having still
    // done all it could. The cursor is not moved.
    // A list holding a record that its stored value would not give back (width or height of
    // 10,000 or more, a timing word of TimingWordLimit or more) is refused with 0 before anything
    // is written, so the key keeps what it held; so is a list for whose names no memory could be
    // had.
    int SaveToDevice();

private:
    TimingNode* head;
    TimingNode* tail;
    TimingNode* cursor;
};

// Deletes every value of the driver key whose name begins with the timing prefix. 1 when the key
// was walked and every delete it attempted succeeded; 0 when the key could not be walked or a
// delete failed (the walk goes on past a failed delete). A value whose name or data does not fit
// the walk buffers is skipped and is not a failure; an enumeration that fails otherwise is, since
// the value it skipped may be a timing left behind.
int DeleteStoredTimings();
