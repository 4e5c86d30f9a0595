#include "store/device_store.h"

#include "store/registry.h"
#include "store/registry_names.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

const char TimingValuePrefix[] = "QORDTMCRTBCD";
const char ModeListValueName[] = "QORNonStandardModesBCD";

namespace {

const uint32_t TimingPrefixLength = sizeof TimingValuePrefix - 1;

// The longest value name the registry holds, with its terminating zero.
const uint32_t LongestValueName = 16384;

// Reads one to `maxDigits` decimal digits at *p into *value, advancing *p. 0 when there is no
// digit, more than maxDigits of them, or the number does not fit 32 bits.
int ScanDigits(const char** p, uint32_t maxDigits, uint32_t* value) {
    uint64_t number = 0;
    uint32_t digits = 0;
    while (**p >= '0' && **p <= '9') {
        if (++digits > maxDigits)
            return 0;
        number = number * 10 + static_cast<uint32_t>(**p - '0');
        if (number > UINT32_MAX)
            return 0;
        ++*p;
    }
    if (digits == 0)
        return 0;
    *value = static_cast<uint32_t>(number);
    return 1;
}

int ScanLiteral(const char** p, const char* literal) {
    size_t n = std::strlen(literal);
    if (std::strncmp(*p, literal, n) != 0)
        return 0;
    *p += n;
    return 1;
}

// 1 when the next load would give the record back as it is: its name scans back to the same mode
// key (width and height of at most four digits) and every timing word survives the BCD form.
int TimingReadsBack(const CustomTiming& timing) {
    return timing.width <= 9999 && timing.height <= 9999 && TimingWordsReadBack(timing.block);
}

} // namespace

int DriverKey::SetPath(const char* text) {
    size_t length = text ? std::strlen(text) : DevicePathSize;
    if (length >= DevicePathSize) {
        path[0] = '\0';
        return 0;
    }
    std::memmove(path, text, length + 1); // the text may be the path itself
    return 1;
}

int DriverKey::Open(RegistryKey* key) const {
    *key = nullptr;
    if (path[0] == '\0' || !std::memchr(path, '\0', DevicePathSize))
        return 0;
    if (readOnly)
        return RegistryOpenKeyToRead(RegistryLocalMachine, path, key);
    return RegistryOpenKey(RegistryLocalMachine, path, key);
}

int DriverKey::OpenToWalk(RegistryKey* key, uint32_t* count) const {
    *count = 0;
    if (!Open(key))
        return 0;
    if (!RegistryCountValues(*key, count)) {
        RegistryCloseKey(*key);
        *key = nullptr;
        return 0;
    }
    return 1;
}

// Only a failed first call costs a second one, which asks for the name and the data's length
// alone.
int EnumIntoBuffers(RegistryKey key, uint32_t index, char (&name)[RegistryBufferSize],
                    uint8_t (&data)[RegistryBufferSize], uint32_t* dataLength, uint32_t* type) {
    uint32_t nameLength = RegistryBufferSize;
    *dataLength = RegistryBufferSize;
    uint32_t valueType = 0;
    if (!RegistryEnumValue(key, index, name, &nameLength, &valueType, data, dataLength)) {
        char* longName = new (std::nothrow) char[LongestValueName];
        if (!longName)
            return -1;
        uint32_t longLength = LongestValueName;
        uint32_t size = 0;
        const int tooLarge =
            RegistryEnumValue(key, index, longName, &longLength, nullptr, nullptr, &size) &&
            (longLength >= RegistryBufferSize || size > RegistryBufferSize);
        delete[] longName;
        return tooLarge ? 0 : -1;
    }
    name[nameLength < RegistryBufferSize ? nameLength : RegistryBufferSize - 1] = '\0';
    if (*dataLength > RegistryBufferSize)
        *dataLength = RegistryBufferSize;
    if (type)
        *type = valueType;
    return 1;
}

