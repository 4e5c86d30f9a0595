#include "app/disclaimer.h"

#include "app/preference.h"
#include "ui/app_instance.h"
#include "ui/placement.h"
#include "ui/resource.h"

DisclaimerGate* CurrentDisclaimerGate = nullptr;

DisclaimerGate::DisclaimerGate() : mode(RequestMode) {
    CurrentDisclaimerGate = this;
}

DisclaimerGate::~DisclaimerGate() {
    if (CurrentDisclaimerGate == this)
        CurrentDisclaimerGate = nullptr;
}

int DisclaimerGate::ShowDisclaimer(HWND owner, int32_t newMode) {
    mode = newMode;
    CurrentDisclaimerGate = this;
    if (mode != RequestMode && ReadShowWarning() != 0)
        return 1;
    INT_PTR result = DialogBoxParamA(AppInstance, IDD_DISCLAIMER, owner, DisclaimerDialogProc, 0);
    if (mode == RequestMode)
        return 1;
    return static_cast<int>(result);
}

namespace {

// Without a live gate the dialog behaves as in request mode: it can neither decline nor save.
int IsStartup() {
    return CurrentDisclaimerGate && CurrentDisclaimerGate->mode != RequestMode;
}

BOOL OnInitDialog(HWND dialog) {
    if (!IsStartup()) {
        ShowWindow(GetDlgItem(dialog, IDC_DONT_SHOW_AGAIN), SW_HIDE);
        ShowWindow(GetDlgItem(dialog, IDC_DISAGREE), SW_HIDE);
    }
    // LoadStringA cuts a text that does not fit without saying so; a text that fills the buffer
    // may have been cut and is not shown rather than shown in part.
    char text[STRING_LIMIT_DISCLAIMER];
    int length = LoadStringA(AppInstance, IDS_DISCLAIMER, text, STRING_LIMIT_DISCLAIMER);
    if (length > 0 && length < STRING_LIMIT_DISCLAIMER - 1)
        SendMessageA(GetDlgItem(dialog, IDC_DISCLAIMER_TEXT), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(text));
    CenterDialog(dialog);
    return TRUE; // the focus goes to "I Accept", the first tab stop
}

// The whole first parameter is compared, so only commands with the notification code 0 count.
void OnCommand(HWND dialog, WPARAM command) {
    if (command == IDC_ACCEPT) {
        if (IsStartup()) {
            LRESULT check =
                SendMessageA(GetDlgItem(dialog, IDC_DONT_SHOW_AGAIN), BM_GETCHECK, 0, 0);
            SaveShowWarning(check == BST_CHECKED);
        }
        EndDialog(dialog, 1);
    } else if (command == IDC_DISAGREE) {
        EndDialog(dialog, 2);
    }
}

} // namespace

INT_PTR CALLBACK DisclaimerDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_COMMAND:
        OnCommand(dialog, wParam);
        return FALSE;
    default:
        return FALSE;
    }
}
