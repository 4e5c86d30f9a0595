// Velmora as a user meets it: velmora-sim.exe (and velmora.exe) started as a separate process in
// the test's Wine prefix, driven through its windows, and judged by what it shows, what it leaves
// in the registry and how it ends. Each scenario starts from a registry put back as an installed
// driver leaves it.
#include "e2e/scenario.h"

#include <gtest/gtest.h>

using namespace e2e;
using namespace scenario;

namespace {

// Main window controls.
const int ModeList = 1004;
const int ModifyButton = 1002;
const int RemoveButton = 1003;
const int ApplyButton = 1033;
const int DisclaimerButton = 1021;
const int HSyncNegativeBox = 1028;
const int VSyncNegativeBox = 1029;
const int HorizontalTotalEdit = 1006;
const int HorizontalDisplayEdit = 1007;
const int PaneChecks[] = {1026, 1027, 1028, 1029};
// The pane's edits from 1006 to 1020.
const int FirstPaneEdit = 1006;
const int LastPaneEdit = 1020;
// Disclaimer controls.
const int AcceptButton = 1;
const int DisagreeButton = 2;
const int DontShowAgainBox = 1030;
// Commands.
const int CancelCommand = 2;
const int ExitCommand = 40002;
const int SaveAndExitCommand = 40005;
const int FirstDeviceCommand = 40006;

const char MissingDriverKey[] = "SYSTEM\\CurrentControlSet\\Services\\orvdisp\\Missing";
const char Display1[] = "\\\\.\\DISPLAY1";
const char Display2[] = "\\\\.\\DISPLAY2";

std::string BackupKey(const char* shortName) {
    return std::string(UserKey) + "\\" + shortName;
}

Value Binary(const Bytes& data) {
    return Value{REG_BINARY, data};
}

// A driver key holding 640 x 480 at 60 as `timing` and its non-standard mode.
Values Vga60Key(const Bytes& timing) {
    return {{TimingName(640, 480, 60), Binary(timing)},
            {ModeListValue, Binary(Hex("06 40 04 80 00 00 00 60"))}};
}

class Program : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ResetRegistry(1)); }

    // Nothing of ours is left for the tests that follow; the company key stays, as installed.
    void TearDown() override {
        ResetRegistry(0);
        DeleteKey(HKEY_LOCAL_MACHINE, MissingDriverKey);
    }

    // The program's end: within the timeout and with the exit code 0.
    static void ExpectCleanExit(Session& run) {
        uint32_t exitCode = 12345;
        ASSERT_TRUE(run.WaitForExit(&exitCode)) << "still running with:\n" << run.Windows();
        EXPECT_EQ(0u, exitCode);
    }

    // Starts velmora-sim.exe and waits for its main window.
    static HWND StartToMainWindow(Session& run) {
        EXPECT_TRUE(run.Start());
        HWND window = run.WaitForMainWindow();
        EXPECT_NE(nullptr, window) << run.Windows();
        return window;
    }

    // The two simulated adapters, DriverKey0 filled (FillDriverKey0) or empty, then
    // StartToMainWindow. Null, with nothing started, when the registry could not be prepared.
    static HWND StartOnTwoAdapters(Session& run, int filled) {
        const int ready = ConfigureAdapters(TwoAdapters()) &&
                          (filled ? FillDriverKey0() : CreateKey(HKEY_LOCAL_MACHINE, DriverKey0));
        EXPECT_TRUE(ready) << "the adapters and DriverKey0";
        return ready ? StartToMainWindow(run) : nullptr;
    }

    // The message box showing now: its text, then the answer. Its caption is the program's,
    // since that is how it was found.
    static void ExpectMessage(Session& run, const char* text, int answer) {
        HWND box = run.WaitForMessage();
        ASSERT_NE(nullptr, box) << run.Windows();
        std::string shown;
        EXPECT_TRUE(MessageBoxText(box, &shown));
        EXPECT_EQ(text, shown);
        EXPECT_TRUE(AnswerMessageBox(box, answer));
    }

    // Ends a run with File, Exit when nothing is unsaved: no question comes before the end.
    static void ExitWithoutQuestion(Session& run, HWND window) {
        ASSERT_TRUE(SendCommand(window, ExitCommand));
        ExpectCleanExit(run);
    }
};

} // namespace

