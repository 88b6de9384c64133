// Numeric identifiers of the agent's resources and commands.
#pragma once

#define IDI_PENDRIX 107
#define IDR_TRAY_MENU 139

#define ID_TRAY_CONFIGURE 32780
#define ID_TRAY_ABOUT 32781
#define ID_TRAY_EXIT 32782
#define ID_TRAY_WEBSITE 32784
#define ID_TRAY_MY_HOTKEYS 32785
#define ID_TRAY_PAUSE 32786
