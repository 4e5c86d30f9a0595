// The system takes each record in the size the program gives it. Built for 32-bit and 64-bit
// Windows alike: ui/win32_records.h fixes the size of each target when compiling, and this test
// shows that the system the test runs on accepts it.
#include "ui/win32_records.h"
#include "devices/display_services.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Win32Records, TheSystemAcceptsEveryRecordSize) {
    // A menu item in the short form, inserted and read back.
    HMENU menu = CreatePopupMenu();
    ASSERT_NE(nullptr, menu);
    MENUITEMINFOA item;
    std::memset(&item, 0, sizeof item);
    item.cbSize = MenuItemInfoSize;
    item.fMask = MIIM_STATE | MIIM_ID | MIIM_TYPE;
    item.fType = MFT_STRING;
    item.fState = MFS_CHECKED;
    item.wID = 40006;
    char text[] = "DISPLAY1";
    item.dwTypeData = text;
    EXPECT_TRUE(InsertMenuItemA(menu, 0, TRUE, &item));
    char back[16] = "";
    std::memset(&item, 0, sizeof item);
    item.cbSize = MenuItemInfoSize;
    item.fMask = MIIM_STATE | MIIM_ID | MIIM_TYPE;
    item.dwTypeData = back;
    item.cch = sizeof back;
    ASSERT_TRUE(GetMenuItemInfoA(menu, 0, TRUE, &item));
    EXPECT_STREQ("DISPLAY1", back);
    EXPECT_EQ(40006u, item.wID);
    EXPECT_TRUE(item.fState & MFS_CHECKED);
    DestroyMenu(menu);

    INITCOMMONCONTROLSEX controls = {InitCommonControlsSize,
                                     ICC_LISTVIEW_CLASSES | ICC_USEREX_CLASSES};
    EXPECT_TRUE(InitCommonControlsEx(&controls));

    VersionRecord version;
    std::memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = VersionRecordSize;
    EXPECT_NE(0, DisplayGetVersion(&version));
    EXPECT_NE(0u, version.dwMajorVersion);
}
