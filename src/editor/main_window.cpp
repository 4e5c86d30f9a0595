#include "editor/main_window.h"

#include "ui/app_instance.h"
#include "ui/placement.h"
#include "ui/resource.h"

#include <commctrl.h>

namespace {

WindowHandle ToHandle(HWND window) {
    return reinterpret_cast<WindowHandle>(window);
}

// The editor builds the Device menu and checks for devices; the window then places itself and
// takes the program's icon. FALSE without a device, which ends the start-up.
INT_PTR OnInitDialog(HWND window) {
    if (!CurrentEditor || !CurrentEditor->InitialiseWindow(ToHandle(window)))
        return FALSE;
    CenterDialog(window);
    HICON icon = LoadIconA(AppInstance, IDI_ORVANE);
    SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    return TRUE;
}

INT_PTR OnCommand(WPARAM wParam) {
    if (CurrentEditor)
        CurrentEditor->Command(static_cast<uint32_t>(wParam));
    return FALSE;
}

// Only mouse clicks on the list select: the keyboard moves the highlight without a selection.
INT_PTR OnNotify(WPARAM wParam, LPARAM lParam) {
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
    if (CurrentEditor && wParam == IDC_MODE_LIST && header && header->code == NM_CLICK)
        CurrentEditor->ListClicked(reinterpret_cast<const NMITEMACTIVATE*>(lParam)->iItem);
    return FALSE;
}

} // namespace

int CreateMainWindow(EditorState* editor, int showCommand) {
    HWND window = CreateDialogParamA(AppInstance, editor->templateName, nullptr, MainDialogProc, 0);
    editor->mainWindow = ToHandle(window);
    if (!window)
        return 0;
    if (!editor->FinishStartup())
        return 0;
    // The template's WS_VISIBLE has shown the window already; this applies the show command.
    ShowWindow(window, showCommand);
    return 1;
}

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(window);
    case WM_COMMAND:
        return OnCommand(wParam);
    case WM_NOTIFY:
        return OnNotify(wParam, lParam);
    default:
        return FALSE;
    }
}
