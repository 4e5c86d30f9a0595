// Failure injection through the in-memory registry, call by call: for every operation that
// touches the registry, the first registry call fails, then the second, and so on until the
// operation runs without meeting the failure; then the same with every call from n on failing.
// Each time: the result is 0 or 1 and no key stays open; a 1 means the work was done (the state
// equals that of a clean run) except where a skipped value is the documented outcome; what the
// operation needed and could not have gives 0; values that are not ours are untouched; and the
// next load still finds every valid timing that the operation did not mean to remove. Apply and
// the backup are held to more: after any failure every mode stored before Apply is still stored,
// in its old or its new form, and a backup key is either whole and byte-exact or absent.
#include "app/preference.h"
#include "doubles/fake_display_services.h"
#include "doubles/fake_registry.h"
#include "doubles/fake_window_ops.h"
#include "editor/editor.h"
#include "ui/resource.h"
#include "store/backup.h"
#include "store/device_edit.h"
#include "store/device_store.h"
#include "support/builders.h"
#include "support/failure_sweep.h"
#include "support/registry_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

using MemoryRegistry::Operation;

const RegistryRoot Machine = RegistryLocalMachine;
const RegistryRoot User = RegistryCurrentUser;
const char DriverPath[] = "System\\CurrentControlSet\\Services\\orvdisp\\Device0";
const char ProgramKey[] = "Software\\Orvane Technologies\\Velmora";
const char BackupKey[] = "Software\\Orvane Technologies\\Velmora\\DISPLAY1";
const char Unwalkable[] = "QORDTMCRTBCD1280X1024X0X60"; // 300 bytes: no walk can read it

struct Value {
    std::string name;
    uint32_t type;
    std::vector<uint8_t> data;
    bool operator==(const Value& o) const {
        return name == o.name && type == o.type && data == o.data;
    }
};

std::vector<Value> Values(RegistryRoot root, const std::string& path) {
    std::vector<Value> values;
    for (const std::string& name : FixtureValueNames(root, path)) {
        Value v{name, 0, {}};
        FixtureGetValue(root, path, name, &v.data, &v.type);
        values.push_back(v);
    }
    return values;
}

const Value* Find(const std::vector<Value>& values, const std::string& name) {
    for (const Value& v : values)
        if (v.name == name)
            return &v;
    return nullptr;
}

std::string ModeText(NonStandardModeList& list) {
    std::string text;
    for (const std::string& entry : ModeStrings(list))
        text += entry + ";";
    return text;
}

// The driver key's two valid timings, one that fails its checksum, and what the editor holds
// after its edits: the first timing changed, the second removed, a new one added.
const CustomTiming Vga = TimingOfBlock(640, 480, 60, RisingBlock(0, 100));
const CustomTiming Svga = TimingOfBlock(800, 600, 75, RisingBlock(0, 200));
const CustomTiming VgaEdited = TimingOfBlock(640, 480, 60, RisingBlock(0, 300));
const CustomTiming Added = TimingOfBlock(1152, 864, 75, RisingBlock(0, 0));
const std::vector<NonStandardMode> StoredModes = {
    {640, 480, 0, 60}, {800, 600, 0, 75}, {1024, 768, 0, 60}};

// One operation under test, with what it promises.
struct Subject {
    const char* name;
    std::function<void()> prepare; // on the freshly seeded registry, before the injection
    std::function<int()> run;
    // The timings the operation means to keep: every one of them must load afterwards.
    int keepsTimings;
    // Operations whose failure must give 0.
    std::set<Operation> needs;
    // Operations whose failure may still give 1 with less done than a clean run (a value
    // skipped or a write dropped, as documented); any other failure with 1 must leave the state
    // of a clean run.
    std::set<Operation> skips;
    // Further checks after each run: result and the operation that failed (none for clean).
    std::function<void(int, Operation)> check;
};

