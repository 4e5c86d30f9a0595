// The driver against a small dialog program of our own (fixture_app), started as a separate
// process beside this executable. The program echoes every action into its status field.
#include "e2e/driver.h"
#include "e2e/fixture_app.h"

#include <gtest/gtest.h>

using namespace e2e;

namespace {

const uint32_t ShortTimeoutMs = 300;

int StartFixture(AppProcess* app, HWND* window) {
    std::string exe = BesideExe("e2e_fixture_app.exe");
    if (!app->Start(exe.c_str(), ExeDirectory().c_str())) {
        return 0;
    }
    *window = WaitForTopWindow(app->Id(), FIXTURE_CAPTION);
    return *window != nullptr;
}

class Driver : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(StartFixture(&app, &window)) << DescribeTopWindows(app.Id());
        list = Control(window, IDC_FIXTURE_LIST);
        ASSERT_NE(nullptr, list);
    }

    std::string Status() { return ReadText(window, IDC_FIXTURE_STATUS); }

    AppProcess app;
    HWND window = nullptr;
    HWND list = nullptr;
};

} // namespace

TEST(DriverProcess, EndsWithTheChosenExitCodeByCloseBoxOrMenu) {
    struct Case {
        const char* code;
        int byMenu;
        uint32_t expected;
    } cases[] = {{"42", 0, 42}, {"7", 1, 7}, {"", 0, 0}};
    for (const Case& c : cases) {
        AppProcess app;
        HWND window = nullptr;
        ASSERT_TRUE(StartFixture(&app, &window));
        ASSERT_TRUE(SetText(window, IDC_FIXTURE_NUMBER, c.code));
        ASSERT_TRUE(c.byMenu ? SendCommand(window, IDM_FIXTURE_QUIT) : CloseFromCaption(window));
        uint32_t exitCode = 12345;
        EXPECT_TRUE(app.WaitForExit(DefaultTimeoutMs, &exitCode)) << c.code;
        EXPECT_EQ(c.expected, exitCode) << c.code;
        EXPECT_FALSE(app.IsRunning());
        EXPECT_TRUE(WaitForTopWindowGone(app.Id(), FIXTURE_CAPTION, ShortTimeoutMs));
    }
}

TEST(DriverProcess, KillsWhatOutlivesItsTimeoutOrItsGuard) {
    HANDLE watcher = nullptr;
    {
        AppProcess app;
        HWND window = nullptr;
        ASSERT_TRUE(StartFixture(&app, &window));
        uint32_t exitCode = 12345;
        EXPECT_FALSE(app.WaitForExit(ShortTimeoutMs, &exitCode));
        EXPECT_EQ(12345u, exitCode);
        EXPECT_FALSE(app.IsRunning());
        EXPECT_FALSE(app.WaitForExit(0, &exitCode)) << "a killed process has no exit code";

        AppProcess second;
        ASSERT_TRUE(StartFixture(&second, &window));
        watcher = OpenProcess(SYNCHRONIZE, FALSE, second.Id());
        ASSERT_NE(nullptr, watcher);
        EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(watcher, 0));
    }
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(watcher, 0));
    CloseHandle(watcher);
}

TEST(DriverProcess, RefusesWhatCannotStart) {
    AppProcess app;
    EXPECT_FALSE(app.Start(BesideExe("no_such_program.exe").c_str(), nullptr));
    EXPECT_FALSE(app.Start(nullptr, nullptr));
    EXPECT_FALSE(app.IsRunning());
    EXPECT_FALSE(app.WaitForExit(0, nullptr));

    HWND window = nullptr;
    ASSERT_TRUE(StartFixture(&app, &window));
    EXPECT_FALSE(app.Start(BesideExe("e2e_fixture_app.exe").c_str(), nullptr))
        << "one process per guard";
}

