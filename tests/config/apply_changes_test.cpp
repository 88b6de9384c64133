// ApplyChanges: save, the agent's reload, and the lists read back.
#include <windows.h>

#include <gtest/gtest.h>

#include "agent_harness.h"
#include "editing_model.h"
#include "store.h"
#include "test_registry.h"

namespace {

class ApplyChangesTest : public AgentTest {
  protected:
    void SetUp() override {
        AgentTest::SetUp();
        ClearLists();
        dialog_ = CreateHiddenTestWindow();
    }
    void TearDown() override {
        DestroyWindow(dialog_);
        ClearLists();
        AgentTest::TearDown();
    }
    HWND dialog_ = nullptr;
};

const UINT CTRL_ALT = MOD_CONTROL | MOD_ALT;

} // namespace

TEST_F(ApplyChangesTest, WithoutAnAgentTheStoreIsSavedAndTheListsStay) {
    ASSERT_EQ(nullptr, FindWindowW(L"PendrixOstrand", nullptr));
    WriteDword(StorePath(), L"version", 257);
    AddHotkey(MakeHotkey(L"Mine", CTRL_ALT, VK_F9, 0));
    // An owner that matches no hotkey: saved away, but still in the lists.
    ActionRecord orphan = ProbeAction(5, log_, L"x");
    AddAction(orphan);
    EXPECT_FALSE(ApplyChanges(dialog_));
    EXPECT_EQ(1u, g_actionList.Count()) << "the lists are not reloaded";
    std::vector<HotkeyRecord> stored = StoredHotkeys();
    ASSERT_EQ(1u, stored.size());
    EXPECT_STREQ(L"Mine", stored[0].title);
    EXPECT_TRUE(SubkeyNames(StorePath(L"HEADER\\0")).empty());
}

TEST_F(ApplyChangesTest, WithTheAgentTheListsComeBackAsTheAgentSavedThem) {
    Install(Library::None);
    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"Free", CTRL_ALT, VK_F9, 0));
    hotkeys.Append(MakeHotkey(L"Taken", CTRL_ALT, VK_F10, 0));
    actions.Append(ProbeAction(0, log_, L"free"));
    WriteStore(hotkeys, actions);
    ASSERT_TRUE(Start());
    ASSERT_TRUE(RegisterHotKey(nullptr, 0xB201, CTRL_ALT, VK_F10));

    LoadLists(dialog_);
    ASSERT_EQ(2u, g_hotkeyList.Count());
    HotkeyAt(0).enabled = 1;
    HotkeyAt(1).enabled = 1;
    ActionRecord orphan = ProbeAction(9, log_, L"orphan");
    AddAction(orphan);
    EXPECT_TRUE(ApplyChanges(dialog_));
    ASSERT_EQ(2u, g_hotkeyList.Count());
    EXPECT_EQ(1, HotkeyAt(0).enabled);
    EXPECT_EQ(0, HotkeyAt(1).enabled) << "refused by the system, so back disabled";
    EXPECT_EQ(1u, g_actionList.Count()) << "reloaded: the orphan was not saved";

    // The change is live in the agent at once.
    PressCombination(CTRL_ALT, VK_F9);
    EXPECT_TRUE(WaitFor([this] { return RunsOf(ReadProbeLog(log_), L"free").size() == 1; }));
    UnregisterHotKey(nullptr, 0xB201);
}

namespace {

// A window of the agent's class on a thread that stops taking messages: an
// agent that hangs.
struct HungAgent {
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = nullptr;
    HWND window = nullptr;

    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == AGENT_RELOAD)
            return AGENT_RELOAD;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    static DWORD WINAPI Run(void* parameter) {
        HungAgent* self = static_cast<HungAgent*>(parameter);
        WNDCLASSW wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"PendrixOstrand";
        RegisterClassW(&wc);
        self->window = CreateWindowExW(0, L"PendrixOstrand", nullptr, 0, 0, 0, 0, 0, nullptr,
                                       nullptr, wc.hInstance, nullptr);
        SetEvent(self->ready);
        // Never looks at its queue again until released.
        WaitForSingleObject(self->release, 60000);
        DestroyWindow(self->window);
        UnregisterClassW(L"PendrixOstrand", wc.hInstance);
        return 0;
    }
    HungAgent() { thread = CreateThread(nullptr, 0, Run, this, 0, nullptr); }
    ~HungAgent() {
        SetEvent(release);
        WaitForSingleObject(thread, 10000);
        CloseHandle(thread);
        CloseHandle(ready);
        CloseHandle(release);
    }
};

} // namespace

TEST_F(ApplyChangesTest, AHungAgentDoesNotHoldTheDialog) {
    WriteDword(StorePath(), L"version", 257);
    HungAgent agent;
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(agent.ready, 5000));
    ASSERT_NE(nullptr, agent.window);
    // The system calls a thread hung once it has not taken a message for 5 s.
    Sleep(5500);

    AddHotkey(MakeHotkey(L"Saved anyway", CTRL_ALT, VK_F9, 0));
    ActionRecord orphan = ProbeAction(5, log_, L"x");
    AddAction(orphan);
    const DWORD start = GetTickCount();
    EXPECT_FALSE(ApplyChanges(dialog_));
    EXPECT_LT(GetTickCount() - start, 3000u) << "the dialog waited on a hung agent";
    EXPECT_EQ(2u, g_actionList.Count() + g_hotkeyList.Count()) << "the lists stay as made";
    std::vector<HotkeyRecord> stored = StoredHotkeys();
    ASSERT_EQ(1u, stored.size());
    EXPECT_STREQ(L"Saved anyway", stored[0].title);
}
