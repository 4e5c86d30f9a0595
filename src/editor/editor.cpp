#include "editor/editor.h"

#include "editor/add_mode_dialog.h"
#include "editor/shell_window_ops.h"
#include "editor/window_ops.h"
#include "store/backup.h"
#include "store/timing.h"
#include "ui/resource.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

EditorState* CurrentEditor = nullptr;

namespace {

struct PaneCheck {
    int32_t control;
    uint32_t bit;
};

struct PaneEdit {
    int32_t control;
    uint32_t word;
};

// The pane in the order in which it is filled, read and enabled.
const PaneCheck PaneChecks[] = {
    {IDC_DOUBLE_SCAN, DoubleScan},
    {IDC_INTERLACED, Interlaced},
    {IDC_HSYNC_NEGATIVE, HSyncNegative},
    {IDC_VSYNC_NEGATIVE, VSyncNegative},
};

const PaneEdit PaneEdits[] = {
    {IDC_HORIZONTAL_TOTAL, HorizontalTotal},
    {IDC_HORIZONTAL_DISPLAY, HorizontalDisplay},
    {IDC_HORIZONTAL_SYNC_START, HorizontalSyncStart},
    {IDC_HORIZONTAL_SYNC_WIDTH, HorizontalSyncWidth},
    {IDC_VERTICAL_TOTAL, VerticalTotal},
    {IDC_VERTICAL_DISPLAY, VerticalDisplay},
    {IDC_VERTICAL_SYNC_START, VerticalSyncStart},
    {IDC_VERTICAL_SYNC_WIDTH, VerticalSyncWidth},
    {IDC_HORIZONTAL_OVERSCAN_RIGHT, HorizontalOverscanRight},
    {IDC_HORIZONTAL_OVERSCAN_LEFT, HorizontalOverscanLeft},
    {IDC_VERTICAL_OVERSCAN_TOP, VerticalOverscanTop},
    {IDC_VERTICAL_OVERSCAN_BOTTOM, VerticalOverscanBottom},
    {IDC_PIXEL_CLOCK, PixelClock},
    {IDC_OVERSCAN_BLUE, OverscanBlue},
    {IDC_OVERSCAN_GREEN_RED, OverscanGreenRed},
};

const uint32_t PaneCheckCount = sizeof(PaneChecks) / sizeof(PaneChecks[0]);
const uint32_t PaneEditCount = sizeof(PaneEdits) / sizeof(PaneEdits[0]);

const uint32_t ColumnTitles[] = {IDS_COLUMN_WIDTH, IDS_COLUMN_HEIGHT, IDS_COLUMN_REFRESH};

// Room for any 32-bit number in decimal with its sign and terminating zero.
const uint32_t NumberTextSize = 12;

// Writes a word in signed decimal, as the list and the pane have always shown numbers.
void FormatNumber(uint32_t value, char out[NumberTextSize]) {
    std::snprintf(out, NumberTextSize, "%d", static_cast<int32_t>(value));
}

// Loads a string into a buffer cleared first, so that a string that cannot be loaded is shown
// as an empty text rather than whatever the buffer held.
void LoadText(uint32_t id, char* buffer, int32_t limit) {
    buffer[0] = '\0';
    LoadResourceString(id, buffer, limit);
}

} // namespace

EditorState::EditorState()
    : mainWindow(nullptr), selectedItem(-1), currentDevice(0), dirty(0), paneEnabled(-1) {
    std::snprintf(templateName, sizeof(templateName), "%s", IDD_MAIN);
    CurrentEditor = this;
}

EditorState::~EditorState() {
    mainWindow = nullptr;
    if (CurrentEditor == this)
        CurrentEditor = nullptr;
    selectedItem = -1;
    devices.Clear();
}

int EditorState::InitialiseWindow(WindowHandle window) {
    mainWindow = window;
    paneEnabled = -1;
    if (EnumerateDisplayDevices(&devices) == 0) {
        ShowMessage(IDS_NO_DEVICES, STRING_LIMIT, mainWindow);
        return 0;
    }

    char title[STRING_LIMIT];
    LoadText(IDS_DEVICE_MENU, title, STRING_LIMIT);
    InsertDeviceMenu(mainWindow, title);
    uint32_t position = 0;
    for (const char* name = devices.FirstName(); name; name = devices.NextName()) {
        InsertDeviceMenuItem(mainWindow, position, IDM_DEVICE_FIRST + position, name,
                             position == 0);
        ++position;
    }

    for (uint32_t i = 0; i < PaneEditCount; ++i)
        LimitEditText(mainWindow, PaneEdits[i].control, PaneEditDigits);
    return 1;
}

