// Discovery against the scripted display services.
#include "devices/discovery.h"

#include "doubles/fake_display_services.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

// The nothrow allocations, which the list makes, can be made to fail one at a time. Every form
// of new and delete is replaced so that they stay paired under the sanitizers.
namespace {
int NothrowAllocationsBeforeFailure = -1;

void FailNothrowAllocation(int after) {
    NothrowAllocationsBeforeFailure = after;
}

void* NothrowAllocate(std::size_t size) {
    if (NothrowAllocationsBeforeFailure == 0) {
        NothrowAllocationsBeforeFailure = -1;
        return nullptr;
    }
    if (NothrowAllocationsBeforeFailure > 0)
        --NothrowAllocationsBeforeFailure;
    return std::malloc(size ? size : 1);
}

void* Allocate(std::size_t size) {
    void* block = std::malloc(size ? size : 1);
    if (!block)
        throw std::bad_alloc();
    return block;
}
} // namespace

void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return NothrowAllocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return NothrowAllocate(size);
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete[](void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    std::free(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
    std::free(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
    std::free(block);
}

namespace {

using ScriptedDisplay::Device;

class Discovery : public ::testing::Test {
protected:
    void SetUp() override {
        ScriptedDisplay::Reset();
        ResetDisplayEntryPointsForTesting();
        FailNothrowAllocation(-1);
    }
    void TearDown() override { FailNothrowAllocation(-1); }
};

// A device that the Orvane driver answers for with `path` and the result 0.
Device Orvane(const std::string& systemName, const std::string& path) {
    Device device;
    device.systemName = systemName;
    device.answer = path + std::string(1, '\0');
    return device;
}

// A device whose driver answers `result` and writes `answer` as given.
Device Answering(const std::string& systemName, int32_t result, const std::string& answer) {
    Device device;
    device.systemName = systemName;
    device.escapeResult = result;
    device.answer = answer;
    return device;
}

const char* const Path0 = "SYSTEM\\CurrentControlSet\\Services\\orvdisp\\Device0";
const char* const Path1 = "SYSTEM\\CurrentControlSet\\Services\\orvdisp\\Device1";

std::string Text(const char* text) {
    return text ? text : "(null)";
}

TEST_F(Discovery, AppendTakesShortNameAfterLastBackslash) {
    struct Case {
        const char* systemName;
        const char* shortName;
    } cases[] = {
        {"\\\\.\\DISPLAY1", "DISPLAY1"},
        {"\\\\.\\DISPLAY1\\Monitor0", "Monitor0"},
        {"\\\\.\\", ""},
        {"DISPLAY7", "DISPLAY7"}, // no backslash: the whole name
        {"", ""},
    };
    for (const Case& c : cases) {
        DisplayDeviceList list;
        EXPECT_EQ(1, list.Append(c.systemName, "path"));
        EXPECT_STREQ(c.shortName, list.NameAt(0)) << c.systemName;
        EXPECT_STREQ("path", list.PathAt(0));
    }
}

TEST_F(Discovery, AppendKeepsCopiesOfItsTexts) {
    char name[] = "\\\\.\\DISPLAY1";
    char path[] = "SYSTEM\\A";
    DisplayDeviceList list;
    ASSERT_EQ(1, list.Append(name, path));
    std::strcpy(name, "\\\\.\\XXXXXXX1");
    std::strcpy(path, "SYSTEM\\B");
    EXPECT_STREQ("DISPLAY1", list.NameAt(0));
    EXPECT_STREQ("SYSTEM\\A", list.PathAt(0));
}

TEST_F(Discovery, LookupsByIndexStopAtCount) {
    DisplayDeviceList list;
    EXPECT_EQ(nullptr, list.PathAt(0));
    EXPECT_EQ(nullptr, list.NameAt(0));
    list.Append("\\\\.\\DISPLAY1", "P1");
    list.Append("\\\\.\\DISPLAY2", "P2");
    list.Append("\\\\.\\DISPLAY3", "P3");
    EXPECT_EQ(3u, list.Count());
    EXPECT_STREQ("P1", list.PathAt(0));
    EXPECT_STREQ("P3", list.PathAt(2));
    EXPECT_STREQ("DISPLAY2", list.NameAt(1));
    EXPECT_EQ(nullptr, list.PathAt(3));
    EXPECT_EQ(nullptr, list.NameAt(3));
    EXPECT_EQ(nullptr, list.PathAt(UINT32_MAX));
    EXPECT_EQ(nullptr, list.NameAt(UINT32_MAX));
}

TEST_F(Discovery, NameWalkEndsAndStaysEnded) {
    DisplayDeviceList list;
    EXPECT_EQ(nullptr, list.FirstName());
    EXPECT_EQ(nullptr, list.NextName());

    list.Append("\\\\.\\DISPLAY1", "P1");
    list.Append("\\\\.\\DISPLAY2", "P2");
    EXPECT_STREQ("DISPLAY1", list.FirstName());
    EXPECT_STREQ("DISPLAY2", list.NextName());
    EXPECT_EQ(nullptr, list.NextName());
    EXPECT_EQ(nullptr, list.NextName());
    // A new walk starts over, and lookups by index do not move the cursor.
    EXPECT_STREQ("DISPLAY1", list.FirstName());
    EXPECT_STREQ("P2", list.PathAt(1));
    EXPECT_STREQ("DISPLAY2", list.NextName());
}

TEST_F(Discovery, ClearEmptiesAndAppendStartsOver) {
    DisplayDeviceList list;
    list.Append("\\\\.\\DISPLAY1", "P1");
    list.Append("\\\\.\\DISPLAY2", "P2");
    list.FirstName();
    list.Clear();
    EXPECT_EQ(0u, list.Count());
    EXPECT_EQ(nullptr, list.NextName());
    EXPECT_EQ(nullptr, list.PathAt(0));

    EXPECT_EQ(1, list.Append("\\\\.\\DISPLAY3", "P3"));
    EXPECT_EQ(1u, list.Count());
    EXPECT_STREQ("DISPLAY3", list.FirstName());
    EXPECT_EQ(nullptr, list.NextName());
    EXPECT_EQ(nullptr, list.PathAt(1));
}

// Each of the three allocations of an entry (entry, name, path) may fail; the list is then as it
// was and its count still tells the number of entries.
TEST_F(Discovery, AppendWithoutMemoryLeavesListUnchanged) {
    for (int failing = 0; failing < 3; ++failing) {
        DisplayDeviceList list;
        ASSERT_EQ(1, list.Append("\\\\.\\DISPLAY1", "P1"));
        FailNothrowAllocation(failing);
        EXPECT_EQ(0, list.Append("\\\\.\\DISPLAY2", "P2")) << failing;
        EXPECT_EQ(1u, list.Count());
        EXPECT_EQ(nullptr, list.PathAt(1));
        EXPECT_EQ(1, list.Append("\\\\.\\DISPLAY3", "P3"));
        EXPECT_EQ(2u, list.Count());
        EXPECT_STREQ("DISPLAY3", list.NameAt(1));
        EXPECT_STREQ("P3", list.PathAt(1));
    }
}

TEST_F(Discovery, OsClassFromVersionRecordChoosesContextKind) {
    struct Case {
        int succeeds;
        uint32_t platform, major, minor;
        OsClass expected;
        int byName;
    } cases[] = {
        {1, 1, 4, 90, 0x01000001, 0}, {1, 1, 4, 0, 0x01000001, 0}, {1, 2, 4, 0, 0x02000100, 0},
        {1, 1, 4, 10, 0x01000010, 1}, {1, 2, 5, 1, 0x02001000, 1}, {1, 2, 10, 0, 0x02001000, 1},
        {1, 0, 3, 1, 0, 0},           {1, 3, 5, 0, 0, 0},          {0, 2, 5, 1, 0, 0},
    };
    for (const Case& c : cases) {
        ScriptedDisplay::Reset();
        ScriptedDisplay::SetVersion(c.succeeds, c.platform, c.major, c.minor);
        EXPECT_EQ(c.expected, GetOsClass()) << c.platform << " " << c.major << "." << c.minor;
        EXPECT_EQ(148u, ScriptedDisplay::Calls().versionSizeField);
        EXPECT_EQ(1, ScriptedDisplay::Calls().versionRecordZeroed);

        ScriptedDisplay::AddDevice(Orvane("\\\\.\\DISPLAY2", Path1));
        CreateDeviceContext("\\\\.\\DISPLAY2");
        CreateDeviceContext(nullptr);
        const auto& created = ScriptedDisplay::Calls().created;
        ASSERT_EQ(2u, created.size());
        EXPECT_EQ(c.byName ? "(null)" : "Display", created[0].driver);
        EXPECT_EQ(c.byName ? "\\\\.\\DISPLAY2" : "(null)", created[0].device);
        EXPECT_EQ("Display", created[1].driver);
        EXPECT_EQ("(null)", created[1].device);
    }
}

TEST_F(Discovery, ResolveLooksUpEntryPointsAndMetricsInOrder) {
    EXPECT_EQ(1, ResolveDisplayEntryPoints());
    const auto& log = ScriptedDisplay::Calls();
    ASSERT_EQ(1u, log.moduleLookups.size());
    EXPECT_EQ("USER32", log.moduleLookups[0]);
    ASSERT_EQ(7u, log.entryLookups.size());
    for (int i = 0; i < DisplayEntryPointCount; ++i) {
        EXPECT_EQ(DisplayEntryPointNames[i], log.entryLookups[i]);
        EXPECT_NE(nullptr, DisplayEntryPoints.entry[i]);
    }
    EXPECT_EQ(std::string("EnumDisplayDevicesA"), DisplayEntryPointNames[6]);
    EXPECT_EQ((std::vector<int32_t>{78, 0, 79, 1}), log.metrics);
    EXPECT_EQ(1, DisplayEntryPoints.done);
}

// The first outcome, good or bad, is kept for the process: a second call asks the platform
// nothing.
TEST_F(Discovery, ResolveRepeatsFirstOutcomeWithoutLookingAgain) {
    for (int available = 0; available <= 1; ++available) {
        ScriptedDisplay::Reset();
        ResetDisplayEntryPointsForTesting();
        if (!available)
            ScriptedDisplay::SetEntryPointMissing("EnumDisplayMonitors");
        EXPECT_EQ(available, ResolveDisplayEntryPoints());
        const auto& log = ScriptedDisplay::Calls();
        size_t modules = log.moduleLookups.size();
        size_t entries = log.entryLookups.size();
        size_t metrics = log.metrics.size();
        EXPECT_EQ(available, ResolveDisplayEntryPoints());
        EXPECT_EQ(modules, log.moduleLookups.size());
        EXPECT_EQ(entries, log.entryLookups.size());
        EXPECT_EQ(metrics, log.metrics.size());
    }
}

TEST_F(Discovery, ResolveFailsWithoutEveryEntryPoint) {
    for (int missing = 0; missing < DisplayEntryPointCount; ++missing) {
        ScriptedDisplay::Reset();
        ResetDisplayEntryPointsForTesting();
        ScriptedDisplay::SetEntryPointMissing(DisplayEntryPointNames[missing]);
        EXPECT_EQ(0, ResolveDisplayEntryPoints()) << DisplayEntryPointNames[missing];
        // The lookup stops at the missing one, asks no metric, and keeps no entry point.
        EXPECT_EQ(static_cast<size_t>(missing + 1), ScriptedDisplay::Calls().entryLookups.size());
        EXPECT_TRUE(ScriptedDisplay::Calls().metrics.empty());
        for (DisplayEntryPoint entry : DisplayEntryPoints.entry)
            EXPECT_EQ(nullptr, entry);
        EXPECT_EQ(1, DisplayEntryPoints.done);
    }
}

TEST_F(Discovery, ResolveFailsWithoutUser32OrWithSmallVirtualScreen) {
    struct Case {
        const char* what;
        int user32;
        int32_t cxVirtual, cyVirtual;
        int expected;
    } cases[] = {
        {"no USER32", 0, 1024, 768, 0},
        {"narrower", 1, 1023, 768, 0},
        {"lower", 1, 1024, 767, 0},
        {"larger", 1, 2048, 1536, 1},
        {"negative compares signed", 1, -1, 768, 0},
    };
    for (const Case& c : cases) {
        ScriptedDisplay::Reset();
        ResetDisplayEntryPointsForTesting();
        ScriptedDisplay::SetUser32Loaded(c.user32);
        ScriptedDisplay::SetMetric(MetricCxVirtualScreen, c.cxVirtual);
        ScriptedDisplay::SetMetric(MetricCyVirtualScreen, c.cyVirtual);
        EXPECT_EQ(c.expected, ResolveDisplayEntryPoints()) << c.what;
        if (!c.expected) {
            for (DisplayEntryPoint entry : DisplayEntryPoints.entry)
                EXPECT_EQ(nullptr, entry) << c.what;
        }
    }
}

TEST_F(Discovery, UnavailableEntryPointsEnumerateNothing) {
    ScriptedDisplay::AddDevice(Orvane("\\\\.\\DISPLAY1", Path0));
    ScriptedDisplay::SetEntryPointMissing("GetMonitorInfoA");
    DisplayDeviceRecord record = {};
    record.cb = DisplayDeviceRecordSize;
    EXPECT_EQ(0, EnumerateDisplayDevice(nullptr, 0, &record, 0));

    DisplayDeviceList list;
    EXPECT_EQ(0u, EnumerateDisplayDevices(&list));
    EXPECT_TRUE(ScriptedDisplay::Calls().enumIndexes.empty());
    EXPECT_TRUE(ScriptedDisplay::Calls().created.empty());
}

TEST_F(Discovery, EnumerateAsksEachIndexUntilNoneAndDeletesEveryContext) {
    ScriptedDisplay::AddDevice(Orvane("\\\\.\\DISPLAY1", Path0));
    ScriptedDisplay::AddDevice(Orvane("\\\\.\\DISPLAY2", Path1));
    DisplayDeviceList list;
    EXPECT_EQ(2u, EnumerateDisplayDevices(&list));

    const auto& log = ScriptedDisplay::Calls();
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 2}), log.enumIndexes);
    EXPECT_EQ(1, log.enumThroughResolvedEntry);
    EXPECT_EQ(1, log.enumArgumentsPlain);
    ASSERT_EQ(2u, log.created.size());
    EXPECT_EQ("\\\\.\\DISPLAY1", log.created[0].device);
    EXPECT_EQ("\\\\.\\DISPLAY2", log.created[1].device);
    ASSERT_EQ(2u, log.deleted.size());
    EXPECT_EQ(log.created[0].context, log.deleted[0]);
    EXPECT_EQ(log.created[1].context, log.deleted[1]);

    EXPECT_STREQ("DISPLAY1", list.NameAt(0));
    EXPECT_STREQ(Path0, list.PathAt(0));
    EXPECT_STREQ("DISPLAY2", list.NameAt(1));
    EXPECT_STREQ(Path1, list.PathAt(1));
}