// The size is asked first, so a value of any length is read; an empty one needs no second call.
int ReadWholeValue(RegistryKey key, const char* name, uint8_t** data, uint32_t* length,
                   uint32_t* type) {
    *data = nullptr;
    *length = 0;
    uint32_t size = 0;
    uint32_t valueType = 0;
    int missing = 0;
    if (!RegistryQueryValue(key, name, &valueType, nullptr, &size, &missing))
        return missing ? 0 : -1;
    uint8_t* bytes = new (std::nothrow) uint8_t[size ? size : 1];
    if (!bytes)
        return -1;
    uint32_t read = size;
    if (size > 0 && (!RegistryQueryValue(key, name, &valueType, bytes, &read) || read > size)) {
        delete[] bytes;
        return -1;
    }
    *data = bytes;
    *length = read;
    if (type)
        *type = valueType;
    return 1;
}

int IsTimingValueName(const char* name) {
    return name && std::strncmp(name, TimingValuePrefix, TimingPrefixLength) == 0;
}

int HasTimingPrefixNoCase(const char* name) {
    return name && StartsWithNoCase(name, TimingValuePrefix, TimingPrefixLength);
}

int FormatTimingValueName(uint32_t width, uint32_t height, uint32_t refresh, char* out,
                          uint32_t size) {
    if (!out || size == 0)
        return 0;
    int written =
        std::snprintf(out, size, "%s%04uX%04uX0X%u", TimingValuePrefix, width, height, refresh);
    if (written < 0 || static_cast<uint32_t>(written) >= size) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}

// The whole name must follow the format: a name with anything missing, extra or out of range
// yields no mode key at all rather than a half-scanned one.
int ScanTimingValueName(const char* name, uint32_t* width, uint32_t* height, uint32_t* refresh) {
    if (!IsTimingValueName(name))
        return 0;
    const char* p = name + TimingPrefixLength;
    uint32_t w = 0, h = 0, r = 0;
    if (!ScanDigits(&p, 4, &w) || !ScanLiteral(&p, "X") || !ScanDigits(&p, 4, &h) ||
        !ScanLiteral(&p, "X0X") || !ScanDigits(&p, 10, &r) || *p != '\0')
        return 0;
    *width = w;
    *height = h;
    *refresh = r;
    return 1;
}

int FormatStoredTiming(const CustomTiming& timing, char (&name)[RegistryBufferSize],
                       uint8_t (&stored)[TimingStoredSize]) {
    if (!FormatTimingValueName(timing.width, timing.height, timing.refresh, name, sizeof name))
        return 0;
    EncodeTimingBlock(timing.block, stored);
    return 1;
}

// Each value is enumerated into the walk buffers once; one that does not fit them is skipped, as
// every walk skips it. The name is scanned whole before the data is decoded.
int WalkStoredTimings(const DriverKey& device, const StoredModeSink& sink) {
    RegistryKey key;
    uint32_t count = 0;
    if (!device.OpenToWalk(&key, &count))
        return 0;
    int result = 1;
    char name[RegistryBufferSize];
    uint8_t data[RegistryBufferSize];
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t dataLength = 0;
        const int read = EnumIntoBuffers(key, i, name, data, &dataLength, nullptr);
        if (read < 0)
            result = 0; // a timing may be missing from what was handed on
        CustomTiming timing;
        if (read <= 0 || !ScanTimingValueName(name, &timing.width, &timing.height, &timing.refresh))
            continue;
        uint8_t stored[TimingStoredSize] = {};
        std::memcpy(stored, data, dataLength < TimingStoredSize ? dataLength : TimingStoredSize);
        DecodeTimingBlock(stored, &timing.block);
        if (!sink.timing(sink.context, timing, TimingChecksumHolds(timing.block)))
            result = 0;
    }
    RegistryCloseKey(key);
    return result;
}

TimingList::TimingList() : head(nullptr), tail(nullptr), cursor(nullptr) {}

TimingList::~TimingList() {
    Clear();
}

void TimingList::Clear() {
    TimingNode* node = head;
    while (node) {
        TimingNode* next = node->next;
        delete node;
        node = next;
    }
    head = tail = cursor = nullptr;
}

