#include "abbreviations.h"

#include "agent_state.h"
#include "hotkey_runner.h"
#include "program_rules.h"

namespace {

// What was typed last, no more than the longest abbreviation and the
// character before it, which tells whether the abbreviation starts a word.
const UINT KEPT_CHARS = ABBREVIATION_MAX_CHARS + 1;
wchar_t g_typed[KEPT_CHARS];
UINT g_length = 0;
UINT g_kept = 0;          // the longest abbreviation that works now, and one more
bool g_startsWord = true; // nothing was dropped from the front since the last start
// Whether some abbreviation that works now expands at its ending, and some
// at once: the typing is matched only for the kinds there are.
bool g_anyEnded = false;
bool g_anyAtOnce = false;
HWND g_focus = nullptr;

bool IsEnding(wchar_t c) {
    for (const wchar_t* ending = L" \r\t.,;:!?)]}\"'"; *ending; ++ending) {
        if (*ending == c)
            return true;
    }
    return false;
}

// The window with the focus in the program in front, and its thread, whose
// keyboard layout the keys are read with. Asked of the foreground thread
// at once: each question is a round trip to the window server under Wine,
// and this one is asked at every key.
HWND FocusInFront(DWORD* thread) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    HWND focus = nullptr;
    if (GetGUIThreadInfo(0, &info))
        focus = info.hwndFocus ? info.hwndFocus : info.hwndActive;
    *thread = focus ? GetWindowThreadProcessId(focus, nullptr) : 0;
    return focus;
}

// Nothing typed into a password box is kept.
bool IsPasswordField(HWND window) {
    wchar_t name[16];
    return window && (GetWindowLongPtrW(window, GWL_STYLE) & ES_PASSWORD) &&
           GetClassNameW(window, name, ARRAYSIZE(name)) && lstrcmpiW(name, L"Edit") == 0;
}

wchar_t CharacterOf(UINT virtualKey, UINT scanCode, UINT keyState, HKL layout) {
    if (virtualKey == VK_PACKET)
        return static_cast<wchar_t>(scanCode); // a character sent as itself
    BYTE state[256] = {};
    if (keyState & TYPED_SHIFT)
        state[VK_SHIFT] = 0x80;
    if (keyState & TYPED_CAPS_LOCK)
        state[VK_CAPITAL] = 0x01;
    wchar_t text[4];
    // 4: leaves the keyboard's state, dead keys included, as it is.
    const int length = ToUnicodeEx(virtualKey, scanCode, state, text, ARRAYSIZE(text), 0x4, layout);
    return length == 1 ? text[0] : 0;
}

bool EndsWith(const wchar_t* abbreviation, UINT length, bool matchCase) {
    if (length > g_length)
        return false;
    const UINT from = g_length - length;
    if (from > 0 ? !IsEnding(g_typed[from - 1]) : !g_startsWord)
        return false; // inside a word
    return CompareStringOrdinal(g_typed + from, static_cast<int>(length), abbreviation,
                                static_cast<int>(length), matchCase ? FALSE : TRUE) == CSTR_EQUAL;
}

// The hotkey whose abbreviation the typing ends with, where it works with the
// program in front: one limited to it outranks one for every program. Its
// abbreviation's length in `matched`.
int MatchingHotkey(bool atOnce, UINT* matched) {
    int everywhere = -1;
    UINT everywhereLength = 0;
    wchar_t program[2 * MAX_PATH];
    bool programRead = false;
    const RecordArray<ActionRecord>& actions = g_agent.actions;
    for (UINT a = 0; a < actions.Count(); ++a) {
        const ActionRecord& action = actions.At(a);
        if (action.kind != ACTION_ABBREVIATION || action.owner >= g_agent.states.Count())
            continue;
        const HotkeyState& state = g_agent.states.At(action.owner);
        if (!state.wanted || ((action.commandCode & ABBREVIATION_AT_ONCE) != 0) != atOnce)
            continue;
        UINT length = 0;
        while (length < ABBREVIATION_MAX_CHARS && action.target[length])
            ++length;
        if (length < ABBREVIATION_MIN_CHARS ||
            !EndsWith(action.target, length, (action.commandCode & ABBREVIATION_MATCH_CASE) != 0))
            continue;
        if (state.rule < 0) {
            if (everywhere < 0) {
                everywhere = static_cast<int>(action.owner);
                everywhereLength = length;
            }
            continue;
        }
        if (!programRead) {
            ProgramOfWindow(GetForegroundWindow(), program, ARRAYSIZE(program));
            programRead = true;
        }
        if (RuleAdmitsProgram(actions.At(static_cast<UINT>(state.rule)), program)) {
            *matched = length;
            return static_cast<int>(action.owner);
        }
    }
    *matched = everywhereLength;
    return everywhere;
}

