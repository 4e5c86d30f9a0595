#include "editor/editor.h"

#include "doubles/fake_display_services.h"
#include "doubles/fake_registry.h"
#include "doubles/fake_window_ops.h"
#include "editor/window_ops.h"
#include "support/alloc_failure.h"
#include "support/builders.h"
#include "support/registry_fixture.h"
#include "ui/resource.h"
#include "ui/strings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char Caption[] = STR_CAPTION;
const char NoDevices[] = STR_NO_DEVICES;
const char AccessError[] = STR_ACCESS_ERROR;
const char UnsavedChanges[] = STR_UNSAVED_CHANGES;
const char ApplyFailed[] = STR_APPLY_FAILED;

// The pane as the window presents it: which control shows which timing word.
struct PaneBinding {
    int32_t control;
    uint32_t word;
};
const PaneBinding PaneEdits[] = {
    {1006, 1}, {1007, 2},  {1008, 3},  {1009, 4},  {1010, 5},  {1011, 6},  {1012, 7},  {1013, 8},
    {1014, 9}, {1016, 10}, {1017, 11}, {1018, 12}, {1019, 13}, {1015, 14}, {1020, 15},
};
const PaneBinding PaneChecks[] = {{1026, 1}, {1027, 2}, {1028, 4}, {1029, 8}};
const int32_t PaneAndButtons[] = {1026, 1027, 1028, 1029, 1006, 1007, 1008, 1009, 1010, 1011, 1012,
                                  1013, 1014, 1015, 1016, 1017, 1018, 1019, 1020, 1002, 1003};

WindowHandle Main() {
    return WindowStub::MainWindow();
}

void PutTiming(const std::string& key, const CustomTiming& timing) {
    ASSERT_TRUE(FixtureSetValue(RegistryLocalMachine, key, TimingValueName(timing),
                                RegistryTypeBinary, StoredBytes(timing)));
}

void PutModes(const std::string& key, const std::vector<NonStandardMode>& modes) {
    ASSERT_TRUE(FixtureSetValue(RegistryLocalMachine, key, "QORNonStandardModesBCD",
                                RegistryTypeBinary, ModeListBytes(modes)));
}

// The stored timing of a mode, decoded; all zero when there is none.
TimingBlock StoredBlock(const std::string& key, uint32_t width, uint32_t height, uint32_t refresh) {
    TimingBlock block = {};
    std::vector<uint8_t> data;
    uint32_t type = 0;
    if (FixtureGetValue(RegistryLocalMachine, key, TimingValueName(width, height, refresh), &data,
                        &type) &&
        data.size() >= TimingStoredSize)
        DecodeTimingBlock(data.data(), &block);
    return block;
}

std::vector<std::string> TimingNames(const std::string& key) {
    std::vector<std::string> names;
    for (const std::string& name : FixtureValueNames(RegistryLocalMachine, key))
        if (name.compare(0, 12, "QORDTMCRTBCD") == 0)
            names.push_back(name);
    return names;
}

// "width height refresh" of every mode in a list, in list order.
std::string ModesText(NonStandardModeList& list) {
    std::string text;
    for (NonStandardMode* mode = list.FirstMode(); mode; mode = list.NextMode())
        text += std::to_string(mode->width) + " " + std::to_string(mode->height) + " " +
                std::to_string(mode->reserved) + " " + std::to_string(mode->refresh) + ";";
    return text;
}

std::string RowsText() {
    std::string text;
    for (const WindowStub::Row& row : WindowStub::Rows())
        text += row.cells[0] + " " + row.cells[1] + " " + row.cells[2] + ";";
    return text;
}

int PaneEnabledCount() {
    int enabled = 0;
    for (int32_t control : PaneAndButtons)
        enabled += WindowStub::Enabled(control);
    return enabled;
}

int PaneIsEmpty() {
    for (const PaneBinding& edit : PaneEdits)
        if (!WindowStub::EditText(edit.control).empty())
            return 0;
    for (const PaneBinding& check : PaneChecks)
        if (WindowStub::Checked(check.control))
            return 0;
    return 1;
}

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        MemoryRegistry::Reset();
        WindowStub::Reset();
        ScriptedDisplay::Reset();
        base = FixtureTestKey();
        ASSERT_TRUE(FixtureCreateKey(RegistryCurrentUser, "Software\\Orvane Technologies"));
    }

    void TearDown() override { EXPECT_EQ(WindowStub::StrayCalls(), 0); }

    std::string DriverKey(int index) { return base + "\\000" + std::to_string(index); }

    // Display devices DISPLAY1, DISPLAY2, ... that the driver answers with their own keys.
    void ScriptDevices(int count) {
        for (int i = 0; i < count; ++i) {
            ASSERT_TRUE(FixtureCreateKey(RegistryLocalMachine, DriverKey(i)));
            ScriptedDisplay::Device device;
            device.systemName = "\\\\.\\DISPLAY" + std::to_string(i + 1);
            device.answer = DriverKey(i) + std::string(1, '\0');
            ScriptedDisplay::AddDevice(device);
        }
    }

    // Initialises the window and passes the start-up checks, as the program does.
    void Open(int count) {
        ScriptDevices(count);
        ASSERT_EQ(editor.InitialiseWindow(Main()), 1);
        ASSERT_EQ(editor.FinishStartup(), 1);
    }

    // A row clicked in the list, as the list view and the window report it.
    void Click(int32_t row) {
        WindowStub::MarkRow(row);
        editor.ListClicked(row);
    }

    std::string base;
    EditorState editor;
};

