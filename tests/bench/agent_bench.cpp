// Measures pendrixd.exe against reference_agent.exe under the same Wine:
// idle memory after start-up, the time from a key press to the launched
// program's start (median of 31 presses), and the agent's size. Then the
// agent alone: a press of a hotkey that types 259 characters, from the
// press to the first and to the last character in an edit control.
// Run by `scripts/bench agent`; not a test. Uses the prefix's real store.
#include <windows.h>

#include <psapi.h>
#include <shlwapi.h>
#include <stdio.h>
#include <stdlib.h>

#include "bench_util.h"
#include "mouse_bench.h"
#include "typing_bench.h"
#include "record_array.h"
#include "store.h"

namespace {

const int PRESSES = 31;
const int TYPING_PRESSES = 11;
const UINT TYPED_CHARACTERS = 259;
wchar_t g_folder[MAX_PATH];
wchar_t g_log[MAX_PATH];

struct Process {
    PROCESS_INFORMATION info = {};
    bool Start(const wchar_t* program, const wchar_t* arguments) {
        wchar_t commandLine[2048];
        wsprintfW(commandLine, L"\"%s\" %s", program, arguments);
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        if (!CreateProcessW(program, commandLine, nullptr, nullptr, FALSE, 0, nullptr, g_folder,
                            &startup, &info))
            return false;
        for (int i = 0; i < 200 && WaitForInputIdle(info.hProcess, 100) != 0; ++i)
            Sleep(20);
        Sleep(500); // let start-up settle
        return true;
    }
    void Stop(const wchar_t* windowClass, UINT message, WPARAM wParam) {
        HWND window = FindWindowW(windowClass, nullptr);
        if (window)
            PostMessageW(window, message, wParam, 0);
        if (WaitForSingleObject(info.hProcess, 5000) != WAIT_OBJECT_0)
            TerminateProcess(info.hProcess, 1);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
};

struct Memory {
    double workingSetKiB;
    double privateKiB;
};

Memory IdleMemory(HANDLE process) {
    // Give the pages back, as the agent does after each dialog.
    SetProcessWorkingSetSize(process, static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1));
    Sleep(200);
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(process, &counters, sizeof counters);
    return {counters.WorkingSetSize / 1024.0, counters.PagefileUsage / 1024.0};
}

int LogLines() {
    HANDLE file = CreateFileW(g_log, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    char buffer[65536];
    DWORD read = 0;
    int lines = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) {
        for (DWORD i = 0; i < read; ++i)
            lines += buffer[i] == 'S' && (i == 0 || buffer[i - 1] == '\n');
    }
    CloseHandle(file);
    return lines;
}

LONGLONG LastStart() {
    HANDLE file = CreateFileW(g_log, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    static char text[1 << 20];
    DWORD read = 0;
    ReadFile(file, text, sizeof text - 1, &read, nullptr);
    CloseHandle(file);
    text[read] = 0;
    LONGLONG last = 0;
    for (char* line = text; line && *line;) {
        if (line[0] == 'S' && line[1] == '|') {
            char* ticks = strchr(line + 2, '|');
            if (ticks)
                last = _atoi64(ticks + 1);
        }
        line = strchr(line, '\n');
        if (line)
            ++line;
    }
    return last;
}

// Ctrl+Alt and the key, pressed and let go.
void PressCtrlAlt(WORD key) {
    INPUT inputs[6] = {};
    const WORD keys[3] = {VK_CONTROL, VK_MENU, key};
    for (int i = 0; i < 3; ++i) {
        inputs[i].type = INPUT_KEYBOARD;
        inputs[i].ki.wVk = keys[i];
        inputs[5 - i].type = INPUT_KEYBOARD;
        inputs[5 - i].ki.wVk = keys[i];
        inputs[5 - i].ki.dwFlags = KEYEVENTF_KEYUP;
    }
    SendInput(6, inputs, sizeof(INPUT));
}

// Median milliseconds from SendInput to the launched program's first line.
double MedianLatency() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    double samples[PRESSES];
    int taken = 0;
    for (int i = 0; i < PRESSES; ++i) {
        int before = LogLines();
        LARGE_INTEGER pressed;
        QueryPerformanceCounter(&pressed);
        PressCtrlAlt(VK_F9);
        DWORD start = GetTickCount();
        while (LogLines() == before && GetTickCount() - start < 5000)
            Sleep(2);
        if (LogLines() == before)
            continue;
        samples[taken++] =
            (LastStart() - pressed.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
        Sleep(100);
    }
    if (taken == 0)
        return -1;
    qsort(samples, taken, sizeof(double), CompareDoubles);
    return samples[taken / 2];
}

// The edit control the typing lands in, on a thread of its own; each
// character's arrival is noted with the time.
HWND g_typingEdit = nullptr;
WNDPROC g_editProc = nullptr;
LONGLONG g_firstCharacter = 0;
LONGLONG g_lastCharacter = 0;
volatile LONG g_characters = 0;

LRESULT CALLBACK NoteCharacters(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CHAR) {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        if (g_characters == 0)
            g_firstCharacter = now.QuadPart;
        g_lastCharacter = now.QuadPart;
        InterlockedIncrement(&g_characters);
    }
    return CallWindowProcW(g_editProc, edit, message, wParam, lParam);
}

DWORD WINAPI RunTypingWindow(void*) {
    HWND window = CreateWindowExW(0, L"STATIC", L"Typing bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                  20, 20, 600, 300, nullptr, nullptr, nullptr, nullptr);
    g_typingEdit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_MULTILINE, 0, 0, 580,
                                   260, window, nullptr, nullptr, nullptr);
    g_editProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(g_typingEdit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(NoteCharacters)));
    SetForegroundWindow(window);
    SetFocus(g_typingEdit);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

// The floor: the same characters sent by this program itself, in one
// SendInput, as fast as the platform and the edit control take them.
void TypeDirectly() {
    static INPUT events[2 * TYPED_CHARACTERS];
    for (UINT c = 0; c < TYPED_CHARACTERS; ++c) {
        events[2 * c] = INPUT();
        events[2 * c].type = INPUT_KEYBOARD;
        events[2 * c].ki.wScan = static_cast<WORD>(L'a' + c % 26);
        events[2 * c].ki.dwFlags = KEYEVENTF_UNICODE;
        events[2 * c + 1] = events[2 * c];
        events[2 * c + 1].ki.dwFlags |= KEYEVENTF_KEYUP;
    }
    SendInput(2 * TYPED_CHARACTERS, events, sizeof(INPUT));
}

void PressTypingHotkey() {
    PressCtrlAlt(VK_F10);
}

struct TypingTime {
    double first; // handled by the edit control
    double last;
};

double Median(double* samples, int count) {
    qsort(samples, count, sizeof(double), CompareDoubles);
    return samples[count / 2];
}

// Medians, in milliseconds from the press (or the direct send), of the
// first and the last character.
bool TypingTimes(void (*type)(), TypingTime* time) {
    HANDLE thread = CreateThread(nullptr, 0, RunTypingWindow, nullptr, 0, nullptr);
    for (int i = 0; i < 100 && !g_typingEdit; ++i)
        Sleep(20);
    Sleep(300);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    double firsts[TYPING_PRESSES], lasts[TYPING_PRESSES];
    int taken = 0;
    for (int i = 0; i < TYPING_PRESSES; ++i) {
        SetWindowTextW(g_typingEdit, L"");
        InterlockedExchange(&g_characters, 0);
        LARGE_INTEGER pressed;
        QueryPerformanceCounter(&pressed);
        type();
        DWORD start = GetTickCount();
        while (g_characters < static_cast<LONG>(TYPED_CHARACTERS) && GetTickCount() - start < 10000)
            Sleep(1);
        if (g_characters < static_cast<LONG>(TYPED_CHARACTERS))
            continue;
        const double scale = 1000.0 / static_cast<double>(frequency.QuadPart);
        firsts[taken] = (g_firstCharacter - pressed.QuadPart) * scale;
        lasts[taken++] = (g_lastCharacter - pressed.QuadPart) * scale;
        Sleep(100);
    }
    PostMessageW(GetParent(g_typingEdit), WM_CLOSE, 0, 0);
    PostThreadMessageW(GetThreadId(thread), WM_QUIT, 0, 0);
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
    g_typingEdit = nullptr;
    if (taken == 0)
        return false;
    time->first = Median(firsts, taken);
    time->last = Median(lasts, taken);
    return true;
}

// 500 hotkeys limited to this program, on combinations of their own.
const UINT LIMITED_HOTKEYS = 500;
const int SWITCHES = 11;

void LimitedCombination(UINT n, UINT* modifiers, UINT* key) {
    const UINT sets[] = {MOD_CONTROL | MOD_ALT | MOD_SHIFT,
                         MOD_CONTROL | MOD_ALT | MOD_WIN,
                         MOD_ALT | MOD_SHIFT | MOD_WIN,
                         MOD_CONTROL | MOD_SHIFT | MOD_WIN,
                         MOD_CONTROL | MOD_ALT | MOD_SHIFT | MOD_WIN,
                         MOD_ALT | MOD_WIN,
                         MOD_SHIFT | MOD_WIN};
    // Letters, digits, F1 to F24, the numeric pad and four punctuation keys.
    const UINT keys = 26 + 10 + 24 + 16 + 4;
    const UINT k = n % keys;
    *modifiers = sets[(n / keys) % ARRAYSIZE(sets)];
    *key = k < 26   ? 'A' + k
           : k < 36 ? '0' + (k - 26)
           : k < 60 ? VK_F1 + (k - 36)
           : k < 76 ? VK_NUMPAD0 + (k - 60)
                    : VK_OEM_1 + (k - 76);
}

// Whether the agent holds a combination: this program cannot have it then.
bool Held(UINT n) {
    UINT modifiers = 0, key = 0;
    LimitedCombination(n, &modifiers, &key);
    if (!RegisterHotKey(nullptr, 0xBE00, modifiers, key))
        return true;
    UnregisterHotKey(nullptr, 0xBE00);
    return false;
}

HWND g_front = nullptr;
HWND g_frontEdit = nullptr;

DWORD WINAPI RunFrontWindow(void*) {
    g_front = CreateWindowExW(0, L"STATIC", L"Limited bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 30,
                              30, 300, 200, nullptr, nullptr, nullptr, nullptr);
    g_frontEdit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 0, 0, 200, 20, g_front,
                                  nullptr, nullptr, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Asked from the bench's thread: in front, with the focus in the edit.
        if (!message.hwnd && message.message == WM_APP) {
            SetForegroundWindow(g_front);
            SetFocus(g_frontEdit);
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

// Milliseconds until the last limited hotkey is held (or let go) after the
// window in front changed; the agent registers them in order. Each look
// waits for the agent's thread first, so the probe's own registration never
// falls inside the agent's pass and takes a combination from it.
double UntilRight(bool held) {
    HWND agent = FindWindowW(L"PendrixOstrand", nullptr);
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (;;) {
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(agent, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
        QueryPerformanceCounter(&now);
        const double ms =
            (now.QuadPart - start.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
        if (Held(LIMITED_HOTKEYS - 1) == held || ms > 10000)
            return ms;
        Sleep(1);
    }
}

// Brings another program's window to the front with its edit focused
// anew, through that program's input queue.
void BringWithFocus(HWND window) {
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    AttachThreadInput(GetCurrentThreadId(), thread, TRUE);
    SetForegroundWindow(window);
    SetFocus(window);
    SetFocus(FindWindowExW(window, nullptr, L"EDIT", nullptr));
    AttachThreadInput(GetCurrentThreadId(), thread, FALSE);
}

void WriteLimitedStore(const wchar_t* program) {
    RecordArray<HotkeyRecord> hotkeys;
    RecordArray<ActionRecord> actions;
    for (UINT n = 0; n < LIMITED_HOTKEYS; ++n) {
        HotkeyRecord hotkey = {};
        LimitedCombination(n, &hotkey.modifiers, &hotkey.virtualKey);
        hotkey.enabled = 1;
        hotkeys.Append(hotkey);
        ActionRecord rule = {};
        rule.owner = n;
        rule.kind = ACTION_PROGRAMS;
        CopyBoundedText(rule.target, ACTION_PATH_CHARS, program);
        actions.Append(rule);
    }
    SHDeleteKeyW(HKEY_CURRENT_USER, STORE_ROOT_PATH);
    store_detail::CreateStoreRootWithVersion();
    SaveStore(hotkeys, actions);
}

int g_missed = 0;

// One figure against its goal (at most `goal`), and whether it is met.
void Goal(const char* what, double figure, double goal, const char* unit) {
    const bool met = figure <= goal;
    g_missed += met ? 0 : 1;
    printf("  %-52s %9.2f %-4s goal <= %-8.3g %s\n", what, figure, unit, goal,
           met ? "met" : "MISSED");
}

double CpuMilliseconds(HANDLE process) {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(process, &created, &exited, &kernel, &user);
    ULARGE_INTEGER k, u;
    k.LowPart = kernel.dwLowDateTime;
    k.HighPart = kernel.dwHighDateTime;
    u.LowPart = user.dwLowDateTime;
    u.HighPart = user.dwHighDateTime;
    return (k.QuadPart + u.QuadPart) / 10000.0;
}

// The CPU time a process takes over an idle while, and the platform's own:
// the minimal tray program's over the same while.
void IdleCpu(HANDLE process, DWORD milliseconds, const wchar_t* reference,
             const wchar_t* referenceArguments, double* cpu, double* referenceCpu) {
    Process idleReference;
    const bool withReference = idleReference.Start(reference, referenceArguments);
    const double before = CpuMilliseconds(process);
    const double referenceBefore = withReference ? CpuMilliseconds(idleReference.info.hProcess) : 0;
    Sleep(milliseconds);
    *cpu = CpuMilliseconds(process) - before;
    *referenceCpu =
        withReference ? CpuMilliseconds(idleReference.info.hProcess) - referenceBefore : 0;
    if (withReference)
        idleReference.Stop(L"PendrixReference", WM_CLOSE, 0);
}

// The agent with mouse hotkeys, for the mouse hook's figures.
Process g_mouseAgent;
wchar_t g_installed[MAX_PATH];

bool StartMouseAgent() {
    return g_mouseAgent.Start(g_installed, L"/background");
}

void StopMouseAgent() {
    g_mouseAgent.Stop(L"PendrixOstrand", WM_COMMAND, 32782);
}

Process g_doNothing;

bool StartDoNothingHook() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return g_doNothing.Start(self, L"hook");
}

bool StartDoNothingKeyboardHook() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return g_doNothing.Start(self, L"keyhook");
}

void StopDoNothingHook() {
    HWND window = FindWindowExW(HWND_MESSAGE, nullptr, L"STATIC", L"PendrixDoNothingHook");
    if (window)
        PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(g_doNothing.info.hProcess, 5000) != WAIT_OBJECT_0)
        TerminateProcess(g_doNothing.info.hProcess, 1);
    CloseHandle(g_doNothing.info.hProcess);
    CloseHandle(g_doNothing.info.hThread);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc > 1 && lstrcmpW(argv[1], L"hook") == 0)
        return RunDoNothingHook(WH_MOUSE_LL);
    if (argc > 1 && lstrcmpW(argv[1], L"keyhook") == 0)
        return RunDoNothingHook(WH_KEYBOARD_LL);
    // "hooks": only the mouse's and the abbreviations' figures, for a quick look.
    const bool hooksOnly = argc > 1 && lstrcmpW(argv[1], L"hooks") == 0;
    wchar_t bin[MAX_PATH];
    GetModuleFileNameW(nullptr, bin, MAX_PATH);
    PathRemoveFileSpecW(bin);
    GetTempPathW(MAX_PATH, g_folder);
    PathAppendW(g_folder, L"Pendrix Bench");
    CreateDirectoryW(g_folder, nullptr);
    GetTempPathW(MAX_PATH, g_log);
    PathAppendW(g_log, L"pxbench.log");

    wchar_t agent[MAX_PATH], reference[MAX_PATH], probe[MAX_PATH], installed[MAX_PATH];
    PathCombineW(agent, bin, L"pendrixd.exe");
    PathCombineW(reference, bin, L"reference_agent.exe");
    PathCombineW(probe, bin, L"launch_probe.exe");
    PathCombineW(installed, g_folder, L"pendrixd.exe"); // without a library beside it
    CopyFileW(agent, installed, FALSE);
    wchar_t parameters[512];
    wsprintfW(parameters, L"\"%s\" press 0", g_log);

    // One hotkey, Ctrl+Alt+F9, launching the probe.
    RecordArray<HotkeyRecord> hotkeys;
    RecordArray<ActionRecord> actions;
    HotkeyRecord hotkey = {};
    hotkey.modifiers = MOD_CONTROL | MOD_ALT;
    hotkey.virtualKey = VK_F9;
    hotkey.enabled = 1;
    hotkeys.Append(hotkey);
    ActionRecord action = {};
    CopyBoundedText(action.target, ACTION_PATH_CHARS, probe);
    CopyBoundedText(action.parameters, ACTION_PARAMETERS_CHARS, parameters);
    actions.Append(action);
    // Ctrl+Alt+F10 types 259 characters.
    hotkey.virtualKey = VK_F10;
    hotkeys.Append(hotkey);
    ActionRecord typing = {};
    typing.owner = 1;
    typing.kind = ACTION_TYPE_TEXT;
    for (UINT c = 0; c < TYPED_CHARACTERS; ++c)
        typing.target[c] = static_cast<wchar_t>(L'a' + c % 26);
    actions.Append(typing);
    SHDeleteKeyW(HKEY_CURRENT_USER, STORE_ROOT_PATH);
    store_detail::CreateStoreRootWithVersion();
    SaveStore(hotkeys, actions);

    DeleteFileW(g_log);
    Process pendrix;
    if (!pendrix.Start(installed, L"/background")) {
        printf("cannot start the agent\n");
        return 1;
    }
    Memory agentMemory = IdleMemory(pendrix.info.hProcess);
    double agentLatency = hooksOnly ? 0 : MedianLatency();
    TypingTime typingTime = {}, directTime = {};
    const bool typed = hooksOnly || (TypingTimes(PressTypingHotkey, &typingTime) &&
                                     TypingTimes(TypeDirectly, &directTime));
    pendrix.Stop(L"PendrixOstrand", WM_COMMAND, 32782);

    DeleteFileW(g_log);
    wchar_t referenceArguments[1024];
    wsprintfW(referenceArguments, L"\"%s\" \"\\\"%s\\\" press 0\"", probe, g_log);
    Process minimal;
    if (!minimal.Start(reference, referenceArguments)) {
        printf("cannot start the reference program\n");
        return 1;
    }
    Memory referenceMemory = IdleMemory(minimal.info.hProcess);
    double referenceLatency = hooksOnly ? 1 : MedianLatency();
    minimal.Stop(L"PendrixReference", WM_CLOSE, 0);
    // The same with a do-nothing mouse hook on a thread of its own: what
    // any such hook costs on this platform (Wine commits a whole 1 MiB stack
    // for every thread, where Windows commits the pages a thread touches).
    wchar_t hookedArguments[1100];
    wsprintfW(hookedArguments, L"%s mousehook", referenceArguments);
    Memory hookedReferenceMemory = {0, 0};
    if (minimal.Start(reference, hookedArguments)) {
        hookedReferenceMemory = IdleMemory(minimal.info.hProcess);
        minimal.Stop(L"PendrixReference", WM_CLOSE, 0);
    }

    HANDLE file =
        CreateFileW(agent, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    LARGE_INTEGER size = {};
    GetFileSizeEx(file, &size);
    CloseHandle(file);

    // 500 hotkeys limited to this program: from a change of the window in
    // front to the registrations being right, and the CPU time of a minute
    // with nothing changing.
    WriteLimitedStore(L"agent_bench.exe");
    HANDLE frontThread = CreateThread(nullptr, 0, RunFrontWindow, nullptr, 0, nullptr);
    for (int i = 0; i < 100 && !g_frontEdit; ++i)
        Sleep(20);
    Process limited, other;
    double toHeld[SWITCHES], toFreed[SWITCHES];
    int switches = 0;
    double idleCpu = -1, referenceCpu = 0;
    wchar_t otherArguments[512];
    wsprintfW(otherArguments, L"\"%s\" other 300000 window", g_log);
    HWND otherWindow = nullptr;
    if (other.Start(probe, otherArguments))
        otherWindow = FindWindowW(L"PendrixLaunchProbe", L"other");
    if (!hooksOnly && otherWindow && limited.Start(installed, L"/background")) {
        for (int i = 0; i < SWITCHES; ++i) {
            // This program's window takes the focus: the agent takes the keys.
            PostThreadMessageW(GetThreadId(frontThread), WM_APP, 0, 0);
            toHeld[switches] = UntilRight(true);
            // Another program's window in front, its edit taking the focus
            // as the bench's own does (Wine says nothing of a window brought
            // back without a change of focus): the agent lets them go.
            BringWithFocus(otherWindow);
            toFreed[switches++] = UntilRight(false);
        }
        IdleCpu(limited.info.hProcess, 60000, reference, referenceArguments, &idleCpu,
                &referenceCpu);
        limited.Stop(L"PendrixOstrand", WM_COMMAND, 32782);
    }
    if (otherWindow)
        other.Stop(L"PendrixLaunchProbe", WM_CLOSE, 0);
    PostMessageW(g_front, WM_CLOSE, 0, 0);
    PostThreadMessageW(GetThreadId(frontThread), WM_QUIT, 0, 0);
    WaitForSingleObject(frontThread, 5000);
    CloseHandle(frontThread);
    // The two hotkeys above and a mouse hotkey, Ctrl + X Button 1: what the
    // hook adds to the idle agent, beside what a do-nothing hook thread adds
    // to the minimal program.
    lstrcpynW(g_installed, installed, MAX_PATH);
    HotkeyRecord mouseHotkey = {};
    mouseHotkey.modifiers = MOD_CONTROL;
    mouseHotkey.virtualKey = VK_XBUTTON1;
    mouseHotkey.enabled = 1;
    hotkeys.Append(mouseHotkey);
    ActionRecord volume = {};
    volume.owner = 2;
    volume.kind = ACTION_SYS_COMMAND;
    volume.commandCode = 0x0F00;
    actions.Append(volume);
    SHDeleteKeyW(HKEY_CURRENT_USER, STORE_ROOT_PATH);
    store_detail::CreateStoreRootWithVersion();
    SaveStore(hotkeys, actions);
    Memory oneMouseMemory = {0, 0};
    if (StartMouseAgent()) {
        oneMouseMemory = IdleMemory(g_mouseAgent.info.hProcess);
        StopMouseAgent();
    }
    // 100 mouse hotkeys: the hook's memory and idle CPU, then its time.
    WriteMouseStore();
    Memory mouseMemory = {0, 0};
    double mouseCpu = -1, mouseReferenceCpu = 0;
    if (StartMouseAgent()) {
        mouseMemory = IdleMemory(g_mouseAgent.info.hProcess);
        if (!hooksOnly)
            IdleCpu(g_mouseAgent.info.hProcess, 30000, reference, referenceArguments, &mouseCpu,
                    &mouseReferenceCpu);
        StopMouseAgent();
    }
    const MouseFigures mouse =
        MeasureMouseHook(StartMouseAgent, StopMouseAgent, StartDoNothingHook, StopDoNothingHook);
    // 500 abbreviations: the keyboard hook's time, a key's delay, an expansion's.
    WriteAbbreviationStore();
    double typingCpu = -1, typingReferenceCpu = 0;
    if (!hooksOnly && StartMouseAgent()) {
        IdleCpu(g_mouseAgent.info.hProcess, 30000, reference, referenceArguments, &typingCpu,
                &typingReferenceCpu);
        StopMouseAgent();
    }
    const TypingFigures abbreviations = MeasureAbbreviations(
        StartMouseAgent, StopMouseAgent, StartDoNothingKeyboardHook, StopDoNothingHook);
    SHDeleteKeyW(HKEY_CURRENT_USER, STORE_ROOT_PATH);
    DeleteFileW(g_log);

    if (hooksOnly)
        goto hooks;
    printf("%-22s %14s %14s\n", "", "pendrixd", "reference");
    printf("%-22s %14.0f %14.0f\n", "working set (KiB)", agentMemory.workingSetKiB,
           referenceMemory.workingSetKiB);
    printf("%-22s %14.0f %14.0f\n", "private bytes (KiB)", agentMemory.privateKiB,
           referenceMemory.privateKiB);
    printf("%-22s %14.2f %14.2f\n", "press to start (ms)", agentLatency, referenceLatency);
    printf("goals:\n");
    Goal("idle private bytes, against the minimal tray program",
         agentMemory.privateKiB / referenceMemory.privateKiB, 1.10, "x");
    printf("  %-52s %9.2f x\n", "press to the launched program, against it",
           agentLatency / referenceLatency);
    Goal("pendrixd.exe size", size.QuadPart / 1024.0, 80, "KiB");
    if (!typed) {
        printf("typing: the %u characters did not arrive\n", TYPED_CHARACTERS);
        return 1;
    }
    printf("typing %u characters into an edit control, median of %d:\n", TYPED_CHARACTERS,
           TYPING_PRESSES);
    printf("%-34s %10s %10s\n", "", "hotkey", "direct");
    printf("%-34s %10.2f %10.2f\n", "to the first character (ms)", typingTime.first,
           directTime.first);
    printf("%-34s %10.2f %10.2f\n", "to the last character (ms)", typingTime.last, directTime.last);
    Goal("the hotkey's last character, against a direct send's", typingTime.last / directTime.last,
         1.25, "x");
    if (switches == 0) {
        printf("limited hotkeys: the agent did not start\n");
        return 1;
    }
    printf("%u hotkeys limited to this program, median of %d switches:\n", LIMITED_HOTKEYS,
           switches);
    Goal("its window in front, to all registered", Median(toHeld, switches), 50, "ms");
    Goal("another in front, to all let go", Median(toFreed, switches), 50, "ms");
    printf("  CPU over an idle minute: the agent %.1f ms, the minimal tray program %.1f ms\n",
           idleCpu, referenceCpu);
    Goal("the agent's idle CPU beyond the platform's own", idleCpu - referenceCpu, 10, "ms");
hooks:
    printf("the mouse hook, with %d mouse hotkeys:\n", 100);
    printf("  in the hook procedure (us): median %.2f\n", mouse.decisionMedianUs);
    Goal("in the hook procedure, 99th percentile (us)", mouse.decisionP99Us, 20, "us");
    printf("  99th percentile (us): a button down that asks which window is under the pointer "
           "%.2f,\n  every other event %.2f\n",
           mouse.askingP99Us, mouse.otherP99Us);
    printf("  a notch to WM_MOUSEWHEEL (ms): no hook %.3f, a do-nothing hook %.3f, "
           "the agent's %.3f\n",
           mouse.noHook, mouse.doNothingHook, mouse.agentHook);
    Goal("a notch with the agent's hook, against a do-nothing hook",
         mouse.agentHook / mouse.doNothingHook, 1.10, "x");
    printf("  idle private bytes (KiB): the agent with one mouse hotkey %.0f, with the 100 %.0f;\n"
           "  the minimal tray program %.0f, with a do-nothing hook on a thread of its own %.0f\n",
           oneMouseMemory.privateKiB, mouseMemory.privateKiB, referenceMemory.privateKiB,
           hookedReferenceMemory.privateKiB);
    printf("  %-52s %9.2f x\n", "the agent with the hook, against the minimal program",
           oneMouseMemory.privateKiB / referenceMemory.privateKiB);
    Goal("the same, each with its hook thread",
         oneMouseMemory.privateKiB / hookedReferenceMemory.privateKiB, 1.10, "x");
    printf("  CPU over 30 idle seconds: the agent %.1f ms, the minimal tray program %.1f ms\n",
           mouseCpu, mouseReferenceCpu);
    Goal("the agent's idle CPU with the hook beyond the platform's", mouseCpu - mouseReferenceCpu,
         10, "ms");
    printf("abbreviations, with 500 of them:\n");
    printf("  in the keyboard hook procedure (us): median %.2f\n", abbreviations.hookMedianUs);
    Goal("in the keyboard hook procedure, 99th percentile (us)", abbreviations.hookP99Us, 20, "us");
    printf("  read and matched on the agent's thread (us): median %.2f, 99th percentile %.2f\n",
           abbreviations.matchMedianUs, abbreviations.matchP99Us);
    printf(
        "  a key to its character (ms): no hook %.3f, a do-nothing hook %.3f, the agent's %.3f\n",
        abbreviations.noHook, abbreviations.doNothingHook, abbreviations.agentHook);
    Goal("a key with the agent's hook, against a do-nothing hook",
         abbreviations.agentHook / abbreviations.doNothingHook, 1.10, "x");
    printf("  the ending character to the last of 100 typed (ms): %.2f\n",
           abbreviations.expansionMs);
    printf("  CPU over 30 idle seconds: the agent %.1f ms, the minimal tray program %.1f ms\n",
           typingCpu, typingReferenceCpu);
    Goal("the agent's idle CPU watching typing beyond the platform's",
         typingCpu - typingReferenceCpu, 10, "ms");
    printf(g_missed ? "%d goal(s) MISSED\n" : "every goal met\n", g_missed);
    return g_missed ? 3 : 0;
}
