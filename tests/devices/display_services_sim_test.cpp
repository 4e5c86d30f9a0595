// The simulated Orvane adapters and driver, on the registry the executable links: the in-memory
// one natively, the real one under Wine. Under Wine, discovery runs through them as in
// velmora-sim.exe.
#include "devices/display_services.h"

#include "devices/discovery.h"
#include "support/registry_fixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const char SimKey[] = "Software\\Velmora Simulated Driver";
const char AdaptersKey[] = "Software\\Velmora Simulated Driver\\Adapters";
const char* const Path0 = "SYSTEM\\CurrentControlSet\\Services\\orvdisp\\Device0";
const char* const Path1 = "SYSTEM\\CurrentControlSet\\Services\\orvdisp\\Device1";

// A text value; `terminated` 0 stores it without its zero byte, as some writers do.
std::vector<uint8_t> Sz(const std::string& text, int terminated = 1) {
    std::vector<uint8_t> data(text.begin(), text.end());
    if (terminated)
        data.push_back(0);
    return data;
}

std::vector<uint8_t> Dword(uint32_t value) {
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}

struct Adapter {
    std::string deviceName;
    int hasResult;
    int32_t result;
    int hasDriverKey;
    std::string driverKey;
    int createFails;
};

Adapter Answering(const std::string& name, int32_t result, const std::string& driverKey) {
    return {name, 1, result, 1, driverKey, 0};
}

class SimulatedDriver : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(1, FixtureDeleteTree(RegistryLocalMachine, SimKey));
#ifdef _WIN32
        ResetDisplayEntryPointsForTesting();
#endif
    }
    void TearDown() override {
        FixtureDeleteTree(RegistryLocalMachine, SimKey);
    }

    // Creates the key "Adapters" with these adapters as "0", "1", ...
    void Configure(const std::vector<Adapter>& adapters) {
        ASSERT_EQ(1, FixtureCreateKey(RegistryLocalMachine, AdaptersKey));
        for (size_t i = 0; i < adapters.size(); ++i) {
            const Adapter& a = adapters[i];
            std::string key = std::string(AdaptersKey) + "\\" + std::to_string(i);
            ASSERT_EQ(1, FixtureCreateKey(RegistryLocalMachine, key));
            ASSERT_EQ(1, FixtureSetValue(RegistryLocalMachine, key, "DeviceName", RegistryTypeSz,
                                         Sz(a.deviceName)));
            if (a.hasResult) {
                ASSERT_EQ(1, FixtureSetValue(RegistryLocalMachine, key, "EscapeResult",
                                             RegistryTypeDword,
                                             Dword(static_cast<uint32_t>(a.result))));
            }
            if (a.hasDriverKey) {
                ASSERT_EQ(1, FixtureSetValue(RegistryLocalMachine, key, "DriverKey", RegistryTypeSz,
                                             Sz(a.driverKey)));
            }
            if (a.createFails) {
                ASSERT_EQ(1, FixtureSetValue(RegistryLocalMachine, key, "CreateDCFails",
                                             RegistryTypeDword, Dword(1)));
            }
        }
    }
};

// The system name at `index`, "(none)" when the list has ended.
std::string NameAtIndex(uint32_t index) {
    DisplayDeviceRecord record;
    std::memset(&record, 0, sizeof record);
    record.cb = DisplayDeviceRecordSize;
    if (!DisplayCallEnumDisplayDevices(nullptr, nullptr, index, &record, 0))
        return "(none)";
    return std::string(record.DeviceName, strnlen(record.DeviceName, sizeof record.DeviceName));
}

struct Answer {
    int32_t result;
    std::vector<uint8_t> bytes; // the whole answer buffer, with room beyond its 1288 bytes
};

// Sends the device key query through a context; `answerSize` is what the driver is told.
Answer Query(DisplayContext context, int32_t escape = 0x7306,
             uint32_t queryCode = DeviceKeyQueryCode, int32_t answerSize = 1288) {
    DeviceKeyQueryRequest request;
    std::memset(&request, 0, sizeof request);
    request.size = 16;
    request.queryCode = queryCode;
    Answer answer;
    answer.bytes.assign(1288 + 64, 0);
    answer.result =
        DisplayEscape(context, escape, sizeof request, &request, answerSize, answer.bytes.data());
    return answer;
}

std::string PathIn(const Answer& answer) {
    const char* path = reinterpret_cast<const char*>(answer.bytes.data()) + 4;
    return std::string(path, strnlen(path, answer.bytes.size() - 4));
}

