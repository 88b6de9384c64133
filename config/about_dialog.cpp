#include <windows.h>
#include <shellapi.h>

#include "library.h"
#include "maker_site.h"
#include "resource.h"

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE; // the system focuses OK, the first tab stop
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        case IDC_ABOUT_SITE:
            ShellExecuteW(nullptr, L"open", MAKER_SITE_AGENT_PAGE, L"", L"", SW_SHOWNORMAL);
            return FALSE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}
