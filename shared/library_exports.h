// How the agent and the Control Panel applet call the configuration library,
// which they load by name only for the length of a dialog.
#pragma once

#include <windows.h>

#define CONFIG_LIBRARY_NAME L"pendrixcfg.dll"

// Exists while a main configuration dialog is open, in whichever process.
#define CONFIGURE_DIALOG_MUTEX_NAME L"{{e2a9c864-7f1b-4d35-b0c2-59f8e1d7a64c}}"

// "Configure": the main configuration dialog, modal, no owner.
typedef void(WINAPI* ConfigureProc)();
// "AboutDlg": the About box, owned by the given window.
typedef void(WINAPI* AboutDlgProc)(HWND owner);
// "MyHotkeys": the sheet of the hotkeys that work in the program of the
// given window; returns when the sheet closes. Its window's class:
#define MY_HOTKEYS_CLASS L"PendrixMyHotkeys"
typedef void(WINAPI* MyHotkeysProc)(HWND front);

// Loads the configuration library from the folder of `module` (nullptr: the
// program), by its full path, so that a file of that name elsewhere on the
// search path is never loaded. Folders longer than MAX_PATH are reached
// through the "\\?\" form.
inline HMODULE LoadConfigLibraryBeside(HMODULE module) {
    const DWORD capacity = 32768;
    const wchar_t name[] = CONFIG_LIBRARY_NAME;
    const wchar_t longPrefix[] = L"\\\\?\\";
    const wchar_t longUncPrefix[] = L"\\\\?\\UNC";
    const DWORD prefixChars = ARRAYSIZE(longUncPrefix) - 1;
    wchar_t* buffer = static_cast<wchar_t*>(HeapAlloc(
        GetProcessHeap(), 0, (capacity + prefixChars + ARRAYSIZE(name)) * sizeof(wchar_t)));
    if (!buffer)
        return nullptr;
    wchar_t* path = buffer + prefixChars; // room to put the prefix in front
    HMODULE library = nullptr;
    DWORD length = GetModuleFileNameW(module, path, capacity);
    if (length > 0 && length < capacity) {
        while (length > 0 && path[length - 1] != L'\\' && path[length - 1] != L'/')
            --length;
        lstrcpyW(path + length, name);
        length += ARRAYSIZE(name) - 1;
        if (length >= MAX_PATH && path[0] != L'\\') {
            path -= ARRAYSIZE(longPrefix) - 1;
            CopyMemory(path, longPrefix, (ARRAYSIZE(longPrefix) - 1) * sizeof(wchar_t));
        } else if (length >= MAX_PATH && path[1] == L'\\' && path[2] != L'?') {
            // \\server\share becomes \\?\UNC\server\share.
            path -= prefixChars - 1;
            CopyMemory(path, longUncPrefix, prefixChars * sizeof(wchar_t));
        }
        library = LoadLibraryW(path);
    }
    HeapFree(GetProcessHeap(), 0, buffer);
    return library;
}

// Calls an entry point of a loaded library, when the library has it.
inline void CallConfigure(HMODULE library) {
    auto configure = reinterpret_cast<ConfigureProc>(
        reinterpret_cast<void*>(GetProcAddress(library, "Configure")));
    if (configure)
        configure();
}

inline void CallMyHotkeys(HMODULE library, HWND front) {
    auto show = reinterpret_cast<MyHotkeysProc>(
        reinterpret_cast<void*>(GetProcAddress(library, "MyHotkeys")));
    if (show)
        show(front);
}

inline void CallAboutDlg(HMODULE library, HWND owner) {
    auto about = reinterpret_cast<AboutDlgProc>(
        reinterpret_cast<void*>(GetProcAddress(library, "AboutDlg")));
    if (about)
        about(owner);
}
