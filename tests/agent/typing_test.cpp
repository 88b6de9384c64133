// Typing actions and the options of open actions, pressed for real against
// the real agent, into windows of the test's own and the launch probe's.
#include <windows.h>

#include <gtest/gtest.h>

#include "agent_harness.h"

namespace {

const UINT CTRL_ALT = MOD_CONTROL | MOD_ALT;

bool AnyModifierDown() {
    return GetAsyncKeyState(VK_CONTROL) < 0 || GetAsyncKeyState(VK_MENU) < 0 ||
           GetAsyncKeyState(VK_SHIFT) < 0 || GetAsyncKeyState(VK_LWIN) < 0;
}

} // namespace

TEST_F(AgentTest, AHotkeyTypesItsTextIntoTheProgramInFront) {
    Install(Library::None);
    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"Signature", CTRL_ALT, VK_F8));
    hotkeys.Append(MakeHotkey(L"Typed by the first", CTRL_ALT, VK_F11));
    ActionRecord type = {};
    type.kind = ACTION_TYPE_TEXT;
    CopyBoundedText(type.target, ACTION_PATH_CHARS,
                    L"Caf\x00E9 \x20AC \x4E2D \U0001F600 {{x}}\r\nline{Tab}end\t{Ctrl + Alt + F11}"
                    L"{ctrl+a}");
    actions.Append(type);
    actions.Append(ProbeAction(1, log_, L"own"));
    // A text that waits, then types the agent's own combination; a hotkey
    // for the probe, so that the agent follows the window in front.
    hotkeys.Append(MakeHotkey(L"Typed later", CTRL_ALT, VK_F9));
    type.owner = 2;
    CopyBoundedText(type.target, ACTION_PATH_CHARS,
                    L"{Sleep 2500}{Ctrl + Alt + F11}{Ctrl + Alt + F3}done");
    actions.Append(type);
    hotkeys.Append(MakeHotkey(L"In the probe", CTRL_ALT, VK_F3));
    actions.Append(ProgramsAction(3, PROGRAMS_ONLY_IN, L"launch_probe"));
    actions.Append(ProbeAction(3, log_, L"inprobe"));
    WriteStore(hotkeys, actions);
    ASSERT_TRUE(Start());

    FrontWindow front(ES_MULTILINE | ES_WANTRETURN);
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == front.window(); }));
    PressCombination(CTRL_ALT, VK_F8);
    const std::wstring expected = L"Caf\x00E9 \x20AC \x4E2D \U0001F600 {x}\r\nline\tend\t";
    EXPECT_TRUE(WaitFor([&] { return front.Text() == expected; }))
        << "typed as it is; " << WindowsInFront();
    EXPECT_TRUE(WaitFor([&] { return Has(front.KeysDown(), L"Ctrl+0x41"); })) << "{ctrl+a}";
    const std::vector<std::wstring> keys = front.KeysDown();
    EXPECT_TRUE(Has(keys, L"0x0D")) << "the line break pressed Enter";
    EXPECT_EQ(2, std::count(keys.begin(), keys.end(), L"0x09")) << "{Tab} and a tab";
    EXPECT_TRUE(Has(keys, L"Ctrl+Alt+0x7A")) << "the agent's own combination reached the program";
    EXPECT_FALSE(AnyModifierDown()) << "nothing is left pressed";
    Sleep(300);
    EXPECT_TRUE(RunsOf(ReadProbeLog(log_), L"own").empty()) << "and did not run its hotkey";

    // The hotkey that stepped aside works again.
    PressCombination(CTRL_ALT, VK_F11);
    EXPECT_TRUE(WaitFor([&] { return RunsOf(ReadProbeLog(log_), L"own").size() == 1; }));

    // Another program comes to the front, and another writer's change is
    // reloaded, while a text waits to be typed: the hotkeys whose keys it
    // types, that program's own among them, stay aside until it is done.
    PressCombination(CTRL_ALT, VK_F9);
    PROCESS_INFORMATION process = {};
    HWND probeWindow = StartProbeWindow(log_, L"window", &process);
    ASSERT_NE(nullptr, probeWindow);
    EXPECT_EQ(static_cast<LRESULT>(AGENT_RELOAD), Reload());
    HWND probeEdit = FindWindowExW(probeWindow, nullptr, L"EDIT", nullptr);
    EXPECT_TRUE(WaitFor([&] {
        wchar_t typed[16] = {};
        SendMessageW(probeEdit, WM_GETTEXT, ARRAYSIZE(typed), reinterpret_cast<LPARAM>(typed));
        return lstrcmpW(typed, L"done") == 0;
    }));
    Sleep(300);
    EXPECT_EQ(1u, RunsOf(ReadProbeLog(log_), L"own").size()) << "typed, not run";
    EXPECT_TRUE(RunsOf(ReadProbeLog(log_), L"inprobe").empty()) << "nor the probe's own";
    EXPECT_TRUE(CloseProbeWindow(probeWindow, &process));
    EXPECT_TRUE(Alive());
}

