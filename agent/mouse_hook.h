// Mouse buttons and the wheel as hotkeys: a low-level mouse hook, on a
// thread of its own that only pumps messages, which exists only while some
// hotkey wants a mouse trigger.
#pragma once

#include <windows.h>

// Makes the hook's table from the hotkeys that want a mouse trigger now
// (their state's `registered`), and installs the hook while it has any,
// removes it when it has none. On the agent's thread.
void UpdateMouseHook();
// Whether the hook is installed now; and the keyboard's, which the same
// thread holds while some abbreviation works.
bool MouseHookInstalled();
bool KeyboardHookInstalled();

// The hook's decision on one event, as its procedure makes it: true when a
// hotkey takes it (it was posted to the agent's window) and the event is
// swallowed. For the benchmark, which times it.
bool DecideMouseEvent(WPARAM message, const MSLLHOOKSTRUCT& event);
// The keyboard hook's work on one key: a key that goes down, and is not the
// agent's own, is handed to the agent's thread. For the benchmark too.
void PassKeyDown(WPARAM message, const KBDLLHOOKSTRUCT& key);
// Posts to the agent's window what the two procedures left for it, as the
// hook thread does once each has returned. For the benchmark, which calls
// them on a thread of its own.
void PostHookPending();
