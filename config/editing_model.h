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
// Puts an action at a position of the action list, before the one there.
void InsertAction(UINT position, const ActionRecord& action);

// Position in the action list of the row-th action (from 0) of a hotkey, or -1.
int FindHotkeyAction(UINT hotkey, int row);
// The same for the rows of the action list, which does not show a hotkey's
// programs record.
int FindShownAction(UINT hotkey, int row);
void DeleteAction(UINT position);
// Removes the hotkey and every action it owns; later hotkeys' actions follow
// their hotkeys down by one position.
void DeleteHotkey(UINT hotkey);
void ClearLists();

// Replaces the lists with the store when it was read whole; otherwise they
// stay as they were and the store's error is returned.
LONG LoadLists(HWND window);
LONG SaveLists();
// Saves, then asks the agent to reload; true when it acknowledged and the
// lists were reloaded from what the agent saved. A save that fails is told
// to the user in one message box, and the lists keep the edit.
bool ApplyChanges(HWND window);
// "what", then the reason the store gave, in a message box titled "Pendrix".
void ShowStoreError(HWND owner, const wchar_t* what, LONG error);