TEST_F(Driver, FindsTopWindowsByCaptionClassAndControl) {
    EXPECT_EQ(window, FindTopWindow(app.Id(), FIXTURE_CAPTION, "#32770", IDC_FIXTURE_LIST));
    EXPECT_EQ(window, FindTopWindow(app.Id(), FIXTURE_CAPTION));
    EXPECT_EQ(nullptr, FindTopWindow(app.Id(), "Driver"));
    EXPECT_EQ(nullptr, FindTopWindow(app.Id(), FIXTURE_CAPTION, "Button"));
    EXPECT_EQ(nullptr, FindTopWindow(app.Id(), FIXTURE_CAPTION, nullptr, 9999));
    EXPECT_EQ(nullptr, FindTopWindow(app.Id() + 4, FIXTURE_CAPTION));
    EXPECT_EQ(1, CountTopWindows(app.Id(), FIXTURE_CAPTION));
    EXPECT_EQ(nullptr, FindMessageBox(app.Id(), FIXTURE_CAPTION)) << "a dialog is no message box";

    std::string caption;
    EXPECT_TRUE(GetWindowCaption(window, &caption));
    EXPECT_EQ(FIXTURE_CAPTION, caption);
    EXPECT_NE(std::string::npos, DescribeTopWindows(app.Id()).find("#32770 \"Driver Fixture\""));

    uint64_t start = GetTickCount64();
    EXPECT_EQ(nullptr, WaitForTopWindow(app.Id(), "Never shown", ShortTimeoutMs));
    EXPECT_GE(GetTickCount64() - start, ShortTimeoutMs);
    EXPECT_FALSE(WaitForTopWindowGone(app.Id(), FIXTURE_CAPTION, ShortTimeoutMs));
    EXPECT_FALSE(WaitForHidden(window, ShortTimeoutMs));
}

// Each action returns only once the program has handled it, so its effect is there at once.
TEST_F(Driver, ClicksReturnOnceHandled) {
    EXPECT_EQ("ready", Status());
    for (int i = 1; i <= 3; ++i) {
        ASSERT_TRUE(ClickButton(window, IDC_FIXTURE_COUNT));
    }
    EXPECT_EQ("count 3", Status());
    ASSERT_TRUE(ClickButton(window, IDC_FIXTURE_SLOW));
    EXPECT_EQ("slow done", Status());
    ASSERT_TRUE(SendCommand(window, IDM_FIXTURE_MARK));
    EXPECT_EQ("menu 40001", Status());
}

TEST_F(Driver, SyncReportsAProgramThatDoesNotAnswerInTime) {
    ASSERT_TRUE(PostMessageA(Control(window, IDC_FIXTURE_SLOW), BM_CLICK, 0, 0));
    EXPECT_FALSE(Sync(window, FIXTURE_SLOW_MS / 6));
    EXPECT_TRUE(Sync(window));
    EXPECT_EQ("slow done", Status());
    EXPECT_FALSE(Sync(nullptr));
}

TEST_F(Driver, RefusesWhatAUserCannotReach) {
    EXPECT_EQ(0, IsEnabled(window, IDC_FIXTURE_DISABLED));
    EXPECT_EQ(1, IsEnabled(window, IDC_FIXTURE_COUNT));
    EXPECT_EQ(-1, IsEnabled(window, 9999));
    EXPECT_EQ(0, IsVisible(window, IDC_FIXTURE_HIDDEN));
    EXPECT_EQ(1, IsVisible(window, IDC_FIXTURE_COUNT));
    EXPECT_EQ(-1, IsVisible(window, 9999));

    EXPECT_FALSE(ClickButton(window, IDC_FIXTURE_DISABLED));
    EXPECT_FALSE(ClickButton(window, IDC_FIXTURE_HIDDEN));
    EXPECT_FALSE(ClickButton(window, 9999));
    EXPECT_FALSE(SetText(window, IDC_FIXTURE_STATUS, "typed")) << "read-only";
    EXPECT_FALSE(TypeText(window, IDC_FIXTURE_STATUS, "typed")) << "read-only";
    EXPECT_FALSE(SetText(window, 9999, "typed"));
    EXPECT_FALSE(SetCheck(window, IDC_FIXTURE_DISABLED, BST_CHECKED));
    EXPECT_EQ("ready", Status());

    // A modal message box disables its owner and everything in it.
    ASSERT_TRUE(ClickButton(window, IDC_FIXTURE_TELL));
    HWND box = WaitForMessageBox(app.Id(), FIXTURE_NOTE_CAPTION);
    ASSERT_NE(nullptr, box) << DescribeTopWindows(app.Id());
    EXPECT_FALSE(IsWindowEnabled(window));
    EXPECT_FALSE(ClickButton(window, IDC_FIXTURE_COUNT));
    EXPECT_FALSE(SendCommand(window, IDM_FIXTURE_MARK));
    EXPECT_FALSE(CloseFromCaption(window));
    EXPECT_FALSE(ClickListRow(list, 0));
    EXPECT_FALSE(PressKey(list, VK_DOWN));
    EXPECT_FALSE(SetText(window, IDC_FIXTURE_NUMBER, "1"));
    EXPECT_TRUE(AnswerMessageBox(box, IDOK));
    EXPECT_EQ("told", Status());
    EXPECT_TRUE(IsWindowEnabled(window));
}

