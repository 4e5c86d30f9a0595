// The demo data (data/demo.reg) imported by regedit as the run command imports it, then read back
// and decoded with the program's own codecs. The keys are imported under a private key of this
// process instead of their real places, so the test leaves the prefix as it found it.
#include "e2e/driver.h"
#include "store/mode_list.h"
#include "store/timing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <tuple>

using namespace e2e;

namespace {

const char* LocalMachinePrefix = "[HKEY_LOCAL_MACHINE\\";
const char* CurrentUserPrefix = "[HKEY_CURRENT_USER\\";
const char* TimingPrefix = "QORDTMCRTBCD";

struct ModeKey {
    uint32_t width, height, refresh;
    bool operator<(const ModeKey& o) const {
        return std::tie(width, height, refresh) < std::tie(o.width, o.height, o.refresh);
    }
    bool operator==(const ModeKey& o) const {
        return width == o.width && height == o.height && refresh == o.refresh;
    }
};

// Parses a timing value's name; 1 only when printing the parsed key gives the name back.
int ParseTimingName(const std::string& name, ModeKey* key) {
    unsigned width = 0, height = 0, refresh = 0;
    if (sscanf(name.c_str(), "QORDTMCRTBCD%4uX%4uX0X%u", &width, &height, &refresh) != 3) {
        return 0;
    }
    char printed[64];
    snprintf(printed, sizeof printed, "QORDTMCRTBCD%04uX%04uX0X%u", width, height, refresh);
    *key = {width, height, refresh};
    return name == printed;
}

class DemoData : public ::testing::Test {
protected:
    void SetUp() override {
        root = "Software\\Velmora e2e demo " + std::to_string(GetCurrentProcessId());
        std::ifstream in(BesideExe("demo.reg"), std::ios::binary);
        ASSERT_TRUE(in.good()) << "demo.reg beside the test";
        std::stringstream sandboxed;
        std::string line;
        int keys = 0;
        while (std::getline(in, line)) {
            // Every key is moved below our private key; a line that would reach elsewhere
            // (another root, a deletion) stops the test before anything is imported.
            if (!line.empty() && line[0] == '[') {
                std::string head;
                if (line.rfind(LocalMachinePrefix, 0) == 0) {
                    head = LocalMachinePrefix;
                    line = "[HKEY_CURRENT_USER\\" + root + "\\HKLM\\" + line.substr(head.size());
                } else if (line.rfind(CurrentUserPrefix, 0) == 0) {
                    head = CurrentUserPrefix;
                    line = "[HKEY_CURRENT_USER\\" + root + "\\HKCU\\" + line.substr(head.size());
                } else {
                    FAIL() << "key outside the two roots: " << line;
                }
                ++keys;
            }
            sandboxed << line << "\n";
        }
        ASSERT_GT(keys, 0);
        char folder[MAX_PATH];
        DWORD length = GetTempPathA(sizeof folder, folder);
        ASSERT_TRUE(length > 0 && length < sizeof folder);
        importFile =
            std::string(folder) + "velmora-demo-" + std::to_string(GetCurrentProcessId()) + ".reg";
        std::ofstream out(importFile, std::ios::binary);
        out << sandboxed.str();
        out.close();
        ASSERT_TRUE(out.good());
        ASSERT_TRUE(ImportRegFile(importFile.c_str()));
    }

    void TearDown() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, root.c_str());
        if (!importFile.empty()) {
            DeleteFileA(importFile.c_str());
        }
    }

    // The imported place of a key given relative to HKEY_LOCAL_MACHINE.
    std::string Machine(const std::string& path) { return root + "\\HKLM\\" + path; }

    // 1 with the value's type and bytes.
    int Read(const std::string& path, const char* name, DWORD* type, std::vector<uint8_t>* data) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
            return 0;
        }
        DWORD size = 0;
        LONG status = RegQueryValueExA(key, name, nullptr, type, nullptr, &size);
        if (status == ERROR_SUCCESS) {
            data->assign(size, 0);
            status = RegQueryValueExA(key, name, nullptr, type, data->data(), &size);
            data->resize(size);
        }
        RegCloseKey(key);
        return status == ERROR_SUCCESS;
    }

    std::string ReadString(const std::string& path, const char* name) {
        DWORD type = 0;
        std::vector<uint8_t> data;
        if (!Read(path, name, &type, &data) || type != REG_SZ || data.empty() || data.back()) {
            return "<no string " + std::string(name) + ">";
        }
        return std::string(data.begin(), data.end() - 1);
    }

    std::vector<std::string> ValueNames(const std::string& path) {
        std::vector<std::string> names;
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
            return names;
        }
        char name[256];
        for (DWORD index = 0;; ++index) {
            DWORD length = sizeof name;
            if (RegEnumValueA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS) {
                break;
            }
            names.push_back(std::string(name, length));
        }
        RegCloseKey(key);
        return names;
    }

    std::string DriverKey(int adapter) {
        return ReadString(
            Machine("Software\\Velmora Simulated Driver\\Adapters\\" + std::to_string(adapter)),
            "DriverKey");
    }

    std::string root;
    std::string importFile;
};

} // namespace

