// The agent end to end: a real pendrixd.exe process, the real registry and
// real key presses inside the Wine desktop.
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include "agent_harness.h"
#include "store.h"
#include "test_registry.h"

namespace {

const UINT CTRL_ALT = MOD_CONTROL | MOD_ALT;

// Every key event of the desktop, seen by a low-level keyboard hook on a
// thread of its own.
class KeyboardWatch {
  public:
    struct Event {
        DWORD key;
        bool up;
        ULONG_PTR extra;
    };
    KeyboardWatch() {
        InitializeCriticalSection(&lock_);
        instance_ = this;
        ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = CreateThread(nullptr, 0, Run, this, 0, &threadId_);
        WaitForSingleObject(ready_, 5000);
    }
    ~KeyboardWatch() {
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        WaitForSingleObject(thread_, 5000);
        CloseHandle(thread_);
        CloseHandle(ready_);
        DeleteCriticalSection(&lock_);
        instance_ = nullptr;
    }
    std::vector<Event> Events() {
        EnterCriticalSection(&lock_);
        std::vector<Event> copy = events_;
        LeaveCriticalSection(&lock_);
        return copy;
    }
    bool hooked() const { return hooked_; }

  private:
    static DWORD WINAPI Run(void* parameter) {
        auto* self = static_cast<KeyboardWatch*>(parameter);
        HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, Hook, GetModuleHandleW(nullptr), 0);
        self->hooked_ = hook != nullptr;
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE); // the thread's queue exists
        SetEvent(self->ready_);
        while (GetMessageW(&message, nullptr, 0, 0) > 0)
            DispatchMessageW(&message);
        if (hook)
            UnhookWindowsHookEx(hook);
        return 0;
    }
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HC_ACTION && instance_) {
            const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
            EnterCriticalSection(&instance_->lock_);
            instance_->events_.push_back(
                {key->vkCode, wParam == WM_KEYUP || wParam == WM_SYSKEYUP, key->dwExtraInfo});
            LeaveCriticalSection(&instance_->lock_);
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    static KeyboardWatch* instance_;
    CRITICAL_SECTION lock_;
    HANDLE ready_ = nullptr;
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    bool hooked_ = false;
    std::vector<Event> events_;
};
KeyboardWatch* KeyboardWatch::instance_ = nullptr;

HWND FindVisiblePopupMenu() {
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"#32768", nullptr)) != nullptr;) {
        if (IsWindowVisible(w))
            return w;
    }
    return nullptr;
}

} // namespace

TEST_F(AgentTest, FirstStartWritesTheDefaultsAndTheQuotedRunValueAndRegisters) {
    Install(Library::None);
    ASSERT_TRUE(Start());

    std::vector<HotkeyRecord> stored = StoredHotkeys();
    ASSERT_EQ(6u, stored.size());
    const BYTE enabled[6] = {1, 1, 1, 1, 1, 0};
    for (UINT i = 0; i < 6; ++i)
        EXPECT_EQ(enabled[i], stored[i].enabled) << i;
    EXPECT_EQ(L"\"" + AgentPath() + L"\" /background", ReadAutostartValue());
    EXPECT_NE(std::wstring::npos, AgentPath().find(L' ')) << "the install path has a blank";

    // The five enabled defaults are held by the agent; the disabled one is free.
    EXPECT_TRUE(CombinationIsTaken(MOD_ALT | MOD_CONTROL, VK_F7));
    EXPECT_TRUE(CombinationIsTaken(MOD_CONTROL | MOD_SHIFT, 'I'));
    EXPECT_TRUE(CombinationIsTaken(MOD_CONTROL | MOD_SHIFT, 'C'));
    EXPECT_TRUE(CombinationIsTaken(MOD_CONTROL | MOD_SHIFT, 'M'));
    EXPECT_TRUE(CombinationIsTaken(MOD_CONTROL | MOD_SHIFT, 'G'));
    EXPECT_FALSE(CombinationIsTaken(MOD_ALT | MOD_CONTROL | MOD_SHIFT, VK_BACK));

    // Exit: code 0, the store left exactly as it was, every combination freed.
    auto before = SnapshotStore();
    EXPECT_EQ(0u, Exit());
    EXPECT_EQ(before, SnapshotStore());
    EXPECT_FALSE(CombinationIsTaken(MOD_CONTROL | MOD_SHIFT, 'I'));
    EXPECT_EQ(nullptr, FindWindowW(L"PendrixOstrand", nullptr));
}