TEST(Editor, ConstructionMakesTheCurrentEditorAndDestructionForgetsIt) {
    {
        EditorState editor;
        EXPECT_EQ(CurrentEditor, &editor);
        EXPECT_STREQ(editor.templateName, "VELMORA");
        EXPECT_EQ(editor.mainWindow, nullptr);
        EXPECT_EQ(editor.selectedItem, -1);
        EXPECT_EQ(editor.currentDevice, 0u);
        EXPECT_EQ(editor.dirty, 0u);
        EXPECT_EQ(editor.devices.Count(), 0u);
        EXPECT_EQ(editor.edit.timings.FirstTiming(), nullptr);
        EXPECT_EQ(editor.edit.modes.Count(), 0);
        // Nothing is loaded yet, so there is nothing that Apply could write.
        EXPECT_EQ(editor.edit.LoadedWhole(), 0);
    }
    EXPECT_EQ(CurrentEditor, nullptr);
}

TEST_F(EditorTest, WithoutADeviceInitialisationSaysSoOnceAndStartupStops) {
    EXPECT_EQ(editor.InitialiseWindow(Main()), 0);
    EXPECT_EQ(editor.FinishStartup(), 0);

    ASSERT_EQ(WindowStub::MessageBoxes().size(), 1u);
    const WindowStub::MessageBoxRecord& box = WindowStub::MessageBoxes()[0];
    EXPECT_EQ(box.text, NoDevices);
    EXPECT_EQ(box.caption, Caption);
    EXPECT_EQ(box.style, 0x10u);
    EXPECT_EQ(box.owner, Main());
    EXPECT_FALSE(WindowStub::DeviceMenuInserted());
    EXPECT_TRUE(WindowStub::Columns().empty());
    EXPECT_EQ(MemoryRegistry::Calls(MemoryRegistry::OpAny), 0u);
}

TEST_F(EditorTest, InitialisationBuildsTheDeviceMenuAndLimitsThePaneEdits) {
    ScriptDevices(2);
    EXPECT_EQ(editor.InitialiseWindow(Main()), 1);

    EXPECT_EQ(editor.mainWindow, Main());
    EXPECT_EQ(WindowStub::DeviceMenuTitle(), STR_DEVICE_MENU);
    const std::vector<WindowStub::MenuItem>& items = WindowStub::DeviceMenuItems();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].text, "DISPLAY1");
    EXPECT_EQ(items[0].command, 40006u);
    EXPECT_EQ(items[0].checked, 1);
    EXPECT_EQ(items[1].text, "DISPLAY2");
    EXPECT_EQ(items[1].command, 40007u);
    EXPECT_EQ(items[1].checked, 0);
    for (const PaneBinding& edit : PaneEdits)
        EXPECT_EQ(WindowStub::EditLimit(edit.control), 8) << edit.control;
    EXPECT_TRUE(WindowStub::MessageBoxes().empty());
}

TEST_F(EditorTest, StartupShowsTheColumnsAndLoadsTheFirstDevice) {
    ScriptDevices(2);
    PutTiming(DriverKey(0), TimingOfBlock(640, 480, 60, RisingBlock(0, 100)));
    PutModes(DriverKey(0), {{640, 480, 0, 60}});
    PutTiming(DriverKey(1), TimingOfBlock(1024, 768, 85, RisingBlock(0, 100)));
    ASSERT_EQ(editor.InitialiseWindow(Main()), 1);
    EXPECT_EQ(editor.FinishStartup(), 1);

    const std::vector<WindowStub::Column>& columns = WindowStub::Columns();
    ASSERT_EQ(columns.size(), 3u);
    EXPECT_EQ(columns[0].title, STR_COLUMN_WIDTH);
    EXPECT_EQ(columns[1].title, STR_COLUMN_HEIGHT);
    EXPECT_EQ(columns[2].title, STR_COLUMN_REFRESH);
    for (const WindowStub::Column& column : columns)
        EXPECT_EQ(column.width, 100);
    EXPECT_EQ(std::string(editor.edit.Key().path), DriverKey(0));
    EXPECT_STREQ(editor.edit.Name(), "DISPLAY1");
    EXPECT_EQ(RowsText(), "640 480 60;");
    EXPECT_EQ(ModesText(editor.edit.modes), "640 480 0 60;");
    EXPECT_EQ(PaneEnabledCount(), 0);
    EXPECT_FALSE(WindowStub::Enabled(IDC_APPLY));
    EXPECT_TRUE(
        FixtureKeyExists(RegistryCurrentUser, "Software\\Orvane Technologies\\Velmora\\DISPLAY1"));
    EXPECT_TRUE(WindowStub::MessageBoxes().empty());
}

// A list that draws redraws itself for every row inserted; a load fills it with the drawing
// stopped and leaves it drawing, whatever it held before. An Add's one row is drawn at once.
TEST_F(EditorTest, ALoadFillsTheListWithItsDrawingStopped) {
    Open(2);
    for (uint32_t i = 0; i < 50; ++i)
        PutTiming(DriverKey(1), TimingOfBlock(640 + i, 480, 60, RisingBlock(0, 100)));
    editor.Command(IDM_DEVICE_FIRST + 1);
    EXPECT_EQ(WindowStub::Rows().size(), 50u);
    EXPECT_EQ(WindowStub::RowsInsertedWhileDrawing(), 0);
    EXPECT_EQ(WindowStub::ListDrawing(), 1);

    WindowStub::QueueNewMode(1, 800, 600, 75);
    editor.Command(IDC_ADD);
    EXPECT_EQ(WindowStub::Rows().size(), 51u);
    EXPECT_EQ(WindowStub::ListDrawing(), 1);
}

