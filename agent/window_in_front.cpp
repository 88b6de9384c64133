#include "window_in_front.h"

#include "agent_state.h"
#include "hotkey_runner.h"
#include "program_rules.h"
#include "tray.h"

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

// Windows and the like of it that take the focus without ever coming to
// the front: a popup menu, a window that is never activated, the agent's own
// (its menu, the sheet, which the program under them stays in front for).
bool NeverInFront(HWND root) {
    DWORD processId = 0;
    GetWindowThreadProcessId(root, &processId);
    wchar_t name[8];
    return processId == GetCurrentProcessId() ||
           (GetWindowLongPtrW(root, GWL_EXSTYLE) & WS_EX_NOACTIVATE) ||
           (GetClassNameW(root, name, ARRAYSIZE(name)) && lstrcmpW(name, L"#32768") == 0);
}

// Windows reports a new window in front with EVENT_SYSTEM_FOREGROUND; Wine
// only with EVENT_OBJECT_FOCUS, when a window of the program takes the
// focus (and nothing when a window comes back with the focus it had: the
// press then finds it out). Both lead here, and only a real change of window
// does anything.
void CALLBACK OnWindowEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG, LONG, DWORD, DWORD) {
    if (event == EVENT_SYSTEM_FOREGROUND) {
        // The system names the window in front: no need to look again.
        KillTimer(g_agent.window, FRONT_CHECK_TIMER);
        if (window && TakeWindowInFront(GetAncestor(window, GA_ROOT)))
            UpdateProgramHotkeys(g_agent.window, nullptr);
        return;
    }
    FollowChange();
    // A program often gives its control the focus before its window comes to
    // the front, and Wine tells nothing when it then comes: look again until
    // it is there, for a few seconds at most. Not where the system said so
    // already, nor for a window that never comes to the front.
    const HWND root = window ? GetAncestor(window, GA_ROOT) : nullptr;
    if (root && root != g_agent.frontWindow && !NeverInFront(root)) {
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

namespace {

// True when the program changed.
bool TakeFront(HWND front) {
    g_agent.frontWindow = front;
    DWORD processId = 0;
    GetWindowThreadProcessId(front, &processId);
    if (processId == g_agent.frontProcess && processId)
        return false;
    g_agent.frontProcess = processId;
    ProgramOfProcess(processId, g_agent.frontProgram, FRONT_PROGRAM_CHARS);
    return true;
}

} // namespace

bool ReadProgramInFront() {
    HWND front = GetForegroundWindow();
    return front && TakeWindowInFront(GetAncestor(front, GA_ROOT));
}

bool TakeWindowInFront(HWND front) {
    // No window in front is a moment between two (one closes or goes, the
    // next is still being activated): the program last in front keeps its
    // hotkeys until another window comes.
    if (!front || front == g_agent.frontWindow)
        return false;
    // The agent's own windows (its tray menu, the sheet of one's hotkeys)
    // lie over the program the user works in: that program stays in front
    // for the hotkeys, so its own hotkey closes the sheet.
    DWORD processId = 0;
    GetWindowThreadProcessId(front, &processId);
    if (processId == GetCurrentProcessId())
        return false;
    return TakeFront(front);
}

void TakeAsWindowInFront(HWND window) {
    if (!g_agent.foregroundHook || !window)
        return;
    if (TakeFront(GetAncestor(window, GA_ROOT)))
        UpdateProgramHotkeys(g_agent.window, nullptr);
}

namespace {

// The mandatory integrity level of a process's token, or 0 when it cannot be read.
DWORD IntegrityOf(HANDLE token) {
    BYTE buffer[64];
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenIntegrityLevel, buffer, sizeof buffer, &size))
        return 0;
    const TOKEN_MANDATORY_LABEL* label = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer);
    const DWORD count = *GetSidSubAuthorityCount(label->Label.Sid);
    return count ? *GetSidSubAuthority(label->Label.Sid, count - 1) : 0;
}

DWORD OwnIntegrity() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return 0;
    const DWORD level = IntegrityOf(token);
    CloseHandle(token);
    return level;
}

} // namespace

bool RunsAboveAgent(HWND window) {
    DWORD processId = 0;
    if (!window || !GetWindowThreadProcessId(window, &processId) ||
        processId == GetCurrentProcessId())
        return false;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process)
        return false;
    HANDLE token = nullptr;
    bool above = false;
    if (OpenProcessToken(process, TOKEN_QUERY, &token)) {
        const DWORD level = IntegrityOf(token);
        above = level != 0 && level > OwnIntegrity();
        CloseHandle(token);
    } else {
        // An elevated program's token is closed to a program without rights.
        above = GetLastError() == ERROR_ACCESS_DENIED;
    }
    CloseHandle(process);
    return above;
}

void TellCannotReach(HWND window, bool typing) {
    PostMessageW(g_agent.window, AgentCannotReachMessage, reinterpret_cast<WPARAM>(window),
                 typing ? 1 : 0);
}

void SayCannotReach(HWND window, bool typing) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (!processId || processId == g_agent.cannotReachSaid)
        return;
    g_agent.cannotReachSaid = processId;
    wchar_t name[80] = {};
    if (!GetWindowTextW(window, name, ARRAYSIZE(name))) {
        wchar_t program[MAX_PATH];
        ProgramOfProcess(processId, program, MAX_PATH);
        lstrcpynW(name, program[0] ? ProgramFileName(program) : L"it", ARRAYSIZE(name));
    }
    wchar_t text[200];
    wsprintfW(text, L"Pendrix cannot %s %s: it runs as administrator",
              typing ? L"type into" : L"change", name);
    ShowWarningText(text);
}
