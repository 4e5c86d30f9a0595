// The stand-in main window and Add-mode question for native builds (see fake_window_ops.h).
#include "doubles/fake_window_ops.h"

#include "editor/add_mode_dialog.h"
#include "editor/shell_window_ops.h"
#include "editor/window_ops.h"
#include "ui/resource.h"
#include "ui/strings.h"

#include <cstring>
#include <deque>
#include <map>

namespace {

struct ControlState {
    int checked = 0;
    std::string text;
    int32_t limit = 0;
    int enabled = 1;
};

struct NewModeAnswer {
    int result;
    uint16_t width;
    uint16_t height;
    uint16_t refresh;
};

struct StubState {
    std::map<int32_t, ControlState> controls;
    std::vector<WindowStub::Column> columns;
    std::vector<WindowStub::Row> rows;
    int32_t selectionMark = -1;
    int listDrawing = 1;
    int rowsInsertedWhileDrawing = 0;
    std::vector<WindowStub::MessageBoxRecord> messages;
    std::deque<int> answers;
    int menuInserted = 0;
    std::string menuTitle;
    std::vector<WindowStub::MenuItem> menuItems;
    int ended = 0;
    intptr_t endResult = 0;
    int quitPosted = 0;
    int disclaimers = 0;
    int aboutBoxes = 0;
    WindowHandle lastDialogOwner = nullptr;
    std::deque<NewModeAnswer> newModes;
    int newModeAsks = 0;
    int strayCalls = 0;
};

StubState& State() {
    static StubState state;
    return state;
}

// A distinct address that no real window has.
char MainWindowObject;

// The main window's controls as its template creates them.
const int32_t TemplateControls[] = {MAIN_WINDOW_CONTROLS};
const int32_t DisabledAtStart[] = {MAIN_WINDOW_DISABLED_AT_START};

// The program's string table.
struct StringEntry {
    uint32_t id;
    const char* text;
};
const StringEntry Strings[] = {
    {IDS_COLUMN_WIDTH, STR_COLUMN_WIDTH},
    {IDS_COLUMN_HEIGHT, STR_COLUMN_HEIGHT},
    {IDS_COLUMN_REFRESH, STR_COLUMN_REFRESH},
    {IDS_DISCLAIMER, STR_DISCLAIMER},
    {IDS_CAPTION, STR_CAPTION},
    {IDS_ACCESS_ERROR, STR_ACCESS_ERROR},
    {IDS_DEVICE_MENU, STR_DEVICE_MENU},
    {IDS_UNSAVED_CHANGES, STR_UNSAVED_CHANGES},
    {IDS_PRODUCT_LINE, STR_PRODUCT_LINE},
    {IDS_NO_DEVICES, STR_NO_DEVICES},
    {IDS_APPLY_FAILED, STR_APPLY_FAILED},
};

// Whether an operation addresses the stand-in window; anything else is counted and dropped.
int IsMain(WindowHandle window) {
    if (window == WindowStub::MainWindow())
        return 1;
    ++State().strayCalls;
    return 0;
}

// The control of the stand-in window with that identifier, or null (counted as stray).
ControlState* Control(WindowHandle window, int32_t control) {
    if (!IsMain(window))
        return nullptr;
    auto found = State().controls.find(control);
    if (found == State().controls.end()) {
        ++State().strayCalls;
        return nullptr;
    }
    return &found->second;
}

int ValidRow(int32_t row) {
    return row >= 0 && row < static_cast<int32_t>(State().rows.size());
}

} // namespace

