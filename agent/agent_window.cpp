// The agent's hidden window: tray icon, menu commands, hotkeys and the
// reload handshake with the configuration library.
#include <windows.h>
#include <shellapi.h>

#include "agent_state.h"
#include "config_library.h"
#include "hotkey_runner.h"
#include "maker_site.h"
#include "resource.h"
#include "store.h"
#include "tray.h"

namespace {

// Replaces both arrays with the store and registers them again. It is
// whole in itself, so a reload that arrives while start-up waits on the shell
// leaves nothing for start-up to add twice. A reload that arrives inside it
// (a message box of the store pumps messages) is done again right after.
bool ReloadStore(HWND window, RefusedHotkeys* refused) {
    if (g_agent.storeBusy) {
        g_agent.reloadPending = true;
        return false;
    }
    g_agent.storeBusy = true;
    do {
        g_agent.reloadPending = false;
        UnregisterHotkeys(window, ALL_HOTKEYS);
        g_agent.hotkeys.Clear();
        g_agent.actions.Clear();
        LoadStore(window, g_agent.hotkeys, g_agent.actions);
        RegisterEnabledHotkeys(window, refused);
        // Saving right away stores as disabled every hotkey the system refused.
        SaveStore(g_agent.hotkeys, g_agent.actions);
    } while (g_agent.reloadPending);
    g_agent.storeBusy = false;
    return true;
}

LRESULT OnCreate(HWND window) {
    g_agent.taskbarCreatedMessage = RegisterWindowMessageW(L"TaskbarCreated");
    CreateTrayIcon(window);
    RefusedHotkeys refused;
    ReloadStore(window, &refused);
    // Only at start-up: after a reload that the dialog asked for, the dialog
    // itself shows the refused hotkeys unchecked.
    if (refused.count > 0)
        ShowRefusedHotkeysBalloon(refused);
    if (g_agent.background)
        g_agent.background = false;
    else
        SendMessageW(window, WM_COMMAND, ID_TRAY_CONFIGURE, 0);
    return 0;
}

LRESULT OnTrayCallback(HWND window, LPARAM mouseMessage) {
    switch (mouseMessage) {
    case WM_RBUTTONDOWN:
        ShowTrayMenu(window);
        break;
    case WM_LBUTTONDBLCLK:
    case NIN_BALLOONUSERCLICK: // the only balloon names refused hotkeys
        SendMessageW(window, WM_COMMAND, ID_TRAY_CONFIGURE, 0);
        break;
    default:
        break;
    }
    return 0;
}

void OnExit(HWND window) {
    DeleteTrayIcon();
    UnregisterHotkeys(window, ALL_HOTKEYS);
    PostQuitMessage(0);
}

LRESULT OnCommand(HWND window, WORD id) {
    switch (id) {
    case ID_TRAY_CONFIGURE:
        RunConfigureDialog();
        break;
    case ID_TRAY_ABOUT:
        RunAboutDialog(window);
        break;
    case ID_TRAY_EXIT:
        OnExit(window);
        break;
    case ID_TRAY_WEBSITE:
        ShellExecuteW(nullptr, L"open", MAKER_SITE_AGENT_PAGE, L"", L"", SW_SHOWNORMAL);
        break;
    default:
        break;
    }
    return 0;
}

// Answered only once everything is registered again, so the library can
// read back which hotkeys the system refused. A reload asked for while one
// runs is answered 0, as by no agent: it follows when the running one ends.
LRESULT OnReload(HWND window) {
    return ReloadStore(window, nullptr) ? ReloadMessage : 0;
}

} // namespace

LRESULT CALLBACK AgentWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != 0 && message == g_agent.taskbarCreatedMessage) {
        ReAddTrayIcon();
        return DefWindowProcW(window, message, wParam, lParam);
    }
    switch (message) {
    case WM_CREATE:
        return OnCreate(window);
    case TrayCallbackMessage:
        return OnTrayCallback(window, lParam);
    case WM_COMMAND:
        return OnCommand(window, LOWORD(wParam));
    case WM_HOTKEY:
        HandOffHotkey(window, wParam, lParam);
        return 0;
    case ReloadMessage:
        return OnReload(window);
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}
