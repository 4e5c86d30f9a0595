// The liability warning: shown at start-up until the user asks not to see it again, and on
// request from the main window.
#pragma once

#include <windows.h>

#include <cstdint>

const int32_t StartupMode = 1; // at start-up: may be skipped, can be declined, saves the choice
const int32_t RequestMode = 0; // from the main window: accept only, saves nothing

class DisclaimerGate {
public:
    int32_t mode;

    // Mode RequestMode; the new gate becomes CurrentDisclaimerGate.
    DisclaimerGate();
    // Forgets the gate if it is still the current one, so that no dialog reads a dead gate.
    ~DisclaimerGate();
    DisclaimerGate(const DisclaimerGate&) = delete;
    DisclaimerGate& operator=(const DisclaimerGate&) = delete;

    // Shows the warning modally, owned by `owner` (may be null), after storing `mode` in the gate
    // and making the gate current. Start-up mode: 1 without showing anything when the stored
    // preference is non-zero, else the dialog's result (1 accepted, 2 declined or closed, or the
    // window system's failure value, which is never 2). Request mode: always 1.
    int ShowDisclaimer(HWND owner, int32_t mode);
};

// The gate that the disclaimer dialog reads its mode from; null when no gate lives.
extern DisclaimerGate* CurrentDisclaimerGate;

// Dialog procedure of the template "DISCLAIMER".
INT_PTR CALLBACK DisclaimerDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
