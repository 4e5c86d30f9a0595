// The resource set as compiled into this executable: strings, dialog templates (parsed from their
// bytes), menu, icon, version block and language; and the manifest as built into both programs.
#include "ui/resource.h"
#include "ui/strings.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <cctype>
#include <cstring>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

const WORD CanadianEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_CAN);

HINSTANCE Self() {
    return GetModuleHandleA(nullptr);
}

// Resource bytes of one resource in Canadian English; empty when it is missing.
std::vector<uint8_t> ResourceBytes(LPCSTR type, LPCSTR name, HMODULE module = Self()) {
    HRSRC found = FindResourceExA(module, type, name, CanadianEnglish);
    if (found == nullptr) {
        return {};
    }
    HGLOBAL loaded = LoadResource(module, found);
    const uint8_t* data = static_cast<const uint8_t*>(LockResource(loaded));
    DWORD size = SizeofResource(module, found);
    if (data == nullptr) {
        return {};
    }
    return std::vector<uint8_t>(data, data + size);
}

// ---- Strings ----------------------------------------------------------------------------------

struct StringRow {
    UINT id;
    const char* text;
    size_t length;
    int limit;
};

// The texts come from strings.h, as the resource script's do; the lengths are counted apart, so
// a text that changed there shows here.
const StringRow Strings[] = {
    {IDS_COLUMN_WIDTH, STR_COLUMN_WIDTH, 10, STRING_LIMIT},
    {IDS_COLUMN_HEIGHT, STR_COLUMN_HEIGHT, 11, STRING_LIMIT},
    {IDS_COLUMN_REFRESH, STR_COLUMN_REFRESH, 12, STRING_LIMIT},
    {IDS_DISCLAIMER, STR_DISCLAIMER, 686, STRING_LIMIT_DISCLAIMER},
    {IDS_CAPTION, STR_CAPTION, 14, STRING_LIMIT},
    {IDS_ACCESS_ERROR, STR_ACCESS_ERROR, 183, STRING_LIMIT_ACCESS_ERROR},
    {IDS_DEVICE_MENU, STR_DEVICE_MENU, 7, STRING_LIMIT},
    {IDS_UNSAVED_CHANGES, STR_UNSAVED_CHANGES, 131, STRING_LIMIT},
    {IDS_PRODUCT_LINE, STR_PRODUCT_LINE, 32, STRING_LIMIT},
    {IDS_NO_DEVICES, STR_NO_DEVICES, 90, STRING_LIMIT},
    {IDS_APPLY_FAILED, STR_APPLY_FAILED, 137, STRING_LIMIT},
};

TEST(Resources, EveryStringHasItsExactTextAndFitsItsLimit) {
    for (const StringRow& row : Strings) {
        SCOPED_TRACE(row.id);
        ASSERT_EQ(strlen(row.text), row.length);
        // The stored length, independent of any buffer: a pointer into the resource itself.
        const wchar_t* stored = nullptr;
        int storedLength = LoadStringW(Self(), row.id, reinterpret_cast<LPWSTR>(&stored), 0);
        EXPECT_EQ(storedLength, static_cast<int>(row.length));
        // Loaded as the program loads it, with room for the terminating zero to spare.
        std::vector<char> buffer(row.limit, '\x7f');
        int loaded = LoadStringA(Self(), row.id, buffer.data(), row.limit);
        EXPECT_EQ(loaded, static_cast<int>(row.length));
        EXPECT_LE(row.length + 1, static_cast<size_t>(row.limit));
        EXPECT_STREQ(buffer.data(), row.text);
    }
}

TEST(Resources, NoStringsBeyondTheTable) {
    const wchar_t* stored = nullptr;
    EXPECT_EQ(LoadStringW(Self(), 0, reinterpret_cast<LPWSTR>(&stored), 0), 0);
    for (UINT id = IDS_APPLY_FAILED + 1; id < 32; ++id) {
        EXPECT_EQ(LoadStringW(Self(), id, reinterpret_cast<LPWSTR>(&stored), 0), 0) << id;
    }
}

// ---- Dialog templates -------------------------------------------------------------------------

// A name-or-ordinal field of a template: an ordinal when `ordinal` is non-zero, else `text`.
struct NameOrOrdinal {
    WORD ordinal = 0;
    std::string text;
};

struct ParsedControl {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    WORD id = 0;
    NameOrOrdinal windowClass;
    NameOrOrdinal text;
    WORD extraBytes = 0;
};