TEST_F(SimulatedDriver, DefaultsToTwoAdaptersAndCreatesNoKey) {
    EXPECT_EQ("\\\\.\\DISPLAY1", NameAtIndex(0));
    EXPECT_EQ("\\\\.\\DISPLAY2", NameAtIndex(1));
    EXPECT_EQ("(none)", NameAtIndex(2));

    const char* names[] = {"\\\\.\\DISPLAY1", "\\\\.\\display2"};
    const char* paths[] = {Path0, Path1};
    for (int i = 0; i < 2; ++i) {
        DisplayContext context = DisplayCreateContext(nullptr, names[i]);
        ASSERT_NE(nullptr, context) << names[i];
        Answer answer = Query(context);
        EXPECT_EQ(0, answer.result);
        EXPECT_EQ(paths[i], PathIn(answer));
        DisplayDeleteContext(context);
    }
    EXPECT_EQ(nullptr, DisplayCreateContext(nullptr, "\\\\.\\DISPLAY3"));
    EXPECT_EQ(nullptr, DisplayCreateContext(nullptr, ""));
    EXPECT_EQ(0, FixtureKeyExists(RegistryLocalMachine, SimKey));
}

// The context of the driver "Display" belongs to the primary adapter.
TEST_F(SimulatedDriver, DisplayDriverContextIsThePrimaryAdapters) {
    Configure({Answering("\\\\.\\DISPLAY5", 0, "P5"), Answering("\\\\.\\DISPLAY6", 0, "P6")});
    DisplayContext context = DisplayCreateContext("Display", nullptr);
    ASSERT_NE(nullptr, context);
    EXPECT_EQ("P5", PathIn(Query(context)));
    DisplayDeleteContext(context);
    EXPECT_EQ(nullptr, DisplayCreateContext("Printer", nullptr));
    EXPECT_EQ(nullptr, DisplayCreateContext(nullptr, nullptr));
}

TEST_F(SimulatedDriver, ListEndsAtFirstMissingAdapterOrName) {
    struct Case {
        const char* what;
        std::vector<std::string> subkeys; // "-" makes a subkey without DeviceName
        uint32_t expected;
    } cases[] = {
        {"empty Adapters key", {}, 0},
        {"gap after 0", {"\\\\.\\DISPLAY1", "", "\\\\.\\DISPLAY3"}, 1},
        {"subkey without DeviceName", {"\\\\.\\DISPLAY1", "-", "\\\\.\\DISPLAY3"}, 1},
        {"three", {"\\\\.\\DISPLAY1", "\\\\.\\DISPLAY2", "\\\\.\\DISPLAY3"}, 3},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(1, FixtureDeleteTree(RegistryLocalMachine, SimKey));
        ASSERT_EQ(1, FixtureCreateKey(RegistryLocalMachine, AdaptersKey));
        for (size_t i = 0; i < c.subkeys.size(); ++i) {
            if (c.subkeys[i].empty())
                continue;
            std::string key = std::string(AdaptersKey) + "\\" + std::to_string(i);
            ASSERT_EQ(1, FixtureCreateKey(RegistryLocalMachine, key));
            if (c.subkeys[i] != "-") {
                ASSERT_EQ(1, FixtureSetValue(RegistryLocalMachine, key, "DeviceName",
                                             RegistryTypeSz, Sz(c.subkeys[i])));
            }
        }
        uint32_t found = 0;
        while (NameAtIndex(found) != "(none)")
            ++found;
        EXPECT_EQ(c.expected, found) << c.what;
    }
}

TEST_F(SimulatedDriver, EscapeAnswersResultAndPathOfEachAdapter) {
    Adapter silent = {"\\\\.\\DISPLAY3", 1, 0, 0, "", 0};
    Adapter plain = {"\\\\.\\DISPLAY4", 0, 0, 1, "P4", 0};
    Configure({Answering("\\\\.\\DISPLAY1", 1, "P1"), Answering("\\\\.\\DISPLAY2", -1, "P2"),
               silent, plain});
    struct Case {
        const char* name;
        int32_t result;
        const char* path;
    } cases[] = {
        {"\\\\.\\DISPLAY1", 1, "P1"},
        {"\\\\.\\DISPLAY2", -1, "P2"},
        {"\\\\.\\DISPLAY3", 0, ""},   // no DriverKey: nothing written
        {"\\\\.\\DISPLAY4", 0, "P4"}, // no EscapeResult: 0
    };
    for (const Case& c : cases) {
        DisplayContext context = DisplayCreateContext(nullptr, c.name);
        ASSERT_NE(nullptr, context) << c.name;
        Answer answer = Query(context);
        EXPECT_EQ(c.result, answer.result) << c.name;
        EXPECT_EQ(c.path, PathIn(answer)) << c.name;
        DisplayDeleteContext(context);
    }
}

