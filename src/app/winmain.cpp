// The program's entry: the disclaimer gate, the main window and the message loop.
#include "app/disclaimer.h"
#include "editor/editor.h"
#include "editor/main_window.h"
#include "ui/app_instance.h"
#include "ui/win32_records.h"

#include <commctrl.h>

namespace {

// Delivers every message of the thread until the quit message. The main window is modeless and
// on purpose gets no dialog keyboard handling (no IsDialogMessageA). GetMessageA's -1 (an
// invalid call) ends the loop too, rather than spin on it.
void RunMessageLoop() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    EditorState editor;
    DisclaimerGate gate;
    INITCOMMONCONTROLSEX controls = {InitCommonControlsSize,
                                     ICC_LISTVIEW_CLASSES | ICC_USEREX_CLASSES};
    InitCommonControlsEx(&controls);
    AppInstance = instance;
    // Only an acceptance, or a stored wish not to be asked, lets the program touch a device; a
    // warning that cannot even be shown ends the run as a decline does.
    if (gate.ShowDisclaimer(nullptr, StartupMode) != 1)
        return 0;
    if (CreateMainWindow(&editor, showCommand))
        RunMessageLoop();
    return 0;
}