TEST_F(AgentTest, ASecondStartExitsWithZeroAndChangesNothing) {
    Install(Library::StandIn);
    ASSERT_TRUE(Start(L"/BackGround"));
    auto before = SnapshotStore();
    for (const wchar_t* arguments : {L"/background", L"/BACKGROUND", L"", L"/background extra"}) {
        SCOPED_TRACE(testing::Message()
                     << "arguments: " << std::string(arguments, arguments + wcslen(arguments)));
        EXPECT_EQ(0u, RunSecondInstance(arguments));
    }
    EXPECT_EQ(before, SnapshotStore());
    EXPECT_TRUE(Alive());
    int windows = 0;
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"PendrixOstrand", nullptr)) != nullptr;)
        ++windows;
    EXPECT_EQ(1, windows);
    EXPECT_TRUE(LibraryCalls().empty()) << "no second instance opened a dialog";
}

TEST_F(AgentTest, TheBackgroundArgumentMustBeTheWholeTail) {
    Install(Library::StandIn);
    struct Case {
        const wchar_t* arguments;
        bool opensDialog;
    };
    for (const Case& c : {Case{L"/bAcKgRoUnD", false}, Case{L"", true}, Case{L"/background ", true},
                          Case{L"/background x", true}, Case{L"-background", true}}) {
        SCOPED_TRACE(testing::Message()
                     << std::string(c.arguments, c.arguments + wcslen(c.arguments)) << "|");
        DeleteFileW((installFolder_ + L"calls.log").c_str());
        ASSERT_TRUE(Start(c.arguments));
        if (c.opensDialog) {
            ASSERT_TRUE(WaitFor([this] { return LibraryCalls().size() >= 2; }));
            EXPECT_EQ(L"Configure|", LibraryCalls()[0].substr(0, 10));
        } else {
            Sleep(300);
            EXPECT_TRUE(LibraryCalls().empty());
        }
        EXPECT_EQ(0u, Exit());
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
        process_ = {};
    }
}

TEST_F(AgentTest, RegistrationSkipsOddBytesAndStoresRefusedHotkeysDisabled) {
    Install(Library::None);
    HeldCombinations taken(CTRL_ALT, {VK_F10});
    ASSERT_TRUE(taken.held());
    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"Free", CTRL_ALT, VK_F9));
    hotkeys.Append(MakeHotkey(L"Taken", CTRL_ALT, VK_F10));
    hotkeys.Append(MakeHotkey(L"Odd byte", CTRL_ALT, VK_F11, 2));
    hotkeys.Append(MakeHotkey(L"Off", CTRL_ALT, VK_F12, 0));
    WriteStore(hotkeys, actions);

    ASSERT_TRUE(Start());
    std::vector<HotkeyRecord> stored = StoredHotkeys();
    ASSERT_EQ(4u, stored.size());
    EXPECT_EQ(1, stored[0].enabled);
    EXPECT_EQ(0, stored[1].enabled) << "refused, so stored disabled";
    EXPECT_EQ(2, stored[2].enabled) << "never registered, left as it was";
    EXPECT_EQ(0, stored[3].enabled);
    EXPECT_TRUE(CombinationIsTaken(CTRL_ALT, VK_F9));
    EXPECT_FALSE(CombinationIsTaken(CTRL_ALT, VK_F11));
    EXPECT_FALSE(CombinationIsTaken(CTRL_ALT, VK_F12));
    EXPECT_TRUE(ReadAutostartValue().empty()) << "an existing store is not reset";
}

