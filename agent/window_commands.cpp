#include "window_commands.h"

#include "window_in_front.h"

namespace {

const UINT ALWAYS_ON_TOP = 0x0C10;
const UINT MAXIMIZE_OR_RESTORE = 0x0C11;
const UINT MINIMIZE = 0x0C12;
const UINT CLOSE = 0x0C13;
const UINT NEXT_MONITOR = 0x0C14;
const UINT CENTER = 0x0C15;

void ToggleAlwaysOnTop(HWND window) {
    const bool topmost = (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    SetWindowPos(window, topmost ? HWND_NOTOPMOST : HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
}

MONITORINFO InfoOf(HMONITOR monitor) {
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    GetMonitorInfoW(monitor, &info);
    return info;
}

RECT WorkAreaOf(HMONITOR monitor) {
    return InfoOf(monitor).rcWork;
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

// A placement's rectangles are in workspace coordinates: from the corner of
// the work area of the monitor they lie on, not of the screen.
void ShiftByWorkArea(RECT* rect, const MONITORINFO& monitor, int direction) {
    OffsetRect(rect, direction * (monitor.rcWork.left - monitor.rcMonitor.left),
               direction * (monitor.rcWork.top - monitor.rcMonitor.top));
}

// Same size, same place relative to the work area, on the monitor after
// this one (the first after the last); a maximized or minimized window keeps
// its state, with its restored place moved.
void MoveToNextMonitor(HWND window) {
    MonitorWalk walk = {};
    walk.current = MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
    EnumDisplayMonitors(nullptr, nullptr, NoteMonitor, reinterpret_cast<LPARAM>(&walk));
    HMONITOR target = walk.next ? walk.next : walk.first;
    if (!target || target == walk.current)
        return;
    const MONITORINFO from = InfoOf(walk.current);
    const MONITORINFO to = InfoOf(target);
    if (!IsZoomed(window) && !IsIconic(window)) {
        RECT rect;
        if (!GetWindowRect(window, &rect))
            return;
        const RECT moved = PlaceOnOtherWorkArea(rect, from.rcWork, to.rcWork);
        // Async: a program that does not answer must not hold the worker.
        SetWindowPos(window, nullptr, moved.left, moved.top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
        return;
    }
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(window, &placement))
        return;
    RECT normal = placement.rcNormalPosition;
    ShiftByWorkArea(&normal, from, 1);
    normal = PlaceOnOtherWorkArea(normal, from.rcWork, to.rcWork);
    ShiftByWorkArea(&normal, to, -1);
    placement.rcNormalPosition = normal;
    placement.flags = WPF_ASYNCWINDOWPLACEMENT;
    if (IsZoomed(window)) {
        // Restored where it goes, then maximized there.
        placement.showCmd = SW_SHOWNORMAL;
        SetWindowPlacement(window, &placement);
        ShowWindowAsync(window, SW_MAXIMIZE);
        return;
    }
    placement.showCmd = SW_SHOWMINNOACTIVE;
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

RECT PlaceOnOtherWorkArea(const RECT& rect, const RECT& from, const RECT& to) {
    const LONG width = rect.right - rect.left;
    const LONG height = rect.bottom - rect.top;
    LONG left = rect.left - from.left + to.left;
    LONG top = rect.top - from.top + to.top;
    // Kept within the new work area where it fits; its top left shows where not.
    if (left + width > to.right)
        left = to.right - width;
    if (top + height > to.bottom)
        top = to.bottom - height;
    if (left < to.left)
        left = to.left;
    if (top < to.top)
        top = to.top;
    const RECT placed = {left, top, left + width, top + height};
    return placed;
}

bool RunWindowCommand(UINT commandCode) {
    if (commandCode < ALWAYS_ON_TOP || commandCode > CENTER)
        return false;
    HWND window = WindowInFront();
    if (!window)
        return true;
    if (RunsAboveAgent(window)) {
        TellCannotReach(window, /*typing=*/false);
        return true;
    }
    switch (commandCode) {
    case ALWAYS_ON_TOP:
        ToggleAlwaysOnTop(window);
        break;
    case MAXIMIZE_OR_RESTORE:
        // Async: a program that does not answer must not hold the worker. A
        // window without a maximize box (a fixed dialog) is not stretched.
        if (IsZoomed(window))
            ShowWindowAsync(window, SW_RESTORE);
        else if (GetWindowLongPtrW(window, GWL_STYLE) & WS_MAXIMIZEBOX)
            ShowWindowAsync(window, SW_MAXIMIZE);
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