namespace WindowStub {

WindowHandle MainWindow() {
    return reinterpret_cast<WindowHandle>(&MainWindowObject);
}

void Reset() {
    StubState& s = State();
    s = StubState();
    for (int32_t id : TemplateControls)
        s.controls[id] = ControlState();
    for (int32_t id : DisabledAtStart)
        s.controls[id].enabled = 0;
}

const std::vector<Column>& Columns() {
    return State().columns;
}
const std::vector<Row>& Rows() {
    return State().rows;
}
int32_t SelectionMark() {
    return State().selectionMark;
}
int ListDrawing() {
    return State().listDrawing;
}
int RowsInsertedWhileDrawing() {
    return State().rowsInsertedWhileDrawing;
}
void MarkRow(int32_t row) {
    State().selectionMark = row;
}

int Checked(int32_t control) {
    return State().controls[control].checked;
}
void Tick(int32_t control, int checked) {
    State().controls[control].checked = checked ? 1 : 0;
}
const std::string& EditText(int32_t control) {
    return State().controls[control].text;
}
int32_t EditLimit(int32_t control) {
    return State().controls[control].limit;
}

void TypeText(int32_t control, const std::string& text) {
    ControlState& c = State().controls[control];
    c.text = text;
    if (c.limit > 0 && static_cast<int32_t>(c.text.size()) > c.limit)
        c.text.resize(static_cast<size_t>(c.limit));
}

void ForceText(int32_t control, const std::string& text) {
    State().controls[control].text = text;
}
int Enabled(int32_t control) {
    return State().controls[control].enabled;
}

const std::vector<MessageBoxRecord>& MessageBoxes() {
    return State().messages;
}
void QueueAnswer(int yes) {
    State().answers.push_back(yes);
}

int DeviceMenuInserted() {
    return State().menuInserted;
}
const std::string& DeviceMenuTitle() {
    return State().menuTitle;
}
const std::vector<MenuItem>& DeviceMenuItems() {
    return State().menuItems;
}

int Ended() {
    return State().ended;
}
intptr_t EndResult() {
    return State().endResult;
}
int QuitPosted() {
    return State().quitPosted;
}
int DisclaimersShown() {
    return State().disclaimers;
}
int AboutBoxesShown() {
    return State().aboutBoxes;
}
WindowHandle LastDialogOwner() {
    return State().lastDialogOwner;
}

void QueueNewMode(int result, uint16_t width, uint16_t height, uint16_t refresh) {
    State().newModes.push_back(NewModeAnswer{result, width, height, refresh});
}
int NewModeAsks() {
    return State().newModeAsks;
}

int StrayCalls() {
    return State().strayCalls;
}

} // namespace WindowStub

int32_t ListRowCount(WindowHandle window) {
    if (!IsMain(window))
        return 0;
    return static_cast<int32_t>(State().rows.size());
}

int32_t ListInsertRow(WindowHandle window, int32_t row, const char* text) {
    if (!IsMain(window) || row < 0)
        return -1;
    std::vector<WindowStub::Row>& rows = State().rows;
    if (row > static_cast<int32_t>(rows.size()))
        row = static_cast<int32_t>(rows.size());
    WindowStub::Row added;
    added.cells[0] = text;
    rows.insert(rows.begin() + row, added);
    if (State().listDrawing)
        ++State().rowsInsertedWhileDrawing;
    return row;
}

void ListSetCell(WindowHandle window, int32_t row, int32_t column, const char* text) {
    if (!IsMain(window) || !ValidRow(row) || column < 1 || column > 2)
        return;
    State().rows[static_cast<size_t>(row)].cells[column] = text;
}

void ListDeleteRow(WindowHandle window, int32_t row) {
    if (!IsMain(window) || !ValidRow(row))
        return;
    State().rows.erase(State().rows.begin() + row);
}

void ListDeleteAllRows(WindowHandle window) {
    if (IsMain(window))
        State().rows.clear();
}

void ListResetSelectionMark(WindowHandle window) {
    if (IsMain(window))
        State().selectionMark = -1;
}

void ListInsertColumn(WindowHandle window, int32_t column, int32_t width, const char* text) {
    if (!IsMain(window) || column < 0)
        return;
    std::vector<WindowStub::Column>& columns = State().columns;
    if (column > static_cast<int32_t>(columns.size()))
        column = static_cast<int32_t>(columns.size());
    columns.insert(columns.begin() + column, WindowStub::Column{text, width});
}

void ListSetRedraw(WindowHandle window, int on) {
    if (IsMain(window))
        State().listDrawing = on ? 1 : 0;
}

int GetCheck(WindowHandle window, int32_t control) {
    ControlState* c = Control(window, control);
    return c ? c->checked : 0;
}