TEST_F(Driver, SetsTypesAndReadsEditText) {
    ASSERT_TRUE(SetText(window, IDC_FIXTURE_NUMBER, "1234"));
    EXPECT_EQ("1234", ReadText(window, IDC_FIXTURE_NUMBER));
    // Setting the text bypasses the digit filter; typing goes through it.
    ASSERT_TRUE(SetText(window, IDC_FIXTURE_NUMBER, "abc"));
    EXPECT_EQ("abc", ReadText(window, IDC_FIXTURE_NUMBER));
    ASSERT_TRUE(TypeText(window, IDC_FIXTURE_NUMBER, "12a3-"));
    EXPECT_EQ("123", ReadText(window, IDC_FIXTURE_NUMBER)) << "typing replaces, filters digits";
    ASSERT_TRUE(TypeText(window, IDC_FIXTURE_NUMBER, ""));
    EXPECT_EQ("", ReadText(window, IDC_FIXTURE_NUMBER));
    ASSERT_TRUE(TypeText(window, IDC_FIXTURE_NUMBER, "x"));
    EXPECT_EQ("", ReadText(window, IDC_FIXTURE_NUMBER)) << "a refused key after clearing";

    std::string longText(5000, '7');
    ASSERT_TRUE(SetText(window, IDC_FIXTURE_NUMBER, longText.c_str()));
    std::string text;
    ASSERT_TRUE(GetText(window, IDC_FIXTURE_NUMBER, &text));
    EXPECT_EQ(longText, text);

    EXPECT_FALSE(GetText(window, 9999, &text));
    EXPECT_EQ("<text of control 9999 not readable>", ReadText(window, 9999));
}

TEST_F(Driver, ReadsAndSetsCheckState) {
    EXPECT_EQ(BST_UNCHECKED, GetCheck(window, IDC_FIXTURE_OPTION));
    ASSERT_TRUE(ClickButton(window, IDC_FIXTURE_OPTION));
    EXPECT_EQ(BST_CHECKED, GetCheck(window, IDC_FIXTURE_OPTION));
    ASSERT_TRUE(SetCheck(window, IDC_FIXTURE_OPTION, BST_UNCHECKED));
    EXPECT_EQ(BST_UNCHECKED, GetCheck(window, IDC_FIXTURE_OPTION));
    EXPECT_FALSE(SetCheck(window, IDC_FIXTURE_OPTION, BST_INDETERMINATE)) << "two-state box";
    EXPECT_EQ(-1, GetCheck(window, 9999));
}

