// The warning balloon about refused hotkeys, read back from the shell that
// shows it: Wine's tray draws a balloon as a tooltip window of its own,
// whose text is what the agent handed to the shell.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>

#include <gtest/gtest.h>

#include "agent_harness.h"

namespace {

const UINT CTRL_ALT = MOD_CONTROL | MOD_ALT;

} // namespace

TEST_F(AgentTest, AStartWithTakenCombinationsShowsOneWarningBalloonNamingThem) {
    Install(Library::StandIn);
    HeldCombinations taken(CTRL_ALT, {VK_F5, VK_F6, VK_F7, VK_F8, VK_F9});
    ASSERT_TRUE(taken.held());
    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"Free", CTRL_ALT, VK_F4));
    hotkeys.Append(MakeHotkey(L"Notes", CTRL_ALT, VK_F5));
    hotkeys.Append(MakeHotkey(L"Off anyway", CTRL_ALT, VK_F6, 0));
    hotkeys.Append(MakeHotkey(L"Mail", CTRL_ALT, VK_F7));
    hotkeys.Append(MakeHotkey(L"", CTRL_ALT, VK_F8));
    hotkeys.Append(MakeHotkey(L"Music", CTRL_ALT, VK_F9));
    WriteStore(hotkeys, actions);
    ASSERT_TRUE(Start());

    Balloon balloon = WaitForBalloon(8000);
    ASSERT_NE(nullptr, balloon.window) << "no balloon appeared";
    EXPECT_EQ(L"These hotkeys were disabled because another program uses their keys:\n"
              L"Notes (ALT + Ctrl + F5)\n"
              L"Mail (ALT + Ctrl + F7)\n"
              L"ALT + Ctrl + F8\n"
              L"and 1 more",
              balloon.text)
        << "a hotkey that was off already is not named";

    // A click on the balloon opens the configuration dialog. Wine's tray does
    // not pass that click on, so the test sends what the shell sends.
    SendMessageW(window(), AGENT_TRAY_CALLBACK, 0, NIN_BALLOONUSERCLICK);
    std::vector<std::wstring> calls = LibraryCalls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(L"Configure|", calls[0].substr(0, 10));
}

TEST_F(AgentTest, NoBalloonWhenAllRegisterOrAfterAReloadTheDialogAskedFor) {
    Install(Library::None);
    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"Free", CTRL_ALT, VK_F4));
    hotkeys.Append(MakeHotkey(L"Also free", CTRL_ALT, VK_F5));
    WriteStore(hotkeys, actions);
    ASSERT_TRUE(Start());
    EXPECT_EQ(nullptr, WaitForBalloon(4000).window) << "everything registered";

    // Keys held elsewhere are refused for hotkeys that wait for their
    // program too; keys that one of ours holds are no refusal.
    HeldCombinations taken(CTRL_ALT, {VK_F6, VK_F8});
    ASSERT_TRUE(taken.held());
    hotkeys.Append(MakeHotkey(L"Taken", CTRL_ALT, VK_F6));
    hotkeys.Append(MakeHotkey(L"Taken, for the probe", CTRL_ALT, VK_F8));
    actions.Append(ProgramsAction(3, PROGRAMS_ONLY_IN, L"launch_probe"));
    hotkeys.Append(MakeHotkey(L"Probe's own", CTRL_ALT, VK_F4));
    actions.Append(ProgramsAction(4, PROGRAMS_ONLY_IN, L"launch_probe"));
    WriteStore(hotkeys, actions);
    ASSERT_EQ(static_cast<LRESULT>(AGENT_RELOAD), Reload());
    std::vector<BYTE> enabled;
    for (const HotkeyRecord& hotkey : StoredHotkeys())
        enabled.push_back(hotkey.enabled);
    EXPECT_EQ((std::vector<BYTE>{1, 1, 0, 0, 1}), enabled);
    EXPECT_EQ(nullptr, WaitForBalloon(4000).window) << "the dialog shows it in its list";
}

TEST_F(AgentTest, AHotkeyRefusedWhenItsProgramComesToTheFrontIsToldAndStaysStoredOn) {
    Install(Library::None);
    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"Probe notes", CTRL_ALT, VK_F9));
    actions.Append(ProgramsAction(0, PROGRAMS_ONLY_IN, L"launch_probe"));
    actions.Append(ProbeAction(0, log_, L"notes"));
    WriteStore(hotkeys, actions);
    // Started with the test's own window in front: the hotkey waits for its
    // program, and its keys are free until another program takes them.
    FrontWindow front;
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == front.window(); }));
    ASSERT_TRUE(Start());
    HeldCombinations taken(CTRL_ALT, {VK_F9});
    ASSERT_TRUE(taken.held());

    PROCESS_INFORMATION process = {};
    HWND probeWindow = StartProbeWindow(log_, L"window", &process);
    ASSERT_NE(nullptr, probeWindow);
    Balloon balloon = WaitForBalloon(8000);
    ASSERT_NE(nullptr, balloon.window) << "no balloon appeared";
    EXPECT_EQ(L"This hotkey does not work in the program in front: another program uses its "
              L"keys:\nProbe notes (ALT + Ctrl + F9)",
              balloon.text);
    EXPECT_EQ(1, StoredHotkeys()[0].enabled) << "a refusal met later leaves the store";
    EXPECT_TRUE(CloseProbeWindow(probeWindow, &process));
    EXPECT_TRUE(Alive());
}
