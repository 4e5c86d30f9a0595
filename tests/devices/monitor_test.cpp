// Monitor discovery against the scripted display services and the in-memory registry: which
// instance is the monitor's, which source wins, both version classes, and that it only reads.
#include "devices/monitor.h"

#include "devices/discovery.h"
#include "doubles/fake_display_services.h"
#include "doubles/fake_registry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char Id[] = "MONITOR\\VLM1701\\{4d36e96e-e325-11ce-bfc1-08002be10318}\\0001";
const char Nt[] = "SYSTEM\\CurrentControlSet\\Enum\\DISPLAY\\VLM1701";
const char NtClass[] = "SYSTEM\\CurrentControlSet\\Control\\Class\\"
                       "{4d36e96e-e325-11ce-bfc1-08002be10318}\\0001\\MODES";
const char Ninex[] = "Enum\\Monitor\\VLM1701";
const char NinexClass[] = "System\\CurrentControlSet\\Services\\Class\\Monitor\\0001\\MODES";

void Put(const std::string& path, const char* name, const std::string& data, uint32_t type) {
    RegistryKey key;
    ASSERT_EQ(1, MemoryRegistry::CreateKey(RegistryLocalMachine, path.c_str()));
    ASSERT_EQ(1, RegistryOpenKey(RegistryLocalMachine, path.c_str(), &key));
    ASSERT_EQ(1, RegistrySetValue(key, name, type, reinterpret_cast<const uint8_t*>(data.data()),
                                  static_cast<uint32_t>(data.size())));
    RegistryCloseKey(key);
}

class Monitor : public ::testing::Test {
protected:
    void SetUp() override {
        MemoryRegistry::Reset();
        ScriptedDisplay::Reset();
        ResetDisplayEntryPointsForTesting();
        ScriptedDisplay::Device device;
        device.systemName = "\\\\.\\DISPLAY1";
        device.monitorId = Id;
        ScriptedDisplay::AddDevice(device);
    }
    // Two NT instances, the earlier monitor's first; the CRT's EDID as `edid`.
    void NtInstances(const char* edid) {
        Put(std::string(Nt) + "\\A", "Driver", "{4d36e96e-e325-11ce-bfc1-08002be10318}\\0000", 1);
        Put(std::string(Nt) + "\\A\\Device Parameters", "EDID", "wrong", 3);
        Put(std::string(Nt) + "\\B", "Driver", "{4D36E96E-E325-11CE-BFC1-08002BE10318}\\0001", 1);
        if (edid)
            Put(std::string(Nt) + "\\B\\Device Parameters", "EDID", edid, 3);
    }
};

} // namespace

