// The notification-area icon and its popup menu.
#pragma once

#include <windows.h>
#include <stddef.h>

#include "hotkey_runner.h"
#include "record_array.h"
#include "records.h"

// Loads menu 139, fills the notification record once and adds the icon.
void CreateTrayIcon(HWND window);
// After Explorer restarts: delete and add again with the same record.
void ReAddTrayIcon();
void DeleteTrayIcon();
void ShowTrayMenu(HWND window);
// The icon dimmed and the tip "Pendrix (paused)" while paused; as ever otherwise.
void ShowPausedState();

// One warning balloon from the icon, titled "Pendrix", that names up to
// three refused hotkeys by title and combination and counts the rest.
void ShowRefusedHotkeysBalloon(const RefusedHotkeys& refused);
// A warning balloon naming hotkeys limited to programs whose keys another
// program held when the program in front called for them; the store keeps them.
void ShowRefusedInFrontBalloon(const RefusedHotkeys& refused);
// A warning balloon with a text of its own (cut to the balloon's room).
void ShowWarningText(const wchar_t* text);
// The balloon's text, cut to fit `chars` units with its NUL.
void FormatRefusedHotkeysText(const RefusedHotkeys& refused,
                              const RecordArray<HotkeyRecord>& hotkeys, wchar_t* text,
                              size_t chars);
