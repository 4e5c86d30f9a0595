#include "app/disclaimer.h"

#include "support/dialog_script.h"
#include "support/registry_fixture.h"
#include "ui/app_instance.h"
#include "ui/resource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char CompanyKey[] = "Software\\Orvane Technologies";
const char ProgramKey[] = "Software\\Orvane Technologies\\Velmora";

enum Answer { ClickAccept, PressEnter, ClickDisagree, PressEsc, CloseBox, PostClose };

void Give(HWND dialog, Answer answer) {
    switch (answer) {
    case ClickAccept:
        Click(dialog, IDC_ACCEPT);
        break;
    case PressEnter:
        PressKey(dialog, VK_RETURN);
        break;
    case ClickDisagree:
        Click(dialog, IDC_DISAGREE);
        break;
    case PressEsc:
        PressKey(dialog, VK_ESCAPE);
        break;
    case CloseBox:
        PressCloseBox(dialog);
        break;
    case PostClose:
        PostMessageA(dialog, WM_CLOSE, 0, 0);
        break;
    }
}

class Disclaimer : public ::testing::Test {
protected:
    void SetUp() override {
        AppInstance = GetModuleHandleA(nullptr);
        ASSERT_TRUE(FixtureDeleteTree(RegistryCurrentUser, CompanyKey));
    }
    void TearDown() override { FixtureDeleteTree(RegistryCurrentUser, CompanyKey); }

    static void StoreChoice(uint32_t value) {
        ASSERT_TRUE(FixtureCreateKey(RegistryCurrentUser, ProgramKey));
        std::vector<uint8_t> bytes = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                                      static_cast<uint8_t>(value >> 16),
                                      static_cast<uint8_t>(value >> 24)};
        ASSERT_TRUE(FixtureSetValue(RegistryCurrentUser, ProgramKey, "ShowWarning",
                                    RegistryTypeDword, bytes));
    }
    static int ChoiceStored() {
        return !FixtureValueNames(RegistryCurrentUser, ProgramKey).empty();
    }
};

TEST_F(Disclaimer, AcceptingAtStartupStoresTheCheckBox) {
    const struct {
        Answer answer;
        int ticked;
    } cases[] = {{ClickAccept, 1}, {ClickAccept, 0}, {PressEnter, 1}, {PressEnter, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "answer " << c.answer << " ticked " << c.ticked);
        ASSERT_TRUE(FixtureDeleteTree(RegistryCurrentUser, CompanyKey));
        ASSERT_TRUE(FixtureCreateKey(RegistryCurrentUser, CompanyKey));
        DisclaimerGate gate;
        DialogScript script([&](HWND dialog) {
            ExpectInitialFocus(dialog, IDC_ACCEPT);
            EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, IDC_DONT_SHOW_AGAIN)));
            EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, IDC_DISAGREE)));
            EXPECT_EQ(BST_UNCHECKED,
                      SendMessageA(GetDlgItem(dialog, IDC_DONT_SHOW_AGAIN), BM_GETCHECK, 0, 0));
            if (c.ticked)
                Click(dialog, IDC_DONT_SHOW_AGAIN);
            Give(dialog, c.answer);
        });
        EXPECT_EQ(1, gate.ShowDisclaimer(nullptr, StartupMode));
        EXPECT_TRUE(script.Shown());
        std::vector<uint8_t> data;
        uint32_t type = 0;
        ASSERT_TRUE(FixtureGetValue(RegistryCurrentUser, ProgramKey, "ShowWarning", &data, &type));
        EXPECT_EQ((std::vector<uint8_t>{static_cast<uint8_t>(c.ticked), 0, 0, 0}), data);
        EXPECT_EQ(RegistryTypeDword, type);

        // The next start shows the warning again only when the box was left unticked.
        DialogScript next([](HWND dialog) { Click(dialog, IDC_ACCEPT); });
        EXPECT_EQ(1, gate.ShowDisclaimer(nullptr, StartupMode));
        EXPECT_EQ(!c.ticked, next.Shown());
    }
}

TEST_F(Disclaimer, AcceptingWithoutTheCompanyKeyStoresNothing) {
    DisclaimerGate gate;
    DialogScript script([](HWND dialog) {
        Click(dialog, IDC_DONT_SHOW_AGAIN);
        Click(dialog, IDC_ACCEPT);
    });
    EXPECT_EQ(1, gate.ShowDisclaimer(nullptr, StartupMode));
    EXPECT_TRUE(script.Shown());
    EXPECT_FALSE(FixtureKeyExists(RegistryCurrentUser, CompanyKey));
}