TEST_F(AgentTest, SwitchToItBringsTheRunningProgramAndStartStatesReachIt) {
    Install(Library::None);
    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"Editor", CTRL_ALT, VK_F6));
    hotkeys.Append(MakeHotkey(L"Small", CTRL_ALT, VK_F7));
    hotkeys.Append(MakeHotkey(L"Large", CTRL_ALT, VK_F9));
    ActionRecord editor = ProbeAction(0, log_, L"editor", 60000, L"", L"window");
    editor.commandCode = OPEN_SWITCH_IF_RUNNING;
    actions.Append(editor);
    ActionRecord small = ProbeAction(1, log_, L"small");
    small.commandCode = OPEN_WINDOW_MINIMIZED;
    actions.Append(small);
    ActionRecord large = ProbeAction(2, log_, L"large");
    large.commandCode = OPEN_WINDOW_MAXIMIZED;
    actions.Append(large);
    // A name the shell finds through App Paths, where the path is quoted and
    // names a copy in another folder: a program named without a folder
    // counts wherever it runs from.
    hotkeys.Append(MakeHotkey(L"By name", CTRL_ALT, VK_F8));
    ActionRecord byName = ProbeAction(3, log_, L"byname");
    byName.commandCode = OPEN_SWITCH_IF_RUNNING;
    CopyBoundedText(byName.target, ACTION_PATH_CHARS, L"pendrix-probe-alias.exe");
    actions.Append(byName);
    const wchar_t* const aliasKey =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\pendrix-probe-alias.exe";
    const std::wstring quoted = L"\"C:\\Program Files\\Elsewhere\\launch_probe.exe\"";
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetKeyValueW(HKEY_CURRENT_USER, aliasKey, nullptr, REG_SZ, quoted.c_str(),
                              static_cast<DWORD>((quoted.size() + 1) * sizeof(wchar_t))));
    WriteStore(hotkeys, actions);
    ASSERT_TRUE(Start());

    // Not running: it starts.
    PressCombination(CTRL_ALT, VK_F6);
    HWND probe = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        probe = FindWindowW(L"PendrixLaunchProbe", L"editor");
        return probe && IsWindowVisible(probe);
    }));
    {
        // Running, with another window in front, minimized or not: it comes
        // to the front, and no second copy starts.
        FrontWindow front;
        ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == front.window(); }));
        PressCombination(CTRL_ALT, VK_F6);
        EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == probe; }));
        ShowWindow(probe, SW_MINIMIZE);
        SetForegroundWindow(front.window());
        ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == front.window(); }));
        PressCombination(CTRL_ALT, VK_F6);
        EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == probe && !IsIconic(probe); }));
        ShowWindow(probe, SW_MINIMIZE);
        SetForegroundWindow(front.window());
        ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == front.window(); }));
        PressCombination(CTRL_ALT, VK_F8);
        EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == probe && !IsIconic(probe); }))
            << "found by its name";
        // Two windows of it: each press brings the other.
        PROCESS_INFORMATION second;
        const HWND other = StartProbeWindow(log_, L"editor2", &second);
        ASSERT_TRUE(other);
        ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == other; }));
        PressCombination(CTRL_ALT, VK_F6);
        EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == probe; })) << WindowsInFront();
        PressCombination(CTRL_ALT, VK_F6);
        EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == other; })) << WindowsInFront();
        EXPECT_TRUE(CloseProbeWindow(other, &second));
        Sleep(300);
        const std::vector<ProbeRun> runs = ReadProbeLog(log_);
        EXPECT_EQ(1u, RunsOf(runs, L"editor").size()) << "started once";
        EXPECT_EQ(0u, RunsOf(runs, L"byname").size());
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, aliasKey);
    PostMessageW(probe, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return RunsOf(ReadProbeLog(log_), L"editor")[0].ended != 0; }));

    // The show state a program starts with.
    PressCombination(CTRL_ALT, VK_F7);
    PressCombination(CTRL_ALT, VK_F9);
    std::vector<ProbeRun> runs;
    ASSERT_TRUE(WaitFor([&] {
        runs = ReadProbeLog(log_);
        return RunsOf(runs, L"small").size() == 1 && RunsOf(runs, L"large").size() == 1;
    }));
    EXPECT_EQ(SW_SHOWMINIMIZED, RunsOf(runs, L"small")[0].show);
    EXPECT_EQ(SW_SHOWMAXIMIZED, RunsOf(runs, L"large")[0].show);
}

