// The program in front, which hotkeys limited to programs follow: an event
// hook tells the agent when the window in front changes (no polling).
#pragma once

#include <windows.h>

// Follows the window in front while `follow` holds; stops otherwise.
void FollowWindowInFront(bool follow);
// Reads the window in front again; true when its program changed since the
// last reading (the agent's state then holds the new one).
bool ReadProgramInFront();
// The same for a window the system named as the one in front (top-level).
bool TakeWindowInFront(HWND front);
// Takes `window` as the one in front for the hotkeys limited to programs,
// whatever comes to the front on its behalf (the tray's menu, the sheet).
void TakeAsWindowInFront(HWND window);
// A window of a program that runs with more rights than the agent (as
// administrator): the system ignores the agent's input and window changes there.
bool RunsAboveAgent(HWND window);
// Says so once in the tray's balloon, from any thread: `typing` or not.
void TellCannotReach(HWND window, bool typing);
// On the agent's thread: the balloon itself, once for each process.
void SayCannotReach(HWND window, bool typing);
// The desktop, the taskbar and the tray's overflow: no program's window.
bool IsShellWindow(HWND window);
// A window a user switches to: visible, top-level, owned by nobody, not a
// tool window.
bool IsSwitchableWindow(HWND window);
// The top-level window in front, or nullptr for none, the desktop or the taskbar.
HWND WindowInFront();
// The top-level window the user works in: the one in front, or when the
// desktop or the taskbar is, the first window under it.
HWND WindowUserWasIn();
