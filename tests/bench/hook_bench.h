// What the mouse hook's and the abbreviations' benchmarks share: the agent's
// window in this process with a list of the bench's own, and the delays
// with no hook, a do-nothing hook and the agent's, taken in turn.
#pragma once

#include <windows.h>

#include "record_array.h"
#include "records.h"

typedef void (*MakeList)(RecordArray<HotkeyRecord>* hotkeys, RecordArray<ActionRecord>* actions);

// A message-only window as the agent's, in this process, with the list that
// `make` fills registered as the agent registers it: the hooks' thread has
// its table when this returns.
HWND StartAgentHere(const wchar_t* className, MakeList make);
// Lets the registrations, the hooks, the list and the window go.
void StopAgentHere(HWND window);

// The programs the delays are taken with: true when it runs.
struct HookPrograms {
    bool (*startAgent)();
    void (*stopAgent)();
    bool (*startDoNothing)();
    void (*stopDoNothing)();
};

struct Delays {
    double noHook; // ms
    double doNothingHook;
    double agentHook;
};

// `delay` with no hook, with the do-nothing hook and, as `agentDelay`, with
// the agent's (its round number given), in turn over a few rounds, each the
// best of its rounds: the machine's own hiccups fall on one round, not on
// one of the three.
Delays DelaysInTurn(double (*delay)(), double (*agentDelay)(int round),
                    const HookPrograms& programs);
