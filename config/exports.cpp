// The library's two entry points. Each runs one modal dialog on the
// caller's thread; a named mutex per entry point keeps that dialog single
// across every thread and process of the log-on.
#include <windows.h>

#include "editing_model.h"
#include "library.h"
#include "library_exports.h"
#include "my_hotkeys.h"
#include "resource.h"

HINSTANCE g_libraryInstance = nullptr;
bool ModifyMode = false;

namespace {

const wchar_t CONFIGURE_MUTEX_NAME[] = CONFIGURE_DIALOG_MUTEX_NAME;
const wchar_t ABOUT_MUTEX_NAME[] = L"{{b7e41f29-6c3d-48a2-8e5f-1d90a6c4e371}}";

// While it lives, windows this thread creates use the library's manifest
// (common controls 6) and per-monitor DPI awareness, whatever the host
// program declares: the dialogs look the same from the agent and from the
// Control Panel.
class DialogLook {
  public:
    DialogLook() {
        ACTCTXW context = {};
        context.cbSize = sizeof context;
        context.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
        context.hModule = g_libraryInstance;
        context.lpResourceName = MAKEINTRESOURCEW(IDR_LIBRARY_MANIFEST);
        context_ = CreateActCtxW(&context);
        if (context_ != INVALID_HANDLE_VALUE && !ActivateActCtx(context_, &cookie_))
            cookie_ = 0;

        // Windows 10 and later; looked up so older systems still load us.
        typedef HANDLE(WINAPI * SetThreadDpiAwarenessContextProc)(HANDLE);
        HMODULE user = GetModuleHandleW(L"user32.dll");
        setDpi_ = user ? reinterpret_cast<SetThreadDpiAwarenessContextProc>(reinterpret_cast<void*>(
                             GetProcAddress(user, "SetThreadDpiAwarenessContext")))
                       : nullptr;
        const HANDLE perMonitorAwareV2 = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-4));
        if (setDpi_)
            previousDpi_ = setDpi_(perMonitorAwareV2);
    }
    ~DialogLook() {
        if (setDpi_ && previousDpi_)
            setDpi_(previousDpi_);
        if (cookie_)
            DeactivateActCtx(0, cookie_);
        if (context_ != INVALID_HANDLE_VALUE)
            ReleaseActCtx(context_);
    }
    DialogLook(const DialogLook&) = delete;
    DialogLook& operator=(const DialogLook&) = delete;

  private:
    HANDLE context_ = INVALID_HANDLE_VALUE;
    ULONG_PTR cookie_ = 0;
    HANDLE(WINAPI* setDpi_)(HANDLE) = nullptr;
    HANDLE previousDpi_ = nullptr;
};

// Runs the dialog unless another holder of the mutex has one open.
template <class BeforeDialog>
void RunGuardedDialog(const wchar_t* mutexName, int templateId, HWND owner, DLGPROC procedure,
                      BeforeDialog beforeDialog) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, mutexName);
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
        beforeDialog();
        DialogLook look;
        DialogBoxParamW(g_libraryInstance, MAKEINTRESOURCEW(templateId), owner, procedure, 0);
    }
    if (mutex)
        CloseHandle(mutex);
}

} // namespace

extern "C" void WINAPI AboutDlg(HWND owner) {
    RunGuardedDialog(ABOUT_MUTEX_NAME, IDD_ABOUT, owner, AboutDialogProc, [] {});
}

// Not guarded by a mutex: the sheet closes when it loses the front, and the
// agent closes an open one instead of showing a second.
extern "C" void WINAPI MyHotkeys(HWND front) {
    DialogLook look;
    RunMyHotkeysSheet(front);
}

extern "C" void WINAPI Configure() {
    // A host may keep the library loaded between two calls: every dialog
    // starts from the store, not from the last one's lists.
    RunGuardedDialog(CONFIGURE_MUTEX_NAME, IDD_CONFIGURE, nullptr, ConfigureDialogProc,
                     [] { ClearLists(); });
}
