// The chosen device, the read-only view of its driver key, and the steps around every write.
#include "ctl/ctl_device.h"

#include "store/backup.h"
#include "store/registry.h"
#include "store/registry_names.h"

#include <algorithm>

namespace {

// A device index: decimal digits only, below the device count.
int ParseIndex(const char* text, uint32_t count, uint32_t* index) {
    uint64_t value = 0;
    if (!*text)
        return 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9')
            return 0;
        value = value * 10 + static_cast<uint64_t>(*p - '0');
        if (value >= count)
            return 0;
    }
    *index = static_cast<uint32_t>(value);
    return 1;
}

int TakeTiming(void* context, const CustomTiming& timing, int valid) {
    return static_cast<CtlSnapshot*>(context)->timings.Push(CtlStoredTiming{timing, valid});
}

int TakeMode(void* context, const NonStandardMode& mode) {
    return static_cast<CtlSnapshot*>(context)->modes.Push(mode);
}

const char NoWholeRead[] = "the driver key could not be read whole; nothing was written";

} // namespace

int SelectDevice(CtlRun& run) {
    const uint32_t count = EnumerateDisplayDevices(&run.devices);
    if (count == 0)
        return run.Fail(CtlSystem, "devices", "no display device answers as an Orvane device");
    uint32_t chosen = 0;
    const char* wanted = run.options.device;
    if (wanted) {
        uint32_t index = 0;
        int found = 0;
        for (; index < count && !found; ++index)
            found = EqualNoCase(run.devices.NameAt(index), wanted);
        if (found)
            chosen = index - 1;
        else if (!ParseIndex(wanted, count, &chosen))
            return run.Fail(CtlSystem, wanted, "no such Orvane device (see velmoractl devices)");
    }
    run.deviceName = run.devices.NameAt(chosen);
    run.systemName = run.devices.SystemNameAt(chosen);
    if (!run.edit.Open(run.deviceName, run.devices.PathAt(chosen), run.readOnly))
        return run.Fail(CtlSystem, run.deviceName, "its driver key path is too long");
    return CtlDone;
}

// The reason is asked of the registry once more, opened as the run opens it: a key that is
// missing, or one that cannot be opened (for writing, a writer's want of rights; for reading,
// the driver's key is closed even to reading), or a read that failed afterwards.
int FailRead(CtlRun& run) {
    const char* path = run.edit.Key().path;
    RegistryKey key;
    int missing = 0;
    const int opened = run.readOnly
                           ? RegistryOpenKeyToRead(RegistryLocalMachine, path, &key, &missing)
                           : RegistryOpenKey(RegistryLocalMachine, path, &key, &missing);
    if (opened) {
        RegistryCloseKey(key);
        return run.Fail(CtlSystem, run.deviceName, "the driver key could not be read whole");
    }
    if (missing)
        return run.Fail(CtlSystem, run.deviceName, "the driver key does not exist: ", path);
    return run.Fail(CtlSystem, run.deviceName,
                    run.readOnly
                        ? "the driver key cannot be opened for reading"
                        : "the driver key cannot be opened: administrator rights are needed");
}

int SelectAndPrepareWrite(CtlRun& run) {
    const int selected = SelectDevice(run);
    return selected != CtlDone ? selected : PrepareWrite(run);
}

int PrepareWrite(CtlRun& run) {
    const DriverKey& device = run.edit.Key();
    if (!ProbeWriteAccess(device)) {
        RegistryKey key;
        int missing = 0;
        if (RegistryOpenKey(RegistryLocalMachine, device.path, &key, &missing))
            RegistryCloseKey(key);
        if (missing)
            return run.Fail(CtlSystem, run.deviceName,
                            "the driver key does not exist: ", device.path);
        return run.Fail(CtlSystem, run.deviceName,
                        "the driver key cannot be written: administrator rights are needed");
    }
    if (!run.edit.Load())
        return run.Fail(CtlSystem, run.deviceName, NoWholeRead);
    return CtlDone;
}

// A backup that is not whole and cannot be taken (again) stops the write: the original values
// would be gone once it is written. Without the company key nothing can be kept, as in the window.
int FinishWrite(CtlRun& run) {
    int why = EditNotWritten;
    if (run.edit.Save(&why))
        return CtlDone;
    switch (why) {
    case EditNoBackup:
        return run.Fail(CtlSystem, run.deviceName,
                        "the one-time backup could not be taken; nothing was written");
    case EditNotStorable:
        return run.Fail(CtlSystem, run.deviceName,
                        "a mode would not read back as it is; nothing was written");
    case EditNotLoaded:
        return run.Fail(CtlSystem, run.deviceName, NoWholeRead);
    default:
        return run.Fail(CtlSystem, run.deviceName,
                        "the driver key could not be written whole (every mode it held is kept, "
                        "in its old or new form); run the command again");
    }
}

// The store's read of the key as stored, into the snapshot's arrays.
int CtlSnapshot::Read(const DriverKey& device) {
    timings.Clear();
    modes.Clear();
    return ReadStoredModes(device, StoredModeSink{this, TakeTiming, TakeMode}, &modeListPresent);
}

int CtlSnapshot::IndexTimings() {
    timingKeys.Clear();
    for (uint32_t i = 0; i < timings.count; ++i) {
        const CustomTiming& t = timings.items[i].timing;
        if (!timingKeys.Push(CtlModeKey{t.width, t.height, t.refresh}))
            return 0;
    }
    std::sort(timingKeys.items, timingKeys.items + timingKeys.count, CtlModeKeyBefore);
    return 1;
}

int CtlSnapshot::Answered(const NonStandardMode& mode) const {
    const CtlModeKey key{mode.width, mode.height, mode.refresh};
    const CtlModeKey* begin = timingKeys.items;
    const CtlModeKey* end = begin + timingKeys.count;
    const CtlModeKey* at = std::lower_bound(begin, end, key, CtlModeKeyBefore);
    if (at == end || at->width != key.width || at->height != key.height)
        return 0;
    return mode.refresh == 0 || at->refresh == key.refresh;
}
