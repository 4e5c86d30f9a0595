// The commands that move whole sets of modes: export, import and restore.
#include "ctl/ctl_transfer.h"

#include "ctl/ctl_device.h"
#include "ctl/ctl_monitor.h"

#include "formats/reg_file.h"
#include "store/backup.h"
#include "store/registry.h"
#include "store/registry_names.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// --- export ---

int WriteWholeFile(const char* path, const uint8_t* data, size_t length) {
    FILE* file = std::fopen(path, "wb");
    if (!file)
        return 0;
    const int written = std::fwrite(data, 1, length, file) == length;
    const int closed = std::fclose(file) == 0;
    if (written && closed)
        return 1;
    std::remove(path); // a partial file would pass for a whole one
    return 0;
}

// --- import ---

struct ImportedTiming {
    CustomTiming timing;
    uint32_t line;
    int kept; // the last of the file's timings with its mode key
};

struct ImportedKey {
    CtlModeKey key;
    uint32_t index;
};

bool ImportedKeyBefore(const ImportedKey& a, const ImportedKey& b) {
    if (CtlModeKeyBefore(a.key, b.key))
        return true;
    if (CtlModeKeyBefore(b.key, a.key))
        return false;
    return a.index < b.index;
}

// What a .reg file holds for the device, checked whole before anything is written.
class ImportFile {
public:
    ImportFile() : haveModeList(0) {}

    // Reads the file. CtlDone, or CtlRefused after saying which line and why (CtlSystem when
    // memory ran out).
    int Read(CtlRun& run, const char* path);
    // Marks the last timing of each mode key as kept. 0 without memory.
    int Index();

    CtlArray<ImportedTiming> timings;
    CtlArray<NonStandardMode> modes;
    int haveModeList;

private:
    int TakeValue(CtlRun& run, const char* path, const RegItem& item);

    CtlArray<ImportedKey> keys;
};

int Refuse(CtlRun& run, const char* path, uint32_t line, const char* why, const char* name) {
    char text[160];
    std::snprintf(text, sizeof text, "line %u: %s", static_cast<unsigned>(line), why);
    return run.Fail(CtlRefused, path, text, name);
}

int ImportFile::TakeValue(CtlRun& run, const char* path, const RegItem& item) {
    const char* name = item.name;
    if (HasTimingPrefixNoCase(name)) {
        ImportedTiming imported{};
        CustomTiming& t = imported.timing;
        if (!ScanTimingValueName(name, &t.width, &t.height, &t.refresh))
            return Refuse(run, path, item.line, "a timing value name that does not scan: ", name);
        if (item.type != RegTypeBinary || item.length != TimingStoredSize)
            return Refuse(run, path, item.line,
                          "a timing value that is not REG_BINARY of 68 bytes: ", name);
        DecodeTimingBlock(item.data, &t.block);
        if (!TimingChecksumHolds(t.block))
            return Refuse(run, path, item.line, "the checksum fails: ", name);
        if (!TimingWordsReadBack(t.block))
            return Refuse(run, path, item.line,
                          "a timing word past what the driver key gives back: ", name);
        imported.line = item.line;
        return timings.Push(imported) ? CtlDone
                                      : run.Fail(CtlSystem, path, "not enough memory to read it");
    }
    if (!EqualNoCase(name, ModeListValueName))
        return CtlDone; // not ours
    if (item.type != RegTypeBinary || item.length % ModeStoredSize != 0)
        return Refuse(run, path, item.line,
                      "a mode list that is not REG_BINARY of a multiple of 8 bytes: ", name);
    for (uint32_t at = 0; at < item.length; at += ModeStoredSize) {
        const NonStandardMode mode = DecodeModeEntry(item.data + at);
        if (!ModeReadsBack(mode))
            return Refuse(run, path, item.line,
                          "a mode list entry past what the driver key gives back: ", name);
        if (!modes.Push(mode))
            return run.Fail(CtlSystem, path, "not enough memory to read it");
    }
    haveModeList = 1;
    return CtlDone;
}