TEST_F(Disclaimer, DecliningAtStartupGivesTwoAndStoresNothing) {
    ASSERT_TRUE(FixtureCreateKey(RegistryCurrentUser, CompanyKey));
    for (Answer answer : {ClickDisagree, PressEsc, CloseBox, PostClose}) {
        SCOPED_TRACE(answer);
        DisclaimerGate gate;
        DialogScript script([&](HWND dialog) {
            Click(dialog, IDC_DONT_SHOW_AGAIN);
            Give(dialog, answer);
        });
        EXPECT_EQ(2, gate.ShowDisclaimer(nullptr, StartupMode));
        EXPECT_TRUE(script.Shown());
        EXPECT_FALSE(FixtureKeyExists(RegistryCurrentUser, ProgramKey));
    }
}

TEST_F(Disclaimer, StoredChoiceSkipsTheWarning) {
    for (uint32_t value : {1u, 2u, 0x100u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(value);
        StoreChoice(value);
        DisclaimerGate gate;
        DialogScript script([](HWND dialog) { Click(dialog, IDC_DISAGREE); });
        EXPECT_EQ(1, gate.ShowDisclaimer(nullptr, StartupMode));
        EXPECT_FALSE(script.Shown());
    }
}

TEST_F(Disclaimer, RequestModeOnlyAcceptsAndStoresNothing) {
    ASSERT_TRUE(FixtureCreateKey(RegistryCurrentUser, CompanyKey));
    StoreChoice(2); // a request shows the warning whatever the preference says
    HWND owner = CreateWindowA("STATIC", "Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 600,
                               500, nullptr, nullptr, AppInstance, nullptr);
    ASSERT_NE(nullptr, owner);
    for (Answer answer : {ClickAccept, PressEnter, PressEsc, CloseBox}) {
        SCOPED_TRACE(answer);
        DisclaimerGate gate;
        DialogScript script([&](HWND dialog) {
            EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, IDC_DONT_SHOW_AGAIN)));
            EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, IDC_DISAGREE)));
            EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, IDC_ACCEPT)));
            EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, IDC_DISCLAIMER_TEXT)));
            EXPECT_FALSE(IsWindowEnabled(owner));
            // Even a ticked hidden box is not stored.
            SendMessageA(GetDlgItem(dialog, IDC_DONT_SHOW_AGAIN), BM_SETCHECK, BST_CHECKED, 0);
            Give(dialog, answer);
        });
        EXPECT_EQ(1, gate.ShowDisclaimer(owner, RequestMode));
        EXPECT_TRUE(script.Shown());
        EXPECT_TRUE(IsWindowEnabled(owner));
        // The stored choice is left as it was (the box would store 1 or 0).
        std::vector<uint8_t> data;
        EXPECT_TRUE(
            FixtureGetValue(RegistryCurrentUser, ProgramKey, "ShowWarning", &data, nullptr));
        EXPECT_EQ((std::vector<uint8_t>{2, 0, 0, 0}), data);
    }
    DestroyWindow(owner);
}

TEST_F(Disclaimer, ShowsTheWholeWarningCentredOnTheWorkArea) {
    std::string text;
    RECT box = {}, opening = {}, work = {};
    DisclaimerGate gate;
    DialogScript script([&](HWND dialog) {
        char buffer[1200];
        int length = GetWindowTextA(GetDlgItem(dialog, IDC_DISCLAIMER_TEXT), buffer, sizeof buffer);
        text.assign(buffer, length > 0 ? length : 0);
        GetWindowRect(dialog, &box);
        opening = OpeningRect(dialog, POINT{0, 0});
        Click(dialog, IDC_DISAGREE);
    });
    EXPECT_EQ(2, gate.ShowDisclaimer(nullptr, StartupMode));
    ASSERT_TRUE(script.Shown());
    EXPECT_EQ(686u, text.size());
    EXPECT_EQ(0u, text.find("This utility allows you to design custom display modes"));
    EXPECT_NE(std::string::npos, text.find("device.\r\n\r\nOrvane assumes no liability"));
    EXPECT_EQ(text.size() - 21, text.rfind("Use at your own risk."));
    // Without an owner the dialog opens at the screen origin and moves half the way from there to
    // the work area's bottom-right corner.
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ((work.right - opening.right) / 2, box.left);
    EXPECT_EQ((work.bottom - opening.bottom) / 2, box.top);
}

// A gate that is gone is no longer current, and the dialog reads the gate that shows it.
TEST_F(Disclaimer, GateShownIsTheGateRead) {
    DisclaimerGate startup;
    EXPECT_EQ(&startup, CurrentDisclaimerGate);
    EXPECT_EQ(RequestMode, startup.mode);
    {
        DisclaimerGate request;
        EXPECT_EQ(&request, CurrentDisclaimerGate);
    }
    EXPECT_EQ(nullptr, CurrentDisclaimerGate);
    int disagreeVisible = -1;
    DialogScript script([&](HWND dialog) {
        disagreeVisible = IsWindowVisible(GetDlgItem(dialog, IDC_DISAGREE));
        Click(dialog, IDC_DISAGREE);
    });
    EXPECT_EQ(2, startup.ShowDisclaimer(nullptr, StartupMode));
    EXPECT_EQ(StartupMode, startup.mode);
    EXPECT_EQ(1, disagreeVisible);
}

} // namespace