int EditorState::FinishStartup() {
    if (devices.Count() == 0)
        return 0;

    for (int32_t column = 0; column < 3; ++column) {
        char title[STRING_LIMIT];
        LoadText(ColumnTitles[column], title, STRING_LIMIT);
        ListInsertColumn(mainWindow, column, ListColumnWidth, title);
    }

    // A refused path names no key, which the probe reports as no access.
    edit.Open(devices.NameAt(0), devices.PathAt(0), 0);
    if (!ProbeWriteAccess(edit.Key())) {
        ShowMessage(IDS_ACCESS_ERROR, STRING_LIMIT_ACCESS_ERROR, nullptr);
        return 0;
    }
    LoadDevice();
    return 1;
}

void EditorState::Command(uint32_t id) {
    switch (id) {
    case IDCANCEL:
    case IDM_EXIT:
        ExitWith(id);
        return;
    case IDC_ADD:
        AddNewMode();
        SetDirty(1);
        return;
    case IDC_MODIFY:
        ModifySelectedMode();
        SetDirty(1);
        return;
    case IDC_REMOVE:
        RemoveSelectedMode();
        SetDirty(1);
        return;
    case IDC_DISCLAIMER:
    case IDM_DISCLAIMER:
        ShowDisclaimerOnRequest(mainWindow);
        return;
    case IDM_ABOUT:
        ShowAboutBox(mainWindow);
        return;
    case IDC_APPLY:
        if (ApplyChanges())
            SetDirty(0);
        return;
    case IDM_SAVE_EXIT:
        if (!ApplyChanges())
            return;
        EndMainWindow(mainWindow, 1);
        SetDirty(0);
        return;
    default:
        if (id >= IDM_DEVICE_FIRST && id - IDM_DEVICE_FIRST < devices.Count())
            SwitchDevice(id - IDM_DEVICE_FIRST);
        return;
    }
}

void EditorState::ListClicked(int32_t item) {
    ShowSelection(item);
}

void EditorState::LoadDevice() {
    edit.TakeBackup();
    EnablePane(0);
    selectedItem = -1;
    edit.Load();

    // The list is drawn once after the last row rather than once per row.
    ListSetRedraw(mainWindow, 0);
    ListDeleteAllRows(mainWindow);
    for (CustomTiming* timing = edit.timings.FirstTiming(); timing;
         timing = edit.timings.NextTiming())
        AppendRow(*timing);
    ListSetRedraw(mainWindow, 1);
}

void EditorState::AddNewMode() {
    NewModeRequest request;
    if (AskNewMode(&request, mainWindow) != 1)
        return;

    CustomTiming timing;
    std::memset(&timing, 0, sizeof(timing));
    timing.width = request.width;
    timing.height = request.height;
    timing.refresh = request.refresh;
    timing.block.words[TimingChecksumWord] = ComputeTimingChecksum(timing.block.words);
    // Rows mirror the records, so a record that could not be kept gets no row either; a timing
    // without its non-standard mode would be written as half a mode, so the edit keeps both or
    // neither.
    if (!edit.Add(timing))
        return;
    AppendRow(timing);
}

