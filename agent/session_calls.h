// The platform calls that end the session or the machine, or lock it: the
// only calls a test must never make. They go through this table, which
// holds the real functions; a test puts recorders in their place.
#pragma once

#include <windows.h>

struct SessionCalls {
    bool (*enableShutdownPrivilege)();
    BOOL(WINAPI* initiateSystemShutdownEx)
    (LPWSTR machine, LPWSTR message, DWORD timeout, BOOL forceAppsClosed, BOOL reboot,
     DWORD reason);
    BOOL(WINAPI* abortSystemShutdown)(LPWSTR machine);
    BOOL(WINAPI* setSystemPowerState)(BOOL suspend, BOOL force);
    BOOL(WINAPI* exitWindowsEx)(UINT flags, DWORD reason);
    BOOL(WINAPI* lockWorkStation)();
    // The shell's shut-down prompt, exported by shell32 under ordinal 59 only.
    int(WINAPI* restartDialog)(HWND owner, LPCWSTR prompt, DWORD flags);
};

extern SessionCalls g_sessionCalls;

// Enables SeShutdownPrivilege in this process's token; true when it was
// assigned (false also for ERROR_NOT_ALL_ASSIGNED).
bool EnableShutdownPrivilege();
