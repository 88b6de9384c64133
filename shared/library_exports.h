// How the agent and the Control Panel applet call the configuration library,
// which they load by name only for the length of a dialog.
#pragma once

#include <windows.h>

#define CONFIG_LIBRARY_NAME L"pendrixcfg.dll"

// "Configure": the main configuration dialog, modal, no owner.
typedef void(WINAPI* ConfigureProc)();
// "AboutDlg": the About box, owned by the given window.
typedef void(WINAPI* AboutDlgProc)(HWND owner);
