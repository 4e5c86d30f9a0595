// The main window's operations on the real dialog: each control is found with GetDlgItem and
// addressed with SendMessageA, the Device menu is the popup at position 1 of the menu bar. The
// two operations that open the shell's own windows, the disclaimer and the About box, are the
// shell's (app/shell_window_ops.cpp), which the program links beside this.
#include "editor/window_ops.h"

#include "ui/app_instance.h"
#include "ui/resource.h"
#include "ui/win32_records.h"

#include <windows.h>
#include <commctrl.h>

#include <cstring>

namespace {

HWND Window(WindowHandle window) {
    return reinterpret_cast<HWND>(window);
}

LRESULT SendToControl(WindowHandle window, int32_t control, UINT message, WPARAM wParam,
                      LPARAM lParam) {
    return SendMessageA(GetDlgItem(Window(window), control), message, wParam, lParam);
}

// The list of a window whose drawing is stopped, kept from the stop to the resume: a fill sends
// it a few messages per row, and finding the list again for each of them (GetDlgItem, a round
// trip to the window server under Wine) would cost several times the messages themselves.
struct ListFill {
    HWND window;
    HWND list;
};
ListFill Fill = {nullptr, nullptr};

HWND ListOf(WindowHandle window) {
    if (Fill.list && Fill.window == Window(window))
        return Fill.list;
    return GetDlgItem(Window(window), IDC_MODE_LIST);
}

LRESULT SendToList(WindowHandle window, UINT message, WPARAM wParam, LPARAM lParam) {
    return SendMessageA(ListOf(window), message, wParam, lParam);
}

// The list view only reads the text, but its structure is not const.
LVITEMA TextItem(int32_t row, int32_t column, const char* text) {
    LVITEMA item;
    std::memset(&item, 0, sizeof(item));
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text);
    return item;
}

// The length in UTF-16 units of string `id` of the program's string table, read from the table
// itself: LoadStringW would tell it too, but Windows 98 and ME have it only as a stub that fails.
// A block holds 16 strings, each a 16-bit length and that many units. 0 when the string is
// missing or empty, -1 when its block is malformed.
int32_t StringResourceLength(uint32_t id) {
    HRSRC found = FindResourceA(AppInstance, MAKEINTRESOURCEA(id / 16 + 1), RT_STRING);
    HGLOBAL loaded = found ? LoadResource(AppInstance, found) : nullptr;
    const uint8_t* block = loaded ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
    if (!block)
        return 0;
    uint32_t size = SizeofResource(AppInstance, found);
    uint32_t at = 0;
    for (uint32_t entry = 0;; ++entry) {
        if (size - at < 2)
            return -1;
        uint32_t length = static_cast<uint32_t>(block[at] | block[at + 1] << 8);
        if (size - at - 2 < 2 * length)
            return -1;
        if (entry == id % 16)
            return static_cast<int32_t>(length);
        at += 2 + 2 * length;
    }
}

HMENU DeviceMenu(WindowHandle window) {
    HMENU bar = GetMenu(Window(window));
    return bar ? GetSubMenu(bar, 1) : nullptr;
}

} // namespace

int32_t ListRowCount(WindowHandle window) {
    return static_cast<int32_t>(SendToList(window, LVM_GETITEMCOUNT, 0, 0));
}

