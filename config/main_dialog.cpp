#include <windows.h>

#include "library.h"

INT_PTR CALLBACK ConfigureDialogProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}
