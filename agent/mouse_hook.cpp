#include "mouse_hook.h"

#include "abbreviations.h"
#include "agent_state.h"
#include "program_rules.h"

namespace {

// The seven triggers, in this order, and the sixteen sets of modifiers.
const int TRIGGER_SLOTS = 7;
const UINT TRIGGER_KEYS[TRIGGER_SLOTS] = {
    VK_MBUTTON,         VK_XBUTTON1,        VK_XBUTTON2,        TRIGGER_WHEEL_UP,
    TRIGGER_WHEEL_DOWN, TRIGGER_WHEEL_LEFT, TRIGGER_WHEEL_RIGHT};
const int MODIFIER_SETS = 16;

// One hotkey on a trigger, in list order; those on one trigger and set of
// modifiers are chained.
struct MouseEntry {
    int hotkey;
    int rule; // into the table's rules, or -1 (every program)
    int next; // the next on the same slot, or -1
};

// Made on the agent's thread, then owned by the hook's: never changed once
// handed over, so the hook reads it without a lock.
struct MouseTable {
    int first[TRIGGER_SLOTS][MODIFIER_SETS];
    bool used[TRIGGER_SLOTS]; // some hotkey is on the trigger, with any modifiers
    bool watchTyping;         // some abbreviation works: keys are watched, clicks forget them
    UINT count;
    MouseEntry* entries;
    ActionRecord* rules;
};

const UINT TableMessage = WM_APP + 1; // lParam: the new table
const UINT HookAgainMessage = WM_APP + 2;

HANDLE g_thread = nullptr;
DWORD g_threadId = 0;
HANDLE g_ready = nullptr;
HANDLE g_applied = nullptr; // set by the hook thread once it holds a new table

// The hook thread's own state.
HHOOK g_hook = nullptr;
HHOOK g_keyboardHook = nullptr;
volatile LONG g_keyboardHooked = 0;
MouseTable* g_table = nullptr;
bool g_swallowedUp[3] = {}; // a button whose down was taken: its up is too
volatile DWORD g_lastCalled = 0;
volatile DWORD g_lastKeyCalled = 0;
HWND g_pointerWindow = nullptr;
DWORD g_pointerProcess = 0;
wchar_t g_pointerProgram[2 * MAX_PATH] = {};

// What the hook procedures hand to the agent's thread, in order. The
// procedures only note it; the hook thread posts it once a procedure has
// returned, because the system holds the input until the hook answers and a
// post is a round trip to the window server on some systems (Wine's). A
// mouse hotkey goes at once; the keys typed a moment later, once each has
// reached its window, so that reading them never competes with their way
// there (the word typed is only looked at when it ends).
struct HookPost {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
const UINT HOOK_POSTS = 64;
const DWORD TYPING_POST_DELAY_MS = 2;
HookPost g_posts[HOOK_POSTS];
UINT g_postCount = 0;
bool g_postsLost = false;
bool g_postsUrgent = false;
DWORD g_postsSince = 0;

// False when the hook thread has not caught up (it posts within moments of
// each procedure, so only a stalled agent fills it): the event is then
// passed on.
bool PostLater(UINT message, WPARAM wParam, LPARAM lParam, bool urgent = false) {
    if (g_postCount == HOOK_POSTS) {
        g_postsLost = true;
        return false;
    }
    if (g_postCount == 0)
        g_postsSince = GetTickCount();
    g_posts[g_postCount++] = {message, wParam, lParam};
    g_postsUrgent = g_postsUrgent || urgent;
    return true;
}

void PostPendingPosts() {
    for (UINT i = 0; i < g_postCount; ++i)
        PostMessageW(g_agent.window, g_posts[i].message, g_posts[i].wParam, g_posts[i].lParam);
    g_postCount = 0;
    g_postsUrgent = false;
    // A key that was not heard leaves the word typed so far unknown.
    if (g_postsLost)
        PostMessageW(g_agent.window, AgentForgetTypingMessage, 0, 0);
    g_postsLost = false;
}

void FreeTable(MouseTable* table) {
    if (table)
        HeapFree(GetProcessHeap(), 0, table);
}

int SlotOf(UINT key) {
    for (int slot = 0; slot < TRIGGER_SLOTS; ++slot) {
        if (TRIGGER_KEYS[slot] == key)
            return slot;
    }
    return -1;
}

bool Down(int key) {
    return (GetAsyncKeyState(key) & 0x8000) != 0;
}

UINT ModifiersHeld() {
    return (Down(VK_MENU) ? MOD_ALT : 0) | (Down(VK_CONTROL) ? MOD_CONTROL : 0) |
           (Down(VK_SHIFT) ? MOD_SHIFT : 0) | (Down(VK_LWIN) || Down(VK_RWIN) ? MOD_WIN : 0);
}

// The program whose window is under the pointer. Each question about a
// window is a round trip to the window server under Wine, so only the window
// under the pointer is asked for again when it is the one asked last; the
// program's name only when its process changed.
const wchar_t* ProgramUnderPointer(POINT point) {
    HWND window = WindowFromPoint(point);
    if (window && window == g_pointerWindow)
        return g_pointerProgram;
    g_pointerWindow = window;
    DWORD processId = 0;
    if (window)
        GetWindowThreadProcessId(GetAncestor(window, GA_ROOT), &processId);
    if (processId != g_pointerProcess || !processId) {
        g_pointerProcess = processId;
        ProgramOfProcess(processId, g_pointerProgram, ARRAYSIZE(g_pointerProgram));
    }
    return g_pointerProgram;
}

// Of the hotkeys on a slot, one limited to the program under the pointer
// outranks one for every program, and of two the earlier works.
int ChooseHotkey(const MouseTable& table, int first, POINT point) {
    int everywhere = -1;
    const wchar_t* program = nullptr;
    for (int e = first; e >= 0; e = table.entries[e].next) {
        const MouseEntry& entry = table.entries[e];
        if (entry.rule < 0) {
            if (everywhere < 0)
                everywhere = entry.hotkey;
            continue;
        }
        if (!program)
            program = ProgramUnderPointer(point);
        if (RuleAdmitsProgram(table.rules[entry.rule], program))
            return entry.hotkey;
    }
    return everywhere;
}

LRESULT CALLBACK MouseProc(int code, WPARAM message, LPARAM lParam) {
    if (code == HC_ACTION &&
        DecideMouseEvent(message, *reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam)))
        return 1;
    return CallNextHookEx(nullptr, code, message, lParam);
}

// Shift, Caps Lock, Ctrl, Alt and Win as the keyboard hook follows them
// from the keys it sees, asking the system nothing: its work stays small.
UINT g_keyState = 0;

UINT KeyFlag(DWORD key) {
    switch (key) {
    case VK_SHIFT:
    case VK_LSHIFT:
    case VK_RSHIFT:
        return TYPED_SHIFT;
    case VK_CONTROL:
    case VK_LCONTROL:
    case VK_RCONTROL:
        return TYPED_CONTROL;
    case VK_MENU:
    case VK_LMENU:
    case VK_RMENU:
        return TYPED_ALT;
    case VK_LWIN:
    case VK_RWIN:
        return TYPED_WIN;
    default:
        return 0;
    }
}

// Where the keyboard stands when the hook is installed.
void ReadKeyState() {
    g_keyState = (Down(VK_SHIFT) ? TYPED_SHIFT : 0) |
                 ((GetKeyState(VK_CAPITAL) & 1) ? TYPED_CAPS_LOCK : 0) |
                 (Down(VK_CONTROL) ? TYPED_CONTROL : 0) | (Down(VK_MENU) ? TYPED_ALT : 0) |
                 (Down(VK_LWIN) || Down(VK_RWIN) ? TYPED_WIN : 0);
}

LRESULT CALLBACK KeyboardProc(int code, WPARAM message, LPARAM lParam) {
    if (code == HC_ACTION)
        PassKeyDown(message, *reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam));
    return CallNextHookEx(nullptr, code, message, lParam);
}

