// A device's edit: the custom timings and the non-standard mode list of one display device, read
// from its driver key, changed in memory, and written back through Save alone. Save takes the
// one-time backup before anything else, so no edit reaches the driver key while the original
// values are not kept whole, and it writes in the order that leaves one set whole and listed
// wherever the writing stops:
//
//   backup whole  ->  every timing  ->  the mode list  ->  prune the timings the list no longer
//   holds
//
// The window and every command of the console that writes hold one edit each.
#pragma once

#include "store/backup.h"
#include "store/device_store.h"
#include "store/mode_list.h"
#include "store/timing.h"

#include <cstdint>

// Why a save wrote nothing, or not all.
enum EditFailure {
    EditNotLoaded,   // the last load did not read the whole key: a save would lose what it missed
    EditNotStorable, // a record or an entry would not read back as it is
    EditNoBackup,    // the backup could not be made whole; nothing was written
    EditNotWritten,  // the driver key could not be written whole
};

// What Remove took away.
const int EditRemovedTiming = 1;
const int EditRemovedEntry = 2;

class DeviceEdit {
public:
    DeviceEdit();
    DeviceEdit(const DeviceEdit&) = delete;
    DeviceEdit& operator=(const DeviceEdit&) = delete;

    // Names the device: its short name (that of its backup key) and its driver key's path, opened
    // for reading only when readOnly is 1. Empties the lists; nothing is read. 0 when the name or
    // the path is missing or does not fit (260 characters or more): the edit then names no key,
    // and Load and Save return 0 without touching the registry.
    int Open(const char* deviceName, const char* path, int readOnly);

    // Takes the device's one-time backup when it is not whole yet (EnsureWholeBackup). 1 when it
    // is whole afterwards, or when nothing can be kept for want of the company key.
    int TakeBackup();

    // Reads the mode list, then the timings, whose load drops a timing that fails its checksum
    // together with the entry of its mode. 1 when the whole key was read, as LoadedWhole tells
    // later; 0 otherwise (the lists then hold what was read).
    int Load();
    int LoadedWhole() const { return loadedWhole; }

    // The first record of the mode key, or null. The timing cursor moves.
    CustomTiming* Find(uint32_t width, uint32_t height, uint32_t refresh);

    // Appends a copy of the record, and the entry of its mode unless one covers it. 1; 0 without
    // memory, with both lists as they were.
    int Add(const CustomTiming& timing);

    // Puts the record in place of the first one of its mode key, or adds it when there is none;
    // either way the entry of its mode is added unless one covers it. 1; 0 without memory, with
    // both lists as they were.
    int Put(const CustomTiming& timing);

    // Removes the record at the 0-based index and the entry of its mode. 1 when a record went.
    int RemoveAt(int32_t index);

    // Removes the first record of the mode key and the entry of its mode. Which of them went, as
    // EditRemovedTiming and EditRemovedEntry bits; 0 when neither was there.
    int Remove(uint32_t width, uint32_t height, uint32_t refresh);

    // Empties both lists, for a write that replaces the whole set.
    void Clear();

    // Writes the lists to the driver key: the backup made whole first (taken, or taken again over
    // an incomplete one), then every timing, the mode list, and the prune. 1 when all was
    // written. 0 with *why (when given) an EditFailure: after EditNotLoaded, EditNotStorable and
    // EditNoBackup nothing was written; after EditNotWritten each stored mode is in its old or its
    // new form. The lists stay as they are.
    int Save(int* why = nullptr);

    const DriverKey& Key() const { return key; }
    const char* Name() const { return name; }

    TimingList timings;
    NonStandardModeList modes;

private:
    DriverKey key;
    char name[BackupKeyPathSize];
    int loadedWhole;
};