TEST_F(Discovery, EscapeCarriesTheQueryRecords) {
    ScriptedDisplay::AddDevice(Orvane("\\\\.\\DISPLAY1", Path0));
    DisplayDeviceList list;
    EnumerateDisplayDevices(&list);
    const auto& escapes = ScriptedDisplay::Calls().escapes;
    ASSERT_EQ(1u, escapes.size());
    const auto& call = escapes[0];
    EXPECT_EQ(ScriptedDisplay::Calls().created[0].context, call.context);
    EXPECT_EQ(0x7306, call.escape);
    EXPECT_EQ(16, call.inputSize);
    EXPECT_EQ(1288, call.outputSize);
    ASSERT_EQ(16u, call.request.size());
    const uint8_t head[8] = {16, 0, 0, 0, 0x04, 0x00, 0x11, 0x00};
    EXPECT_EQ(0, std::memcmp(head, call.request.data(), sizeof head));
    EXPECT_EQ(1288u, call.answerSizeField);
    EXPECT_EQ(1, call.answerZeroed);
}

TEST_F(Discovery, OnlyDevicesAnsweringZeroAreListed) {
    ScriptedDisplay::AddDevice(Answering("\\\\.\\DISPLAY1", 1, std::string(Path0) + '\0'));
    ScriptedDisplay::AddDevice(Orvane("\\\\.\\DISPLAY2", Path1));
    DisplayDeviceList list;
    EXPECT_EQ(1u, EnumerateDisplayDevices(&list));
    EXPECT_STREQ("DISPLAY2", list.NameAt(0));
    EXPECT_STREQ(Path1, list.PathAt(0));
    EXPECT_EQ(nullptr, list.PathAt(1));
    EXPECT_EQ(2u, ScriptedDisplay::Calls().deleted.size());
}

