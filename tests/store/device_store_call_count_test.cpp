// How many registry calls of each kind the device store makes. The registry is the cost of a
// load or a save (each call is a round trip to the registry server on Windows), so the counts
// are held exactly, as formulas in the size of the key. For a driver key holding n timing
// values (d of them failing their checksum), the mode list value when `list` is 1 (e = 1 when
// it holds at least one entry), and k other values, v = n + list + k values in all:
//
//   NonStandardModeList::LoadFromDevice  open 1, query 1 + e (its size, then its bytes), close 1
//   TimingList::LoadFromDevice           open 1, count 1, enum v, close 1
//   DeleteStoredTimings                  open 1, count 1, enum v, delete n, close 1
//   WriteStoredModes (r records)         open 1, set r + 1 (every record, then the list),
//     count 1, enum v', delete p, close 1, where v' values are in the key after the sets (the
//     list among them, even when the key had none) and p of them are timing values that no
//     record names (after a load, the d timings that failed their checksum)
//
// Nothing else: no query of a timing by name, no open or close per record, no second walk.
#include "doubles/fake_registry_counts.h"
#include "store/device_store.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

namespace {

using MemoryRegistry::ExpectCounts;
using MemoryRegistry::SetBinary;

const char KeyPath[] = "SYSTEM\\CurrentControlSet\\Services\\orvdisp\\Device0";

// A driver key as the cases describe it. The values are interleaved (other values first, then
// the list, then the timings with the bad ones spread among them), so that no count depends on
// where a kind of value stands.
struct Device {
    uint32_t timings; // n
    uint32_t bad;     // d, the first d timings fail their checksum
    int list;         // the mode list value is present, with one entry per timing
    uint32_t others;  // k
};

void MakeDevice(const Device& device) {
    MemoryRegistry::Reset();
    ASSERT_EQ(1, MemoryRegistry::CreateKey(RegistryLocalMachine, KeyPath));
    RegistryKey key;
    ASSERT_EQ(1, RegistryOpenKey(RegistryLocalMachine, KeyPath, &key));
    for (uint32_t i = 0; i < device.others; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "Other%u", i);
        SetBinary(key, name, {1, 2, 3});
    }
    std::vector<uint8_t> list;
    for (uint32_t i = 0; i < device.timings; ++i) {
        uint8_t field[2];
        for (uint16_t f : {static_cast<uint16_t>(640 + i / 100),
                           static_cast<uint16_t>(400 + i % 100), uint16_t(0), uint16_t(60)}) {
            EncodeBcd4(field, f);
            list.insert(list.end(), field, field + 2);
        }
    }
    if (device.list)
        SetBinary(key, ModeListValueName, list);
    for (uint32_t i = 0; i < device.timings; ++i) {
        TimingBlock block = {};
        block.words[1] = 800 + i;
        block.words[TimingChecksumWord] = ComputeTimingChecksum(block.words) + (i < device.bad);
        uint8_t stored[TimingStoredSize];
        EncodeTimingBlock(block, stored);
        char name[RegistryBufferSize];
        ASSERT_EQ(1, FormatTimingValueName(640 + i / 100, 400 + i % 100, 60, name, sizeof name));
        SetBinary(key, name, std::vector<uint8_t>(stored, stored + TimingStoredSize));
    }
    RegistryCloseKey(key);
    MemoryRegistry::ResetCounters();
}

const Device Devices[] = {
    {0, 0, 0, 0}, {0, 0, 1, 2}, {1, 0, 1, 0}, {7, 2, 1, 3}, {7, 0, 0, 1}, {1000, 10, 1, 2},
};

class StoreCallCountTest : public ::testing::TestWithParam<Device> {
protected:
    void SetUp() override {
        MakeDevice(GetParam());
        ASSERT_EQ(1, driver.SetPath(KeyPath));
    }
    void TearDown() override { MemoryRegistry::Reset(); }

