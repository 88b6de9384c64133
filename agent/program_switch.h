// "If it is already running, switch to it": an open action whose program
// already shows a window brings that window to the front instead of
// starting a second copy.
#pragma once

#include <windows.h>

// True when `target` names a program (an .exe, directly or as the shell
// finds it; named without a folder, from any folder) of which a process
// shows a top-level window: that window is restored if minimized and brought
// to the front; when one of them is in front already, the one furthest back
// comes, so presses go round them all.
bool SwitchToRunningProgram(const wchar_t* target);
