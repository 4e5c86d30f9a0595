// The About box, driven in its own modal loop: what it shows, where it opens, what closes it.
#include "app/about.h"

#include "support/dialog_script.h"
#include "ui/app_instance.h"
#include "ui/resource.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const char ProductLine[] = "Orvane Velmora v1.0 Build 002";

TEST(About, ProductLineIsFormattedOnlyWhenItFits) {
    AppInstance = GetModuleHandleA(nullptr);
    const struct {
        size_t size;
        int result;
        const char* text;
    } cases[] = {
        {STRING_LIMIT, 1, ProductLine},
        {sizeof ProductLine, 1, ProductLine}, // exactly the line and its terminating zero
        {sizeof ProductLine - 1, 0, ""},      // one short: refused, not cut
        {1, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        char line[STRING_LIMIT];
        memset(line, 'x', sizeof line);
        EXPECT_EQ(FormatProductLine(line, c.size), c.result);
        EXPECT_STREQ(line, c.text);
    }
    char untouched = 'x';
    EXPECT_EQ(FormatProductLine(&untouched, 0), 0);
    EXPECT_EQ(untouched, 'x');
    EXPECT_EQ(FormatProductLine(nullptr, STRING_LIMIT), 0);
}

std::string ControlText(HWND dialog, int id) {
    char text[STRING_LIMIT] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

RECT WindowRect(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

// The box's icon control, which has no identifier of its own.
HWND IconControl(HWND dialog) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            return child;
        }
    }
    return nullptr;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Each test opens the box over an owner of its own, as the main window does.
class AboutBox : public ::testing::Test {
protected:
    void SetUp() override {
        AppInstance = GetModuleHandleA(nullptr);
        owner = CreateWindowExA(0, "STATIC", "Owner", WS_OVERLAPPEDWINDOW, 150, 110, 700, 520,
                                nullptr, nullptr, AppInstance, nullptr);
        ASSERT_NE(owner, nullptr);
    }
    void TearDown() override {
        if (owner != nullptr) {
            DestroyWindow(owner);
        }
    }
    INT_PTR Open() { return DialogBoxParamA(AppInstance, IDD_ABOUT, owner, AboutDialogProc, 0); }

    HWND owner = nullptr;
};

TEST_F(AboutBox, OpensWithProductLineIconFocusAndPlace) {
    std::string text;
    HWND focus = nullptr, closeButton = nullptr;
    RECT box = {};
    POINT frame = {}; // from the window's corner to its client area's
    SIZE icon = {};
    DialogScript script([&](HWND dialog) {
        text = ControlText(dialog, IDC_PRODUCT_LINE);
        focus = GetFocus();
        closeButton = GetDlgItem(dialog, IDC_ABOUT_CLOSE);
        box = WindowRect(dialog);
        POINT client = {0, 0};
        ClientToScreen(dialog, &client);
        frame = {client.x - box.left, client.y - box.top};
        HICON shown = reinterpret_cast<HICON>(SendMessageA(IconControl(dialog), STM_GETICON, 0, 0));
        ICONINFO info = {};
        BITMAP colour = {};
        if (shown != nullptr && GetIconInfo(shown, &info)) {
            GetObjectA(info.hbmColor, sizeof colour, &colour);
            icon = {colour.bmWidth, colour.bmHeight};
            DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
        }
        Click(dialog, IDC_ABOUT_CLOSE);
    });
    EXPECT_EQ(Open(), 2);
    ASSERT_TRUE(script.Shown());
    EXPECT_EQ(text, ProductLine);
    EXPECT_EQ(focus, closeButton);
    EXPECT_EQ(icon.cx, 32);
    EXPECT_EQ(icon.cy, 32);

    // The dialog manager opened the box with its client area at the owner's client origin; from
    // there it was centred up to the owner's bottom-right corner.
    RECT reference = WindowRect(owner);
    POINT origin = {0, 0};
    ClientToScreen(owner, &origin);
    LONG openedRight = origin.x - frame.x + (box.right - box.left);
    LONG openedBottom = origin.y - frame.y + (box.bottom - box.top);
    EXPECT_EQ(box.left, origin.x + (reference.right - openedRight) / 2);
    EXPECT_EQ(box.top, origin.y + (reference.bottom - openedBottom) / 2);
}

TEST_F(AboutBox, EveryWayOfClosingEndsWithTwo) {
    const struct {
        const char* what;
        void (*input)(HWND);
    } inputs[] = {
        {"Close", [](HWND dialog) { Click(dialog, IDC_ABOUT_CLOSE); }},
        {"Esc", [](HWND dialog) { PressKey(dialog, VK_ESCAPE); }},
        {"Enter on Close", [](HWND dialog) { PressKey(dialog, VK_RETURN); }},
        {"close box", [](HWND dialog) { PressCloseBox(dialog); }},
        {"WM_CLOSE", [](HWND dialog) { PostMessageA(dialog, WM_CLOSE, 0, 0); }},
    };
    for (const auto& input : inputs) {
        SCOPED_TRACE(input.what);
        DialogScript script(input.input);
        EXPECT_EQ(Open(), 2);
        EXPECT_TRUE(script.Shown());
    }
}

TEST_F(AboutBox, OtherCommandsLeaveItOpenAndUnchanged) {
    // Commands the box must ignore: other identifiers, and the identifier 2 with a
    // notification code, which is not a click.
    const WPARAM commands[] = {IDOK, MAKEWPARAM(IDC_ABOUT_CLOSE, 1),
                               MAKEWPARAM(IDC_ABOUT_CLOSE, BN_SETFOCUS), IDC_PRODUCT_LINE,
                               IDM_ABOUT};
    bool stayedOpen = true;
    bool textKept = true;
    bool placeKept = true;
    DialogScript script([&](HWND dialog) {
        // The user moves the box first; it must stay where it was put.
        SetWindowPos(dialog, nullptr, 37, 41, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        RECT moved = WindowRect(dialog);
        for (WPARAM command : commands) {
            SendMessageA(dialog, WM_COMMAND, command, 0);
            stayedOpen = stayedOpen && IsWindowVisible(dialog);
            textKept = textKept && ControlText(dialog, IDC_PRODUCT_LINE) == ProductLine;
            placeKept = placeKept && SameRect(WindowRect(dialog), moved);
        }
        Click(dialog, IDC_ABOUT_CLOSE);
    });
    EXPECT_EQ(Open(), 2);
    ASSERT_TRUE(script.Shown());
    EXPECT_TRUE(stayedOpen);
    EXPECT_TRUE(textKept);
    EXPECT_TRUE(placeKept);
}

} // namespace