// The same two adapters where each width of velmora-sim.exe looks for them: 64-bit Windows shows
// a 32-bit program Wow6432Node as HKEY_LOCAL_MACHINE\Software.
TEST_F(DemoData, TwoAdaptersNameTheirDisplaysAndDriverKeysInBothRegistryViews) {
    struct Case {
        const char* index;
        const char* device;
        const char* driverKey;
    } cases[] = {{"0", "\\\\.\\DISPLAY1", "SYSTEM\\CurrentControlSet\\Services\\orvdisp\\Device0"},
                 {"1", "\\\\.\\DISPLAY2", "SYSTEM\\CurrentControlSet\\Services\\orvdisp\\Device1"}};
    for (const char* view : {"Software\\", "Software\\Wow6432Node\\"}) {
        SCOPED_TRACE(view);
        std::string adapters = view + std::string("Velmora Simulated Driver\\Adapters\\");
        for (const Case& c : cases) {
            EXPECT_EQ(c.device, ReadString(Machine(adapters + c.index), "DeviceName"));
            EXPECT_EQ(c.driverKey, ReadString(Machine(adapters + c.index), "DriverKey"));
        }
        HKEY third = nullptr;
        std::string thirdPath = Machine(adapters + "2");
        if (RegOpenKeyExA(HKEY_CURRENT_USER, thirdPath.c_str(), 0, KEY_READ, &third) ==
            ERROR_SUCCESS) {
            RegCloseKey(third);
            ADD_FAILURE() << "a third adapter";
        }
    }
}

// Each timing value has the stored size, a checksum that holds, and a timing that fits the mode
// its name gives; each driver key's mode list names exactly its timings.
TEST_F(DemoData, TimingsAreValidAndListedInTheirModeList) {
    size_t expectedTimings[] = {3, 2};
    for (int adapter = 0; adapter < 2; ++adapter) {
        std::string key = Machine(DriverKey(adapter));
        std::vector<ModeKey> timings;
        for (const std::string& name : ValueNames(key)) {
            if (name.rfind(TimingPrefix, 0) != 0) {
                continue;
            }
            SCOPED_TRACE(name);
            ModeKey mode{};
            ASSERT_TRUE(ParseTimingName(name, &mode));
            DWORD type = 0;
            std::vector<uint8_t> data;
            ASSERT_TRUE(Read(key, name.c_str(), &type, &data));
            EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
            ASSERT_EQ(TimingStoredSize, data.size());
            TimingBlock block{};
            ASSERT_TRUE(DecodeTimingBlock(data.data(), &block));
            EXPECT_EQ(ComputeTimingChecksum(block.words), block.words[TimingChecksumWord]);
            const uint32_t* w = block.words;
            EXPECT_EQ(mode.width, w[HorizontalDisplay]);
            EXPECT_EQ(mode.height, w[VerticalDisplay]);
            EXPECT_LT(w[HorizontalDisplay], w[HorizontalSyncStart]);
            EXPECT_LE(w[HorizontalSyncStart] + w[HorizontalSyncWidth], w[HorizontalTotal]);
            EXPECT_LT(w[VerticalDisplay], w[VerticalSyncStart]);
            EXPECT_LE(w[VerticalSyncStart] + w[VerticalSyncWidth], w[VerticalTotal]);
            double hertz =
                w[PixelClock] * 10000.0 / (double(w[HorizontalTotal]) * w[VerticalTotal]);
            EXPECT_NEAR(mode.refresh, hertz, 0.5);
            timings.push_back(mode);
        }
        EXPECT_EQ(expectedTimings[adapter], timings.size()) << key;

        DWORD type = 0;
        std::vector<uint8_t> data;
        ASSERT_TRUE(Read(key, "QORNonStandardModesBCD", &type, &data)) << key;
        EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
        EXPECT_EQ(timings.size() * ModeStoredSize, data.size());
        NonStandardModeList list;
        ASSERT_TRUE(list.DecodeModeList(data.data(), static_cast<uint32_t>(data.size())));
        std::vector<ModeKey> listed;
        for (NonStandardMode* m = list.FirstMode(); m; m = list.NextMode()) {
            EXPECT_EQ(0, m->reserved);
            listed.push_back({m->width, m->height, m->refresh});
        }
        std::sort(timings.begin(), timings.end());
        std::sort(listed.begin(), listed.end());
        EXPECT_TRUE(timings == listed) << key;
    }
}

TEST_F(DemoData, VgaModeHasTheReferenceBytes) {
    const uint32_t words[16] = {0x12, 0x800, 0x640, 0x656, 0x96, 0x525, 0x480, 0x490, 0x2, 0x2518};
    std::vector<uint8_t> expected;
    for (uint32_t word : words) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            expected.push_back(static_cast<uint8_t>(word >> shift));
        }
    }
    for (uint8_t byte : {0x00, 0x00, 0xE7, 0xB4}) {
        expected.push_back(byte);
    }
    DWORD type = 0;
    std::vector<uint8_t> data;
    ASSERT_TRUE(Read(Machine(DriverKey(0)), "QORDTMCRTBCD0640X0480X0X60", &type, &data));
    EXPECT_EQ(expected, data);
}

TEST_F(DemoData, CompanyKeyIsThereAndEmpty) {
    HKEY key = nullptr;
    std::string path = root + "\\HKCU\\Software\\Orvane Technologies";
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key));
    DWORD subkeys = 99, values = 99;
    EXPECT_EQ(ERROR_SUCCESS,
              RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                               nullptr, nullptr, nullptr, nullptr));
    RegCloseKey(key);
    EXPECT_EQ(0u, subkeys);
    EXPECT_EQ(0u, values);
}
