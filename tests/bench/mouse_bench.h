// The mouse hook's figures for the agent bench.
#pragma once

#include <windows.h>

struct MouseFigures {
    double decisionMedianUs; // in the hook procedure, with 100 mouse hotkeys
    double decisionP99Us;
    double askingP99Us; // the button downs, which ask which window is under the pointer
    double otherP99Us;  // every other event
    double noHook;      // ms from a notch to the window's WM_MOUSEWHEEL
    double doNothingHook;
    double agentHook;
};

// The store of 100 mouse hotkeys the agent runs with here.
void WriteMouseStore();
// Measures with no hook, with a do-nothing hook of a program of its own and
// with the agent's, which the functions start (true when it runs) and stop.
MouseFigures MeasureMouseHook(bool (*startAgent)(), void (*stopAgent)(), bool (*startDoNothing)(),
                              void (*stopDoNothing)());
// This program run as "hook" or "keyhook": installs a do-nothing low-level
// hook of that type (WH_MOUSE_LL, WH_KEYBOARD_LL) and lives until its
// message-only window "PendrixDoNothingHook" is sent WM_CLOSE.
int RunDoNothingHook(int hookType);
