// Abbreviations typed for real into edit controls of the test's own and of
// the launch probe, against the real agent.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "agent_harness.h"

namespace {

const UINT AGENT_HOOKS = WM_APP + 0x108;
const UINT AGENT_PAUSE = WM_APP + 0x106;

ActionRecord Abbreviation(UINT owner, const wchar_t* text, UINT options = 0) {
    ActionRecord action = {};
    action.owner = owner;
    action.kind = 4;
    action.commandCode = options;
    CopyBoundedText(action.target, ACTION_PATH_CHARS, text);
    return action;
}

// Characters typed one by one, as a user types them; '\b' is Backspace.
void TypeSlowly(const std::wstring& text) {
    for (wchar_t c : text) {
        INPUT events[2] = {};
        for (INPUT& event : events) {
            event.type = INPUT_KEYBOARD;
            if (c == L'\b') {
                event.ki.wVk = VK_BACK;
            } else {
                event.ki.wScan = c;
                event.ki.dwFlags = KEYEVENTF_UNICODE;
            }
        }
        events[1].ki.dwFlags |= KEYEVENTF_KEYUP;
        SendInput(2, events, sizeof(INPUT));
        Sleep(30);
    }
}

std::wstring TextOf(HWND edit) {
    wchar_t text[256] = {};
    SendMessageW(edit, WM_GETTEXT, ARRAYSIZE(text), reinterpret_cast<LPARAM>(text));
    return text;
}

void LeftClick(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    ClickAt({(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}, false, 1);
}

} // namespace

TEST_F(AgentTest, AnAbbreviationExpandsWhereItStartsAWordAndNowhereItShouldNot) {
    Install(Library::None);
    Hotkeys hotkeys;
    Actions actions;
    HotkeyRecord keyless = MakeHotkey(L"Signature", 0, 0);
    hotkeys.Append(keyless);
    actions.Append(Abbreviation(0, L";sig"));
    actions.Append(TypingAction(0, L"Kind regards, Ann"));
    hotkeys.Append(keyless);
    actions.Append(Abbreviation(1, L"@@", 1)); // at once
    actions.Append(TypingAction(1, L"ann@example.org"));
    hotkeys.Append(keyless);
    actions.Append(ProgramsAction(2, PROGRAMS_ONLY_IN, L"launch_probe"));
    actions.Append(Abbreviation(2, L"zz1"));
    actions.Append(TypingAction(2, L"probe!"));
    hotkeys.Append(keyless);
    actions.Append(Abbreviation(3, L"tt9"));
    actions.Append(TypingAction(3, L";sig "));
    WriteStore(hotkeys, actions);
    ASSERT_TRUE(Start());
    EXPECT_TRUE(WaitFor([&] { return SendMessageW(window(), AGENT_HOOKS, 0, 0) == 3; }))
        << "the keyboard's and the mouse's";
    EXPECT_EQ(4u, StoredHotkeys().size());
    EXPECT_EQ(1, StoredHotkeys()[0].enabled) << "no keys, and never refused for that";

    FrontWindow front(ES_MULTILINE);
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == front.window(); }));
    const struct {
        const wchar_t* typed;
        const wchar_t* shown;
    } cases[] = {
        {L";sig ", L"Kind regards, Ann "},
        {L"@@", L"ann@example.org"},
        {L"x;sig ", L"x;sig "},                // inside a word
        {L";sik\bg.", L"Kind regards, Ann."},  // Backspace before the end
        {L"a ;SIG!", L"a Kind regards, Ann!"}, // case ignored, after a word
        {L"zz1 ", L"zz1 "},                    // only in the probe
        {L"tt9 ", L";sig  "},                  // its own typing expands nothing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::wstring(c.typed).c_str());
        SendMessageW(front.edit(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
        TypeSlowly(c.typed);
        EXPECT_TRUE(WaitFor([&] { return TextOf(front.edit()) == c.shown; }, 5000))
            << "shown: " << std::string(TextOf(front.edit()).begin(), TextOf(front.edit()).end());
        Sleep(200);
    }

    // A click in between forgets what was typed before it.
    SendMessageW(front.edit(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    TypeSlowly(L";s");
    LeftClick(front.edit());
    TypeSlowly(L"ig ");
    Sleep(500);
    EXPECT_EQ(L";sig ", TextOf(front.edit()));

    // Paused: nothing expands, and nothing is watched.
    EXPECT_EQ(1, SendMessageW(window(), AGENT_PAUSE, 1, 0));
    EXPECT_TRUE(WaitFor([&] { return SendMessageW(window(), AGENT_HOOKS, 0, 0) == 0; }));
    SendMessageW(front.edit(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    TypeSlowly(L";sig ");
    Sleep(500);
    EXPECT_EQ(L";sig ", TextOf(front.edit()));
    EXPECT_EQ(1, SendMessageW(window(), AGENT_PAUSE, 0, 0));

    // In the probe, its own abbreviation expands.
    PROCESS_INFORMATION process = {};
    HWND probe = StartProbeWindow(log_, L"window", &process);
    ASSERT_NE(nullptr, probe);
    HWND probeEdit = FindWindowExW(probe, nullptr, L"EDIT", nullptr);
    // Typed once the probe's edit has the keys.
    ASSERT_TRUE(WaitFor([&] {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        return GetForegroundWindow() == probe &&
               GetGUIThreadInfo(GetWindowThreadProcessId(probe, nullptr), &info) &&
               info.hwndFocus == probeEdit;
    }));
    Sleep(200);
    TypeSlowly(L"zz1 ");
    EXPECT_TRUE(WaitFor([&] { return TextOf(probeEdit) == L"probe! "; }, 5000))
        << std::string(TextOf(probeEdit).begin(), TextOf(probeEdit).end());
    EXPECT_TRUE(CloseProbeWindow(probe, &process));
    EXPECT_TRUE(Alive());
}

TEST_F(AgentTest, NothingIsWatchedInAPasswordFieldNorWithoutAbbreviations) {
    Install(Library::None);
    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"Signature", 0, 0));
    actions.Append(Abbreviation(0, L";sig"));
    actions.Append(TypingAction(0, L"Kind regards, Ann"));
    WriteStore(hotkeys, actions);
    ASSERT_TRUE(Start());
    FrontWindow secret(ES_PASSWORD);
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == secret.window(); }));
    TypeSlowly(L";sig ");
    Sleep(500);
    EXPECT_EQ(L";sig ", TextOf(secret.edit())) << "a password field keeps what is typed";

    Hotkeys keysOnly;
    Actions none;
    keysOnly.Append(MakeHotkey(L"Keys", MOD_CONTROL | MOD_ALT, VK_F9));
    WriteStore(keysOnly, none);
    ASSERT_EQ(static_cast<LRESULT>(AGENT_RELOAD), Reload());
    EXPECT_EQ(0, SendMessageW(window(), AGENT_HOOKS, 0, 0)) << "no abbreviation: no hook";
}
