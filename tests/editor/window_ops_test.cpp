// The Win32 window operations on real controls, menus, message boxes and dialogs.
#include "editor/shell_window_ops.h"
#include "editor/window_ops.h"

#include "support/dialog_script.h"
#include "ui/app_instance.h"
#include "ui/resource.h"
#include "ui/strings.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>

namespace {

// A main window stand-in made of the real control classes: the list, one check box, one edit,
// the Apply button, and a menu bar of "&File" and "&Help".
class WindowOps : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        AppInstance = GetModuleHandleA(nullptr);
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);
    }

    void SetUp() override {
        bar = CreateMenu();
        AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(CreatePopupMenu()), "&File");
        AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(CreatePopupMenu()), "&Help");
        window = CreateWindowExA(0, "STATIC", "Main", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                                 bar, AppInstance, nullptr);
        ASSERT_NE(window, nullptr);
        list = Child(WC_LISTVIEWA, WS_CHILD | LVS_REPORT | LVS_SINGLESEL, IDC_MODE_LIST);
        check = Child("BUTTON", WS_CHILD | BS_AUTOCHECKBOX, IDC_DOUBLE_SCAN);
        edit =
            Child("EDIT", WS_CHILD | ES_NUMBER | ES_AUTOHSCROLL | WS_BORDER, IDC_HORIZONTAL_TOTAL);
        apply = Child("BUTTON", WS_CHILD | BS_PUSHBUTTON | WS_DISABLED, IDC_APPLY);
    }

    void TearDown() override { DestroyWindow(window); }

    HWND Child(const char* className, DWORD style, int id) {
        HWND child = CreateWindowExA(0, className, "", style, 0, 0, 100, 20, window,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), AppInstance,
                                     nullptr);
        EXPECT_NE(child, nullptr) << className;
        return child;
    }

    WindowHandle Handle() { return reinterpret_cast<WindowHandle>(window); }

    std::string Cell(int row, int column) {
        char text[64] = "";
        LVITEMA item = {};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = sizeof(text);
        SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
        return text;
    }

    std::string MenuText(HMENU menu, UINT position) {
        char text[64] = "";
        GetMenuStringA(menu, position, text, sizeof(text), MF_BYPOSITION);
        return text;
    }

    HMENU bar = nullptr;
    HWND window = nullptr;
    HWND list = nullptr;
    HWND check = nullptr;
    HWND edit = nullptr;
    HWND apply = nullptr;
};

TEST_F(WindowOps, ListRowsAreInsertedFilledAndDeleted) {
    for (int32_t column = 0; column < 3; ++column)
        ListInsertColumn(Handle(), column, 100, "");
    EXPECT_EQ(ListInsertRow(Handle(), ListRowCount(Handle()), "640"), 0);
    ListSetCell(Handle(), 0, 1, "480");
    ListSetCell(Handle(), 0, 2, "60");
    EXPECT_EQ(ListInsertRow(Handle(), ListRowCount(Handle()), "800"), 1);
    ListSetCell(Handle(), 1, 1, "600");
    ListSetCell(Handle(), 1, 2, "-5");
    EXPECT_EQ(ListRowCount(Handle()), 2);
    EXPECT_EQ(Cell(0, 0) + " " + Cell(0, 1) + " " + Cell(0, 2), "640 480 60");
    EXPECT_EQ(Cell(1, 0) + " " + Cell(1, 1) + " " + Cell(1, 2), "800 600 -5");

    ListDeleteRow(Handle(), 0);
    EXPECT_EQ(ListRowCount(Handle()), 1);
    EXPECT_EQ(Cell(0, 0), "800");
    ListDeleteAllRows(Handle());
    EXPECT_EQ(ListRowCount(Handle()), 0);
}

// Rows inserted while the list does not draw are all there once it draws again, and the list is
// still shown.
TEST_F(WindowOps, RowsInsertedWithDrawingStoppedAreThereWhenItResumes) {
    ShowWindow(window, SW_SHOWNA);
    ShowWindow(list, SW_SHOWNA);
    ListInsertColumn(Handle(), 0, 100, "");
    ListSetRedraw(Handle(), 0);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(ListInsertRow(Handle(), ListRowCount(Handle()), std::to_string(i).c_str()), i);
    ListSetRedraw(Handle(), 1);
    EXPECT_EQ(ListRowCount(Handle()), 100);
    EXPECT_EQ(Cell(99, 0), "99");
    EXPECT_TRUE(IsWindowVisible(list));
}