struct ParsedDialog {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    NameOrOrdinal menu;
    NameOrOrdinal windowClass;
    std::string caption;
    WORD pointSize = 0;
    std::string font;
    std::vector<ParsedControl> controls;
};

// Reads a classic DLGTEMPLATE, checking every read against the resource's size.
class TemplateReader {
public:
    explicit TemplateReader(const std::vector<uint8_t>& bytes) : data(bytes) {}

    int Parse(ParsedDialog* dialog) {
        WORD count = 0;
        if (!Dword(&dialog->style) || !Dword(&dialog->exStyle) || !Word(&count) ||
            !Short(&dialog->x) || !Short(&dialog->y) || !Short(&dialog->cx) ||
            !Short(&dialog->cy) || !Field(&dialog->menu) || !Field(&dialog->windowClass) ||
            !Text(&dialog->caption)) {
            return 0;
        }
        if (dialog->style & DS_SETFONT) {
            if (!Word(&dialog->pointSize) || !Text(&dialog->font)) {
                return 0;
            }
        }
        for (WORD i = 0; i < count; ++i) {
            ParsedControl control;
            at = (at + 3) & ~size_t(3);
            if (!Dword(&control.style) || !Dword(&control.exStyle) || !Short(&control.x) ||
                !Short(&control.y) || !Short(&control.cx) || !Short(&control.cy) ||
                !Word(&control.id) || !Field(&control.windowClass) || !Field(&control.text) ||
                !Word(&control.extraBytes) || at + control.extraBytes > data.size()) {
                return 0;
            }
            at += control.extraBytes;
            dialog->controls.push_back(control);
        }
        return 1;
    }

private:
    int Word(WORD* value) {
        if (at + 2 > data.size()) {
            return 0;
        }
        *value = static_cast<WORD>(data[at] | (data[at + 1] << 8));
        at += 2;
        return 1;
    }
    int Short(short* value) {
        WORD word = 0;
        if (!Word(&word)) {
            return 0;
        }
        *value = static_cast<short>(word);
        return 1;
    }
    int Dword(DWORD* value) {
        WORD low = 0, high = 0;
        if (!Word(&low) || !Word(&high)) {
            return 0;
        }
        *value = low | (static_cast<DWORD>(high) << 16);
        return 1;
    }
    // A zero-terminated UTF-16 text; the tests only use the ASCII range.
    int Text(std::string* text) {
        for (;;) {
            WORD c = 0;
            if (!Word(&c)) {
                return 0;
            }
            if (c == 0) {
                return 1;
            }
            text->push_back(c < 0x80 ? static_cast<char>(c) : '?');
        }
    }
    int Field(NameOrOrdinal* field) {
        if (at + 2 <= data.size() && data[at] == 0xFF && data[at + 1] == 0xFF) {
            at += 2;
            return Word(&field->ordinal);
        }
        return Text(&field->text);
    }

    const std::vector<uint8_t>& data;
    size_t at = 0;
};

struct ControlRow {
    int id;
    const char* windowClass;
    const char* text;
    short x, y, cx, cy;
    DWORD style; // besides WS_CHILD | WS_VISIBLE
};

struct TemplateRow {
    const char* name;
    const char* caption;
    DWORD style;
    short cx, cy;
    const char* menu;
    const ControlRow* controls;
    size_t count;
};

const DWORD PaneCheck = BS_AUTOCHECKBOX | WS_DISABLED | WS_GROUP | WS_TABSTOP;
const DWORD PaneLabel = SS_RIGHT | WS_GROUP;
const DWORD PaneEdit = ES_AUTOHSCROLL | ES_NUMBER | WS_DISABLED | WS_BORDER | WS_TABSTOP;
const DWORD FieldEdit = ES_AUTOHSCROLL | ES_NUMBER | WS_BORDER | WS_TABSTOP;
const DWORD AddLabel = SS_RIGHT | SS_CENTERIMAGE | WS_GROUP;

