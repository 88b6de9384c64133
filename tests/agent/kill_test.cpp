// A save killed at any instant loses nothing: the real agent is killed with
// TerminateProcess at points spread over its reload of a large store, and
// the real library over its save at the close of the dialog; each time the
// next load finds the whole old or the whole new list, byte for byte.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "agent_harness.h"
#include "store.h"
#include "test_registry.h"

namespace {

const UINT HOTKEYS = 200;
const UINT ACTIONS_PER_HOTKEY = 4;
const UINT ALL_THREE = MOD_CONTROL | MOD_ALT | MOD_SHIFT;

// A large list told apart by `round`. Every hotkey is enabled, but only 20
// combinations exist, so the agent's save after registration differs from
// the list it loaded: the old and the new store are not the same bytes.
void MakeRoundLists(UINT round, Hotkeys& hotkeys, Actions& actions) {
    hotkeys.Clear();
    actions.Clear();
    for (UINT i = 0; i < HOTKEYS; ++i) {
        const std::wstring title = L"Round " + std::to_wstring(round) + L" #" + std::to_wstring(i);
        hotkeys.Append(MakeHotkey(title.c_str(), ALL_THREE, 'A' + (i + round) % 20));
        for (UINT j = 0; j < ACTIONS_PER_HOTKEY; ++j) {
            ActionRecord action = {};
            action.owner = i;
            const std::wstring target = L"C:\\round" + std::to_wstring(round) + L"\\" +
                                        std::to_wstring(i) + L"\\" + std::to_wstring(j) + L".exe";
            CopyBoundedText(action.target, ACTION_PATH_CHARS, target.c_str());
            actions.Append(action);
        }
    }
}

// What the agent saves after loading the list: each combination registers
// once, the later hotkeys with it are stored disabled.
void AsRegistered(Hotkeys& hotkeys) {
    bool seen[20] = {};
    for (UINT i = 0; i < hotkeys.Count(); ++i) {
        HotkeyRecord& hotkey = hotkeys.At(i);
        const UINT slot = hotkey.virtualKey - 'A';
        if (hotkey.enabled == 1 && !seen[slot])
            seen[slot] = true;
        else
            hotkey.enabled = 0;
    }
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 /
           static_cast<double>(frequency.QuadPart);
}

enum Outcome { OUTCOME_OLD, OUTCOME_NEW, OUTCOME_OTHER };

// The next load, as the agent and the library make it.
Outcome NextLoad(const Hotkeys& oldHotkeys, const Actions& oldActions, const Hotkeys& newHotkeys,
                 const Actions& newActions) {
    Hotkeys hotkeys;
    Actions actions;
    LoadStore(nullptr, hotkeys, actions);
    if (SameRecords(hotkeys, actions, newHotkeys, newActions))
        return OUTCOME_NEW;
    if (SameRecords(hotkeys, actions, oldHotkeys, oldActions))
        return OUTCOME_OLD;
    printf("  loaded %u hotkeys and %u actions\n", hotkeys.Count(), actions.Count());
    return OUTCOME_OTHER;
}

class KillTest : public AgentTest {
  protected:
    void Kill() {
        TerminateProcess(process_.hProcess, 77);
        WaitForSingleObject(process_.hProcess, 10000);
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
        process_ = {};
        window_ = nullptr;
    }
    // Waits until the process has ended by itself; false after the limit.
    bool Ended(DWORD milliseconds) {
        return WaitForSingleObject(process_.hProcess, milliseconds) == WAIT_OBJECT_0;
    }
};

} // namespace

