#include "app/about.h"

#include "ui/app_instance.h"
#include "ui/placement.h"
#include "ui/resource.h"

#include <cstdio>

namespace {

// The version numbers shown in the product line; they agree with the file version 1.0.0.2.
const unsigned MajorVersion = 1;
const unsigned MinorVersion = 0;
const unsigned BuildNumber = 2;

// Shows the product line and places the box. TRUE lets the dialog manager focus "Close".
INT_PTR OnInitDialog(HWND dialog) {
    char line[STRING_LIMIT];
    if (FormatProductLine(line, sizeof line)) {
        SendMessageA(GetDlgItem(dialog, IDC_PRODUCT_LINE), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(line));
    }
    // "Close" is a plain push button. Not every dialog manager makes the button that gets the
    // first focus the default one, and without a default Enter would send IDOK, which the box
    // ignores; naming "Close" the default makes Enter close the box everywhere.
    SendMessageA(dialog, DM_SETDEFID, IDC_ABOUT_CLOSE, 0);
    CenterDialog(dialog);
    return TRUE;
}

// Only the whole parameter 2 closes the box, so notifications never do.
INT_PTR OnCommand(HWND dialog, WPARAM command) {
    if (command == IDC_ABOUT_CLOSE) {
        EndDialog(dialog, IDC_ABOUT_CLOSE);
    }
    return FALSE;
}

} // namespace

int FormatProductLine(char* line, size_t size) {
    if (line == nullptr || size == 0) {
        return 0;
    }
    line[0] = '\0';
    char format[STRING_LIMIT];
    int length = LoadStringA(AppInstance, IDS_PRODUCT_LINE, format, STRING_LIMIT);
    // LoadStringA cuts a string that does not fit its buffer; a full buffer may be such a cut.
    if (length <= 0 || length >= STRING_LIMIT - 1) {
        return 0;
    }
    int written = snprintf(line, size, format, MajorVersion, MinorVersion, BuildNumber);
    if (written < 0 || static_cast<size_t>(written) >= size) {
        line[0] = '\0';
        return 0;
    }
    return 1;
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_COMMAND:
        return OnCommand(dialog, wParam);
    default:
        return FALSE;
    }
}
