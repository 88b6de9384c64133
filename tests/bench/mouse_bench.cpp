// The mouse hook's part of `scripts/bench agent`: the time one event spends
// in the agent's hook procedure with 100 mouse hotkeys loaded, measured
// inside this process around the procedure's own decision, and the delay
// from a wheel notch to a window's WM_MOUSEWHEEL with no hook, with a
// do-nothing low-level hook of this program's, and with the agent's.
#include "mouse_bench.h"

#include <shlwapi.h>
#include <stdio.h>
#include <stdlib.h>

#include "agent_state.h"
#include "bench_util.h"
#include "hook_bench.h"
#include "hotkey_runner.h"
#include "mouse_hook.h"
#include "store.h"
#include "window_in_front.h"

namespace {

const UINT MOUSE_HOTKEYS = 100;
const int DECISIONS = 10000;
const int NOTCHES = 101;

// 100 hotkeys on the seven triggers with every set of modifiers, a quarter
// of them limited to a program; the bare side buttons for a program that is
// not under the pointer, so those clicks ask for the program there.
void MouseHotkeys(RecordArray<HotkeyRecord>* hotkeys, RecordArray<ActionRecord>* actions) {
    const UINT triggers[] = {VK_MBUTTON,         VK_XBUTTON1,        VK_XBUTTON2,
                             TRIGGER_WHEEL_UP,   TRIGGER_WHEEL_DOWN, TRIGGER_WHEEL_LEFT,
                             TRIGGER_WHEEL_RIGHT};
    for (UINT n = 0; n < MOUSE_HOTKEYS; ++n) {
        HotkeyRecord hotkey = {};
        hotkey.virtualKey = triggers[n % 7];
        hotkey.modifiers = (n / 7) % 16;
        if (IsWheelTrigger(hotkey.virtualKey) && hotkey.modifiers == 0)
            hotkey.modifiers = MOD_CONTROL | MOD_ALT | MOD_SHIFT | MOD_WIN;
        hotkey.enabled = 1;
        hotkeys->Append(hotkey);
        ActionRecord action = {};
        action.owner = n;
        action.kind = ACTION_SYS_COMMAND;
        action.commandCode = 0x0F00;
        actions->Append(action);
        if (n % 4 == 0 || hotkey.modifiers == 0) {
            ActionRecord rule = {};
            rule.owner = n;
            rule.kind = ACTION_PROGRAMS;
            CopyBoundedText(rule.target, ACTION_PATH_CHARS, L"notepad; winword; C:\\Tools\\x.exe");
            actions->Append(rule);
        }
    }
}

double g_samples[DECISIONS];

// Times DecideMouseEvent over a mix of moves, button downs and ups and
// notches, as the hook procedure makes it, and posts what it leaves as the
// hook thread does.
DWORD WINAPI DecideEvents(void*) {
    const WPARAM messages[] = {WM_MOUSEMOVE, WM_XBUTTONDOWN, WM_XBUTTONUP, WM_MOUSEWHEEL,
                               WM_MOUSEMOVE, WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MOUSEHWHEEL};
    for (int i = 0; i < DECISIONS; ++i) {
        MSLLHOOKSTRUCT event = {};
        event.pt = {200 + i % 300, 200 + i % 200};
        const WPARAM message = messages[i % 8];
        if (message == WM_XBUTTONDOWN || message == WM_XBUTTONUP)
            event.mouseData = static_cast<DWORD>((i / 8) % 2 ? XBUTTON2 : XBUTTON1) << 16;
        else if (message == WM_MOUSEWHEEL || message == WM_MOUSEHWHEEL)
            event.mouseData = static_cast<DWORD>(static_cast<WORD>(i % 16 < 8 ? 120 : -120)) << 16;
        const LONGLONG start = Now();
        DecideMouseEvent(message, event);
        g_samples[i] = Milliseconds(Now() - start) * 1000.0;
        PostHookPending();
    }
    return 0;
}

// The decisions with 100 mouse hotkeys loaded; the posted hotkeys are taken
// off the queue at the end.
void TimeDecisions(MouseFigures* figures) {
    HWND window = StartAgentHere(L"PendrixBenchAgent", MouseHotkeys);
    // On a thread that, like the hook thread, has no window: under Wine a
    // thread with windows talks to the display at every look at the keys.
    HANDLE thread = CreateThread(nullptr, 0, DecideEvents, nullptr, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    StopAgentHere(window);
    // Two of every eight events are button downs, for hotkeys limited to
    // programs that are not under the pointer.
    static double asking[DECISIONS / 4], other[DECISIONS];
    int asked = 0, others = 0;
    for (int i = 0; i < DECISIONS; ++i) {
        if (i % 8 == 1 || i % 8 == 5)
            asking[asked++] = g_samples[i];
        else
            other[others++] = g_samples[i];
    }
    double median = 0;
    Percentiles(asking, asked, &median, &figures->askingP99Us);
    Percentiles(other, others, &median, &figures->otherP99Us);
    Percentiles(g_samples, DECISIONS, &figures->decisionMedianUs, &figures->decisionP99Us);
}

// A window on a thread of its own that notes when each notch arrives.
volatile LONGLONG g_arrived = 0;
HWND g_wheelWindow = nullptr;

LRESULT CALLBACK WheelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_MOUSEWHEEL) {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        g_arrived = now.QuadPart;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

DWORD WINAPI RunWheelWindow(void* ready) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = WheelProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"PendrixBenchWheel";
    RegisterClassW(&wc);
    g_wheelWindow =
        CreateWindowExW(0, wc.lpszClassName, L"Wheel bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100,
                        100, 400, 300, nullptr, nullptr, wc.hInstance, nullptr);
    SetForegroundWindow(g_wheelWindow);
    SetEvent(static_cast<HANDLE>(ready));
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    return 0;
}

// The median delay from SendInput of a plain notch to its WM_MOUSEWHEEL.
double WheelDelay() {
    static double samples[NOTCHES];
    int taken = 0;
    for (int i = 0; i < NOTCHES; ++i) {
        g_arrived = 0;
        INPUT input = {};
        input.type = INPUT_MOUSE;
        input.mi.dwFlags = MOUSEEVENTF_WHEEL;
        input.mi.mouseData = static_cast<DWORD>(i % 2 ? WHEEL_DELTA : -WHEEL_DELTA);
        LARGE_INTEGER sent;
        QueryPerformanceCounter(&sent);
        SendInput(1, &input, sizeof input);
        for (int wait = 0; wait < 1000 && !g_arrived; ++wait)
            Sleep(0);
        for (int wait = 0; wait < 200 && !g_arrived; ++wait)
            Sleep(1);
        if (g_arrived)
            samples[taken++] = Milliseconds(g_arrived - sent.QuadPart);
        Sleep(5);
    }
    if (taken == 0)
        return -1;
    qsort(samples, taken, sizeof samples[0], CompareDoubles);
    return samples[taken / 2];
}

LRESULT CALLBACK DoNothing(int code, WPARAM wParam, LPARAM lParam) {
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

int RunDoNothingHook(int hookType) {
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
    HHOOK hook = SetWindowsHookExW(hookType, DoNothing, GetModuleHandleW(nullptr), 0);
    // Ready once its window is there; it ends when the window is closed.
    HWND window = CreateWindowExW(0, L"STATIC", L"PendrixDoNothingHook", 0, 0, 0, 0, 0,
                                  HWND_MESSAGE, nullptr, nullptr, nullptr);
    while (IsWindow(window) && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_CLOSE)
            break;
        DispatchMessageW(&message);
    }
    UnhookWindowsHookEx(hook);
    return 0;
}

void WriteMouseStore() {
    RecordArray<HotkeyRecord> hotkeys;
    RecordArray<ActionRecord> actions;
    MouseHotkeys(&hotkeys, &actions);
    SHDeleteKeyW(HKEY_CURRENT_USER, STORE_ROOT_PATH);
    store_detail::CreateStoreRootWithVersion();
    SaveStore(hotkeys, actions);
}

MouseFigures MeasureMouseHook(bool (*startAgent)(), void (*stopAgent)(), bool (*startDoNothing)(),
                              void (*stopDoNothing)()) {
    MouseFigures figures = {};
    HANDLE ready = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE windowThread = CreateThread(nullptr, 0, RunWheelWindow, ready, 0, nullptr);
    WaitForSingleObject(ready, 10000);
    RECT rect;
    GetWindowRect(g_wheelWindow, &rect);
    SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    Sleep(300);

    const Delays delays = DelaysInTurn(WheelDelay, [](int) { return WheelDelay(); },
                                       {startAgent, stopAgent, startDoNothing, stopDoNothing});
    figures.noHook = delays.noHook;
    figures.doNothingHook = delays.doNothingHook;
    figures.agentHook = delays.agentHook;

    TimeDecisions(&figures);
    PostMessageW(g_wheelWindow, WM_CLOSE, 0, 0);
    PostThreadMessageW(GetThreadId(windowThread), WM_QUIT, 0, 0);
    WaitForSingleObject(windowThread, 5000);
    CloseHandle(windowThread);
    CloseHandle(ready);
    return figures;
}