void Hook() {
    g_hook = SetWindowsHookExW(WH_MOUSE_LL, MouseProc, GetModuleHandleW(nullptr), 0);
}

// The keyboard's hook exists only while some abbreviation works.
void HookKeyboard(bool wanted) {
    if (wanted && !g_keyboardHook) {
        ReadKeyState();
        g_keyboardHook =
            SetWindowsHookExW(WH_KEYBOARD_LL, KeyboardProc, GetModuleHandleW(nullptr), 0);
    } else if (!wanted && g_keyboardHook) {
        UnhookWindowsHookEx(g_keyboardHook);
        g_keyboardHook = nullptr;
    }
    InterlockedExchange(&g_keyboardHooked, g_keyboardHook ? 1 : 0);
}

void HookAgain() {
    if (g_hook)
        UnhookWindowsHookEx(g_hook);
    Hook();
    if (g_keyboardHook) {
        HookKeyboard(false);
        HookKeyboard(true);
    }
}

// Windows removes a hook that answers too slowly, and says nothing: the
// pointer moved, or a key went down, and the hook heard nothing of it, so
// the hook thread installs it again. Checked on the agent's thread, which
// asks where the pointer is: under Wine a thread that asks the display
// anything opens a connection of its own to it, a megabyte the hook thread
// is spared.
const UINT_PTR HOOK_CHECK_TIMER = 4;
const UINT HOOK_CHECK_MS = 5000;
POINT g_checkedPointer = {};
DWORD g_checkedAt = 0;

