// Abbreviations that expand as the user types: the keys the keyboard hook
// saw, read into characters and matched on the agent's thread. Only the last
// few characters are kept, in memory, and never written anywhere.
#pragma once

#include <windows.h>

// Whether some hotkey that works now has an abbreviation (the keyboard hook
// is wanted then), and how much typing is kept: read again at each load and
// change of registrations.
bool ReadAbbreviations();

// A key the hook saw go down: its virtual key and scan code, and the TYPED_
// flags of the keys held with it; read with the keyboard layout of the
// window in front. On the agent's thread.
void NoteTypedKey(UINT virtualKey, UINT scanCode, UINT keyState);
const UINT TYPED_SHIFT = 0x1;
const UINT TYPED_CAPS_LOCK = 0x2;
const UINT TYPED_CONTROL = 0x4;
const UINT TYPED_ALT = 0x8;
const UINT TYPED_WIN = 0x10;
// A click anywhere, or anything else after which the typing starts anew.
void ForgetTyping();
