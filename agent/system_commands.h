// Carries out one system command of an action, on the worker thread.
#pragma once

#include <windows.h>

// hotkeyParameter: the WM_HOTKEY lParam of the press (modifiers in the low
// word, virtual key in the high word). Codes no table lists do nothing.
void RunSystemCommand(HWND agentWindow, UINT commandCode, UINT hotkeyParameter);

// Key-ups for the pressed hotkey's key and modifiers, one SendInput each, so
// that synthesized keys are not read together with the held ones.
void ReleaseHotkeyKeys(UINT hotkeyParameter);
void SendKeyDown(WORD virtualKey);
void OpenSpecialFolder(int folderId);
void OpenControlPanelPage(const wchar_t* keyword);
