#include "editing_model.h"

#include "agent_protocol.h"
#include <strsafe.h>

#include "store.h"
#include "store_messages.h"

HotkeyList g_hotkeyList;
ActionList g_actionList;

HotkeyRecord& HotkeyAt(UINT position) {
    return g_hotkeyList.At(position);
}
ActionRecord& ActionAt(UINT position) {
    return g_actionList.At(position);
}
void AddHotkey(const HotkeyRecord& hotkey) {
    g_hotkeyList.Append(hotkey);
}
void AddAction(const ActionRecord& action) {
    g_actionList.Append(action);
}
void InsertAction(UINT position, const ActionRecord& action) {
    g_actionList.InsertAt(position, action);
}

int FindHotkeyAction(UINT hotkey, int row) {
    if (row < 0)
        return -1;
    int seen = -1;
    for (UINT a = 0; a < g_actionList.Count(); ++a) {
        if (g_actionList.At(a).owner == hotkey && ++seen == row)
            return static_cast<int>(a);
    }
    return -1;
}

int FindShownAction(UINT hotkey, int row) {
    if (row < 0)
        return -1;
    int seen = -1;
    for (UINT a = 0; a < g_actionList.Count(); ++a) {
        const ActionRecord& action = g_actionList.At(a);
        if (action.owner == hotkey && action.kind != ACTION_PROGRAMS && ++seen == row)
            return static_cast<int>(a);
    }
    return -1;
}

void DeleteAction(UINT position) {
    g_actionList.RemoveAt(position);
}

void DeleteHotkey(UINT hotkey) {
    for (UINT a = 0; a < g_actionList.Count();) {
        if (g_actionList.At(a).owner == hotkey)
            g_actionList.RemoveAt(a); // the next action moved into place a
        else
            ++a;
    }
    for (UINT a = 0; a < g_actionList.Count(); ++a) {
        ActionRecord& action = g_actionList.At(a);
        if (static_cast<INT32>(action.owner) > static_cast<INT32>(hotkey))
            --action.owner;
    }
    g_hotkeyList.RemoveAt(hotkey);
}

void ClearLists() {
    g_actionList.Clear();
    g_hotkeyList.Clear();
}

LONG LoadLists(HWND window) {
    // Read aside and taken only when whole: a list read in part must not
    // become what the dialog edits and saves.
    HotkeyList hotkeys;
    ActionList actions;
    const LONG result = LoadStore(window, hotkeys, actions);
    if (result == ERROR_SUCCESS) {
        g_hotkeyList.Swap(hotkeys);
        g_actionList.Swap(actions);
    }
    return result;
}

LONG SaveLists() {
    return SaveStore(g_hotkeyList, g_actionList);
}

void ShowStoreError(HWND owner, const wchar_t* what, LONG error) {
    wchar_t reason[512];
    DescribeStoreError(error, reason, ARRAYSIZE(reason));
    wchar_t text[640];
    StringCchPrintfW(text, ARRAYSIZE(text), L"%s\n\n%s", what, reason);
    MessageBoxW(owner, text, L"Pendrix", MB_OK | MB_ICONERROR);
}

bool ApplyChanges(HWND window) {
    const LONG saved = SaveLists();
    if (saved != ERROR_SUCCESS) {
        // The edit stays in the lists, and so in the dialog.
        ShowStoreError(window, L"The change could not be saved.", saved);
        return false;
    }
    HWND agent = FindWindowW(AGENT_WINDOW_CLASS, nullptr);
    if (!agent)
        return false;
    // Waits until the agent has reloaded, registered and saved, so the
    // lists read back the hotkeys it could not register as disabled. The wait
    // is bounded: a hung agent must not freeze the dialog (or the Control
    // Panel around it). A time-out is taken as no agent: the change is saved
    // and the agent reads it at its next reload or start.
    DWORD_PTR reply = 0;
    if (!SendMessageTimeoutW(agent, ReloadMessage, 0, 0, SMTO_ABORTIFHUNG, RELOAD_WAIT_MS,
                             &reply) ||
        reply != ReloadMessage)
        return false;
    return LoadLists(window) == ERROR_SUCCESS;
}
