// How the agent and the Control Panel applet call the configuration library,
// which they load by name only for the length of a dialog.
#pragma once

#include <windows.h>

#define CONFIG_LIBRARY_NAME L"pendrixcfg.dll"

// "Configure": the main configuration dialog, modal, no owner.
typedef void(WINAPI* ConfigureProc)();
// "AboutDlg": the About box, owned by the given window.
typedef void(WINAPI* AboutDlgProc)(HWND owner);

// Calls an entry point of a loaded library, when the library has it.
inline void CallConfigure(HMODULE library) {
    auto configure = reinterpret_cast<ConfigureProc>(
        reinterpret_cast<void*>(GetProcAddress(library, "Configure")));
    if (configure)
        configure();
}

inline void CallAboutDlg(HMODULE library, HWND owner) {
    auto about = reinterpret_cast<AboutDlgProc>(
        reinterpret_cast<void*>(GetProcAddress(library, "AboutDlg")));
    if (about)
        about(owner);
}
