// What another tool, an older driver or a half-finished write may leave in a driver key, and
// what a driver may answer: each case is loaded, saved and loaded again, and nothing valid may
// be lost. The same source runs natively on the in-memory registry and under Wine on the real
// one. Every case below is one that the real registry can hold, so both runs use the whole
// table; a case it could not hold would be left out of the Win32 table, not skipped.
#include "devices/discovery.h"
#include "doubles/fake_display_services.h"
#include "store/device_store.h"
#include "support/builders.h"
#include "support/registry_fixture.h"
#include "support/stored_value.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

const RegistryRoot Machine = RegistryLocalMachine;

// Stored bytes with the checksum recomputed from what the words decode to, so that the value
// passes its checksum whatever its nibbles.
std::vector<uint8_t> Sealed(std::vector<uint8_t> data) {
    data.resize(TimingStoredSize, 0);
    TimingBlock block;
    DecodeTimingBlock(data.data(), &block);
    uint32_t sum = ComputeTimingChecksum(block.words);
    data[64] = data[65] = 0;
    data[66] = static_cast<uint8_t>(sum >> 8);
    data[67] = static_cast<uint8_t>(sum);
    return data;
}

std::vector<uint8_t> Resized(std::vector<uint8_t> data, size_t size, uint8_t fill = 0x5A) {
    data.resize(size, fill);
    return data;
}

// The stored list of `entries` distinct modes.
std::vector<uint8_t> ModeBytes(uint32_t entries) {
    std::vector<NonStandardMode> modes;
    for (uint32_t i = 0; i < entries; ++i)
        modes.push_back(ModeEntry(static_cast<uint16_t>(320 + i % 9000),
                                  static_cast<uint16_t>(200 + i / 9000), 0,
                                  static_cast<uint16_t>(50 + i % 7)));
    return ModeListBytes(modes);
}

// Every case's key also holds a valid timing, the mode list (unless the case brings its own) and
// a value that is not ours.
const CustomTiming Baseline = TimingOfBlock(800, 600, 72, RisingBlock(12, 100, 37));

struct Case {
    const char* what;
    std::vector<Value> values;
    std::vector<std::string> loads; // mode keys that the first load takes besides the baseline
    int saved;                      // what the save returns
    int32_t modeEntries;            // entries of the first load's list; -1: not checked
};

std::vector<Value> Snapshot(const std::string& key) {
    std::vector<Value> values;
    for (const std::string& name : FixtureValueNames(Machine, key)) {
        Value v{name, 0, {}};
        EXPECT_EQ(1, FixtureGetValue(Machine, key, name, &v.data, &v.type)) << name.size();
        values.push_back(v);
    }
    return values;
}

