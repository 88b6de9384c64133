#include "program_switch.h"

#include "program_rules.h"
#include "window_in_front.h"

namespace {

const wchar_t APP_PATHS[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
const UINT MAX_WINDOWS = 64;

bool EndsWithExe(const wchar_t* name) {
    const int length = lstrlenW(name);
    return length > 4 && lstrcmpiW(name + length - 4, L".exe") == 0;
}

// The program's full path as the shell would find it; the file name alone
// when it cannot be found, so a program started from elsewhere still counts.
bool ResolveProgram(const wchar_t* target, wchar_t* program, DWORD chars) {
    wchar_t name[MAX_PATH];
    lstrcpynW(name, target, MAX_PATH);
    const bool hasFolder = ProgramFileName(name) != name;
    if (!EndsWithExe(name)) {
        // "notepad": a program only where a "notepad.exe" is found.
        if (hasFolder || lstrlenW(name) + 4 >= MAX_PATH)
            return false;
        lstrcatW(name, L".exe");
        return SearchPathW(nullptr, name, nullptr, chars, program, nullptr) > 0;
    }
    if (hasFolder)
        return GetFullPathNameW(name, chars, program, nullptr) > 0;
    const HKEY hives[] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};
    wchar_t keyPath[MAX_PATH + ARRAYSIZE(APP_PATHS)];
    lstrcpyW(keyPath, APP_PATHS);
    lstrcatW(keyPath, name);
    for (HKEY hive : hives) {
        HKEY key;
        if (RegOpenKeyExW(hive, keyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
            continue;
        wchar_t stored[MAX_PATH * 2];
        DWORD bytes = sizeof stored - sizeof(wchar_t);
        DWORD type = 0;
        const LONG result =
            RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(stored), &bytes);
        RegCloseKey(key);
        if (result == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) &&
            bytes >= sizeof(wchar_t)) {
            stored[bytes / sizeof(wchar_t)] = L'\0';
            // Installers write the path quoted or with variables now and then.
            wchar_t* path = stored;
            if (path[0] == L'"') {
                ++path;
                for (wchar_t* c = path; *c; ++c) {
                    if (*c == L'"')
                        *c = L'\0';
                }
            }
            const DWORD made = ExpandEnvironmentStringsW(path, program, chars);
            if (made > 0 && made <= chars)
                return true;
        }
    }
    if (SearchPathW(nullptr, name, nullptr, chars, program, nullptr) > 0)
        return true;
    lstrcpynW(program, name, chars);
    return true;
}

struct WindowSearch {
    const wchar_t* program; // a full path, or a file name matched in any folder
    HWND found[MAX_WINDOWS];
    UINT count;
};

bool ShowsProgram(HWND window, const WindowSearch& search) {
    wchar_t image[MAX_PATH * 2];
    if (!ProgramOfWindow(window, image, ARRAYSIZE(image)))
        return false;
    const bool byName = ProgramFileName(search.program) == search.program;
    return lstrcmpiW(byName ? ProgramFileName(image) : image, search.program) == 0;
}

BOOL CALLBACK NoteProgramWindow(HWND window, LPARAM data) {
    WindowSearch* search = reinterpret_cast<WindowSearch*>(data);
    if (IsSwitchableWindow(window) && ShowsProgram(window, *search))
        search->found[search->count++] = window;
    return search->count < MAX_WINDOWS;
}

} // namespace

bool SwitchToRunningProgram(const wchar_t* target) {
    wchar_t program[MAX_PATH * 2];
    if (!ResolveProgram(target, program, ARRAYSIZE(program)))
        return false;
    // A program named without a folder is that program wherever it was
    // started from: Windows' own Notepad, for one, runs from a folder other
    // than the one the shell finds "notepad.exe" in.
    WindowSearch search = {};
    search.program = ProgramFileName(target) == target ? ProgramFileName(program) : program;
    EnumWindows(NoteProgramWindow, reinterpret_cast<LPARAM>(&search));
    if (search.count == 0)
        return false;
    // Windows come front to back: the front one, or, when one of them is in
    // front already, the one furthest back.
    const HWND front = GetForegroundWindow();
    HWND chosen = search.found[0];
    for (UINT n = 0; n < search.count; ++n) {
        if (search.found[n] == front)
            chosen = search.found[search.count - 1];
    }
    // Asked, not waited for: a program that hangs does not hold the hotkey.
    if (IsIconic(chosen))
        ShowWindowAsync(chosen, SW_RESTORE);
    // The press gave this process the right to bring a window to the front.
    SetForegroundWindow(chosen);
    return true;
}
