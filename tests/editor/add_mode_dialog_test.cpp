#include "editor/add_mode_dialog.h"

#include "support/dialog_script.h"
#include "ui/app_instance.h"
#include "ui/resource.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const int Fields[3] = {IDC_MODE_WIDTH, IDC_MODE_HEIGHT, IDC_MODE_REFRESH};

std::string FieldText(HWND dialog, int id) {
    char text[300];
    int length = GetWindowTextA(GetDlgItem(dialog, id), text, sizeof text);
    return std::string(text, length > 0 ? length : 0);
}

void SetField(HWND dialog, int id, const char* text) {
    SendMessageA(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

// Replaces the field's text by typing, as the keyboard would.
void TypeInto(HWND dialog, int id, const char* text) {
    HWND edit = GetDlgItem(dialog, id);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    SendMessageA(edit, WM_CHAR, VK_BACK, 0);
    for (const char* c = text; *c; ++c)
        SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(*c), 0);
}

class AddModeDialog : public ::testing::Test {
protected:
    void SetUp() override { AppInstance = GetModuleHandleA(nullptr); }
};

// OK, or Enter from an edit, which the dialog manager turns into OK.
TEST_F(AddModeDialog, OkReturnsTheTypedMode) {
    for (int enter : {0, 1}) {
        SCOPED_TRACE(enter);
        NewModeRequest request;
        DialogScript script([&](HWND dialog) {
            for (int id : Fields)
                EXPECT_EQ("0", FieldText(dialog, id)) << id;
            ExpectInitialFocus(dialog, IDOK);
            TypeInto(dialog, IDC_MODE_WIDTH, "1024");
            TypeInto(dialog, IDC_MODE_HEIGHT, "768");
            TypeInto(dialog, IDC_MODE_REFRESH, "75");
            if (enter) {
                SetFocus(GetDlgItem(dialog, IDC_MODE_REFRESH));
                PressKey(dialog, VK_RETURN);
            } else {
                Click(dialog, IDOK);
            }
        });
        EXPECT_EQ(1, AskNewMode(&request, nullptr));
        EXPECT_TRUE(script.Shown());
        EXPECT_EQ(1024, request.width);
        EXPECT_EQ(768, request.height);
        EXPECT_EQ(75, request.refresh);
    }
}

TEST_F(AddModeDialog, CancelLeavesTheRequestAtZero) {
    enum { ClickCancel, PressEsc, CloseBox, PostClose };
    for (int answer : {ClickCancel, PressEsc, CloseBox, PostClose}) {
        SCOPED_TRACE(answer);
        NewModeRequest request;
        DialogScript script([&](HWND dialog) {
            TypeInto(dialog, IDC_MODE_WIDTH, "800");
            TypeInto(dialog, IDC_MODE_HEIGHT, "600");
            TypeInto(dialog, IDC_MODE_REFRESH, "85");
            if (answer == ClickCancel)
                Click(dialog, IDCANCEL);
            else if (answer == PressEsc)
                PressKey(dialog, VK_ESCAPE);
            else if (answer == CloseBox)
                PressCloseBox(dialog);
            else
                PostMessageA(dialog, WM_CLOSE, 0, 0);
        });
        EXPECT_EQ(2, AskNewMode(&request, nullptr));
        EXPECT_TRUE(script.Shown());
        EXPECT_EQ(0, request.width);
        EXPECT_EQ(0, request.height);
        EXPECT_EQ(0, request.refresh);
    }
}

// The edits refuse what is not a digit and a fifth digit, whatever the keyboard sends.
TEST_F(AddModeDialog, FieldsTakeAtMostFourDigits) {
    const struct {
        const char* typed;
        const char* shown;
        uint16_t value;
    } cases[] = {
        {"1024", "1024", 1024},  {"12345", "1234", 1234},
        {"70000", "7000", 7000}, {"9999", "9999", 9999},
        {"a1b2", "12", 12},      {"-5", "5", 5},
        {" 7", "7", 7},          {"", "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        NewModeRequest request;
        DialogScript script([&](HWND dialog) {
            for (int id : Fields) {
                TypeInto(dialog, id, c.typed);
                EXPECT_EQ(c.shown, FieldText(dialog, id)) << id;
            }
            Click(dialog, IDOK);
        });
        EXPECT_EQ(1, AskNewMode(&request, nullptr));
        EXPECT_EQ(c.value, request.width);
        EXPECT_EQ(c.value, request.height);
        EXPECT_EQ(c.value, request.refresh);
    }
}

// Text put into a field past the keyboard is still read as atoi reads it, to its low 16 bits.
TEST_F(AddModeDialog, ReadsTheLeadingNumberToSixteenBits) {
    const struct {
        const char* text;
        uint16_t value;
    } cases[] = {
        {"", 0},
        {"abc", 0},
        {"12ab", 12},
        {"0", 0},
        {"65535", 65535},
        {"65536", 0},
        {"70000", 4464},
        {"  42", 42},
        {"99999999999", 65535}, // past the range of int: the largest int, 0x7FFFFFFF
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        NewModeRequest request;
        DialogScript script([&](HWND dialog) {
            SetField(dialog, IDC_MODE_WIDTH, c.text);
            SetField(dialog, IDC_MODE_HEIGHT, "768");
            SetField(dialog, IDC_MODE_REFRESH, c.text);
            Click(dialog, IDOK);
        });
        EXPECT_EQ(1, AskNewMode(&request, nullptr));
        EXPECT_EQ(c.value, request.width);
        EXPECT_EQ(768, request.height);
        EXPECT_EQ(c.value, request.refresh);
    }
}

TEST_F(AddModeDialog, OpensCentredOnItsDisabledOwner) {
    HWND owner = CreateWindowA("STATIC", "Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 120, 80, 640,
                               520, nullptr, nullptr, AppInstance, nullptr);
    ASSERT_NE(nullptr, owner);
    RECT box = {}, opening = {};
    int ownerEnabled = -1;
    NewModeRequest request;
    DialogScript script([&](HWND dialog) {
        GetWindowRect(dialog, &box);
        POINT origin = {0, 0};
        ClientToScreen(owner, &origin);
        opening = OpeningRect(dialog, origin);
        ownerEnabled = IsWindowEnabled(owner);
        Click(dialog, IDCANCEL);
    });
    EXPECT_EQ(2, AskNewMode(&request, reinterpret_cast<WindowHandle>(owner)));
    ASSERT_TRUE(script.Shown());
    EXPECT_EQ(0, ownerEnabled);
    EXPECT_TRUE(IsWindowEnabled(owner));
    // Half the way from where it opened to the owner's bottom-right corner, counted from the
    // owner's client origin.
    RECT frame;
    POINT origin = {0, 0};
    ASSERT_TRUE(GetWindowRect(owner, &frame));
    ASSERT_TRUE(ClientToScreen(owner, &origin));
    EXPECT_EQ(origin.x + (frame.right - opening.right) / 2, box.left);
    EXPECT_EQ(origin.y + (frame.bottom - opening.bottom) / 2, box.top);
    DestroyWindow(owner);
}

// The dialog fills the request it was asked with, not one made after it.
TEST_F(AddModeDialog, FillsTheRequestItWasGiven) {
    NewModeRequest asked;
    NewModeRequest later;
    EXPECT_EQ(&later, CurrentModeRequest);
    DialogScript script([](HWND dialog) {
        TypeInto(dialog, IDC_MODE_WIDTH, "1280");
        Click(dialog, IDOK);
    });
    EXPECT_EQ(1, AskNewMode(&asked, nullptr));
    EXPECT_EQ(1280, asked.width);
    EXPECT_EQ(0, later.width);
    EXPECT_EQ(0, AskNewMode(nullptr, nullptr));
}

} // namespace
