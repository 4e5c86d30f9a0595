// Drives a Win32 program in a separate process the way a user would, and reads back what it
// shows: start and end the process, find its windows by caption, click buttons and list rows,
// type into edits, press keys, choose menu commands, answer message boxes.
//
// Everything goes through window messages, so it works across processes (and under Wine). The
// actions refuse (return 0) what a user could not do: a control that is missing, hidden or
// disabled, or whose top-level window is hidden or disabled (for instance while a modal dialog
// owned by it is open). Each action waits until the program's thread has handled the messages it
// posted; see Sync. Effects that appear later (a dialog showing up, a process ending) are waited
// for with the Wait... functions, which poll with short sleeps until a timeout.
//
// The list-view functions place their structures in the target's memory, so the driver and the
// program must have the same bitness (both are 64-bit builds here).
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace e2e {

// Long enough for a slow Wine start on a loaded machine; a test that fails waits this long. In a
// fresh prefix the first program started from a test can wait about ten seconds for Wine's own
// services before its first window shows.
const uint32_t DefaultTimeoutMs = 30000;

// A program started as a separate process. The guard never leaves it behind: the destructor
// kills it when it still runs, and the process is also placed in a job object that ends it when
// the test executable itself dies.
//
// Under Wine each start turns off window management for that program in the prefix
// ("Managed"="N" under HKEY_CURRENT_USER\Software\Wine\AppDefaults\<exe name>\X11 Driver):
// on a display without a window manager, Wine otherwise waits two seconds each time a window is
// hidden, as when any dialog ends. Such programs take the display's input focus from each other,
// so tests that start programs do not run at the same time (see velmora_e2e_test).
class AppProcess {
public:
    AppProcess();
    ~AppProcess();
    AppProcess(const AppProcess&) = delete;
    AppProcess& operator=(const AppProcess&) = delete;

    // Starts exePath with the optional arguments (appended to the quoted program path) in
    // workingDirectory (null: ours). 1 when the process runs; 0 when it could not be started or
    // this guard already holds a process.
    int Start(const char* exePath, const char* workingDirectory, const char* arguments = nullptr);

    // Waits for the process to end. 1 with its exit code in *exitCode (may be null); 0 when it
    // has not ended within the timeout, in which case it is killed, and 0 for a process that
    // this guard killed (it has no exit code of its own).
    int WaitForExit(uint32_t timeoutMs, uint32_t* exitCode);

    // 1 while the process runs.
    int IsRunning() const;

    // Ends the process at once (exit code 1) and waits for it to be gone.
    void Kill();

    uint32_t Id() const { return processId; }

private:
    HANDLE process;
    HANDLE job;
    uint32_t processId;
    uint32_t exitCode;
    int exited;
};

// Runs a command line to its end: 1 with the exit code when it ended within the timeout.
int RunToExit(const char* exePath, const char* arguments, uint32_t timeoutMs, uint32_t* exitCode);

// Runs a console program to its end with its standard output and error captured (through files,
// so that neither can fill up while the other is read). 1 with the exit code and both texts when
// it ended within the timeout; 0 otherwise (a program still running is killed).
int RunCaptured(const char* exePath, const char* arguments, uint32_t timeoutMs, uint32_t* exitCode,
                std::string* out, std::string* err);

// Imports a REGEDIT4 file with "regedit /S" into the registry of the running Wine prefix.
// 1 when regedit ran and ended with 0.
int ImportRegFile(const char* path, uint32_t timeoutMs = DefaultTimeoutMs);

// The folder of the running executable, ending with a backslash, and a file name beside it.
std::string ExeDirectory();
std::string BesideExe(const char* fileName);

// Top-level windows of a process. Only visible windows count: a dialog that has ended is hidden
// and may live on. caption and className must match exactly (null: any); controlId, when not 0,
// must be the identifier of one of the window's controls.
HWND FindTopWindow(uint32_t processId, const char* caption, const char* className = nullptr,
                   int controlId = 0);
int CountTopWindows(uint32_t processId, const char* caption, const char* className = nullptr,
                    int controlId = 0);
// The window once it shows, or null after the timeout.
HWND WaitForTopWindow(uint32_t processId, const char* caption,
                      uint32_t timeoutMs = DefaultTimeoutMs, const char* className = nullptr,
                      int controlId = 0);
// 1 once no visible window of that caption is left; 0 after the timeout.
int WaitForTopWindowGone(uint32_t processId, const char* caption,
                         uint32_t timeoutMs = DefaultTimeoutMs);
// 1 once the window is hidden or destroyed; 0 after the timeout.
int WaitForHidden(HWND window, uint32_t timeoutMs = DefaultTimeoutMs);
// Every top-level window of the process, visible or not, one per line as
// class "caption" (hidden), for failure messages.
std::string DescribeTopWindows(uint32_t processId);

// The caption of a window or the text of a control. 1 with the whole text; 0 when the window is
// missing or does not answer.
int GetWindowCaption(HWND window, std::string* text);
int GetText(HWND window, int controlId, std::string* text);
// The same for use inside assertions: a failed read gives a text that names the failure, so it
// never passes for an expected text (not even an empty one).
std::string ReadText(HWND window, int controlId);

// A control of a window by identifier, or null.
HWND Control(HWND window, int controlId);

// 1 enabled or visible, 0 not, -1 no such control.
int IsEnabled(HWND window, int controlId);
int IsVisible(HWND window, int controlId);

// BST_UNCHECKED (0), BST_CHECKED (1) or BST_INDETERMINATE (2); -1 when not readable.
int GetCheck(HWND window, int controlId);
// Sets the check state without a click (no notification). 1 when the control took it.
int SetCheck(HWND window, int controlId, int state);

// Clicks a button (BM_CLICK, posted, so a click that opens a modal dialog does not block us).
// 1 when the click was delivered and the program's thread has handled it.
int ClickButton(HWND window, int controlId);

// Replaces an edit's text in one message, as a paste would (the edit's digit filter does not
// apply). 1 when the edit took it.
int SetText(HWND window, int controlId, const char* text);
// Selects an edit's whole text, deletes it with Backspace and types the characters one by one,
// so the edit filters them as it would a user's keys. 1 when every key was delivered (not
// necessarily accepted).
int TypeText(HWND window, int controlId, const char* text);

// Presses and releases a key on a window (WM_KEYDOWN, WM_KEYUP), such as VK_DOWN on a list.
int PressKey(HWND target, int virtualKey);
// The same on whatever control of the window's thread has the keyboard focus (the window
// itself when none has): Enter and Esc in a modal dialog go to the dialog this way.
int PressKeyOnFocus(HWND window, int virtualKey);

// A menu choice or any other command: WM_COMMAND with the identifier and the notification 0.
int SendCommand(HWND window, int commandId);
// What the caption's close box does: WM_SYSCOMMAND SC_CLOSE.
int CloseFromCaption(HWND window);
// Chooses a menu item with the keyboard, as a user does: Alt with the mnemonic of a menu of the
// window's menu bar opens that menu on its first item, Down is pressed `item` times, then Enter.
// Wine lets no other process read a menu, so this is how a test reaches the items the program
// built: a menu without that many items wraps around to an earlier one. 1 once the menu has
// closed and the program's thread has handled the command chosen; 0 when no menu opened (no
// such mnemonic) or it did not close within the timeout. Moves the mouse pointer to a corner.
int ChooseMenuItem(HWND window, char mnemonic, int item);

// A list view in report view. Counts are -1 when not readable.
int ListRowCount(HWND list);
int ListColumnCount(HWND list);
int ListColumnWidth(HWND list, int column);
// 1 with the column's title and width.
int ListColumn(HWND list, int column, std::string* title, int* width);
// 1 with the text of a cell (column 0 is the item itself).
int ListCellText(HWND list, int row, int column, std::string* text);
// 1 with every row, each with one text per column.
int ListContents(HWND list, std::vector<std::vector<std::string>>* rows);
// 1 with the row's whole rectangle in the list's client coordinates.
int ListRowRect(HWND list, int row, RECT* rect);
// The first selected row, or -1 when none is.
int ListSelectedRow(HWND list);
// Clicks a row with the left mouse button (scrolled into view first), so the list's owner gets
// NM_CLICK with that row.
int ClickListRow(HWND list, int row);
// Clicks the empty part of the list below its last row: NM_CLICK with the row -1. 0 when the
// rows leave no empty space.
int ClickListBelowRows(HWND list);

// Message boxes: dialogs of the class "#32770" with that caption that have a text control
// (0xFFFF) and at least one of the buttons OK, Cancel, Yes and No.
HWND FindMessageBox(uint32_t processId, const char* caption);
HWND WaitForMessageBox(uint32_t processId, const char* caption,
                       uint32_t timeoutMs = DefaultTimeoutMs);
int MessageBoxText(HWND box, std::string* text);
// Presses IDOK, IDCANCEL, IDYES or IDNO. 1 once the box has closed.
int AnswerMessageBox(HWND box, int buttonId, uint32_t timeoutMs = DefaultTimeoutMs);

// Waits until the thread of the window has handled every message posted to it before this
// call: a few round trips of WM_NULL through its queue. 1 when it answered, or when the thread
// has no window left; 0 when it did not answer within the timeout (hung or blocked).
int Sync(HWND window, uint32_t timeoutMs = DefaultTimeoutMs);

// Polls the condition every few milliseconds. 1 as soon as it holds; 0 after the timeout.
int WaitUntil(const std::function<bool()>& condition, uint32_t timeoutMs = DefaultTimeoutMs);

} // namespace e2e