void CALLBACK OnHookCheck(HWND, UINT, UINT_PTR, DWORD) {
    POINT now = {};
    GetCursorPos(&now);
    const DWORD tick = GetTickCount();
    LASTINPUTINFO input = {sizeof input, 0};
    GetLastInputInfo(&input);
    const bool mouseUnheard = static_cast<LONG>(g_lastCalled - g_checkedAt) < 0;
    const bool keysUnheard = g_keyboardHooked &&
                             static_cast<LONG>(input.dwTime - g_checkedAt) > 0 &&
                             static_cast<LONG>(g_lastKeyCalled - g_checkedAt) < 0 && mouseUnheard;
    if (((now.x != g_checkedPointer.x || now.y != g_checkedPointer.y) && mouseUnheard) ||
        keysUnheard)
        PostThreadMessageW(g_threadId, HookAgainMessage, 0, 0);
    g_checkedPointer = now;
    g_checkedAt = tick;
}

const SIZE_T HOOK_THREAD_STACK = 64 * 1024;
const DWORD TABLE_WAIT_MS = 1000;

DWORD WINAPI HookThread(void*) {
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE); // the thread's queue, before anyone posts
    Hook();
    SetEvent(g_ready);
    // Not GetMessage, which would go on waiting after the hooks it calls:
    // the posts their procedures left go out as soon as each returns (the
    // typed keys' once their short delay is over).
    for (bool quit = false; !quit;) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quit = true;
                break;
            }
            if (message.message == TableMessage) {
                FreeTable(g_table);
                g_table = reinterpret_cast<MouseTable*>(message.lParam);
                HookKeyboard(g_table && g_table->watchTyping);
                SetEvent(g_applied);
            } else if (message.message == HookAgainMessage) {
                HookAgain();
            }
        }
        DWORD wait = INFINITE;
        if (g_postCount > 0) {
            const DWORD waited = GetTickCount() - g_postsSince;
            if (quit || g_postsUrgent || waited >= TYPING_POST_DELAY_MS)
                PostPendingPosts();
            else
                wait = TYPING_POST_DELAY_MS - waited;
        }
        if (!quit)
            MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
    if (g_hook)
        UnhookWindowsHookEx(g_hook);
    g_hook = nullptr;
    HookKeyboard(false);
    FreeTable(g_table);
    g_table = nullptr;
    return 0;
}

