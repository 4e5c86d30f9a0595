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
#include "store/backup.h"
#include "store/device_store.h"
#include "support/builders.h"
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
const char DriverKey[] = "System\\CurrentControlSet\\Services\\orvdisp\\Device0";
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

const char* OperationName(Operation op) {
    static const char* const names[] = {"open",  "create", "count",  "enumerate",
                                        "query", "set",    "delete", "delete key",
                                        "close", "any",    "none"};
    return names[op];
}

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
    void TearDown() override {
        MemoryRegistry::Reset();
        SetCurrentDevicePath("");
    }

    // The driver key, the company key and a stored preference.
    void Seed() {
        MemoryRegistry::Reset();
        editor.reset();
        timings.Clear();
        modes.Clear();
        MemoryRegistry::CreateKey(Machine, DriverKey);
        Put(TimingValueName(Vga), StoredBytes(Vga));
        Put(TimingValueName(Svga), StoredBytes(Svga));
        Put("QORDTMCRTBCD1024X0768X0X60", std::vector<uint8_t>(TimingStoredSize, 0));
        Put(Unwalkable, std::vector<uint8_t>(300, 0x11));
        Put(ModeListValueName, ModeListBytes(StoredModes));
        Put("Other", {1, 0, 0, 0}, RegistryTypeDword);
        MemoryRegistry::CreateKey(User, "Software\\Orvane Technologies");
        SetCurrentDevicePath(DriverKey);
    }
    void Put(const std::string& name, const std::vector<uint8_t>& data,
             uint32_t type = RegistryTypeBinary) {
        ASSERT_EQ(1, FixtureSetValue(Machine, DriverKey, name, type, data));
    }

    // The lists that the editor would save.
    void Edited() {
        timings.Append(VgaEdited);
        timings.Append(Added);
        modes.AddMode(NonStandardMode{640, 480, 0, 60});
        modes.AddMode(NonStandardMode{1152, 864, 0, 75});
    }

    // Runs the subject clean, then with each call failing in turn; returns the failure points.
    uint32_t Sweep(const Subject& s) {
        Seed();
        s.prepare();
        MemoryRegistry::ResetCounters();
        const int cleanResult = s.run();
        EXPECT_EQ(1, cleanResult) << s.name;
        s.check(cleanResult, MemoryRegistry::OperationCount);
        cleanDriver = Values(Machine, DriverKey);
        cleanBackup = Values(User, BackupKey);
        cleanProgram = Values(User, ProgramKey);
        cleanTimings = Records(timings);
        cleanModes = ModeText(modes);

        uint32_t points = 0;
        for (persistent = 0; persistent < 2; ++persistent) {
            for (uint32_t n = 0;; ++n) {
                Seed();
                s.prepare();
                seededDriver = Values(Machine, DriverKey);
                MemoryRegistry::ResetCounters();
                MemoryRegistry::FailCall(MemoryRegistry::OpAny, n, persistent);
                const int result = s.run();
                const Operation failed = MemoryRegistry::FirstInjectedFailure();
                MemoryRegistry::ClearFailures();
                if (failed == MemoryRegistry::OperationCount) {
                    EXPECT_EQ(cleanResult, result) << s.name << ": clean at call " << n;
                    break;
                }
                ++points;
                SCOPED_TRACE(::testing::Message()
                             << s.name << ": call " << n << " (" << OperationName(failed) << ")"
                             << (persistent ? " and every later call" : "") << " failed");
                Judge(s, result, failed);
                if (n > 10000) {
                    ADD_FAILURE() << "no end to the calls";
                    break;
                }
            }
        }
        return points;
    }

    void Judge(const Subject& s, int result, Operation failed) {
        EXPECT_TRUE(result == 0 || result == 1) << result;
        EXPECT_EQ(0, MemoryRegistry::OpenHandles());
        const std::vector<Value> driver = Values(Machine, DriverKey);
        const std::vector<Value> backup = Values(User, BackupKey);
        const std::vector<Value> program = Values(User, ProgramKey);
        const int asClean = driver == cleanDriver && backup == cleanBackup &&
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
        ASSERT_NE(nullptr, Find(driver, "Other"));
        EXPECT_EQ((std::vector<uint8_t>{1, 0, 0, 0}), Find(driver, "Other")->data);
        ASSERT_NE(nullptr, Find(driver, Unwalkable));
        EXPECT_EQ(std::vector<uint8_t>(300, 0x11), Find(driver, Unwalkable)->data);
        EXPECT_TRUE(MemoryRegistry::KeyExists(User, "Software\\Orvane Technologies"));

        // The next load reads every timing as one that was stored or one that was written.
        NonStandardModeList reloadedModes;
        TimingList reloaded;
        EXPECT_EQ(1, reloadedModes.LoadFromDevice());
        EXPECT_EQ(1, reloaded.LoadFromDevice(reloadedModes));
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

    // After a save of the edited lists: the 640 x 480 mode is stored, as it was or as edited,
    // and the mode list is the stored one or the edited one. 800 x 600, which the edits remove,
    // and the added mode may be there or not. Counts how the key was left.
    void ExpectNothingLost(int result, Operation failed) {
        NonStandardModeList reloadedModes;
        TimingList reloaded;
        reloadedModes.LoadFromDevice();
        reloaded.LoadFromDevice(reloadedModes);
        const std::vector<CustomTiming> found = Records(reloaded);
        EXPECT_TRUE(std::any_of(found.begin(), found.end(), [](const CustomTiming& t) {
            return SameTiming(t, Vga) || SameTiming(t, VgaEdited);
        })) << "640 x 480 lost";
        const std::vector<Value> driver = Values(Machine, DriverKey);
        const Value* list = Find(driver, ModeListValueName);
        ASSERT_NE(nullptr, list);
        EXPECT_TRUE(list->data == ModeListBytes(StoredModes) ||
                    list->data == ModeListBytes({{640, 480, 0, 60}, {1152, 864, 0, 75}}));
        if (failed == MemoryRegistry::OperationCount)
            return; // the clean run
        const char* outcome = result                   ? "1, written"
                              : driver == seededDriver ? "0, key unchanged"
                              : driver == cleanDriver  ? "0, key as written"
                                                       : "0, old and new forms mixed";
        ++outcomes[std::string(persistent ? "from n on: " : "once: ") + outcome];
    }

    // How a failed or clean backup left the backup key: whole and byte-exact, absent, or
    // incomplete (without its mark) and then taken again whole by the next load.
    const char* BackupOutcome(int result) {
        EXPECT_EQ(cleanDriver, Values(Machine, DriverKey));
        if (!MemoryRegistry::KeyExists(User, BackupKey))
            return "0, absent";
        const bool whole = Values(User, BackupKey) == cleanBackup;
        EXPECT_EQ(result, whole);
        if (whole)
            return "1, whole";
        EXPECT_EQ(BackupIncomplete, ReadBackupState("DISPLAY1")) << "a partial copy with its mark";
        EXPECT_EQ(1, BackupOriginalSettings("DISPLAY1"));
        EXPECT_EQ(cleanBackup, Values(User, BackupKey));
        return "0, incomplete, whole at the next load";
    }
    NonStandardModeList modes;
    TimingList timings;
    std::unique_ptr<EditorState> editor;
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
                              [this] { return modes.LoadFromDevice(); },
                              1,
                              {MemoryRegistry::OpOpen, MemoryRegistry::OpQuery},
                              None,
                              [this](int result, Operation failed) {
                                  if (failed == MemoryRegistry::OperationCount)
                                      return;
                                  EXPECT_EQ(cleanDriver,
                                            Values(Machine, DriverKey)); // a load never writes
                                  if (result == 0) {
                                      EXPECT_EQ("", ModeText(modes));
                                  }
                              }};
    const Subject timingLoad = {
        "timing load",
        [this] { modes.LoadFromDevice(); },
        [this] { return timings.LoadFromDevice(modes); },
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

TEST_F(FailureInjection, DeletesAndSaves) {
    const std::set<Operation> walk = {MemoryRegistry::OpOpen, MemoryRegistry::OpCount,
                                      MemoryRegistry::OpEnum, MemoryRegistry::OpDelete};
    std::set<Operation> save = walk;
    save.insert(MemoryRegistry::OpSet);
    // A timing value that the delete walk could not enumerate stays, and the walk says 0.
    const Subject deletion = {"delete",
                              [] {},
                              [] { return DeleteStoredTimings(); },
                              0,
                              walk,
                              None,
                              [](int, Operation) {}};
    const Subject timingSave = {
        "timing save",
        [this] { Edited(); },
        [this] { return timings.SaveToDevice(); },
        0,
        save,
        None,
        [this](int result, Operation failed) { ExpectNothingLost(result, failed); }};
    const Subject modeSave = {
        "mode list save",
        [this] { Edited(); },
        [this] { return modes.SaveToDevice(); },
        1,
        {MemoryRegistry::OpOpen, MemoryRegistry::OpSet},
        None,
        [this](int result, Operation) {
            // One value, written whole or not at all.
            std::vector<uint8_t> data;
            uint32_t type = 0;
            ASSERT_EQ(1, FixtureGetValue(Machine, DriverKey, ModeListValueName, &data, &type));
            EXPECT_EQ(result ? ModeListBytes({{640, 480, 0, 60}, {1152, 864, 0, 75}})
                             : ModeListBytes(StoredModes),
                      data);
        }};
    uint32_t deletePoints = Sweep(deletion);
    uint32_t timingPoints = Sweep(timingSave);
    uint32_t modePoints = Sweep(modeSave);
    std::printf("failure points: delete %u, timing save %u, mode list save %u\n", deletePoints,
                timingPoints, modePoints);
}

TEST_F(FailureInjection, Apply) {
    std::set<Operation> needs = {MemoryRegistry::OpOpen, MemoryRegistry::OpCount,
                                 MemoryRegistry::OpEnum, MemoryRegistry::OpDelete,
                                 MemoryRegistry::OpSet};
    const Subject apply = {"apply",
                           [this] {
                               WindowStub::Reset();
                               ScriptedDisplay::Reset();
                               ResetDisplayEntryPointsForTesting();
                               ScriptedDisplay::Device device;
                               device.systemName = "\\\\.\\DISPLAY1";
                               device.answer = std::string(DriverKey) + std::string(1, '\0');
                               ScriptedDisplay::AddDevice(device);
                               editor.reset(new EditorState);
                               ASSERT_EQ(1, editor->InitialiseWindow(WindowStub::MainWindow()));
                               ASSERT_EQ(1, editor->FinishStartup());
                               editor->timings.Clear();
                               editor->nonStandardModes.Clear();
                               editor->timings.Append(VgaEdited);
                               editor->timings.Append(Added);
                               editor->nonStandardModes.AddMode(NonStandardMode{640, 480, 0, 60});
                               editor->nonStandardModes.AddMode(NonStandardMode{1152, 864, 0, 75});
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
                               ExpectNothingLost(result, failed);
                           }};
    outcomes.clear();
    std::printf("failure points: apply %u\n", Sweep(apply));
    for (const auto& outcome : outcomes)
        std::printf("  apply outcome, call n failing %s: %u\n", outcome.first.c_str(),
                    outcome.second);
}

TEST_F(FailureInjection, BackupAndProbe) {
    // The backup never writes the driver key, and is whole and byte-exact, or absent so that the
    // next load takes it again. Only when every call from one on fails can the device key that it
    // made not be deleted again: then the backup says 0 and the key stays, partial.
    const Subject backup = {
        "backup",
        [] {},
        [] { return BackupOriginalSettings("DISPLAY1"); },
        1,
        {MemoryRegistry::OpOpen, MemoryRegistry::OpCreate, MemoryRegistry::OpCount,
         MemoryRegistry::OpEnum, MemoryRegistry::OpQuery, MemoryRegistry::OpSet},
        None,
        [this](int result, Operation failed) {
            if (failed == MemoryRegistry::OperationCount)
                return;
            EXPECT_EQ(cleanDriver, Values(Machine, DriverKey));
            ++outcomes[std::string(persistent ? "from n on: " : "once: ") + BackupOutcome(result)];
        }};
    // The same over a copy that ended part-way (no mark): it is deleted and taken again, or left
    // incomplete for the next load, never passed off as whole.
    const Subject retake = {
        "backup over an incomplete one",
        [] {
            MemoryRegistry::CreateKey(User, BackupKey);
            FixtureSetValue(User, BackupKey, TimingValueName(Vga), RegistryTypeBinary,
                            StoredBytes(Vga));
        },
        [] { return BackupOriginalSettings("DISPLAY1"); },
        1,
        backup.needs,
        None,
        [this](int result, Operation failed) {
            if (failed == MemoryRegistry::OperationCount)
                return;
            EXPECT_EQ(cleanDriver, Values(Machine, DriverKey));
            ++outcomes[std::string("over an incomplete one, ") +
                       (persistent ? "from n on: " : "once: ") + BackupOutcome(result)];
        }};
    // A probe whose delete failed leaves "DUMMY" and still says 1: the write was possible.
    const Subject probe = {"probe",
                           [] {},
                           [] { return ProbeWriteAccess(); },
                           1,
                           {MemoryRegistry::OpOpen, MemoryRegistry::OpSet},
                           {MemoryRegistry::OpDelete},
                           [this](int, Operation failed) {
                               if (failed == MemoryRegistry::OperationCount)
                                   return;
                               std::vector<Value> driver = Values(Machine, DriverKey);
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
            ASSERT_EQ(1, BackupOriginalSettings("DISPLAY1"));
            taken = Values(User, BackupKey);
            timings.Append(VgaEdited);
            timings.Append(Added);
            modes.AddMode(NonStandardMode{640, 480, 0, 60});
            modes.AddMode(NonStandardMode{1152, 864, 0, 75});
            ASSERT_EQ(1, timings.SaveToDevice());
            ASSERT_EQ(1, modes.SaveToDevice());
            edited = Values(Machine, DriverKey);
        },
        [] {
            StoredBackup backup;
            return backup.Read("DISPLAY1") == BackupReadWhole && backup.Restore();
        },
        0,
        {MemoryRegistry::OpOpen, MemoryRegistry::OpCount, MemoryRegistry::OpEnum,
         MemoryRegistry::OpQuery, MemoryRegistry::OpSet, MemoryRegistry::OpDelete},
        None,
        [this](int result, Operation failed) {
            EXPECT_EQ(taken, Values(User, BackupKey));
            for (const Value& v : Values(Machine, DriverKey)) {
                const Value* was = Find(edited, v.name);
                const Value* held = Find(taken, v.name);
                EXPECT_TRUE((was && was->data == v.data) || (held && held->data == v.data))
                    << v.name << " is neither the device's nor the backup's";
            }
            if (failed == MemoryRegistry::OperationCount)
                return;
            const std::vector<Value> left = Values(Machine, DriverKey);
            StoredBackup again;
            ASSERT_EQ(BackupReadWhole, again.Read("DISPLAY1"));
            EXPECT_EQ(1, again.Restore());
            EXPECT_EQ(cleanDriver, Values(Machine, DriverKey));
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
