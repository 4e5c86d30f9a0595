// The two window operations of editor/window_ops.h that open the shell's own windows. The editor
// declares them and asks for them; the shell, which owns the disclaimer and the About box,
// implements them here, and the program links both (the native tests link the fake window
// operations instead). So the editor never includes a header of the shell but its resource
// identifiers.
#include "editor/window_ops.h"

#include "app/about.h"
#include "app/disclaimer.h"
#include "ui/app_instance.h"
#include "ui/resource.h"

#include <windows.h>

void ShowDisclaimerOnRequest(WindowHandle owner) {
    DisclaimerGate gate;
    gate.ShowDisclaimer(reinterpret_cast<HWND>(owner), RequestMode);
}

void ShowAboutBox(WindowHandle owner) {
    DialogBoxParamA(AppInstance, IDD_ABOUT, reinterpret_cast<HWND>(owner), AboutDialogProc, 0);
}