const ControlRow MainControls[] = {
    {1004, "SysListView32", LABEL_MODE_LIST, 7, 7, 254, 97,
     LVS_REPORT | LVS_SINGLESEL | WS_BORDER | WS_GROUP | WS_TABSTOP},
    {1001, "Button", LABEL_ADD, 267, 21, 49, 14, BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP},
    {1003, "Button", LABEL_REMOVE, 323, 21, 49, 14,
     BS_PUSHBUTTON | WS_DISABLED | WS_GROUP | WS_TABSTOP},
    {1002, "Button", LABEL_MODIFY, 267, 48, 49, 14,
     BS_PUSHBUTTON | WS_DISABLED | WS_GROUP | WS_TABSTOP},
    {1033, "Button", LABEL_APPLY, 323, 48, 49, 14, BS_PUSHBUTTON | WS_DISABLED | WS_TABSTOP},
    {1021, "Button", LABEL_DISCLAIMER, 296, 75, 49, 14, BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP},
    {-1, "Button", LABEL_PROPERTIES, 7, 106, 365, 145, BS_GROUPBOX},
    {1026, "Button", LABEL_DOUBLE_SCAN, 13, 119, 57, 10, PaneCheck},
    {1027, "Button", LABEL_INTERLACED, 96, 119, 67, 10, PaneCheck},
    {1028, "Button", LABEL_HSYNC_NEGATIVE, 189, 119, 70, 10, PaneCheck},
    {1029, "Button", LABEL_VSYNC_NEGATIVE, 285, 119, 69, 10, PaneCheck},
};

// The pane's fields in template order: a label, and beside it the field's edit of 41 x 12.
struct PaneField {
    const char* label;
    int edit;
    short labelX, editX, y, labelCx, labelCy;
    DWORD labelStyle;
};

const PaneField PaneFields[] = {
    {LABEL_HORIZONTAL_TOTAL, 1006, 13, 77, 134, 60, 10, PaneLabel},
    {LABEL_HORIZONTAL_DISPLAY, 1007, 13, 77, 158, 60, 17, PaneLabel}, // two lines, not cut
    {LABEL_HORIZONTAL_SYNC_START, 1008, 13, 77, 182, 60, 17, PaneLabel},
    {LABEL_HORIZONTAL_SYNC_WIDTH, 1009, 13, 77, 206, 60, 17, PaneLabel},
    {LABEL_PIXEL_CLOCK, 1014, 13, 77, 230, 64, 17, SS_LEFT | WS_GROUP}, // likewise
    {LABEL_VERTICAL_TOTAL, 1010, 131, 198, 134, 60, 10, PaneLabel},
    {LABEL_VERTICAL_DISPLAY, 1011, 131, 198, 158, 60, 10, PaneLabel},
    {LABEL_VERTICAL_SYNC_START, 1012, 131, 198, 182, 60, 17, PaneLabel},
    {LABEL_VERTICAL_SYNC_WIDTH, 1013, 131, 198, 206, 60, 17, PaneLabel},
    {LABEL_OVERSCAN_BLUE, 1015, 131, 198, 230, 60, 17, PaneLabel},
    {LABEL_HORIZONTAL_OVERSCAN_RIGHT, 1016, 250, 315, 134, 60, 17, PaneLabel},
    {LABEL_HORIZONTAL_OVERSCAN_LEFT, 1017, 250, 315, 158, 60, 17, PaneLabel},
    {LABEL_VERTICAL_OVERSCAN_TOP, 1018, 250, 315, 182, 60, 17, PaneLabel},
    {LABEL_VERTICAL_OVERSCAN_BOTTOM, 1019, 250, 315, 206, 60, 17, PaneLabel},
    {LABEL_OVERSCAN_GREEN_RED, 1020, 250, 315, 230, 60, 17, PaneLabel},
};

// The main window's controls: the list and the buttons, then each pane field's label and edit.
std::vector<ControlRow> MainWindowControls() {
    std::vector<ControlRow> rows(std::begin(MainControls), std::end(MainControls));
    for (const PaneField& f : PaneFields) {
        rows.push_back({-1, "Static", f.label, f.labelX, f.y, f.labelCx, f.labelCy, f.labelStyle});
        rows.push_back({f.edit, "Edit", "", f.editX, f.y, 41, 12, PaneEdit});
    }
    return rows;
}

const std::vector<ControlRow> MainRows = MainWindowControls();