int ImportFile::Read(CtlRun& run, const char* path) {
    FILE* file = std::fopen(path, "rb");
    if (!file)
        return run.Fail(CtlRefused, path, "cannot be opened");
    RegReader reader;
    if (!reader.Open(RegSource{RegReadFile, file})) {
        std::fclose(file);
        return run.Fail(CtlSystem, path, "not enough memory to read it");
    }
    int result = CtlDone;
    RegItem item;
    while (result == CtlDone && reader.Next(&item)) {
        if (item.kind == RegValueItem) {
            result = TakeValue(run, path, item);
        } else if (item.kind == RegDeleteValueItem && (HasTimingPrefixNoCase(item.name) ||
                                                       EqualNoCase(item.name, ModeListValueName))) {
            result =
                Refuse(run, path, item.line, "a deletion, which import does not make: ", item.name);
        }
    }
    if (result == CtlDone && reader.Failed())
        result = Refuse(run, path, reader.ErrorLine(), reader.Error(), nullptr);
    std::fclose(file);
    if (result == CtlDone && timings.count == 0 && !haveModeList)
        result = run.Fail(CtlRefused, path, "holds no timing value and no mode list");
    return result;
}

int ImportFile::Index() {
    keys.Clear();
    for (uint32_t i = 0; i < timings.count; ++i) {
        const CustomTiming& t = timings.items[i].timing;
        if (!keys.Push(ImportedKey{{t.width, t.height, t.refresh}, i}))
            return 0;
    }
    std::sort(keys.items, keys.items + keys.count, ImportedKeyBefore);
    for (uint32_t i = 0; i < keys.count; ++i) {
        const int last =
            i + 1 == keys.count || CtlModeKeyBefore(keys.items[i].key, keys.items[i + 1].key);
        timings.items[keys.items[i].index].kept = last;
    }
    return 1;
}

// Puts the file's timings and modes into the device's edit: merged by mode key, or in place of
// what it held. 0 without memory.
int Merge(const ImportFile& file, DeviceEdit& edit, int replace) {
    if (replace)
        edit.Clear();
    for (uint32_t i = 0; i < file.timings.count; ++i) {
        const ImportedTiming& imported = file.timings.items[i];
        if (imported.kept && !edit.Put(imported.timing))
            return 0;
    }
    for (uint32_t i = 0; i < file.modes.count; ++i)
        if (!edit.modes.AddMode(file.modes.items[i]))
            return 0;
    return 1;
}

// Holds every timing the file would write to the monitor's limits, in file order. CtlDone, or
// the exit code of the first refusal (or of a monitor that could not be read).
int GateImport(CtlRun& run, const char* path, const ImportFile& file, CtlMonitor* monitor) {
    const int read = ReadMonitor(run, monitor);
    for (uint32_t i = 0; read == CtlDone && i < file.timings.count; ++i) {
        const ImportedTiming& imported = file.timings.items[i];
        const int refused =
            imported.kept ? MonitorRefuses(run, *monitor, imported.timing, path, imported.line)
                          : CtlDone;
        if (refused != CtlDone)
            return refused;
    }
    return read;
}

// After the write: no limits known, or what --force overrode, timing by timing.
void NoteImport(CtlRun& run, const ImportFile& file, const CtlMonitor& monitor) {
    NoteNoLimits(run, monitor);
    for (uint32_t i = 0; i < file.timings.count; ++i)
        if (file.timings.items[i].kept)
            NoteForced(run, monitor, file.timings.items[i].timing, "imported");
}

} // namespace

int CommandExport(CtlRun& run) {
    const char* path = run.options.argument;
    const int selected = SelectDevice(run);
    if (selected != CtlDone)
        return selected;
    if (!run.edit.Load())
        return FailRead(run);

    TimingList& timings = run.edit.timings;
    NonStandardModeList& modes = run.edit.modes;
    char keyPath[OriginalPathSize];
    RegWriter writer;
    int formed =
        FormatOriginalPath(run.edit.Key(), keyPath) && writer.Begin() && writer.Key(keyPath);
    uint32_t timingCount = 0;
    for (CustomTiming* t = timings.FirstTiming(); t && formed; t = timings.NextTiming()) {
        char name[RegistryBufferSize];
        uint8_t stored[TimingStoredSize];
        formed =
            FormatStoredTiming(*t, name, stored) && writer.Binary(name, stored, TimingStoredSize);
        ++timingCount;
    }
    uint32_t listLength = 0;
    uint8_t* list = formed ? modes.EncodeModeList(&listLength) : nullptr;
    formed = list && writer.Binary(ModeListValueName, list, listLength) && writer.End();
    delete[] list;
    if (!formed)
        return run.Fail(CtlSystem, path, "not enough memory to form the file");
    if (!WriteWholeFile(path, writer.Data(), writer.Length()))
        return run.Fail(CtlSystem, path, "could not be written");
    run.out.Format("exported %u timings and %u non-standard modes of ",
                   static_cast<unsigned>(timingCount), static_cast<unsigned>(modes.Count()));
    run.out.Printable(run.deviceName);
    run.out.Text(" to ");
    run.out.Printable(path);
    run.out.EndLine();
    return CtlDone;
}

