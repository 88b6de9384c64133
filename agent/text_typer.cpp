#include "text_typer.h"

#include "agent_state.h"
#include "hotkey_runner.h"
#include "key_text.h"
#include "record_array.h"
#include "system_commands.h"
#include "window_in_front.h"

namespace {

const DWORD LET_GO_WAIT_MS = 1000;
const DWORD STEP_ASIDE_WAIT_MS = 5000;
const DWORD SETTLE_MS = 100;
// The most events one unit of text makes: a key with four modifiers.
const UINT MAX_EVENTS_PER_UNIT = 10;

// Keys whose scan codes carry the E0 prefix on a PC keyboard.
bool IsExtendedKey(UINT key) {
    switch (key) {
    case VK_INSERT:
    case VK_DELETE:
    case VK_HOME:
    case VK_END:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
    case VK_NUMLOCK:
    case VK_DIVIDE:
    case VK_SNAPSHOT:
    case VK_LWIN:
    case VK_RWIN:
    case VK_APPS:
    case VK_RCONTROL:
    case VK_RMENU:
        return true;
    default:
        return key >= VK_BROWSER_BACK && key <= VK_LAUNCH_APP2;
    }
}

INPUT KeyEvent(UINT key, bool up) {
    INPUT event = {};
    event.type = INPUT_KEYBOARD;
    event.ki.wVk = static_cast<WORD>(key);
    event.ki.dwExtraInfo = AGENT_INPUT_MARK;
    event.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    event.ki.dwFlags =
        (up ? KEYEVENTF_KEYUP : 0) | (IsExtendedKey(key) ? KEYEVENTF_EXTENDEDKEY : 0);
    return event;
}

INPUT UnitEvent(wchar_t unit, bool up) {
    INPUT event = {};
    event.type = INPUT_KEYBOARD;
    event.ki.dwExtraInfo = AGENT_INPUT_MARK;
    event.ki.wScan = unit;
    event.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
    return event;
}

bool IsDown(int key) {
    return (GetAsyncKeyState(key) & 0x8000) != 0;
}

// The user lets go of the hotkey's keys before anything is typed; what is
// still held after the wait is released as the system commands release it.
void LetGoOfHotkeyKeys(UINT hotkeyParameter) {
    const UINT modifiers = LOWORD(hotkeyParameter);
    const int key = HIWORD(hotkeyParameter);
    const DWORD start = GetTickCount();
    for (;;) {
        const bool held = IsDown(key) || ((modifiers & MOD_CONTROL) && IsDown(VK_CONTROL)) ||
                          ((modifiers & MOD_ALT) && IsDown(VK_MENU)) ||
                          ((modifiers & MOD_SHIFT) && IsDown(VK_SHIFT)) ||
                          ((modifiers & MOD_WIN) && (IsDown(VK_LWIN) || IsDown(VK_RWIN)));
        if (!held)
            return;
        if (GetTickCount() - start > LET_GO_WAIT_MS)
            break;
        Sleep(10);
    }
    ReleaseHotkeyKeys(hotkeyParameter);
}

// The agent's hotkeys that the text would press, asked to step aside on the
// agent's own thread, which owns the registrations: every one, however many.
typedef RecordArray<LRESULT> SteppedAside;

void StepAside(HWND agentWindow, const wchar_t* text, UINT length, SteppedAside* aside) {
    UINT position = 0;
    for (;;) {
        const TypedPiece piece = NextTypedPiece(text, length, &position);
        if (piece.kind == TYPED_END)
            return;
        if (piece.kind != TYPED_KEY)
            continue;
        // Once for each combination, however often the text presses it.
        const LPARAM combination = TypedCombination(piece.modifiers, piece.virtualKey);
        bool asked = false;
        for (UINT n = 0; n < aside->Count() && !asked; ++n)
            asked = aside->At(n) == combination;
        if (asked)
            continue;
        DWORD_PTR token = 0;
        if (SendMessageTimeoutW(agentWindow, AgentStepAsideMessage, piece.modifiers,
                                piece.virtualKey, SMTO_ABORTIFHUNG, STEP_ASIDE_WAIT_MS, &token) &&
            token != 0)
            aside->Append(static_cast<LRESULT>(token));
    }
}

// Posted, not sent: a busy agent thread takes them back when it is free,
// and none is lost to a timeout (that would keep the keys aside for good).
// The system may still be working through the typed keys when SendInput
// returns: the hotkeys come back only after a short settling time.
void ComeBack(HWND agentWindow, const SteppedAside& aside) {
    if (aside.Count() > 0)
        Sleep(SETTLE_MS);
    for (UINT n = 0; n < aside.Count(); ++n)
        PostMessageW(agentWindow, AgentComeBackMessage, 0, aside.At(n));
}

// Sends a batch; a batch the system cut short must not leave a modifier down.
void SendBatch(INPUT* events, UINT count) {
    if (count == 0)
        return;
    if (SendInput(count, events, sizeof(INPUT)) == count)
        return;
    const UINT modifierKeys[] = {VK_CONTROL, VK_MENU, VK_SHIFT, VK_LWIN};
    INPUT ups[ARRAYSIZE(modifierKeys)];
    for (UINT k = 0; k < ARRAYSIZE(modifierKeys); ++k)
        ups[k] = KeyEvent(modifierKeys[k], true);
    SendInput(ARRAYSIZE(ups), ups, sizeof(INPUT));
}

} // namespace

