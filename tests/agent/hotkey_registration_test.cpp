// Registration of the agent's hotkey array on a real window, in-process.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "agent_state.h"
#include "hotkey_runner.h"
#include "import_patch.h"
#include "program_rules.h"
#include "tray.h"
#include "window_in_front.h"
#include "test_registry.h"

namespace {

HotkeyRecord Hotkey(UINT key, BYTE enabled) {
    HotkeyRecord hotkey = {};
    hotkey.modifiers = MOD_CONTROL | MOD_ALT | MOD_SHIFT;
    hotkey.virtualKey = key;
    hotkey.enabled = enabled;
    return hotkey;
}

// A rule of a hotkey for chosen programs, naming one that runs nowhere.
ActionRecord NowhereRule(UINT owner, UINT rule) {
    ActionRecord action = {};
    action.owner = owner;
    action.kind = ACTION_PROGRAMS;
    action.commandCode = rule;
    CopyBoundedText(action.target, ACTION_PATH_CHARS, L"not-running-anywhere.exe");
    return action;
}

// Another holder of a combination: a hotkey of this thread, without a window.
bool Taken(UINT key) {
    if (!RegisterHotKey(nullptr, 0xB100, MOD_CONTROL | MOD_ALT | MOD_SHIFT, key))
        return true;
    UnregisterHotKey(nullptr, 0xB100);
    return false;
}

class HotkeyRegistration : public ::testing::Test {
  protected:
    void SetUp() override {
        window_ = CreateHiddenTestWindow();
        ASSERT_NE(nullptr, window_);
        g_agent.hotkeys.Clear();
        g_agent.hotkeys.Append(Hotkey(VK_F5, 1)); // 0 enabled
        g_agent.hotkeys.Append(Hotkey(VK_F6, 0)); // 1 disabled
        g_agent.hotkeys.Append(Hotkey(VK_F7, 2)); // 2 an odd byte
        g_agent.hotkeys.Append(Hotkey(VK_F8, 1)); // 3 held by someone else
        ASSERT_TRUE(RegisterHotKey(nullptr, 0xB101, MOD_CONTROL | MOD_ALT | MOD_SHIFT, VK_F8));
    }
    void TearDown() override {
        UnregisterHotKey(nullptr, 0xB101);
        for (int i = 0; i < 4; ++i)
            UnregisterHotKey(window_, HotkeyIdBase + i);
        DestroyWindow(window_);
        g_agent.hotkeys.Clear();
    }
    BYTE Enabled(UINT i) { return g_agent.hotkeys.At(i).enabled; }
    HWND window_ = nullptr;
};

} // namespace

TEST_F(HotkeyRegistration, AllHotkeysRegistersExactlyTheEnabledOnes) {
    EXPECT_TRUE(RegisterHotkeys(window_, ALL_HOTKEYS));
    EXPECT_TRUE(Taken(VK_F5));
    EXPECT_FALSE(Taken(VK_F6));
    EXPECT_FALSE(Taken(VK_F7)) << "only the exact byte 1 counts";
    EXPECT_EQ(1, Enabled(0));
    EXPECT_EQ(0, Enabled(1));
    EXPECT_EQ(2, Enabled(2));
    EXPECT_EQ(0, Enabled(3)) << "refused, so disabled";

    EXPECT_TRUE(UnregisterHotkeys(window_, ALL_HOTKEYS));
    EXPECT_FALSE(Taken(VK_F5));
    EXPECT_EQ(1, Enabled(0)) << "the user's choice survives";
}