// The list found when one window's drawing stops serves that window alone: rows for another
// window go to that window's own list, and after the resume every window's list is found anew.
TEST_F(WindowOps, AStoppedListServesItsOwnWindowOnly) {
    HWND other = CreateWindowExA(0, "STATIC", "Other", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                                 nullptr, AppInstance, nullptr);
    ASSERT_NE(other, nullptr);
    HWND otherList = CreateWindowExA(
        0, WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT, 0, 0, 100, 20, other,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_MODE_LIST)), AppInstance, nullptr);
    ASSERT_NE(otherList, nullptr);
    WindowHandle otherHandle = reinterpret_cast<WindowHandle>(other);

    ListSetRedraw(Handle(), 0);
    EXPECT_EQ(ListInsertRow(Handle(), 0, "640"), 0);
    EXPECT_EQ(ListInsertRow(otherHandle, 0, "800"), 0);
    EXPECT_EQ(ListInsertRow(otherHandle, 1, "1024"), 1);
    ListSetRedraw(Handle(), 1);
    EXPECT_EQ(ListRowCount(Handle()), 1);
    EXPECT_EQ(ListRowCount(otherHandle), 2);
    EXPECT_EQ(SendMessageA(otherList, LVM_GETITEMCOUNT, 0, 0), 2);

    DestroyWindow(other);
    ListDeleteAllRows(Handle());
    EXPECT_EQ(ListRowCount(Handle()), 0);
}

TEST_F(WindowOps, ListColumnsAndTheSelectionMark) {
    ListInsertColumn(Handle(), 0, 100, "Mode Width");
    ListInsertColumn(Handle(), 1, 100, "Mode Height");
    char text[64] = "";
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = text;
    column.cchTextMax = sizeof(text);
    ASSERT_TRUE(SendMessageA(list, LVM_GETCOLUMNA, 1, reinterpret_cast<LPARAM>(&column)));
    EXPECT_STREQ(text, "Mode Height");
    EXPECT_EQ(column.cx, 100);

    ListInsertRow(Handle(), 0, "640");
    SendMessageA(list, LVM_SETSELECTIONMARK, 0, 0);
    ASSERT_EQ(SendMessageA(list, LVM_GETSELECTIONMARK, 0, 0), 0);
    ListResetSelectionMark(Handle());
    EXPECT_EQ(SendMessageA(list, LVM_GETSELECTIONMARK, 0, 0), -1);
}

