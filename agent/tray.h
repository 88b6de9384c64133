// The notification-area icon and its popup menu.
#pragma once

#include <windows.h>

// Loads menu 139, fills the notification record once and adds the icon.
void CreateTrayIcon(HWND window);
// After Explorer restarts: delete and add again with the same record.
void ReAddTrayIcon();
void DeleteTrayIcon();
void ShowTrayMenu(HWND window);