const ControlRow ModeTimingControls[] = {
    {1, "Button", LABEL_OK, 7, 106, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {2, "Button", LABEL_CANCEL, 73, 106, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
    {-1, "Static", LABEL_MODE_WIDTH, 7, 18, 43, 14, AddLabel},
    {-1, "Static", LABEL_MODE_HEIGHT, 7, 45, 43, 14, AddLabel},
    {-1, "Static", LABEL_MODE_REFRESH, 7, 72, 43, 14, AddLabel},
    {1025, "Edit", "", 64, 18, 40, 14, FieldEdit},
    {1023, "Edit", "", 64, 45, 40, 14, FieldEdit},
    {1024, "Edit", "", 64, 72, 40, 14, FieldEdit},
};

const ControlRow DisclaimerControls[] = {
    {1, "Button", LABEL_ACCEPT, 186, 175, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {2, "Button", LABEL_DISAGREE, 127, 175, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
    {1030, "Button", LABEL_DONT_SHOW_AGAIN, 7, 176, 115, 13, BS_AUTOCHECKBOX | WS_TABSTOP},
    {1031, "Edit", "", 7, 7, 229, 154, ES_MULTILINE | ES_READONLY | WS_BORDER | WS_TABSTOP},
};

const ControlRow AboutControls[] = {
    {2, "Button", LABEL_CLOSE, 61, 45, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
    {-1, "Static", IDI_ORVANE, 7, 7, 20, 20, SS_ICON | SS_REALSIZEIMAGE},
    {1034, "Static", "", 40, 7, 139, 8, SS_LEFT | WS_GROUP},
};

#define ROWS(table) table, sizeof(table) / sizeof(table[0])

const TemplateRow Templates[] = {
    {IDD_MAIN, CAPTION_MAIN, 0x90C800C0, 379, 258, IDR_MENU, MainRows.data(), MainRows.size()},
    {IDD_MODETIMING, CAPTION_MODE_TIMING, 0x80C800C0, 130, 127, nullptr, ROWS(ModeTimingControls)},
    {IDD_DISCLAIMER, CAPTION_DISCLAIMER, 0x80C800C0, 243, 196, nullptr, ROWS(DisclaimerControls)},
    {IDD_ABOUT, CAPTION_ABOUT, 0x80C800C0, 186, 66, nullptr, ROWS(AboutControls)},
};

// The class a control template names: the predefined classes are stored as ordinals.
std::string ClassName(const NameOrOrdinal& field) {
    switch (field.ordinal) {
    case 0:
        return field.text;
    case 0x80:
        return "Button";
    case 0x81:
        return "Edit";
    case 0x82:
        return "Static";
    default:
        return "#" + std::to_string(field.ordinal);
    }
}

TEST(Resources, TemplatesMatchTheirTables) {
    for (const TemplateRow& row : Templates) {
        SCOPED_TRACE(row.name);
        std::vector<uint8_t> bytes = ResourceBytes(RT_DIALOG, row.name);
        ASSERT_FALSE(bytes.empty());
        // A classic template: an extended one starts with the signature 1, 0xFFFF.
        ASSERT_FALSE(bytes.size() >= 4 && bytes[0] == 1 && bytes[2] == 0xFF && bytes[3] == 0xFF);
        ParsedDialog dialog;
        ASSERT_EQ(TemplateReader(bytes).Parse(&dialog), 1);

        EXPECT_EQ(dialog.style, row.style);
        EXPECT_EQ(dialog.exStyle, 0u);
        EXPECT_EQ(dialog.x, 0);
        EXPECT_EQ(dialog.y, 0);
        EXPECT_EQ(dialog.cx, row.cx);
        EXPECT_EQ(dialog.cy, row.cy);
        EXPECT_EQ(dialog.caption, row.caption);
        EXPECT_EQ(dialog.menu.ordinal, 0);
        EXPECT_EQ(dialog.menu.text, row.menu ? row.menu : "");
        EXPECT_EQ(dialog.windowClass.ordinal, 0);
        EXPECT_EQ(dialog.windowClass.text, "");
        EXPECT_EQ(dialog.pointSize, 8);
        EXPECT_EQ(dialog.font, "MS Sans Serif");
        // No frame control may resize, minimise or maximise the window.
        EXPECT_EQ(dialog.style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0u);
        EXPECT_EQ(dialog.style & (DS_CENTER | DS_ABSALIGN), 0u);

        ASSERT_EQ(dialog.controls.size(), row.count);
        for (size_t i = 0; i < row.count; ++i) {
            const ControlRow& want = row.controls[i];
            const ParsedControl& got = dialog.controls[i];
            SCOPED_TRACE(std::string("control ") + std::to_string(i) + " \"" + want.text + "\"");
            EXPECT_EQ(got.id, static_cast<WORD>(want.id));
            // The predefined classes are ordinals; windres stores any other class name in
            // capitals, which names the same class, since class names ignore case.
            std::string windowClass = ClassName(got.windowClass);
            if (got.windowClass.ordinal == 0) {
                EXPECT_EQ(lstrcmpiA(windowClass.c_str(), want.windowClass), 0) << windowClass;
                EXPECT_STRNE(want.windowClass, "Button");
                EXPECT_STRNE(want.windowClass, "Edit");
                EXPECT_STRNE(want.windowClass, "Static");
            } else {
                EXPECT_EQ(windowClass, want.windowClass);
            }
            EXPECT_EQ(got.text.ordinal, 0);
            EXPECT_EQ(got.text.text, want.text);
            EXPECT_EQ(got.x, want.x);
            EXPECT_EQ(got.y, want.y);
            EXPECT_EQ(got.cx, want.cx);
            EXPECT_EQ(got.cy, want.cy);
            EXPECT_EQ(got.style, WS_CHILD | WS_VISIBLE | want.style)
                << std::hex << got.style << " vs " << (WS_CHILD | WS_VISIBLE | want.style);
            EXPECT_EQ(got.exStyle, 0u);
            EXPECT_EQ(got.extraBytes, 0);
        }
    }
}

// The native stand-in of the main window starts from resource.h's lists: they must be what the
// compiled template creates, its addressed controls in order and those of them it disables.
TEST(Resources, MainWindowListsMatchTheTemplate) {
    std::vector<uint8_t> bytes = ResourceBytes(RT_DIALOG, IDD_MAIN);
    ParsedDialog dialog;
    ASSERT_EQ(TemplateReader(bytes).Parse(&dialog), 1);
    std::vector<int> controls;
    std::vector<int> disabled;
    for (const ParsedControl& control : dialog.controls) {
        if (control.id == static_cast<WORD>(IDC_STATIC)) {
            continue;
        }
        controls.push_back(control.id);
        if (control.style & WS_DISABLED) {
            disabled.push_back(control.id);
        }
    }
    EXPECT_EQ(controls, std::vector<int>({MAIN_WINDOW_CONTROLS}));
    EXPECT_EQ(disabled, std::vector<int>({MAIN_WINDOW_DISABLED_AT_START}));
}

// Creating each template checks what the window system makes of the bytes: the classes resolve,
// every control exists, and the main template comes up visible.
INT_PTR CALLBACK PassiveProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

TEST(Resources, TemplatesCreateTheirWindows) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_USEREX_CLASSES};
    ASSERT_TRUE(InitCommonControlsEx(&controls));
    for (const TemplateRow& row : Templates) {
        SCOPED_TRACE(row.name);
        HWND dialog = CreateDialogParamA(Self(), row.name, nullptr, PassiveProc, 0);
        ASSERT_NE(dialog, nullptr);
        char text[128] = {};
        GetWindowTextA(dialog, text, sizeof text);
        EXPECT_STREQ(text, row.caption);
        EXPECT_EQ(IsWindowVisible(dialog) != 0, row.style & WS_VISIBLE ? true : false);
        EXPECT_EQ(GetMenu(dialog) != nullptr, row.menu != nullptr);
        for (size_t i = 0; i < row.count; ++i) {
            if (row.controls[i].id == -1) {
                continue;
            }
            HWND control = GetDlgItem(dialog, row.controls[i].id);
            ASSERT_NE(control, nullptr) << row.controls[i].id;
            char windowClass[64] = {};
            GetClassNameA(control, windowClass, sizeof windowClass);
            EXPECT_EQ(lstrcmpiA(windowClass, row.controls[i].windowClass), 0) << windowClass;
        }
        DestroyWindow(dialog);
    }
}

// ---- Menu -------------------------------------------------------------------------------------

struct MenuRow {
    int position;
    UINT type;
    UINT id; // 0 for a pop-up or a separator
    std::string text;
};

// Reads one item of `menu`; its pop-up, if any, in *submenu.
MenuRow ReadItem(HMENU menu, int position, HMENU* submenu) {
    char text[64] = {};
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_SUBMENU;
    info.dwTypeData = text;
    info.cch = sizeof text;
    MenuRow row = {position, 0xFFFFFFFF, 0, ""};
    if (GetMenuItemInfoA(menu, position, TRUE, &info)) {
        row.type = info.fType;
        row.id = info.hSubMenu ? 0 : info.wID;
        row.text = text;
        *submenu = info.hSubMenu;
    }
    return row;
}

TEST(Resources, MenuHasFileAndRightAlignedHelp) {
    HMENU bar = LoadMenuA(Self(), IDR_MENU);
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(GetMenuItemCount(bar), 2);

    struct Popup {
        const char* text;
        UINT type;
        std::vector<MenuRow> items;
    };
    const Popup popups[] = {
        {MENU_FILE,
         MFT_STRING,
         {{0, MFT_STRING, IDM_SAVE_EXIT, MENU_SAVE_EXIT}, {1, MFT_STRING, IDM_EXIT, MENU_EXIT}}},
        {MENU_HELP,
         MFT_STRING | MFT_RIGHTJUSTIFY,
         {{0, MFT_STRING, IDM_DISCLAIMER, MENU_DISCLAIMER},
          {1, MFT_SEPARATOR, 0, ""},
          {2, MFT_STRING, IDM_ABOUT, MENU_ABOUT}}},
    };
    for (int p = 0; p < 2; ++p) {
        SCOPED_TRACE(popups[p].text);
        HMENU submenu = nullptr;
        MenuRow top = ReadItem(bar, p, &submenu);
        EXPECT_EQ(top.text, popups[p].text);
        EXPECT_EQ(top.type, popups[p].type);
        ASSERT_NE(submenu, nullptr);
        ASSERT_EQ(GetMenuItemCount(submenu), static_cast<int>(popups[p].items.size()));
        for (const MenuRow& want : popups[p].items) {
            HMENU none = nullptr;
            MenuRow got = ReadItem(submenu, want.position, &none);
            EXPECT_EQ(none, nullptr);
            EXPECT_EQ(got.type, want.type) << want.text;
            EXPECT_EQ(got.id, want.id) << want.text;
            EXPECT_EQ(got.text, want.text);
        }
    }
    DestroyMenu(bar);
}

// ---- Icon -------------------------------------------------------------------------------------

#pragma pack(push, 2)
struct IconGroupHeader {
    WORD reserved;
    WORD type;
    WORD count;
};
struct IconGroupEntry {
    BYTE width;
    BYTE height;
    BYTE colourCount;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytesInResource;
    WORD id;
};
#pragma pack(pop)

TEST(Resources, IconIsOne32By32SixteenColourImage) {
    std::vector<uint8_t> group = ResourceBytes(RT_GROUP_ICON, IDI_ORVANE);
    ASSERT_EQ(group.size(), sizeof(IconGroupHeader) + sizeof(IconGroupEntry));
    IconGroupHeader header;
    IconGroupEntry entry;
    memcpy(&header, group.data(), sizeof header);
    memcpy(&entry, group.data() + sizeof header, sizeof entry);
    EXPECT_EQ(header.type, 1);
    EXPECT_EQ(header.count, 1);
    EXPECT_EQ(entry.width, 32);
    EXPECT_EQ(entry.height, 32);
    EXPECT_EQ(entry.colourCount, 16);
    EXPECT_EQ(entry.bitCount, 4);
    EXPECT_EQ(entry.id, 1);

    std::vector<uint8_t> image = ResourceBytes(RT_ICON, MAKEINTRESOURCEA(1));
    ASSERT_EQ(image.size(), entry.bytesInResource);
    ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER bitmap;
    memcpy(&bitmap, image.data(), sizeof bitmap);
    EXPECT_EQ(bitmap.biWidth, 32);
    EXPECT_EQ(bitmap.biHeight, 64); // colour rows and mask rows
    EXPECT_EQ(bitmap.biBitCount, 4);
    // Header, 16 palette entries, 4-bit colour rows, 1-bit mask rows.
    EXPECT_EQ(image.size(), 40u + 16 * 4 + 32 * 16 + 32 * 4);

    HICON icon = LoadIconA(Self(), IDI_ORVANE);
    ASSERT_NE(icon, nullptr);
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP colour = {};
    ASSERT_TRUE(GetObjectA(info.hbmColor, sizeof colour, &colour));
    EXPECT_EQ(colour.bmWidth, 32);
    EXPECT_EQ(colour.bmHeight, 32);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
}

// ---- Version block ----------------------------------------------------------------------------

TEST(Resources, VersionBlockFields) {
    char path[MAX_PATH];
    DWORD pathLength = GetModuleFileNameA(nullptr, path, MAX_PATH);
    ASSERT_GT(pathLength, 0u);
    ASSERT_LT(pathLength, static_cast<DWORD>(MAX_PATH));
    DWORD unused = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &unused);
    ASSERT_GT(size, 0u);
    std::vector<uint8_t> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    const struct {
        const char* field;
        DWORD got, want;
    } numbers[] = {
        {"dwSignature", fixed->dwSignature, 0xFEEF04BDu},
        {"dwFileVersionMS", fixed->dwFileVersionMS, 0x00010000u},
        {"dwFileVersionLS", fixed->dwFileVersionLS, 0x00000002u},
        {"dwProductVersionMS", fixed->dwProductVersionMS, 0x00010000u},
        {"dwProductVersionLS", fixed->dwProductVersionLS, 0x00000000u},
        {"dwFileFlagsMask", fixed->dwFileFlagsMask, 0x3Fu},
        {"dwFileFlags", fixed->dwFileFlags, 0u},
        {"dwFileOS", fixed->dwFileOS, 0x40004u},
        {"dwFileType", fixed->dwFileType, 1u},
        {"dwFileSubtype", fixed->dwFileSubtype, 0u},
        {"dwFileDateMS", fixed->dwFileDateMS, 0u},
        {"dwFileDateLS", fixed->dwFileDateLS, 0u},
    };
    for (const auto& number : numbers)
        EXPECT_EQ(number.got, number.want) << number.field;

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x1009);
    EXPECT_EQ(translation[1], 0x04B0);

    const struct {
        const char* key;
        const char* text;
    } fields[] = {
        {"CompanyName", "Orvane Technologies Inc."},
        {"FileDescription", "Orvane Velmora"},
        {"FileVersion", "1.0.0002"},
        {"InternalName", "Velmora"},
        {"OLESelfRegister", "No"},
        {"ProductName", "Orvane Velmora"},
        {"ProductVersion", "1.0"},
        {"SpecialBuild", "Velmora"},
    };
    for (const auto& field : fields) {
        std::string query = std::string("\\StringFileInfo\\100904b0\\") + field.key;
        char* text = nullptr;
        ASSERT_TRUE(
            VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&text), &length))
            << field.key;
        EXPECT_STREQ(text, field.text) << field.key;
    }
}