std::vector<Case> Catalogue() {
    const std::vector<uint8_t> vga =
        StoredBytes(TimingOfBlock(640, 480, 60, RisingBlock(12, 0, 37)));
    const std::string vgaName = TimingValueName(640, 480, 60);
    std::vector<Case> cases;

    // Value names around the walk buffer's 260 bytes, and the registry's longest.
    for (size_t length : {259u, 260u, 261u, 16383u}) {
        cases.push_back({"a long name with the prefix",
                         {{std::string(TimingValuePrefix) + std::string(length - 12, '7'),
                           RegistryTypeBinary, vga}},
                         {},
                         1,
                         -1});
        cases.push_back(
            {"a long name of another value", {{std::string(length, 'N'), 3, vga}}, {}, 1, -1});
    }

    // Timing data of every length around 68 and the walk buffer.
    const struct {
        size_t size;
        int loads;
    } lengths[] = {{0, 0},   {1, 0},   {67, 0},  {68, 1},    {69, 1},
                   {260, 1}, {261, 0}, {300, 0}, {100000, 0}};
    for (const auto& l : lengths)
        cases.push_back(
            {"timing data of one length",
             {{vgaName, RegistryTypeBinary, Resized(vga, l.size)}},
             l.loads ? std::vector<std::string>{"640x480@60"} : std::vector<std::string>{},
             1,
             -1});
    // Data cut short where the missing bytes are the zeros they read as.
    CustomTiming zeroSum{};
    zeroSum.block.words[1] = 65535; // checksum 0: the last four bytes are zero
    cases.push_back(
        {"64 bytes whose missing checksum is 0",
         {{TimingValueName(1, 1, 1), RegistryTypeBinary, Resized(StoredBytes(zeroSum), 64)}},
         {"1x1@1"},
         1,
         -1});

    // Every nibble from A to F in every position of the words below their top byte: the words
    // stay below 160,000,000, so every one of them survives.
    {
        Case c{"nibbles A to F below the top byte", {}, {}, 1, -1};
        uint32_t refresh = 1000;
        for (uint32_t byte = 0; byte < 64; ++byte) {
            for (uint32_t high = 0; high < 2; ++high) {
                for (uint8_t nibble = 0xA; nibble <= 0xF; ++nibble) {
                    if (byte % 4 == 0 && high)
                        continue; // the top nibble: below
                    std::vector<uint8_t> data = vga;
                    data[byte] = high ? static_cast<uint8_t>((data[byte] & 0x0F) | nibble << 4)
                                      : static_cast<uint8_t>((data[byte] & 0xF0) | nibble);
                    c.values.push_back({TimingValueName(640, 480, refresh), 3, Sealed(data)});
                    c.loads.push_back("640x480@" + std::to_string(refresh++));
                }
            }
        }
        cases.push_back(c);
    }
    {
        Case c{"top nibbles A to F", {}, {}, 1, -1};
        for (uint8_t nibble = 0xA; nibble <= 0xF; ++nibble) {
            std::vector<uint8_t> data = vga;
            data[4 * (nibble - 0xA)] = static_cast<uint8_t>(nibble << 4 | 9);
            c.values.push_back({TimingValueName(1024, 768, nibble), 3, Sealed(data)});
            c.loads.push_back("1024x768@" + std::to_string(nibble));
        }
        cases.push_back(c);
    }
    // Top bytes FA to FF give words that the stored form cannot write back: the save is refused
    // and leaves the key as it was, the mode list included.
    {
        Case c{"top bytes FA to FF", {}, {}, 0, -1};
        for (uint8_t low = 0xA; low <= 0xF; ++low) {
            std::vector<uint8_t> data = vga;
            data[4 * low] = static_cast<uint8_t>(0xF0 | low);
            c.values.push_back({TimingValueName(1280, 1024, low), 3, Sealed(data)});
            c.loads.push_back("1280x1024@" + std::to_string(low));
        }
        cases.push_back(c);
    }
    // Checksum bytes with nibbles A to F that do not match: dropped, as they must be.
    {
        std::vector<uint8_t> data = vga;
        data[64] = 0xAB;
        cases.push_back({"checksum above 0xFFFF", {{vgaName, 3, data}}, {}, 1, -1});
    }

    // Mode lists of many lengths, whole or with a partial last group.
    for (uint32_t entries : {0u, 1u, 32u, 33u, 1000u})
        cases.push_back({"a mode list of one length",
                         {{ModeListValueName, RegistryTypeBinary, ModeBytes(entries)}},
                         {},
                         1,
                         static_cast<int32_t>(entries)});
    for (size_t cut : {1u, 7u, 9u})
        cases.push_back({"a mode list whose length is not a multiple of 8",
                         {{ModeListValueName, RegistryTypeBinary,
                           Resized(ModeBytes(33), 33 * 8 + cut - 8, 0x42)}},
                         {},
                         1,
                         static_cast<int32_t>((33 * 8 + cut - 8) / 8)});

    // Types other than binary where binary is expected.
    cases.push_back({"a timing as text", {{vgaName, RegistryTypeSz, vga}}, {"640x480@60"}, 1, -1});
    cases.push_back(
        {"a timing as a number", {{vgaName, RegistryTypeDword, vga}}, {"640x480@60"}, 1, -1});
    cases.push_back({"a four-byte number under a timing name",
                     {{vgaName, RegistryTypeDword, {1, 0, 0, 0}}},
                     {},
                     1,
                     -1});
    cases.push_back({"a mode list as a number",
                     {{ModeListValueName, RegistryTypeDword, ModeBytes(2)}},
                     {},
                     1,
                     2});

    // The prefix in another case or inside a name, and sizes of five digits.
    cases.push_back(
        {"the prefix in small letters", {{"qordtmcrtbcd0640X0480X0X60", 3, vga}}, {}, 1, -1});
    cases.push_back({"the prefix inside a name",
                     {{"XQORDTMCRTBCD0640X0480X0X60", 3, vga}, {"QORDTMCRTBCD", 3, vga}},
                     {},
                     1,
                     -1});
    cases.push_back({"names with five-digit sizes",
                     {{"QORDTMCRTBCD10000X0600X0X60", 3, vga},
                      {"QORDTMCRTBCD0800X10000X0X60", 3, vga},
                      {"QORDTMCRTBCD0640X0480X0X99999999999", 3, vga}},
                     {},
                     1,
                     -1});
    cases.push_back({"a name the format leaves half read",
                     {{"QORDTMCRTBCD0640X0480", 3, vga}, {"QORDTMCRTBCD0640X0480X0X60X", 3, vga}},
                     {},
                     1,
                     -1});
    return cases;
}