TEST_F(Program, WithoutAnAnsweringAdapterSaysSoOnceAndEnds) {
    struct Case {
        const char* exe;
        std::vector<Adapter> adapters; // none configured for velmora.exe
        const char* what;
    } cases[] = {
        {"velmora.exe", {}, "Wine's display driver knows no Orvane escape"},
        {"velmora-sim.exe",
         {{Display1, DriverKey0, -1}, {Display2, DriverKey1, 5}},
         "every escape fails"},
        {"velmora-sim.exe", {{Display1, nullptr, 0}}, "the driver answers without a path"},
        {"velmora-sim.exe", {}, "no adapter at all"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(ResetRegistry(1));
        ASSERT_TRUE(FillDriverKey0());
        Values driverKey = ReadValues(HKEY_LOCAL_MACHINE, DriverKey0);
        if (c.exe == std::string("velmora-sim.exe")) {
            ASSERT_TRUE(ConfigureAdapters(c.adapters));
        }

        Session run;
        ASSERT_TRUE(run.Start(c.exe));
        HWND box = run.WaitForMessage();
        ASSERT_NE(nullptr, box) << run.Windows();
        EXPECT_EQ(1, CountTopWindows(run.Id(), nullptr)) << "the message alone:\n" << run.Windows();
        ExpectMessage(run, NoDeviceText, IDOK);
        // A second message would keep the program from ending.
        ExpectCleanExit(run);

        EXPECT_EQ(std::vector<std::string>(), SubkeyNames(HKEY_CURRENT_USER, UserKey));
        EXPECT_EQ(Describe(driverKey), Describe(ReadValues(HKEY_LOCAL_MACHINE, DriverKey0)));
    }
}

TEST_F(Program, DriverKeyThatCannotBeWrittenGivesTheAccessErrorWithoutBackup) {
    // Under Wine every user may write every key; a driver key that does not exist cannot be
    // opened for writing either, as one the user may not write.
    ASSERT_TRUE(DeleteKey(HKEY_LOCAL_MACHINE, MissingDriverKey));
    ASSERT_TRUE(ConfigureAdapters({{Display1, MissingDriverKey, 0}, {Display2, DriverKey1, 0}}));
    ASSERT_TRUE(FillDriverKey1());

    Session run;
    ASSERT_TRUE(run.Start());
    ASSERT_NE(nullptr, run.WaitForMessage()) << run.Windows();
    // The main window, visible since its creation, stays empty behind the message.
    EXPECT_EQ(1, run.MessageCount()) << run.Windows();
    ExpectMessage(run, AccessErrorText, IDOK);
    ExpectCleanExit(run);

    EXPECT_EQ(std::vector<std::string>(), SubkeyNames(HKEY_CURRENT_USER, UserKey))
        << "no backup of any device";
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, MissingDriverKey));
}

TEST_F(Program, DeclinedDisclaimerEndsWithoutReadingOrWritingTheDriverKey) {
    ASSERT_TRUE(ResetRegistry(0));
    ASSERT_TRUE(ConfigureAdapters(TwoAdapters()));
    ASSERT_TRUE(FillDriverKey0());
    Values driverKey = ReadValues(HKEY_LOCAL_MACHINE, DriverKey0);

    Session run;
    ASSERT_TRUE(run.Start());
    HWND disclaimer = run.WaitForDisclaimer();
    ASSERT_NE(nullptr, disclaimer) << run.Windows();
    EXPECT_EQ(1, IsVisible(disclaimer, DontShowAgainBox));
    EXPECT_EQ(0, GetCheck(disclaimer, DontShowAgainBox));
    ASSERT_TRUE(ClickButton(disclaimer, DisagreeButton));
    ExpectCleanExit(run);

    // No backup, no preference: nothing below the company key.
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, UserKey));
    EXPECT_EQ(Describe(driverKey), Describe(ReadValues(HKEY_LOCAL_MACHINE, DriverKey0)));
}

