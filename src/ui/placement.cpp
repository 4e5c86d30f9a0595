#include "ui/placement.h"

// The arithmetic uses the right and bottom edges, not the sizes: a template opens at its owner's
// client origin (or the screen origin), so halving the distance from the dialog's right edge to
// the reference's right edge centres it between that origin and the reference's far corner.
void CenterDialog(HWND dialog) {
    RECT box;
    if (!GetWindowRect(dialog, &box)) {
        return;
    }
    HWND owner = GetParent(dialog);
    RECT reference;
    if (owner != nullptr) {
        if (!GetWindowRect(owner, &reference)) {
            return;
        }
    } else if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &reference, 0)) {
        return;
    }
    // Integer division in C++ rounds toward zero, for negative distances too.
    POINT place;
    place.x = (reference.right - box.right) / 2;
    place.y = (reference.bottom - box.bottom) / 2;
    if (owner != nullptr && !ClientToScreen(owner, &place)) {
        return;
    }
    SetWindowPos(dialog, nullptr, place.x, place.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}
