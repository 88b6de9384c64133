// The configuration library's copy of the store while a dialog is open: two
// lists of records, the operations the dialogs edit them with, and
// ApplyChanges, which saves them and has a running agent reload.
#pragma once

#include <windows.h>

#include "record_array.h"
#include "records.h"

using HotkeyList = RecordArray<HotkeyRecord>;
using ActionList = RecordArray<ActionRecord>;

extern HotkeyList g_hotkeyList;
extern ActionList g_actionList;

// Positions must be below the count; otherwise an out-of-range error ends
// the process.
HotkeyRecord& HotkeyAt(UINT position);
ActionRecord& ActionAt(UINT position);
void AddHotkey(const HotkeyRecord& hotkey);
// The caller has set owner, kind and the fields of that kind.
void AddAction(const ActionRecord& action);

// Position in the action list of the row-th action (from 0) of a hotkey, or -1.
int FindHotkeyAction(UINT hotkey, int row);
void DeleteAction(UINT position);
// Removes the hotkey and every action it owns; later hotkeys' actions follow
// their hotkeys down by one position.
void DeleteHotkey(UINT hotkey);
void ClearLists();

void LoadLists(HWND window);
void SaveLists();
// Saves, then asks the agent to reload; true when it acknowledged and the
// lists were reloaded from what the agent saved.
bool ApplyChanges(HWND window);
