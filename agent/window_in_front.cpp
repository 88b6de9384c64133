#include "window_in_front.h"

#include "agent_state.h"
#include "hotkey_runner.h"
#include "library_exports.h"
#include "program_rules.h"

namespace {

const UINT_PTR FRONT_CHECK_TIMER = 2;
const UINT FRONT_CHECK_MS = 50;
const UINT FRONT_CHECKS = 100;

void FollowChange() {
    if (ReadProgramInFront())
        UpdateProgramHotkeys(g_agent.window, nullptr);
}

void CALLBACK OnFrontCheck(HWND window, UINT, UINT_PTR, DWORD) {
    FollowChange();
    if (--g_agent.frontChecks == 0 || g_agent.awaitedFront == g_agent.frontWindow)
        KillTimer(window, FRONT_CHECK_TIMER);
}

// Windows reports a new window in front with EVENT_SYSTEM_FOREGROUND; Wine
// only with EVENT_OBJECT_FOCUS, when a window of the program takes the
// focus (and nothing when a window comes back with the focus it had: the
// press then finds it out). Both lead here, and only a real change of window
// does anything.
void CALLBACK OnWindowEvent(HWINEVENTHOOK, DWORD, HWND window, LONG, LONG, DWORD, DWORD) {
    FollowChange();
    // A program often gives its control the focus before its window comes to
    // the front, and Wine tells nothing when it then comes: look again until
    // it is there, for a few seconds at most.
    const HWND root = window ? GetAncestor(window, GA_ROOT) : nullptr;
    if (root && root != g_agent.frontWindow) {
        g_agent.awaitedFront = root;
        g_agent.frontChecks = FRONT_CHECKS;
        SetTimer(g_agent.window, FRONT_CHECK_TIMER, FRONT_CHECK_MS, OnFrontCheck);
    }
}

HWINEVENTHOOK HookEvent(DWORD event) {
    return SetWinEventHook(event, event, nullptr, OnWindowEvent, 0, 0, WINEVENT_OUTOFCONTEXT);
}

} // namespace

void FollowWindowInFront(bool follow) {
    if (follow && !g_agent.foregroundHook) {
        g_agent.foregroundHook = HookEvent(EVENT_SYSTEM_FOREGROUND);
        g_agent.focusHook = HookEvent(EVENT_OBJECT_FOCUS);
    } else if (!follow && g_agent.foregroundHook) {
        UnhookWinEvent(g_agent.foregroundHook);
        UnhookWinEvent(g_agent.focusHook);
        g_agent.foregroundHook = nullptr;
        g_agent.focusHook = nullptr;
    }
    if (!follow) {
        KillTimer(g_agent.window, FRONT_CHECK_TIMER);
        g_agent.frontWindow = nullptr;
        g_agent.frontProcess = 0;
        g_agent.frontProgram[0] = L'\0';
    }
}

bool IsShellWindow(HWND window) {
    if (window == GetDesktopWindow() || window == GetShellWindow())
        return true;
    wchar_t name[32];
    if (!GetClassNameW(window, name, ARRAYSIZE(name)))
        return true;
    const wchar_t* shell[] = {L"Progman", L"WorkerW", L"Shell_TrayWnd", L"Shell_SecondaryTrayWnd",
                              L"NotifyIconOverflowWindow"};
    for (const wchar_t* shellClass : shell) {
        if (lstrcmpiW(name, shellClass) == 0)
            return true;
    }
    return false;
}

bool IsSwitchableWindow(HWND window) {
    return IsWindowVisible(window) && !GetWindow(window, GW_OWNER) &&
           !(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
}

HWND WindowInFront() {
    HWND window = GetForegroundWindow();
    if (window)
        window = GetAncestor(window, GA_ROOT);
    return window && !IsShellWindow(window) ? window : nullptr;
}

HWND WindowUserWasIn() {
    if (HWND front = WindowInFront())
        return front;
    // The taskbar (a click on the tray icon brings it to the front) or the
    // desktop: the window the user last worked in is the first one under it.
    for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT)) {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        if (IsSwitchableWindow(window) && !IsIconic(window) && processId != GetCurrentProcessId() &&
            !IsShellWindow(window))
            return window;
    }
    return nullptr;
}

bool ReadProgramInFront() {
    HWND front = GetForegroundWindow();
    if (front)
        front = GetAncestor(front, GA_ROOT);
    // No window in front is a moment between two (one closes or goes, the
    // next is still being activated): the program last in front keeps its
    // hotkeys until another window comes.
    if (!front || front == g_agent.frontWindow)
        return false;
    DWORD processId = 0;
    GetWindowThreadProcessId(front, &processId);
    // The sheet of one's hotkeys lies over the program it lists: that program
    // stays in front for the hotkeys, so its own hotkey closes the sheet.
    wchar_t className[24];
    if (processId == GetCurrentProcessId() && GetClassNameW(front, className, 24) &&
        lstrcmpW(className, MY_HOTKEYS_CLASS) == 0)
        return false;
    g_agent.frontWindow = front;
    if (processId == g_agent.frontProcess && processId)
        return false;
    g_agent.frontProcess = processId;
    ProgramOfProcess(processId, g_agent.frontProgram, FRONT_PROGRAM_CHARS);
    return true;
}