void SetCheck(WindowHandle window, int32_t control, int checked) {
    if (ControlState* c = Control(window, control))
        c->checked = checked ? 1 : 0;
}

int GetEditText(WindowHandle window, int32_t control, char* buffer, int32_t limit) {
    if (limit > 0)
        buffer[0] = '\0';
    ControlState* c = Control(window, control);
    if (!c || limit <= 0 || c->text.size() >= static_cast<size_t>(limit))
        return 0;
    std::memcpy(buffer, c->text.c_str(), c->text.size() + 1);
    return 1;
}

void SetEditText(WindowHandle window, int32_t control, const char* text) {
    if (ControlState* c = Control(window, control))
        c->text = text;
}

void LimitEditText(WindowHandle window, int32_t control, int32_t limit) {
    if (ControlState* c = Control(window, control))
        c->limit = limit;
}

void EnableControl(WindowHandle window, int32_t control, int enabled) {
    if (ControlState* c = Control(window, control))
        c->enabled = enabled ? 1 : 0;
}

int AskYesNo(WindowHandle owner, const char* text, const char* caption) {
    StubState& s = State();
    s.messages.push_back(WindowStub::MessageBoxRecord{text, caption, MessageStyleQuestion, owner});
    int yes = 0;
    if (!s.answers.empty()) {
        yes = s.answers.front();
        s.answers.pop_front();
    }
    return yes ? 1 : 0;
}

void ShowErrorMessage(WindowHandle owner, const char* text, const char* caption) {
    State().messages.push_back(
        WindowStub::MessageBoxRecord{text, caption, MessageStyleError, owner});
}

int InsertDeviceMenu(WindowHandle window, const char* title) {
    if (!IsMain(window) || State().menuInserted)
        return 0;
    State().menuInserted = 1;
    State().menuTitle = title;
    return 1;
}

int InsertDeviceMenuItem(WindowHandle window, uint32_t position, uint32_t command, const char* text,
                         int checked) {
    if (!IsMain(window) || !State().menuInserted)
        return 0;
    std::vector<WindowStub::MenuItem>& items = State().menuItems;
    if (position > items.size())
        position = static_cast<uint32_t>(items.size());
    items.insert(items.begin() + position, WindowStub::MenuItem{text, command, checked ? 1 : 0});
    return 1;
}

void CheckDeviceMenuItem(WindowHandle window, uint32_t first, uint32_t last, uint32_t chosen) {
    if (!IsMain(window))
        return;
    std::vector<WindowStub::MenuItem>& items = State().menuItems;
    // Like the platform: only positions from first to last take part.
    if (chosen < first || chosen > last || chosen >= items.size())
        return;
    for (uint32_t i = first; i <= last && i < items.size(); ++i)
        items[i].checked = i == chosen;
}

int LoadResourceString(uint32_t id, char* buffer, int32_t limit) {
    if (limit > 0)
        buffer[0] = '\0';
    if (limit <= 0)
        return 0;
    for (const StringEntry& entry : Strings) {
        if (entry.id != id)
            continue;
        size_t length = std::strlen(entry.text);
        if (length >= static_cast<size_t>(limit))
            return 0;
        std::memcpy(buffer, entry.text, length + 1);
        return 1;
    }
    return 0;
}

void EndMainWindow(WindowHandle window, intptr_t result) {
    if (!IsMain(window))
        return;
    State().ended = 1;
    State().endResult = result;
    State().quitPosted = 1;
}

void ShowDisclaimerOnRequest(WindowHandle owner) {
    ++State().disclaimers;
    State().lastDialogOwner = owner;
}

void ShowAboutBox(WindowHandle owner) {
    ++State().aboutBoxes;
    State().lastDialogOwner = owner;
}

int AskNewMode(NewModeRequest* request, WindowHandle owner) {
    StubState& s = State();
    ++s.newModeAsks;
    s.lastDialogOwner = owner;
    if (s.newModes.empty())
        return 2;
    NewModeAnswer answer = s.newModes.front();
    s.newModes.pop_front();
    if (answer.result == 1) {
        request->width = answer.width;
        request->height = answer.height;
        request->refresh = answer.refresh;
    }
    return answer.result;
}
