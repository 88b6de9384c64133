// The abbreviations' part of `scripts/bench agent`: the time one key spends
// in the agent's keyboard hook procedure, and on its thread being matched,
// with 500 abbreviations; the delay from a key press to its character in a
// window with no hook, with a do-nothing keyboard hook of a program of its
// own and with the agent's; and from the ending character of an
// abbreviation to the last character of its 100-character expansion.
#include "typing_bench.h"

#include <shlwapi.h>
#include <stdlib.h>

#include "abbreviations.h"
#include "agent_state.h"
#include "bench_util.h"
#include "hook_bench.h"
#include "hotkey_runner.h"
#include "mouse_hook.h"
#include "store.h"
#include "window_in_front.h"

namespace {

const UINT ABBREVIATIONS = 500;
const int KEYS = 10000;
const int PRESSES = 101;
const int EXPANSIONS = 11;
const UINT EXPANSION_CHARS = 100;

// 500 hotkeys with abbreviations ";a0" to ";a499", a tenth of them limited
// to a program, and "zq9", which types 100 characters.
void Abbreviations(RecordArray<HotkeyRecord>* hotkeys, RecordArray<ActionRecord>* actions) {
    for (UINT n = 0; n <= ABBREVIATIONS; ++n) {
        HotkeyRecord hotkey = {};
        hotkey.enabled = 1;
        hotkeys->Append(hotkey);
        if (n % 10 == 5) {
            ActionRecord rule = {};
            rule.owner = n;
            rule.kind = ACTION_PROGRAMS;
            CopyBoundedText(rule.target, ACTION_PATH_CHARS, L"notepad; winword");
            actions->Append(rule);
        }
        ActionRecord abbreviation = {};
        abbreviation.owner = n;
        abbreviation.kind = ACTION_ABBREVIATION;
        wchar_t text[16];
        wsprintfW(text, n < ABBREVIATIONS ? L";a%u" : L"zq9", n);
        CopyBoundedText(abbreviation.target, ACTION_PATH_CHARS, text);
        actions->Append(abbreviation);
        ActionRecord typing = {};
        typing.owner = n;
        typing.kind = ACTION_TYPE_TEXT;
        for (UINT c = 0; c < EXPANSION_CHARS; ++c)
            typing.target[c] = static_cast<wchar_t>(L'a' + c % 26);
        actions->Append(typing);
    }
}

// The hook procedure's work and the matching on the agent's thread, timed
// in this process over a stream of letters, blanks and Backspaces.
void TimeKeys(TypingFigures* figures) {
    HWND window = StartAgentHere(L"PendrixBenchTyping", Abbreviations);
    static double hook[KEYS], matching[KEYS];
    // Nothing in it expands (each expansion would type for real), yet every
    // ending character is matched against all 500.
    const wchar_t stream[] = L";b17 hello ;a4x\b99x. ";
    for (int i = 0; i < KEYS; ++i) {
        const wchar_t c = stream[i % (ARRAYSIZE(stream) - 1)];
        KBDLLHOOKSTRUCT key = {};
        key.vkCode = c == L'\b' ? VK_BACK : VK_PACKET;
        key.scanCode = c == L'\b' ? 0 : c;
        LONGLONG start = Now();
        PassKeyDown(WM_KEYDOWN, key);
        hook[i] = Milliseconds(Now() - start) * 1000.0;
        PostHookPending(); // as the hook thread does after the procedure
        // The agent's thread: read, kept and matched.
        start = Now();
        NoteTypedKey(key.vkCode, key.scanCode, 0);
        matching[i] = Milliseconds(Now() - start) * 1000.0;
        if (i % 500 == 499) {
            MSG posted;
            while (PeekMessageW(&posted, window, 0, 0, PM_REMOVE)) {
            }
        }
    }
    StopAgentHere(window);
    Percentiles(hook, KEYS, &figures->hookMedianUs, &figures->hookP99Us);
    Percentiles(matching, KEYS, &figures->matchMedianUs, &figures->matchP99Us);
}

// An edit control in front, on a thread of its own, noting when each
// character arrives and how many it has.
volatile LONGLONG g_arrived = 0;
volatile LONG g_characters = 0;
HWND g_edit = nullptr;
WNDPROC g_editProc = nullptr;

LRESULT CALLBACK NoteCharacter(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = CallWindowProcW(g_editProc, edit, message, wParam, lParam);
    if (message == WM_CHAR) {
        g_arrived = Now();
        g_characters = GetWindowTextLengthW(edit);
    }
    return result;
}

DWORD WINAPI RunEdit(void* ready) {
    HWND frame = CreateWindowExW(0, L"STATIC", L"Typing bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                 120, 120, 420, 200, nullptr, nullptr, nullptr, nullptr);
    g_edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_MULTILINE, 0, 0, 400, 150,
                             frame, nullptr, nullptr, nullptr);
    g_editProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(g_edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(NoteCharacter)));
    SetForegroundWindow(frame);
    SetFocus(g_edit);
    SetEvent(static_cast<HANDLE>(ready));
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    DestroyWindow(frame);
    return 0;
}