// ---- Application manifest ----------------------------------------------------------------------

// An element of the manifest: its name, its attributes and its child elements.
struct XmlElement {
    std::string name;
    std::map<std::string, std::string> attributes;
    std::vector<XmlElement> children;
};

// A strict reader for the XML of a manifest: the declaration, then elements with quoted
// attributes, empty or holding elements, and white space between them. Anything else (text,
// comments, a second root) is refused, so nothing in the manifest escapes the check.
struct XmlReader {
    const std::string& text;
    size_t at = 0;

    void SkipSpace() {
        while (at < text.size() &&
               (text[at] == ' ' || text[at] == '\t' || text[at] == '\r' || text[at] == '\n'))
            ++at;
    }
    int Take(const char* expected) {
        size_t length = std::strlen(expected);
        if (text.compare(at, length, expected) != 0)
            return 0;
        at += length;
        return 1;
    }
    int Name(std::string* name) {
        size_t start = at;
        while (at < text.size() && (std::isalnum(static_cast<unsigned char>(text[at])) ||
                                    text[at] == ':' || text[at] == '_' || text[at] == '-'))
            ++at;
        *name = text.substr(start, at - start);
        return at > start;
    }
    int Element(XmlElement* element, int depth) {
        if (depth > 16 || !Take("<") || !Name(&element->name))
            return 0;
        for (;;) {
            SkipSpace();
            if (Take("/>"))
                return 1;
            if (Take(">"))
                break;
            std::string name;
            if (!Name(&name) || !Take("=\"") || element->attributes.count(name))
                return 0;
            size_t end = text.find('"', at);
            if (end == std::string::npos)
                return 0;
            element->attributes[name] = text.substr(at, end - at);
            at = end + 1;
        }
        for (;;) {
            SkipSpace();
            if (Take("</"))
                break;
            element->children.emplace_back();
            if (!Element(&element->children.back(), depth + 1))
                return 0;
        }
        std::string closing;
        return Name(&closing) && closing == element->name && Take(">");
    }
    // The root element after the declaration; 0 unless the whole text is read.
    int Document(XmlElement* root) {
        if (!Take("<?xml "))
            return 0;
        size_t end = text.find("?>", at);
        if (end == std::string::npos)
            return 0;
        at = end + 2;
        SkipSpace();
        if (!Element(root, 0))
            return 0;
        SkipSpace();
        return at == text.size();
    }
};

