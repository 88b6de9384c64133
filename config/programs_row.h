// The hotkey editor's "Programs" row: all programs, only in some, or in all
// but some; kept as the hotkey's programs record, its first action.
#pragma once

#include <windows.h>

#include "records.h"

// Fills the row, with the hotkey's record when `hotkey` is one (>= 0).
void InitProgramsRow(HWND editor, int hotkey);
// The rule the row shows: false when it limits nothing; `rule` then unused.
bool ReadProgramsRow(HWND editor, ActionRecord* rule);
// False, after saying so, when the row names no program where it must.
bool CheckProgramsRow(HWND editor);
// Writes the row's rule as the hotkey's programs record, or removes it.
void StoreProgramsRow(HWND editor, UINT hotkey);
// "Running...": offers the programs that show a window now; the one chosen
// joins the entries.
void OfferRunningPrograms(HWND editor);

// The hotkey whose combination another hotkey has in a program both would
// work in, or -1; `skip` is the hotkey being modified (-1 for none).
int ClashingHotkey(UINT modifiers, UINT key, const ActionRecord* rule, int skip,
                   bool enabledOnly = false);
// Says that `clash` has the combination in a program where a hotkey with
// `rule` (nullptr: every program) would work too.
void SayClash(HWND owner, int clash, const ActionRecord* rule);
// For a hotkey for chosen programs ticked on with `box`: when an enabled one
// has its keys in a program both would work in, unticks the box, says so and
// gives true.
bool RefuseEnabledTwin(HWND dialog, int box, UINT hotkey);
