// Hotkey registration on the agent window, and the worker thread that runs
// a pressed hotkey's actions.
#pragma once

#include <windows.h>

#include "agent_protocol.h"
#include "records.h"

const int ALL_HOTKEYS = -1;

// ALL_HOTKEYS: registers every hotkey whose enabled byte is exactly 1 and
// clears the byte of each one the window system refuses; true.
// One index: registers a disabled hotkey and sets its byte; true on success.
bool RegisterHotkeys(HWND window, int index);
// The hotkeys the window system refused in one registration of them all:
// how many, and the positions of the first few.
const UINT REFUSED_HOTKEYS_NAMED = 3;
struct RefusedHotkeys {
    UINT count = 0;
    UINT positions[REFUSED_HOTKEYS_NAMED] = {};
};
// RegisterHotkeys(ALL_HOTKEYS) that also tells which hotkeys were refused.
// A hotkey limited to programs is registered only while a program it works
// in is in front, and then an unlimited one with its keys steps aside.
void RegisterEnabledHotkeys(HWND window, RefusedHotkeys* refused);
// Brings the registrations in line with the program in front. With
// `refused` (a load), a hotkey the system refuses is disabled and named
// there; without, the store stays and a balloon names it once.
void UpdateProgramHotkeys(HWND window, RefusedHotkeys* refused);

// ALL_HOTKEYS: unregisters every enabled hotkey, leaving the bytes; true.
// One index: unregisters an enabled hotkey and clears its byte.
bool UnregisterHotkeys(HWND window, int index);

// A hotkey whose combination a typing action types steps aside while it
// types, so the keys reach the program in front instead of running it.
// The token names the combination.
inline LPARAM TypedCombination(UINT modifiers, UINT key) {
    return static_cast<LPARAM>(((modifiers & HOTKEY_MODIFIERS) << 16) | (key & 0xFFFF));
}
LRESULT StepHotkeyAside(HWND window, UINT modifiers, UINT key);
void BringHotkeyBack(HWND window, LPARAM token);

// A worker let go of the combination's keys for the user, who may still
// hold them: the keyboard's next repeat is no new press.
void NoteLetGo(LPARAM combination);

// WM_HOTKEY: starts an unjoined worker for the pressed hotkey; a repeat of a
// held press runs nothing, but for hotkeys that only step (a volume).
void HandOffHotkey(HWND window, WPARAM id, LPARAM hotkeyParameter);

// Hotkey `index`'s abbreviation was typed: a worker erases `erase`
// characters, runs its actions, then types the ending character again.
void ExpandAbbreviation(HWND window, UINT index, UINT erase, wchar_t ending);

// From the mouse hook: hotkey `index` was pressed with its mouse trigger.
void HandOffMouseHotkey(HWND window, UINT index, LPARAM combination);

// Runs one hotkey's actions in order: URL/file actions through the shell
// with environment variables expanded (waiting for each program when
// runSequentially is set), system commands through RunSystemCommand,
// typing actions through TypeText.
void RunHotkeyActions(HWND window, UINT hotkeyParameter, BYTE runSequentially,
                      const ActionRecord* actions, UINT actionCount);
