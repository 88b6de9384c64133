#include "tray.h"

#include <shellapi.h>

#include "agent_state.h"
#include "catalogue.h"
#include "resource.h"
#include "window_in_front.h"

namespace {

// Text that goes in whole or not at all, keeping `reserve` units free.
bool AppendWhole(wchar_t* text, size_t chars, size_t& used, const wchar_t* part,
                 size_t reserve = 0) {
    const size_t length = static_cast<size_t>(lstrlenW(part));
    if (used + length + reserve + 1 > chars)
        return false;
    for (size_t i = 0; i < length; ++i)
        text[used + i] = part[i];
    used += length;
    text[used] = L'\0';
    return true;
}

bool ShowBalloon(NOTIFYICONDATAW& balloon) {
    return Shell_NotifyIconW(NIM_MODIFY, &balloon) != FALSE;
}

} // namespace

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
    if (g_agent.balloonPending && ShowBalloon(g_agent.pendingBalloon))
        g_agent.balloonPending = false;
}

void DeleteTrayIcon() {
    Shell_NotifyIconW(NIM_DELETE, &g_agent.tray);
}

void ShowTrayMenu(HWND window) {
    POINT cursor;
    GetCursorPos(&cursor);
    // For "Show My Hotkeys": the program the user was in, not the agent.
    g_agent.frontBeforeMenu = WindowUserWasIn();
    CheckMenuItem(g_agent.trayMenu, ID_TRAY_PAUSE, g_agent.paused ? MF_CHECKED : MF_UNCHECKED);
    // The window must be in the foreground, or the menu does not close when
    // the user clicks elsewhere.
    SetForegroundWindow(window);
    TrackPopupMenu(g_agent.trayMenu, 0, cursor.x, cursor.y, 0, window, nullptr);
}

namespace {

// The icon at half its strength, greyed: made once, from the icon itself.
HICON DimmedIcon(HICON icon) {
    ICONINFO info = {};
    if (!GetIconInfo(icon, &info))
        return nullptr;
    HICON dimmed = nullptr;
    BITMAP bitmap = {};
    GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
    const int pixels = bitmap.bmWidth * bitmap.bmHeight;
    BITMAPINFO format = {};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = bitmap.bmWidth;
    format.bmiHeader.biHeight = bitmap.bmHeight;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    DWORD* bits = pixels > 0
                      ? static_cast<DWORD*>(HeapAlloc(GetProcessHeap(), 0, pixels * sizeof(DWORD)))
                      : nullptr;
    HDC screen = GetDC(nullptr);
    if (bits && GetDIBits(screen, info.hbmColor, 0, bitmap.bmHeight, bits, &format,
                          DIB_RGB_COLORS) == bitmap.bmHeight) {
        for (int p = 0; p < pixels; ++p) {
            const DWORD c = bits[p];
            const DWORD grey =
                (((c >> 16) & 0xFF) * 30 + ((c >> 8) & 0xFF) * 59 + (c & 0xFF) * 11) / 100 / 2 +
                0x40;
            const DWORD alpha = (c >> 25) << 24; // half as opaque
            bits[p] = alpha | (grey << 16) | (grey << 8) | grey;
        }
        HBITMAP color = CreateCompatibleBitmap(screen, bitmap.bmWidth, bitmap.bmHeight);
        if (color && SetDIBits(screen, color, 0, bitmap.bmHeight, bits, &format, DIB_RGB_COLORS)) {
            ICONINFO made = info;
            made.hbmColor = color;
            dimmed = CreateIconIndirect(&made);
        }
        if (color)
            DeleteObject(color);
    }
    ReleaseDC(nullptr, screen);
    if (bits)
        HeapFree(GetProcessHeap(), 0, bits);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return dimmed;
}

} // namespace

void ShowPausedState() {
    NOTIFYICONDATAW& tray = g_agent.tray;
    static_assert(sizeof(L"Pendrix (paused)") <= sizeof tray.szTip, "the tip fits");
    const HICON icon = LoadIconW(g_agent.instance, MAKEINTRESOURCEW(IDI_PENDRIX));
    if (g_agent.paused && !g_agent.pausedIcon)
        g_agent.pausedIcon = DimmedIcon(icon);
    tray.hIcon = g_agent.paused && g_agent.pausedIcon ? g_agent.pausedIcon : icon;
    lstrcpynW(tray.szTip, g_agent.paused ? L"Pendrix (paused)" : L"Pendrix", ARRAYSIZE(tray.szTip));
    tray.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    Shell_NotifyIconW(NIM_MODIFY, &tray);
}

