#include "store/device_edit.h"

#include <cstring>

namespace {

NonStandardMode EntryOf(const CustomTiming& timing) {
    return NonStandardMode{static_cast<uint16_t>(timing.width),
                           static_cast<uint16_t>(timing.height), 0,
                           static_cast<uint16_t>(timing.refresh)};
}

int Failed(int* why, int failure) {
    if (why)
        *why = failure;
    return 0;
}

} // namespace

DeviceEdit::DeviceEdit() : name(), loadedWhole(0) {}

int DeviceEdit::Open(const char* deviceName, const char* path, int readOnly) {
    timings.Clear();
    modes.Clear();
    loadedWhole = 0;
    key.readOnly = readOnly;
    name[0] = '\0';
    if (!deviceName || std::strlen(deviceName) >= sizeof name || !key.SetPath(path)) {
        key.SetPath("");
        return 0;
    }
    std::memcpy(name, deviceName, std::strlen(deviceName) + 1);
    return 1;
}

int DeviceEdit::TakeBackup() {
    return EnsureWholeBackup(key, name);
}

// The timing load drops the entry of each timing that fails its checksum, so the mode list has
// to be there first.
int DeviceEdit::Load() {
    const int modesRead = LoadModeList(key, modes);
    loadedWhole = timings.LoadFromDevice(key, modes) && modesRead;
    return loadedWhole;
}

CustomTiming* DeviceEdit::Find(uint32_t width, uint32_t height, uint32_t refresh) {
    for (CustomTiming* t = timings.FirstTiming(); t; t = timings.NextTiming())
        if (t->width == width && t->height == height && t->refresh == refresh)
            return t;
    return nullptr;
}

// The record is appended first: the last record is the one step that can be undone exactly (an
// entry cannot, since one of refresh 0 is never removed).
int DeviceEdit::Add(const CustomTiming& timing) {
    if (!timings.Append(timing))
        return 0;
    if (modes.AddMode(EntryOf(timing)))
        return 1;
    int32_t last = -1;
    for (CustomTiming* t = timings.FirstTiming(); t; t = timings.NextTiming())
        ++last;
    timings.RemoveAt(last);
    return 0;
}

int DeviceEdit::Put(const CustomTiming& timing) {
    CustomTiming* existing = Find(timing.width, timing.height, timing.refresh);
    if (!existing)
        return Add(timing);
    if (!modes.AddMode(EntryOf(timing)))
        return 0;
    *existing = timing;
    return 1;
}

int DeviceEdit::RemoveAt(int32_t index) {
    const CustomTiming* timing = timings.TimingAt(index);
    if (!timing)
        return 0;
    const NonStandardMode entry = EntryOf(*timing);
    modes.RemoveMode(entry.width, entry.height, entry.refresh);
    return timings.RemoveAt(index);
}

int DeviceEdit::Remove(uint32_t width, uint32_t height, uint32_t refresh) {
    int32_t index = 0;
    int found = 0;
    for (CustomTiming* t = timings.FirstTiming(); t && !found; t = timings.NextTiming(), ++index)
        found = t->width == width && t->height == height && t->refresh == refresh;
    const int removed = found && timings.RemoveAt(index - 1) ? EditRemovedTiming : 0;
    return removed | (modes.RemoveMode(static_cast<uint16_t>(width), static_cast<uint16_t>(height),
                                       static_cast<uint16_t>(refresh))
                          ? EditRemovedEntry
                          : 0);
}

void DeviceEdit::Clear() {
    timings.Clear();
    modes.Clear();
}

// The backup is asked again at every save: one that could not be made whole at the load, or
// that was lost since, is taken before the first write, and never after it.
int DeviceEdit::Save(int* why) {
    if (!loadedWhole)
        return Failed(why, EditNotLoaded);
    if (!timings.ReadsBack() || !modes.ReadsBack())
        return Failed(why, EditNotStorable);
    if (!TakeBackup())
        return Failed(why, EditNoBackup);
    if (!WriteStoredModes(key, timings, modes))
        return Failed(why, EditNotWritten);
    return 1;
}
