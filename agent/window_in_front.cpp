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
    if (--g_agent.frontChecks == 0)
        KillTimer(window, FRONT_CHECK_TIMER);
}

// Windows reports a new window in front with EVENT_SYSTEM_FOREGROUND. Wine
// never does; it reports EVENT_OBJECT_FOCUS, but often just before the window
// in front changes (the focus leaving the old one) or ahead of it (a program
// that gives its control the focus before its window is shown), and nothing
// when a window comes to the front with the focus it had. So where no
// foreground event has come, a focus change has the agent look again for a
// few seconds, and no longer. Only a real change of window does anything.
void CALLBACK OnWindowEvent(HWINEVENTHOOK, DWORD event, HWND, LONG, LONG, DWORD, DWORD) {
    FollowChange();
    if (event == EVENT_SYSTEM_FOREGROUND)
        g_agent.foregroundReported = true;
    if (g_agent.foregroundReported)
        return;
    g_agent.frontChecks = FRONT_CHECKS;
    SetTimer(g_agent.window, FRONT_CHECK_TIMER, FRONT_CHECK_MS, OnFrontCheck);
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

bool ReadProgramInFront() {
    HWND front = GetForegroundWindow();
    if (front)
        front = GetAncestor(front, GA_ROOT);
    if (front == g_agent.frontWindow && front)
        return false;
    DWORD processId = 0;
    if (front)
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
