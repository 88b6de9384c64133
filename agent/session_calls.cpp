#include "session_calls.h"

#include "win32/handle.h"

namespace {

int WINAPI CallRestartDialog(HWND owner, LPCWSTR prompt, DWORD flags) {
    typedef int(WINAPI * RestartDialogProc)(HWND, LPCWSTR, DWORD);
    HMODULE shell = GetModuleHandleW(L"shell32.dll");
    if (!shell)
        return 0;
    auto restartDialog = reinterpret_cast<RestartDialogProc>(
        reinterpret_cast<void*>(GetProcAddress(shell, MAKEINTRESOURCEA(59))));
    return restartDialog ? restartDialog(owner, prompt, flags) : 0;
}

BOOL WINAPI CallLockWorkStation() {
    return LockWorkStation();
}

} // namespace

bool EnableShutdownPrivilege() {
    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &rawToken))
        return false;
    Handle token(rawToken);
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid);
    SetLastError(ERROR_SUCCESS);
    AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr);
    return GetLastError() == ERROR_SUCCESS;
}

SessionCalls g_sessionCalls = {
    EnableShutdownPrivilege, InitiateSystemShutdownExW, AbortSystemShutdownW, SetSystemPowerState,
    ExitWindowsEx,           CallLockWorkStation,       CallRestartDialog,
};
