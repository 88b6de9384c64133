// The commands for the window in front, pressed for real on a window of the
// test's own, which a thread of its own keeps answering.
#include <windows.h>

#include <gtest/gtest.h>

#include "agent_harness.h"

namespace {

const UINT HYPER = MOD_CONTROL | MOD_ALT | MOD_SHIFT;
const UINT COMMANDS[] = {0x0C10, 0x0C11, 0x0C12, 0x0C13, 0x0C14, 0x0C15};

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
    EXPECT_TRUE(WaitFor([&] { return !IsZoomed(window); })) << "restored; " << WindowsInFront();
    press(0x0C12);
    EXPECT_TRUE(WaitFor([&] { return IsIconic(window) != FALSE; })) << "minimized";

    ShowWindowAsync(window, SW_RESTORE);
    SetForegroundWindow(window);
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == window && !IsIconic(window); }));
    // A window that cannot be maximized is left as it is.
    SetWindowLongPtrW(window, GWL_STYLE, GetWindowLongPtrW(window, GWL_STYLE) & ~WS_MAXIMIZEBOX);
    press(0x0C11);
    Sleep(300);
    EXPECT_FALSE(IsZoomed(window));
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
