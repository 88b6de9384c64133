#include <windows.h>

#include "library.h"

INT_PTR CALLBACK UrlFileDialogProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}
INT_PTR CALLBACK SystemCommandDialogProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}