TEST_F(Program, AcceptedDisclaimerIsShownAgainUntilAcceptedWithTheBoxTicked) {
    ASSERT_TRUE(ResetRegistry(0));
    ASSERT_TRUE(ConfigureAdapters(TwoAdapters()));
    ASSERT_TRUE(FillDriverKey0());

    // Accepted with the box unticked: the preference is written as 0, so it shows again.
    for (int tick : {0, 1}) {
        SCOPED_TRACE(tick ? "box ticked" : "box unticked");
        Session run;
        ASSERT_TRUE(run.Start());
        HWND disclaimer = run.WaitForDisclaimer();
        ASSERT_NE(nullptr, disclaimer) << run.Windows();
        if (tick) {
            ASSERT_TRUE(ClickButton(disclaimer, DontShowAgainBox));
        }
        EXPECT_EQ(tick, GetCheck(disclaimer, DontShowAgainBox));
        ASSERT_TRUE(ClickButton(disclaimer, AcceptButton));
        HWND window = run.WaitForMainWindow();
        ASSERT_NE(nullptr, window) << run.Windows();
        Values preference = ReadValues(HKEY_CURRENT_USER, UserKey);
        ASSERT_EQ(1u, preference.count("ShowWarning"));
        EXPECT_EQ(Describe(Value{REG_DWORD, Bytes{static_cast<uint8_t>(tick), 0, 0, 0}}),
                  Describe(preference["ShowWarning"]));
        ExitWithoutQuestion(run, window);
    }

    Session run;
    HWND window = StartToMainWindow(run);
    ASSERT_NE(nullptr, window);
    EXPECT_FALSE(run.ShowsDisclaimer());

    // On request the warning has only "I Accept", and accepting it stores nothing.
    ASSERT_TRUE(ClickButton(window, DisclaimerButton));
    HWND disclaimer = run.WaitForDisclaimer();
    ASSERT_NE(nullptr, disclaimer) << run.Windows();
    EXPECT_EQ(0, IsVisible(disclaimer, DontShowAgainBox));
    EXPECT_EQ(0, IsVisible(disclaimer, DisagreeButton));
    ASSERT_TRUE(ClickButton(disclaimer, AcceptButton));
    ASSERT_TRUE(WaitForHidden(disclaimer));
    EXPECT_EQ(Describe(Value{REG_DWORD, Hex("01 00 00 00")}),
              Describe(ReadValues(HKEY_CURRENT_USER, UserKey)["ShowWarning"]));
    ExitWithoutQuestion(run, window);
}