TEST_F(AgentTest, ReloadAnswersAfterRegisteringTheNewStore) {
    Install(Library::None);
    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"Old", CTRL_ALT, VK_F9));
    WriteStore(hotkeys, actions);
    ASSERT_TRUE(Start());
    ASSERT_TRUE(CombinationIsTaken(CTRL_ALT, VK_F9));

    HeldCombinations taken(CTRL_ALT, {VK_F11});
    Hotkeys next;
    Actions nextActions;
    next.Append(MakeHotkey(L"New", CTRL_ALT, VK_F10));
    next.Append(MakeHotkey(L"Taken", CTRL_ALT, VK_F11));
    nextActions.Append(ProbeAction(0, log_, L"new"));
    WriteStore(next, nextActions);

    EXPECT_EQ(static_cast<LRESULT>(AGENT_RELOAD), Reload());
    // By the time the answer arrives everything is registered and saved.
    EXPECT_FALSE(CombinationIsTaken(CTRL_ALT, VK_F9));
    EXPECT_TRUE(CombinationIsTaken(CTRL_ALT, VK_F10));
    std::vector<HotkeyRecord> stored = StoredHotkeys();
    ASSERT_EQ(2u, stored.size());
    EXPECT_EQ(1, stored[0].enabled);
    EXPECT_EQ(0, stored[1].enabled);

    PressCombination(CTRL_ALT, VK_F10);
    EXPECT_TRUE(WaitFor([this] { return RunsOf(ReadProbeLog(log_), L"new").size() == 1; }));
}

TEST_F(AgentTest, APressRunsItsOwnActionsInOrderWithParametersAndFolder) {
    Install(Library::None);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring first = installFolder_ + L"first folder";
    std::wstring second = installFolder_ + L"second";
    CreateDirectoryW(first.c_str(), nullptr);
    CreateDirectoryW(second.c_str(), nullptr);

    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"Runs", CTRL_ALT, VK_F9, 1, /*runSequentially=*/1));
    hotkeys.Append(MakeHotkey(L"Other", CTRL_ALT, VK_F10));
    hotkeys.Append(MakeHotkey(L"Empty", CTRL_ALT, VK_F11));
    actions.Append(ProbeAction(0, log_, L"a", 0, first, L"--flag \"two words\""));
    actions.Append(ProbeAction(1, log_, L"other"));
    ActionRecord unknown = ProbeAction(0, log_, L"unknown");
    unknown.kind = 7;
    actions.Append(unknown);
    actions.Append(ProbeAction(0, log_, L"b", 0, second));
    actions.Append(ProbeAction(0, log_, L"c"));
    WriteStore(hotkeys, actions);
    ASSERT_TRUE(Start());

    PressCombination(CTRL_ALT, VK_F11); // no actions: nothing happens
    PressCombination(CTRL_ALT, VK_F9);
    ASSERT_TRUE(WaitFor([this] {
        auto c = RunsOf(ReadProbeLog(log_), L"c");
        return c.size() == 1 && c[0].ended != 0;
    }));
    Sleep(200);
    std::vector<ProbeRun> runs = ReadProbeLog(log_);
    ASSERT_EQ(3u, runs.size()) << "only the pressed hotkey's actions of known kinds";
    EXPECT_EQ(L"a", runs[0].tag);
    EXPECT_EQ(L"b", runs[1].tag);
    EXPECT_EQ(L"c", runs[2].tag);
    EXPECT_LE(runs[0].ended, runs[1].started);
    EXPECT_LE(runs[1].ended, runs[2].started);
    EXPECT_NE(std::wstring::npos, runs[0].commandLine.find(L"--flag \"two words\""));
    EXPECT_EQ(0, lstrcmpiW(first.c_str(), runs[0].folder.c_str())) << runs[0].folder.c_str();
    EXPECT_EQ(0, lstrcmpiW(second.c_str(), runs[1].folder.c_str()));
    EXPECT_TRUE(Alive());
}

TEST_F(AgentTest, SequentialRunsWaitForEachProgramAndParallelOnesDoNot) {
    Install(Library::None);
    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"Sequential", CTRL_ALT, VK_F9, 1, 1));
    hotkeys.Append(MakeHotkey(L"Parallel", CTRL_ALT, VK_F10, 1, 0));
    actions.Append(ProbeAction(0, log_, L"s1", 800));
    actions.Append(ProbeAction(0, log_, L"s2"));
    actions.Append(ProbeAction(1, log_, L"p1", 800));
    actions.Append(ProbeAction(1, log_, L"p2"));
    WriteStore(hotkeys, actions);
    ASSERT_TRUE(Start());

    PressCombination(CTRL_ALT, VK_F9);
    PressCombination(CTRL_ALT, VK_F10);
    ASSERT_TRUE(WaitFor([this] {
        std::vector<ProbeRun> runs = ReadProbeLog(log_);
        int ended = 0;
        for (const ProbeRun& run : runs)
            ended += run.ended != 0;
        return runs.size() == 4 && ended == 4;
    }));
    std::vector<ProbeRun> runs = ReadProbeLog(log_);
    ProbeRun s1 = RunsOf(runs, L"s1")[0], s2 = RunsOf(runs, L"s2")[0];
    ProbeRun p1 = RunsOf(runs, L"p1")[0], p2 = RunsOf(runs, L"p2")[0];
    EXPECT_GE(s2.started, s1.ended) << "the second waits for the first";
    EXPECT_LT(p2.started, p1.ended) << "parallel actions do not wait";
}

