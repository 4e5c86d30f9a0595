// The device mode store: the custom timings of a display device in memory, and their
// movement to and from the device's driver key (HKEY_LOCAL_MACHINE\<path>, a DriverKey).
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

// A display device's driver key, HKEY_LOCAL_MACHINE\<path>, as every operation on it is given it.
// A key whose path is empty names nothing: every operation on it returns 0 without touching the
// registry.
struct DriverKey {
    char path[DevicePathSize];
    // 1: opened for reading only, which a user without administrative rights may do; nothing can
    // then be written through it. 0: with full access, as every writer asks.
    int readOnly;

    DriverKey() : path(), readOnly(0) {}

    // Names the key at `text`. A null path or one that does not fit (260 characters or more) is
    // refused: the key then names nothing and the result is 0.
    int SetPath(const char* text);

    // Opens the key with full access (for reading only when readOnly is 1). 0 with no registry
    // call when the path is empty.
    int Open(RegistryKey* key) const;

    // Opens the key as above and counts its values, for a walk over them. 0 with no key left open
    // when either fails.
    int OpenToWalk(RegistryKey* key, uint32_t* count) const;
};

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

// 1 when `name` begins with the timing prefix without regard to ASCII case, as the registry may
// take it for a timing value's name; else 0.
int HasTimingPrefixNoCase(const char* name);

// Formats the timing value name of a mode into `out` (size bytes). 0 when it does not fit.
int FormatTimingValueName(uint32_t width, uint32_t height, uint32_t refresh, char* out,
                          uint32_t size);

// Scans width, height and refresh back out of a timing value name. 1 only when the whole name
// follows the format (width and height of one to four digits, "X", "X0X", a decimal refresh).
int ScanTimingValueName(const char* name, uint32_t* width, uint32_t* height, uint32_t* refresh);

// The value name and the 68 stored bytes of a record, as a save writes them. 0 when the name does
// not fit.
int FormatStoredTiming(const CustomTiming& timing, char (&name)[RegistryBufferSize],
                       uint8_t (&stored)[TimingStoredSize]);

// Where a read of the stored modes hands what it finds: a timing value whose name scans, with its
// words decoded and `valid` 1 when its checksum holds; an entry of the mode list. Each returns 1
// when it kept what it was given and 0 when it could not (for want of memory), which makes the
// read's result 0 without stopping it. `mode` may be null when only timings are read.
struct StoredModeSink {
    void* context;
    int (*timing)(void* context, const CustomTiming& timing, int valid);
    int (*mode)(void* context, const NonStandardMode& mode);
};

// Walks the driver key once, in the registry's order, and hands every value whose name scans as a
// timing name to sink.timing, whatever its checksum; data shorter than 68 bytes is read with the
// missing bytes as 0, longer data up to its first 68. 1 when the key was walked whole and every
// timing was kept; 0 when the key could not be opened or counted (nothing handed on), when a
// value could not be enumerated for another reason than a name or data too large for the walk
// buffers, or when the sink kept a timing not.
int WalkStoredTimings(const DriverKey& device, const StoredModeSink& sink);

// The driver key exactly as stored, for a reader that changes nothing: every entry of the mode
// list in order (a partial last group ignored), covered or not, then every timing value as
// WalkStoredTimings hands it on; none of the load's rules are applied. The registry calls are
// those of NonStandardModeList::LoadFromDevice followed by TimingList::LoadFromDevice.
// *modeListPresent is 1 when the key has a mode list value. 1 when all was read and kept; 0 when
// the key could not be opened (nothing more is asked then), a value could not be read whole, or
// the sink kept something not.
int ReadStoredModes(const DriverKey& device, const StoredModeSink& sink, int* modeListPresent);

// What a prune of the timing values keeps, for the callers that decide it. find gives what is
// to be stored under the name the registry takes `name` for, or null when nothing is, with *exact
// 1 when `name` is that value's own name, case included; rewrite writes what find gave under its
// own name into the open key, 1 when it was written.
struct PruneKeep {
    const void* context;
    const void* (*find)(const void* context, const char* name, int* exact);
    int (*rewrite)(const void* context, RegistryKey key, const void* kept);
};

// Walks the open key's `count` values and deletes every timing value that find gives nothing for.
// A value that find gives something for under another case of its name keeps that name when it
// is set: it is deleted and rewritten under its own name, so that the next load reads it. 1 when
// every value was read and every delete and rewrite succeeded; otherwise 0, having done all it
// could. A failed delete is not retried.
int PruneStoredTimings(RegistryKey key, uint32_t count, const PruneKeep& keep);

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
    int LoadFromDevice(const DriverKey& device, NonStandardModeList& modes);

    // 1 when the next load would give every record back as it is: its name scans back to the
    // same mode key (width and height below 10,000) and every timing word survives the stored
    // form. A save refuses a list that would not.
    int ReadsBack() const;

private:
    friend int WriteStoredModes(const DriverKey&, const TimingList&, const NonStandardModeList&);

    TimingNode* head;
    TimingNode* tail;
    TimingNode* cursor;
};

// Replaces the mode list with the driver key's stored value, whatever its length. 1 when the key
// could be opened and the value read (a value that does not exist leaves the list empty); 0 when
// the value may exist but could not be read whole, or an entry could not be stored (the list is
// then incomplete).
int LoadModeList(const DriverKey& device, NonStandardModeList& modes);

// Writes both lists to the driver key in the order that keeps a set whole whenever the writing
// stops: every record's value (in list order, so of records with one mode key the last is
// stored), then the mode list, and only then the prune of the timing values that no record
// names (names compared without regard to case, as the registry compares them). The list is
// written only once every record was, so the stored list always names only stored timings, old
// or new. 1 only when the key was opened and every set, enumeration and delete succeeded;
// otherwise 0. Refused with 0 before anything is
// written when a record or an entry would not read back, or no memory could be had for the
// names. The cursors are not moved. Nothing but the device's edit (device_edit.h) calls it: the
// backup must be whole first.
int WriteStoredModes(const DriverKey& device, const TimingList& timings,
                     const NonStandardModeList& modes);

// Deletes every value of the driver key whose name begins with the timing prefix. 1 when the key
// was walked and every delete it attempted succeeded; 0 when the key could not be walked or a
// delete failed (the walk goes on past a failed delete). A value whose name or data does not fit
// the walk buffers is skipped and is not a failure; an enumeration that fails otherwise is, since
// the value it skipped may be a timing left behind.
int DeleteStoredTimings(const DriverKey& device);
