// The registry calls of the editor's device load and Apply, held exactly as formulas in the
// size of the driver key. For a key holding n timing values (d of them failing their
// checksum, so r = n - d records load), the mode list value with at least one entry, and k
// other values, v = n + 1 + k values in all:
//
//   LoadDevice, backup already taken    open 3, count 1, enum v, query 3, close 3
//     (the backup's state: open of the user's backup key, a query for its last value, the mark
//     of a whole copy, close; the mode list: open, size query, read, close; the timings: open,
//     count, v enumerations, close)
//   LoadDevice, first for this device   open 5, create 2, count 3, enum 2v + n + 1, query 5,
//     set w, close 6: the backup's state is read once and finds no backup key (an open, nothing
//     to close); the copy reads the whole driver key before it writes (open, count, v enumerations,
//     size and bytes of the list, close), then opens the company key, creates "Velmora" and the
//     device key, asks that key for its mark (a copy that ended part-way is taken again over what
//     it left), sets every timing value and the mode list, counts and walks the n + 1 values it now
//     holds for timing values the driver key lacks (a new key has none, so nothing is deleted), and
//     sets "Original Registry Path" last: w = n + 2 sets through that one handle, closing the three
//     keys; then the two loads as above
//   ApplyChanges                        open 2, query 1, set r + 1, count 1, enum v, delete d,
//     close 2 (the backup's state, whole: open, the mark's query, close; then one set per
//     record over its stored value, one set for the mode list, and one walk deleting the d
//     timings that no record names)
//
// No open or close per record anywhere. Every walk enumerates a value too large for its buffers
// twice (the second time for its name and length alone, which tells it from a failed
// enumeration): the list of more than 32 entries adds 1 to each walk's enum count.
#include "doubles/fake_registry_counts.h"
#include "doubles/fake_window_ops.h"
#include "editor/editor.h"
#include "store/backup.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

namespace {

using MemoryRegistry::ExpectCounts;
using MemoryRegistry::SetBinary;

const char KeyPath[] = "SYSTEM\\CurrentControlSet\\Services\\orvdisp\\Device0";

struct Device {
    uint32_t timings; // n
    uint32_t bad;     // d: the first d timings fail their checksum
    uint32_t others;  // k
};

// The company key exists (as the driver's installation leaves it); the program's own key and
// the device's backup key do not.
void MakeDevice(const Device& device) {
    MemoryRegistry::Reset();
    ASSERT_EQ(1, MemoryRegistry::CreateKey(RegistryCurrentUser, CompanyKeyPath));
    ASSERT_EQ(1, MemoryRegistry::CreateKey(RegistryLocalMachine, KeyPath));
    RegistryKey key;
    ASSERT_EQ(1, RegistryOpenKey(RegistryLocalMachine, KeyPath, &key));
    std::vector<uint8_t> list;
    for (uint32_t i = 0; i < device.timings; ++i) {
        uint8_t field[2];
        for (uint16_t f : {static_cast<uint16_t>(640 + i / 100),
                           static_cast<uint16_t>(400 + i % 100), uint16_t(0), uint16_t(75)}) {
            EncodeBcd4(field, f);
            list.insert(list.end(), field, field + 2);
        }
    }
    if (list.empty())
        list.assign(ModeStoredSize, 0); // the list has entries in every case
    SetBinary(key, ModeListValueName, list);
    for (uint32_t i = 0; i < device.timings; ++i) {
        TimingBlock block = {};
        block.words[2] = 1024 + i;
        block.words[TimingChecksumWord] = ComputeTimingChecksum(block.words) + (i < device.bad);
        uint8_t stored[TimingStoredSize];
        EncodeTimingBlock(block, stored);
        char name[RegistryBufferSize];
        ASSERT_EQ(1, FormatTimingValueName(640 + i / 100, 400 + i % 100, 75, name, sizeof name));
        SetBinary(key, name, std::vector<uint8_t>(stored, stored + TimingStoredSize));
        if (i == device.timings / 2)
            for (uint32_t j = 0; j < device.others; ++j) {
                char other[32];
                std::snprintf(other, sizeof other, "Other%u", j);
                SetBinary(key, other, {1});
            }
    }
    if (device.timings == 0)
        for (uint32_t j = 0; j < device.others; ++j) {
            char other[32];
            std::snprintf(other, sizeof other, "Other%u", j);
            SetBinary(key, other, {1});
        }
    RegistryCloseKey(key);
    MemoryRegistry::ResetCounters();
}

class EditorCallCountTest : public ::testing::TestWithParam<Device> {
protected:
    void SetUp() override {
        WindowStub::Reset();
        MakeDevice(GetParam());
        editor.mainWindow = WindowStub::MainWindow();
        ASSERT_EQ(1, editor.devices.Append("\\\\.\\DISPLAY1", KeyPath));
        ASSERT_EQ(1, editor.edit.Open(editor.devices.NameAt(0), KeyPath, 0));
    }
    void TearDown() override { MemoryRegistry::Reset(); }

    uint32_t Values() const { return GetParam().timings + 1 + GetParam().others; }
    // Enumerations of a walk over `values` values, the list among them with `entries` entries.
    static uint32_t Walk(uint32_t values, uint32_t entries) {
        return values + (entries * ModeStoredSize > RegistryBufferSize ? 1 : 0);
    }
    // Enumerations of a walk over the driver key as made, as the backup and the load walk it.
    uint32_t Walked() const { return Walk(Values(), GetParam().timings); }
    uint32_t Records() const { return GetParam().timings - GetParam().bad; }

    EditorState editor;
};

std::string DeviceName(const ::testing::TestParamInfo<Device>& info) {
    return "n" + std::to_string(info.param.timings) + "_bad" + std::to_string(info.param.bad) +
           "_others" + std::to_string(info.param.others);
}

const Device Devices[] = {{0, 0, 0}, {1, 0, 0}, {9, 3, 2}, {1000, 0, 1}};

} // namespace

TEST_P(EditorCallCountTest, FirstLoadCopiesEachValueOnceIntoTheBackup) {
    editor.LoadDevice();
    const uint32_t n = GetParam().timings;
    // The backup key's walk meets every timing value and the list, not the other values.
    ExpectCounts({5, 2, 3, 2 * Walked() + Walk(n + 1, n), 5, n + 2, 0, 6});
    EXPECT_EQ(Records(), WindowStub::Rows().size());
}

TEST_P(EditorCallCountTest, LaterLoadReadsTheKeyOnce) {
    editor.LoadDevice();
    MemoryRegistry::ResetCounters();
    editor.LoadDevice();
    // The backup check opens the backup key and asks for its last value, the mark of a whole copy.
    ExpectCounts({3, 0, 1, Walked(), 3, 0, 0, 3});
    EXPECT_EQ(Records(), WindowStub::Rows().size());
}

TEST_P(EditorCallCountTest, ApplyWalksOnceAndSetsEachRecord) {
    editor.LoadDevice();
    MemoryRegistry::ResetCounters();
    ASSERT_EQ(1, editor.ApplyChanges());
    // The walk runs after the sets: the d dropped timings are still there, and the list holds
    // the r entries the load kept (one, of 0 x 0, when the key has no timing).
    const uint32_t entries = GetParam().timings ? Records() : 1;
    ExpectCounts({2, 0, 1, Walk(Values(), entries), 1, Records() + 1, GetParam().bad, 2});
}

INSTANTIATE_TEST_SUITE_P(Devices, EditorCallCountTest, ::testing::ValuesIn(Devices), DeviceName);
