// Failures that only the in-memory registry can stage: unwritable keys, injected call failures,
// call counts and open handles, and allocation failures.
#include "store/device_store.h"

#include "doubles/fake_registry.h"
#include "support/alloc_failure.h"
#include "support/builders.h"
#include "support/registry_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

using MemoryRegistry::Operation;

const RegistryRoot Machine = RegistryLocalMachine;
const char VgaName[] = "QORDTMCRTBCD0640X0480X0X60";
const char SvgaName[] = "QORDTMCRTBCD0800X0600X0X75";
const char XgaName[] = "QORDTMCRTBCD1024X0768X0X60";

// (640, 480, 0, 60), (800, 600, 0, 75)
const std::vector<uint8_t> ModeBytes = {0x06, 0x40, 0x04, 0x80, 0x00, 0x00, 0x00, 0x60,
                                        0x08, 0x00, 0x06, 0x00, 0x00, 0x00, 0x00, 0x75};

} // namespace

// The driver key holds, in this enumeration order: two valid timings, the mode list, and one
// other value.
class DeviceStore : public ::testing::Test {
protected:
    void SetUp() override {
        Seed();
        ASSERT_EQ(1, driver.SetPath(key.c_str()));
    }
    void TearDown() override {
        StopFailingAllocations();
        MemoryRegistry::Reset();
    }
    void Seed() {
        MemoryRegistry::Reset();
        key = FixtureTestKey();
        ASSERT_EQ(1, FixtureCreateKey(Machine, key));
        ASSERT_EQ(1, FixtureSetValue(Machine, key, VgaName, RegistryTypeBinary,
                                     StoredBytes(SealedBlock({12}))));
        ASSERT_EQ(1, FixtureSetValue(Machine, key, SvgaName, RegistryTypeBinary,
                                     StoredBytes(SealedBlock({1}))));
        ASSERT_EQ(1,
                  FixtureSetValue(Machine, key, ModeListValueName, RegistryTypeBinary, ModeBytes));
        ASSERT_EQ(1, FixtureSetValue(Machine, key, "Other", RegistryTypeDword, {1, 0, 0, 0}));
        MemoryRegistry::ResetCounters();
    }
    std::vector<std::string> Names() { return FixtureValueNames(Machine, key); }
    // The expected names in the sorted order of Names().
    static std::vector<std::string> Sorted(std::vector<std::string> names) {
        std::sort(names.begin(), names.end());
        return names;
    }
    std::vector<uint8_t> Get(const std::string& name) {
        std::vector<uint8_t> data;
        uint32_t type = 0;
        FixtureGetValue(Machine, key, name, &data, &type);
        return data;
    }

    std::string key;
    DriverKey driver;
};

TEST_F(DeviceStore, EmptyPathMakesNoRegistryCall) {
    ASSERT_EQ(1, driver.SetPath(""));
    NonStandardModeList modes;
    TimingList timings;
    timings.Append(TimingOf(640, 480, 60, {0}));
    modes.AddMode(NonStandardMode{640, 480, 0, 60});
    EXPECT_EQ(0, WriteStoredModes(driver, timings, modes));
    EXPECT_EQ(0, DeleteStoredTimings(driver));
    EXPECT_EQ(0, LoadModeList(driver, modes));
    EXPECT_EQ(0, timings.LoadFromDevice(driver, modes));
    EXPECT_EQ(0u, MemoryRegistry::Calls(MemoryRegistry::OpAny));
    EXPECT_EQ(0u, MemoryRegistry::Calls(MemoryRegistry::OpClose));
}

// A directly written path without its terminating zero is taken as no path, not read past.
TEST_F(DeviceStore, UnterminatedPathIsNoPath) {
    for (char& c : driver.path)
        c = 'k';
    RegistryKey handle = nullptr;
    EXPECT_EQ(0, driver.Open(&handle));
    EXPECT_EQ(nullptr, handle);
    EXPECT_EQ(0, DeleteStoredTimings(driver));
    EXPECT_EQ(0u, MemoryRegistry::Calls(MemoryRegistry::OpAny));
}