// The driver knows one escape and one query; it leaves the answer alone for anything else.
TEST_F(SimulatedDriver, OtherEscapesAndQueriesWriteNothing) {
    DisplayContext context = DisplayCreateContext(nullptr, "\\\\.\\DISPLAY1");
    ASSERT_NE(nullptr, context);
    Answer other = Query(context, 0x7307);
    EXPECT_EQ(0, other.result);
    EXPECT_EQ("", PathIn(other));
    Answer badQuery = Query(context, 0x7306, 0x00110005);
    EXPECT_EQ(-1, badQuery.result);
    EXPECT_EQ("", PathIn(badQuery));
    DisplayDeleteContext(context);
}

TEST_F(SimulatedDriver, CreateDcFailsRefusesContexts) {
    Adapter failing = Answering("\\\\.\\DISPLAY1", 0, "P1");
    failing.createFails = 1;
    Configure({failing, Answering("\\\\.\\DISPLAY2", 0, "P2")});
    EXPECT_EQ(nullptr, DisplayCreateContext(nullptr, "\\\\.\\DISPLAY1"));
    EXPECT_EQ(nullptr, DisplayCreateContext("Display", nullptr));
    DisplayContext context = DisplayCreateContext(nullptr, "\\\\.\\DISPLAY2");
    EXPECT_NE(nullptr, context);
    DisplayDeleteContext(context);
}

// A name that does not fit the 32-character record field is reported empty, which no context
// answers to; the adapters after it are still there.
TEST_F(SimulatedDriver, OverlongDeviceNameIsNotUsable) {
    std::string longName = "\\\\.\\" + std::string(40, 'L');
    std::string longest = "\\\\.\\" + std::string(27, 'M'); // 31 characters: fits
    Configure({Answering(longName, 0, "PL"), Answering(longest, 0, "PM")});
    EXPECT_EQ("", NameAtIndex(0));
    EXPECT_EQ(nullptr, DisplayCreateContext(nullptr, longName.c_str()));
    EXPECT_EQ(nullptr, DisplayCreateContext(nullptr, longName.substr(0, 31).c_str()));
    EXPECT_EQ(longest, NameAtIndex(1));
    DisplayContext context = DisplayCreateContext(nullptr, longest.c_str());
    ASSERT_NE(nullptr, context);
    EXPECT_EQ("PM", PathIn(Query(context)));
    DisplayDeleteContext(context);
}

// A path that does not fit the answer is written as far as it fits, without a terminator, and
// nothing beyond the size the driver was given.
TEST_F(SimulatedDriver, OverlongDriverKeyStaysInsideTheAnswer) {
    struct Case {
        size_t length;
        int32_t answerSize;
    } cases[] = {{1283, 1288}, {1284, 1288}, {5000, 1288}, {100, 20}};
    for (const Case& c : cases) {
        ASSERT_EQ(1, FixtureDeleteTree(RegistryLocalMachine, SimKey));
        Configure({Answering("\\\\.\\DISPLAY1", 0, std::string(c.length, 'K'))});
        DisplayContext context = DisplayCreateContext(nullptr, "\\\\.\\DISPLAY1");
        ASSERT_NE(nullptr, context);
        Answer answer = Query(context, 0x7306, DeviceKeyQueryCode, c.answerSize);
        size_t room = static_cast<size_t>(c.answerSize) - 4;
        size_t written = c.length + 1 <= room ? c.length + 1 : room;
        for (size_t i = 0; i < answer.bytes.size(); ++i) {
            uint8_t expected = 0;
            if (i >= 4 && i < 4 + written)
                expected = i < 4 + c.length ? 'K' : 0;
            ASSERT_EQ(expected, answer.bytes[i]) << c.length << " byte " << i;
        }
        DisplayDeleteContext(context);
    }
}