TEST_F(EditorTest, WithoutWriteAccessStartupShowsTheAccessErrorAndLoadsNothing) {
    ScriptDevices(1);
    PutTiming(DriverKey(0), TimingOfBlock(640, 480, 60, RisingBlock(0, 100)));
    ASSERT_TRUE(MemoryRegistry::SetWritable(RegistryLocalMachine, DriverKey(0).c_str(), 0));
    ASSERT_EQ(editor.InitialiseWindow(Main()), 1);
    EXPECT_EQ(editor.FinishStartup(), 0);

    ASSERT_EQ(WindowStub::MessageBoxes().size(), 1u);
    const WindowStub::MessageBoxRecord& box = WindowStub::MessageBoxes()[0];
    EXPECT_EQ(box.text, AccessError);
    EXPECT_EQ(box.caption, Caption);
    EXPECT_EQ(box.style, 0x10u);
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_TRUE(WindowStub::Rows().empty());
    EXPECT_FALSE(FixtureKeyExists(RegistryCurrentUser, "Software\\Orvane Technologies\\Velmora"));
}

TEST_F(EditorTest, AFirstPathTooLongForTheBufferEndsWithTheAccessError) {
    std::string path = base + "\\" + std::string(300, 'k');
    ASSERT_TRUE(editor.devices.Append("\\\\.\\DISPLAY1", path.c_str()));
    ASSERT_EQ(editor.InitialiseWindow(Main()), 1);
    EXPECT_EQ(editor.FinishStartup(), 0);

    EXPECT_STREQ(editor.edit.Key().path, "");
    ASSERT_EQ(WindowStub::MessageBoxes().size(), 1u);
    EXPECT_EQ(WindowStub::MessageBoxes()[0].text, AccessError);
}

TEST_F(EditorTest, LoadingDropsATimingThatFailsItsChecksumWithItsMode) {
    ScriptDevices(1);
    CustomTiming bad = TimingOfBlock(800, 600, 75, RisingBlock(0, 100));
    bad.block.words[TimingChecksumWord] = 0;
    PutTiming(DriverKey(0), TimingOfBlock(640, 480, 60, RisingBlock(0, 100)));
    PutTiming(DriverKey(0), bad);
    PutModes(DriverKey(0), {{640, 480, 0, 60}, {800, 600, 0, 75}});
    ASSERT_EQ(editor.InitialiseWindow(Main()), 1);
    ASSERT_EQ(editor.FinishStartup(), 1);

    EXPECT_EQ(RowsText(), "640 480 60;");
    EXPECT_EQ(ModesText(editor.edit.modes), "640 480 0 60;");
    EXPECT_EQ(editor.dirty, 0u);
}

TEST_F(EditorTest, AddAppendsAZeroTimingAndItsRowAndMarksTheEditorDirty) {
    Open(1);
    PutTiming(DriverKey(0), TimingOfBlock(640, 480, 60, RisingBlock(0, 100)));
    editor.LoadDevice();
    Click(0);
    WindowStub::QueueNewMode(1, 800, 600, 85);
    editor.Command(IDC_ADD);

    EXPECT_EQ(WindowStub::LastDialogOwner(), Main());
    EXPECT_EQ(RowsText(), "640 480 60;800 600 85;");
    CustomTiming* added = editor.edit.timings.TimingAt(1);
    ASSERT_NE(added, nullptr);
    for (uint32_t i = 0; i < TimingWordCount; ++i)
        EXPECT_EQ(added->block.words[i], 0u) << i;
    EXPECT_EQ(added->block.words[TimingChecksumWord], 65535u);
    EXPECT_EQ(ModesText(editor.edit.modes), "800 600 0 85;");
    EXPECT_EQ(editor.dirty, 1u);
    EXPECT_TRUE(WindowStub::Enabled(IDC_APPLY));
    // The new row is not selected: the pane still shows the first record.
    EXPECT_EQ(editor.selectedItem, 0);
    EXPECT_EQ(WindowStub::EditText(1006), "101");
}

TEST_F(EditorTest, AnAddWithoutMemoryAddsNothing) {
    Open(1);
    PutTiming(DriverKey(0), TimingOfBlock(640, 480, 60, RisingBlock(0, 100)));
    PutModes(DriverKey(0), {{640, 480, 0, 60}});
    // The entry is kept first, then the record: no node for the entry; an entry but no node for
    // the record, whose entry must go again, also one of refresh 0 (which stands for every
    // refresh of its resolution); no node for the record of a mode whose entry was there already,
    // which must stay.
    const struct {
        int32_t successes;
        uint16_t width, height, refresh;
    } cases[] = {{0, 800, 600, 85}, {1, 800, 600, 85}, {1, 800, 600, 0}, {0, 640, 480, 60}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.successes << " " << c.width << "x" << c.height << "@" << c.refresh);
        editor.LoadDevice();
        WindowStub::QueueNewMode(1, c.width, c.height, c.refresh);
        {
            ScopedAllocationFailure failure(c.successes);
            editor.Command(IDC_ADD);
        }
        EXPECT_EQ(RowsText(), "640 480 60;");
        EXPECT_EQ(editor.edit.timings.TimingAt(1), nullptr);
        EXPECT_EQ(ModesText(editor.edit.modes), "640 480 0 60;");
    }
}