// Without the right to write the driver key every operation fails and nothing changes.
TEST_F(DeviceStore, UnwritableKey) {
    ASSERT_EQ(1, MemoryRegistry::SetWritable(Machine, key.c_str(), 0));
    NonStandardModeList modes;
    TimingList timings;
    EXPECT_EQ(0, LoadModeList(driver, modes));
    EXPECT_EQ(0, timings.LoadFromDevice(driver, modes));
    timings.Append(TimingOf(1024, 768, 60, {0}));
    modes.AddMode(NonStandardMode{1024, 768, 0, 60});
    EXPECT_EQ(0, DeleteStoredTimings(driver));
    EXPECT_EQ(0, WriteStoredModes(driver, timings, modes));
    ASSERT_EQ(1, MemoryRegistry::SetWritable(Machine, key.c_str(), 1));
    EXPECT_EQ(Sorted({"Other", ModeListValueName, VgaName, SvgaName}), Names());
    EXPECT_EQ(ModeBytes, Get(ModeListValueName));
    EXPECT_EQ(0, MemoryRegistry::OpenHandles());
}

TEST_F(DeviceStore, TimingLoadFailures) {
    struct Case {
        Operation op;
        uint32_t index;
        int persistent;
        int result;
        std::vector<std::string> timings;
    } cases[] = {
        {MemoryRegistry::OpOpen, 0, 0, 0, {}},
        {MemoryRegistry::OpCount, 0, 0, 0, {}},
        // A value that could not be enumerated may be a valid timing that a save would delete:
        // the load goes on but says 0.
        {MemoryRegistry::OpEnum, 0, 0, 0, {"800x600@75"}},
        {MemoryRegistry::OpEnum, 1, 0, 0, {"640x480@60"}},
        {MemoryRegistry::OpEnum, 0, 1, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.op << "/" << c.index << "/" << c.persistent);
        Seed();
        NonStandardModeList modes;
        TimingList timings;
        timings.Append(TimingOf(1, 1, 1, {0}));
        MemoryRegistry::FailCall(c.op, c.index, c.persistent);
        EXPECT_EQ(c.result, timings.LoadFromDevice(driver, modes));
        MemoryRegistry::ClearFailures();
        EXPECT_EQ(c.timings, TimingStrings(timings));
        EXPECT_EQ(0, MemoryRegistry::OpenHandles());
    }
}

// The size of the list is asked first. Only a value that does not exist counts as missing; one
// that cannot be sized or read is a failure, or an Apply would write a list without its entries.
TEST_F(DeviceStore, ModeListLoadFailures) {
    struct Case {
        Operation op;
        uint32_t index;
        int result;
    } cases[] = {
        {MemoryRegistry::OpOpen, 0, 0},
        {MemoryRegistry::OpQuery, 0, 0},
        {MemoryRegistry::OpQuery, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.op << "/" << c.index);
        Seed();
        NonStandardModeList modes;
        modes.AddMode(NonStandardMode{1, 1, 0, 1});
        MemoryRegistry::FailCall(c.op, c.index, 0);
        EXPECT_EQ(c.result, LoadModeList(driver, modes));
        MemoryRegistry::ClearFailures();
        EXPECT_EQ(0, modes.Count());
        EXPECT_EQ(0, MemoryRegistry::OpenHandles());
    }
}