TEST_F(Program, AddedModeWithTypedTimingIsAppliedAsItsStoredForms) {
    Session run;
    HWND window = StartOnTwoAdapters(run, 0);
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(std::vector<std::string>(), Rows(window));
    EXPECT_EQ(0, IsEnabled(window, ApplyButton));

    ASSERT_TRUE(AddMode(run.Id(), window, "640", "480", "60"));
    EXPECT_EQ(std::vector<std::string>{"640 480 60"}, Rows(window));
    EXPECT_EQ(1, IsEnabled(window, ApplyButton));
    EXPECT_EQ(0, IsEnabled(window, ModifyButton)) << "a new row is not selected";
    EXPECT_EQ(Values(), ReadValues(HKEY_LOCAL_MACHINE, DriverKey0)) << "nothing before Apply";

    ASSERT_TRUE(ClickListRow(Control(window, ModeList), 0));
    EXPECT_EQ(1, IsEnabled(window, ModifyButton));
    EXPECT_EQ(1, IsEnabled(window, RemoveButton));
    for (int edit = FirstPaneEdit; edit <= LastPaneEdit; ++edit)
        EXPECT_EQ("0", ReadText(window, edit)) << edit;
    for (int box : PaneChecks)
        EXPECT_EQ(0, GetCheck(window, box)) << box;

    ASSERT_TRUE(ClickButton(window, HSyncNegativeBox));
    ASSERT_TRUE(ClickButton(window, VSyncNegativeBox));
    const struct {
        int edit;
        const char* text;
    } typed[] = {{1006, "800"}, {1007, "640"}, {1008, "656"}, {1009, "96"},   {1010, "525"},
                 {1011, "480"}, {1012, "490"}, {1013, "2"},   {1014, "2518"}, {1015, "0"},
                 {1016, "0"},   {1017, "0"},   {1018, "0"},   {1019, "0"},    {1020, "0"}};
    for (const auto& field : typed)
        ASSERT_TRUE(TypeText(window, field.edit, field.text)) << field.edit;
    ASSERT_TRUE(ClickButton(window, ModifyButton));
    ASSERT_TRUE(ClickButton(window, ApplyButton));

    Values expected = Vga60Key(Timing640x480at60());
    EXPECT_EQ(Describe(expected), Describe(ReadValues(HKEY_LOCAL_MACHINE, DriverKey0)));
    EXPECT_EQ(0, IsEnabled(window, ApplyButton));
    EXPECT_EQ(std::vector<std::string>{"640 480 60"}, Rows(window));
    ExitWithoutQuestion(run, window);
}

TEST_F(Program, TimingWithABadChecksumIsNotListedAndIsGoneAfterSaveAndExit) {
    ASSERT_TRUE(ConfigureAdapters(TwoAdapters()));
    ASSERT_TRUE(FillDriverKey0());
    Bytes broken = Timing800x600at75();
    broken[66] = 0;
    broken[67] = 0;
    ASSERT_TRUE(
        SetBinary(HKEY_LOCAL_MACHINE, DriverKey0, TimingName(800, 600, 75).c_str(), broken));
    ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, DriverKey0, "Other", 7));

    Session run;
    HWND window = StartToMainWindow(run);
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(std::vector<std::string>{"640 480 60"}, Rows(window));
    ASSERT_TRUE(SendCommand(window, SaveAndExitCommand));
    ExpectCleanExit(run);

    // The broken timing took its non-standard mode with it; other values stay.
    Values expected = Vga60Key(Timing640x480at60());
    expected["Other"] = Value{REG_DWORD, Hex("07 00 00 00")};
    EXPECT_EQ(Describe(expected), Describe(ReadValues(HKEY_LOCAL_MACHINE, DriverKey0)));
}