TEST_F(AgentTest, ARunningJobSurvivesAReloadAndLaterPressesRunTheNewHotkeys) {
    Install(Library::None);
    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"Long", CTRL_ALT, VK_F9, 1, 1));
    actions.Append(ProbeAction(0, log_, L"long", 1500));
    actions.Append(ProbeAction(0, log_, L"afterlong"));
    WriteStore(hotkeys, actions);
    ASSERT_TRUE(Start());

    PressCombination(CTRL_ALT, VK_F9);
    ASSERT_TRUE(WaitFor([this] { return RunsOf(ReadProbeLog(log_), L"long").size() == 1; }));

    // Replace the store under the running job: more hotkeys and actions, so
    // the arrays are freed and grown elsewhere.
    Hotkeys next;
    Actions nextActions;
    next.Append(MakeHotkey(L"Replaced", CTRL_ALT, VK_F10));
    for (int i = 0; i < 20; ++i)
        next.Append(MakeHotkey(L"Filler", CTRL_ALT | MOD_SHIFT, 'A' + i, 0));
    nextActions.Append(ProbeAction(0, log_, L"replaced"));
    WriteStore(next, nextActions);
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(static_cast<LRESULT>(AGENT_RELOAD), Reload());

    ASSERT_TRUE(WaitFor([this] { return RunsOf(ReadProbeLog(log_), L"afterlong").size() == 1; }));
    std::vector<ProbeRun> runs = ReadProbeLog(log_);
    EXPECT_GE(RunsOf(runs, L"afterlong")[0].started, RunsOf(runs, L"long")[0].ended);
    EXPECT_TRUE(Alive());

    PressCombination(CTRL_ALT, VK_F10);
    EXPECT_TRUE(WaitFor([this] { return RunsOf(ReadProbeLog(log_), L"replaced").size() == 1; }));
    PressCombination(CTRL_ALT, VK_F9); // no longer a hotkey
    Sleep(300);
    EXPECT_EQ(1u, RunsOf(ReadProbeLog(log_), L"long").size());
}

TEST_F(AgentTest, ABurstOfPressesAndReloadsLeavesTheAgentAliveAndCorrect) {
    Install(Library::None);
    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"Burst", CTRL_ALT, VK_F9));
    hotkeys.Append(MakeHotkey(L"Other", CTRL_ALT, VK_F10));
    actions.Append(ProbeAction(0, log_, L"burst"));
    actions.Append(ProbeAction(1, log_, L"other"));
    WriteStore(hotkeys, actions);
    ASSERT_TRUE(Start());

    // A press that lands while a reload has the hotkeys unregistered is
    // lost, as it would be on Windows; every other one runs its hotkey.
    const size_t presses = 12;
    for (size_t i = 0; i < presses; ++i) {
        PressCombination(CTRL_ALT, VK_F9);
        ASSERT_EQ(static_cast<LRESULT>(AGENT_RELOAD), Reload()) << i;
    }
    // The runs of the burst have all started once the count holds for a
    // second (a loaded machine starts programs slowly).
    size_t ran = 0;
    DWORD steadySince = GetTickCount();
    for (DWORD start = GetTickCount(); GetTickCount() - start < 15000; Sleep(100)) {
        const size_t now = RunsOf(ReadProbeLog(log_), L"burst").size();
        if (now != ran) {
            ran = now;
            steadySince = GetTickCount();
        } else if (GetTickCount() - steadySince >= 1000) {
            break;
        }
    }
    EXPECT_GE(ran, 1u);
    EXPECT_LE(ran, presses);
    // Afterwards every press runs the right hotkey again.
    PressCombination(CTRL_ALT, VK_F9);
    EXPECT_TRUE(WaitFor([&] { return RunsOf(ReadProbeLog(log_), L"burst").size() == ran + 1; }));
    PressCombination(CTRL_ALT, VK_F10);
    EXPECT_TRUE(WaitFor([&] { return RunsOf(ReadProbeLog(log_), L"other").size() == 1; }));
    EXPECT_TRUE(Alive());
    std::vector<HotkeyRecord> stored = StoredHotkeys();
    ASSERT_EQ(2u, stored.size());
    EXPECT_EQ(1, stored[0].enabled);
    EXPECT_EQ(1, stored[1].enabled);
}

