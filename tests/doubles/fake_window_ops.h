// The fake window operations: the native stand-in of the main window (editor/window_ops.h) and
// of the Add-mode question (editor/add_mode.h). It keeps the state of every control as the real
// dialog would, records the message boxes and the other windows that were asked for, answers
// questions from a script, and loads the texts of the program's string table (ui/strings.h).
// Tests drive it through these controls.
//
// There is one stand-in window, MainWindow(). Operations on any other window change nothing and
// are counted as stray calls, so that an editor that forgot its window shows up.
#pragma once

#include "editor/window.h"

#include <cstdint>
#include <string>
#include <vector>

namespace WindowStub {

struct Column {
    std::string title;
    int32_t width;
};

struct Row {
    std::string cells[3];
};

struct MessageBoxRecord {
    std::string text;
    std::string caption;
    uint32_t style;
    WindowHandle owner;
};

struct MenuItem {
    std::string text;
    uint32_t command;
    int checked;
};

// The handle of the stand-in main window.
WindowHandle MainWindow();

// Back to a fresh window as the template creates it: no rows or columns, no menu popup, every
// box unticked, every edit empty without a limit, Modify, Remove, Apply and the pane disabled
// and every other control enabled; no records, scripts or stray calls.
void Reset();

// The list.
const std::vector<Column>& Columns();
const std::vector<Row>& Rows();
int32_t SelectionMark();
// Whether the list draws (1, as created) or its drawing is stopped (0), and how many rows were
// inserted while it drew, each of which a real list would have redrawn itself for.
int ListDrawing();
int RowsInsertedWhileDrawing();
// A click on a row makes it the list's selection mark.
void MarkRow(int32_t row);

// Controls. Typing keeps at most the edit's limit, as the edit control does; ForceText puts any
// text there, as another program could.
int Checked(int32_t control);
void Tick(int32_t control, int checked);
const std::string& EditText(int32_t control);
int32_t EditLimit(int32_t control); // 0 while no limit was set
void TypeText(int32_t control, const std::string& text);
void ForceText(int32_t control, const std::string& text);
int Enabled(int32_t control);

// Message boxes, in the order shown. Questions are answered from the queue; an empty queue
// answers No.
const std::vector<MessageBoxRecord>& MessageBoxes();
void QueueAnswer(int yes);

// The Device menu.
int DeviceMenuInserted();
const std::string& DeviceMenuTitle();
const std::vector<MenuItem>& DeviceMenuItems();

// Ending, the disclaimer and the About box.
int Ended();
intptr_t EndResult();
int QuitPosted();
int DisclaimersShown();
int AboutBoxesShown();
WindowHandle LastDialogOwner();

// The Add-mode question: each ask takes the next scripted answer (result and, for 1, the
// numbers). An empty script answers 2 (Cancel).
void QueueNewMode(int result, uint16_t width, uint16_t height, uint16_t refresh);
int NewModeAsks();

// Operations addressed to a window other than MainWindow().
int StrayCalls();

} // namespace WindowStub