class HostileContents : public ::testing::Test {
protected:
    void SetUp() override {
        key = FixtureTestKey();
        FixtureDeleteTree(Machine, key);
    }
    void TearDown() override { FixtureDeleteTree(Machine, key); }

    void Run(const Case& c) {
        FixtureDeleteTree(Machine, key);
        ASSERT_EQ(1, FixtureCreateKey(Machine, key));
        ASSERT_EQ(1, driver.SetPath(key.c_str()));
        std::vector<Value> values = {
            {TimingValueName(800, 600, 72), RegistryTypeBinary, StoredBytes(Baseline)},
            {"Other", RegistryTypeDword, {5, 0, 0, 0}},
        };
        const int ownList = std::any_of(c.values.begin(), c.values.end(), [](const Value& v) {
            return SameValueName(v.name, ModeListValueName);
        });
        if (!ownList)
            values.push_back({ModeListValueName, RegistryTypeBinary, ModeBytes(3)});
        values.insert(values.end(), c.values.begin(), c.values.end());
        for (const Value& v : values)
            ASSERT_EQ(1, FixtureSetValue(Machine, key, v.name, v.type, v.data))
                << v.name.size() << " / " << v.data.size();
        const std::vector<Value> before = Snapshot(key);
        ASSERT_EQ(values.size(), before.size());

        NonStandardModeList modes;
        TimingList timings;
        EXPECT_EQ(1, LoadModeList(driver, modes));
        EXPECT_EQ(1, timings.LoadFromDevice(driver, modes));
        const std::vector<CustomTiming> loaded = Records(timings);
        const std::vector<NonStandardMode> entries = Entries(modes);
        std::multiset<std::string> expected(c.loads.begin(), c.loads.end());
        expected.insert(ModeKey(Baseline));
        std::multiset<std::string> got;
        for (const CustomTiming& t : loaded)
            got.insert(ModeKey(t));
        EXPECT_EQ(expected, got);
        if (c.modeEntries >= 0) {
            EXPECT_EQ(c.modeEntries, modes.Count());
        }

        EXPECT_EQ(c.saved, WriteStoredModes(driver, timings, modes));
        const std::vector<Value> after = Snapshot(key);

        // Values that are not ours, and timing values the walk could not read, are untouched;
        // when the save was refused, so is every timing value and the mode list.
        for (const Value& v : before) {
            if (SameValueName(v.name, ModeListValueName) && c.saved)
                continue;
            if (IsTimingValueName(v.name.c_str()) && Walkable(v) && c.saved)
                continue;
            const Value* kept = Find(after, v.name);
            ASSERT_NE(nullptr, kept) << v.name.substr(0, 40) << " (" << v.name.size() << ")";
            EXPECT_EQ(v.name, kept->name);
            EXPECT_EQ(v.type, kept->type) << v.name.substr(0, 40);
            EXPECT_TRUE(v.data == kept->data) << v.name.substr(0, 40);
        }

        NonStandardModeList modesAgain;
        TimingList timingsAgain;
        EXPECT_EQ(1, LoadModeList(driver, modesAgain));
        EXPECT_EQ(1, timingsAgain.LoadFromDevice(driver, modesAgain));
        const std::vector<CustomTiming> reloaded = Records(timingsAgain);
        for (const CustomTiming& t : loaded)
            EXPECT_TRUE(std::any_of(
                reloaded.begin(), reloaded.end(),
                [&](const CustomTiming& r) { return std::memcmp(&r, &t, sizeof r) == 0; }))
                << ModeKey(t) << " lost";
        EXPECT_EQ(loaded.size(), reloaded.size());
        const std::vector<NonStandardMode> entriesAgain = Entries(modesAgain);
        ASSERT_EQ(entries.size(), entriesAgain.size());
        for (size_t i = 0; i < entries.size(); ++i)
            EXPECT_TRUE(std::memcmp(&entries[i], &entriesAgain[i], sizeof entries[i]) == 0) << i;
    }

