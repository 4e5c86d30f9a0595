// The second start-up baseline: Velmora's own main window template, created as velmora.exe
// creates it (the common controls prepared first, then the modeless dialog and a message loop),
// with none of Velmora's work behind it: no registry, no devices, no rows. Set beside the bare
// dialog it measures what the template itself costs; set beside velmora-sim.exe, what Velmora
// adds to it.
#include "ui/resource.h"

#include <windows.h>
#include <commctrl.h>

namespace {

INT_PTR CALLBACK TemplateDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG)
        return TRUE;
    if (message == WM_COMMAND && (wParam == IDCANCEL || wParam == IDM_EXIT)) {
        EndDialog(dialog, static_cast<INT_PTR>(wParam));
        PostQuitMessage(0);
        return TRUE;
    }
    return FALSE;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_USEREX_CLASSES};
    InitCommonControlsEx(&controls);
    if (!CreateDialogParamA(instance, IDD_MAIN, nullptr, TemplateDialogProc, 0))
        return 0;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
