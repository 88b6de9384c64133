// A typing action: its text, with its {name} notation, typed into whatever
// has the keyboard focus, on the worker thread of the press.
#pragma once

#include <windows.h>

// Waits (bounded) until the hotkey's own keys are let go, sends each stretch
// between {Sleep}s as one batch, and leaves no key pressed. The agent's own
// hotkeys whose combinations the text types step aside meanwhile, so the
// keys reach the program in front.
void TypeText(HWND agentWindow, UINT hotkeyParameter, const wchar_t* text, UINT width);

// The input events of one key with its modifiers, down and up, each with
// its scan code and the extended flag where the key has one. Returns the
// number of events written (at most 10).
UINT KeyEvents(UINT modifiers, UINT virtualKey, INPUT* events);

// Backspace `count` times, as the agent's own input.
void EraseTyped(UINT count);
// One character as typed: Enter and Tab as their keys, others as text.
void TypeCharacter(wchar_t character);

// A press that no hotkey takes after all goes on to the program in front:
// its key goes down again, with the whole combination when the user has
// let go of it already.
void PassPressOn(UINT hotkeyParameter);