void Append(wchar_t c) {
    if (g_kept == 0)
        return;
    if (g_length >= g_kept) {
        for (UINT i = 1; i < g_length; ++i)
            g_typed[i - 1] = g_typed[i];
        g_typed[--g_length] = 0;
        g_startsWord = false;
    }
    g_typed[g_length++] = c;
}

} // namespace

bool ReadAbbreviations() {
    UINT longest = 0;
    g_anyEnded = g_anyAtOnce = false;
    for (UINT a = 0; a < g_agent.actions.Count(); ++a) {
        const ActionRecord& action = g_agent.actions.At(a);
        if (action.kind != ACTION_ABBREVIATION || action.owner >= g_agent.states.Count() ||
            !g_agent.states.At(action.owner).wanted)
            continue;
        UINT length = 0;
        while (length < ABBREVIATION_MAX_CHARS && action.target[length])
            ++length;
        longest = length > longest ? length : longest;
        if (action.commandCode & ABBREVIATION_AT_ONCE)
            g_anyAtOnce = true;
        else
            g_anyEnded = true;
    }
    // No more is kept than the longest abbreviation and the character before it.
    g_kept = longest ? longest + 1 : 0;
    if (g_length > g_kept)
        ForgetTyping();
    return longest > 0;
}

void ForgetTyping() {
    SecureZeroMemory(g_typed, sizeof g_typed);
    g_length = 0;
    g_startsWord = true;
}

void NoteTypedKey(UINT virtualKey, UINT scanCode, UINT keyState) {
    // A combination, a move of the caret or Esc: what follows is no longer
    // the word that was being typed.
    if (keyState & (TYPED_CONTROL | TYPED_ALT | TYPED_WIN)) {
        ForgetTyping();
        return;
    }
    switch (virtualKey) {
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
    case VK_HOME:
    case VK_END:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_ESCAPE:
    case VK_DELETE:
        ForgetTyping();
        return;
    case VK_BACK:
        if (g_length > 0)
            g_typed[--g_length] = 0;
        return;
    default:
        break;
    }
    DWORD thread = 0;
    const HWND focus = FocusInFront(&thread);
    if (focus != g_focus) {
        ForgetTyping();
        g_focus = focus;
    }
    if (IsPasswordField(focus)) {
        ForgetTyping();
        return;
    }
    const HKL layout = GetKeyboardLayout(thread);
    const wchar_t c = CharacterOf(virtualKey, scanCode, keyState, layout);
    if (!c)
        return;
    // Ended: the abbreviation and its ending are erased, and the ending typed
    // again; at once: the abbreviation alone.
    int hotkey = -1;
    UINT erase = 0;
    wchar_t ending = 0;
    if (g_anyEnded && IsEnding(c)) {
        hotkey = MatchingHotkey(/*atOnce=*/false, &erase);
        ++erase;
        ending = c;
    }
    Append(c);
    if (hotkey < 0 && g_anyAtOnce) {
        hotkey = MatchingHotkey(/*atOnce=*/true, &erase);
        ending = 0;
    }
    if (hotkey < 0)
        return;
    ForgetTyping();
    ExpandAbbreviation(g_agent.window, static_cast<UINT>(hotkey), erase, ending);
}
