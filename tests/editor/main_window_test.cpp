// The main window created in this process on two simulated adapters, for what another process
// cannot read under Wine: the menus (with their check marks) and the window's icons. The rest of
// the first view is checked here too, read directly from the controls.
#include "editor/editor.h"
#include "e2e/scenario.h"
#include "editor/main_window.h"
#include "store/device_store.h"
#include "ui/app_instance.h"
#include "ui/resource.h"
#include "ui/strings.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using namespace scenario;

const char AdaptersKey[] = "Software\\Velmora Simulated Driver\\Adapters";

// The text and type of a menu item by position.
struct MenuItem {
    std::string text;
    UINT type = 0;
    UINT state = 0;
    UINT id = 0;
};

MenuItem ItemAt(HMENU menu, UINT position) {
    MenuItem item;
    char text[256] = {};
    MENUITEMINFOA info;
    std::memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING | MIIM_FTYPE | MIIM_STATE | MIIM_ID;
    info.dwTypeData = text;
    info.cch = sizeof text;
    if (GetMenuItemInfoA(menu, position, TRUE, &info)) {
        item.text = text;
        item.type = info.fType;
        item.state = info.fState;
        item.id = info.wID;
    }
    return item;
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveKeys();
        ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, CompanyKey));
        const char* names[] = {"\\\\.\\DISPLAY1", "\\\\.\\DISPLAY2"};
        const char* paths[] = {DriverKey0, DriverKey1};
        for (int i = 0; i < 2; ++i) {
            std::string adapter = std::string(AdaptersKey) + "\\" + std::to_string(i);
            ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, adapter.c_str(), "DeviceName", names[i]));
            ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, adapter.c_str(), "DriverKey", paths[i]));
            ASSERT_TRUE(CreateKey(HKEY_LOCAL_MACHINE, paths[i]));
        }

        INITCOMMONCONTROLSEX controls = {sizeof controls,
                                         ICC_LISTVIEW_CLASSES | ICC_USEREX_CLASSES};
        InitCommonControlsEx(&controls);
        AppInstance = GetModuleHandleA(nullptr);
        ASSERT_EQ(1, CreateMainWindow(&editor, SW_SHOWNORMAL));
        window = reinterpret_cast<HWND>(editor.mainWindow);
        ASSERT_NE(nullptr, window);
    }

    void TearDown() override {
        if (window)
            DestroyWindow(window);
        RemoveKeys();
    }

    static void RemoveKeys() {
        DeleteKey(HKEY_LOCAL_MACHINE, SimulatedDriverKey);
        DeleteKey(HKEY_LOCAL_MACHINE, DriverKey0);
        DeleteKey(HKEY_LOCAL_MACHINE, DriverKey1);
        DeleteKey(HKEY_CURRENT_USER, UserKey);
    }

    HMENU DeviceMenu() { return GetSubMenu(GetMenu(window), 1); }

    int Checked(UINT position) {
        return (GetMenuState(DeviceMenu(), position, MF_BYPOSITION) & MF_CHECKED) != 0;
    }

    EditorState editor;
    HWND window = nullptr;
};

} // namespace

TEST_F(MainWindow, MenuBarReadsFileDeviceHelpWithHelpAtTheRightEnd) {
    HMENU bar = GetMenu(window);
    ASSERT_NE(nullptr, bar);
    ASSERT_EQ(3, GetMenuItemCount(bar));
    const char* titles[] = {MENU_FILE, STR_DEVICE_MENU, MENU_HELP};
    for (UINT position = 0; position < 3; ++position) {
        MenuItem item = ItemAt(bar, position);
        EXPECT_EQ(titles[position], item.text);
        EXPECT_EQ(position == 2, (item.type & MFT_RIGHTJUSTIFY) != 0) << item.text;
    }

    HMENU file = GetSubMenu(bar, 0);
    ASSERT_EQ(2, GetMenuItemCount(file));
    EXPECT_EQ(MENU_SAVE_EXIT, ItemAt(file, 0).text);
    EXPECT_EQ(static_cast<UINT>(IDM_SAVE_EXIT), ItemAt(file, 0).id);
    EXPECT_EQ(MENU_EXIT, ItemAt(file, 1).text);
    EXPECT_EQ(static_cast<UINT>(IDM_EXIT), ItemAt(file, 1).id);

    HMENU help = GetSubMenu(bar, 2);
    ASSERT_EQ(3, GetMenuItemCount(help));
    EXPECT_EQ(MENU_DISCLAIMER, ItemAt(help, 0).text);
    EXPECT_EQ(static_cast<UINT>(IDM_DISCLAIMER), ItemAt(help, 0).id);
    EXPECT_NE(0u, ItemAt(help, 1).type & MFT_SEPARATOR);
    EXPECT_EQ(MENU_ABOUT, ItemAt(help, 2).text);
    EXPECT_EQ(static_cast<UINT>(IDM_ABOUT), ItemAt(help, 2).id);
}