UINT KeyEvents(UINT modifiers, UINT virtualKey, INPUT* events) {
    const UINT flags[] = {MOD_CONTROL, MOD_ALT, MOD_SHIFT, MOD_WIN};
    const UINT keys[] = {VK_CONTROL, VK_MENU, VK_SHIFT, VK_LWIN};
    UINT count = 0;
    for (UINT m = 0; m < ARRAYSIZE(flags); ++m) {
        if (modifiers & flags[m])
            events[count++] = KeyEvent(keys[m], false);
    }
    events[count++] = KeyEvent(virtualKey, false);
    events[count++] = KeyEvent(virtualKey, true);
    for (UINT m = ARRAYSIZE(flags); m-- > 0;) {
        if (modifiers & flags[m])
            events[count++] = KeyEvent(keys[m], true);
    }
    return count;
}

void EraseTyped(UINT count) {
    INPUT events[2 * ABBREVIATION_MAX_CHARS + 2];
    UINT used = 0;
    for (UINT n = 0; n < count && used + 2 <= ARRAYSIZE(events); ++n) {
        events[used++] = KeyEvent(VK_BACK, false);
        events[used++] = KeyEvent(VK_BACK, true);
    }
    SendBatch(events, used);
}

void TypeCharacter(wchar_t character) {
    INPUT events[2];
    if (character == L'\r' || character == L'\t') {
        events[0] = KeyEvent(character == L'\r' ? VK_RETURN : VK_TAB, false);
        events[1] = KeyEvent(character == L'\r' ? VK_RETURN : VK_TAB, true);
    } else {
        events[0] = UnitEvent(character, false);
        events[1] = UnitEvent(character, true);
    }
    SendBatch(events, 2);
}

void PassPressOn(UINT hotkeyParameter) {
    INPUT events[MAX_EVENTS_PER_UNIT];
    const UINT key = HIWORD(hotkeyParameter);
    UINT count = 1;
    events[0] = KeyEvent(key, false);
    if (!IsDown(static_cast<int>(key)))
        count = KeyEvents(LOWORD(hotkeyParameter), key, events);
    SendInput(count, events, sizeof(INPUT));
}

void TypeText(HWND agentWindow, UINT hotkeyParameter, const wchar_t* text, UINT width) {
    UINT length = 0;
    while (length < width && text[length])
        ++length;
    if (length == 0)
        return;
    INPUT* events = static_cast<INPUT*>(
        HeapAlloc(GetProcessHeap(), 0, length * MAX_EVENTS_PER_UNIT * sizeof(INPUT)));
    if (!events)
        return;
    LetGoOfHotkeyKeys(hotkeyParameter);
    // The system drops input meant for a program with more rights, silently.
    if (HWND front = WindowInFront()) {
        if (RunsAboveAgent(front)) {
            TellCannotReach(front, /*typing=*/true);
            HeapFree(GetProcessHeap(), 0, events);
            return;
        }
    }
    SteppedAside aside;
    StepAside(agentWindow, text, length, &aside);

    UINT count = 0;
    UINT position = 0;
    for (bool more = true; more;) {
        const TypedPiece piece = NextTypedPiece(text, length, &position);
        switch (piece.kind) {
        case TYPED_CHARACTERS:
            for (UINT u = 0; u < piece.length; ++u) {
                events[count++] = UnitEvent(piece.text[u], false);
                events[count++] = UnitEvent(piece.text[u], true);
            }
            break;
        case TYPED_KEY:
            count += KeyEvents(piece.modifiers, piece.virtualKey, events + count);
            break;
        case TYPED_SLEEP:
            SendBatch(events, count);
            count = 0;
            Sleep(piece.milliseconds);
            break;
        case TYPED_UNKNOWN: // the editors refuse these; a stored one types nothing
            break;
        case TYPED_END:
        default:
            more = false;
            break;
        }
    }
    SendBatch(events, count);
    ComeBack(agentWindow, aside);
    HeapFree(GetProcessHeap(), 0, events);
}
