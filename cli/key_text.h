// The texts a user reads and writes for combinations and commands: the
// dialog's combination text and the command catalogue's names, read back.
#pragma once

#include <windows.h>

#include <string>

// The dialog's text for a combination ("Ctrl + Shift + I", "Key 0x59").
std::wstring HotkeyText(UINT modifiers, UINT virtualKey);

// Reads a combination text back, ignoring case and blanks ("ctrl+shift+i"):
// any modifiers of the catalogue, then one key of the catalogue or "Key 0x..".
// False when a part names nothing; `problem` then says which part.
bool ParseHotkeyText(const std::wstring& text, UINT* modifiers, UINT* virtualKey,
                     std::wstring* problem);

// A command as the file names it: its catalogue name without trailing blanks,
// or "0x0A01" where no name tells it apart (a separator, a code without a row).
std::wstring CommandText(UINT code);
// A name (exact first, then ignoring case) or a code in hex.
bool ParseCommandText(const std::wstring& text, UINT* code);

// Hex "0x%04X" of a code, as the file writes codes.
std::wstring HexCode(UINT code);