int TimingList::Append(const CustomTiming& timing) {
    TimingNode* node = new (std::nothrow) TimingNode;
    if (!node)
        return 0;
    node->timing = timing;
    node->next = nullptr;
    if (tail)
        tail->next = node;
    else
        head = node;
    tail = node;
    return 1;
}

int TimingList::RemoveAt(int32_t index) {
    if (index < 0)
        return 0;
    TimingNode* before = nullptr;
    TimingNode* node = head;
    for (int32_t i = 0; node && i < index; ++i) {
        before = node;
        node = node->next;
    }
    if (!node)
        return 0;
    if (before)
        before->next = node->next;
    else
        head = node->next;
    if (tail == node)
        tail = before;
    if (cursor == node)
        cursor = nullptr; // never left pointing at freed memory
    delete node;
    return 1;
}

CustomTiming* TimingList::TimingAt(int32_t index) {
    if (index < 0)
        return nullptr;
    TimingNode* node = head;
    for (int32_t i = 0; node && i < index; ++i)
        node = node->next;
    if (!node)
        return nullptr;
    cursor = node;
    return &node->timing;
}

CustomTiming* TimingList::FirstTiming() {
    cursor = head;
    return cursor ? &cursor->timing : nullptr;
}

CustomTiming* TimingList::NextTiming() {
    if (!cursor)
        return nullptr;
    cursor = cursor->next;
    return cursor ? &cursor->timing : nullptr;
}

int TimingList::RefreshChecksumAt(int32_t index) {
    CustomTiming* timing = TimingAt(index);
    if (!timing)
        return 0;
    timing->block.words[TimingChecksumWord] = ComputeTimingChecksum(timing->block.words);
    return 1;
}

namespace {

// The load's rule for one stored timing: a valid one is kept, one whose checksum fails takes its
// own non-standard entry with it.
struct LoadTarget {
    TimingList* timings;
    NonStandardModeList* modes;
};

int LoadTiming(void* context, const CustomTiming& timing, int valid) {
    LoadTarget* target = static_cast<LoadTarget*>(context);
    if (valid)
        return target->timings->Append(timing);
    target->modes->RemoveMode(static_cast<uint16_t>(timing.width),
                              static_cast<uint16_t>(timing.height),
                              static_cast<uint16_t>(timing.refresh));
    return 1;
}

// Reads the mode list value whole through an open of its own, as the list's load does. 0 when
// the key could not be opened; otherwise 1, with *read as ReadWholeValue gives it (the data, when
// 1, in a new[] buffer for the caller to free).
int ReadModeListValue(const DriverKey& device, uint8_t** data, uint32_t* length, int* read) {
    *data = nullptr;
    *length = 0;
    RegistryKey key;
    if (!device.Open(&key))
        return 0;
    *read = ReadWholeValue(key, ModeListValueName, data, length, nullptr);
    RegistryCloseKey(key);
    return 1;
}

} // namespace

// A valid timing that could not be kept for want of memory makes the result 0, since a save would
// then delete it from the key.
int TimingList::LoadFromDevice(const DriverKey& device, NonStandardModeList& modes) {
    Clear();
    LoadTarget target{this, &modes};
    return WalkStoredTimings(device, StoredModeSink{&target, LoadTiming, nullptr});
}

// The two reads of the loads, without their rules: the mode list's groups are handed on as
// stored rather than added, and every timing whatever its checksum.
int ReadStoredModes(const DriverKey& device, const StoredModeSink& sink, int* modeListPresent) {
    *modeListPresent = 0;
    uint8_t* list = nullptr;
    uint32_t length = 0;
    int read = 0;
    if (!ReadModeListValue(device, &list, &length, &read))
        return 0;
    int result = read >= 0;
    *modeListPresent = read > 0;
    for (uint32_t at = 0; read > 0 && length - at >= ModeStoredSize; at += ModeStoredSize)
        if (!sink.mode(sink.context, DecodeModeEntry(list + at)))
            result = 0;
    delete[] list;
    return WalkStoredTimings(device, sink) && result;
}