    uint32_t Values() const {
        const Device& d = GetParam();
        return d.timings + (d.list ? 1 : 0) + d.others;
    }
    // Enumerations of one walk over `values` values, the list among them with `entries` entries:
    // one per value, and a second for a value too large for the walk buffers (the list of more
    // than 32 entries), which tells it from a failed enumeration.
    static uint32_t Walk(uint32_t values, uint32_t entries) {
        return values + (entries * ModeStoredSize > RegistryBufferSize ? 1 : 0);
    }
    // Enumerations of a walk over the key as made.
    uint32_t Walked() const {
        const Device& d = GetParam();
        return Walk(Values(), d.list ? d.timings : 0);
    }

    DriverKey driver;
};

std::string DeviceName(const ::testing::TestParamInfo<Device>& info) {
    const Device& d = info.param;
    return "n" + std::to_string(d.timings) + "_bad" + std::to_string(d.bad) + "_list" +
           std::to_string(d.list) + "_others" + std::to_string(d.others);
}

} // namespace

TEST_P(StoreCallCountTest, ModeListLoadQueriesSizeThenBytes) {
    // An empty list value (no timings) is sized and not read.
    const Device& d = GetParam();
    NonStandardModeList modes;
    ASSERT_EQ(1, LoadModeList(driver, modes));
    uint32_t queries = 1 + (d.list && d.timings > 0 ? 1 : 0);
    ExpectCounts({1, 0, 0, 0, queries, 0, 0, 1});
    EXPECT_EQ(static_cast<int32_t>(d.list ? d.timings : 0), modes.Count());
}

TEST_P(StoreCallCountTest, TimingLoadEnumeratesEachValueOnce) {
    const Device& d = GetParam();
    NonStandardModeList modes;
    TimingList timings;
    ASSERT_EQ(1, timings.LoadFromDevice(driver, modes));
    ExpectCounts({1, 0, 1, Walked(), 0, 0, 0, 1});
    uint32_t loaded = 0;
    for (CustomTiming* t = timings.FirstTiming(); t; t = timings.NextTiming())
        ++loaded;
    EXPECT_EQ(d.timings - d.bad, loaded);
}

TEST_P(StoreCallCountTest, DeleteWalksOnceAndDeletesEachTiming) {
    ASSERT_EQ(1, DeleteStoredTimings(driver));
    ExpectCounts({1, 0, 1, Walked(), 0, 0, GetParam().timings, 1});
}

// Each record is set over its stored value and the list over its own (made when the key had
// none, so the walk meets it either way); only the dropped timings are deleted.
TEST_P(StoreCallCountTest, SaveSetsEachRecordAndTheListAndDeletesOnlyWhatNoRecordNames) {
    const Device& d = GetParam();
    NonStandardModeList modes;
    TimingList timings;
    ASSERT_EQ(1, LoadModeList(driver, modes));
    ASSERT_EQ(1, timings.LoadFromDevice(driver, modes));
    const uint32_t records = d.timings - d.bad;
    const uint32_t entries = d.list ? records : 0; // the load dropped the bad timings' entries
    MemoryRegistry::ResetCounters();
    ASSERT_EQ(1, WriteStoredModes(driver, timings, modes));
    ExpectCounts({1, 0, 1, Walk(d.timings + 1 + d.others, entries), 0, records + 1, d.bad, 1});

    // A new record and its entry add its value to the walk, which deletes nothing this time.
    CustomTiming added = {};
    added.width = 1600;
    added.height = 1200;
    added.refresh = 85;
    added.block.words[TimingChecksumWord] = ComputeTimingChecksum(added.block.words);
    ASSERT_EQ(1, timings.Append(added));
    ASSERT_EQ(1, modes.AddMode(NonStandardMode{1600, 1200, 0, 85}));
    MemoryRegistry::ResetCounters();
    ASSERT_EQ(1, WriteStoredModes(driver, timings, modes));
    ExpectCounts({1, 0, 1, Walk(records + 2 + d.others, entries + 1), 0, records + 2, 0, 1});
}

INSTANTIATE_TEST_SUITE_P(Devices, StoreCallCountTest, ::testing::ValuesIn(Devices), DeviceName);