TEST_F(Program, SwitchingDevicesAsksAboutUnsavedEditsAndShowsTheNewDevice) {
    ASSERT_TRUE(ConfigureAdapters(TwoAdapters()));
    ASSERT_TRUE(FillDriverKey0());
    ASSERT_TRUE(FillDriverKey1());
    Values device0 = ReadValues(HKEY_LOCAL_MACHINE, DriverKey0);
    const std::vector<std::string> rows0 = {"640 480 60", "800 600 75"};
    const std::vector<std::string> rows1 = {"1152 864 75", "1280 1024 60"};

    Session run;
    HWND window = StartToMainWindow(run);
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(rows0, Rows(window));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, BackupKey("DISPLAY2").c_str()));

    // No: the edits are dropped, the old key stays as it was.
    ASSERT_TRUE(AddMode(run.Id(), window, "1024", "768", "85"));
    ASSERT_TRUE(SendCommand(window, FirstDeviceCommand + 1));
    ExpectMessage(run, UnsavedChangesText, IDNO);
    ASSERT_TRUE(Sync(window));
    EXPECT_EQ(rows1, Rows(window));
    EXPECT_EQ(0, IsEnabled(window, ApplyButton));
    EXPECT_EQ(Describe(device0), Describe(ReadValues(HKEY_LOCAL_MACHINE, DriverKey0)));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, BackupKey("DISPLAY2").c_str()));

    // Yes: the edits are written to the device being left, then the other device shows.
    ASSERT_TRUE(AddMode(run.Id(), window, "1600", "1200", "60"));
    ASSERT_TRUE(SendCommand(window, FirstDeviceCommand));
    ExpectMessage(run, UnsavedChangesText, IDYES);
    ASSERT_TRUE(Sync(window));
    EXPECT_EQ(rows0, Rows(window));
    Values device1 = ReadValues(HKEY_LOCAL_MACHINE, DriverKey1);
    EXPECT_EQ(Describe(Binary(NewModeTiming())), Describe(device1[TimingName(1600, 1200, 60)]));
    EXPECT_EQ(Describe(Binary(Hex("11 52 08 64 00 00 00 75  12 80 10 24 00 00 00 60 "
                                  "16 00 12 00 00 00 00 60"))),
              Describe(device1[ModeListValue]));

    // Without edits a switch asks nothing.
    ASSERT_TRUE(SendCommand(window, FirstDeviceCommand + 1));
    EXPECT_FALSE(run.ShowsMessage());
    EXPECT_EQ((std::vector<std::string>{"1152 864 75", "1280 1024 60", "1600 1200 60"}),
              Rows(window));
    ExitWithoutQuestion(run, window);
}

TEST_F(Program, ClosingWithUnsavedEditsAsksLikeExit) {
    struct Case {
        const char* how;
        int command; // 0: the caption's close box
        int answer;
    } cases[] = {{"close box, No", 0, IDNO},
                 {"cancel command, Yes", CancelCommand, IDYES},
                 {"File, Exit, Yes", ExitCommand, IDYES}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        ASSERT_TRUE(ResetRegistry(1));
        Session run;
        HWND window = StartOnTwoAdapters(run, 0);
        ASSERT_NE(nullptr, window);
        ASSERT_TRUE(AddMode(run.Id(), window, "640", "480", "60"));
        ASSERT_TRUE(c.command ? SendCommand(window, c.command) : CloseFromCaption(window));
        ExpectMessage(run, UnsavedChangesText, c.answer);
        ExpectCleanExit(run);

        Values expected;
        if (c.answer == IDYES)
            expected = Vga60Key(NewModeTiming());
        EXPECT_EQ(Describe(expected), Describe(ReadValues(HKEY_LOCAL_MACHINE, DriverKey0)));
    }
}

TEST_F(Program, ArrowKeysChangeNeitherThePaneNorTheModeThatModifyChanges) {
    Session run;
    HWND window = StartOnTwoAdapters(run, 1);
    ASSERT_NE(nullptr, window);
    HWND list = Control(window, ModeList);
    ASSERT_EQ((std::vector<std::string>{"640 480 60", "800 600 75"}), Rows(window));

    ASSERT_TRUE(ClickListRow(list, 0));
    EXPECT_EQ("800", ReadText(window, HorizontalTotalEdit));
    ASSERT_TRUE(PressKey(list, VK_DOWN));
    EXPECT_EQ(1, ListSelectedRow(list)) << "the highlight moved";
    EXPECT_EQ("800", ReadText(window, HorizontalTotalEdit));
    EXPECT_EQ("640", ReadText(window, HorizontalDisplayEdit));

    ASSERT_TRUE(TypeText(window, HorizontalTotalEdit, "808"));
    ASSERT_TRUE(ClickButton(window, ModifyButton));
    ASSERT_TRUE(ClickButton(window, ApplyButton));

    Values stored = ReadValues(HKEY_LOCAL_MACHINE, DriverKey0);
    Bytes changed = stored[TimingName(640, 480, 60)].data;
    Bytes original = Timing640x480at60();
    ASSERT_EQ(68u, changed.size());
    EXPECT_EQ(Hex("00 00 08 08"), Bytes(changed.begin() + 4, changed.begin() + 8));
    EXPECT_EQ(Bytes(original.begin() + 8, original.begin() + 64),
              Bytes(changed.begin() + 8, changed.begin() + 64));
    EXPECT_EQ(Describe(Binary(Timing800x600at75())), Describe(stored[TimingName(800, 600, 75)]));

    // Reloaded from the key, the changed mode is still listed: its new checksum holds.
    ASSERT_TRUE(SendCommand(window, FirstDeviceCommand));
    EXPECT_FALSE(run.ShowsMessage());
    ASSERT_EQ((std::vector<std::string>{"640 480 60", "800 600 75"}), Rows(window));
    ASSERT_TRUE(ClickListRow(list, 0));
    EXPECT_EQ("808", ReadText(window, HorizontalTotalEdit));
    ExitWithoutQuestion(run, window);
}