namespace {

// A record's mode key and its place in the list, sorted so that the prune finds a name in
// logarithmic time. Of records with one mode key the last in list order is the one stored.
struct WrittenMode {
    uint32_t width;
    uint32_t height;
    uint32_t refresh;
    uint32_t order;
    const CustomTiming* timing;
};

bool ModeBefore(const WrittenMode& a, const WrittenMode& b) {
    if (a.width != b.width)
        return a.width < b.width;
    if (a.height != b.height)
        return a.height < b.height;
    if (a.refresh != b.refresh)
        return a.refresh < b.refresh;
    return a.order < b.order;
}

// 1 when a name that scans as a timing name is also the one FormatTimingValueName gives for its
// numbers: width and height of four digits, a refresh without leading zeros.
int IsFormattedName(const char* name) {
    const char* p = name + TimingPrefixLength;
    if (std::strspn(p, "0123456789") != 4)
        return 0;
    p += 5; // the width and "X"
    if (std::strspn(p, "0123456789") != 4)
        return 0;
    p += 7; // the height and "X0X"
    return p[0] != '0' || p[1] == '\0';
}

// The record stored under the name that the registry takes `name` for, or null when no record
// is written under it. Names are compared as the registry compares them, without regard to case,
// so a stored name that differs from a written one only in case is the same value. *exact is 1
// when `name` is the record's own name, case included.
const CustomTiming* WrittenUnder(const char* name, const WrittenMode* written, uint32_t count,
                                 int* exact) {
    *exact = 0;
    if (count == 0)
        return nullptr;
    char upper[RegistryBufferSize];
    uint32_t i = 0;
    for (; name[i] && i + 1 < sizeof upper; ++i)
        upper[i] = UpperAscii(name[i]);
    upper[i] = '\0';
    WrittenMode key = {0, 0, 0, UINT32_MAX, nullptr};
    if (!ScanTimingValueName(upper, &key.width, &key.height, &key.refresh) ||
        !IsFormattedName(upper))
        return nullptr;
    const WrittenMode* after = std::upper_bound(written, written + count, key, ModeBefore);
    if (after == written) // the last entry at or before the key, the list's last record of it
        return nullptr;
    const WrittenMode& last = after[-1];
    if (last.width != key.width || last.height != key.height || last.refresh != key.refresh)
        return nullptr;
    *exact = std::strcmp(name, upper) == 0;
    return last.timing;
}

// Sets the value of one record under its name. 1 when it was written.
int WriteTiming(RegistryKey key, const CustomTiming& timing) {
    char name[RegistryBufferSize];
    uint8_t stored[TimingStoredSize];
    if (!FormatStoredTiming(timing, name, stored))
        return 0;
    return RegistrySetValue(key, name, RegistryTypeBinary, stored, TimingStoredSize);
}

// The records a save has written, sorted, as the prune's keep: a timing value is kept when a
// record is written under its name.
struct WrittenList {
    const WrittenMode* items;
    uint32_t count;
};

const void* FindWritten(const void* context, const char* name, int* exact) {
    const WrittenList* list = static_cast<const WrittenList*>(context);
    return WrittenUnder(name, list->items, list->count, exact);
}

int RewriteWritten(const void*, RegistryKey key, const void* kept) {
    return WriteTiming(key, *static_cast<const CustomTiming*>(kept));
}

} // namespace

