// Mouse buttons and the wheel as hotkeys, and the pause: real injected mouse
// events against the real agent, over a window of the test's own that
// counts what reaches it, and over the launch probe's.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "agent_harness.h"

namespace {

const UINT CTRL_ALT = MOD_CONTROL | MOD_ALT;
const UINT AGENT_HOOKS = WM_APP + 0x108;
const UINT AGENT_PAUSE = WM_APP + 0x106;
const ULONG_PTR AGENT_MARK = 0x50E7D000;
const UINT WHEEL_DOWN = 0x98;

// A window of the test's own that counts the mouse messages it is given.
class MouseWindow {
  public:
    MouseWindow() {
        ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
        WaitForSingleObject(ready_, 10000);
    }
    ~MouseWindow() {
        PostMessageW(window_, WM_CLOSE, 0, 0);
        WaitForSingleObject(thread_, 10000);
        CloseHandle(thread_);
        CloseHandle(ready_);
    }
    HWND window() const { return window_; }
    LONG Count(UINT message) const {
        switch (message) {
        case WM_XBUTTONDOWN:
            return xDowns_;
        case WM_MOUSEWHEEL:
            return wheels_;
        case WM_MBUTTONDOWN:
            return middleDowns_;
        default:
            return ups_;
        }
    }
    POINT Centre() const {
        RECT rect;
        GetWindowRect(window_, &rect);
        return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    }

  private:
    static DWORD WINAPI Run(void* parameter) {
        MouseWindow* self = static_cast<MouseWindow*>(parameter);
        WNDCLASSW wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
        wc.lpszClassName = L"PendrixMouseTarget";
        RegisterClassW(&wc);
        self->window_ =
            CreateWindowExW(0, wc.lpszClassName, L"Mouse target", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                            60, 60, 400, 300, nullptr, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(self->window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        SetForegroundWindow(self->window_);
        SetEvent(self->ready_);
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0)
            DispatchMessageW(&message);
        UnregisterClassW(wc.lpszClassName, wc.hInstance);
        return 0;
    }
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<MouseWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self) {
            if (message == WM_XBUTTONDOWN)
                InterlockedIncrement(&self->xDowns_);
            else if (message == WM_MOUSEWHEEL)
                InterlockedIncrement(&self->wheels_);
            else if (message == WM_MBUTTONDOWN)
                InterlockedIncrement(&self->middleDowns_);
            else if (message == WM_XBUTTONUP || message == WM_MBUTTONUP)
                InterlockedIncrement(&self->ups_);
        }
        if (message == WM_DESTROY)
            PostQuitMessage(0);
        return DefWindowProcW(window, message, wParam, lParam);
    }
    HANDLE ready_ = nullptr;
    HANDLE thread_ = nullptr;
    HWND window_ = nullptr;
    volatile LONG xDowns_ = 0, wheels_ = 0, middleDowns_ = 0, ups_ = 0;
};

void MoveTo(POINT point) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(point.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(point.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
    Sleep(100);
}

// A button's down and up, or a wheel notch, as injected input; marked as
// the agent's own with `mark`.
void Mouse(DWORD downFlag, DWORD upFlag, DWORD data, ULONG_PTR mark = 0) {
    INPUT inputs[2] = {};
    for (INPUT& input : inputs) {
        input.type = INPUT_MOUSE;
        input.mi.mouseData = data;
        input.mi.dwExtraInfo = mark;
    }
    inputs[0].mi.dwFlags = downFlag;
    inputs[1].mi.dwFlags = upFlag;
    SendInput(upFlag ? 2 : 1, inputs, sizeof(INPUT));
}

void XButton(DWORD button, ULONG_PTR mark = 0) {
    Mouse(MOUSEEVENTF_XDOWN, MOUSEEVENTF_XUP, button, mark);
}

void Wheel(int delta, bool ctrl) {
    INPUT key = {};
    key.type = INPUT_KEYBOARD;
    key.ki.wVk = VK_CONTROL;
    if (ctrl)
        SendInput(1, &key, sizeof key);
    Mouse(MOUSEEVENTF_WHEEL, 0, static_cast<DWORD>(delta));
    key.ki.dwFlags = KEYEVENTF_KEYUP;
    if (ctrl)
        SendInput(1, &key, sizeof key);
}

} // namespace