TEST_F(Discovery, DriverAnsweringNonZeroListsNothing) {
    for (int32_t result : {1, 7, -1, INT32_MIN}) {
        ScriptedDisplay::Reset();
        ResetDisplayEntryPointsForTesting();
        ScriptedDisplay::AddDevice(Answering("\\\\.\\DISPLAY1", result, std::string(Path0) + '\0'));
        ScriptedDisplay::AddDevice(Answering("\\\\.\\DISPLAY2", result, std::string(Path1) + '\0'));
        DisplayDeviceList list;
        EXPECT_EQ(0u, EnumerateDisplayDevices(&list)) << result;
        EXPECT_EQ(2u, ScriptedDisplay::Calls().deleted.size());
    }
}

// A display driver that does not know the escape returns 0 and writes nothing; the answer must
// hold a usable path before the device counts as an Orvane device.
TEST_F(Discovery, AnswerWithoutUsablePathIsNotListed) {
    struct Case {
        const char* what;
        std::string answer;
        int listed;
    } cases[] = {
        {"nothing written", "", 0},
        {"empty path", std::string(1, '\0'), 0},
        {"no terminator in the answer", std::string(1284, 'K'), 0},
        {"259 characters", std::string(259, 'K') + '\0', 1},
        {"260 characters", std::string(260, 'K') + '\0', 0},
        {"1283 characters", std::string(1283, 'K') + '\0', 0},
    };
    for (const Case& c : cases) {
        ScriptedDisplay::Reset();
        ResetDisplayEntryPointsForTesting();
        ScriptedDisplay::AddDevice(Answering("\\\\.\\DISPLAY1", 0, c.answer));
        ScriptedDisplay::AddDevice(Orvane("\\\\.\\DISPLAY2", Path1));
        DisplayDeviceList list;
        EXPECT_EQ(1u + c.listed, EnumerateDisplayDevices(&list)) << c.what;
        if (c.listed) {
            EXPECT_STREQ("DISPLAY1", list.NameAt(0));
            EXPECT_EQ(c.answer.c_str(), Text(list.PathAt(0)));
        }
        EXPECT_STREQ("DISPLAY2", list.NameAt(c.listed));
    }
}