TEST_F(Monitor, FindsTheMatchingInstanceAndPrefersOverrideThenEdidThenModes) {
    const struct {
        const char* what;
        int edid, override, modes;
        MonitorSource source;
        const char* path;
        const char* data;
    } cases[] = {
        {"override", 1, 1, 1, MonitorEdidOverride, "\\B\\Device Parameters\\EDID_OVERRIDE", "ovr"},
        {"EDID", 1, 0, 1, MonitorEdidValue, "\\B\\Device Parameters", "crt"},
        {"MODES", 0, 0, 1, MonitorSetupFile, "", "30-70,50-120,+,+"},
        {"nothing", 0, 0, 0, MonitorNoSource, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        NtInstances(c.edid ? "crt" : nullptr);
        if (!c.edid)
            Put(std::string(Nt) + "\\B\\Device Parameters", "BAD_EDID", "", 3);
        if (c.override)
            Put(std::string(Nt) + "\\B\\Device Parameters\\EDID_OVERRIDE", "0", "ovr", 3);
        if (c.modes)
            Put(std::string(NtClass) + "\\1280,1024", "Mode1", "30-70,50-120,+,+", 1);
        MemoryRegistry::SetWritable(RegistryLocalMachine, Nt, 0); // as for a standard user
        MemoryRegistry::ResetCounters();
        MonitorData m;
        ASSERT_EQ(1, m.Find("\\\\.\\DISPLAY1"));
        EXPECT_EQ(c.source, m.source);
        EXPECT_STREQ(Id, m.deviceId);
        if (c.source == MonitorSetupFile) {
            EXPECT_STREQ(NtClass, m.path);
            ASSERT_NE(nullptr, m.modes);
            EXPECT_STREQ("1280,1024", m.modes->key);
            EXPECT_STREQ("Mode1", m.modes->name);
            EXPECT_EQ(c.data, std::string(reinterpret_cast<char*>(m.modes->data), m.modes->length));
        } else if (c.path) {
            EXPECT_EQ(std::string(Nt) + c.path, m.path);
            EXPECT_EQ(c.data, std::string(reinterpret_cast<char*>(m.edid), m.edidLength));
            // Beside the EDID, for when it does not read.
            ASSERT_NE(nullptr, m.modes);
            EXPECT_STREQ("Mode1", m.modes->name);
        }
        EXPECT_EQ(0, MemoryRegistry::OpenHandles());
        EXPECT_EQ(0u, MemoryRegistry::Calls(MemoryRegistry::OpSet));
    }
    EXPECT_EQ(1, ScriptedDisplay::Calls().monitorThroughResolvedEntry);
}

TEST_F(Monitor, NinexKeepsItUnderEnumMonitorAndServicesClass) {
    ScriptedDisplay::SetVersion(1, PlatformWin32Windows, 4, 10);
    Put(std::string(Ninex) + "\\0000", "Driver", "Monitor\\0000", 1);
    Put(std::string(Ninex) + "\\0000", "EDID", "wrong", 3);
    Put(std::string(Ninex) + "\\0001", "Driver", std::string("Monitor\\0001") + '\0', 1);
    Put(std::string(Ninex) + "\\0001", "EDID", "crt", 3);
    MonitorData m;
    ASSERT_EQ(1, m.Find("\\\\.\\DISPLAY1"));
    EXPECT_EQ(MonitorEdidValue, m.source);
    EXPECT_EQ(std::string(Ninex) + "\\0001", m.path);
    EXPECT_EQ("crt", std::string(reinterpret_cast<char*>(m.edid), m.edidLength));
    MemoryRegistry::Reset();
    Put(std::string(NinexClass) + "\\800,600", "Mode2", "31.5", 1);
    ASSERT_EQ(1, m.Find("\\\\.\\DISPLAY1"));
    EXPECT_EQ(MonitorSetupFile, m.source);
    EXPECT_STREQ(NinexClass, m.path);
}

TEST_F(Monitor, NoMonitorIsNoFailureButAFailedReadIs) {
    MonitorData m;
    EXPECT_EQ(1, m.Find("\\\\.\\DISPLAY2"));
    EXPECT_EQ(MonitorNoSource, m.source);
    EXPECT_STREQ("", m.deviceId);
    NtInstances("crt");
    MemoryRegistry::FailCall(MemoryRegistry::OpQuery, 0, 0);
    EXPECT_EQ(0, m.Find("\\\\.\\DISPLAY1"));
    MemoryRegistry::ClearFailures();
    ScriptedDisplay::Reset();
    ScriptedDisplay::Device odd;
    odd.systemName = "\\\\.\\DISPLAY1";
    odd.monitorId = "MONITOR\\VLM1701";
    ScriptedDisplay::AddDevice(odd);
    ResetDisplayEntryPointsForTesting();
    EXPECT_EQ(1, m.Find("\\\\.\\DISPLAY1"));
    EXPECT_EQ(MonitorNoSource, m.source);
}

namespace {

// One monitor of an adapter's set: model, class instance, state, its EDID (or none) and MODES.
struct SetMonitor {
    const char *model, *number;
    uint32_t state;
    const char* edid;
    int modes;
};

ScriptedDisplay::Monitor PutMonitor(const SetMonitor& s) {
    const std::string driver = std::string("{4d36e96e-e325-11ce-bfc1-08002be10318}\\") + s.number;
    const std::string instance =
        "SYSTEM\\CurrentControlSet\\Enum\\DISPLAY\\" + std::string(s.model) + "\\" + s.number;
    Put(instance, "Driver", driver, 1);
    if (s.edid)
        Put(instance + "\\Device Parameters", "EDID", s.edid, 3);
    if (s.modes)
        Put("SYSTEM\\CurrentControlSet\\Control\\Class\\" + driver + "\\MODES\\1,1", "Mode1",
            "31.5", 1);
    return {std::string("MONITOR\\") + s.model + "\\" + driver, "", s.state};
}

} // namespace

// A clone set-up or a "Default Monitor" at index 0 must not hide the monitor whose EDID matters.
TEST_F(Monitor, TakesTheShownMonitorWithAnEdidThenAnyEdidThenModes) {
    const uint32_t Shown = MonitorStateAttached | MonitorStateActive;
    const SetMonitor dflt = {"Default_Monitor", "0000", Shown, nullptr, 0};
    const SetMonitor crt = {"VLM1701", "0001", Shown, "crt", 0};
    const SetMonitor crtModes = {"VLM1701", "0001", Shown, nullptr, 1};
    const SetMonitor other = {"VLM1702", "0002", MonitorStateAttached, "two", 0};
    const struct {
        const char* what;
        std::vector<SetMonitor> set;
        int32_t index;
        MonitorSource source;
        const char* data; // the EDID read, or the MODES value
        uint32_t asked;
    } cases[] = {
        {"default monitor first", {dflt, crt}, 1, MonitorEdidValue, "crt", 2},
        {"two attached, the second active", {other, crt, dflt}, 1, MonitorEdidValue, "crt", 2},
        {"an EDID anywhere beats MODES", {crtModes, other, dflt}, 1, MonitorEdidValue, "two", 3},
        {"no EDID, MODES on the second", {dflt, crtModes}, 1, MonitorSetupFile, "31.5", 2},
        {"nothing kept", {dflt, dflt}, 0, MonitorNoSource, "", 2},
        {"more than are asked", std::vector<SetMonitor>(20, dflt), 0, MonitorNoSource, "", 16},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        ScriptedDisplay::Reset();
        ScriptedDisplay::Device device;
        device.systemName = "\\\\.\\DISPLAY1";
        for (const SetMonitor& s : c.set)
            device.monitors.push_back(PutMonitor(s));
        ScriptedDisplay::AddDevice(device);
        MonitorData m;
        ASSERT_EQ(1, m.Find("\\\\.\\DISPLAY1"));
        EXPECT_EQ(c.source, m.source);
        const MonitorModeValue* v = m.modes;
        EXPECT_EQ(c.data, v ? std::string(reinterpret_cast<char*>(v->data), v->length)
                            : std::string(reinterpret_cast<char*>(m.edid), m.edidLength));
        EXPECT_EQ(c.index, m.index);
        EXPECT_EQ(c.asked, m.asked);
        EXPECT_EQ(device.monitors[c.index].id, m.deviceId);
        EXPECT_EQ("\\\\.\\DISPLAY1\\Monitor" + std::to_string(c.index), m.deviceName);
    }
}
