// The configuration library's own module, source of all its resources in
// whichever process hosts it.
#pragma once

#include <windows.h>

extern HINSTANCE g_libraryInstance;

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ConfigureDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
