// How the configuration library finds and talks to the running agent.
#pragma once

#include <windows.h>

// The class of the agent's one hidden window.
#define AGENT_WINDOW_CLASS L"PendrixOstrand"

// Hotkey i of the agent's array is registered, and posted, as HotkeyIdBase + i.
const int HotkeyIdBase = 0x2000;

// Sent by the configuration library after it saved the store; answered with
// the same number once the agent has reloaded and registered everything.
const UINT ReloadMessage = 0x8079;

// How long a sender waits for that answer. A reload of 10,000 hotkeys takes
// well under half of it, on Wine's slower registry too.
const UINT RELOAD_WAIT_MS = 60000;

// Pauses every hotkey (wParam 1) or resumes them (wParam 0), as the tray's
// "Pause Hotkeys" does; answered 1. Pause is never stored: a start of the
// agent is never paused.
const UINT AgentPauseMessage = WM_APP + 0x106;

// Marks the input the agent sends (dwExtraInfo of its SendInput events), so
// that its own hooks never take it for the user's.
const ULONG_PTR AGENT_INPUT_MARK = 0x50E7D000;
