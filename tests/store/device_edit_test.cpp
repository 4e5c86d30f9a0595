// The device's edit: a timing and the entry of its mode kept in step, and a save that writes
// nothing unless it may write all.
#include "store/device_edit.h"

#include "support/alloc_failure.h"
#include "support/builders.h"
#include "support/registry_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const RegistryRoot Machine = RegistryLocalMachine;

class DeviceEditTest : public ::testing::Test {
protected:
    void SetUp() override {
        key = FixtureTestKey();
        FixtureDeleteTree(Machine, key);
        ASSERT_EQ(1, FixtureCreateKey(Machine, key));
        ASSERT_EQ(1, FixtureSetValue(Machine, key, TimingValueName(640, 480, 60),
                                     RegistryTypeBinary, StoredBytes(TimingOf(640, 480, 60, {1}))));
        ASSERT_EQ(1, FixtureSetValue(
                         Machine, key, ModeListValueName, RegistryTypeBinary,
                         ModeListBytes({ModeEntry(640, 480, 0, 60), ModeEntry(800, 600, 0, 0)})));
        ASSERT_EQ(1, edit.Open("DISPLAY1", key.c_str(), 0));
        ASSERT_EQ(1, edit.Load());
    }
    void TearDown() override { FixtureDeleteTree(Machine, key); }

    std::string key;
    DeviceEdit edit;
};

} // namespace

// Put replaces the record of its mode key in place; either way the entry is added only where no
// entry lists the mode already (its own refresh, or refresh 0 for every refresh).
TEST_F(DeviceEditTest, PutAndRemoveKeepTheEntryInStep) {
    const struct {
        CustomTiming timing;
        std::vector<std::string> timings, modes;
    } puts[] = {
        {TimingOf(640, 480, 60, {2}), {"640x480@60"}, {"640x480/0@60", "800x600/0@0"}},
        {TimingOf(800, 600, 75, {3}),
         {"640x480@60", "800x600@75"},
         {"640x480/0@60", "800x600/0@0"}},
        {TimingOf(1024, 768, 85),
         {"640x480@60", "800x600@75", "1024x768@85"},
         {"640x480/0@60", "800x600/0@0", "1024x768/0@85"}},
    };
    for (const auto& p : puts) {
        SCOPED_TRACE(TimingValueName(p.timing));
        ASSERT_EQ(1, edit.Put(p.timing));
        EXPECT_EQ(p.timings, TimingStrings(edit.timings));
        EXPECT_EQ(p.modes, ModeStrings(edit.modes));
        EXPECT_TRUE(
            SameTiming(p.timing, *edit.Find(p.timing.width, p.timing.height, p.timing.refresh)));
    }
    EXPECT_EQ(EditRemovedTiming | EditRemovedEntry, edit.Remove(1024, 768, 85));
    EXPECT_EQ(EditRemovedTiming, edit.Remove(800, 600, 75)); // the entry of every refresh stays
    EXPECT_EQ(0, edit.Remove(800, 600, 75));
    EXPECT_EQ((std::vector<std::string>{"640x480/0@60", "800x600/0@0"}), ModeStrings(edit.modes));

    // Without memory for the new entry, a Put over a record changes neither list (the editor's
    // tests hold Add without memory).
    {
        ScopedAllocationFailure failing;
        EXPECT_EQ(0, edit.Put(TimingOf(640, 480, 75)));
        EXPECT_EQ(0, edit.Put(TimingOf(1280, 1024, 60)));
    }
    EXPECT_EQ(std::vector<std::string>{"640x480@60"}, TimingStrings(edit.timings));
}

// A save that may not write all writes nothing, and says why.
TEST_F(DeviceEditTest, RefusedSavesWriteNothing) {
    const std::vector<std::string> stored = FixtureValueNames(Machine, key);
    edit.Put(TimingOf(10000, 600, 60));
    int why = -1;
    EXPECT_EQ(0, edit.Save(&why));
    EXPECT_EQ(EditNotStorable, why);

    DeviceEdit unread;
    ASSERT_EQ(1, unread.Open("DISPLAY1", key.c_str(), 0));
    unread.Put(TimingOf(800, 600, 60));
    EXPECT_EQ(0, unread.Save(&why));
    EXPECT_EQ(EditNotLoaded, why);
    EXPECT_EQ(stored, FixtureValueNames(Machine, key));

    const std::string tooLong(DevicePathSize, 'k');
    EXPECT_EQ(0, unread.Open("DISPLAY1", tooLong.c_str(), 0));
    EXPECT_EQ(0, unread.Open(tooLong.c_str(), key.c_str(), 0));
    EXPECT_EQ(0, unread.Load());
    EXPECT_STREQ("", unread.Key().path);
}
