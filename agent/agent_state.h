// Process-wide state of the agent, owned by its user-interface thread.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "agent_protocol.h"
#include "hotkey_runner.h"
#include "record_array.h"
#include "records.h"

// The shell's mouse notifications for the tray icon: a fixed number below
// WM_USER, as other programs may rely on it.
const UINT TrayCallbackMessage = 0x0071;

struct AgentState {
    HINSTANCE instance = nullptr;
    bool background = false;
    UINT taskbarCreatedMessage = 0;
    HMENU menuResource = nullptr;
    HMENU trayMenu = nullptr;
    NOTIFYICONDATAW tray = {};
    // A balloon the shell could not take yet (no taskbar); shown once the
    // icon is added again.
    NOTIFYICONDATAW pendingBalloon = {};
    bool balloonPending = false;
    bool storeBusy = false;        // a reload is under way
    bool reloadPending = false;    // another was asked for meanwhile
    bool starting = false;         // inside window creation
    RefusedHotkeys startupRefused; // what registrations refused while starting
    RecordArray<HotkeyRecord> hotkeys;
    RecordArray<ActionRecord> actions;
};

extern AgentState g_agent;

LRESULT CALLBACK AgentWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