TEST_F(KillTest, AnAgentKilledDuringItsReloadLosesNoHotkey) {
    Install(Library::None);
    Hotkeys oldHotkeys, newHotkeys;
    Actions oldActions, newActions;

    // How long a reload takes as the kill rounds make it: a fresh agent on an
    // empty store reloads this store. The longest of three, so that the kill
    // points reach past the end of a slow one too.
    MakeRoundLists(0, oldHotkeys, oldActions);
    double reloadMs = 0;
    for (int i = 0; i < 3; ++i) {
        WriteStore(Hotkeys(), Actions());
        ASSERT_TRUE(Start());
        SaveStore(oldHotkeys, oldActions);
        LARGE_INTEGER t0, t1;
        QueryPerformanceCounter(&t0);
        ASSERT_EQ(static_cast<LRESULT>(AGENT_RELOAD), Reload());
        QueryPerformanceCounter(&t1);
        reloadMs = std::max(reloadMs, Milliseconds(t0, t1));
        Kill();
    }

    // Kill points spread evenly over the whole reload, its save included,
    // and past its end.
    const int kills = ProbeRounds(12, 50);
    int outcomes[3] = {};
    for (int k = 0; k < kills; ++k) {
        SCOPED_TRACE(k);
        const UINT round = static_cast<UINT>(k + 1);
        MakeRoundLists(round, oldHotkeys, oldActions);
        MakeRoundLists(round, newHotkeys, newActions);
        AsRegistered(newHotkeys);
        // The agent starts on an empty store, then reloads this round's.
        WriteStore(Hotkeys(), Actions());
        ASSERT_TRUE(Start());
        SaveStore(oldHotkeys, oldActions);
        // From at once to well after the end, both ends included whatever the count.
        const DWORD delay = static_cast<DWORD>(reloadMs * 1.5 * k / (kills - 1));
        PostMessageW(window_, AGENT_RELOAD, 0, 0);
        Sleep(delay);
        Kill();
        const Outcome outcome = NextLoad(oldHotkeys, oldActions, newHotkeys, newActions);
        ++outcomes[outcome];
        EXPECT_NE(OUTCOME_OTHER, outcome) << "killed " << delay << " ms into the reload";
        if (outcome == OUTCOME_OTHER)
            break;
    }
    printf("reload of %u hotkeys: %.0f ms; %d kills: %d found the old list, %d the new, %d "
           "neither\n",
           HOTKEYS, reloadMs, kills, outcomes[OUTCOME_OLD], outcomes[OUTCOME_NEW],
           outcomes[OUTCOME_OTHER]);
    EXPECT_GT(outcomes[OUTCOME_OLD], 0) << "no kill landed before the save was done";
    EXPECT_GT(outcomes[OUTCOME_NEW], 0) << "no kill landed after the save was done";

    // The agent starts on what is left and keeps it all.
    ASSERT_TRUE(Start());
    EXPECT_EQ(HOTKEYS, StoredHotkeys().size());
    EXPECT_EQ(std::vector<std::wstring>{L"HEADER"}, SubkeyNames(StorePath()))
        << "no helper key is left";
}

TEST_F(KillTest, TheLibraryKilledDuringItsSaveLosesNoHotkey) {
    Install(Library::Real);
    Hotkeys opened, replaced, start;
    Actions openedActions, replacedActions, startActions;

    // The dialog opens on the list the agent saved at start-up; then another
    // list is written behind its back, and closing the dialog saves the
    // first one over it. Killed during that save, the next load must find
    // one of the two whole.
    auto openDialog = [&](UINT round) -> HWND {
        MakeRoundLists(round, start, startActions);
        WriteStore(start, startActions);
        if (!Start(L""))
            return nullptr;
        HWND dialog = nullptr;
        WaitFor([&] {
            return (dialog = FindWindowW(L"#32770", L"Pendrix    ostrand online")) != nullptr;
        });
        return dialog;
    };

    // How long the close takes, from the click to the end of the save.
    double closeMs = 0;
    for (int i = 0; i < 2; ++i) {
        HWND dialog = openDialog(1000);
        ASSERT_NE(nullptr, dialog);
        LARGE_INTEGER t0, t1;
        QueryPerformanceCounter(&t0);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }, 20000));
        // The save runs while the dialog is destroyed; the agent goes on after.
        ASSERT_TRUE(WaitFor([&] { return StoredHotkeys().size() == HOTKEYS; }, 20000));
        QueryPerformanceCounter(&t1);
        const double ms = Milliseconds(t0, t1);
        if (closeMs == 0 || ms < closeMs)
            closeMs = ms;
        Kill();
    }

    const int kills = ProbeRounds(6, 20);
    int outcomes[3] = {};
    for (int k = 0; k < kills; ++k) {
        SCOPED_TRACE(k);
        const UINT round = static_cast<UINT>(k + 1);
        HWND dialog = openDialog(round);
        ASSERT_NE(nullptr, dialog);
        // What the dialog holds: the agent's save of this round.
        MakeRoundLists(round, opened, openedActions);
        AsRegistered(opened);
        MakeRoundLists(round + 500, replaced, replacedActions);
        SaveStore(replaced, replacedActions);
        const DWORD delay = static_cast<DWORD>(closeMs * 1.2 * k / (kills - 1));
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        Sleep(delay);
        Kill();
        const Outcome outcome = NextLoad(replaced, replacedActions, opened, openedActions);
        ++outcomes[outcome];
        EXPECT_NE(OUTCOME_OTHER, outcome) << "killed " << delay << " ms into the close";
        if (outcome == OUTCOME_OTHER)
            break;
    }
    printf("dialog close with a save of %u hotkeys: %.0f ms; %d kills: %d found the old list, "
           "%d the new, %d neither\n",
           HOTKEYS, closeMs, kills, outcomes[OUTCOME_OLD], outcomes[OUTCOME_NEW],
           outcomes[OUTCOME_OTHER]);
    EXPECT_GT(outcomes[OUTCOME_OLD], 0);
    EXPECT_GT(outcomes[OUTCOME_NEW], 0);
}