    std::string key;
    DriverKey driver;
};

TEST_F(HostileContents, DriverKeysLoseNothingValidThroughLoadSaveLoad) {
    const std::vector<Case> cases = Catalogue();
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(::testing::Message() << "case " << i << ": " << cases[i].what);
        Run(cases[i]);
    }
    std::printf("driver key cases: %zu\n", cases.size());
}

// The driver's answers and the system's device names, through the scripted display services.
TEST(HostileAnswers, OnlyUsablePathsAndNamesAreListed) {
    const struct {
        const char* what;
        std::string systemName;
        std::string answer;
        int listed;
        std::string shortName;
    } cases[] = {
        {"empty path", "\\\\.\\DISPLAY1", std::string(1, '\0'), 0, ""},
        {"path of 259", "\\\\.\\DISPLAY1", std::string(259, 'p') + '\0', 1, "DISPLAY1"},
        {"path of 260", "\\\\.\\DISPLAY1", std::string(260, 'p') + '\0', 0, ""},
        {"path of 1283", "\\\\.\\DISPLAY1", std::string(1283, 'p') + '\0', 0, ""},
        {"no terminating zero", "\\\\.\\DISPLAY1", std::string(1284, 'p'), 0, ""},
        {"answer longer than the buffer", "\\\\.\\DISPLAY1", std::string(2000, 'p'), 0, ""},
        {"name without a backslash", "DISPLAY7", "K\\0" + std::string(1, '\0'), 1, "DISPLAY7"},
        {"name ending with a backslash", "\\\\.\\DISPLAY1\\", "K" + std::string(1, '\0'), 1, ""},
        {"name of 31 characters", std::string(27, 'n') + "\\abc", "K" + std::string(1, '\0'), 1,
         "abc"},
        {"name filling the record", std::string(32, 'n'), "K" + std::string(1, '\0'), 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedDisplay::Reset();
        ResetDisplayEntryPointsForTesting();
        ScriptedDisplay::Device device;
        device.systemName = c.systemName;
        device.answer = c.answer;
        ScriptedDisplay::AddDevice(device);
        DisplayDeviceList list;
        ASSERT_EQ(static_cast<uint32_t>(c.listed), EnumerateDisplayDevices(&list));
        if (!c.listed)
            continue;
        EXPECT_EQ(c.shortName, list.NameAt(0));
        DriverKey driver;
        EXPECT_EQ(1, driver.SetPath(list.PathAt(0)));
        EXPECT_EQ(c.answer.substr(0, c.answer.find('\0')), driver.path);
    }
}

} // namespace