TEST_F(AgentTest, TheConfigureCommandWaitsForTheDialogBeforeTheNextAction) {
    Install(Library::StandIn);
    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"Configure then run", CTRL_ALT, VK_F9));
    actions.Append(CommandAction(0, 0x1A00));
    actions.Append(CommandAction(0, 0x0B03)); // listed nowhere: nothing happens
    actions.Append(ProbeAction(0, log_, L"afterdialog"));
    WriteStore(hotkeys, actions);
    HANDLE hold = CreateEventW(nullptr, TRUE, FALSE, L"PendrixTestHoldDialog");
    ASSERT_NE(nullptr, hold);
    ASSERT_TRUE(Start());

    PressCombination(CTRL_ALT, VK_F9);
    ASSERT_TRUE(WaitFor([this] { return LibraryCalls().size() == 1; }));
    Sleep(500);
    EXPECT_TRUE(ReadProbeLog(log_).empty()) << "the next action waits for the dialog";
    // While the dialog is open, the agent still answers.
    EXPECT_EQ(static_cast<LRESULT>(AGENT_RELOAD), Reload());
    SetEvent(hold);
    EXPECT_TRUE(WaitFor([this] { return RunsOf(ReadProbeLog(log_), L"afterdialog").size() == 1; }));
    CloseHandle(hold);
    std::vector<std::wstring> calls = LibraryCalls();
    ASSERT_EQ(2u, calls.size());
    EXPECT_EQ(L"Configure returns", calls[1]);
}

TEST_F(AgentTest, TrayDoubleClickAndAboutReachTheLibraryAndAMissingOneIsHarmless) {
    Install(Library::StandIn);
    ASSERT_TRUE(Start());
    SendMessageW(window(), AGENT_TRAY_CALLBACK, 0, WM_LBUTTONUP); // a single click: nothing
    SendMessageW(window(), AGENT_TRAY_CALLBACK, 0, WM_LBUTTONDBLCLK);
    SendMessageW(window(), WM_COMMAND, AGENT_ABOUT, 0);
    SendMessageW(window(), WM_COMMAND, AGENT_CONFIGURE, 0);
    std::vector<std::wstring> calls = LibraryCalls();
    ASSERT_EQ(5u, calls.size());
    EXPECT_EQ(L"Configure|", calls[0].substr(0, 10));
    wchar_t owner[32];
    wsprintfW(owner, L"AboutDlg|%I64x",
              static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(window())));
    EXPECT_EQ(owner, calls[2]);
    EXPECT_EQ(L"Configure|", calls[3].substr(0, 10));
    EXPECT_EQ(0u, Exit());
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
    process_ = {};

    // Without the library, the same requests do nothing and the agent lives on.
    ASSERT_TRUE(DeleteFileW((installFolder_ + L"pendrixcfg.dll").c_str()));
    ASSERT_TRUE(Start(L""));
    SendMessageW(window(), AGENT_TRAY_CALLBACK, 0, WM_LBUTTONDBLCLK);
    SendMessageW(window(), WM_COMMAND, AGENT_ABOUT, 0);
    SendMessageW(window(), WM_COMMAND, AGENT_CONFIGURE, 0);
    EXPECT_TRUE(Alive());
    EXPECT_EQ(5u, LibraryCalls().size());
}