TEST_F(WindowOps, CheckBoxesAndEnabling) {
    SetCheck(Handle(), IDC_DOUBLE_SCAN, 1);
    EXPECT_EQ(SendMessageA(check, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(GetCheck(Handle(), IDC_DOUBLE_SCAN), 1);
    SetCheck(Handle(), IDC_DOUBLE_SCAN, 0);
    EXPECT_EQ(GetCheck(Handle(), IDC_DOUBLE_SCAN), 0);

    EnableControl(Handle(), IDC_APPLY, 1);
    EXPECT_TRUE(IsWindowEnabled(apply));
    EnableControl(Handle(), IDC_APPLY, 0);
    EXPECT_FALSE(IsWindowEnabled(apply));
}

TEST_F(WindowOps, EditTextIsReadWholeOrNotAtAll) {
    struct Case {
        const char* text;
        int32_t limit;
        int read;
    };
    const Case cases[] = {
        {"", 255, 1}, {"12345678", 255, 1}, {"12345678", 9, 1}, {"12345678", 8, 0}, {"1", 1, 0},
    };
    for (const Case& c : cases) {
        SetEditText(Handle(), IDC_HORIZONTAL_TOTAL, c.text);
        char buffer[256];
        std::memset(buffer, 'x', sizeof(buffer));
        EXPECT_EQ(GetEditText(Handle(), IDC_HORIZONTAL_TOTAL, buffer, c.limit), c.read)
            << c.text << " in " << c.limit;
        EXPECT_STREQ(buffer, c.read ? c.text : "") << c.text << " in " << c.limit;
    }
}

TEST_F(WindowOps, ALimitedEditTakesNoMoreDigitsThanTheLimit) {
    LimitEditText(Handle(), IDC_HORIZONTAL_TOTAL, 8);
    EXPECT_EQ(SendMessageA(edit, EM_GETLIMITTEXT, 0, 0), 8);
    for (char digit : std::string("123456789"))
        SendMessageA(edit, WM_CHAR, static_cast<WPARAM>(digit), 0);
    char buffer[32];
    ASSERT_EQ(GetEditText(Handle(), IDC_HORIZONTAL_TOTAL, buffer, sizeof(buffer)), 1);
    EXPECT_STREQ(buffer, "12345678");
}

TEST_F(WindowOps, TheDeviceMenuStandsBetweenFileAndHelpWithARadioCheck) {
    ASSERT_EQ(InsertDeviceMenu(Handle(), "&Device"), 1);
    for (uint32_t i = 0; i < 12; ++i) {
        std::string name = "DISPLAY" + std::to_string(i + 1);
        ASSERT_EQ(InsertDeviceMenuItem(Handle(), i, 40006 + i, name.c_str(), i == 0), 1);
    }
    ASSERT_EQ(GetMenuItemCount(bar), 3);
    EXPECT_EQ(MenuText(bar, 0), "&File");
    EXPECT_EQ(MenuText(bar, 1), "&Device");
    EXPECT_EQ(MenuText(bar, 2), "&Help");
    HMENU devices = GetSubMenu(bar, 1);
    ASSERT_EQ(GetMenuItemCount(devices), 12);
    EXPECT_EQ(MenuText(devices, 11), "DISPLAY12");
    EXPECT_EQ(GetMenuItemID(devices, 11), 40017u);
    EXPECT_TRUE(GetMenuState(devices, 0, MF_BYPOSITION) & MF_CHECKED);

    CheckDeviceMenuItem(Handle(), 0, 11, 11);
    for (UINT i = 0; i < 12; ++i)
        EXPECT_EQ((GetMenuState(devices, i, MF_BYPOSITION) & MF_CHECKED) != 0, i == 11) << i;
}

TEST_F(WindowOps, StringsLoadWholeOrNotAtAll) {
    struct Case {
        uint32_t id;
        int32_t limit;
        const char* text; // null when refused
    };
    const Case cases[] = {
        {IDS_CAPTION, 255, STR_CAPTION},
        {IDS_CAPTION, 15, STR_CAPTION},
        {IDS_CAPTION, 14, nullptr},
        {IDS_DEVICE_MENU, 255, STR_DEVICE_MENU},
        {IDS_APPLY_FAILED, 255, STR_APPLY_FAILED},
        {99, 255, nullptr},
    };
    for (const Case& c : cases) {
        char buffer[256];
        std::memset(buffer, 'x', sizeof(buffer));
        EXPECT_EQ(LoadResourceString(c.id, buffer, c.limit), c.text ? 1 : 0) << c.id;
        EXPECT_STREQ(buffer, c.text ? c.text : "") << c.id << " in " << c.limit;
    }
    char disclaimer[STRING_LIMIT_DISCLAIMER];
    EXPECT_EQ(LoadResourceString(IDS_DISCLAIMER, disclaimer, STRING_LIMIT_DISCLAIMER), 1);
    EXPECT_EQ(std::strlen(disclaimer), 686u);
    EXPECT_EQ(LoadResourceString(IDS_DISCLAIMER, disclaimer, 686), 0);
}

TEST_F(WindowOps, TheQuestionIsYesOnlyForYesAndOwnedByTheWindow) {
    for (int button : {IDYES, IDNO}) {
        HWND owner = nullptr;
        DialogScript script([&](HWND box) {
            owner = GetWindow(box, GW_OWNER);
            Click(box, button);
        });
        EXPECT_EQ(AskYesNo(Handle(), "Apply?", "Orvane Velmora"), button == IDYES) << button;
        EXPECT_TRUE(script.Shown());
        EXPECT_EQ(owner, window);
    }
}

TEST_F(WindowOps, TheErrorTheDisclaimerAndTheAboutBoxOpenOwnedByTheWindow) {
    struct Case {
        const char* name;
        void (*show)(WindowHandle);
        int button;
    };
    const Case cases[] = {
        {"error", [](WindowHandle owner) { ShowErrorMessage(owner, "Failed", "Orvane Velmora"); },
         IDOK},
        {"disclaimer", ShowDisclaimerOnRequest, IDC_ACCEPT},
        {"about", ShowAboutBox, IDC_ABOUT_CLOSE},
    };
    for (const Case& c : cases) {
        HWND owner = nullptr;
        DialogScript script([&](HWND dialog) {
            owner = GetWindow(dialog, GW_OWNER);
            Click(dialog, c.button);
        });
        c.show(Handle());
        EXPECT_TRUE(script.Shown()) << c.name;
        EXPECT_EQ(owner, window) << c.name;
    }
}

INT_PTR CALLBACK QuietDialog(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

TEST_F(WindowOps, EndingTheMainWindowHidesItAndPostsQuit) {
    HWND dialog = CreateDialogParamA(AppInstance, IDD_ABOUT, nullptr, QuietDialog, 0);
    ASSERT_NE(dialog, nullptr);
    ShowWindow(dialog, SW_SHOW);
    EndMainWindow(reinterpret_cast<WindowHandle>(dialog), 40002);

    EXPECT_FALSE(IsWindowVisible(dialog));
    MSG message;
    int quit = 0;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        if (message.message == WM_QUIT) {
            quit = 1;
            EXPECT_EQ(message.wParam, 0u);
        }
    EXPECT_TRUE(quit);
    DestroyWindow(dialog);
}

} // namespace