int CommandImport(CtlRun& run) {
    const char* path = run.options.argument;
    ImportFile file;
    const int read = file.Read(run, path);
    if (read != CtlDone)
        return read;
    if (!file.Index())
        return run.Fail(CtlSystem, path, "not enough memory to read it");
    const int prepared = SelectAndPrepareWrite(run);
    if (prepared != CtlDone)
        return prepared;
    CtlMonitor monitor;
    const int gated = GateImport(run, path, file, &monitor);
    if (gated != CtlDone)
        return gated;
    if (!Merge(file, run.edit, run.options.replace))
        return run.Fail(CtlSystem, run.deviceName, "not enough memory; nothing was written");
    const int finished = FinishWrite(run);
    if (finished != CtlDone)
        return finished;
    NoteImport(run, file, monitor);
    uint32_t kept = 0;
    for (uint32_t i = 0; i < file.timings.count; ++i)
        kept += file.timings.items[i].kept ? 1 : 0;
    run.out.Format("imported %u timings and %u non-standard modes into ",
                   static_cast<unsigned>(kept), static_cast<unsigned>(file.modes.count));
    run.out.Printable(run.deviceName);
    run.out.Text(run.options.replace ? ", in place of what it held\n" : "\n");
    return CtlDone;
}

// Says why the backup cannot be restored, from what its read gave. The exit code.
int FailBackupRead(CtlRun& run, int read) {
    switch (read) {
    case BackupReadMissing:
        return run.Fail(CtlSystem, run.deviceName, "has no backup to restore");
    case BackupReadUnopenable:
        return run.Fail(CtlSystem, run.deviceName, "its backup cannot be opened");
    case BackupReadIncomplete:
        // A copy that ended part-way: restoring it would delete every mode it lacks.
        return run.Fail(CtlSystem, "restore", "the backup of ", run.deviceName,
                        " is incomplete; nothing was written");
    default:
        return run.Fail(CtlSystem, run.deviceName,
                        "its backup could not be read whole; nothing was written");
    }
}

// Refuses a backup taken from another driver key, naming it. The exit code.
int FailOtherKey(CtlRun& run, const StoredBackup& backup) {
    uint32_t length = 0;
    const uint8_t* original = backup.Original(&length);
    // The note is text of the backup's own, not necessarily terminated.
    char* note = new (std::nothrow) char[length + 1];
    if (note) {
        std::memcpy(note, original, length);
        note[length] = '\0';
    }
    const int code =
        run.Fail(CtlSystem, run.deviceName, "its backup was taken from ",
                 note ? note : "another driver key", "; give --force to restore it here anyway");
    delete[] note;
    return code;
}

int CommandRestore(CtlRun& run) {
    const int selected = SelectDevice(run);
    if (selected != CtlDone)
        return selected;
    StoredBackup backup;
    const int read = backup.Read(run.deviceName);
    if (read != BackupReadWhole)
        return FailBackupRead(run, read);
    if (!run.options.force && !backup.FromDevice(run.edit.Key()))
        return FailOtherKey(run, backup);
    const int prepared = PrepareWrite(run);
    if (prepared != CtlDone)
        return prepared;
    if (!backup.Restore(run.edit.Key()))
        return run.Fail(CtlSystem, run.deviceName,
                        "the driver key could not be written whole; run the command again");
    run.out.Format("restored %u timing values ", static_cast<unsigned>(backup.TimingCount()));
    run.out.Text(backup.HasModeList() ? "and the mode list of " : "and no mode list of ");
    run.out.Printable(run.deviceName);
    run.out.Text(" from its backup\n");
    return CtlDone;
}