TEST_F(AgentTest, TheTrayIconAnswersTheMouseAndComesBackAfterTheTaskbar) {
    Install(Library::StandIn);
    ASSERT_EQ(0, CountTrayIconPixels()) << "no icon before the agent starts";
    ASSERT_TRUE(Start());
    int pixels = 0;
    POINT icon = {};
    ASSERT_TRUE(WaitFor([&] { return (pixels = CountTrayIconPixels(&icon)) > 0; }));

    // A single click does nothing; a double-click opens the configuration.
    ClickAt(icon, /*right=*/false, 1);
    Sleep(400);
    EXPECT_TRUE(LibraryCalls().empty());
    ClickAt(icon, false, 2);
    EXPECT_TRUE(WaitFor([this] { return LibraryCalls().size() == 2; }));

    // A right press opens the menu at the cursor, in the stated order; the
    // taskbar is in front, where a click on the tray leaves it on Windows.
    FrontWindow own;
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == own.window(); }));
    const HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
    SetForegroundWindow(taskbar);
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == taskbar; }));
    ClickAt(icon, /*right=*/true, 1);
    HWND menu = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        menu = FindVisiblePopupMenu();
        return menu != nullptr;
    }));
    RECT menuRect;
    GetWindowRect(menu, &menuRect);
    // At the cursor (moved inside the screen where it would not fit).
    EXPECT_LE(menuRect.left, icon.x);
    EXPECT_GE(menuRect.right, icon.x);
    // Above the cursor when it is at the bottom; Wine keeps it off the taskbar.
    EXPECT_TRUE(abs(menuRect.top - icon.y) <= 2 || abs(menuRect.bottom - icon.y) <= 24)
        << menuRect.left << "," << menuRect.top << "," << menuRect.right << "," << menuRect.bottom
        << " icon " << icon.x << "," << icon.y;
    // Up from no selection lands on the last item, "Show My Hotkeys", for the
    // window the user was in, not the taskbar.
    TapKeys({VK_UP, VK_RETURN});
    EXPECT_TRUE(WaitFor([this] { return LibraryCalls().size() == 3; }));
    wchar_t front[32];
    swprintf(front, 32, L"MyHotkeys|%llx",
             static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(own.window())));
    EXPECT_EQ(front, LibraryCalls().back());

    // Wine's tray passes no further real clicks on to the icon's owner once a
    // menu was closed with the keyboard, so the next ones come as the shell's
    // notification itself: down twice from no selection is "About", down four
    // times, past the separator, "Configure HotKeys".
    for (int downs : {2, 4}) {
        ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(menu); }));
        PostMessageW(window(), AGENT_TRAY_CALLBACK, 0, WM_RBUTTONDOWN);
        ASSERT_TRUE(WaitFor([&] {
            menu = FindVisiblePopupMenu();
            return menu != nullptr;
        }));
        for (int down = 0; down < downs; ++down)
            TapKeys({VK_DOWN});
        TapKeys({VK_RETURN});
    }
    ASSERT_TRUE(WaitFor([this] { return LibraryCalls().size() == 6; }));
    EXPECT_EQ(L"AboutDlg|", LibraryCalls()[3].substr(0, 9));
    EXPECT_EQ(L"Configure|", LibraryCalls()[4].substr(0, 10));

    // Explorer restarted: the icon is deleted and added again, once.
    SendMessageW(window(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    Sleep(300);
    EXPECT_EQ(pixels, CountTrayIconPixels());
    EXPECT_TRUE(Alive());

    EXPECT_EQ(0u, Exit());
    EXPECT_TRUE(WaitFor([] { return CountTrayIconPixels() == 0; })) << "Exit removes the icon";
}

TEST_F(AgentTest, TheProgramCarriesItsIconMenuAndVersion) {
    Install(Library::None);
    HMODULE agent = LoadLibraryExW(AgentPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, agent);

    // Icon group 107: 48x48, 16x16 and 32x32, 256 colours, in that order.
    HRSRC group = FindResourceW(agent, MAKEINTRESOURCEW(107), MAKEINTRESOURCEW(14));
    ASSERT_NE(nullptr, group);
    const BYTE* directory = static_cast<const BYTE*>(LockResource(LoadResource(agent, group)));
    ASSERT_NE(nullptr, directory);
    WORD count;
    memcpy(&count, directory + 4, 2);
    ASSERT_EQ(3, count);
    const BYTE sizes[3] = {48, 16, 32};
    for (int i = 0; i < 3; ++i) {
        const BYTE* entry = directory + 6 + 14 * i;
        EXPECT_EQ(sizes[i], entry[0]) << i;
        EXPECT_EQ(sizes[i], entry[1]) << i;
        WORD bits;
        memcpy(&bits, entry + 6, 2);
        EXPECT_EQ(8, bits) << i;
    }

    // Menu 139: the popup "SYSTRAYMENU", its five items, then "Pause Hotkeys" and "Show My
    // Hotkeys".
    HMENU menu = LoadMenuW(agent, MAKEINTRESOURCEW(139));
    ASSERT_NE(nullptr, menu);
    wchar_t text[64] = {};
    GetMenuStringW(menu, 0, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(L"SYSTRAYMENU", text);
    HMENU items = GetSubMenu(menu, 0);
    ASSERT_EQ(7, GetMenuItemCount(items));
    const UINT ids[7] = {AGENT_EXIT, AGENT_ABOUT, 32784, 0, AGENT_CONFIGURE, 32786, 32785};
    const wchar_t* texts[7] = {L"Exit Pendrix",      L"About",         L"Ostrand Online", L"",
                               L"Configure HotKeys", L"Pause Hotkeys", L"Show My Hotkeys"};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(ids[i], GetMenuItemID(items, i)) << i;
        text[0] = L'\0';
        GetMenuStringW(items, i, text, 64, MF_BYPOSITION);
        EXPECT_STREQ(texts[i], text) << i;
        EXPECT_EQ(0u, GetMenuState(items, i, MF_BYPOSITION) & MF_DEFAULT) << i;
    }
    EXPECT_NE(0u, GetMenuState(items, 3, MF_BYPOSITION) & MF_SEPARATOR);
    DestroyMenu(menu);
    FreeLibrary(agent);

    // Version 1.2.0.0, product "Pendrix".
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(AgentPath().c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> version(size);
    ASSERT_TRUE(GetFileVersionInfoW(AgentPath().c_str(), 0, size, version.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(version.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(0x00010002u, fixed->dwFileVersionMS);
    EXPECT_EQ(0u, fixed->dwFileVersionLS);
    EXPECT_EQ(0x00010002u, fixed->dwProductVersionMS);
    wchar_t* product = nullptr;
    ASSERT_TRUE(VerQueryValueW(version.data(), L"\\StringFileInfo\\040904b0\\ProductName",
                               reinterpret_cast<void**>(&product), &length));
    EXPECT_STREQ(L"Pendrix", product);
}

TEST_F(AgentTest, ABrowserKeyActionReleasesTheHotkeyThenPressesTheKey) {
    Install(Library::None);
    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"Back", CTRL_ALT, 'B'));
    actions.Append(CommandAction(0, 0x1C00));
    WriteStore(hotkeys, actions);
    ASSERT_TRUE(Start());

    KeyboardWatch watch;
    ASSERT_TRUE(watch.hooked());
    PressCombination(CTRL_ALT, 'B');
    std::vector<KeyboardWatch::Event> fromAgent;
    ASSERT_TRUE(WaitFor([&] {
        fromAgent.clear();
        for (const KeyboardWatch::Event& event : watch.Events()) {
            if (event.extra != TEST_INPUT_MARK)
                fromAgent.push_back(event);
        }
        return fromAgent.size() >= 4;
    }));
    Sleep(200);
    ASSERT_EQ(4u, fromAgent.size());
    const DWORD keys[4] = {'B', VK_CONTROL, VK_MENU, VK_BROWSER_BACK};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(keys[i], fromAgent[i].key) << i;
        EXPECT_EQ(i < 3, fromAgent[i].up) << i;
    }
    // The key-down is left without its key-up: release it for the next tests.
    INPUT up = {};
    up.type = INPUT_KEYBOARD;
    up.ki.wVk = VK_BROWSER_BACK;
    up.ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(1, &up, sizeof up);
}

TEST_F(AgentTest, ActionsExpandEnvironmentVariablesAndKeepTheRecordAsStored) {
    Install(Library::None);
    std::wstring work = installFolder_ + L"work folder";
    ASSERT_TRUE(CreateDirectoryW(work.c_str(), nullptr));
    // The agent inherits these; a user has them from the system.
    std::wstring tools = TestProgramFolder();
    ASSERT_TRUE(SetEnvironmentVariableW(L"PX_TOOLS", tools.substr(0, tools.size() - 1).c_str()));
    ASSERT_TRUE(SetEnvironmentVariableW(L"PX_WORK", work.c_str()));
    const std::wstring longText(150, L'w'); // longer than the parameters field
    ASSERT_TRUE(SetEnvironmentVariableW(L"PX_LONG", longText.c_str()));

    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"Variables", CTRL_ALT, VK_F9, 1, /*runSequentially=*/1));
    hotkeys.Append(MakeHotkey(L"Parallel", CTRL_ALT, VK_F10));
    ActionRecord sequential =
        ProbeAction(0, L"%TEMP%\\px.log", L"seq", 0, L"%PX_WORK%", L"%PX_LONG% a%20b %PX_UNSET_9%");
    CopyBoundedText(sequential.target, ACTION_PATH_CHARS, L"%PX_TOOLS%\\launch_probe.exe");
    actions.Append(sequential);
    ActionRecord parallel = ProbeAction(1, L"%TEMP%\\px.log", L"par", 0, L"%PX_WORK%");
    CopyBoundedText(parallel.target, ACTION_PATH_CHARS, L"%PX_TOOLS%\\launch_probe.exe");
    actions.Append(parallel);
    WriteStore(hotkeys, actions);
    ASSERT_TRUE(Start());
    SetEnvironmentVariableW(L"PX_TOOLS", nullptr);
    SetEnvironmentVariableW(L"PX_WORK", nullptr);
    SetEnvironmentVariableW(L"PX_LONG", nullptr);
    const auto stored = SnapshotStore();

    // One after the other: Wine's shell changes the process's current folder
    // while it looks a program up, so two starts at once can swap folders.
    PressCombination(CTRL_ALT, VK_F9);
    ASSERT_TRUE(WaitFor([this] {
        auto seq = RunsOf(ReadProbeLog(log_), L"seq");
        return seq.size() == 1 && seq[0].ended != 0;
    })) << "the program started from the expanded path";
    Sleep(200);
    PressCombination(CTRL_ALT, VK_F10);
    ASSERT_TRUE(WaitFor([this] { return RunsOf(ReadProbeLog(log_), L"par").size() == 1; }));
    std::vector<ProbeRun> runs = ReadProbeLog(log_);
    for (const ProbeRun& run : runs) {
        SCOPED_TRACE(run.tag.c_str());
        EXPECT_EQ(0, lstrcmpiW(work.c_str(), run.folder.c_str())) << run.folder.c_str();
    }
    const std::wstring line = RunsOf(runs, L"seq")[0].commandLine;
    EXPECT_NE(std::wstring::npos, line.find(L" " + longText + L" a%20b %PX_UNSET_9%"))
        << "expanded past the field, while %20 and an unknown name stay as written: "
        << line.c_str();
    EXPECT_EQ(stored, SnapshotStore()) << "the stored records keep their variables";
}

