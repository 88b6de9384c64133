#include "hook_bench.h"

#include "agent_state.h"
#include "bench_util.h"
#include "hotkey_runner.h"
#include "window_in_front.h"

namespace {

const int DELAY_ROUNDS = 3;

} // namespace

HWND StartAgentHere(const wchar_t* className, MakeList make) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = className;
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, className, nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  wc.hInstance, nullptr);
    g_agent.window = window;
    make(&g_agent.hotkeys, &g_agent.actions);
    RefusedHotkeys refused;
    RegisterEnabledHotkeys(window, &refused);
    return window;
}

void StopAgentHere(HWND window) {
    MSG posted;
    while (PeekMessageW(&posted, window, 0, 0, PM_REMOVE)) {
    }
    UnregisterHotkeys(window, ALL_HOTKEYS); // the hooks go with the last of them
    FollowWindowInFront(false);
    g_agent.hotkeys.Clear();
    g_agent.actions.Clear();
    DestroyWindow(window);
}

Delays DelaysInTurn(double (*delay)(), double (*agentDelay)(int round),
                    const HookPrograms& programs) {
    Delays delays = {1e9, 1e9, 1e9};
    for (int round = 0; round < DELAY_ROUNDS; ++round) {
        delays.noHook = Lower(delays.noHook, delay());
        // The do-nothing hook lives in a program of its own, as the agent's does.
        if (programs.startDoNothing()) {
            delays.doNothingHook = Lower(delays.doNothingHook, delay());
            programs.stopDoNothing();
        }
        if (programs.startAgent()) {
            delays.agentHook = Lower(delays.agentHook, agentDelay(round));
            programs.stopAgent();
        }
    }
    return delays;
}