TEST_F(HotkeyRegistration, OneIndexRegistersAndUnregistersAndKeepsTheByteInStep) {
    EXPECT_TRUE(RegisterHotkeys(window_, 1));
    EXPECT_EQ(1, Enabled(1));
    EXPECT_TRUE(Taken(VK_F6));
    EXPECT_FALSE(RegisterHotkeys(window_, 1)) << "already enabled";
    EXPECT_FALSE(RegisterHotkeys(window_, 2)) << "a byte other than 0 is not registered";
    EXPECT_FALSE(Taken(VK_F7));

    g_agent.hotkeys.At(3).enabled = 0;
    EXPECT_FALSE(RegisterHotkeys(window_, 3)) << "held elsewhere";
    EXPECT_EQ(0, Enabled(3));
    EXPECT_FALSE(RegisterHotkeys(window_, 4));
    EXPECT_FALSE(RegisterHotkeys(window_, -2));

    EXPECT_TRUE(UnregisterHotkeys(window_, 1));
    EXPECT_EQ(0, Enabled(1));
    EXPECT_FALSE(Taken(VK_F6));
    EXPECT_FALSE(UnregisterHotkeys(window_, 1)) << "not enabled any more";
    EXPECT_FALSE(UnregisterHotkeys(window_, 2));
    EXPECT_FALSE(UnregisterHotkeys(window_, 99));

    // Enabled in the array but never registered: the call fails, the byte clears.
    EXPECT_FALSE(UnregisterHotkeys(window_, 0));
    EXPECT_EQ(0, Enabled(0));
}

TEST_F(HotkeyRegistration, OneIndexKeepsAHotkeyForChosenProgramsToThem) {
    // Hotkey 1 works only in a program that is not in front.
    g_agent.actions.Append(NowhereRule(1, PROGRAMS_ONLY_IN));
    RegisterHotkeys(window_, ALL_HOTKEYS);
    EXPECT_TRUE(RegisterHotkeys(window_, 1)) << "the system accepts its keys";
    EXPECT_EQ(1, Enabled(1));
    EXPECT_FALSE(Taken(VK_F6)) << "its keys stay free while its program is not in front";
    EXPECT_TRUE(UnregisterHotkeys(window_, 1)) << "nothing to give back is no failure";
    EXPECT_EQ(0, Enabled(1));
    UnregisterHotkeys(window_, ALL_HOTKEYS);
    FollowWindowInFront(false);
    g_agent.actions.Clear();
}

TEST_F(HotkeyRegistration, OfTwoHotkeysForOneProgramOnOneCombinationTheLaterIsStoredOff) {
    // Two for every program (a name that runs nowhere is the only one left
    // out) on F9, written side by side into the store by hand.
    for (UINT owner = 4; owner < 6; ++owner) {
        g_agent.hotkeys.Append(Hotkey(VK_F9, 1));
        g_agent.actions.Append(NowhereRule(owner, PROGRAMS_NOT_IN));
    }
    RefusedHotkeys refused;
    RegisterEnabledHotkeys(window_, &refused);
    EXPECT_EQ(2u, refused.count) << "the later twin is named with the refusals";
    EXPECT_TRUE(Taken(VK_F9));
    EXPECT_EQ(1, Enabled(4));
    EXPECT_EQ(0, Enabled(5)) << "stored off, as the tool and the dialog would";
    UnregisterHotkeys(window_, ALL_HOTKEYS);
    FollowWindowInFront(false);
    g_agent.actions.Clear();
}

