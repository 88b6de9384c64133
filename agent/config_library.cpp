#include "config_library.h"

#include "library_exports.h"
#include "window_in_front.h"

namespace {

// The library holds every dialog; once it is released the pages it touched
// are given back, so the idle agent stays small.
void TrimWorkingSet() {
    SetProcessWorkingSetSize(GetCurrentProcess(), static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1));
}

} // namespace

void RunConfigureDialog() {
    HMODULE library = LoadConfigLibraryBeside(nullptr);
    if (!library)
        return;
    CallConfigure(library);
    FreeLibrary(library);
    TrimWorkingSet();
}

void RunAboutDialog(HWND owner) {
    HMODULE library = LoadConfigLibraryBeside(nullptr);
    if (!library)
        return;
    CallAboutDlg(library, owner);
    FreeLibrary(library);
    TrimWorkingSet();
}

namespace {

DWORD WINAPI ShowMyHotkeysThread(void* front) {
    HMODULE library = LoadConfigLibraryBeside(nullptr);
    if (!library)
        return 0;
    CallMyHotkeys(library, static_cast<HWND>(front));
    FreeLibrary(library);
    TrimWorkingSet();
    return 0;
}

} // namespace

void StartMyHotkeys(HWND front) {
    // The same hotkey again closes the sheet.
    if (HWND open = FindWindowW(MY_HOTKEYS_CLASS, nullptr)) {
        PostMessageW(open, WM_CLOSE, 0, 0);
        return;
    }
    TakeAsWindowInFront(front);
    HANDLE thread = CreateThread(nullptr, 0, ShowMyHotkeysThread, front, 0, nullptr);
    if (thread)
        CloseHandle(thread);
}