TEST_F(EditorTest, AddingAModeTwiceKeepsOneModeAndWritesTheLaterTiming) {
    Open(1);
    WindowStub::QueueNewMode(1, 800, 600, 85);
    WindowStub::QueueNewMode(1, 800, 600, 85);
    editor.Command(IDC_ADD);
    editor.Command(IDC_ADD);
    Click(1);
    WindowStub::TypeText(1006, "1056");
    editor.Command(IDC_MODIFY);
    editor.Command(IDC_APPLY);

    EXPECT_EQ(RowsText(), "800 600 85;800 600 85;");
    EXPECT_EQ(ModesText(editor.edit.modes), "800 600 0 85;");
    EXPECT_EQ(TimingNames(DriverKey(0)), std::vector<std::string>{"QORDTMCRTBCD0800X0600X0X85"});
    EXPECT_EQ(StoredBlock(DriverKey(0), 800, 600, 85).words[1], 1056u);
    std::vector<uint8_t> modes;
    ASSERT_TRUE(
        FixtureGetValue(RegistryLocalMachine, DriverKey(0), "QORNonStandardModesBCD", &modes, 0));
    EXPECT_EQ(modes, (std::vector<uint8_t>{0x08, 0x00, 0x06, 0x00, 0x00, 0x00, 0x00, 0x85}));
    EXPECT_EQ(editor.dirty, 0u);
    EXPECT_FALSE(WindowStub::Enabled(IDC_APPLY));
}

TEST_F(EditorTest, ACancelledAddChangesNothingButMarksDirtySoExitAsks) {
    Open(1);
    WindowStub::QueueNewMode(2, 800, 600, 85);
    editor.Command(IDC_ADD);

    EXPECT_EQ(WindowStub::NewModeAsks(), 1);
    EXPECT_TRUE(WindowStub::Rows().empty());
    EXPECT_EQ(editor.edit.timings.FirstTiming(), nullptr);
    EXPECT_EQ(editor.dirty, 1u);
    EXPECT_TRUE(WindowStub::Enabled(IDC_APPLY));

    WindowStub::QueueAnswer(0);
    editor.Command(IDM_EXIT);
    ASSERT_EQ(WindowStub::MessageBoxes().size(), 1u);
    const WindowStub::MessageBoxRecord& box = WindowStub::MessageBoxes()[0];
    EXPECT_EQ(box.text, UnsavedChanges);
    EXPECT_EQ(box.caption, Caption);
    EXPECT_EQ(box.style, 0x34u);
    EXPECT_EQ(box.owner, Main());
    EXPECT_TRUE(WindowStub::Ended());
    EXPECT_EQ(WindowStub::EndResult(), IDM_EXIT);
    EXPECT_TRUE(WindowStub::QuitPosted());
    EXPECT_TRUE(TimingNames(DriverKey(0)).empty());
}

TEST_F(EditorTest, ExitAndTheCloseBoxEndWithTheirOwnResultWithoutAskingWhenClean) {
    for (uint32_t command : {2u, 40002u}) {
        WindowStub::Reset();
        EditorState fresh;
        ScriptedDisplay::Reset();
        ScriptDevices(1);
        ASSERT_EQ(fresh.InitialiseWindow(Main()), 1);
        ASSERT_EQ(fresh.FinishStartup(), 1);
        fresh.Command(command);
        EXPECT_TRUE(WindowStub::MessageBoxes().empty()) << command;
        EXPECT_TRUE(WindowStub::Ended()) << command;
        EXPECT_EQ(WindowStub::EndResult(), static_cast<intptr_t>(command));
        EXPECT_TRUE(WindowStub::QuitPosted()) << command;
    }
}

TEST_F(EditorTest, ClickingARowFillsAndEnablesThePaneByItsBinding) {
    Open(1);
    PutTiming(DriverKey(0), TimingOfBlock(640, 480, 60, RisingBlock(4 | 8 | 48, 100)));
    editor.LoadDevice();
    Click(0);

    EXPECT_EQ(editor.selectedItem, 0);
    for (const PaneBinding& edit : PaneEdits)
        EXPECT_EQ(WindowStub::EditText(edit.control), std::to_string(100 + edit.word))
            << edit.control;
    EXPECT_EQ(WindowStub::Checked(1026), 0);
    EXPECT_EQ(WindowStub::Checked(1027), 0);
    EXPECT_EQ(WindowStub::Checked(1028), 1);
    EXPECT_EQ(WindowStub::Checked(1029), 1);
    EXPECT_EQ(PaneEnabledCount(), 21);
    EXPECT_FALSE(WindowStub::Enabled(IDC_APPLY));
}

TEST_F(EditorTest, AClickWithoutARecordSelectsNothing) {
    Open(1);
    PutTiming(DriverKey(0), TimingOfBlock(640, 480, 60, RisingBlock(1, 100)));
    editor.LoadDevice();
    // Outside the rows, below the last row, and an index the list could never report.
    for (int32_t item : {-1, 1, 5, -7}) {
        Click(0);
        editor.ListClicked(item);
        EXPECT_EQ(editor.selectedItem, -1) << item;
        EXPECT_TRUE(PaneIsEmpty()) << item;
        EXPECT_EQ(PaneEnabledCount(), 0) << item;
    }
}

TEST_F(EditorTest, ClickingTheSelectedRowAgainDropsWhatWasTypedWithoutModify) {
    Open(1);
    PutTiming(DriverKey(0), TimingOfBlock(640, 480, 60, RisingBlock(0, 100)));
    editor.LoadDevice();
    Click(0);
    WindowStub::TypeText(1006, "999");
    WindowStub::Tick(1026, 1);
    Click(0);

    EXPECT_EQ(WindowStub::EditText(1006), "101");
    EXPECT_EQ(WindowStub::Checked(1026), 0);
    EXPECT_EQ(editor.edit.timings.TimingAt(0)->block.words[1], 101u);
}

