// Hotkeys for chosen programs, pressed for real with a window of the test's
// own or of the launch probe in front.
#include <windows.h>

#include <gtest/gtest.h>

#include "agent_harness.h"

namespace {

const UINT CTRL_ALT = MOD_CONTROL | MOD_ALT;

} // namespace

TEST_F(AgentTest, HotkeysForChosenProgramsRunOnlyInTheirProgramsAndLeaveTheKeysToOthers) {
    Install(Library::None);
    struct Row {
        const wchar_t* tag;
        UINT key;
        int mode; // -1: every program
        const wchar_t* entries;
    } rows[] = {
        {L"inprobe", VK_F5, PROGRAMS_ONLY_IN, L"notepad; LAUNCH_PROBE"},
        {L"intests", VK_F5, PROGRAMS_ONLY_IN, L"agent_tests.exe"},
        {L"notintests", VK_F6, PROGRAMS_NOT_IN, L"agent_tests"},
        {L"everywhere", VK_F7, -1, L""},
        {L"outranks", VK_F7, PROGRAMS_ONLY_IN, L"launch_probe.exe"},
    };
    Hotkeys hotkeys;
    Actions actions;
    for (UINT n = 0; n < ARRAYSIZE(rows); ++n) {
        hotkeys.Append(MakeHotkey(rows[n].tag, CTRL_ALT, rows[n].key));
        if (rows[n].mode >= 0)
            actions.Append(ProgramsAction(n, static_cast<UINT>(rows[n].mode), rows[n].entries));
        actions.Append(ProbeAction(n, log_, rows[n].tag));
    }
    WriteStore(hotkeys, actions);
    ASSERT_TRUE(Start());
    auto runs = [&](const wchar_t* tag) { return RunsOf(ReadProbeLog(log_), tag).size(); };
    auto expectRuns = [&](std::initializer_list<size_t> counts) {
        // Each press's run shows up, and no other.
        std::vector<size_t> expected(counts);
        std::vector<size_t> now;
        WaitFor([&] {
            now.clear();
            for (const Row& row : rows)
                now.push_back(runs(row.tag));
            return now == expected;
        });
        Sleep(300);
        now.clear();
        for (const Row& row : rows)
            now.push_back(runs(row.tag));
        EXPECT_EQ(expected, now);
    };

    // The probe's window in front.
    PROCESS_INFORMATION process = {};
    HWND probeWindow = StartProbeWindow(log_, L"window", &process);
    ASSERT_NE(nullptr, probeWindow);
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == probeWindow; }));
    Sleep(300);
    PressCombination(CTRL_ALT, VK_F5);
    PressCombination(CTRL_ALT, VK_F6);
    PressCombination(CTRL_ALT, VK_F7);
    expectRuns({1, 0, 1, 0, 1});

    {
        // The test's own window in front: the other hotkey of F5 runs, F6's
        // keys reach the window, F7's unlimited hotkey is back.
        FrontWindow front;
        ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == front.window(); }));
        Sleep(300);
        PressCombination(CTRL_ALT, VK_F5);
        PressCombination(CTRL_ALT, VK_F6);
        PressCombination(CTRL_ALT, VK_F7);
        expectRuns({1, 1, 1, 1, 1});
        EXPECT_TRUE(Has(front.KeysDown(), L"Ctrl+Alt+0x75"))
            << "the keys of a hotkey for other programs reach the program in front";
    }

    // Back to the probe, the registrations follow.
    SetForegroundWindow(probeWindow);
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == probeWindow; }));
    Sleep(300);
    PressCombination(CTRL_ALT, VK_F5);
    expectRuns({2, 1, 1, 1, 1});

    {
        // A window that comes back to the front unannounced (Wine says nothing
        // when it keeps the focus it had): the press finds it out, and its
        // keys go on to that window instead of running the probe's hotkey.
        FrontWindow front;
        PROCESS_INFORMATION second = {};
        HWND secondWindow = StartProbeWindow(log_, L"second", &second);
        ASSERT_NE(nullptr, secondWindow);
        ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == secondWindow; }));
        Sleep(300);
        SetForegroundWindow(front.window());
        ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == front.window(); }));
        PressCombination(CTRL_ALT, VK_F6);
        EXPECT_TRUE(WaitFor([&] { return Has(front.KeysDown(), L"Ctrl+Alt+0x75"); }));
        expectRuns({2, 1, 1, 1, 1});
        EXPECT_TRUE(CloseProbeWindow(secondWindow, &second));
    }
    EXPECT_TRUE(CloseProbeWindow(probeWindow, &process));
    EXPECT_TRUE(Alive());
    EXPECT_EQ(5u, StoredHotkeys().size());
}