// The hotkeys that want a mouse trigger now, as one table; nullptr for none.
MouseTable* MakeTable() {
    const RecordArray<HotkeyRecord>& hotkeys = g_agent.hotkeys;
    UINT count = 0, rules = 0;
    for (UINT i = 0; i < hotkeys.Count() && i < g_agent.states.Count(); ++i) {
        if (g_agent.states.At(i).registered && IsMouseTrigger(hotkeys.At(i).virtualKey)) {
            ++count;
            rules += g_agent.states.At(i).rule >= 0 ? 1 : 0;
        }
    }
    const bool watchTyping = ReadAbbreviations();
    if (count == 0 && !watchTyping)
        return nullptr;
    const SIZE_T entriesAt = (sizeof(MouseTable) + 7) & ~static_cast<SIZE_T>(7);
    const SIZE_T rulesAt = entriesAt + ((count * sizeof(MouseEntry) + 7) & ~static_cast<SIZE_T>(7));
    BYTE* memory =
        static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, rulesAt + rules * sizeof(ActionRecord)));
    if (!memory)
        return nullptr;
    MouseTable* table = reinterpret_cast<MouseTable*>(memory);
    table->entries = reinterpret_cast<MouseEntry*>(memory + entriesAt);
    table->rules = reinterpret_cast<ActionRecord*>(memory + rulesAt);
    table->count = count;
    table->watchTyping = watchTyping;
    int* last[TRIGGER_SLOTS][MODIFIER_SETS];
    for (int slot = 0; slot < TRIGGER_SLOTS; ++slot) {
        table->used[slot] = false;
        for (int set = 0; set < MODIFIER_SETS; ++set) {
            table->first[slot][set] = -1;
            last[slot][set] = &table->first[slot][set];
        }
    }
    int entry = 0, rule = 0;
    for (UINT i = 0; i < hotkeys.Count() && i < g_agent.states.Count(); ++i) {
        const HotkeyState& state = g_agent.states.At(i);
        const int slot = SlotOf(hotkeys.At(i).virtualKey);
        if (!state.registered || slot < 0)
            continue;
        const UINT set = hotkeys.At(i).modifiers & HOTKEY_MODIFIERS;
        MouseEntry& made = table->entries[entry];
        made.hotkey = static_cast<int>(i);
        made.rule = -1;
        made.next = -1;
        if (state.rule >= 0) {
            table->rules[rule] = g_agent.actions.At(static_cast<UINT>(state.rule));
            made.rule = rule++;
        }
        *last[slot][set] = entry;
        last[slot][set] = &made.next;
        table->used[slot] = true;
        ++entry;
    }
    return table;
}

void StopHookThread() {
    if (!g_thread)
        return;
    KillTimer(g_agent.window, HOOK_CHECK_TIMER);
    PostThreadMessageW(g_threadId, WM_QUIT, 0, 0);
    WaitForSingleObject(g_thread, 5000);
    CloseHandle(g_thread);
    g_thread = nullptr;
    g_threadId = 0;
}

bool StartHookThread() {
    if (!g_ready)
        g_ready = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!g_applied)
        g_applied = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    // It only pumps messages and decides in a few frames: a small stack.
    g_thread = CreateThread(nullptr, HOOK_THREAD_STACK, HookThread, nullptr,
                            STACK_SIZE_PARAM_IS_A_RESERVATION, &g_threadId);
    if (!g_thread)
        return false;
    // Its queue exists once it is ready, so the table posted next arrives.
    WaitForSingleObject(g_ready, 5000);
    GetCursorPos(&g_checkedPointer);
    g_checkedAt = GetTickCount();
    SetTimer(g_agent.window, HOOK_CHECK_TIMER, HOOK_CHECK_MS, OnHookCheck);
    return true;
}

} // namespace

void PassKeyDown(WPARAM message, const KBDLLHOOKSTRUCT& key) {
    g_lastKeyCalled = GetTickCount();
    const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
    if (const UINT flag = KeyFlag(key.vkCode))
        g_keyState = down ? g_keyState | flag : g_keyState & ~flag;
    else if (key.vkCode == VK_CAPITAL && down)
        g_keyState ^= TYPED_CAPS_LOCK;
    if (!down || ((key.flags & LLKHF_INJECTED) && key.dwExtraInfo == AGENT_INPUT_MARK))
        return;
    const WPARAM typed = (key.vkCode & 0xFFFF) | ((key.scanCode & 0xFFFF) << 16) |
                         (static_cast<WPARAM>(g_keyState) << 32);
    PostLater(AgentTypedKeyMessage, typed, 0);
}