TEST_F(SimulatedDriver, TextsStoredWithoutTerminatorAreRead) {
    ASSERT_EQ(1, FixtureCreateKey(RegistryLocalMachine, std::string(AdaptersKey) + "\\0"));
    std::string key = std::string(AdaptersKey) + "\\0";
    ASSERT_EQ(1, FixtureSetValue(RegistryLocalMachine, key, "DeviceName", RegistryTypeSz,
                                 Sz("\\\\.\\DISPLAY1", 0)));
    ASSERT_EQ(1, FixtureSetValue(RegistryLocalMachine, key, "DriverKey", RegistryTypeSz,
                                 Sz("SYSTEM\\X", 0)));
    EXPECT_EQ("\\\\.\\DISPLAY1", NameAtIndex(0));
    DisplayContext context = DisplayCreateContext(nullptr, "\\\\.\\DISPLAY1");
    ASSERT_NE(nullptr, context);
    EXPECT_EQ("SYSTEM\\X", PathIn(Query(context)));
    DisplayDeleteContext(context);
}

#ifdef _WIN32
// Discovery as velmora-sim.exe runs it: the real system with the simulated adapters.

TEST_F(SimulatedDriver, DiscoveryFindsTheDefaultAdapters) {
    DisplayDeviceList list;
    EXPECT_EQ(2u, EnumerateDisplayDevices(&list));
    EXPECT_STREQ("DISPLAY1", list.NameAt(0));
    EXPECT_STREQ(Path0, list.PathAt(0));
    EXPECT_STREQ("DISPLAY2", list.NameAt(1));
    EXPECT_STREQ(Path1, list.PathAt(1));
}

TEST_F(SimulatedDriver, DiscoveryKeepsOnlyAdaptersAnsweringZeroWithContext) {
    Adapter noContext = Answering("\\\\.\\DISPLAY1", 0, "SYSTEM\\Orvane\\A");
    noContext.createFails = 1;
    Configure({noContext, Answering("\\\\.\\DISPLAY2", 1, "SYSTEM\\Orvane\\B"),
               Answering("\\\\.\\DISPLAY3", -1, "SYSTEM\\Orvane\\C"),
               Answering("\\\\.\\DISPLAY4", 0, "SYSTEM\\Orvane\\D")});
    DisplayDeviceList list;
    EXPECT_EQ(1u, EnumerateDisplayDevices(&list));
    EXPECT_STREQ("DISPLAY4", list.NameAt(0));
    EXPECT_STREQ("SYSTEM\\Orvane\\D", list.PathAt(0));
}

TEST_F(SimulatedDriver, DiscoveryPassesOverAdaptersWithoutUsablePath) {
    Adapter noDriverKey = {"\\\\.\\DISPLAY1", 1, 0, 0, "", 0};
    Configure({noDriverKey, Answering("\\\\.\\DISPLAY2", 0, std::string(2000, 'K')),
               Answering("\\\\.\\" + std::string(40, 'L'), 0, "SYSTEM\\Orvane\\L"),
               Answering("\\\\.\\DISPLAY4", 0, "SYSTEM\\Orvane\\D")});
    DisplayDeviceList list;
    EXPECT_EQ(1u, EnumerateDisplayDevices(&list));
    EXPECT_STREQ("DISPLAY4", list.NameAt(0));
    EXPECT_STREQ("SYSTEM\\Orvane\\D", list.PathAt(0));
}
#endif

} // namespace

// "MonitorDeviceID" stays the monitor at index 0; numbered values add the later ones, each
// attached and active unless its "MonitorState" says otherwise.
TEST_F(SimulatedDriver, MonitorsAtEachIndexFromNumberedValues) {
    Configure({Answering("\\\\.\\DISPLAY1", 0, Path0)});
    const std::string key = std::string(AdaptersKey) + "\\0";
    const struct {
        const char *name, *id, *stateName;
        uint32_t state;
    } cases[] = {{"MonitorDeviceID", "MONITOR\\A\\x\\0", "MonitorState", MonitorStateAttached},
                 {"MonitorDeviceID1", "MONITOR\\B\\x\\1", nullptr, 3}};
    for (const auto& c : cases) {
        ASSERT_EQ(1, FixtureSetValue(RegistryLocalMachine, key, c.name, RegistryTypeSz, Sz(c.id)));
        if (c.stateName)
            FixtureSetValue(RegistryLocalMachine, key, c.stateName, RegistryTypeDword,
                            Dword(c.state));
    }
    for (uint32_t i = 0; i < 3; ++i) {
        MonitorRecord record;
        std::memset(&record, 0, sizeof record);
        ASSERT_EQ(i < 2, DisplayCallEnumMonitors(nullptr, "\\\\.\\DISPLAY1", i, &record));
        EXPECT_STREQ(i < 2 ? cases[i].id : "", record.DeviceID);
        EXPECT_EQ(i < 2 ? cases[i].state : 0, record.StateFlags);
    }
}