TEST_F(Program, FirstLoadBacksUpTheDriverKeyOnceAndLaterStartsWriteNothing) {
    ASSERT_TRUE(ConfigureAdapters(TwoAdapters()));
    ASSERT_TRUE(FillDriverKey0());
    // Neither a name that carries the prefix later on nor another value is copied.
    ASSERT_TRUE(SetBinary(HKEY_LOCAL_MACHINE, DriverKey0, "XQORDTMCRTBCD0640X0480X0X60",
                          Timing640x480at60()));
    ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, DriverKey0, "Other", 7));
    const std::string display1 = BackupKey("DISPLAY1");
    const std::string path = std::string("HKEY_LOCAL_MACHINE\\") + DriverKey0;
    Values expected = {
        {TimingName(640, 480, 60), Binary(Timing640x480at60())},
        {TimingName(800, 600, 75), Binary(Timing800x600at75())},
        {ModeListValue, Binary(Hex("06 40 04 80 00 00 00 60  08 00 06 00 00 00 00 75"))},
        {OriginalPathValue, Value{REG_SZ, Bytes(path.begin(), path.end())}}};

    {
        Session run;
        HWND window = StartToMainWindow(run);
        ASSERT_NE(nullptr, window);
        EXPECT_EQ(Describe(expected), Describe(ReadValues(HKEY_CURRENT_USER, display1.c_str())));
        EXPECT_EQ(std::vector<std::string>{"DISPLAY1"}, SubkeyNames(HKEY_CURRENT_USER, UserKey));
        ExitWithoutQuestion(run, window);
    }

    // The driver key changes; the next start reads it but leaves the backup as it was.
    ASSERT_TRUE(RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, DriverKey0,
                                   TimingName(800, 600, 75).c_str()) == ERROR_SUCCESS);
    ASSERT_TRUE(SetBinary(HKEY_LOCAL_MACHINE, DriverKey0, TimingName(1152, 864, 75).c_str(),
                          Timing1152x864at75()));
    ASSERT_TRUE(SetBinary(HKEY_LOCAL_MACHINE, DriverKey0, ModeListValue,
                          Hex("06 40 04 80 00 00 00 60  11 52 08 64 00 00 00 75")));
    Session run;
    HWND window = StartToMainWindow(run);
    ASSERT_NE(nullptr, window);
    EXPECT_EQ((std::vector<std::string>{"640 480 60", "1152 864 75"}), Rows(window));
    ExitWithoutQuestion(run, window);
    EXPECT_EQ(Describe(expected), Describe(ReadValues(HKEY_CURRENT_USER, display1.c_str())));
}

