// Carries out one system command of an action, on the worker thread.
#pragma once

#include <windows.h>

// hotkeyParameter: the WM_HOTKEY lParam of the press (modifiers in the low
// word, virtual key in the high word).
void RunSystemCommand(HWND agentWindow, UINT commandCode, UINT hotkeyParameter);
