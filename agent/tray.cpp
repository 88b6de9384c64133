#include "tray.h"

#include <shellapi.h>

#include "agent_state.h"
#include "resource.h"

void CreateTrayIcon(HWND window) {
    g_agent.menuResource = LoadMenuW(g_agent.instance, MAKEINTRESOURCEW(IDR_TRAY_MENU));
    g_agent.trayMenu = g_agent.menuResource ? GetSubMenu(g_agent.menuResource, 0) : nullptr;

    NOTIFYICONDATAW& tray = g_agent.tray;
    ZeroMemory(&tray, sizeof tray);
    // The full wide record with balloon fields and without the GUID field.
    tray.cbSize = NOTIFYICONDATAW_V2_SIZE;
    tray.hWnd = window;
    tray.uID = 0;
    tray.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    tray.uCallbackMessage = TrayCallbackMessage;
    tray.hIcon = LoadIconW(g_agent.instance, MAKEINTRESOURCEW(IDI_PENDRIX));
    lstrcpynW(tray.szTip, L"Pendrix", ARRAYSIZE(tray.szTip));
    // Fails quietly when the taskbar is not up yet; TaskbarCreated adds it later.
    Shell_NotifyIconW(NIM_ADD, &tray);
}

void ReAddTrayIcon() {
    Shell_NotifyIconW(NIM_DELETE, &g_agent.tray);
    Shell_NotifyIconW(NIM_ADD, &g_agent.tray);
}

void DeleteTrayIcon() {
    Shell_NotifyIconW(NIM_DELETE, &g_agent.tray);
}

void ShowTrayMenu(HWND window) {
    POINT cursor;
    GetCursorPos(&cursor);
    // The window must be in the foreground, or the menu does not close when
    // the user clicks elsewhere.
    SetForegroundWindow(window);
    TrackPopupMenu(g_agent.trayMenu, 0, cursor.x, cursor.y, 0, window, nullptr);
}