namespace {

void FormatRefusedList(const wchar_t* heading, const RefusedHotkeys& refused,
                       const RecordArray<HotkeyRecord>& hotkeys, wchar_t* text, size_t chars) {
    if (chars == 0)
        return;
    text[0] = L'\0';
    size_t used = 0;
    AppendWhole(text, chars, used, heading);
    // Room for "\nand 4294967295 more" stays free while hotkeys are named.
    const size_t moreRoom = 20;
    UINT named = 0;
    for (UINT n = 0; n < refused.count && n < REFUSED_HOTKEYS_NAMED; ++n) {
        if (refused.positions[n] >= hotkeys.Count())
            continue;
        const HotkeyRecord& hotkey = hotkeys.At(refused.positions[n]);
        wchar_t title[HOTKEY_TEXT_CHARS + 1];
        CopyBoundedText(title, HOTKEY_TEXT_CHARS + 1, hotkey.title);
        wchar_t keys[HOTKEY_TEXT_BUFFER_CHARS];
        FormatHotkeyText(hotkey.modifiers, hotkey.virtualKey, keys, HOTKEY_TEXT_BUFFER_CHARS);
        wchar_t line[HOTKEY_TEXT_CHARS + HOTKEY_TEXT_BUFFER_CHARS + 8];
        if (title[0])
            wsprintfW(line, L"\n%s (%s)", title, keys);
        else
            wsprintfW(line, L"\n%s", keys);
        const size_t reserve = refused.count > n + 1 ? moreRoom : 0;
        if (!AppendWhole(text, chars, used, line, reserve))
            break;
        ++named;
    }
    if (named < refused.count) {
        wchar_t more[moreRoom + 1];
        wsprintfW(more, L"\nand %u more", refused.count - named);
        AppendWhole(text, chars, used, more);
    }
}

void ShowWarningBalloon() {
    NOTIFYICONDATAW& balloon = g_agent.pendingBalloon;
    lstrcpynW(balloon.szInfoTitle, L"Pendrix", ARRAYSIZE(balloon.szInfoTitle));
    balloon.dwInfoFlags = NIIF_WARNING;
    balloon.uTimeout = 15000; // ignored from Vista on, where the system decides
    // Without a taskbar yet, TaskbarCreated shows it when the icon comes back.
    g_agent.balloonPending = !ShowBalloon(balloon);
}

} // namespace

void FormatRefusedHotkeysText(const RefusedHotkeys& refused,
                              const RecordArray<HotkeyRecord>& hotkeys, wchar_t* text,
                              size_t chars) {
    FormatRefusedList(refused.count == 1
                          ? L"This hotkey was disabled because another program uses its keys:"
                          : L"These hotkeys were disabled because another program uses their keys:",
                      refused, hotkeys, text, chars);
}

void ShowRefusedInFrontBalloon(const RefusedHotkeys& refused) {
    NOTIFYICONDATAW& balloon = g_agent.pendingBalloon;
    balloon = g_agent.tray;
    balloon.uFlags = NIF_INFO;
    FormatRefusedList(refused.count == 1
                          ? L"This hotkey does not work in the program in front: another "
                            L"program uses its keys:"
                          : L"These hotkeys do not work in the program in front: another "
                            L"program uses their keys:",
                      refused, g_agent.hotkeys, balloon.szInfo, ARRAYSIZE(balloon.szInfo));
    ShowWarningBalloon();
}

void ShowWarningText(const wchar_t* text) {
    NOTIFYICONDATAW& balloon = g_agent.pendingBalloon;
    balloon = g_agent.tray;
    balloon.uFlags = NIF_INFO;
    lstrcpynW(balloon.szInfo, text, ARRAYSIZE(balloon.szInfo));
    ShowWarningBalloon();
}

void ShowRefusedHotkeysBalloon(const RefusedHotkeys& refused) {
    NOTIFYICONDATAW& balloon = g_agent.pendingBalloon;
    balloon = g_agent.tray;
    balloon.uFlags = NIF_INFO;
    FormatRefusedHotkeysText(refused, g_agent.hotkeys, balloon.szInfo, ARRAYSIZE(balloon.szInfo));
    ShowWarningBalloon();
}
