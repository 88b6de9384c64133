#include <windows.h>

#include "library.h"

INT_PTR CALLBACK HotkeyEditorDialogProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}
