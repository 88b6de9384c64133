// The configuration library, loaded by name for the length of one dialog.
#pragma once

#include <windows.h>

void RunConfigureDialog();
void RunAboutDialog(HWND owner);
// The sheet of one's own hotkeys for the program of `front`, on a thread of
// its own, so the agent's thread goes on; when one is open, it closes
// instead. On the agent's thread: the hotkeys of that program stay
// registered while the sheet lies over it.
void StartMyHotkeys(HWND front);
