// The library's two entry points. Each runs one modal dialog on the
// caller's thread; a named mutex per entry point keeps that dialog single
// across every thread and process of the log-on.
#include <windows.h>

#include "editing_model.h"
#include "library.h"
#include "resource.h"

HINSTANCE g_libraryInstance = nullptr;

namespace {

const wchar_t CONFIGURE_MUTEX_NAME[] = L"{{e2a9c864-7f1b-4d35-b0c2-59f8e1d7a64c}}";
const wchar_t ABOUT_MUTEX_NAME[] = L"{{b7e41f29-6c3d-48a2-8e5f-1d90a6c4e371}}";

// Runs the dialog unless another holder of the mutex has one open.
void RunGuardedDialog(const wchar_t* mutexName, int templateId, HWND owner, DLGPROC procedure) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, mutexName);
    if (GetLastError() != ERROR_ALREADY_EXISTS)
        DialogBoxParamW(g_libraryInstance, MAKEINTRESOURCEW(templateId), owner, procedure, 0);
    if (mutex)
        CloseHandle(mutex);
}

} // namespace

extern "C" void WINAPI AboutDlg(HWND owner) {
    RunGuardedDialog(ABOUT_MUTEX_NAME, IDD_ABOUT, owner, AboutDialogProc);
}

extern "C" void WINAPI Configure() {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, CONFIGURE_MUTEX_NAME);
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
        // A host may keep the library loaded between two calls: every
        // dialog starts from the store, not from the last one's lists.
        ClearLists();
        DialogBoxParamW(g_libraryInstance, MAKEINTRESOURCEW(IDD_CONFIGURE), nullptr,
                        ConfigureDialogProc, 0);
    }
    if (mutex)
        CloseHandle(mutex);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD, void*) {
    g_libraryInstance = instance;
    return TRUE;
}
