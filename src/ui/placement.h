// The placement rule with which every window of the program places itself when it opens.
#pragma once

#include <windows.h>

// Centres `dialog` in the rectangle from its owner's client origin to the owner's bottom-right
// corner, or, without an owner, from the screen origin to the work area's bottom-right corner:
// x = (reference right - dialog right) / 2, y likewise with the bottom edges, signed and rounded
// toward zero; with an owner (x, y) is in the owner's client coordinates. The size and Z order
// are kept; when the dialog's rectangle cannot be read it stays where it is.
void CenterDialog(HWND dialog);