TEST_F(EditorTest, ModifyStoresThePaneIntoTheSelectedRecord) {
    Open(1);
    PutTiming(DriverKey(0), TimingOfBlock(640, 480, 60, RisingBlock(48, 100)));
    PutModes(DriverKey(0), {{640, 480, 0, 60}});
    editor.LoadDevice();
    Click(0);
    for (const PaneBinding& edit : PaneEdits)
        WindowStub::TypeText(edit.control, std::to_string(1000 + edit.word));
    editor.Command(IDC_MODIFY);

    CustomTiming* timing = editor.edit.timings.TimingAt(0);
    ASSERT_NE(timing, nullptr);
    for (const PaneBinding& edit : PaneEdits)
        EXPECT_EQ(timing->block.words[edit.word], 1000 + edit.word) << edit.control;
    EXPECT_EQ(timing->block.words[TimingChecksumWord], ComputeTimingChecksum(timing->block.words));
    EXPECT_EQ(timing->width, 640u);
    EXPECT_EQ(timing->height, 480u);
    EXPECT_EQ(timing->refresh, 60u);
    EXPECT_EQ(RowsText(), "640 480 60;");
    EXPECT_EQ(ModesText(editor.edit.modes), "640 480 0 60;");
    EXPECT_EQ(editor.dirty, 1u);
    EXPECT_TRUE(WindowStub::Enabled(IDC_APPLY));
}

TEST_F(EditorTest, ModifyBuildsTheFlagsWordFromTheBoxesAlone) {
    struct Case {
        std::vector<int32_t> ticked;
        uint32_t flags;
    };
    const Case cases[] = {
        {{}, 0}, {{1026}, 1}, {{1027}, 2}, {{1028}, 4}, {{1029}, 8}, {{1026, 1027, 1028, 1029}, 15},
    };
    Open(1);
    PutTiming(DriverKey(0), TimingOfBlock(640, 480, 60, RisingBlock(48, 100)));
    for (const Case& c : cases) {
        editor.LoadDevice();
        Click(0);
        for (const PaneBinding& check : PaneChecks)
            WindowStub::Tick(check.control, 0);
        for (int32_t control : c.ticked)
            WindowStub::Tick(control, 1);
        editor.Command(IDC_MODIFY);
        EXPECT_EQ(editor.edit.timings.TimingAt(0)->block.words[0], c.flags) << c.flags;
    }
}

TEST_F(EditorTest, ModifyReadsEachEditAsAtoiDoes) {
    struct Case {
        std::string typed;
        uint32_t stored;
    };
    const Case cases[] = {{"", 0}, {"0012", 12}, {"7", 7}, {"99999999", 99999999}};
    Open(1);
    PutTiming(DriverKey(0), TimingOfBlock(640, 480, 60, RisingBlock(0, 100)));
    editor.LoadDevice();
    Click(0);
    for (const Case& c : cases) {
        for (const PaneBinding& edit : PaneEdits)
            WindowStub::TypeText(edit.control, c.typed);
        editor.Command(IDC_MODIFY);
        for (const PaneBinding& edit : PaneEdits)
            EXPECT_EQ(editor.edit.timings.TimingAt(0)->block.words[edit.word], c.stored)
                << "'" << c.typed << "' in " << edit.control;
    }
}

// Another program can put any text into an edit, past its limit; the number is still read with
// a defined result: the nearest 32-bit value, and a sign as atoi takes it.
TEST_F(EditorTest, ModifyReadsTextsPastTheLimitSafely) {
    const struct {
        const char* text;
        uint32_t stored;
    } cases[] = {{"99999999999999999999", 2147483647u},
                 {"-99999999999999999999", 2147483648u},
                 {"  -5x", 4294967291u}};
    Open(1);
    PutTiming(DriverKey(0), TimingOfBlock(640, 480, 60, RisingBlock(0, 100)));
    editor.LoadDevice();
    Click(0);
    for (const auto& c : cases) {
        WindowStub::ForceText(1006, c.text);
        editor.Command(IDC_MODIFY);
        EXPECT_EQ(editor.edit.timings.TimingAt(0)->block.words[1], c.stored) << c.text;
    }
}

TEST_F(EditorTest, ANumberTypedIntoThePaneSurvivesApplyAndReload) {
    Open(1);
    PutTiming(DriverKey(0), TimingOfBlock(640, 480, 60, RisingBlock(0, 100)));
    editor.LoadDevice();
    Click(0);
    // A ninth digit would make the stored word differ from the checksummed one, and the record
    // would be dropped as damaged at the next load; the edit does not take it.
    WindowStub::TypeText(1014, "160000001");
    EXPECT_EQ(WindowStub::EditText(1014), "16000000");
    editor.Command(IDC_MODIFY);
    editor.Command(IDC_APPLY);
    editor.Command(IDM_DEVICE_FIRST);

    ASSERT_NE(editor.edit.timings.TimingAt(0), nullptr);
    EXPECT_EQ(editor.edit.timings.TimingAt(0)->block.words[9], 16000000u);
    EXPECT_EQ(RowsText(), "640 480 60;");
}

TEST_F(EditorTest, ModifyLeavesTheRecordAloneWhenAnEditCannotBeReadWhole) {
    Open(1);
    PutTiming(DriverKey(0), TimingOfBlock(640, 480, 60, RisingBlock(48, 100)));
    editor.LoadDevice();
    Click(0);
    CustomTiming before = *editor.edit.timings.TimingAt(0);
    WindowStub::TypeText(1006, "5");
    WindowStub::ForceText(1020, std::string(300, '1'));
    editor.Command(IDC_MODIFY);

    const CustomTiming& after = *editor.edit.timings.TimingAt(0);
    for (uint32_t i = 0; i <= TimingChecksumWord; ++i)
        EXPECT_EQ(after.block.words[i], before.block.words[i]) << i;
}

