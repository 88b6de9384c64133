// Presses and reloads that cross in the real agent: a press queued before a
// reload runs the hotkey that has its combination after it, or nothing; a
// reload that arrives while the agent is still starting leaves exactly the
// store that was written.
#include <windows.h>

#include <gtest/gtest.h>

#include "agent_harness.h"
#include "store.h"
#include "test_registry.h"

namespace {

const UINT CTRL_ALT = MOD_CONTROL | MOD_ALT;

} // namespace

TEST_F(AgentTest, APressQueuedBeforeAReloadRunsTheHotkeyWithItsCombination) {
    Install(Library::None);
    // Three stores the reloads switch between: the pressed hotkey first,
    // second, and gone.
    const HotkeyRecord pressed = MakeHotkey(L"Pressed", CTRL_ALT, VK_F9);
    const HotkeyRecord other = MakeHotkey(L"Other", CTRL_ALT, VK_F10);
    Hotkeys first, second, without;
    Actions firstActions, secondActions, withoutActions;
    first.Append(pressed);
    first.Append(other);
    firstActions.Append(ProbeAction(0, log_, L"p"));
    firstActions.Append(ProbeAction(1, log_, L"o"));
    second.Append(other);
    second.Append(pressed);
    secondActions.Append(ProbeAction(0, log_, L"o"));
    secondActions.Append(ProbeAction(1, log_, L"p"));
    without.Append(other);
    withoutActions.Append(ProbeAction(0, log_, L"o"));
    WriteStore(first, firstActions);
    ASSERT_TRUE(Start());

    // Each round saves the next store, presses while the agent still has the
    // old positions registered and reloads at once, so the presses wait in
    // the agent's queue behind the reload.
    const int rounds = 110;
    int expectedAtMost = 0;
    for (int round = 0; round < rounds; ++round) {
        const int next = (round + 1) % 3;
        if (next == 0)
            SaveStore(first, firstActions);
        else if (next == 1)
            SaveStore(second, secondActions);
        else
            SaveStore(without, withoutActions);
        PressCombination(CTRL_ALT, VK_F9);
        PressCombination(CTRL_ALT, VK_F9);
        expectedAtMost += 2;
        ASSERT_EQ(static_cast<LRESULT>(AGENT_RELOAD), Reload()) << round;
    }
    // Every probe started by then has logged within a few seconds.
    Sleep(3000);
    const std::vector<ProbeRun> runs = ReadProbeLog(log_);
    const size_t ranPressed = RunsOf(runs, L"p").size();
    const size_t ranOther = RunsOf(runs, L"o").size();
    printf("%d presses: %zu ran their hotkey, %zu ran another\n", expectedAtMost, ranPressed,
           ranOther);
    EXPECT_EQ(0u, ranOther) << "a press ran the hotkey that took its position";
    EXPECT_LE(ranPressed, static_cast<size_t>(expectedAtMost));
    EXPECT_GE(ranPressed, static_cast<size_t>(expectedAtMost / 4)) << "presses were lost";
    EXPECT_TRUE(Alive());
}

namespace {

struct ReloadSpammer {
    volatile LONG stop = 0;
    LONG answered = 0;
    HANDLE thread = nullptr;

    static DWORD WINAPI Run(void* parameter) {
        ReloadSpammer* self = static_cast<ReloadSpammer*>(parameter);
        while (!self->stop) {
            HWND agent = FindWindowW(L"PendrixOstrand", nullptr);
            DWORD_PTR reply = 0;
            if (agent &&
                SendMessageTimeoutW(agent, AGENT_RELOAD, 0, 0, SMTO_NORMAL, 10000, &reply) &&
                reply == AGENT_RELOAD)
                InterlockedIncrement(&self->answered);
            if (!agent)
                Sleep(0);
        }
        return 0;
    }
    void Begin() { thread = CreateThread(nullptr, 0, Run, this, 0, nullptr); }
    void End() {
        InterlockedExchange(&stop, 1);
        WaitForSingleObject(thread, 20000);
        CloseHandle(thread);
    }
};

} // namespace

TEST_F(AgentTest, ReloadsDuringStartUpLeaveExactlyTheWrittenStoreRegistered) {
    Install(Library::None);
    Hotkeys hotkeys;
    Actions actions;
    const UINT keys[3] = {VK_F9, VK_F10, VK_F11};
    for (UINT i = 0; i < 3; ++i) {
        hotkeys.Append(MakeHotkey((L"Start " + std::to_wstring(i)).c_str(), CTRL_ALT, keys[i]));
        actions.Append(ProbeAction(i, log_, (L"s" + std::to_wstring(i)).c_str()));
    }
    for (int attempt = 0; attempt < 3; ++attempt) {
        SCOPED_TRACE(attempt);
        WriteStore(hotkeys, actions);
        const auto written = SnapshotStore();
        // Reloads are sent from before the window exists until start-up is over.
        ReloadSpammer spammer;
        spammer.Begin();
        ASSERT_TRUE(Start());
        spammer.End();
        printf("reloads answered around start-up: %ld\n", spammer.answered);

        EXPECT_EQ(written, SnapshotStore()) << "the store is exactly as written";
        ASSERT_EQ(static_cast<LRESULT>(AGENT_RELOAD), Reload());
        EXPECT_EQ(written, SnapshotStore());
        for (UINT i = 0; i < 3; ++i) {
            EXPECT_TRUE(CombinationIsTaken(CTRL_ALT, keys[i])) << i;
            PressCombination(CTRL_ALT, keys[i]);
            EXPECT_TRUE(WaitFor([&] {
                return RunsOf(ReadProbeLog(log_), L"s" + std::to_wstring(i)).size() ==
                       static_cast<size_t>(attempt + 1);
            })) << i;
        }
        ASSERT_EQ(0u, Exit());
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
        process_ = {};
    }
}
