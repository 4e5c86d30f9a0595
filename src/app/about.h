// The About box (template "ABOUT"): the program's icon, the product line and "Close".
#pragma once

#include <windows.h>

#include <cstddef>

// Writes the product line "Orvane Velmora v1.0 Build 002" into `line` (capacity `size`
// characters), formatted from string 9 of the resource set. 1 on success; 0 when the string
// cannot be loaded or the result would not fit, in which case `line` holds an empty text when
// size > 0.
int FormatProductLine(char* line, size_t size);

// Dialog procedure of the About box: sets the product line and places the box when it opens, and
// ends it with 2 on the command 2 (Close, Esc, Enter on Close, the close box). Opened with
// DialogBoxParamA(AppInstance, "ABOUT", owner, AboutDialogProc, 0).
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
