// Discovery through the real Windows display services. Under Wine the display driver knows no
// Orvane escape, so no device may be found, although the system lists display devices.
#include "devices/display_services.h"

#include "devices/discovery.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

class Win32Display : public ::testing::Test {
protected:
    void SetUp() override { ResetDisplayEntryPointsForTesting(); }
};

TEST_F(Win32Display, EntryPointsResolveAndListSystemDevices) {
    EXPECT_EQ(1, ResolveDisplayEntryPoints());
    for (DisplayEntryPoint entry : DisplayEntryPoints.entry)
        EXPECT_NE(nullptr, entry);

    DisplayDeviceRecord record;
    std::memset(&record, 0, sizeof record);
    record.cb = DisplayDeviceRecordSize;
    ASSERT_NE(0, EnumerateDisplayDevice(nullptr, 0, &record, 0));
    ASSERT_NE(nullptr, std::memchr(record.DeviceName, 0, sizeof record.DeviceName));
    EXPECT_EQ(0u, std::string(record.DeviceName).find("\\\\.\\DISPLAY")) << record.DeviceName;
    EXPECT_EQ(DisplayDeviceRecordSize, record.cb);

    DisplayContext context = CreateDeviceContext(record.DeviceName);
    EXPECT_NE(nullptr, context);
    if (context)
        DisplayDeleteContext(context);
}

TEST_F(Win32Display, OsClassIsNtFiveOrLater) {
    OsClass osClass = GetOsClass();
    EXPECT_EQ(OsNtFamily, osClass & OsNtFamily);
    EXPECT_EQ(OsNt5OrLater, osClass & OsNt5OrLater);
}

TEST_F(Win32Display, DiscoveryFindsNoOrvaneDevice) {
    DisplayDeviceList list;
    EXPECT_EQ(0u, EnumerateDisplayDevices(&list));
    EXPECT_EQ(nullptr, list.FirstName());
}

} // namespace
