// The Add-mode question on the Windows dialog manager: the template "MODETIMING".
#include "editor/add_mode_dialog.h"

#include "ui/app_instance.h"
#include "ui/placement.h"
#include "ui/resource.h"

#include <windows.h>

#include <climits>
#include <cstdio>
#include <cstdlib>

namespace {

// Four digits at most: a width or height of 10000 or more is stored under a value name that does
// not read back, and a refresh of 16000 or more does not survive the mode list's encoding.
const WPARAM FieldDigits = 4;
// WM_GETTEXT limit for a field, terminating zero included.
const int FieldTextLimit = 255;

const int FieldIds[3] = {IDC_MODE_WIDTH, IDC_MODE_HEIGHT, IDC_MODE_REFRESH};

// Shows `value` in decimal in the edit `id`.
void SetField(HWND dialog, int id, uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(value));
    SendMessageA(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

// The field's number as atoi reads it (leading blanks, a sign, the leading digits; 0 when there
// are none), kept to its low 16 bits. strtol is used for its defined result on overflow, which
// atoi lacks; the fields' four-digit limit keeps typed numbers far from it.
uint16_t GetField(HWND dialog, int id) {
    char text[FieldTextLimit];
    text[0] = '\0';
    LRESULT length = SendMessageA(GetDlgItem(dialog, id), WM_GETTEXT, FieldTextLimit,
                                  reinterpret_cast<LPARAM>(text));
    if (length < 0 || length >= FieldTextLimit)
        text[0] = '\0';
    long number = std::strtol(text, nullptr, 10);
    if (number > INT_MAX)
        number = INT_MAX;
    else if (number < INT_MIN)
        number = INT_MIN;
    return static_cast<uint16_t>(static_cast<unsigned long>(number) & 0xFFFFu);
}

BOOL OnInitDialog(HWND dialog) {
    const NewModeRequest* request = CurrentModeRequest;
    if (request) {
        SetField(dialog, IDC_MODE_WIDTH, request->width);
        SetField(dialog, IDC_MODE_HEIGHT, request->height);
        SetField(dialog, IDC_MODE_REFRESH, request->refresh);
    }
    for (int id : FieldIds)
        SendMessageA(GetDlgItem(dialog, id), EM_SETLIMITTEXT, FieldDigits, 0);
    CenterDialog(dialog);
    return TRUE; // the focus goes to "OK", the first tab stop
}

// The whole first parameter is compared, so only commands with the notification code 0 count.
void OnCommand(HWND dialog, WPARAM command) {
    if (command == IDOK) {
        NewModeRequest* request = CurrentModeRequest;
        if (request) {
            request->width = GetField(dialog, IDC_MODE_WIDTH);
            request->height = GetField(dialog, IDC_MODE_HEIGHT);
            request->refresh = GetField(dialog, IDC_MODE_REFRESH);
        }
        EndDialog(dialog, 1);
    } else if (command == IDCANCEL) {
        EndDialog(dialog, 2);
    }
}

INT_PTR CALLBACK ModeTimingDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
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

} // namespace

int AskNewMode(NewModeRequest* request, WindowHandle owner) {
    if (!request)
        return 0;
    // The dialog works on the request it was asked with, even if another one was made since.
    CurrentModeRequest = request;
    return static_cast<int>(DialogBoxParamA(
        AppInstance, IDD_MODETIMING, reinterpret_cast<HWND>(owner), ModeTimingDialogProc, 0));
}
