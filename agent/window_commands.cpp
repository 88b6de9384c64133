#include "window_commands.h"

namespace {

const UINT ALWAYS_ON_TOP = 0x0C10;
const UINT MAXIMIZE_OR_RESTORE = 0x0C11;
const UINT MINIMIZE = 0x0C12;
const UINT CLOSE = 0x0C13;
const UINT NEXT_MONITOR = 0x0C14;
const UINT CENTER = 0x0C15;

bool IsShellWindow(HWND window) {
    if (window == GetDesktopWindow() || window == GetShellWindow())
        return true;
    wchar_t name[32];
    if (!GetClassNameW(window, name, ARRAYSIZE(name)))
        return true;
    const wchar_t* shell[] = {L"Progman", L"WorkerW", L"Shell_TrayWnd", L"Shell_SecondaryTrayWnd"};
    for (const wchar_t* shellClass : shell) {
        if (lstrcmpiW(name, shellClass) == 0)
            return true;
    }
    return false;
}

// The top-level window in front, or nullptr for none, the desktop or the taskbar.
HWND WindowInFront() {
    HWND window = GetForegroundWindow();
    if (window)
        window = GetAncestor(window, GA_ROOT);
    return window && !IsShellWindow(window) ? window : nullptr;
}

void ToggleAlwaysOnTop(HWND window) {
    const bool topmost = (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    SetWindowPos(window, topmost ? HWND_NOTOPMOST : HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
}

RECT WorkAreaOf(HMONITOR monitor) {
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    GetMonitorInfoW(monitor, &info);
    return info.rcWork;
}

struct MonitorWalk {
    HMONITOR current;
    HMONITOR first = nullptr;
    HMONITOR next = nullptr;
    bool seenCurrent = false;
};

BOOL CALLBACK NoteMonitor(HMONITOR monitor, HDC, RECT*, LPARAM data) {
    MonitorWalk* walk = reinterpret_cast<MonitorWalk*>(data);
    if (!walk->first)
        walk->first = monitor;
    if (walk->seenCurrent && !walk->next)
        walk->next = monitor;
    if (monitor == walk->current)
        walk->seenCurrent = true;
    return TRUE;
}

// Same size, same place relative to the work area, on the monitor after
// this one (the first after the last); a maximized window is maximized there.
void MoveToNextMonitor(HWND window) {
    MonitorWalk walk = {};
    walk.current = MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
    EnumDisplayMonitors(nullptr, nullptr, NoteMonitor, reinterpret_cast<LPARAM>(&walk));
    HMONITOR target = walk.next ? walk.next : walk.first;
    if (!target || target == walk.current)
        return;
    const RECT from = WorkAreaOf(walk.current);
    const RECT to = WorkAreaOf(target);
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(window, &placement))
        return;
    // The normal place is kept in workspace coordinates, which start at the
    // primary monitor's work area: on screen it moves by the distance between
    // the work areas, and stays within the new one.
    MONITORINFO primary = {};
    primary.cbSize = sizeof primary;
    GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &primary);
    const LONG workspaceX = primary.rcWork.left - primary.rcMonitor.left;
    const LONG workspaceY = primary.rcWork.top - primary.rcMonitor.top;
    RECT& normal = placement.rcNormalPosition;
    const LONG width = normal.right - normal.left;
    const LONG height = normal.bottom - normal.top;
    LONG left = normal.left + workspaceX - from.left + to.left;
    LONG top = normal.top + workspaceY - from.top + to.top;
    if (left + width > to.right)
        left = to.right - width;
    if (top + height > to.bottom)
        top = to.bottom - height;
    if (left < to.left)
        left = to.left;
    if (top < to.top)
        top = to.top;
    left -= workspaceX;
    top -= workspaceY;
    normal.left = left;
    normal.top = top;
    normal.right = left + width;
    normal.bottom = top + height;
    if (IsZoomed(window)) {
        // Restored where it goes, then maximized there.
        placement.showCmd = SW_SHOWNORMAL;
        SetWindowPlacement(window, &placement);
        ShowWindowAsync(window, SW_MAXIMIZE);
        return;
    }
    placement.showCmd = IsIconic(window) ? SW_SHOWMINNOACTIVE : SW_SHOWNOACTIVATE;
    SetWindowPlacement(window, &placement);
}

void Center(HWND window) {
    if (IsZoomed(window) || IsIconic(window))
        return;
    const RECT work = WorkAreaOf(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
    RECT rect;
    if (!GetWindowRect(window, &rect))
        return;
    const LONG width = rect.right - rect.left;
    const LONG height = rect.bottom - rect.top;
    SetWindowPos(window, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
}

} // namespace

bool RunWindowCommand(UINT commandCode) {
    if (commandCode < ALWAYS_ON_TOP || commandCode > CENTER)
        return false;
    HWND window = WindowInFront();
    if (!window)
        return true;
    switch (commandCode) {
    case ALWAYS_ON_TOP:
        ToggleAlwaysOnTop(window);
        break;
    case MAXIMIZE_OR_RESTORE:
        // Async: a program that does not answer must not hold the worker.
        ShowWindowAsync(window, IsZoomed(window) ? SW_RESTORE : SW_MAXIMIZE);
        break;
    case MINIMIZE:
        ShowWindowAsync(window, SW_MINIMIZE);
        break;
    case CLOSE:
        // As its close button: the program may still ask to save first.
        PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    case NEXT_MONITOR:
        MoveToNextMonitor(window);
        break;
    case CENTER:
        Center(window);
        break;
    default:
        break;
    }
    return true;
}