TEST_F(Driver, ReadsTheListView) {
    const int widths[] = FIXTURE_COLUMN_WIDTHS;
    const char* titles[] = FIXTURE_COLUMN_TITLES;
    ASSERT_EQ(3, ListColumnCount(list));
    for (int column = 0; column < 3; ++column) {
        std::string title;
        int width = 0;
        ASSERT_TRUE(ListColumn(list, column, &title, &width)) << column;
        EXPECT_EQ(titles[column], title);
        EXPECT_EQ(widths[column], width);
        EXPECT_EQ(widths[column], ListColumnWidth(list, column));
    }
    std::string title;
    int width = 0;
    EXPECT_FALSE(ListColumn(list, 3, &title, &width));
    EXPECT_EQ(-1, ListColumnWidth(list, 3));

    ASSERT_EQ(4, ListRowCount(list));
    std::vector<std::vector<std::string>> rows;
    ASSERT_TRUE(ListContents(list, &rows));
    std::string longCell(FIXTURE_LONG_CELL_LENGTH, 'x');
    std::vector<std::vector<std::string>> expected = {{"alpha", "1", "file"},
                                                      {"beta", "22", "folder"},
                                                      {"gamma", "333", "link"},
                                                      {"delta", "4444", longCell}};
    EXPECT_EQ(expected, rows);

    std::string cell;
    EXPECT_TRUE(ListCellText(list, 2, 1, &cell));
    EXPECT_EQ("333", cell);
    EXPECT_FALSE(ListCellText(list, 4, 0, &cell));
    EXPECT_FALSE(ListCellText(list, 0, 3, &cell));
    EXPECT_FALSE(ListCellText(list, -1, 0, &cell));

    RECT first{}, second{};
    ASSERT_TRUE(ListRowRect(list, 0, &first));
    ASSERT_TRUE(ListRowRect(list, 1, &second));
    EXPECT_EQ(widths[0] + widths[1] + widths[2], first.right - first.left);
    EXPECT_EQ(first.bottom, second.top);
    EXPECT_FALSE(ListRowRect(list, 4, &first));
    EXPECT_EQ(-1, ListSelectedRow(list));
}

TEST_F(Driver, ClicksListRowsAndTheSpaceBelowThem) {
    for (int row : {2, 0, 3, 1}) {
        ASSERT_TRUE(ClickListRow(list, row));
        EXPECT_EQ("row " + std::to_string(row), Status());
        EXPECT_EQ(row, ListSelectedRow(list));
    }
    ASSERT_TRUE(ClickListBelowRows(list));
    EXPECT_EQ("row -1", Status());
    EXPECT_FALSE(ClickListRow(list, 4));
    EXPECT_FALSE(ClickListRow(list, -1));
}

TEST_F(Driver, ArrowKeysMoveTheHighlightWithoutAClick) {
    ASSERT_TRUE(ClickListRow(list, 1));
    ASSERT_TRUE(PressKey(list, VK_DOWN));
    EXPECT_EQ(2, ListSelectedRow(list));
    ASSERT_TRUE(PressKey(list, VK_UP));
    ASSERT_TRUE(PressKey(list, VK_UP));
    EXPECT_EQ(0, ListSelectedRow(list));
    EXPECT_EQ("row 1", Status()) << "keys send no NM_CLICK";
}

TEST_F(Driver, AnswersMessageBoxesByButtonKeyOrCloseBox) {
    struct Case {
        const char* how;
        std::function<int(HWND)> answer;
        const char* status;
    } cases[] = {
        {"Yes", [](HWND box) { return AnswerMessageBox(box, IDYES); }, "answer yes"},
        {"No", [](HWND box) { return AnswerMessageBox(box, IDNO); }, "answer no"},
        {"Cancel", [](HWND box) { return AnswerMessageBox(box, IDCANCEL); }, "answer cancel"},
        {"Enter", [](HWND box) { return PressKeyOnFocus(box, VK_RETURN); }, "answer yes"},
        {"Esc", [](HWND box) { return PressKeyOnFocus(box, VK_ESCAPE); }, "answer cancel"},
        {"close box", [](HWND box) { return CloseFromCaption(box); }, "answer cancel"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(ClickButton(window, IDC_FIXTURE_ASK)) << c.how;
        HWND box = WaitForMessageBox(app.Id(), FIXTURE_QUESTION_CAPTION);
        ASSERT_NE(nullptr, box) << c.how << "\n" << DescribeTopWindows(app.Id());
        std::string text;
        ASSERT_TRUE(MessageBoxText(box, &text));
        EXPECT_EQ(FIXTURE_QUESTION_TEXT, text);
        EXPECT_FALSE(AnswerMessageBox(box, IDOK)) << "the box has no OK button";
        ASSERT_TRUE(c.answer(box)) << c.how;
        EXPECT_TRUE(WaitForTopWindowGone(app.Id(), FIXTURE_QUESTION_CAPTION)) << c.how;
        EXPECT_TRUE(Sync(window));
        EXPECT_EQ(c.status, Status()) << c.how;
    }
}
