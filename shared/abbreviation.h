// A hotkey's abbreviation, kept as a record among its actions, and the text
// the lists show for what starts a hotkey: its keys, its abbreviation, or both.
#pragma once

#include <windows.h>

#include "catalogue.h"
#include "records.h"

// The hotkey's abbreviation record: the first of its kind among the actions
// it owns, or -1.
template <class Actions> int FindAbbreviation(const Actions& actions, UINT hotkey) {
    for (UINT a = 0; a < actions.Count(); ++a) {
        const ActionRecord& action = actions.At(a);
        if (action.owner == hotkey && action.kind == ACTION_ABBREVIATION)
            return static_cast<int>(a);
    }
    return -1;
}

// "Ctrl + Shift + S", ";sig", or "Ctrl + Shift + S, ;sig".
template <class Actions>
void FormatHotkeyStart(const HotkeyRecord& hotkey, const Actions& actions, UINT index,
                       wchar_t* text, size_t chars) {
    const int abbreviation = FindAbbreviation(actions, index);
    const bool keys = abbreviation < 0 || hotkey.virtualKey != 0 || hotkey.modifiers != 0;
    text[0] = L'\0';
    if (keys)
        FormatHotkeyText(hotkey.modifiers, hotkey.virtualKey, text, chars);
    if (abbreviation < 0)
        return;
    size_t used = static_cast<size_t>(lstrlenW(text));
    if (keys && used + 2 < chars) {
        text[used++] = L',';
        text[used++] = L' ';
    }
    const ActionRecord& record = actions.At(static_cast<UINT>(abbreviation));
    for (UINT c = 0; c < ABBREVIATION_MAX_CHARS && record.target[c] && used + 1 < chars; ++c)
        text[used++] = record.target[c];
    text[used] = L'\0';
}
