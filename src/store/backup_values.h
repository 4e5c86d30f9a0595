// What a backup moves between a driver key and its backup key: the timing values (each name and
// data within the walk buffers), the mode list whatever its length, and the path note, held
// whole in memory before anything is written, so that a failed read writes nothing.
#pragma once

#include "store/registry.h"

#include <cstdint>

struct HeldValue {
    char name[RegistryBufferSize];
    uint32_t type;
    uint32_t length;
    uint8_t data[RegistryBufferSize];
    HeldValue* next;
};

class HeldValues {
public:
    HeldValues();
    ~HeldValues();
    HeldValues(const HeldValues&) = delete;
    HeldValues& operator=(const HeldValues&) = delete;

    // Reads the open key's `count` values: every timing value that fits the walk buffers, in
    // enumeration order, and the mode list whole. 1 when all was read (a value that does not fit
    // and a missing mode list are skipped); 0 when a read failed or memory ran out.
    int ReadKey(RegistryKey key, uint32_t count);
    // Reads the note value `name` of the open key whole. 1 when it is there, 0 when it is not,
    // -1 when it could not be read.
    int ReadNote(RegistryKey key, const char* name);
    // Sets every timing value (each is tried), or the mode list when there is one, into the
    // open key. 1 when every set succeeded.
    int WriteTimings(RegistryKey key) const;
    int WriteModeList(RegistryKey key) const;
    // Sorts the timing values by name for Find. 1, or 0 without memory.
    int Index();
    // The held timing value whose name the registry takes `name` for (case aside), or null.
    const HeldValue* Find(const char* name) const;

    uint32_t TimingCount() const { return count; }
    int HasModeList() const { return modeList != nullptr; }
    const uint8_t* Note(uint32_t* length) const {
        *length = noteLength;
        return note;
    }

private:
    int Hold(const char* name, uint32_t type, const uint8_t* data, uint32_t length);

    HeldValue* head;
    HeldValue* tail;
    uint32_t count;
    const HeldValue** sorted;
    uint8_t* modeList; // null when the key has none
    uint32_t modeListLength;
    uint32_t modeListType;
    uint8_t* note; // null when the key has none
    uint32_t noteLength;
};