TEST_F(EditorTest, ModifyAndRemoveWithoutARecordDoNothing) {
    Open(1);
    PutTiming(DriverKey(0), TimingOfBlock(640, 480, 60, RisingBlock(48, 100)));
    PutModes(DriverKey(0), {{640, 480, 0, 60}});
    editor.LoadDevice();
    for (int32_t stale : {-1, 1, 7}) {
        editor.selectedItem = stale;
        editor.Command(IDC_MODIFY);
        editor.Command(IDC_REMOVE);
        EXPECT_EQ(RowsText(), "640 480 60;") << stale;
        EXPECT_EQ(editor.edit.timings.TimingAt(0)->block.words[0], 48u) << stale;
        EXPECT_EQ(ModesText(editor.edit.modes), "640 480 0 60;") << stale;
    }
}

TEST_F(EditorTest, RemovingTheOnlyRowLeavesAnEmptyListAndPane) {
    Open(1);
    PutTiming(DriverKey(0), TimingOfBlock(640, 480, 60, RisingBlock(15, 100)));
    editor.LoadDevice();
    Click(0);
    editor.Command(IDC_REMOVE);

    EXPECT_TRUE(WindowStub::Rows().empty());
    EXPECT_EQ(editor.edit.timings.FirstTiming(), nullptr);
    EXPECT_EQ(editor.selectedItem, -1);
    EXPECT_EQ(WindowStub::SelectionMark(), -1);
    EXPECT_TRUE(PaneIsEmpty());
    EXPECT_EQ(PaneEnabledCount(), 0);
    EXPECT_EQ(editor.dirty, 1u);
    EXPECT_TRUE(WindowStub::Enabled(IDC_APPLY));
}

TEST_F(EditorTest, RemoveTakesTheModeOfTheRecordsOwnRefresh) {
    Open(1);
    PutTiming(DriverKey(0), TimingOfBlock(800, 600, 75, RisingBlock(0, 100)));
    PutModes(DriverKey(0), {{800, 600, 0, 60}, {800, 600, 0, 75}, {1024, 768, 0, 0}});
    editor.LoadDevice();
    Click(0);
    editor.Command(IDC_REMOVE);

    EXPECT_EQ(ModesText(editor.edit.modes), "800 600 0 60;1024 768 0 0;");
}

TEST_F(EditorTest, SaveAndExitRewritesTheKeyEvenWhenNothingChanged) {
    ScriptDevices(1);
    CustomTiming bad = TimingOfBlock(800, 600, 75, RisingBlock(0, 100));
    bad.block.words[TimingChecksumWord] = 0;
    PutTiming(DriverKey(0), TimingOfBlock(640, 480, 60, RisingBlock(0, 100)));
    PutTiming(DriverKey(0), bad);
    ASSERT_EQ(editor.InitialiseWindow(Main()), 1);
    ASSERT_EQ(editor.FinishStartup(), 1);
    editor.Command(IDM_SAVE_EXIT);

    EXPECT_EQ(TimingNames(DriverKey(0)), std::vector<std::string>{"QORDTMCRTBCD0640X0480X0X60"});
    EXPECT_TRUE(WindowStub::MessageBoxes().empty());
    EXPECT_TRUE(WindowStub::Ended());
    EXPECT_EQ(WindowStub::EndResult(), 1);
    EXPECT_TRUE(WindowStub::QuitPosted());
    EXPECT_EQ(editor.dirty, 0u);
}

TEST_F(EditorTest, SwitchingWithNoDropsTheEditsAndShowsTheNewDevice) {
    Open(2);
    PutTiming(DriverKey(1), TimingOfBlock(1024, 768, 85, RisingBlock(0, 100)));
    WindowStub::QueueNewMode(1, 800, 600, 85);
    editor.Command(IDC_ADD);
    WindowStub::QueueAnswer(0);
    editor.Command(IDM_DEVICE_FIRST + 1);

    EXPECT_EQ(WindowStub::MessageBoxes().size(), 1u);
    EXPECT_TRUE(TimingNames(DriverKey(0)).empty());
    EXPECT_EQ(editor.currentDevice, 1u);
    EXPECT_EQ(std::string(editor.edit.Key().path), DriverKey(1));
    EXPECT_STREQ(editor.edit.Name(), "DISPLAY2");
    EXPECT_EQ(RowsText(), "1024 768 85;");
    EXPECT_EQ(WindowStub::DeviceMenuItems()[0].checked, 0);
    EXPECT_EQ(WindowStub::DeviceMenuItems()[1].checked, 1);
    EXPECT_EQ(editor.dirty, 0u);
    EXPECT_FALSE(WindowStub::Enabled(IDC_APPLY));
    EXPECT_TRUE(
        FixtureKeyExists(RegistryCurrentUser, "Software\\Orvane Technologies\\Velmora\\DISPLAY2"));
}

TEST_F(EditorTest, SwitchingWithYesWritesTheOldDeviceFirst) {
    Open(2);
    WindowStub::QueueNewMode(1, 800, 600, 85);
    editor.Command(IDC_ADD);
    WindowStub::QueueAnswer(1);
    editor.Command(IDM_DEVICE_FIRST + 1);

    EXPECT_EQ(TimingNames(DriverKey(0)), std::vector<std::string>{"QORDTMCRTBCD0800X0600X0X85"});
    EXPECT_TRUE(TimingNames(DriverKey(1)).empty());
    EXPECT_EQ(editor.currentDevice, 1u);
    EXPECT_TRUE(WindowStub::Rows().empty());
    EXPECT_EQ(editor.dirty, 0u);
}