// The element as one line: name{attribute=value ...}(children).
std::string Render(const XmlElement& element) {
    std::string text = element.name;
    if (!element.attributes.empty()) {
        text += "{";
        for (const auto& attribute : element.attributes)
            text += (text.back() == '{' ? "" : " ") + attribute.first + "=" + attribute.second;
        text += "}";
    }
    if (!element.children.empty()) {
        text += "(";
        for (const XmlElement& child : element.children)
            text += (text.back() == '(' ? "" : " ") + Render(child);
        text += ")";
    }
    return text;
}

// Both programs ask for administrator rights and for nothing else: no common controls 6 (the
// windows keep the classic look), no other dependency. The system's own reading of the manifest
// must give the same run level, or the request would be ignored.
TEST(Resources, ProgramsAskForAdministratorRightsAndNothingElse) {
    const std::string expected =
        "assembly{manifestVersion=1.0 xmlns=urn:schemas-microsoft-com:asm.v1}("
        "trustInfo{xmlns=urn:schemas-microsoft-com:asm.v3}(security(requestedPrivileges("
        "requestedExecutionLevel{level=requireAdministrator uiAccess=false}))))";
    for (const char* path : {VELMORA_EXE_PATH, VELMORA_SIM_EXE_PATH}) {
        SCOPED_TRACE(path);
        HMODULE program = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(program, nullptr);
        std::vector<uint8_t> bytes =
            ResourceBytes(RT_MANIFEST, CREATEPROCESS_MANIFEST_RESOURCE_ID, program);
        FreeLibrary(program);
        std::string text(bytes.begin(), bytes.end());
        XmlElement root;
        XmlReader reader{text};
        ASSERT_TRUE(reader.Document(&root)) << "unreadable at byte " << reader.at << ":\n" << text;
        EXPECT_EQ(Render(root), expected);

        ACTCTXA request{};
        request.cbSize = sizeof request;
        request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
        request.lpSource = path;
        request.lpResourceName = CREATEPROCESS_MANIFEST_RESOURCE_ID;
        HANDLE context = CreateActCtxA(&request);
        ASSERT_NE(context, INVALID_HANDLE_VALUE);
        ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION level{};
        EXPECT_TRUE(QueryActCtxW(0, context, nullptr, RunlevelInformationInActivationContext,
                                 &level, sizeof level, nullptr));
        ReleaseActCtx(context);
        EXPECT_EQ(level.RunLevel, ACTCTX_RUN_LEVEL_REQUIRE_ADMIN);
        EXPECT_EQ(level.UiAccess, 0u);
    }
}