void Send(wchar_t c) {
    INPUT events[2] = {};
    for (INPUT& event : events) {
        event.type = INPUT_KEYBOARD;
        event.ki.wScan = c;
        event.ki.dwFlags = KEYEVENTF_UNICODE;
    }
    events[1].ki.dwFlags |= KEYEVENTF_KEYUP;
    SendInput(2, events, sizeof(INPUT));
}

void WaitUntil(volatile LONG* value, LONG wanted, DWORD milliseconds) {
    const DWORD start = GetTickCount();
    while (*value < wanted && GetTickCount() - start < milliseconds)
        Sleep(0);
}

void Clear() {
    SendMessageW(g_edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    g_characters = 0;
}

// The median delay from SendInput of a letter to its WM_CHAR.
double KeyDelay() {
    static double samples[PRESSES];
    int taken = 0;
    Clear();
    for (int i = 0; i < PRESSES; ++i) {
        const LONG before = g_characters;
        const LONGLONG sent = Now();
        Send(L'k');
        WaitUntil(&g_characters, before + 1, 1000);
        if (g_characters > before)
            samples[taken++] = Milliseconds(g_arrived - sent);
        Sleep(5);
    }
    if (taken == 0)
        return -1;
    qsort(samples, static_cast<size_t>(taken), sizeof samples[0], CompareDoubles);
    return samples[taken / 2];
}

// From the ending blank of "zq9 " to the last character of what replaces it.
double ExpansionTime() {
    static double samples[EXPANSIONS];
    int taken = 0;
    for (int i = 0; i < EXPANSIONS; ++i) {
        Clear();
        Send(L'z');
        Send(L'q');
        Send(L'9');
        WaitUntil(&g_characters, 3, 1000);
        Sleep(50);
        const LONGLONG sent = Now();
        Send(L' ');
        WaitUntil(&g_characters, static_cast<LONG>(EXPANSION_CHARS + 1), 5000);
        if (g_characters == static_cast<LONG>(EXPANSION_CHARS + 1))
            samples[taken++] = Milliseconds(g_arrived - sent);
        Sleep(100);
    }
    if (taken == 0)
        return -1;
    qsort(samples, static_cast<size_t>(taken), sizeof samples[0], CompareDoubles);
    return samples[taken / 2];
}

// With the agent running: its edit in front again, the key's delay, and in
// the first round an expansion's time.
double g_expansionMs = -1;

double KeyDelayWithAgent(int round) {
    SetForegroundWindow(GetParent(g_edit));
    Sleep(300);
    const double delay = KeyDelay();
    if (round == 0)
        g_expansionMs = ExpansionTime();
    return delay;
}

} // namespace

void WriteAbbreviationStore() {
    RecordArray<HotkeyRecord> hotkeys;
    RecordArray<ActionRecord> actions;
    Abbreviations(&hotkeys, &actions);
    SHDeleteKeyW(HKEY_CURRENT_USER, STORE_ROOT_PATH);
    store_detail::CreateStoreRootWithVersion();
    SaveStore(hotkeys, actions);
}

TypingFigures MeasureAbbreviations(bool (*startAgent)(), void (*stopAgent)(),
                                   bool (*startDoNothing)(), void (*stopDoNothing)()) {
    TypingFigures figures = {};
    HANDLE ready = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE editThread = CreateThread(nullptr, 0, RunEdit, ready, 0, nullptr);
    WaitForSingleObject(ready, 10000);
    Sleep(300);
    const Delays delays = DelaysInTurn(KeyDelay, KeyDelayWithAgent,
                                       {startAgent, stopAgent, startDoNothing, stopDoNothing});
    figures.noHook = delays.noHook;
    figures.doNothingHook = delays.doNothingHook;
    figures.agentHook = delays.agentHook;
    figures.expansionMs = g_expansionMs;
    TimeKeys(&figures);
    PostThreadMessageW(GetThreadId(editThread), WM_QUIT, 0, 0);
    WaitForSingleObject(editThread, 5000);
    CloseHandle(editThread);
    CloseHandle(ready);
    return figures;
}