TEST_F(DeviceStore, DeleteFailures) {
    struct Case {
        Operation op;
        uint32_t index;
        int persistent;
        int result;
        std::vector<std::string> left;
    } cases[] = {
        {MemoryRegistry::OpOpen, 0, 0, 0, {"Other", ModeListValueName, VgaName, SvgaName}},
        {MemoryRegistry::OpCount, 0, 0, 0, {"Other", ModeListValueName, VgaName, SvgaName}},
        // A failed delete is reported, and the walk still deletes what follows.
        {MemoryRegistry::OpDelete, 0, 0, 0, {"Other", ModeListValueName, VgaName}},
        {MemoryRegistry::OpDelete, 1, 0, 0, {"Other", ModeListValueName, SvgaName}},
        {MemoryRegistry::OpDelete, 0, 1, 0, {"Other", ModeListValueName, VgaName, SvgaName}},
        // A value whose enumeration failed (it fits the walk buffers) may be a timing left
        // behind: the walk goes on but says 0.
        {MemoryRegistry::OpEnum, 0, 0, 0, {"Other", ModeListValueName, VgaName}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.op << "/" << c.index << "/" << c.persistent);
        Seed();
        MemoryRegistry::FailCall(c.op, c.index, c.persistent);
        EXPECT_EQ(c.result, DeleteStoredTimings(driver));
        MemoryRegistry::ClearFailures();
        EXPECT_EQ(Sorted(c.left), Names());
        EXPECT_EQ(0, MemoryRegistry::OpenHandles());
    }
}

