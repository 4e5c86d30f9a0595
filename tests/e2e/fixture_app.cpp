// A small dialog program for the driver's own test. Every action it takes shows in its status
// field, so the test can tell that a click, key or command arrived and what it carried. Closing it
// ends the process with the number typed into its edit as the exit code.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>

#include "fixture_app.h"

namespace {

int ClickCount = 0;

void ShowStatus(HWND dialog, const char* text) {
    SetDlgItemTextA(dialog, IDC_FIXTURE_STATUS, text);
}

void ShowStatusNumber(HWND dialog, const char* prefix, int number) {
    char text[64];
    snprintf(text, sizeof text, "%s %d", prefix, number);
    ShowStatus(dialog, text);
}

void FillList(HWND list) {
    const int widths[] = FIXTURE_COLUMN_WIDTHS;
    const char* titles[] = FIXTURE_COLUMN_TITLES;
    for (int column = 0; column < 3; ++column) {
        LVCOLUMNA header{};
        header.mask = LVCF_TEXT | LVCF_WIDTH;
        header.cx = widths[column];
        header.pszText = const_cast<char*>(titles[column]);
        SendMessageA(list, LVM_INSERTCOLUMNA, column, reinterpret_cast<LPARAM>(&header));
    }
    std::string longCell(FIXTURE_LONG_CELL_LENGTH, 'x');
    const char* rows[4][3] = {{"alpha", "1", "file"},
                              {"beta", "22", "folder"},
                              {"gamma", "333", "link"},
                              {"delta", "4444", longCell.c_str()}};
    for (int row = 0; row < 4; ++row) {
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.pszText = const_cast<char*>(rows[row][0]);
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        for (int column = 1; column < 3; ++column) {
            item.iSubItem = column;
            item.pszText = const_cast<char*>(rows[row][column]);
            SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
        }
    }
}

void Quit(HWND dialog) {
    BOOL read = FALSE;
    UINT code = GetDlgItemInt(dialog, IDC_FIXTURE_NUMBER, &read, FALSE);
    PostQuitMessage(read ? static_cast<int>(code) : 0);
    DestroyWindow(dialog);
}

void OnCommand(HWND dialog, WPARAM command) {
    switch (command) {
    case IDC_FIXTURE_COUNT:
        ShowStatusNumber(dialog, "count", ++ClickCount);
        break;
    case IDC_FIXTURE_ASK: {
        int answer = MessageBoxA(dialog, FIXTURE_QUESTION_TEXT, FIXTURE_QUESTION_CAPTION,
                                 MB_YESNOCANCEL | MB_ICONQUESTION);
        ShowStatus(dialog, answer == IDYES  ? "answer yes"
                           : answer == IDNO ? "answer no"
                                            : "answer cancel");
        break;
    }
    case IDC_FIXTURE_TELL:
        MessageBoxA(dialog, FIXTURE_NOTE_TEXT, FIXTURE_NOTE_CAPTION, MB_OK);
        ShowStatus(dialog, "told");
        break;
    case IDC_FIXTURE_SLOW:
        Sleep(FIXTURE_SLOW_MS);
        ShowStatus(dialog, "slow done");
        break;
    case IDM_FIXTURE_MARK:
        ShowStatusNumber(dialog, "menu", IDM_FIXTURE_MARK);
        break;
    case IDM_FIXTURE_QUIT:
    case IDCANCEL:
        Quit(dialog);
        break;
    default:
        break;
    }
}

INT_PTR CALLBACK FixtureDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        FillList(GetDlgItem(dialog, IDC_FIXTURE_LIST));
        ShowStatus(dialog, "ready");
        return TRUE;
    case WM_COMMAND:
        OnCommand(dialog, wParam);
        return FALSE;
    case WM_NOTIFY: {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom == IDC_FIXTURE_LIST && header->code == static_cast<UINT>(NM_CLICK)) {
            ShowStatusNumber(dialog, "row", reinterpret_cast<const NMITEMACTIVATE*>(lParam)->iItem);
        }
        return FALSE;
    }
    default:
        return FALSE;
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    HWND dialog = CreateDialogParamA(instance, "FIXTURE_DIALOG", nullptr, FixtureDialogProc, 0);
    if (!dialog) {
        return 99;
    }
    // Like the program under test, no dialog keyboard handling in the main loop.
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