TEST_F(Program, RemovedModeLeavesWithItsNonStandardModeAndAClickBelowTheRowsClearsThePane) {
    Session run;
    HWND window = StartOnTwoAdapters(run, 1);
    ASSERT_NE(nullptr, window);
    HWND list = Control(window, ModeList);

    ASSERT_TRUE(ClickListRow(list, 1));
    EXPECT_EQ("1056", ReadText(window, HorizontalTotalEdit));
    ASSERT_TRUE(ClickButton(window, RemoveButton));
    EXPECT_EQ(std::vector<std::string>{"640 480 60"}, Rows(window));
    EXPECT_EQ(0, IsEnabled(window, ModifyButton));
    EXPECT_EQ(0, IsEnabled(window, RemoveButton));
    EXPECT_EQ("", ReadText(window, HorizontalTotalEdit));

    // The pane takes digits only, and no more than a stored timing word can hold.
    ASSERT_TRUE(ClickListRow(list, 0));
    ASSERT_TRUE(TypeText(window, HorizontalTotalEdit, "8a0-0 "));
    EXPECT_EQ("800", ReadText(window, HorizontalTotalEdit));
    ASSERT_TRUE(TypeText(window, HorizontalTotalEdit, "1234567890"));
    EXPECT_EQ("12345678", ReadText(window, HorizontalTotalEdit));

    // A click below the rows drops the selection: Modify has nothing to change.
    ASSERT_TRUE(ClickListBelowRows(list));
    EXPECT_EQ(0, IsEnabled(window, ModifyButton));
    EXPECT_EQ(0, IsEnabled(window, HorizontalTotalEdit));
    EXPECT_EQ("", ReadText(window, HorizontalTotalEdit));

    ASSERT_TRUE(ClickButton(window, ApplyButton));
    Values expected = Vga60Key(Timing640x480at60());
    EXPECT_EQ(Describe(expected), Describe(ReadValues(HKEY_LOCAL_MACHINE, DriverKey0)));
    ExitWithoutQuestion(run, window);
}

TEST_F(Program, ApplyThatCannotWriteSaysSoAndKeepsTheEditsForALaterApply) {
    Session run;
    HWND window = StartOnTwoAdapters(run, 0);
    ASSERT_NE(nullptr, window);

    // The Add dialog takes four digits at most.
    ASSERT_TRUE(AddMode(run.Id(), window, "64000", "480", "60"));
    EXPECT_EQ(std::vector<std::string>{"6400 480 60"}, Rows(window));
    ASSERT_TRUE(DeleteKey(HKEY_LOCAL_MACHINE, DriverKey0));

    for (int command : {ApplyButton, SaveAndExitCommand}) {
        SCOPED_TRACE(command);
        ASSERT_TRUE(command == ApplyButton ? ClickButton(window, command)
                                           : SendCommand(window, command));
        ExpectMessage(run, ApplyFailedText, IDOK);
        ASSERT_TRUE(Sync(window));
        EXPECT_TRUE(run.IsRunning());
        EXPECT_EQ(1, IsEnabled(window, ApplyButton));
    }
    // Yes to the question on exit cannot write either: the program stays with the edits.
    ASSERT_TRUE(SendCommand(window, ExitCommand));
    ExpectMessage(run, UnsavedChangesText, IDYES);
    ExpectMessage(run, ApplyFailedText, IDOK);
    ASSERT_TRUE(Sync(window));
    EXPECT_TRUE(run.IsRunning());

    ASSERT_TRUE(CreateKey(HKEY_LOCAL_MACHINE, DriverKey0));
    ASSERT_TRUE(ClickButton(window, ApplyButton));
    EXPECT_FALSE(run.ShowsMessage());
    Values expected = {{TimingName(6400, 480, 60), Binary(NewModeTiming())},
                       {ModeListValue, Binary(Hex("64 00 04 80 00 00 00 60"))}};
    EXPECT_EQ(Describe(expected), Describe(ReadValues(HKEY_LOCAL_MACHINE, DriverKey0)));
    ExitWithoutQuestion(run, window);
}