TEST_F(AgentTest, MouseButtonsAndTheWheelRunTheirHotkeysAndTheRestReachesTheWindow) {
    Install(Library::None);
    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"Back", 0, VK_XBUTTON1));
    actions.Append(ProbeAction(0, log_, L"x1"));
    hotkeys.Append(MakeHotkey(L"Quieter", MOD_CONTROL, WHEEL_DOWN));
    actions.Append(ProbeAction(1, log_, L"wheel"));
    hotkeys.Append(MakeHotkey(L"Probe's middle", 0, VK_MBUTTON));
    actions.Append(ProgramsAction(2, PROGRAMS_ONLY_IN, L"launch_probe"));
    actions.Append(ProbeAction(2, log_, L"middle"));
    WriteStore(hotkeys, actions);
    ASSERT_TRUE(Start());
    EXPECT_EQ(1, SendMessageW(window(), AGENT_HOOKS, 0, 0)) << "mouse hotkeys: the hook is there";

    MouseWindow target;
    MoveTo(target.Centre());
    XButton(XBUTTON1);
    EXPECT_TRUE(WaitFor([&] { return RunsOf(ReadProbeLog(log_), L"x1").size() == 1; }));
    Wheel(-WHEEL_DELTA, /*ctrl=*/true);
    EXPECT_TRUE(WaitFor([&] { return RunsOf(ReadProbeLog(log_), L"wheel").size() == 1; }));
    Sleep(300);
    EXPECT_EQ(0, target.Count(WM_XBUTTONDOWN)) << "the button went to its hotkey alone";
    EXPECT_EQ(0, target.Count(WM_XBUTTONUP)) << "and so did its up";
    EXPECT_EQ(0, target.Count(WM_MOUSEWHEEL)) << "the notch went to its hotkey alone";

    // What no hotkey takes reaches the window: a plain notch, the other
    // button, the middle button outside its program, and the agent's own.
    Wheel(-WHEEL_DELTA, /*ctrl=*/false);
    XButton(XBUTTON2);
    Mouse(MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP, 0);
    XButton(XBUTTON1, AGENT_MARK);
    EXPECT_TRUE(WaitFor([&] {
        return target.Count(WM_MOUSEWHEEL) == 1 && target.Count(WM_XBUTTONDOWN) == 2 &&
               target.Count(WM_MBUTTONDOWN) == 1;
    })) << target.Count(WM_MOUSEWHEEL)
        << " " << target.Count(WM_XBUTTONDOWN) << " " << target.Count(WM_MBUTTONDOWN);
    EXPECT_EQ(1u, RunsOf(ReadProbeLog(log_), L"x1").size()) << "the agent's own input runs nothing";
    EXPECT_TRUE(RunsOf(ReadProbeLog(log_), L"middle").empty());

    // Over the probe's window, its own middle button runs there.
    PROCESS_INFORMATION process = {};
    HWND probe = StartProbeWindow(log_, L"window", &process);
    ASSERT_NE(nullptr, probe);
    RECT rect;
    GetWindowRect(probe, &rect);
    MoveTo({(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
    Mouse(MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP, 0);
    EXPECT_TRUE(WaitFor([&] { return RunsOf(ReadProbeLog(log_), L"middle").size() == 1; }));
    EXPECT_TRUE(CloseProbeWindow(probe, &process));
    EXPECT_TRUE(Alive());
}

TEST_F(AgentTest, OnlyMouseHotkeysHookTheMouseAndAPauseStopsAllButTheHotkeyThatResumes) {
    Install(Library::None);
    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"Keys", CTRL_ALT, VK_F9));
    actions.Append(ProbeAction(0, log_, L"key"));
    hotkeys.Append(MakeHotkey(L"Pause", CTRL_ALT, 'P'));
    actions.Append(CommandAction(1, 0x1A02));
    WriteStore(hotkeys, actions);
    ASSERT_TRUE(Start());
    EXPECT_EQ(0, SendMessageW(window(), AGENT_HOOKS, 0, 0)) << "keyboard hotkeys alone: no hook";

    hotkeys.Append(MakeHotkey(L"Back", 0, VK_XBUTTON1));
    actions.Append(ProbeAction(2, log_, L"x1"));
    WriteStore(hotkeys, actions);
    ASSERT_EQ(static_cast<LRESULT>(AGENT_RELOAD), Reload());
    EXPECT_EQ(1, SendMessageW(window(), AGENT_HOOKS, 0, 0));
    const int lit = CountTrayIconPixels();
    ASSERT_GT(lit, 0);

    // Paused by its hotkey: the keys and the button run nothing, the hook is
    // gone, and the icon is dimmed; a reload keeps the pause.
    MouseWindow target;
    MoveTo(target.Centre());
    PressCombination(CTRL_ALT, 'P');
    EXPECT_TRUE(WaitFor([&] { return SendMessageW(window(), AGENT_HOOKS, 0, 0) == 0; }));
    ASSERT_EQ(static_cast<LRESULT>(AGENT_RELOAD), Reload());
    EXPECT_EQ(0, SendMessageW(window(), AGENT_HOOKS, 0, 0)) << "still paused";
    EXPECT_TRUE(WaitFor([&] { return CountTrayIconPixels() < lit; })) << "the icon is dimmed";
    PressCombination(CTRL_ALT, VK_F9);
    XButton(XBUTTON1);
    EXPECT_TRUE(WaitFor([&] { return target.Count(WM_XBUTTONDOWN) == 1; })) << "the button passes";
    Sleep(300);
    EXPECT_TRUE(RunsOf(ReadProbeLog(log_), L"key").empty());
    EXPECT_TRUE(RunsOf(ReadProbeLog(log_), L"x1").empty());

    // The same hotkey resumes.
    PressCombination(CTRL_ALT, 'P');
    EXPECT_TRUE(WaitFor([&] { return SendMessageW(window(), AGENT_HOOKS, 0, 0) == 1; }));
    EXPECT_TRUE(WaitFor([&] { return CountTrayIconPixels() == lit; }));
    PressCombination(CTRL_ALT, VK_F9);
    XButton(XBUTTON1);
    EXPECT_TRUE(WaitFor([&] {
        const std::vector<ProbeRun> runs = ReadProbeLog(log_);
        return RunsOf(runs, L"key").size() == 1 && RunsOf(runs, L"x1").size() == 1;
    }));
    // And so does the agent's own message, as the tool sends it.
    EXPECT_EQ(1, SendMessageW(window(), AGENT_PAUSE, 1, 0));
    EXPECT_TRUE(WaitFor([&] { return SendMessageW(window(), AGENT_HOOKS, 0, 0) == 0; }));
    EXPECT_EQ(1, SendMessageW(window(), AGENT_PAUSE, 0, 0));
    EXPECT_EQ(1, SendMessageW(window(), AGENT_HOOKS, 0, 0));
    EXPECT_TRUE(Alive());
}
