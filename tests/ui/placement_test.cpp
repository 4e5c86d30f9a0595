// CenterDialog on real windows: owned dialogs against their owner, owner-less ones against the
// work area.
#include "ui/placement.h"

#include "ui/resource.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

INT_PTR CALLBACK PassiveProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

// Half a distance, rounded toward zero, computed apart from integer division.
LONG HalfTowardZero(LONG distance) {
    return static_cast<LONG>(std::trunc(distance / 2.0));
}

RECT WindowRect(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

// Where the dialog is before it is placed: its top-left corner at (x, y) from the origin (the
// owner's client origin, or the screen's), or, when `pastCorner`, its bottom-right corner at
// (x, y) from the reference's bottom-right corner.
struct Start {
    const char* what;
    int x, y;
    bool pastCorner;
};

// Places past the far corner make the distances negative. Neighbouring places one pixel apart
// make one distance of each pair odd, so a rounding other than toward zero shows.
const Start Starts[] = {
    {"at the origin", 0, 0, false},
    {"inside", 33, 17, false},
    {"inside, one pixel further", 34, 18, false},
    {"above and left of the origin", -151, -77, false},
    {"past the far corner", 41, 23, true},
    {"past the far corner, one pixel further", 42, 24, true},
};

// Moves `dialog` to its starting place; `origin` and `corner` are in screen coordinates.
void MoveToStart(HWND dialog, const Start& start, POINT origin, POINT corner) {
    RECT rect = WindowRect(dialog);
    int x = origin.x + start.x;
    int y = origin.y + start.y;
    if (start.pastCorner) {
        x = corner.x + start.x - (rect.right - rect.left);
        y = corner.y + start.y - (rect.bottom - rect.top);
    }
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

class Placement : public ::testing::Test {
protected:
    void SetUp() override {
        owner = CreateWindowExA(0, "STATIC", "Owner", WS_OVERLAPPEDWINDOW, 120, 90, 640, 480,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(owner, nullptr);
    }
    void TearDown() override {
        if (owner != nullptr) {
            DestroyWindow(owner);
        }
    }
    HWND owner = nullptr;
};

TEST_F(Placement, OwnedDialogCentresBetweenOwnerClientOriginAndOwnerCorner) {
    for (const Start& start : Starts) {
        SCOPED_TRACE(start.what);
        HWND dialog =
            CreateDialogParamA(GetModuleHandleA(nullptr), IDD_ABOUT, owner, PassiveProc, 0);
        ASSERT_NE(dialog, nullptr);
        ASSERT_EQ(GetParent(dialog), owner);
        RECT reference = WindowRect(owner);
        POINT origin = {0, 0};
        ClientToScreen(owner, &origin);
        MoveToStart(dialog, start, origin, {reference.right, reference.bottom});
        RECT before = WindowRect(dialog);

        CenterDialog(dialog);

        POINT expected = {HalfTowardZero(reference.right - before.right),
                          HalfTowardZero(reference.bottom - before.bottom)};
        ClientToScreen(owner, &expected);
        RECT after = WindowRect(dialog);
        EXPECT_EQ(after.left, expected.x);
        EXPECT_EQ(after.top, expected.y);
        EXPECT_EQ(after.right - after.left, before.right - before.left);
        EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
        DestroyWindow(dialog);
    }
}

TEST_F(Placement, OwnerlessDialogCentresAgainstTheWorkArea) {
    RECT work = {};
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    for (const Start& start : Starts) {
        SCOPED_TRACE(start.what);
        HWND dialog =
            CreateDialogParamA(GetModuleHandleA(nullptr), IDD_ABOUT, nullptr, PassiveProc, 0);
        ASSERT_NE(dialog, nullptr);
        ASSERT_EQ(GetParent(dialog), nullptr);
        MoveToStart(dialog, start, {0, 0}, {work.right, work.bottom});
        RECT before = WindowRect(dialog);

        CenterDialog(dialog);

        RECT after = WindowRect(dialog);
        EXPECT_EQ(after.left, HalfTowardZero(work.right - before.right));
        EXPECT_EQ(after.top, HalfTowardZero(work.bottom - before.bottom));
        EXPECT_EQ(after.right - after.left, before.right - before.left);
        EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
        DestroyWindow(dialog);
    }
}

TEST_F(Placement, AWindowThatIsGoneIsLeftAlone) {
    CenterDialog(nullptr);
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), IDD_ABOUT, owner, PassiveProc, 0);
    ASSERT_NE(dialog, nullptr);
    DestroyWindow(dialog);
    CenterDialog(dialog);
    EXPECT_FALSE(IsWindow(dialog));
}

} // namespace
