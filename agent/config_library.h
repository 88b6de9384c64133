// The configuration library, loaded by name for the length of one dialog.
#pragma once

#include <windows.h>

void RunConfigureDialog();
void RunAboutDialog(HWND owner);
// The sheet of one's own hotkeys for the program of `front`, on the calling
// thread until it closes; when one is open, it closes instead.
void ShowMyHotkeys(HWND front);
// The same on a thread of its own, so the agent's thread goes on.
void StartMyHotkeys(HWND front);
