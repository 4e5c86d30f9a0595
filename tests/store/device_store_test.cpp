#include "store/device_store.h"

#include "support/builders.h"
#include "support/registry_fixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const RegistryRoot Machine = RegistryLocalMachine;
const char VgaName[] = "QORDTMCRTBCD0640X0480X0X60";

// The 640 x 480 at 60 timing of the worked example: flags 12, then the raster words.
const std::vector<uint32_t> VgaWords = {12, 800, 640, 656, 96, 525, 480, 490, 2, 2518};

// A stored timing whose checksum does not hold: 68 zero bytes (computed 0xFFFF, stored 0).
const std::vector<uint8_t> BadStored(TimingStoredSize, 0);

} // namespace

// Every test works on a driver key of its own, named by FixtureTestKey().
class DeviceStore : public ::testing::Test {
protected:
    void SetUp() override {
        key = FixtureTestKey();
        FixtureDeleteTree(Machine, key);
        ASSERT_EQ(1, FixtureCreateKey(Machine, key));
        ASSERT_EQ(1, driver.SetPath(key.c_str()));
    }
    void TearDown() override { FixtureDeleteTree(Machine, key); }

    int Save(const TimingList& timings, const NonStandardModeList& modes = NonStandardModeList()) {
        return WriteStoredModes(driver, timings, modes);
    }

    void Put(const std::string& name, const std::vector<uint8_t>& data,
             uint32_t type = RegistryTypeBinary) {
        ASSERT_EQ(1, FixtureSetValue(Machine, key, name, type, data));
    }
    std::vector<uint8_t> Get(const std::string& name, uint32_t* type = nullptr) {
        std::vector<uint8_t> data;
        uint32_t ignored = 0;
        EXPECT_EQ(1, FixtureGetValue(Machine, key, name, &data, type ? type : &ignored)) << name;
        return data;
    }
    std::vector<std::string> Names() { return FixtureValueNames(Machine, key); }

    std::string key;
    DriverKey driver;
};

