// The start-up baseline: the least a dialog program can do. It shows one modal dialog from its
// template and ends when the dialog is closed, so that Velmora's start-up can be set beside the
// cost of starting any dialog program on the same system.
#include "bare_dialog.h"

#include <windows.h>

namespace {

INT_PTR CALLBACK BareDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG)
        return TRUE;
    if (message == WM_COMMAND && (wParam == IDOK || wParam == IDCANCEL)) {
        EndDialog(dialog, static_cast<INT_PTR>(wParam));
        return TRUE;
    }
    return FALSE;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    DialogBoxParamA(instance, BARE_DIALOG, nullptr, BareDialogProc, 0);
    return 0;
}