TEST_F(Discovery, DeviceWithoutContextIsSkipped) {
    Device failing = Orvane("\\\\.\\DISPLAY1", Path0);
    failing.createFails = 1;
    ScriptedDisplay::AddDevice(failing);
    ScriptedDisplay::AddDevice(Orvane("\\\\.\\DISPLAY2", Path1));
    DisplayDeviceList list;
    EXPECT_EQ(1u, EnumerateDisplayDevices(&list));
    EXPECT_STREQ("DISPLAY2", list.NameAt(0));
    const auto& log = ScriptedDisplay::Calls();
    EXPECT_EQ(2u, log.created.size());
    EXPECT_EQ(1u, log.escapes.size());
    EXPECT_EQ(1u, log.deleted.size());
}

// A system device name that fills its 32-character field without a terminator cannot be read,
// and that device is passed over.
TEST_F(Discovery, UnterminatedSystemNameIsSkipped) {
    ScriptedDisplay::AddDevice(Orvane(std::string(32, 'D'), Path0));
    ScriptedDisplay::AddDevice(Orvane(std::string(31, 'E'), Path1));
    DisplayDeviceList list;
    EXPECT_EQ(1u, EnumerateDisplayDevices(&list));
    EXPECT_EQ(std::string(31, 'E'), Text(list.NameAt(0)));
    EXPECT_EQ(1u, ScriptedDisplay::Calls().created.size());
}