class FailureInjection : public ::testing::Test {
protected:
    void SetUp() override { driver.SetPath(DriverPath); }
    void TearDown() override { MemoryRegistry::Reset(); }

    // The driver key, the company key and a stored preference.
    void Seed() {
        MemoryRegistry::Reset();
        editor.reset();
        timings.Clear();
        modes.Clear();
        MemoryRegistry::CreateKey(Machine, DriverPath);
        Put(TimingValueName(Vga), StoredBytes(Vga));
        Put(TimingValueName(Svga), StoredBytes(Svga));
        Put("QORDTMCRTBCD1024X0768X0X60", std::vector<uint8_t>(TimingStoredSize, 0));
        Put(Unwalkable, std::vector<uint8_t>(300, 0x11));
        Put(ModeListValueName, ModeListBytes(StoredModes));
        Put("Other", {1, 0, 0, 0}, RegistryTypeDword);
        MemoryRegistry::CreateKey(User, "Software\\Orvane Technologies");
    }
    void Put(const std::string& name, const std::vector<uint8_t>& data,
             uint32_t type = RegistryTypeBinary) {
        ASSERT_EQ(1, FixtureSetValue(Machine, DriverPath, name, type, data));
    }

    // The lists that the editor would save.
    void Edited() {
        timings.Append(VgaEdited);
        timings.Append(Added);
        modes.AddMode(NonStandardMode{640, 480, 0, 60});
        modes.AddMode(NonStandardMode{1152, 864, 0, 75});
    }

    // The window on the seeded driver key, started and loaded as the program starts.
    void StartEditor() {
        WindowStub::Reset();
        ScriptedDisplay::Reset();
        ResetDisplayEntryPointsForTesting();
        ScriptedDisplay::Device device;
        device.systemName = "\\\\.\\DISPLAY1";
        device.answer = std::string(DriverPath) + std::string(1, '\0');
        ScriptedDisplay::AddDevice(device);
        editor.reset(new EditorState);
        ASSERT_EQ(1, editor->InitialiseWindow(WindowStub::MainWindow()));
        ASSERT_EQ(1, editor->FinishStartup());
    }

    // Runs the subject clean, then with each call failing in turn; returns the failure points.
    uint32_t Sweep(const Subject& s) {
        Seed();
        s.prepare();
        MemoryRegistry::ResetCounters();
        const int cleanResult = s.run();
        EXPECT_EQ(1, cleanResult) << s.name;
        s.check(cleanResult, MemoryRegistry::OperationCount);
        cleanDriver = Values(Machine, DriverPath);
        cleanBackup = Values(User, BackupKey);
        cleanProgram = Values(User, ProgramKey);
        cleanTimings = Records(timings);
        cleanModes = ModeText(modes);
        SCOPED_TRACE(s.name);
        return SweepFailures(
            [&] {
                Seed();
                s.prepare();
                seededDriver = Values(Machine, DriverPath);
            },
            s.run,
            [&](int result, const SweepPoint& point) {
                persistent = point.persistent;
                if (point.failed == MemoryRegistry::OperationCount)
                    EXPECT_EQ(cleanResult, result);
                else
                    Judge(s, result, point.failed);
            });
    }