TEST_F(HotkeyRegistration, ALoadDecidesAgainAfterARefusalAndAnyNotepadMeetsNotInOneNotepad) {
    // 4 works everywhere but nowhere, on F8, which another holds: refused,
    // so the unlimited 3 that stepped aside for it is tried at once too.
    g_agent.hotkeys.Append(Hotkey(VK_F8, 1));
    g_agent.actions.Append(NowhereRule(4, PROGRAMS_NOT_IN));
    // "Only in notepad" and "not in C:\Windows\notepad.exe" meet in any
    // other folder's notepad: the later is stored off.
    g_agent.hotkeys.Append(Hotkey(VK_F9, 1));
    ActionRecord only = NowhereRule(5, PROGRAMS_ONLY_IN);
    CopyBoundedText(only.target, ACTION_PATH_CHARS, L"notepad");
    g_agent.actions.Append(only);
    g_agent.hotkeys.Append(Hotkey(VK_F9, 1));
    ActionRecord notIn = NowhereRule(6, PROGRAMS_NOT_IN);
    CopyBoundedText(notIn.target, ACTION_PATH_CHARS, L"C:\\Windows\\notepad.exe");
    g_agent.actions.Append(notIn);
    RefusedHotkeys refused;
    RegisterEnabledHotkeys(window_, &refused);
    EXPECT_EQ(0, Enabled(4));
    EXPECT_EQ(0, Enabled(3)) << "its twin was tried at the load, not at the next change";
    EXPECT_EQ(1, Enabled(5));
    EXPECT_EQ(0, Enabled(6));
    EXPECT_EQ(3u, refused.count);
    EXPECT_TRUE(RulesClash(&only, &notIn));
    ActionRecord notInAny = notIn;
    CopyBoundedText(notInAny.target, ACTION_PATH_CHARS, L"notepad.exe");
    EXPECT_FALSE(RulesClash(&only, &notInAny)) << "no notepad can have both";
    UnregisterHotkeys(window_, ALL_HOTKEYS);
    FollowWindowInFront(false);
    g_agent.actions.Clear();
}

TEST_F(HotkeyRegistration, RegisteringAllTellsWhichEnabledHotkeysWereRefused) {
    RefusedHotkeys refused;
    refused.count = 7; // whatever it held before is replaced
    RegisterEnabledHotkeys(window_, &refused);
    EXPECT_EQ(1u, refused.count) << "only an enabled hotkey can be refused";
    EXPECT_EQ(3u, refused.positions[0]);
    EXPECT_EQ(0, Enabled(3));
    EXPECT_TRUE(Taken(VK_F5));
}

namespace {

HotkeyRecord Titled(const wchar_t* title, UINT modifiers, UINT key) {
    HotkeyRecord hotkey = {};
    hotkey.modifiers = modifiers;
    hotkey.virtualKey = key;
    CopyBoundedText(hotkey.title, HOTKEY_TEXT_CHARS, title);
    return hotkey;
}

std::wstring BalloonText(const RecordArray<HotkeyRecord>& hotkeys,
                         std::initializer_list<UINT> positions, UINT count) {
    RefusedHotkeys refused;
    refused.count = count;
    UINT n = 0;
    for (UINT position : positions)
        refused.positions[n++] = position;
    wchar_t text[256];
    wmemset(text, L'#', 256);
    FormatRefusedHotkeysText(refused, hotkeys, text, 256);
    return text;
}

} // namespace

TEST(RefusedHotkeysBalloon, NamesUpToThreeByTitleAndCombinationAndCountsTheRest) {
    RecordArray<HotkeyRecord> hotkeys;
    hotkeys.Append(Titled(L"Sample Shortcut 2", MOD_CONTROL | MOD_SHIFT, 'I'));
    hotkeys.Append(Titled(L"", MOD_WIN | MOD_ALT, 'Y'));
    hotkeys.Append(Titled(L"Third", MOD_CONTROL, VK_F5));
    hotkeys.Append(Titled(L"Fourth", MOD_CONTROL, VK_F6));

    EXPECT_EQ(L"This hotkey was disabled because another program uses its keys:\n"
              L"Sample Shortcut 2 (Ctrl + Shift + I)",
              BalloonText(hotkeys, {0}, 1));
    EXPECT_EQ(L"These hotkeys were disabled because another program uses their keys:\n"
              L"Sample Shortcut 2 (Ctrl + Shift + I)\n"
              L"ALT + Win + Y\n"
              L"Third (Ctrl + F5)\n"
              L"and 2 more",
              BalloonText(hotkeys, {0, 1, 2}, 5))
        << "a hotkey without a title shows its combination alone";

    // The longest titles and combinations still fit the shell's 255 units:
    // whoever does not fit is counted with the rest.
    RecordArray<HotkeyRecord> longest;
    const UINT all = MOD_ALT | MOD_CONTROL | MOD_SHIFT | MOD_WIN;
    for (int i = 0; i < 3; ++i)
        longest.Append(Titled(L"A title of thirty-one characters", all, VK_MEDIA_PLAY_PAUSE));
    std::wstring text = BalloonText(longest, {0, 1, 2}, 3);
    EXPECT_LE(text.size(), 255u);
    EXPECT_EQ(L"\nand 1 more", text.substr(text.size() - 11)) << text.c_str();
    EXPECT_EQ(2u, static_cast<size_t>(std::count(text.begin(), text.end(), L'(')));
}