// Before Windows 98 and NT 5 every index is asked through the context of the driver "Display".
TEST_F(Discovery, OlderSystemsAskTheDisplayDriverForEveryIndex) {
    ScriptedDisplay::SetVersion(1, PlatformWin32Nt, 4, 0);
    ScriptedDisplay::AddDevice(Orvane("\\\\.\\DISPLAY1", Path0));
    ScriptedDisplay::AddDevice(Orvane("\\\\.\\DISPLAY2", Path1));
    DisplayDeviceList list;
    EXPECT_EQ(2u, EnumerateDisplayDevices(&list));
    for (const auto& call : ScriptedDisplay::Calls().created) {
        EXPECT_EQ("Display", call.driver);
        EXPECT_EQ("(null)", call.device);
    }
    // The "Display" context is the first device's, so both entries get its path.
    EXPECT_STREQ("DISPLAY2", list.NameAt(1));
    EXPECT_STREQ(Path0, list.PathAt(1));
}

// An entry that cannot be allocated is left out; the others are still listed and counted.
TEST_F(Discovery, DeviceWithoutMemoryIsLeftOut) {
    ScriptedDisplay::AddDevice(Orvane("\\\\.\\DISPLAY1", Path0));
    ScriptedDisplay::AddDevice(Orvane("\\\\.\\DISPLAY2", Path1));
    DisplayDeviceList list;
    FailNothrowAllocation(1); // the first device's name
    EXPECT_EQ(1u, EnumerateDisplayDevices(&list));
    EXPECT_EQ(1u, list.Count());
    EXPECT_STREQ("DISPLAY2", list.FirstName());
    EXPECT_EQ(nullptr, list.NextName());
}

} // namespace