// A failed delete is not retried: its value keeps its index, so the walk simply moves on.
int PruneStoredTimings(RegistryKey key, uint32_t count, const PruneKeep& keep) {
    int result = 1;
    char name[RegistryBufferSize];
    uint8_t data[RegistryBufferSize];
    uint32_t i = 0;
    while (i < count) {
        uint32_t dataLength = 0;
        const int read = EnumIntoBuffers(key, i, name, data, &dataLength, nullptr);
        if (read < 0)
            result = 0; // a timing value may be left behind, to come back at the next load
        if (read <= 0) {
            ++i;
            continue;
        }
        int exact = 0;
        const void* timing = keep.find(keep.context, name, &exact);
        if (timing && exact) {
            ++i; // stored under its own name
            continue;
        }
        if (!timing && !IsTimingValueName(name)) {
            ++i; // not ours
            continue;
        }
        if (!RegistryDeleteValue(key, name)) {
            result = 0;
            ++i;
            continue;
        }
        // The next value has moved down into index i; a rewritten one goes to the end, where
        // the walk meets it under its own name.
        if (timing && !keep.rewrite(keep.context, key, timing)) {
            result = 0;
            --count;
        } else if (!timing) {
            --count;
        }
    }
    return result;
}

int DeleteStoredTimings(const DriverKey& device) {
    RegistryKey key;
    uint32_t count = 0;
    if (!device.OpenToWalk(&key, &count))
        return 0;
    const WrittenList none{nullptr, 0};
    const int result =
        PruneStoredTimings(key, count, PruneKeep{&none, FindWritten, RewriteWritten});
    RegistryCloseKey(key);
    return result;
}

int TimingList::ReadsBack() const {
    for (const TimingNode* node = head; node; node = node->next)
        if (!TimingReadsBack(node->timing))
            return 0;
    return 1;
}

// Every record is written, then the list, before anything is deleted: a set replaces the value of
// its name, so a record's old value is never deleted, and a timing that the list names is never
// pruned while a list that names it is stored. The list is written only when every record was,
// and the prune only after the list: whenever the writing stops or fails, the stored list names
// only values that are there, in their old or new form. Every record's set is attempted whatever
// fails before it, so that a second save has less to do.
// A record that would be written as another timing (which the next load drops for its checksum,
// taking its mode with it) stops the save before anything is written: writing it would lose the
// stored value it came from and still report success.
int WriteStoredModes(const DriverKey& device, const TimingList& timings,
                     const NonStandardModeList& modes) {
    if (!timings.ReadsBack() || !modes.ReadsBack())
        return 0;
    uint32_t records = 0;
    for (const TimingNode* node = timings.head; node; node = node->next)
        if (++records == UINT32_MAX)
            return 0;
    WrittenMode* written = new (std::nothrow) WrittenMode[records ? records : 1];
    uint32_t listLength = 0;
    uint8_t* list = written ? modes.EncodeModeList(&listLength) : nullptr;
    RegistryKey key;
    if (!list || !device.Open(&key)) {
        delete[] written;
        delete[] list;
        return 0;
    }
    uint32_t at = 0;
    for (const TimingNode* node = timings.head; node; node = node->next, ++at)
        written[at] = WrittenMode{node->timing.width, node->timing.height, node->timing.refresh, at,
                                  &node->timing};
    std::sort(written, written + records, ModeBefore);

    int result = 1;
    for (const TimingNode* node = timings.head; node; node = node->next)
        if (!WriteTiming(key, node->timing))
            result = 0;
    const int listed =
        result && RegistrySetValue(key, ModeListValueName, RegistryTypeBinary, list, listLength);
    uint32_t count = 0;
    const WrittenList keep{written, records};
    if (!listed || !RegistryCountValues(key, &count) ||
        !PruneStoredTimings(key, count, PruneKeep{&keep, FindWritten, RewriteWritten}))
        result = 0;
    RegistryCloseKey(key);
    delete[] written;
    delete[] list;
    return result;
}

// A value that is missing leaves the list empty; one that exists but cannot be read whole, or
// whose entries cannot all be stored, makes the result 0: an Apply would otherwise write a list
// without the entries that no timing covers.
int LoadModeList(const DriverKey& device, NonStandardModeList& modes) {
    modes.Clear();
    uint8_t* data = nullptr;
    uint32_t length = 0;
    int read = 0;
    if (!ReadModeListValue(device, &data, &length, &read))
        return 0;
    int result = read >= 0;
    if (read > 0 && length > 0 && !modes.DecodeModeList(data, length))
        result = 0;
    delete[] data;
    return result;
}
