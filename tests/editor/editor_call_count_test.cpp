// The registry calls of the editor's device load and Apply, held exactly as formulas in the
// size of the driver key. For a key holding n timing values (d of them failing their
// checksum, so r = n - d records load), the mode list value with at least one entry, and k
// other values, v = n + 1 + k values in all:
//
//   LoadDevice, backup already taken    open 3, count 1, enum v, query 2, close 3
//     (the backup's existence check: open and close of the user's backup key; the mode list:
//     open, size query, read, close; the timings: open, count, v enumerations, close)
//   LoadDevice, first for this device   open 5, create 2, count 2, enum 2v, query 4, set w,
//     close 6: the check finds no backup key (an open, nothing to close); the backup reads the
//     whole driver key before it writes (open, count, v enumerations, size and bytes of the
//     list, close), then opens the company key, creates "Velmora" and the device key and sets
//     w = n + 2 values (every timing value, the mode list, "Original Registry Path") through
//     that one handle, closing the three keys; then the two loads as above
//   ApplyChanges                        open 2, set r + 1, count 1, enum v, delete d, close 2
//     (one set per record over its stored value, one walk deleting the d timings that no record
//     names, one set for the mode list)
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
        ASSERT_EQ(1, SetCurrentDevicePath(KeyPath));
    }
    void TearDown() override { MemoryRegistry::Reset(); }

    uint32_t Values() const { return GetParam().timings + 1 + GetParam().others; }
    // Enumerations of the timing load's or Apply's walk.
    uint32_t Walked() const {
        return Values() + (GetParam().timings * ModeStoredSize > RegistryBufferSize ? 1 : 0);
    }
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
    const uint32_t w = GetParam().timings + 2;
    ExpectCounts({5, 2, 2, 2 * Walked(), 4, w, 0, 6});
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
    ExpectCounts({2, 0, 1, Walked(), 0, Records() + 1, GetParam().bad, 2});
}

INSTANTIATE_TEST_SUITE_P(Devices, EditorCallCountTest, ::testing::ValuesIn(Devices), DeviceName);
