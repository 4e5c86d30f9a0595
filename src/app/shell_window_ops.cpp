// The shell's windows that the editor's menu opens (editor/shell_window_ops.h).
#include "editor/shell_window_ops.h"

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
