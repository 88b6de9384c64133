// The hotkey editor's "Abbreviation" row: a text that, typed anywhere,
// starts the hotkey, with its two options; kept as the hotkey's abbreviation
// record, after its programs record.
#pragma once

#include <windows.h>

#include "records.h"

// Fills the row, with the hotkey's record when `hotkey` is one (>= 0).
void InitAbbreviationRow(HWND editor, int hotkey);
// Whether the row holds an abbreviation.
bool HasAbbreviation(HWND editor);
// False, after saying so, when the abbreviation is malformed or another
// hotkey has it where both would work (`rule`: the editor's programs, or
// nullptr for every program; `skip`: the hotkey being modified, or -1).
bool CheckAbbreviationRow(HWND editor, const ActionRecord* rule, int skip);
// Writes the row as the hotkey's abbreviation record, or removes it.
void StoreAbbreviationRow(HWND editor, UINT hotkey);