int32_t ListInsertRow(WindowHandle window, int32_t row, const char* text) {
    LVITEMA item = TextItem(row, 0, text);
    return static_cast<int32_t>(
        SendToList(window, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

void ListSetCell(WindowHandle window, int32_t row, int32_t column, const char* text) {
    LVITEMA item = TextItem(row, column, text);
    SendToList(window, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

void ListDeleteRow(WindowHandle window, int32_t row) {
    SendToList(window, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
}

void ListDeleteAllRows(WindowHandle window) {
    SendToList(window, LVM_DELETEALLITEMS, 0, 0);
}

void ListResetSelectionMark(WindowHandle window) {
    SendToList(window, LVM_SETSELECTIONMARK, 0, -1);
}

void ListInsertColumn(WindowHandle window, int32_t column, int32_t width, const char* text) {
    LVCOLUMNA header;
    std::memset(&header, 0, sizeof(header));
    header.mask = LVCF_WIDTH | LVCF_TEXT;
    header.cx = width;
    header.pszText = const_cast<char*>(text);
    SendToList(window, LVM_INSERTCOLUMNA, static_cast<WPARAM>(column),
               reinterpret_cast<LPARAM>(&header));
}

// The list view is told to draw again and then invalidated whole, since resuming alone does not
// promise a repaint of what changed while it was stopped.
void ListSetRedraw(WindowHandle window, int on) {
    HWND list = ListOf(window);
    SendMessageA(list, WM_SETREDRAW, on ? TRUE : FALSE, 0);
    if (on) {
        InvalidateRect(list, nullptr, TRUE);
        Fill = ListFill{nullptr, nullptr};
    } else {
        Fill = ListFill{Window(window), list};
    }
}

int GetCheck(WindowHandle window, int32_t control) {
    return SendToControl(window, control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetCheck(WindowHandle window, int32_t control, int checked) {
    SendToControl(window, control, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

int GetEditText(WindowHandle window, int32_t control, char* buffer, int32_t limit) {
    if (limit <= 0)
        return 0;
    buffer[0] = '\0';
    HWND edit = GetDlgItem(Window(window), control);
    if (!edit)
        return 0;
    // WM_GETTEXT would cut a longer text to the buffer without saying so.
    LRESULT length = SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0);
    if (length < 0 || length >= limit)
        return 0;
    LRESULT copied = SendMessageA(edit, WM_GETTEXT, static_cast<WPARAM>(limit),
                                  reinterpret_cast<LPARAM>(buffer));
    if (copied < 0 || copied >= limit) {
        buffer[0] = '\0';
        return 0;
    }
    buffer[copied] = '\0';
    return 1;
}

void SetEditText(WindowHandle window, int32_t control, const char* text) {
    SendToControl(window, control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void LimitEditText(WindowHandle window, int32_t control, int32_t limit) {
    SendToControl(window, control, EM_SETLIMITTEXT, static_cast<WPARAM>(limit), 0);
}

void EnableControl(WindowHandle window, int32_t control, int enabled) {
    EnableWindow(GetDlgItem(Window(window), control), enabled ? TRUE : FALSE);
}

int AskYesNo(WindowHandle owner, const char* text, const char* caption) {
    return MessageBoxA(Window(owner), text, caption, MessageStyleQuestion) == IDYES;
}

void ShowErrorMessage(WindowHandle owner, const char* text, const char* caption) {
    MessageBoxA(Window(owner), text, caption, MessageStyleError);
}

int InsertDeviceMenu(WindowHandle window, const char* title) {
    HMENU bar = GetMenu(Window(window));
    if (!bar)
        return 0;
    HMENU popup = CreatePopupMenu();
    if (!popup)
        return 0;
    MENUITEMINFOA info;
    std::memset(&info, 0, sizeof(info));
    info.cbSize = MenuItemInfoSize;
    info.fMask = MIIM_SUBMENU | MIIM_TYPE;
    info.fType = MFT_STRING;
    info.hSubMenu = popup;
    info.dwTypeData = const_cast<char*>(title);
    if (!InsertMenuItemA(bar, 1, TRUE, &info)) {
        DestroyMenu(popup);
        return 0;
    }
    return 1;
}

int InsertDeviceMenuItem(WindowHandle window, uint32_t position, uint32_t command, const char* text,
                         int checked) {
    HMENU popup = DeviceMenu(window);
    if (!popup)
        return 0;
    MENUITEMINFOA info;
    std::memset(&info, 0, sizeof(info));
    info.cbSize = MenuItemInfoSize;
    info.fMask = MIIM_STATE | MIIM_ID | MIIM_TYPE;
    info.fType = MFT_STRING;
    info.fState = checked ? MFS_CHECKED : 0;
    info.wID = command;
    info.dwTypeData = const_cast<char*>(text);
    return InsertMenuItemA(popup, position, TRUE, &info) ? 1 : 0;
}

void CheckDeviceMenuItem(WindowHandle window, uint32_t first, uint32_t last, uint32_t chosen) {
    HMENU popup = DeviceMenu(window);
    if (popup)
        CheckMenuRadioItem(popup, first, last, chosen, MF_BYPOSITION);
}

int LoadResourceString(uint32_t id, char* buffer, int32_t limit) {
    if (limit <= 0)
        return 0;
    buffer[0] = '\0';
    // LoadStringA cuts a longer string to the buffer; the length of the resource itself tells
    // whether it fits. The table's strings are single-byte text, one character per unit.
    int32_t length = StringResourceLength(id);
    if (length <= 0 || length >= limit)
        return 0;
    int copied = LoadStringA(AppInstance, id, buffer, limit);
    if (copied != length) {
        buffer[0] = '\0';
        return 0;
    }
    return 1;
}

void EndMainWindow(WindowHandle window, intptr_t result) {
    EndDialog(Window(window), result);
    PostQuitMessage(0);
}