// ---- Inventory and language -------------------------------------------------------------------

std::string ResourceName(LPCSTR name) {
    if (IS_INTRESOURCE(name)) {
        return "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name));
    }
    return name;
}

struct Inventory {
    std::set<std::string> entries; // "type/name/language"
};

BOOL CALLBACK OnLanguage(HMODULE, LPCSTR type, LPCSTR name, WORD language, LONG_PTR param) {
    char text[8];
    snprintf(text, sizeof text, "%04x", language);
    reinterpret_cast<Inventory*>(param)->entries.insert(ResourceName(type) + "/" +
                                                        ResourceName(name) + "/" + text);
    return TRUE;
}

BOOL CALLBACK OnName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR param) {
    EnumResourceLanguagesA(module, type, name, OnLanguage, param);
    return TRUE;
}

BOOL CALLBACK OnType(HMODULE module, LPSTR type, LONG_PTR param) {
    EnumResourceNamesA(module, type, OnName, param);
    return TRUE;
}

TEST(Resources, ExactlyTheSetInCanadianEnglish) {
    Inventory inventory;
    EnumResourceTypesA(Self(), OnType, reinterpret_cast<LONG_PTR>(&inventory));
    const std::set<std::string> expected = {
        "#3/#1/1009",    // the icon image
        "#4/MENU/1009",  // RT_MENU
        "#5/ABOUT/1009", // RT_DIALOG
        "#5/DISCLAIMER/1009",  "#5/MODETIMING/1009", "#5/VELMORA/1009",
        "#6/#1/1009",          // the string block of the strings 0 to 15
        "#14/ORVANEICON/1009", // RT_GROUP_ICON
        "#16/#1/1009",         // RT_VERSION
        "#24/#1/1009",         // RT_MANIFEST
    };
    EXPECT_EQ(inventory.entries, expected);
}

} // namespace
