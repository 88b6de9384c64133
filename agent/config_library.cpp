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
    HMODULE library = LoadLibraryW(CONFIG_LIBRARY_NAME);
    if (!library)
        return;
    auto configure = reinterpret_cast<ConfigureProc>(
        reinterpret_cast<void*>(GetProcAddress(library, "Configure")));
    if (configure)
        configure();
    FreeLibrary(library);
    TrimWorkingSet();
}

void RunAboutDialog(HWND owner) {
    HMODULE library = LoadLibraryW(CONFIG_LIBRARY_NAME);
    if (!library)
        return;
    auto about = reinterpret_cast<AboutDlgProc>(
        reinterpret_cast<void*>(GetProcAddress(library, "AboutDlg")));
    if (about)
        about(owner);
    FreeLibrary(library);
    TrimWorkingSet();
}
