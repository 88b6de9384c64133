#include "config_library.h"

#include "library_exports.h"

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