    void Judge(const Subject& s, int result, Operation failed) {
        EXPECT_TRUE(result == 0 || result == 1) << result;
        const std::vector<Value> stored = Values(Machine, DriverPath);
        const std::vector<Value> backup = Values(User, BackupKey);
        const std::vector<Value> program = Values(User, ProgramKey);
        const int asClean = stored == cleanDriver && backup == cleanBackup &&
                            program == cleanProgram && ModeText(modes) == cleanModes &&
                            Records(timings).size() == cleanTimings.size();
        // A failed enumeration of the value too large for the walk changes nothing: the walk
        // skips that value in any case.
        if (s.needs.count(failed) && (failed != MemoryRegistry::OpEnum || !asClean)) {
            EXPECT_EQ(0, result);
        }
        if (result == 1 && !asClean) {
            EXPECT_TRUE(s.skips.count(failed)) << "1 without the work of a clean run";
        }

        // Values that are not ours are never touched, whatever failed.
        ASSERT_NE(nullptr, Find(stored, "Other"));
        EXPECT_EQ((std::vector<uint8_t>{1, 0, 0, 0}), Find(stored, "Other")->data);
        ASSERT_NE(nullptr, Find(stored, Unwalkable));
        EXPECT_EQ(std::vector<uint8_t>(300, 0x11), Find(stored, Unwalkable)->data);
        EXPECT_TRUE(MemoryRegistry::KeyExists(User, "Software\\Orvane Technologies"));

        // The next load reads every timing as one that was stored or one that was written.
        NonStandardModeList reloadedModes;
        TimingList reloaded;
        EXPECT_EQ(1, LoadModeList(driver, reloadedModes));
        EXPECT_EQ(1, reloaded.LoadFromDevice(driver, reloadedModes));
        const std::vector<CustomTiming> found = Records(reloaded);
        for (const CustomTiming& t : found) {
            int known = SameTiming(t, Vga) || SameTiming(t, Svga);
            for (CustomTiming* r = timings.FirstTiming(); r; r = timings.NextTiming())
                known = known || SameTiming(t, *r);
            EXPECT_TRUE(known) << TimingValueName(t) << " holds a timing nobody wrote";
        }
        if (s.keepsTimings) {
            for (const CustomTiming& kept : {Vga, Svga})
                EXPECT_TRUE(std::any_of(found.begin(), found.end(),
                                        [&](const CustomTiming& t) { return SameTiming(t, kept); }))
                    << TimingValueName(kept) << " lost";
        }
        s.check(result, failed);
    }

    // After a save of the edited lists, stopped anywhere: the stored mode list is the old one or
    // the edited one, and each mode it names has its timing stored, in its old or its new form:
    // the old list's 800 x 600, which the edit removes, is never pruned while that list is stored.
    // Counts how the key was left.
    void ExpectOneSetWhole(int result, Operation failed) {
        NonStandardModeList reloadedModes;
        TimingList reloaded;
        LoadModeList(driver, reloadedModes);
        reloaded.LoadFromDevice(driver, reloadedModes);
        const std::vector<CustomTiming> found = Records(reloaded);
        auto stored = [&](std::initializer_list<CustomTiming> forms) {
            return std::any_of(found.begin(), found.end(), [&](const CustomTiming& t) {
                return std::any_of(forms.begin(), forms.end(),
                                   [&](const CustomTiming& f) { return SameTiming(t, f); });
            });
        };
        const std::vector<Value> driverValues = Values(Machine, DriverPath);
        const Value* list = Find(driverValues, ModeListValueName);
        ASSERT_NE(nullptr, list);
        const bool oldList = list->data == ModeListBytes(StoredModes);
        EXPECT_TRUE(oldList ||
                    list->data == ModeListBytes({{640, 480, 0, 60}, {1152, 864, 0, 75}}));
        EXPECT_TRUE(stored({Vga, VgaEdited})) << "640 x 480 lost";
        if (oldList) {
            EXPECT_TRUE(stored({Svga})) << "800 x 600 pruned while the old list names it";
        } else {
            EXPECT_TRUE(stored({VgaEdited})) << "the new list names 640 x 480 in its old form";
            EXPECT_TRUE(stored({Added})) << "the new list names 1152 x 864 unwritten";
        }
        if (failed == MemoryRegistry::OperationCount)
            return; // the clean run
        const char* outcome = result                         ? "1, written"
                              : driverValues == seededDriver ? "0, key unchanged"
                              : oldList                      ? "0, old set listed"
                                                             : "0, new set listed";
        ++outcomes[std::string(persistent ? "from n on: " : "once: ") + outcome];
    }