namespace {

// What the agent hands the shell, recorded on the way through.
std::vector<std::pair<DWORD, NOTIFYICONDATAW>> g_notifications;
ImportPatch* g_notifyPatch = nullptr;
bool g_shellRefuses = false;

BOOL WINAPI RecordNotifyIcon(DWORD message, PNOTIFYICONDATAW data) {
    g_notifications.push_back({message, *data});
    if (g_shellRefuses)
        return FALSE;
    return g_notifyPatch->Original<BOOL(WINAPI*)(DWORD, PNOTIFYICONDATAW)>()(message, data);
}

} // namespace

TEST(RefusedHotkeysBalloon, IsOneWarningFromTheIconTitledPendrixAndWaitsForATaskbar) {
    ImportPatch patch("shell32.dll", "Shell_NotifyIconW",
                      reinterpret_cast<void*>(RecordNotifyIcon));
    ASSERT_NE(nullptr, patch.Original<void*>());
    g_notifyPatch = &patch;
    g_notifications.clear();
    g_shellRefuses = false;
    HWND window = CreateHiddenTestWindow();
    ASSERT_NE(nullptr, window);
    CreateTrayIcon(window);
    g_agent.hotkeys.Clear();
    g_agent.hotkeys.Append(Titled(L"Sample Shortcut 2", MOD_CONTROL | MOD_SHIFT, 'I'));
    RefusedHotkeys refused;
    refused.count = 1;

    ShowRefusedHotkeysBalloon(refused);
    ASSERT_EQ(2u, g_notifications.size());
    const NOTIFYICONDATAW& added = g_notifications[0].second;
    const NOTIFYICONDATAW& balloon = g_notifications[1].second;
    EXPECT_EQ(static_cast<DWORD>(NIM_MODIFY), g_notifications[1].first);
    EXPECT_EQ(added.cbSize, balloon.cbSize);
    EXPECT_EQ(window, balloon.hWnd);
    EXPECT_EQ(added.uID, balloon.uID);
    EXPECT_EQ(static_cast<UINT>(NIF_INFO), balloon.uFlags) << "the icon and tip stay as they are";
    EXPECT_EQ(static_cast<DWORD>(NIIF_WARNING), balloon.dwInfoFlags);
    EXPECT_STREQ(L"Pendrix", balloon.szInfoTitle);
    EXPECT_STREQ(L"This hotkey was disabled because another program uses its keys:\n"
                 L"Sample Shortcut 2 (Ctrl + Shift + I)",
                 balloon.szInfo);
    EXPECT_FALSE(g_agent.balloonPending);

    // No taskbar yet: the balloon follows the icon when TaskbarCreated adds it.
    g_shellRefuses = true;
    ShowRefusedHotkeysBalloon(refused);
    EXPECT_TRUE(g_agent.balloonPending);
    g_shellRefuses = false;
    g_notifications.clear();
    ReAddTrayIcon();
    ASSERT_EQ(3u, g_notifications.size());
    EXPECT_EQ(static_cast<DWORD>(NIM_ADD), g_notifications[1].first);
    EXPECT_EQ(static_cast<DWORD>(NIM_MODIFY), g_notifications[2].first);
    EXPECT_EQ(static_cast<UINT>(NIF_INFO), g_notifications[2].second.uFlags);
    EXPECT_FALSE(g_agent.balloonPending);
    g_notifications.clear();
    ReAddTrayIcon();
    EXPECT_EQ(2u, g_notifications.size()) << "shown once";

    DeleteTrayIcon();
    DestroyWindow(window);
    g_agent.hotkeys.Clear();
    g_notifyPatch = nullptr;
}
