// The commands for the window in front, pressed for real on a window of the
// test's own, which a thread of its own keeps answering.
#include <windows.h>

#include <gtest/gtest.h>

#include "agent_harness.h"

namespace {

const UINT HYPER = MOD_CONTROL | MOD_ALT | MOD_SHIFT;
const UINT COMMANDS[] = {0x0C10, 0x0C11, 0x0C12, 0x0C13, 0x0C14, 0x0C15};

// A top-level window with an edit control that has the focus, as a program
// in front has; it lives on its own thread until closed.
class FrontWindow {
  public:
    FrontWindow() {
        ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
        WaitForSingleObject(ready_, 10000);
    }
    ~FrontWindow() {
        if (IsWindow(window_))
            PostMessageW(window_, WM_CLOSE, 0, 0);
        WaitForSingleObject(thread_, 10000);
        CloseHandle(thread_);
        CloseHandle(ready_);
    }
    FrontWindow(const FrontWindow&) = delete;
    FrontWindow& operator=(const FrontWindow&) = delete;
    HWND window() const { return window_; }
    RECT Rect() const {
        RECT rect = {};
        GetWindowRect(window_, &rect);
        return rect;
    }

  private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_DESTROY)
            PostQuitMessage(0);
        return DefWindowProcW(window, message, wParam, lParam);
    }
    static DWORD WINAPI Run(void* parameter) {
        FrontWindow* self = static_cast<FrontWindow*>(parameter);
        WNDCLASSW wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"PendrixTestFront";
        RegisterClassW(&wc);
        self->window_ = CreateWindowExW(0, wc.lpszClassName, L"In front", WS_OVERLAPPEDWINDOW, 10,
                                        20, 300, 200, nullptr, nullptr, wc.hInstance, nullptr);
        HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 0, 0, 200, 20,
                                    self->window_, nullptr, wc.hInstance, nullptr);
        ShowWindow(self->window_, SW_SHOWNORMAL);
        SetForegroundWindow(self->window_);
        SetFocus(edit);
        SetEvent(self->ready_);
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        return 0;
    }
    HANDLE ready_ = nullptr;
    HANDLE thread_ = nullptr;
    HWND window_ = nullptr;
};

bool Topmost(HWND window) {
    return (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

} // namespace

TEST_F(AgentTest, WindowCommandsActOnTheWindowInFront) {
    Install(Library::None);
    Hotkeys hotkeys;
    Actions actions;
    for (UINT n = 0; n < ARRAYSIZE(COMMANDS); ++n) {
        hotkeys.Append(MakeHotkey(L"Window", HYPER, '1' + n));
        actions.Append(CommandAction(n, COMMANDS[n]));
    }
    WriteStore(hotkeys, actions);
    ASSERT_TRUE(Start());
    auto press = [](UINT command) {
        for (UINT n = 0; n < ARRAYSIZE(COMMANDS); ++n) {
            if (COMMANDS[n] == command)
                PressCombination(HYPER, '1' + n);
        }
    };

    FrontWindow front;
    HWND window = front.window();
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == window; }));

    press(0x0C10);
    EXPECT_TRUE(WaitFor([&] { return Topmost(window); })) << "always on top";
    press(0x0C10);
    EXPECT_TRUE(WaitFor([&] { return !Topmost(window); })) << "and off again";

    press(0x0C15);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT work = monitor.rcWork;
    EXPECT_TRUE(WaitFor([&] {
        const RECT r = front.Rect();
        return r.right - r.left == 300 && abs(r.left - work.left - (work.right - r.right)) <= 1 &&
               abs(r.top - work.top - (work.bottom - r.bottom)) <= 1;
    })) << "centred in the work area, its size kept";

    // With one monitor, the next monitor is this one: nothing moves.
    const RECT centred = front.Rect();
    press(0x0C14);
    Sleep(300);
    const RECT after = front.Rect();
    EXPECT_TRUE(EqualRect(&centred, &after));

    press(0x0C11);
    EXPECT_TRUE(WaitFor([&] { return IsZoomed(window) != FALSE; })) << "maximized";
    press(0x0C11);
    EXPECT_TRUE(WaitFor([&] { return !IsZoomed(window); })) << "restored";
    press(0x0C12);
    EXPECT_TRUE(WaitFor([&] { return IsIconic(window) != FALSE; })) << "minimized";

    ShowWindowAsync(window, SW_RESTORE);
    SetForegroundWindow(window);
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == window && !IsIconic(window); }));
    press(0x0C13);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(window); })) << "closed as by its close button";
    EXPECT_TRUE(Alive());
}

TEST_F(AgentTest, HotkeysOnTheAddedKeysFire) {
    Install(Library::None);
    Hotkeys hotkeys;
    Actions actions;
    const UINT keys[] = {'Y', VK_OEM_1, VK_OEM_PERIOD, VK_F13};
    const wchar_t* tags[] = {L"y", L"semicolon", L"period", L"f13"};
    for (UINT n = 0; n < ARRAYSIZE(keys); ++n) {
        hotkeys.Append(MakeHotkey(tags[n], MOD_CONTROL | MOD_ALT, keys[n]));
        actions.Append(ProbeAction(n, log_, tags[n]));
    }
    WriteStore(hotkeys, actions);
    ASSERT_TRUE(Start());
    for (UINT n = 0; n < ARRAYSIZE(keys); ++n) {
        PressCombination(MOD_CONTROL | MOD_ALT, keys[n]);
        EXPECT_TRUE(WaitFor([&] { return RunsOf(ReadProbeLog(log_), tags[n]).size() == 1; }))
            << keys[n];
    }
}