TEST_F(MainWindow, DeviceMenuListsTheDevicesAndItsCheckFollowsTheSwitch) {
    HMENU devices = DeviceMenu();
    ASSERT_NE(nullptr, devices);
    ASSERT_EQ(2, GetMenuItemCount(devices));
    EXPECT_EQ("DISPLAY1", ItemAt(devices, 0).text);
    EXPECT_EQ(static_cast<UINT>(IDM_DEVICE_FIRST), ItemAt(devices, 0).id);
    EXPECT_EQ("DISPLAY2", ItemAt(devices, 1).text);
    EXPECT_EQ(static_cast<UINT>(IDM_DEVICE_FIRST + 1), ItemAt(devices, 1).id);
    EXPECT_EQ(1, Checked(0));
    EXPECT_EQ(0, Checked(1));

    editor.Command(IDM_DEVICE_FIRST + 1);
    EXPECT_EQ(0, Checked(0));
    EXPECT_EQ(1, Checked(1));
    EXPECT_EQ(1u, editor.currentDevice);
    EXPECT_STREQ(DriverKey1, editor.edit.Key().path);
    EXPECT_STREQ("DISPLAY2", editor.edit.Name());

    editor.Command(IDM_DEVICE_FIRST);
    EXPECT_EQ(1, Checked(0));
    EXPECT_EQ(0, Checked(1));
}

TEST_F(MainWindow, TakesTheProgramIconAsItsBigAndSmallIcon) {
    HICON icon = LoadIconA(AppInstance, IDI_ORVANE);
    ASSERT_NE(nullptr, icon);
    EXPECT_EQ(reinterpret_cast<LRESULT>(icon), SendMessageA(window, WM_GETICON, ICON_BIG, 0));
    EXPECT_EQ(reinterpret_cast<LRESULT>(icon), SendMessageA(window, WM_GETICON, ICON_SMALL, 0));
}

TEST_F(MainWindow, ListHasThreeTitledColumnsOfAHundredPixels) {
    HWND list = GetDlgItem(window, IDC_MODE_LIST);
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    ASSERT_EQ(3, SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
    const char* titles[] = {STR_COLUMN_WIDTH, STR_COLUMN_HEIGHT, STR_COLUMN_REFRESH};
    for (int column = 0; column < 3; ++column) {
        char text[64] = {};
        LVCOLUMNA info;
        std::memset(&info, 0, sizeof info);
        info.mask = LVCF_TEXT | LVCF_WIDTH;
        info.pszText = text;
        info.cchTextMax = sizeof text;
        ASSERT_TRUE(SendMessageA(list, LVM_GETCOLUMNA, column, reinterpret_cast<LPARAM>(&info)));
        EXPECT_STREQ(titles[column], text);
        EXPECT_EQ(100, info.cx) << titles[column];
    }
}

TEST_F(MainWindow, OpensWithModifyRemoveApplyAndThePaneDisabled) {
    EXPECT_TRUE(IsWindowVisible(window));
    for (int control : {IDC_MODE_LIST, IDC_ADD, IDC_DISCLAIMER})
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, control))) << control;
    for (int control : {IDC_MODIFY, IDC_REMOVE, IDC_APPLY})
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, control))) << control;
    for (int control = IDC_HORIZONTAL_TOTAL; control <= IDC_OVERSCAN_GREEN_RED; ++control)
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, control))) << control;
    for (int control = IDC_DOUBLE_SCAN; control <= IDC_VSYNC_NEGATIVE; ++control)
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, control))) << control;
}