TEST_F(DeviceStore, TimingValueNames) {
    struct Case {
        uint32_t width, height, refresh;
        const char* name;
    } cases[] = {
        {640, 480, 60, "QORDTMCRTBCD0640X0480X0X60"},
        {1024, 768, 100, "QORDTMCRTBCD1024X0768X0X100"},
        {0, 0, 0, "QORDTMCRTBCD0000X0000X0X0"},
        {9999, 9999, 4294967295u, "QORDTMCRTBCD9999X9999X0X4294967295"},
        {10000, 600, 60, "QORDTMCRTBCD10000X0600X0X60"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        char name[RegistryBufferSize];
        ASSERT_EQ(1, FormatTimingValueName(c.width, c.height, c.refresh, name, sizeof name));
        EXPECT_STREQ(c.name, name);
        uint32_t width = 0, height = 0, refresh = 0;
        int scans = c.width < 10000 && c.height < 10000;
        ASSERT_EQ(scans, ScanTimingValueName(name, &width, &height, &refresh));
        if (scans) {
            EXPECT_EQ(c.width, width);
            EXPECT_EQ(c.height, height);
            EXPECT_EQ(c.refresh, refresh);
        }
    }

    // The buffer must hold the name and its terminating zero; a shorter one is refused whole.
    char exact[27];
    EXPECT_EQ(1, FormatTimingValueName(640, 480, 60, exact, sizeof exact));
    char shorter[26] = "untouched";
    EXPECT_EQ(0, FormatTimingValueName(640, 480, 60, shorter, sizeof shorter));
    EXPECT_STREQ("", shorter);
    EXPECT_EQ(0, FormatTimingValueName(640, 480, 60, nullptr, 0));
}

TEST_F(DeviceStore, ScanAcceptsOnlyTheWholeFormat) {
    struct Case {
        const char* name;
        int scans;
        uint32_t width, height, refresh;
    } cases[] = {
        {"QORDTMCRTBCD640X480X0X60", 1, 640, 480, 60},
        {"QORDTMCRTBCD1X2X0X3", 1, 1, 2, 3},
        {"QORDTMCRTBCD0640X0480X0X060", 1, 640, 480, 60},
        {"QORDTMCRTBCD0640X0480X0X4294967296", 0, 0, 0, 0},
        {"QORDTMCRTBCD0640X0480X0X", 0, 0, 0, 0},
        {"QORDTMCRTBCD0640X0480X0X60Z", 0, 0, 0, 0},
        {"QORDTMCRTBCD0640X0480X0X60 ", 0, 0, 0, 0},
        {"QORDTMCRTBCD0640X0480X1X60", 0, 0, 0, 0},
        {"QORDTMCRTBCD0640x0480X0X60", 0, 0, 0, 0},
        {"QORDTMCRTBCD0640X0480", 0, 0, 0, 0},
        {"QORDTMCRTBCDX0480X0X60", 0, 0, 0, 0},
        {"QORDTMCRTBCD00640X0480X0X60", 0, 0, 0, 0},
        {"QORDTMCRTBCD 640X0480X0X60", 0, 0, 0, 0},
        {"QORDTMCRTBCD+640X0480X0X60", 0, 0, 0, 0},
        {"QORDTMCRTBCD0640X0480X0X-60", 0, 0, 0, 0},
        {"qordtmcrtbcd0640X0480X0X60", 0, 0, 0, 0},
        {"XQORDTMCRTBCD0640X0480X0X60", 0, 0, 0, 0},
        {"QORDTMCRTBCD", 0, 0, 0, 0},
        {"", 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        uint32_t width = 7, height = 7, refresh = 7;
        ASSERT_EQ(c.scans, ScanTimingValueName(c.name, &width, &height, &refresh));
        EXPECT_EQ(c.scans ? c.width : 7u, width);
        EXPECT_EQ(c.scans ? c.height : 7u, height);
        EXPECT_EQ(c.scans ? c.refresh : 7u, refresh);
    }
    uint32_t w, h, r;
    EXPECT_EQ(0, ScanTimingValueName(nullptr, &w, &h, &r));
}

TEST_F(DeviceStore, TimingPrefixIsCaseSensitiveAndAtTheStart) {
    EXPECT_EQ(1, IsTimingValueName("QORDTMCRTBCD"));
    EXPECT_EQ(1, IsTimingValueName("QORDTMCRTBCDanything"));
    EXPECT_EQ(0, IsTimingValueName("QORDTMCRTBC"));
    EXPECT_EQ(0, IsTimingValueName("qordtmcrtbcd0640X0480X0X60"));
    EXPECT_EQ(0, IsTimingValueName("XQORDTMCRTBCD0640X0480X0X60"));
    EXPECT_EQ(0, IsTimingValueName("QORNonStandardModesBCD"));
    EXPECT_EQ(0, IsTimingValueName(nullptr));
}

TEST_F(DeviceStore, DriverKeyPathIsBounded) {
    std::string longest(DevicePathSize - 1, 'k');
    EXPECT_EQ(1, driver.SetPath(longest.c_str()));
    EXPECT_EQ(longest, driver.path);

    std::string tooLong(DevicePathSize, 'k');
    EXPECT_EQ(0, driver.SetPath(tooLong.c_str()));
    EXPECT_STREQ("", driver.path);

    EXPECT_EQ(1, driver.SetPath(key.c_str()));
    EXPECT_EQ(0, driver.SetPath(nullptr));
    EXPECT_STREQ("", driver.path);

    // A part of the buffer itself, as a caller holding on to it might pass.
    ASSERT_EQ(1, driver.SetPath("Software\\Device"));
    EXPECT_EQ(1, driver.SetPath(driver.path));
    EXPECT_STREQ("Software\\Device", driver.path);
    EXPECT_EQ(1, driver.SetPath(driver.path + 9));
    EXPECT_STREQ("Device", driver.path);
}

TEST_F(DeviceStore, WorkedExample) {
    Put(VgaName, StoredBytes(SealedBlock(VgaWords)));
    Put("QORDTMCRTBCD0800X0600X0X75", BadStored);
    const std::vector<uint8_t> modeBytes =
        ModeListBytes({ModeEntry(640, 480, 0, 60), ModeEntry(800, 600, 0, 75)});
    Put(ModeListValueName, modeBytes);

    NonStandardModeList modes;
    TimingList timings;
    ASSERT_EQ(1, LoadModeList(driver, modes));
    ASSERT_EQ(1, timings.LoadFromDevice(driver, modes));

    CustomTiming* only = timings.TimingAt(0);
    ASSERT_NE(nullptr, only);
    EXPECT_TRUE(SameTiming(TimingOf(640, 480, 60, VgaWords), *only));
    EXPECT_EQ(0xE7B4u, only->block.words[TimingChecksumWord]);
    EXPECT_EQ(nullptr, timings.TimingAt(1));
    EXPECT_EQ(std::vector<std::string>{"640x480/0@60"}, ModeStrings(modes));

    ASSERT_EQ(1, Save(timings, modes));
    EXPECT_EQ((std::vector<std::string>{VgaName, ModeListValueName}), Names());
    const std::vector<uint8_t> vgaBytes = {
        0x00, 0x00, 0x00, 0x12, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x06, 0x40, 0x00, 0x00,
        0x06, 0x56, 0x00, 0x00, 0x00, 0x96, 0x00, 0x00, 0x05, 0x25, 0x00, 0x00, 0x04, 0x80,
        0x00, 0x00, 0x04, 0x90, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x25, 0x18, 0,    0,
        0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
        0,    0,    0,    0,    0,    0,    0,    0,    0x00, 0x00, 0xE7, 0xB4};
    uint32_t type = 0;
    EXPECT_EQ(vgaBytes, Get(VgaName, &type));
    EXPECT_EQ(RegistryTypeBinary, type);
    EXPECT_EQ((std::vector<uint8_t>{0x06, 0x40, 0x04, 0x80, 0x00, 0x00, 0x00, 0x60}),
              Get(ModeListValueName, &type));
    EXPECT_EQ(RegistryTypeBinary, type);
}

TEST_F(DeviceStore, KeyWithoutModeValuesLoadsEmpty) {
    Put("Other", {1, 2, 3});
    NonStandardModeList modes;
    TimingList timings;
    modes.AddMode(ModeEntry(640, 480, 0, 60));
    timings.Append(TimingOf(640, 480, 60));
    EXPECT_EQ(1, LoadModeList(driver, modes));
    EXPECT_EQ(1, timings.LoadFromDevice(driver, modes));
    EXPECT_EQ(0, modes.Count());
    EXPECT_EQ(nullptr, timings.FirstTiming());
}

TEST_F(DeviceStore, MissingKeyOrPathFailsAndEmptiesTheLists) {
    for (int emptyPath = 0; emptyPath < 2; ++emptyPath) {
        SCOPED_TRACE(emptyPath);
        ASSERT_EQ(1, driver.SetPath(emptyPath ? "" : (key + "\\Missing").c_str()));
        NonStandardModeList modes;
        TimingList timings;
        modes.AddMode(ModeEntry(640, 480, 0, 60));
        timings.Append(TimingOf(640, 480, 60));
        EXPECT_EQ(0, LoadModeList(driver, modes));
        EXPECT_EQ(0, timings.LoadFromDevice(driver, modes));
        EXPECT_EQ(0, modes.Count());
        EXPECT_EQ(nullptr, timings.FirstTiming());

        modes.AddMode(ModeEntry(640, 480, 0, 60));
        timings.Append(TimingOf(640, 480, 60));
        EXPECT_EQ(0, DeleteStoredTimings(driver));
        EXPECT_EQ(0, Save(timings, modes));
    }
    EXPECT_FALSE(FixtureKeyExists(Machine, key + "\\Missing"));
    EXPECT_TRUE(Names().empty());
}

// Only names that begin with the prefix exactly are timing values.
TEST_F(DeviceStore, OtherNamesAreNeitherLoadedNorDeleted) {
    const std::vector<uint8_t> vga = StoredBytes(SealedBlock(VgaWords));
    Put("qordtmcrtbcd0640X0480X0X60", vga);
    Put("XQORDTMCRTBCD0640X0480X0X60", vga);
    Put("QORDTMCRTBC", vga);
    Put(ModeListValueName, {});

    NonStandardModeList modes;
    TimingList timings;
    ASSERT_EQ(1, timings.LoadFromDevice(driver, modes));
    EXPECT_EQ(nullptr, timings.FirstTiming());
    ASSERT_EQ(1, DeleteStoredTimings(driver));
    EXPECT_EQ(
        (std::vector<std::string>{"QORDTMCRTBC", ModeListValueName, "XQORDTMCRTBCD0640X0480X0X60",
                                  "qordtmcrtbcd0640X0480X0X60"}),
        Names());
}

// The type is not looked at on reading; the save writes binary.
TEST_F(DeviceStore, TextValueIsLoadedAndRewrittenAsBinary) {
    Put(VgaName, StoredBytes(SealedBlock(VgaWords)), RegistryTypeSz);
    NonStandardModeList modes;
    TimingList timings;
    ASSERT_EQ(1, timings.LoadFromDevice(driver, modes));
    ASSERT_NE(nullptr, timings.FirstTiming());
    EXPECT_TRUE(SameTiming(TimingOf(640, 480, 60, VgaWords), *timings.FirstTiming()));
    ASSERT_EQ(1, Save(timings));
    uint32_t type = 0;
    EXPECT_EQ(StoredBytes(SealedBlock(VgaWords)), Get(VgaName, &type));
    EXPECT_EQ(RegistryTypeBinary, type);
}

// Data of any length up to the walk buffer is decided by its checksum: longer data is taken up
// to 68 bytes, shorter data has its missing bytes read as 0.
TEST_F(DeviceStore, TimingDataLength) {
    // Flags 255 give the checksum 0xFF00, stored 00 00 FF 00: its last byte may be missing.
    const std::vector<uint8_t> lowZero = StoredBytes(SealedBlock({255}));
    ASSERT_EQ(0x00, lowZero[67]);
    const std::vector<uint8_t> vga = StoredBytes(SealedBlock(VgaWords));
    struct Case {
        const char* what;
        std::vector<uint8_t> data;
        bool loaded;
    } cases[] = {
        {"68 bytes", vga, true},
        {"100 bytes", vga, true},
        {"260 bytes", vga, true},
        {"67 bytes, the missing one is 0", {lowZero.begin(), lowZero.end() - 1}, true},
        {"67 bytes, the missing one is not 0", {vga.begin(), vga.end() - 1}, false},
        {"64 bytes", {vga.begin(), vga.begin() + 64}, false},
        {"no bytes", {}, false},
    };
    cases[1].data.resize(100, 0xEE);
    cases[2].data.resize(260, 0xEE);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Put(VgaName, c.data);
        NonStandardModeList modes;
        modes.AddMode(ModeEntry(640, 480, 0, 60));
        TimingList timings;
        ASSERT_EQ(1, timings.LoadFromDevice(driver, modes));
        EXPECT_EQ(c.loaded, timings.FirstTiming() != nullptr);
        EXPECT_EQ(c.loaded ? 1 : 0, modes.Count());
    }
}

TEST_F(DeviceStore, SavingAnEmptyListDeletesOnlyTimingValues) {
    Put(VgaName, StoredBytes(SealedBlock(VgaWords)));
    Put("QORDTMCRTBCD0800X0600X0X75", BadStored);
    Put(ModeListValueName, ModeListBytes({ModeEntry(640, 480, 0, 60)}));
    Put("Other", {9});
    TimingList timings;
    ASSERT_EQ(1, Save(timings));
    EXPECT_EQ((std::vector<std::string>{"Other", ModeListValueName}), Names());
}

TEST_F(DeviceStore, DeleteVisitsEveryValueOnce) {
    // Interleaved, so that each delete moves a value that must still be looked at.
    const char* names[] = {"A0",
                           "QORDTMCRTBCD0640X0480X0X60",
                           "QORDTMCRTBCD0800X0600X0X60",
                           "A1",
                           "A2",
                           "QORDTMCRTBCD1024X0768X0X60",
                           "A3",
                           "A4",
                           "QORDTMCRTBCDgarbage",
                           "A5"};
    for (const char* name : names)
        Put(name, {1});
    ASSERT_EQ(1, DeleteStoredTimings(driver));
    EXPECT_EQ((std::vector<std::string>{"A0", "A1", "A2", "A3", "A4", "A5"}), Names());
    ASSERT_EQ(1, DeleteStoredTimings(driver)); // nothing left to delete is no failure
}

TEST_F(DeviceStore, EqualModeKeysShareOneValue) {
    TimingList timings;
    timings.Append(TimingOf(800, 600, 75, {1}));
    timings.Append(TimingOf(640, 480, 60, VgaWords));
    timings.Append(TimingOf(800, 600, 75, {2}));
    ASSERT_EQ(1, Save(timings));
    EXPECT_EQ((std::vector<std::string>{VgaName, "QORDTMCRTBCD0800X0600X0X75", ModeListValueName}),
              Names());
    EXPECT_EQ(StoredBytes(SealedBlock({2})), Get("QORDTMCRTBCD0800X0600X0X75"));
}

TEST_F(DeviceStore, SaveThenLoadGivesTheSameRecords) {
    const std::vector<CustomTiming> records = {
        TimingOf(640, 480, 60, VgaWords),
        TimingOf(1024, 768, 100, {8, 1344, 1024, 1048, 136, 806, 768, 771, 6, 6500, 1, 2, 3, 4}),
        TimingOf(1600, 1200, 85, {15, 0, 0, 0, 0, 0, 0, 0, 0, 159999999, 0, 0, 0, 0, 5, 6}),
        TimingOf(9999, 1, 0, {99999999}),
    };
    TimingList timings;
    for (const CustomTiming& t : records)
        timings.Append(t);
    ASSERT_EQ(1, Save(timings));

    NonStandardModeList modes;
    TimingList back;
    ASSERT_EQ(1, back.LoadFromDevice(driver, modes));
    // The registry decides the order; every record comes back once.
    size_t found = 0;
    for (CustomTiming* t = back.FirstTiming(); t; t = back.NextTiming(), ++found) {
        bool matched = false;
        for (const CustomTiming& r : records)
            matched = matched || SameTiming(r, *t);
        EXPECT_TRUE(matched) << t->width << "x" << t->height << "@" << t->refresh;
    }
    EXPECT_EQ(records.size(), found);
}

// A record that its stored value would not give back (a word of 160,000,000 or more reads back
// smaller and fails its checksum; a five-digit width or height does not scan) is refused before
// anything is deleted. Written, it would lose the stored value it came from and be dropped with
// its mode at the next load while the save said 1.
TEST_F(DeviceStore, RecordsTheStoredFormCannotCarryAreRefusedBeforeAnythingChanges) {
    const struct {
        const char* what;
        CustomTiming timing;
    } cases[] = {
        {"word 160,000,000", TimingOf(800, 600, 60, {0, 0, 0, 0, 0, 0, 0, 0, 0, 160000000})},
        {"word 166,666,665 as a hostile value loads",
         TimingOf(800, 600, 60, {166666665, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
        {"width 10,000", TimingOf(10000, 600, 60)},
        {"height 65,535", TimingOf(800, 65535, 60)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Put(VgaName, StoredBytes(SealedBlock(VgaWords)));
        TimingList timings;
        timings.Append(TimingOf(1024, 768, 60));
        timings.Append(c.timing);
        EXPECT_EQ(0, Save(timings));
        EXPECT_EQ(std::vector<std::string>{VgaName}, Names());
        EXPECT_EQ(StoredBytes(SealedBlock(VgaWords)), Get(VgaName));
    }
    TimingList timings;
    timings.Append(TimingOf(9999, 9999, 60, {159999999, 0, 0, 0, 0, 0, 0, 0, 0, 99999999}));
    ASSERT_EQ(1, Save(timings));
    NonStandardModeList modes;
    ASSERT_EQ(1, timings.LoadFromDevice(driver, modes));
    ASSERT_NE(nullptr, timings.FirstTiming());
    EXPECT_EQ(159999999u, timings.FirstTiming()->block.words[0]);
}

// A stored list entry with a field of 16,000 or more (bytes FA 00 and above) would be written
// back as another mode: the list is refused whole and the stored value stays as it was.
TEST_F(DeviceStore, ModeListFieldsTheStoredFormCannotCarryAreRefused) {
    const std::vector<uint8_t> hostile = {0x06, 0x40, 0x04, 0x80, 0x00, 0x00, 0x00, 0x60,
                                          0xFA, 0x01, 0x06, 0x00, 0x00, 0x00, 0x00, 0x60};
    Put(ModeListValueName, hostile);
    NonStandardModeList modes;
    ASSERT_EQ(1, LoadModeList(driver, modes));
    EXPECT_EQ((std::vector<std::string>{"640x480/0@60", "16001x600/0@60"}), ModeStrings(modes));
    EXPECT_EQ(0, Save(TimingList(), modes));
    EXPECT_EQ(hostile, Get(ModeListValueName));

    NonStandardModeList plain;
    plain.AddMode(ModeEntry(15999, 15999, 15999, 15999));
    ASSERT_EQ(1, Save(TimingList(), plain));
    ASSERT_EQ(1, LoadModeList(driver, plain));
    EXPECT_EQ(std::vector<std::string>{"15999x15999/15999@15999"}, ModeStrings(plain));
}

// A failing timing takes the non-standard entry of its own refresh, never one of refresh 0.
TEST_F(DeviceStore, FailedChecksumRemovesTheEntryOfItsRefresh) {
    struct Case {
        uint32_t refresh;
        std::vector<std::string> left;
    } cases[] = {
        {75, {"800x600/0@60", "800x600/0@0"}},
        {60, {"800x600/0@75", "800x600/0@0"}},
        {85, {"800x600/0@60", "800x600/0@75", "800x600/0@0"}},
        {0, {"800x600/0@60", "800x600/0@75", "800x600/0@0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.refresh);
        ASSERT_EQ(1, DeleteStoredTimings(driver));
        Put("QORDTMCRTBCD0800X0600X0X" + std::to_string(c.refresh), BadStored);
        Put(ModeListValueName,
            ModeListBytes({ModeEntry(800, 600, 0, 60), ModeEntry(800, 600, 0, 75),
                           ModeEntry(800, 600, 0, 0)}));
        NonStandardModeList modes;
        TimingList timings;
        ASSERT_EQ(1, LoadModeList(driver, modes));
        ASSERT_EQ(1, timings.LoadFromDevice(driver, modes));
        EXPECT_EQ(nullptr, timings.FirstTiming());
        EXPECT_EQ(c.left, ModeStrings(modes));
    }
}

// A name that does not scan is skipped before its data is looked at, so it removes no entry;
// the save still deletes it, since deleting goes by the prefix alone.
TEST_F(DeviceStore, MalformedNamesAreSkippedButDeleted) {
    const char* names[] = {"QORDTMCRTBCD0800X0600X0X", "QORDTMCRTBCD0800X0600X0X75extra",
                           "QORDTMCRTBCD10000X0600X0X75", "QORDTMCRTBCD0800X0600"};
    for (const char* name : names)
        Put(name, BadStored);
    Put("QORDTMCRTBCD0800X0600X1X75", StoredBytes(SealedBlock(VgaWords)));
    Put(ModeListValueName, ModeListBytes({ModeEntry(800, 600, 0, 75)}));

    NonStandardModeList modes;
    TimingList timings;
    ASSERT_EQ(1, LoadModeList(driver, modes));
    ASSERT_EQ(1, timings.LoadFromDevice(driver, modes));
    EXPECT_EQ(nullptr, timings.FirstTiming());
    EXPECT_EQ(std::vector<std::string>{"800x600/0@75"}, ModeStrings(modes));

    ASSERT_EQ(1, Save(timings));
    EXPECT_EQ(std::vector<std::string>{ModeListValueName}, Names());
}

// A name stored in another case is the registry value that a record's set replaces, and the set
// keeps that name, which the load would not read: the save writes the value again under the
// record's own name. A name in another case that no record writes is left alone, and names that
// scan as a record's mode but are not its name (digits padded otherwise) are other values.
TEST_F(DeviceStore, ANameInAnotherCaseIsWrittenAgainUnderTheRecordsOwn) {
    Put("qordtmcrtbcd0640X0480X0X60", BadStored);
    Put("QORDTMCRTBCD0800x0600x0x75", BadStored);
    Put("qordtmcrtbcd1024X0768X0X60", BadStored);
    Put("QORDTMCRTBCD800X0600X0X75", BadStored);
    Put("QORDTMCRTBCD0800X0600X0X075", BadStored);
    TimingList timings;
    timings.Append(TimingOf(640, 480, 60, VgaWords));
    timings.Append(TimingOf(800, 600, 75, {1}));
    ASSERT_EQ(1, Save(timings));
    EXPECT_EQ((std::vector<std::string>{VgaName, "QORDTMCRTBCD0800X0600X0X75", ModeListValueName,
                                        "qordtmcrtbcd1024X0768X0X60"}),
              Names());
    NonStandardModeList modes;
    TimingList back;
    ASSERT_EQ(1, back.LoadFromDevice(driver, modes));
    EXPECT_EQ(2u, TimingStrings(back).size());
}

// A name or data beyond the 260-byte walk buffers cannot be enumerated: skipped by the load and
// left in place by the delete, which still counts as a complete walk.
TEST_F(DeviceStore, ValuesBeyondTheWalkBuffersAreLeftAlone) {
    const std::string longName = std::string(VgaName) + std::string(300, '0');
    std::vector<uint8_t> longData = StoredBytes(SealedBlock(VgaWords));
    longData.resize(261, 0);
    Put(longName, StoredBytes(SealedBlock(VgaWords)));
    Put("QORDTMCRTBCD0800X0600X0X75", longData);
    Put("QORDTMCRTBCD1024X0768X0X60", StoredBytes(SealedBlock({1})));

    NonStandardModeList modes;
    TimingList timings;
    ASSERT_EQ(1, timings.LoadFromDevice(driver, modes));
    EXPECT_EQ(std::vector<std::string>{"1024x768@60"}, TimingStrings(timings));
    ASSERT_EQ(1, DeleteStoredTimings(driver));
    EXPECT_EQ((std::vector<std::string>{longName, "QORDTMCRTBCD0800X0600X0X75"}), Names());
}

// More than 32 entries no longer fit 260 bytes; the whole list is read and written back.
TEST_F(DeviceStore, LongModeListLoadsWhole) {
    for (uint16_t entries : {32, 33, 40, 500}) {
        SCOPED_TRACE(entries);
        std::vector<NonStandardMode> stored;
        for (uint16_t i = 0; i < entries; ++i)
            stored.push_back(ModeEntry(static_cast<uint16_t>(640 + i), 480, i, 60));
        const std::vector<uint8_t> bytes = ModeListBytes(stored);
        Put(ModeListValueName, bytes);

        NonStandardModeList modes;
        ASSERT_EQ(1, LoadModeList(driver, modes));
        EXPECT_EQ(entries, modes.Count());
        ASSERT_EQ(1, Save(TimingList(), modes));
        EXPECT_EQ(bytes, Get(ModeListValueName));
    }
}

TEST_F(DeviceStore, ModeListValueShapes) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        uint32_t type;
        std::vector<std::string> entries;
    } cases[] = {
        {"empty value", {}, RegistryTypeBinary, {}},
        {"partial last group ignored",
         {0x06, 0x40, 0x04, 0x80, 0x00, 0x00, 0x00, 0x60, 0x08, 0x00, 0x06, 0x00, 0x00},
         RegistryTypeBinary,
         {"640x480/0@60"}},
        {"shorter than a group", {0x06, 0x40, 0x04}, RegistryTypeBinary, {}},
        {"type not looked at",
         {0x06, 0x40, 0x04, 0x80, 0x00, 0x00, 0x00, 0x60},
         RegistryTypeSz,
         {"640x480/0@60"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Put(ModeListValueName, c.bytes, c.type);
        NonStandardModeList modes;
        modes.AddMode(ModeEntry(1, 1, 0, 1));
        ASSERT_EQ(1, LoadModeList(driver, modes));
        EXPECT_EQ(c.entries, ModeStrings(modes));
    }
}

// An empty list is written as a present value of length 0.
TEST_F(DeviceStore, EmptyModeListIsWrittenAsEmptyValue) {
    Put(ModeListValueName, ModeListBytes({ModeEntry(640, 480, 0, 60)}));
    NonStandardModeList modes;
    ASSERT_EQ(1, Save(TimingList(), modes));
    uint32_t type = 0;
    EXPECT_TRUE(Get(ModeListValueName, &type).empty());
    EXPECT_EQ(RegistryTypeBinary, type);
    EXPECT_EQ(std::vector<std::string>{ModeListValueName}, Names());
}

// Loading one device after another leaves exactly the last device's entries.
TEST_F(DeviceStore, ReloadReplacesTheLists) {
    const std::string other = key + "\\Other";
    ASSERT_EQ(1, FixtureCreateKey(Machine, other));
    ASSERT_EQ(1, FixtureSetValue(Machine, other, ModeListValueName, RegistryTypeBinary,
                                 ModeListBytes({ModeEntry(800, 600, 0, 75)})));
    ASSERT_EQ(1, FixtureSetValue(Machine, other, "QORDTMCRTBCD0800X0600X0X75", RegistryTypeBinary,
                                 StoredBytes(SealedBlock({1}))));
    Put(ModeListValueName, ModeListBytes({ModeEntry(640, 480, 0, 60), ModeEntry(1024, 768, 0, 0)}));
    Put(VgaName, StoredBytes(SealedBlock(VgaWords)));

    NonStandardModeList modes;
    TimingList timings;
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(1, driver.SetPath(key.c_str()));
        ASSERT_EQ(1, LoadModeList(driver, modes));
        ASSERT_EQ(1, timings.LoadFromDevice(driver, modes));
        EXPECT_EQ((std::vector<std::string>{"640x480/0@60", "1024x768/0@0"}), ModeStrings(modes));
        EXPECT_EQ(std::vector<std::string>{"640x480@60"}, TimingStrings(timings));

        ASSERT_EQ(1, driver.SetPath(other.c_str()));
        ASSERT_EQ(1, LoadModeList(driver, modes));
        ASSERT_EQ(1, timings.LoadFromDevice(driver, modes));
        EXPECT_EQ(std::vector<std::string>{"800x600/0@75"}, ModeStrings(modes));
        EXPECT_EQ(std::vector<std::string>{"800x600@75"}, TimingStrings(timings));
    }
}

TEST_F(DeviceStore, SaveKeepsTheCursor) {
    TimingList timings;
    for (uint32_t i = 0; i < 3; ++i)
        timings.Append(TimingOf(640 + i, 480, 60));
    ASSERT_NE(nullptr, timings.TimingAt(1));
    ASSERT_EQ(1, Save(timings));
    CustomTiming* next = timings.NextTiming();
    ASSERT_NE(nullptr, next);
    EXPECT_EQ(642u, next->width);
}

TEST_F(DeviceStore, TimingListIndexes) {
    TimingList timings;
    EXPECT_EQ(nullptr, timings.TimingAt(0));
    EXPECT_EQ(0, timings.RemoveAt(0));
    EXPECT_EQ(0, timings.RefreshChecksumAt(0));
    EXPECT_EQ(nullptr, timings.FirstTiming());
    EXPECT_EQ(nullptr, timings.NextTiming());

    for (uint32_t i = 0; i < 3; ++i)
        ASSERT_EQ(1, timings.Append(TimingOf(640 + i, 480, 60)));
    EXPECT_EQ(nullptr, timings.TimingAt(3));
    EXPECT_EQ(nullptr, timings.TimingAt(-1));
    EXPECT_EQ(0, timings.RemoveAt(3));
    EXPECT_EQ(0, timings.RemoveAt(-1));

    // A failed lookup leaves the cursor where it was.
    ASSERT_NE(nullptr, timings.TimingAt(0));
    EXPECT_EQ(nullptr, timings.TimingAt(5));
    ASSERT_NE(nullptr, timings.NextTiming());
    EXPECT_EQ(641u, timings.TimingAt(1)->width);

    // Removing the last record and appending puts the new one last.
    ASSERT_EQ(1, timings.RemoveAt(2));
    ASSERT_EQ(1, timings.Append(TimingOf(800, 600, 75)));
    EXPECT_EQ((std::vector<std::string>{"640x480@60", "641x480@60", "800x600@75"}),
              TimingStrings(timings));

    ASSERT_EQ(1, timings.RemoveAt(0));
    ASSERT_EQ(1, timings.RemoveAt(0));
    ASSERT_EQ(1, timings.RemoveAt(0));
    EXPECT_EQ(nullptr, timings.FirstTiming());
    ASSERT_EQ(1, timings.Append(TimingOf(1, 2, 3)));
    EXPECT_EQ(std::vector<std::string>{"1x2@3"}, TimingStrings(timings));
}

TEST_F(DeviceStore, RemovingTheCursorRecordEndsTheWalk) {
    TimingList timings;
    for (uint32_t i = 0; i < 3; ++i)
        timings.Append(TimingOf(640 + i, 480, 60));
    ASSERT_NE(nullptr, timings.TimingAt(1));
    ASSERT_EQ(1, timings.RemoveAt(1));
    EXPECT_EQ(nullptr, timings.NextTiming());
    EXPECT_EQ((std::vector<std::string>{"640x480@60", "642x480@60"}), TimingStrings(timings));
}

// Records are changed in place through TimingAt; the checksum follows only on request, and the
// mode key takes no part in it.
TEST_F(DeviceStore, RefreshChecksumAt) {
    TimingList timings;
    timings.Append(TimingOf(640, 480, 60));
    timings.Append(TimingOf(800, 600, 60));
    CustomTiming* record = timings.TimingAt(1);
    ASSERT_NE(nullptr, record);
    EXPECT_EQ(0xFFFFu, record->block.words[TimingChecksumWord]);
    for (size_t i = 0; i < VgaWords.size(); ++i)
        record->block.words[i] = VgaWords[i];
    EXPECT_EQ(0xFFFFu, timings.TimingAt(1)->block.words[TimingChecksumWord]);
    ASSERT_EQ(1, timings.RefreshChecksumAt(1));
    EXPECT_EQ(0xE7B4u, timings.TimingAt(1)->block.words[TimingChecksumWord]);
    record->width = 1024;
    record->refresh = 85;
    ASSERT_EQ(1, timings.RefreshChecksumAt(1));
    EXPECT_EQ(0xE7B4u, timings.TimingAt(1)->block.words[TimingChecksumWord]);
    EXPECT_EQ(0xFFFFu, timings.TimingAt(0)->block.words[TimingChecksumWord]);
}