// The number that atoi reads from a pane text (leading blanks, one sign, the leading digits; 0
// when there are none), but with a defined result when the digits exceed 32 bits: the nearest
// 32-bit value. The edits take eight digits, but another program can still set a longer text.
static int32_t ReadNumber(const char* text) {
    long long number = std::strtoll(text, nullptr, 10);
    if (number > INT32_MAX)
        return INT32_MAX;
    if (number < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(number);
}

void EditorState::ModifySelectedMode() {
    if (selectedItem < 0)
        return;
    CustomTiming* timing = edit.timings.TimingAt(selectedItem);
    if (!timing)
        return;

    uint32_t flags = 0;
    for (uint32_t i = 0; i < PaneCheckCount; ++i)
        if (GetCheck(mainWindow, PaneChecks[i].control))
            flags |= PaneChecks[i].bit;

    // Every edit is read before the record changes, so that a text that cannot be read leaves
    // the record as it was instead of half modified.
    uint32_t values[PaneEditCount];
    for (uint32_t i = 0; i < PaneEditCount; ++i) {
        char text[STRING_LIMIT];
        if (!GetEditText(mainWindow, PaneEdits[i].control, text, STRING_LIMIT))
            return;
        values[i] = static_cast<uint32_t>(ReadNumber(text));
    }

    timing->block.words[TimingFlagsWord] = flags;
    for (uint32_t i = 0; i < PaneEditCount; ++i)
        timing->block.words[PaneEdits[i].word] = values[i];
    edit.timings.RefreshChecksumAt(selectedItem);
}

void EditorState::RemoveSelectedMode() {
    if (selectedItem < 0)
        return;
    if (!edit.RemoveAt(selectedItem))
        return;
    ListDeleteRow(mainWindow, selectedItem);
    selectedItem = -1;
    ListResetSelectionMark(mainWindow);
    ShowSelection(-1);
}

int EditorState::ApplyChanges() {
    const int written = edit.Save();
    if (!written) {
        SetDirty(1);
        ShowMessage(IDS_APPLY_FAILED, STRING_LIMIT, mainWindow);
    }
    return written;
}

int EditorState::ConfirmUnsavedChanges() {
    if (!dirty)
        return 1;

    char text[STRING_LIMIT];
    char caption[STRING_LIMIT];
    LoadText(IDS_UNSAVED_CHANGES, text, STRING_LIMIT);
    LoadText(IDS_CAPTION, caption, STRING_LIMIT);
    if (AskYesNo(mainWindow, text, caption) && !ApplyChanges())
        return 0;
    SetDirty(0);
    return 1;
}

void EditorState::SwitchDevice(uint32_t index) {
    const char* path = devices.PathAt(index);
    const char* name = devices.NameAt(index);
    if (!path || std::strlen(path) >= DevicePathSize || !name ||
        std::strlen(name) >= BackupKeyPathSize)
        return;
    if (!ConfirmUnsavedChanges())
        return;

    edit.Open(name, path, 0);
    currentDevice = index;
    LoadDevice();
    CheckDeviceMenuItem(mainWindow, 0, devices.Count() - 1, index);
}

void EditorState::ShowSelection(int32_t item) {
    CustomTiming* timing = item >= 0 ? edit.timings.TimingAt(item) : nullptr;
    if (!timing) {
        selectedItem = -1;
        EnablePane(0);
        for (uint32_t i = 0; i < PaneCheckCount; ++i)
            SetCheck(mainWindow, PaneChecks[i].control, 0);
        for (uint32_t i = 0; i < PaneEditCount; ++i)
            SetEditText(mainWindow, PaneEdits[i].control, "");
        return;
    }

    selectedItem = item;
    EnablePane(1);
    uint32_t flags = timing->block.words[TimingFlagsWord];
    for (uint32_t i = 0; i < PaneCheckCount; ++i)
        SetCheck(mainWindow, PaneChecks[i].control, (flags & PaneChecks[i].bit) != 0);
    for (uint32_t i = 0; i < PaneEditCount; ++i) {
        char text[NumberTextSize];
        FormatNumber(timing->block.words[PaneEdits[i].word], text);
        SetEditText(mainWindow, PaneEdits[i].control, text);
    }
}

// Every load disables the pane; under Wine each EnableWindow is a round trip to the window
// server even when nothing changes (about 1 ms for the pane's 21 controls), so a pane already in
// the asked state is left alone.
void EditorState::EnablePane(int on) {
    if (paneEnabled == (on ? 1 : 0))
        return;
    paneEnabled = on ? 1 : 0;
    for (uint32_t i = 0; i < PaneCheckCount; ++i)
        EnableControl(mainWindow, PaneChecks[i].control, on);
    for (uint32_t i = 0; i < PaneEditCount; ++i)
        EnableControl(mainWindow, PaneEdits[i].control, on);
    EnableControl(mainWindow, IDC_MODIFY, on);
    EnableControl(mainWindow, IDC_REMOVE, on);
}

void EditorState::SetDirty(uint32_t value) {
    dirty = value ? 1 : 0;
    EnableControl(mainWindow, IDC_APPLY, dirty);
}

// Appends one row showing the record's width, height and refresh.
void EditorState::AppendRow(const CustomTiming& timing) {
    char text[NumberTextSize];
    FormatNumber(timing.width, text);
    int32_t row = ListInsertRow(mainWindow, ListRowCount(mainWindow), text);
    if (row < 0)
        return;
    FormatNumber(timing.height, text);
    ListSetCell(mainWindow, row, 1, text);
    FormatNumber(timing.refresh, text);
    ListSetCell(mainWindow, row, 2, text);
}

// Exit and the close box: the window ends only once the unsaved-changes question allows it.
void EditorState::ExitWith(intptr_t result) {
    if (!ConfirmUnsavedChanges())
        return;
    EndMainWindow(mainWindow, result);
}

// An error box with string `textId` under the program's caption.
void EditorState::ShowMessage(uint32_t textId, int32_t textLimit, WindowHandle owner) {
    char text[STRING_LIMIT_ACCESS_ERROR];
    char caption[STRING_LIMIT];
    if (textLimit > STRING_LIMIT_ACCESS_ERROR)
        textLimit = STRING_LIMIT_ACCESS_ERROR;
    LoadText(textId, text, textLimit);
    LoadText(IDS_CAPTION, caption, STRING_LIMIT);
    ShowErrorMessage(owner, text, caption);
}