namespace {

// The combination held down: the key goes down again at the keyboard's
// repeat, `repeats` times, before all is let go.
void HoldCombination(UINT modifiers, UINT key, int repeats) {
    auto send = [](WORD virtualKey, bool up) {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = virtualKey;
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        SendInput(1, &input, sizeof input);
    };
    if (modifiers & MOD_CONTROL)
        send(VK_CONTROL, false);
    if (modifiers & MOD_ALT)
        send(VK_MENU, false);
    // The first repeat follows the keyboard's delay, the others its speed.
    DWORD delay = 1;
    SystemParametersInfoW(SPI_GETKEYBOARDDELAY, 0, &delay, 0);
    send(static_cast<WORD>(key), false);
    Sleep((delay + 1) * 250);
    for (int n = 0; n < repeats; ++n) {
        send(static_cast<WORD>(key), false);
        Sleep(35);
    }
    send(static_cast<WORD>(key), true);
    if (modifiers & MOD_ALT)
        send(VK_MENU, true);
    if (modifiers & MOD_CONTROL)
        send(VK_CONTROL, true);
}

} // namespace

TEST_F(AgentTest, AHeldHotkeyTypesAndTogglesOncePerPress) {
    Install(Library::None);
    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"Signature", CTRL_ALT, VK_F8));
    actions.Append(TypingAction(0, L"Ann"));
    hotkeys.Append(MakeHotkey(L"On top", CTRL_ALT, VK_F9));
    actions.Append(CommandAction(1, 0x0C10));
    actions.Append(ProbeAction(1, log_, L"held"));
    WriteStore(hotkeys, actions);
    ASSERT_TRUE(Start());

    FrontWindow front;
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == front.window(); }));
    HoldCombination(CTRL_ALT, VK_F8, 12);
    ASSERT_TRUE(WaitFor([&] { return front.Text().size() >= 3; })) << WindowsInFront();
    HoldCombination(CTRL_ALT, VK_F9, 12);
    Sleep(500);
    EXPECT_EQ(L"Ann", front.Text()) << "typed once, however long the keys were held";
    EXPECT_NE(0, GetWindowLongW(front.window(), GWL_EXSTYLE) & WS_EX_TOPMOST)
        << "toggled once, not back and forth";
    EXPECT_EQ(1u, RunsOf(ReadProbeLog(log_), L"held").size()) << "run once";
    // A new press is a new run.
    PressCombination(CTRL_ALT, VK_F8);
    EXPECT_TRUE(WaitFor([&] { return front.Text() == L"AnnAnn"; }));
    PressCombination(CTRL_ALT, VK_F9);
    EXPECT_TRUE(
        WaitFor([&] { return !(GetWindowLongW(front.window(), GWL_EXSTYLE) & WS_EX_TOPMOST); }));
    EXPECT_TRUE(WaitFor([&] { return RunsOf(ReadProbeLog(log_), L"held").size() == 2; }));
}