    // How a failed or clean backup left the backup key: whole and byte-exact, absent, or
    // incomplete (without its mark) and then taken again whole by the next load.
    const char* BackupOutcome(int result) {
        EXPECT_EQ(cleanDriver, Values(Machine, DriverPath));
        if (!MemoryRegistry::KeyExists(User, BackupKey))
            return "0, absent";
        const bool whole = Values(User, BackupKey) == cleanBackup;
        EXPECT_EQ(result, whole);
        if (whole)
            return "1, whole";
        EXPECT_EQ(BackupIncomplete, ReadBackupState("DISPLAY1")) << "a partial copy with its mark";
        EXPECT_EQ(1, BackupOriginalSettings(driver, "DISPLAY1"));
        EXPECT_EQ(cleanBackup, Values(User, BackupKey));
        return "0, incomplete, whole at the next load";
    }
    NonStandardModeList modes;
    TimingList timings;
    std::unique_ptr<EditorState> editor;
    DriverKey driver;
    int persistent = 0;
    std::map<std::string, uint32_t> outcomes;
    std::vector<Value> seededDriver, cleanDriver, cleanBackup, cleanProgram, taken, edited;
    std::vector<CustomTiming> cleanTimings;
    std::string cleanModes;
};

const std::set<Operation> None;

TEST_F(FailureInjection, Loads) {
    // A list whose query fails is told from a missing one, and the load says 0; so is an
    // enumeration that fails from a value too large for the walk buffers.
    const Subject modeLoad = {"mode list load",
                              [] {},
                              [this] { return LoadModeList(driver, modes); },
                              1,
                              {MemoryRegistry::OpOpen, MemoryRegistry::OpQuery},
                              None,
                              [this](int result, Operation failed) {
                                  if (failed == MemoryRegistry::OperationCount)
                                      return;
                                  EXPECT_EQ(cleanDriver,
                                            Values(Machine, DriverPath)); // a load never writes
                                  if (result == 0) {
                                      EXPECT_EQ("", ModeText(modes));
                                  }
                              }};
    const Subject timingLoad = {
        "timing load",
        [this] { LoadModeList(driver, modes); },
        [this] { return timings.LoadFromDevice(driver, modes); },
        1,
        {MemoryRegistry::OpOpen, MemoryRegistry::OpCount, MemoryRegistry::OpEnum},
        None,
        [this](int result, Operation failed) {
            if (result == 0 && failed != MemoryRegistry::OpEnum) {
                EXPECT_EQ(nullptr, timings.FirstTiming());
            }
            // Whatever was loaded is a valid stored timing, unchanged.
            for (CustomTiming* t = timings.FirstTiming(); t; t = timings.NextTiming())
                EXPECT_TRUE(SameTiming(*t, Vga) || SameTiming(*t, Svga));
        }};
    uint32_t modePoints = Sweep(modeLoad);
    uint32_t timingPoints = Sweep(timingLoad);
    std::printf("failure points: mode list load %u, timing load %u\n", modePoints, timingPoints);
    EXPECT_GE(modePoints, 4u);
    EXPECT_GE(timingPoints, 2u * 8u);
}

TEST_F(FailureInjection, DeleteAndSave) {
    const std::set<Operation> walk = {MemoryRegistry::OpOpen, MemoryRegistry::OpCount,
                                      MemoryRegistry::OpEnum, MemoryRegistry::OpDelete};
    std::set<Operation> saving = walk;
    saving.insert(MemoryRegistry::OpSet);
    // A timing value that the delete walk could not enumerate stays, and the walk says 0.
    const Subject deletion = {"delete",
                              [] {},
                              [this] { return DeleteStoredTimings(driver); },
                              0,
                              walk,
                              None,
                              [](int, Operation) {}};
    const Subject save = {
        "save",
        [this] { Edited(); },
        [this] { return WriteStoredModes(driver, timings, modes); },
        0,
        saving,
        None,
        [this](int result, Operation failed) { ExpectOneSetWhole(result, failed); }};
    const uint32_t deletePoints = Sweep(deletion);
    const uint32_t savePoints = Sweep(save);
    std::printf("failure points: delete %u, save %u\n", deletePoints, savePoints);
}

