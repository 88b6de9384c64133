// How the configuration library finds and talks to the running agent.
#pragma once

#include <windows.h>

// The class of the agent's one hidden window.
#define AGENT_WINDOW_CLASS L"PendrixOstrand"

// Sent by the configuration library after it saved the store; answered with
// the same number once the agent has reloaded and registered everything.
const UINT ReloadMessage = 0x8079;
