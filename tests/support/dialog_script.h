// Drives a modal dialog of the test's own thread from inside the dialog manager's modal loop. A
// thread timer, which that loop dispatches, finds the dialog once it is up and runs the test's
// action on it once. A dialog still open long after the action is ended with StuckResult, so a
// broken test fails instead of hanging.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

class DialogScript {
public:
    static const INT_PTR StuckResult = 99;

    explicit DialogScript(std::function<void(HWND)> action) : action_(action) {
        active_ = this;
        timer_ = SetTimer(nullptr, 0, 10, Tick);
    }
    ~DialogScript() {
        KillTimer(nullptr, timer_);
        active_ = nullptr;
    }
    DialogScript(const DialogScript&) = delete;
    DialogScript& operator=(const DialogScript&) = delete;

    // 1 once a dialog of this thread was seen.
    int Shown() const { return shown_; }

private:
    static BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
        char name[16];
        if (IsWindowVisible(window) && GetClassNameA(window, name, sizeof name) &&
            std::strcmp(name, "#32770") == 0) {
            *reinterpret_cast<HWND*>(found) = window;
            return FALSE;
        }
        return TRUE;
    }

    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        DialogScript* self = active_;
        if (!self)
            return;
        HWND dialog = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
        if (!dialog)
            return;
        if (!self->shown_) {
            self->shown_ = 1;
            self->action_(dialog);
        } else if (++self->ticksAfter_ > 1500) {
            EndDialog(dialog, StuckResult);
        }
    }

    static inline DialogScript* active_ = nullptr;
    std::function<void(HWND)> action_;
    UINT_PTR timer_ = 0;
    int shown_ = 0;
    int ticksAfter_ = 0;
};

// The frame that the dialog manager gives a dialog before the dialog places itself: the client
// area's top-left corner at `origin` (the owner's client origin, or the screen origin without an
// owner), the frame around it, moved right or down into the work area where it starts outside.
inline RECT OpeningRect(HWND dialog, POINT origin) {
    RECT frame = {0, 0, 0, 0}, box = {0, 0, 0, 0}, work = {0, 0, 0, 0};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongA(dialog, GWL_EXSTYLE)));
    GetWindowRect(dialog, &box);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    RECT opening;
    opening.left = origin.x + frame.left < work.left ? work.left : origin.x + frame.left;
    opening.top = origin.y + frame.top < work.top ? work.top : origin.y + frame.top;
    opening.right = opening.left + (box.right - box.left);
    opening.bottom = opening.top + (box.bottom - box.top);
    return opening;
}

// The control that has the focus when the dialog opens. Checked only while the dialog is the
// foreground window: a window of another test process that comes up at the same moment on the
// same display may take the focus away.
inline void ExpectInitialFocus(HWND dialog, int id) {
    if (GetForegroundWindow() == dialog) {
        EXPECT_EQ(GetDlgItem(dialog, id), GetFocus());
    }
}

// Input as the user gives it, posted so that the modal loop handles it after the action returns.
inline void Click(HWND dialog, int id) {
    PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}
inline void PressKey(HWND dialog, WPARAM key) {
    HWND focus = GetFocus();
    PostMessageA(focus ? focus : dialog, WM_KEYDOWN, key, 0);
}
inline void PressCloseBox(HWND dialog) {
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
}
