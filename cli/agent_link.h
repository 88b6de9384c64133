// The running agent and the configuration dialog, as the tool meets them.
#pragma once

#include <windows.h>

// The agent's window, or nullptr when no agent runs.
HWND FindAgent();

enum class ReloadResult { NoAgent, Reloaded, Queued };
// Makes a running agent load the store again and register its hotkeys; waits
// at most the protocol's time for the answer.
ReloadResult ReloadAgent();

// A configuration dialog is open somewhere in this log-on: it would write
// its own lists over the store at its next save.
bool ConfigurationDialogOpen();