TEST_F(EditorTest, ChoosingTheCurrentDeviceReloadsItFromItsKey) {
    Open(2);
    PutTiming(DriverKey(0), TimingOfBlock(640, 480, 60, RisingBlock(0, 100)));
    editor.Command(IDM_DEVICE_FIRST);
    EXPECT_EQ(RowsText(), "640 480 60;");
    EXPECT_TRUE(WindowStub::MessageBoxes().empty());

    WindowStub::QueueNewMode(1, 800, 600, 85);
    editor.Command(IDC_ADD);
    WindowStub::QueueAnswer(0);
    editor.Command(IDM_DEVICE_FIRST);
    EXPECT_EQ(WindowStub::MessageBoxes().size(), 1u);
    EXPECT_EQ(RowsText(), "640 480 60;");
    EXPECT_EQ(editor.currentDevice, 0u);
    EXPECT_EQ(WindowStub::DeviceMenuItems()[0].checked, 1);
}

TEST_F(EditorTest, AfterASwitchThePaneIsDisabledButKeepsWhatItShowed) {
    Open(2);
    PutTiming(DriverKey(0), TimingOfBlock(640, 480, 60, RisingBlock(2, 100)));
    PutTiming(DriverKey(1), TimingOfBlock(1024, 768, 85, RisingBlock(0, 500)));
    editor.LoadDevice();
    Click(0);
    editor.Command(IDM_DEVICE_FIRST + 1);

    EXPECT_EQ(PaneEnabledCount(), 0);
    EXPECT_EQ(WindowStub::EditText(1006), "101");
    EXPECT_EQ(WindowStub::Checked(1027), 1);
    // The row it showed is gone, so Modify cannot reach the new device's record.
    EXPECT_EQ(editor.selectedItem, -1);
    editor.Command(IDC_MODIFY);
    EXPECT_EQ(editor.edit.timings.TimingAt(0)->block.words[1], 501u);
}

TEST_F(EditorTest, EveryOneOfTwelveDevicesCanBeChosen) {
    Open(12);
    const std::vector<WindowStub::MenuItem>& items = WindowStub::DeviceMenuItems();
    ASSERT_EQ(items.size(), 12u);
    EXPECT_EQ(items[11].text, "DISPLAY12");
    EXPECT_EQ(items[11].command, 40017u);
    PutTiming(DriverKey(11), TimingOfBlock(1600, 1200, 60, RisingBlock(0, 100)));

    editor.Command(40017);
    EXPECT_EQ(editor.currentDevice, 11u);
    EXPECT_EQ(std::string(editor.edit.Key().path), DriverKey(11));
    EXPECT_EQ(RowsText(), "1600 1200 60;");
    for (size_t i = 0; i < items.size(); ++i)
        EXPECT_EQ(items[i].checked, i == 11) << i;

    editor.Command(40016);
    EXPECT_EQ(editor.currentDevice, 10u);
    for (size_t i = 0; i < items.size(); ++i)
        EXPECT_EQ(items[i].checked, i == 10) << i;
}

TEST_F(EditorTest, ADeviceCommandWithoutADeviceDoesNothing) {
    Open(2);
    WindowStub::QueueNewMode(1, 800, 600, 85);
    editor.Command(IDC_ADD);
    editor.Command(IDM_DEVICE_FIRST + 2);
    editor.SwitchDevice(2);
    editor.SwitchDevice(0xFFFFFFFFu);

    EXPECT_TRUE(WindowStub::MessageBoxes().empty());
    EXPECT_EQ(editor.currentDevice, 0u);
    EXPECT_EQ(RowsText(), "800 600 85;");
    EXPECT_EQ(editor.dirty, 1u);
}

TEST_F(EditorTest, AFailedApplyKeepsTheEditsAndSaysSo) {
    Open(1);
    WindowStub::QueueNewMode(1, 800, 600, 85);
    editor.Command(IDC_ADD);
    MemoryRegistry::FailCall(MemoryRegistry::OpSet, 0, 1);
    editor.Command(IDC_APPLY);

    ASSERT_EQ(WindowStub::MessageBoxes().size(), 1u);
    const WindowStub::MessageBoxRecord& box = WindowStub::MessageBoxes()[0];
    EXPECT_EQ(box.text, ApplyFailed);
    EXPECT_EQ(box.caption, Caption);
    EXPECT_EQ(box.style, 0x10u);
    EXPECT_EQ(box.owner, Main());
    EXPECT_EQ(editor.dirty, 1u);
    EXPECT_TRUE(WindowStub::Enabled(IDC_APPLY));
    EXPECT_EQ(RowsText(), "800 600 85;");

    MemoryRegistry::ClearFailures();
    editor.Command(IDC_APPLY);
    EXPECT_EQ(WindowStub::MessageBoxes().size(), 1u);
    EXPECT_EQ(TimingNames(DriverKey(0)), std::vector<std::string>{"QORDTMCRTBCD0800X0600X0X85"});
    EXPECT_EQ(editor.dirty, 0u);
}