TEST_F(FailureInjection, Apply) {
    std::set<Operation> needs = {MemoryRegistry::OpOpen, MemoryRegistry::OpCount,
                                 MemoryRegistry::OpEnum, MemoryRegistry::OpDelete,
                                 MemoryRegistry::OpSet};
    const Subject apply = {"apply",
                           [this] {
                               StartEditor();
                               editor->edit.Clear();
                               editor->edit.Add(VgaEdited);
                               editor->edit.Add(Added);
                               editor->SetDirty(1);
                               // The judge compares what the lists of the test hold.
                               Edited();
                           },
                           [this] { return editor->ApplyChanges(); },
                           0,
                           needs,
                           None,
                           [this](int result, Operation failed) {
                               // A failed Apply is told and keeps the edits for another try.
                               EXPECT_EQ(result ? 0u : 1u, WindowStub::MessageBoxes().size());
                               if (!result) {
                                   EXPECT_EQ(1u, editor->dirty);
                               }
                               ExpectOneSetWhole(result, failed);
                           }};
    outcomes.clear();
    std::printf("failure points: apply %u\n", Sweep(apply));
    for (const auto& outcome : outcomes)
        std::printf("  apply outcome, call n failing %s: %u\n", outcome.first.c_str(),
                    outcome.second);
}

