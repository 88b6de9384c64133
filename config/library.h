// The configuration library's own module, source of all its resources in
// whichever process hosts it, and the dialog procedures it runs.
#pragma once

#include <windows.h>

extern HINSTANCE g_libraryInstance;

// True only while an editor opened to modify the selected hotkey or action
// is up; the editor reads it and clears it when it closes.
extern bool g_modifyMode;

extern "C" void WINAPI AboutDlg(HWND owner);
extern "C" void WINAPI Configure();

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ConfigureDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK HotkeyEditorDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK UrlFileDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK SystemCommandDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
