// The editor: what the main window shows and edits for the whole run (the display devices, the
// current device's timings and non-standard modes, the selected row, the unsaved-changes mark),
// its commands, and the portable part of the main window (initialisation, the start-up checks,
// the command table and the list's click), so that the Win32 dialog procedure only routes
// messages here. Every effect on the window goes through window_ops.h.
//
// The property pane shows the selected record's timing words: four check boxes for the bits of
// the flags word and fifteen edits for the raster words. Which control (resource.h) shows which
// word, and the order in which every fill, read and enable visits them, is the PaneChecks and
// PaneEdits tables of editor.cpp. Each edit takes at most PaneEditDigits characters.
#pragma once

#include "devices/discovery.h"
#include "editor/window.h"
#include "store/device_edit.h"

#include <cstdint>

const uint32_t TemplateNameSize = 260;
// Eight decimal digits survive the stored encoding of a timing word; a ninth could not.
const int32_t PaneEditDigits = 8;
const int32_t ListColumnWidth = 100;

class EditorState {
public:
    WindowHandle mainWindow;             // null until the main window initialises
    char templateName[TemplateNameSize]; // "VELMORA"
    // The current device's edit: row i of the list shows record i of edit.timings.
    DeviceEdit edit;
    int32_t selectedItem;      // the selected row, -1 for none
    DisplayDeviceList devices; // the devices found when the window initialised
    uint32_t currentDevice;    // index in devices of the device being edited
    uint32_t dirty;            // 1 while the lists hold edits that are not written
    int32_t paneEnabled;       // 1 or 0 as EnablePane last left the pane, -1 before it ran

    // An empty editor with no window; it becomes CurrentEditor.
    EditorState();
    // Frees the lists and clears CurrentEditor. The window itself is left alone.
    ~EditorState();
    EditorState(const EditorState&) = delete;
    EditorState& operator=(const EditorState&) = delete;

    // The main window's WM_INITDIALOG, apart from placement and icons: remembers `window` as
    // mainWindow, finds the devices, builds the Device menu (popup "&Device" at position 1 of the
    // menu bar, item i named after device i with command IDM_DEVICE_FIRST + i, item 0 checked)
    // and limits every pane edit to PaneEditDigits characters. With no device it says so (owned
    // by the window) and returns 0; otherwise 1.
    int InitialiseWindow(WindowHandle window);

    // The start-up checks that follow the window's creation: the list's three columns, the first
    // device opened in the edit, the write-access probe, and the first load. 1 when
    // the editor is ready to run. 0 when there is no device (already reported), or when the
    // probe fails: the access error is shown without owner and nothing is loaded. A first path
    // too long for a driver key names no key, so the probe fails and the program ends with the
    // access error rather than edit a key it cannot name.
    int FinishStartup();

    // WM_COMMAND with the whole first message parameter as `id`: only commands whose
    // notification code is 0 match. The close box (IDCANCEL), Exit (IDM_EXIT) and Save & Exit
    // (IDM_SAVE_EXIT) end the window and post the quit message once their writes or the
    // unsaved-changes question allow it. Device item i is IDM_DEVICE_FIRST + i for every device;
    // identifiers without a device do nothing.
    void Command(uint32_t id);

    // NM_CLICK on the list: `item` is the row under the click, -1 for none.
    void ListClicked(int32_t item);

    // Reads the current device's driver key into the lists and the list view, after taking the
    // device's one-time backup (a backup that cannot be taken now is tried again at each Apply).
    // Disables the pane, Modify and Remove (their contents stay) and forgets the selection, whose
    // row is gone. The unsaved-changes mark is not touched.
    void LoadDevice();

    // Asks for a new mode and, after OK, appends a record of zero timing (checksum 0xFFFF), its
    // non-standard mode unless one covers it, and a row. The selection stays. Without memory for
    // the record or the mode entry nothing is added.
    void AddNewMode();

    // Stores the pane into the selected record: the flags word from the four boxes (all other
    // bits cleared), each edit's number into its word, then the checksum. An edit's number is what
    // atoi would read (leading blanks, one sign, the leading digits; 0 without digits), read with
    // strtoll and held to the 32-bit range. Nothing changes without a selected record, or when an
    // edit's text does not fit the 255-character read.
    void ModifySelectedMode();

    // Removes the selected record, its non-standard mode (same width, height and refresh) and
    // its row, then clears the selection and the pane.
    void RemoveSelectedMode();

    // Writes the edit to the driver key through its one save: the backup made whole first, then
    // the timings, the non-standard list and the prune. 1 when everything was written. Refused
    // (0, nothing written) after a load that could not read the whole key, and while the backup
    // cannot be made whole. 0 when the store could not write it all: the editor then stays (or
    // becomes) dirty with Apply enabled, since the key does not match the lists, and the user is
    // told; the edits stay.
    int ApplyChanges();

    // The question that guards Exit and the device switch. 1 when the caller may go on: nothing
    // was unsaved, the user chose No (the edits are dropped), or Yes and the writes succeeded;
    // the editor is then clean. 0 when Yes could not write everything: the edits stay.
    int ConfirmUnsavedChanges();

    // Makes device `index` current (after the unsaved-changes question) and loads it, reloading
    // it when it is current already; the Device menu's radio check moves to its item. Does
    // nothing for an index without a device or a path that a driver key cannot hold, or when the
    // question says not to go on.
    void SwitchDevice(uint32_t index);

    // Selects row `item` and fills the pane from its record, enabling the pane with Modify and
    // Remove. -1, or a row without a record, selects nothing: the pane is cleared and disabled.
    void ShowSelection(int32_t item);

    // Enables (1) or disables (0) the pane controls with Modify and Remove, leaving their
    // contents. Apply and the list are not touched.
    void EnablePane(int on);

    // Sets the unsaved-changes mark and enables Apply exactly when it is 1.
    void SetDirty(uint32_t value);

private:
    void AppendRow(const CustomTiming& timing);
    void ExitWith(intptr_t result);
    void ShowMessage(uint32_t textId, int32_t textLimit, WindowHandle owner);
};

// The one editor of the process, reached by the main window's dialog procedure; null outside
// the editor's lifetime.
extern EditorState* CurrentEditor;