// The window writes only over a whole backup of the original values, whatever state the backup
// key is in: while it cannot be made whole, Apply writes nothing, says so and keeps the edits
// with Apply enabled, and the next Apply, once it can be, takes it from the driver key as it
// still stands, then writes; an incomplete copy is taken again in place, whatever else its key
// holds.
TEST_F(FailureInjection, ApplyWritesOnlyOverAWholeBackup) {
    const std::string other = std::string(BackupKey) + "\\Other";
    const struct {
        const char* what;
        std::function<void()> atLoad;  // before the window starts
        std::function<void()> atApply; // before the first Apply
        std::function<void()> mend;    // null when the first Apply may write
    } cases[] = {
        {"the backup's keys cannot be made at the load",
         [] { MemoryRegistry::FailCall(MemoryRegistry::OpCreate, 0, 1); }, [] {},
         [] { MemoryRegistry::ClearFailures(); }},
        {"an incomplete backup that cannot be opened",
         [] {
             MemoryRegistry::CreateKey(User, BackupKey);
             MemoryRegistry::SetWritable(User, BackupKey, 0);
         },
         [] {}, [] { MemoryRegistry::SetWritable(User, BackupKey, 1); }},
        {"an incomplete backup that holds a key of its own",
         [&] { MemoryRegistry::CreateKey(User, other.c_str()); }, [] {}, nullptr},
        {"the backup lost after the load, and its key unwritable", [] {},
         [] {
             MemoryRegistry::DeleteKey(User, BackupKey);
             MemoryRegistry::CreateKey(User, BackupKey);
             MemoryRegistry::SetWritable(User, BackupKey, 0);
         },
         [] { MemoryRegistry::SetWritable(User, BackupKey, 1); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Seed();
        const std::vector<Value> original = Values(Machine, DriverPath);
        c.atLoad();
        StartEditor();
        c.atApply();
        ASSERT_EQ(1, editor->edit.Put(VgaEdited));
        editor->SetDirty(1);
        if (c.mend) {
            EXPECT_EQ(0, editor->ApplyChanges());
            EXPECT_EQ(original, Values(Machine, DriverPath));
            EXPECT_EQ(1u, WindowStub::MessageBoxes().size());
            EXPECT_EQ(1u, editor->dirty);
            EXPECT_TRUE(WindowStub::Enabled(IDC_APPLY));
            c.mend();
        }
        EXPECT_EQ(1, editor->ApplyChanges());
        EXPECT_EQ(BackupWhole, ReadBackupState("DISPLAY1"));
        std::vector<uint8_t> held;
        uint32_t type = 0;
        ASSERT_EQ(1, FixtureGetValue(User, BackupKey, TimingValueName(Vga), &held, &type));
        EXPECT_EQ(StoredBytes(Vga), held) << "the backup holds the edit";
        EXPECT_EQ(StoredBytes(VgaEdited),
                  Find(Values(Machine, DriverPath), TimingValueName(Vga))->data);
    }
}

TEST_F(FailureInjection, BackupAndProbe) {
    // The backup never writes the driver key, and is whole and byte-exact, absent, or incomplete
    // (without its mark, never passed off as whole), so that the next load takes it again.
    const Subject backup = {
        "backup",
        [] {},
        [this] { return BackupOriginalSettings(driver, "DISPLAY1"); },
        1,
        {MemoryRegistry::OpOpen, MemoryRegistry::OpCreate, MemoryRegistry::OpCount,
         MemoryRegistry::OpEnum, MemoryRegistry::OpQuery, MemoryRegistry::OpSet},
        None,
        [this](int result, Operation failed) {
            if (failed == MemoryRegistry::OperationCount)
                return;
            EXPECT_EQ(cleanDriver, Values(Machine, DriverPath));
            ++outcomes[std::string(persistent ? "from n on: " : "once: ") + BackupOutcome(result)];
        }};
    // The same over a copy that ended part-way (no mark): it is taken again in place, or left
    // incomplete for the next load, never passed off as whole.
    const Subject retake = {
        "backup over an incomplete one",
        [] {
            MemoryRegistry::CreateKey(User, BackupKey);
            FixtureSetValue(User, BackupKey, TimingValueName(Vga), RegistryTypeBinary,
                            StoredBytes(Vga));
        },
        [this] { return BackupOriginalSettings(driver, "DISPLAY1"); },
        1,
        backup.needs,
        None,
        [this](int result, Operation failed) {
            if (failed == MemoryRegistry::OperationCount)
                return;
            EXPECT_EQ(cleanDriver, Values(Machine, DriverPath));
            ++outcomes[std::string("over an incomplete one, ") +
                       (persistent ? "from n on: " : "once: ") + BackupOutcome(result)];
        }};
    // A probe whose delete failed leaves "DUMMY" and still says 1: the write was possible.
    const Subject probe = {"probe",
                           [] {},
                           [this] { return ProbeWriteAccess(driver); },
                           1,
                           {MemoryRegistry::OpOpen, MemoryRegistry::OpSet},
                           {MemoryRegistry::OpDelete},
                           [this](int, Operation failed) {
                               if (failed == MemoryRegistry::OperationCount)
                                   return;
                               std::vector<Value> driver = Values(Machine, DriverPath);
                               driver.erase(
                                   std::remove_if(driver.begin(), driver.end(),
                                                  [](const Value& v) { return v.name == "DUMMY"; }),
                                   driver.end());
                               EXPECT_EQ(cleanDriver, driver);
                           }};
    outcomes.clear();
    uint32_t backupPoints = Sweep(backup);
    uint32_t retakePoints = Sweep(retake);
    for (const auto& outcome : outcomes)
        std::printf("  backup outcome, call n failing %s: %u\n", outcome.first.c_str(),
                    outcome.second);
    uint32_t probePoints = Sweep(probe);
    std::printf("failure points: backup %u, over an incomplete one %u, probe %u\n", backupPoints,
                retakePoints, probePoints);
}

TEST_F(FailureInjection, Restore) {
    // The device changed after its backup was taken: 640 x 480 edited, 800 x 600 and the zero
    // timing gone, 1152 x 864 added, the mode list rewritten. Whatever fails, the backup key is
    // untouched and every value of the driver key is the device's own or the backup's; run again,
    // the restore gives exactly the clean result.
    const Subject restore = {
        "restore",
        [this] {
            ASSERT_EQ(1, BackupOriginalSettings(driver, "DISPLAY1"));
            taken = Values(User, BackupKey);
            timings.Append(VgaEdited);
            timings.Append(Added);
            modes.AddMode(NonStandardMode{640, 480, 0, 60});
            modes.AddMode(NonStandardMode{1152, 864, 0, 75});
            ASSERT_EQ(1, WriteStoredModes(driver, timings, modes));
            edited = Values(Machine, DriverPath);
        },
        [this] {
            StoredBackup backup;
            return backup.Read("DISPLAY1") == BackupReadWhole && backup.Restore(driver);
        },
        0,
        {MemoryRegistry::OpOpen, MemoryRegistry::OpCount, MemoryRegistry::OpEnum,
         MemoryRegistry::OpQuery, MemoryRegistry::OpSet, MemoryRegistry::OpDelete},
        None,
        [this](int result, Operation failed) {
            EXPECT_EQ(taken, Values(User, BackupKey));
            for (const Value& v : Values(Machine, DriverPath)) {
                const Value* was = Find(edited, v.name);
                const Value* held = Find(taken, v.name);
                EXPECT_TRUE((was && was->data == v.data) || (held && held->data == v.data))
                    << v.name << " is neither the device's nor the backup's";
            }
            if (failed == MemoryRegistry::OperationCount)
                return;
            const std::vector<Value> left = Values(Machine, DriverPath);
            StoredBackup again;
            ASSERT_EQ(BackupReadWhole, again.Read("DISPLAY1"));
            EXPECT_EQ(1, again.Restore(driver));
            EXPECT_EQ(cleanDriver, Values(Machine, DriverPath));
            const char* outcome = result                ? "1, restored"
                                  : left == edited      ? "0, key unchanged"
                                  : left == cleanDriver ? "0, key as restored"
                                                        : "0, part restored";
            ++outcomes[std::string(persistent ? "from n on: " : "once: ") + outcome +
                       ", whole when run again"];
        }};
    outcomes.clear();
    std::printf("failure points: restore %u\n", Sweep(restore));
    for (const auto& outcome : outcomes)
        std::printf("  restore outcome, call n failing %s: %u\n", outcome.first.c_str(),
                    outcome.second);
}

TEST_F(FailureInjection, Preference) {
    // Reading: a value stored as 1 reads as 1, or as 0 when a call failed.
    const Subject read = {
        "read preference",
        [] {
            MemoryRegistry::CreateKey(User, ProgramKey);
            FixtureSetValue(User, ProgramKey, "ShowWarning", RegistryTypeDword, {1, 0, 0, 0});
        },
        [] { return static_cast<int>(ReadShowWarning()); },
        1,
        {MemoryRegistry::OpOpen, MemoryRegistry::OpQuery},
        None,
        [](int, Operation) {}};
    // Saving with the program key still to be made: 1 only when the value is stored.
    const Subject save = {"save preference",
                          [] {},
                          [] { return SaveShowWarning(1); },
                          1,
                          {MemoryRegistry::OpCreate, MemoryRegistry::OpSet},
                          None,
                          [](int result, Operation) {
                              std::vector<uint8_t> data;
                              uint32_t type = 0;
                              int stored =
                                  FixtureGetValue(User, ProgramKey, "ShowWarning", &data, &type);
                              EXPECT_EQ(result, stored);
                              if (stored) {
                                  EXPECT_EQ((std::vector<uint8_t>{1, 0, 0, 0}), data);
                              }
                          }};
    uint32_t readPoints = Sweep(read);
    uint32_t savePoints = Sweep(save);
    std::printf("failure points: read preference %u, save preference %u\n", readPoints, savePoints);
}

} // namespace