// The save writes every record, then the mode list, before it deletes anything, and reports 0
// unless the key ends up holding exactly the lists. A record whose set failed keeps its old value,
// and then the list is not written: the new list would name a timing that is not there. A list
// that was not written keeps the old one, and then nothing is pruned, since the old list still
// names the old timings.
TEST_F(DeviceStore, SaveFailures) {
    const std::vector<std::string> all = {"Other", ModeListValueName, VgaName, SvgaName, XgaName};
    const std::vector<uint8_t> newList =
        ModeListBytes({ModeEntry(800, 600, 0, 75), ModeEntry(1024, 768, 0, 60)});
    struct Case {
        const char* what;
        Operation op;
        uint32_t index;
        std::vector<std::string> left;
        uint32_t svgaFlags; // the 800 x 600 value: 1 as stored, 3 as the list has it
        int listWritten;    // the mode list value: 0 as stored, 1 as the new list
    } cases[] = {
        {"first set", MemoryRegistry::OpSet, 0, all, 1, 0},
        {"second set",
         MemoryRegistry::OpSet,
         1,
         {"Other", ModeListValueName, VgaName, SvgaName},
         3,
         0},
        {"the list's set", MemoryRegistry::OpSet, 2, all, 3, 0},
        {"the delete", MemoryRegistry::OpDelete, 0, all, 3, 1},
        {"the open",
         MemoryRegistry::OpOpen,
         0,
         {"Other", ModeListValueName, VgaName, SvgaName},
         1,
         0},
        {"the count", MemoryRegistry::OpCount, 0, all, 3, 1},
        {"an enumeration", MemoryRegistry::OpEnum, 0, all, 3, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Seed();
        TimingList timings;
        timings.Append(TimingOf(800, 600, 75, {3}));
        timings.Append(TimingOf(1024, 768, 60, {4}));
        NonStandardModeList modes;
        modes.AddMode(ModeEntry(800, 600, 0, 75));
        modes.AddMode(ModeEntry(1024, 768, 0, 60));
        MemoryRegistry::FailCall(c.op, c.index, 0);
        EXPECT_EQ(0, WriteStoredModes(driver, timings, modes));
        EXPECT_EQ(1u, MemoryRegistry::InjectedFailures());
        MemoryRegistry::ClearFailures();
        EXPECT_EQ(Sorted(c.left), Names());
        EXPECT_EQ(StoredBytes(SealedBlock({c.svgaFlags})), Get(SvgaName));
        EXPECT_EQ(c.listWritten ? newList : ModeBytes, Get(ModeListValueName));
        EXPECT_EQ(0, MemoryRegistry::OpenHandles());
    }
    Seed();
    TimingList timings;
    timings.Append(TimingOf(800, 600, 75, {3}));
    NonStandardModeList modes;
    modes.AddMode(ModeEntry(800, 600, 0, 75));
    EXPECT_EQ(1, WriteStoredModes(driver, timings, modes));
    EXPECT_EQ(Sorted({"Other", ModeListValueName, SvgaName}), Names());
    EXPECT_EQ(StoredBytes(SealedBlock({3})), Get(SvgaName));
    EXPECT_EQ(ModeListBytes({ModeEntry(800, 600, 0, 75)}), Get(ModeListValueName));
}

// Whichever single call fails, or every call from one on, each operation closes what it opened
// and answers 0 or 1.
TEST_F(DeviceStore, NoKeyStaysOpenWhateverFails) {
    NonStandardModeList modes;
    TimingList timings;
    NonStandardModeList saved;
    saved.AddMode(ModeEntry(800, 600, 0, 75));
    const std::vector<std::pair<const char*, std::function<int()>>> operations = {
        {"mode list load", [&] { return LoadModeList(driver, modes); }},
        {"timing load", [&] { return timings.LoadFromDevice(driver, modes); }},
        {"delete", [&] { return DeleteStoredTimings(driver); }},
        {"save", [&] { return WriteStoredModes(driver, timings, saved); }},
    };
    for (const auto& operation : operations) {
        Seed();
        timings.Clear();
        timings.Append(TimingOf(800, 600, 75, {3}));
        ASSERT_EQ(1, operation.second());
        const uint32_t calls = MemoryRegistry::Calls(MemoryRegistry::OpAny);
        EXPECT_GE(calls, 2u) << operation.first; // the open and at least one piece of work
        for (uint32_t k = 0; k < calls; ++k) {
            for (int persistent = 0; persistent < 2; ++persistent) {
                SCOPED_TRACE(testing::Message()
                             << operation.first << ": call " << k << " persistent " << persistent);
                Seed();
                timings.Clear();
                timings.Append(TimingOf(800, 600, 75, {3}));
                MemoryRegistry::FailCall(MemoryRegistry::OpAny, k, persistent);
                int result = operation.second();
                EXPECT_TRUE(result == 0 || result == 1);
                EXPECT_EQ(0, MemoryRegistry::OpenHandles());
            }
        }
    }
}

// The in-memory registry takes one allocation for each handle it opens; after it the store's
// own allocations fail.
TEST_F(DeviceStore, OutOfMemory) {
    {
        NonStandardModeList modes;
        TimingList timings;
        ScopedAllocationFailure failing(1);
        EXPECT_EQ(0, timings.LoadFromDevice(driver, modes)); // a valid timing could not be kept
        EXPECT_EQ(nullptr, timings.FirstTiming());
        EXPECT_EQ(0, timings.Append(TimingOf(1, 1, 1, {0})));
    }
    EXPECT_EQ(0, MemoryRegistry::OpenHandles());
    for (int32_t successes : {1, 2}) {
        SCOPED_TRACE(successes); // the read buffer, then the first entry
        NonStandardModeList modes;
        ScopedAllocationFailure failing(successes);
        EXPECT_EQ(0, LoadModeList(driver, modes));
        EXPECT_EQ(0, modes.Count());
    }
    EXPECT_EQ(0, MemoryRegistry::OpenHandles());
    // Without memory for the names the save could not tell what to prune, and without memory for
    // the list's stored form it could not write it: either way it writes nothing.
    for (int32_t successes : {0, 1}) {
        SCOPED_TRACE(successes); // the names, then the list
        TimingList timings;
        timings.Append(TimingOf(1024, 768, 60, {0}));
        NonStandardModeList modes;
        modes.AddMode(NonStandardMode{1024, 768, 0, 60});
        MemoryRegistry::ResetCounters();
        {
            ScopedAllocationFailure failing(successes);
            EXPECT_EQ(0, WriteStoredModes(driver, timings, modes));
        }
        EXPECT_EQ(0u, MemoryRegistry::Calls(MemoryRegistry::OpAny));
        EXPECT_EQ(ModeBytes, Get(ModeListValueName));
    }
}