// A load that missed a stored timing, or a mode list that exists but could not be read, must not
// let Apply delete or overwrite it: the key stays as it was, the user is told, and a reload that
// reads the whole key allows Apply again.
TEST_F(EditorTest, ApplyAfterALoadThatMissedValuesIsRefused) {
    Open(1);
    PutTiming(DriverKey(0), TimingOfBlock(640, 480, 60, RisingBlock(0, 100)));
    PutTiming(DriverKey(0), TimingOfBlock(800, 600, 75, RisingBlock(0, 100)));
    for (MemoryRegistry::Operation failing : {MemoryRegistry::OpEnum, MemoryRegistry::OpQuery}) {
        SCOPED_TRACE(failing);
        WindowStub::Reset();
        MemoryRegistry::FailCall(failing, 0, 1);
        editor.LoadDevice();
        MemoryRegistry::ClearFailures();
        EXPECT_EQ(editor.edit.LoadedWhole(), 0);
        editor.Command(IDC_APPLY);

        ASSERT_EQ(WindowStub::MessageBoxes().size(), 1u);
        EXPECT_EQ(WindowStub::MessageBoxes()[0].text, ApplyFailed);
        EXPECT_EQ(
            TimingNames(DriverKey(0)),
            (std::vector<std::string>{"QORDTMCRTBCD0640X0480X0X60", "QORDTMCRTBCD0800X0600X0X75"}));
        EXPECT_EQ(editor.dirty, 1u);

        editor.Command(IDM_DEVICE_FIRST); // asks (No), then reloads the whole key
        EXPECT_EQ(editor.edit.LoadedWhole(), 1);
        const size_t boxes = WindowStub::MessageBoxes().size();
        editor.Command(IDC_APPLY);
        EXPECT_EQ(WindowStub::MessageBoxes().size(), boxes);
        EXPECT_EQ(editor.dirty, 0u);
    }
}

TEST_F(EditorTest, ASaveAndExitThatCannotWriteDoesNotQuit) {
    Open(1);
    PutTiming(DriverKey(0), TimingOfBlock(640, 480, 60, RisingBlock(0, 100)));
    editor.LoadDevice();
    // Only the mode list fails: the timings were rewritten, the list was not.
    MemoryRegistry::FailCall(MemoryRegistry::OpSet, 1, 0);
    editor.Command(IDM_SAVE_EXIT);

    ASSERT_EQ(WindowStub::MessageBoxes().size(), 1u);
    EXPECT_EQ(WindowStub::MessageBoxes()[0].text, ApplyFailed);
    EXPECT_FALSE(WindowStub::Ended());
    EXPECT_FALSE(WindowStub::QuitPosted());
    // The key no longer matches the lists, even though nothing had been edited.
    EXPECT_EQ(editor.dirty, 1u);
    EXPECT_TRUE(WindowStub::Enabled(IDC_APPLY));
}

TEST_F(EditorTest, YesWhoseWritesFailStopsTheActionThatAskedAndNoStillDropsTheEdits) {
    for (uint32_t command : {2u, 40002u, 40007u}) {
        SCOPED_TRACE(command);
        WindowStub::Reset();
        ScriptedDisplay::Reset();
        MemoryRegistry::Reset();
        EditorState fresh;
        ScriptDevices(2);
        ASSERT_EQ(fresh.InitialiseWindow(Main()), 1);
        ASSERT_EQ(fresh.FinishStartup(), 1);
        WindowStub::QueueNewMode(1, 800, 600, 85);
        fresh.Command(IDC_ADD);

        MemoryRegistry::FailCall(MemoryRegistry::OpSet, 0, 1);
        WindowStub::QueueAnswer(1);
        fresh.Command(command);
        ASSERT_EQ(WindowStub::MessageBoxes().size(), 2u);
        EXPECT_EQ(WindowStub::MessageBoxes()[0].text, UnsavedChanges);
        EXPECT_EQ(WindowStub::MessageBoxes()[1].text, ApplyFailed);
        EXPECT_FALSE(WindowStub::Ended());
        EXPECT_EQ(fresh.currentDevice, 0u);
        EXPECT_EQ(std::string(fresh.edit.Key().path), DriverKey(0));
        EXPECT_EQ(RowsText(), "800 600 85;");
        EXPECT_EQ(fresh.dirty, 1u);
        EXPECT_TRUE(WindowStub::Enabled(IDC_APPLY));

        MemoryRegistry::ClearFailures();
        WindowStub::QueueAnswer(0);
        fresh.Command(command);
        EXPECT_EQ(WindowStub::MessageBoxes().size(), 3u);
        EXPECT_EQ(fresh.dirty, 0u);
        EXPECT_TRUE(TimingNames(DriverKey(0)).empty());
        if (command == 40007u)
            EXPECT_EQ(fresh.currentDevice, 1u);
        else
            EXPECT_EQ(WindowStub::EndResult(), static_cast<intptr_t>(command));
    }
}

TEST_F(EditorTest, TheDisclaimerAndTheAboutBoxOpenOwnedByTheMainWindow) {
    Open(1);
    editor.Command(IDC_DISCLAIMER);
    editor.Command(IDM_DISCLAIMER);
    EXPECT_EQ(WindowStub::DisclaimersShown(), 2);
    EXPECT_EQ(WindowStub::LastDialogOwner(), Main());
    editor.Command(IDM_ABOUT);
    EXPECT_EQ(WindowStub::AboutBoxesShown(), 1);
    EXPECT_EQ(WindowStub::LastDialogOwner(), Main());
}

TEST_F(EditorTest, OnlyCommandsWithoutANotificationCodeAreActedOn) {
    Open(2);
    const uint32_t notified = 1u << 16;
    for (uint32_t id :
         {2u, 1001u, 1002u, 1003u, 1021u, 1033u, 40001u, 40002u, 40003u, 40005u, 40007u})
        editor.Command(notified | id);
    for (uint32_t id : {0u, 1u, 1004u, 1006u, 1026u, 40004u})
        editor.Command(id);

    EXPECT_EQ(WindowStub::NewModeAsks(), 0);
    EXPECT_EQ(WindowStub::DisclaimersShown(), 0);
    EXPECT_EQ(WindowStub::AboutBoxesShown(), 0);
    EXPECT_FALSE(WindowStub::Ended());
    EXPECT_EQ(editor.currentDevice, 0u);
    EXPECT_EQ(editor.dirty, 0u);
}

} // namespace