bool DecideMouseEvent(WPARAM message, const MSLLHOOKSTRUCT& event) {
    g_lastCalled = GetTickCount();
    // What the agent sends itself is never a trigger; what others inject is.
    if ((event.flags & LLMHF_INJECTED) && event.dwExtraInfo == AGENT_INPUT_MARK)
        return false;
    int slot = -1;
    bool up = false;
    const short high = static_cast<short>(HIWORD(event.mouseData));
    switch (message) {
    case WM_MBUTTONUP:
        up = true;
        slot = 0;
        break;
    case WM_MBUTTONDOWN:
        slot = 0;
        break;
    case WM_XBUTTONUP:
        up = true;
        slot = high == XBUTTON1 ? 1 : high == XBUTTON2 ? 2 : -1;
        break;
    case WM_XBUTTONDOWN:
        slot = high == XBUTTON1 ? 1 : high == XBUTTON2 ? 2 : -1;
        break;
    case WM_MOUSEWHEEL:
        slot = high > 0 ? 3 : high < 0 ? 4 : -1;
        break;
    case WM_MOUSEHWHEEL:
        slot = high > 0 ? 6 : high < 0 ? 5 : -1;
        break;
    default:
        // A click moves the caret: the word typed before it is over.
        if ((message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN) && g_table &&
            g_table->watchTyping)
            PostLater(AgentForgetTypingMessage, 0, 0);
        return false;
    }
    if (g_table && g_table->watchTyping && !up)
        PostLater(AgentForgetTypingMessage, 0, 0);
    if (slot < 0)
        return false;
    if (up) {
        // The up of a down that ran a hotkey goes with it.
        const bool swallowed = g_swallowedUp[slot];
        g_swallowedUp[slot] = false;
        return swallowed;
    }
    const MouseTable* table = g_table;
    if (!table || !table->used[slot])
        return false;
    // Only now the keys held: under Wine every look at them after a
    // low-level hook has run is a round trip to the window server.
    const UINT modifiers = ModifiersHeld();
    const int first = table->first[slot][modifiers];
    if (first < 0)
        return false;
    const int hotkey = ChooseHotkey(*table, first, event.pt);
    if (hotkey < 0)
        return false; // no hotkey works for the program under the pointer
    if (!PostLater(AgentMouseHotkeyMessage, static_cast<WPARAM>(hotkey),
                   TypedCombination(modifiers, TRIGGER_KEYS[slot]), /*urgent=*/true))
        return false;
    if (slot < 3)
        g_swallowedUp[slot] = true;
    return true;
}

void UpdateMouseHook() {
    MouseTable* table = MakeTable();
    if (!table && g_agent.reloading) {
        // Nothing to take until the list is registered again.
        ResetEvent(g_applied);
        if (g_thread && PostThreadMessageW(g_threadId, TableMessage, 0, 0))
            WaitForSingleObject(g_applied, TABLE_WAIT_MS);
        return;
    }
    if (!table) {
        StopHookThread();
        return;
    }
    if (!g_thread && !StartHookThread()) {
        FreeTable(table);
        return;
    }
    // Taken before the clicks that follow: the hook thread only pumps
    // messages, so the short wait for it never waits on this thread.
    ResetEvent(g_applied);
    if (PostThreadMessageW(g_threadId, TableMessage, 0, reinterpret_cast<LPARAM>(table)))
        WaitForSingleObject(g_applied, TABLE_WAIT_MS);
    else
        FreeTable(table);
}

void PostHookPending() {
    PostPendingPosts();
}

bool MouseHookInstalled() {
    return g_thread != nullptr;
}

bool KeyboardHookInstalled() {
    return g_thread != nullptr && g_keyboardHooked != 0;
}