TEST_F(AgentTest, TheAgentStaysSmallAndLoadsCoreAudioOnlyForAVolumeCommand) {
    WIN32_FILE_ATTRIBUTE_DATA file = {};
    ASSERT_TRUE(GetFileAttributesExW((TestProgramFolder() + L"pendrixd.exe").c_str(),
                                     GetFileExInfoStandard, &file));
    EXPECT_EQ(0u, file.nFileSizeHigh);
    EXPECT_LT(file.nFileSizeLow, 80u * 1024u) << "the agent's program is under 80 KiB";

    Install(Library::None);
    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"Louder", CTRL_ALT, VK_F9));
    actions.Append(CommandAction(0, 0x0F00));
    actions.Append(ProbeAction(0, log_, L"after"));
    WriteStore(hotkeys, actions);
    ASSERT_TRUE(Start());
    auto hasCoreAudio = [this] {
        HMODULE modules[512];
        DWORD bytes = 0;
        if (!EnumProcessModules(process_.hProcess, modules, sizeof modules, &bytes))
            return false;
        for (DWORD i = 0; i < bytes / sizeof(HMODULE) && i < 512; ++i) {
            wchar_t name[MAX_PATH] = {};
            GetModuleBaseNameW(process_.hProcess, modules[i], name, MAX_PATH);
            if (lstrcmpiW(name, L"mmdevapi.dll") == 0)
                return true;
        }
        return false;
    };
    HMODULE probe[1];
    DWORD probeBytes = 0;
    ASSERT_TRUE(EnumProcessModules(process_.hProcess, probe, sizeof probe, &probeBytes))
        << "the agent's modules can be listed";
    EXPECT_FALSE(hasCoreAudio()) << "the idle agent carries no audio device modules";

    PressCombination(CTRL_ALT, VK_F9);
    ASSERT_TRUE(WaitFor([this] { return RunsOf(ReadProbeLog(log_), L"after").size() == 1; }));
    EXPECT_TRUE(hasCoreAudio()) << "the volume command went to Core Audio first";
    EXPECT_TRUE(Alive());
}
