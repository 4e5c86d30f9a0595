// Every operation that the editor performs on the main window and its controls, so that the
// editor's logic runs against the real dialog on Windows (window_ops_win32.cpp) and against a
// stand-in that keeps the controls' state natively (tests/doubles/fake_window_ops.cpp). One
// implementation is chosen at link time.
//
// Controls are addressed by their identifier within `window` (resource.h). Texts are 8-bit ANSI.
// No operation keeps a pointer that it is given.
#pragma once

#include "editor/window.h"

#include <cstdint>

// Message box styles, as the platform numbers them.
const uint32_t MessageStyleError = 0x10;    // error icon, OK button
const uint32_t MessageStyleQuestion = 0x34; // warning icon, Yes and No buttons

// The mode list (control 1004).

// Number of rows.
int32_t ListRowCount(WindowHandle window);
// Inserts a row at `row` with `text` in column 0. The index of the new row, or -1.
int32_t ListInsertRow(WindowHandle window, int32_t row, const char* text);
// Sets the text of column 1 or 2 of a row.
void ListSetCell(WindowHandle window, int32_t row, int32_t column, const char* text);
void ListDeleteRow(WindowHandle window, int32_t row);
void ListDeleteAllRows(WindowHandle window);
// Sets the selection mark to -1, so that no row counts as the anchor of the selection.
void ListResetSelectionMark(WindowHandle window);
// Inserts a column of `width` pixels titled `text` at `column`.
void ListInsertColumn(WindowHandle window, int32_t column, int32_t width, const char* text);
// Stops (0) or resumes (1) the drawing of the list. A list that draws redraws itself and its
// scroll bar for every row inserted, which makes filling it with n rows cost n redraws (seconds
// for a thousand rows under Wine); rows inserted while it is stopped are drawn once, on resume.
// While it is stopped the list is found once, not again for every row.
void ListSetRedraw(WindowHandle window, int on);

// Check boxes and edits.

// 1 when the check box is ticked, 0 otherwise.
int GetCheck(WindowHandle window, int32_t control);
void SetCheck(WindowHandle window, int32_t control, int checked);
// Copies the edit's text into `buffer` of `limit` characters, the terminating zero included.
// 1 when the whole text fitted; 0 (and an empty buffer when limit > 0) when it did not or the
// control could not be read, so that a text is never cut short.
int GetEditText(WindowHandle window, int32_t control, char* buffer, int32_t limit);
void SetEditText(WindowHandle window, int32_t control, const char* text);
// Lets the user type at most `limit` characters into the edit.
void LimitEditText(WindowHandle window, int32_t control, int32_t limit);
void EnableControl(WindowHandle window, int32_t control, int enabled);

// Message boxes.

// Asks a question with Yes and No (MessageStyleQuestion). 1 for Yes, 0 for anything else.
int AskYesNo(WindowHandle owner, const char* text, const char* caption);
// Shows an error (MessageStyleError). `owner` may be null.
void ShowErrorMessage(WindowHandle owner, const char* text, const char* caption);

// The Device menu: a popup inserted at position 1 of the window's menu bar.

// Inserts an empty popup titled `title` at position 1. 1 when inserted.
int InsertDeviceMenu(WindowHandle window, const char* title);
// Inserts an item at `position` of the Device menu, with its command and text, ticked or not.
// 1 when inserted.
int InsertDeviceMenuItem(WindowHandle window, uint32_t position, uint32_t command, const char* text,
                         int checked);
// Gives the radio check to the item at `chosen` and takes it from the other items of the
// positions `first` to `last`.
void CheckDeviceMenuItem(WindowHandle window, uint32_t first, uint32_t last, uint32_t chosen);

// Resources and the other windows.

// Copies string `id` of the string table into `buffer` of `limit` characters, the terminating
// zero included. 1 when the whole string fitted; 0 and an empty buffer (limit > 0) when the
// string is missing or longer.
int LoadResourceString(uint32_t id, char* buffer, int32_t limit);
// Ends the main dialog with `result` and posts the quit message (code 0).
void EndMainWindow(WindowHandle window, intptr_t result);
