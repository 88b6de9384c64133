#include "abbreviation_row.h"

#include <strsafe.h>

#include "abbreviation.h"
#include "editing_model.h"
#include "library.h"
#include "program_rules.h"
#include "resource.h"

namespace {

void ReadAbbreviation(HWND editor, wchar_t* text, UINT chars) {
    GetDlgItemTextW(editor, IDC_ABBREVIATION_EDIT, text, static_cast<int>(chars));
}

} // namespace

void InitAbbreviationRow(HWND editor, int hotkey) {
    SendDlgItemMessageW(editor, IDC_ABBREVIATION_EDIT, EM_LIMITTEXT, ABBREVIATION_MAX_CHARS, 0);
    if (hotkey < 0)
        return;
    const int record = FindAbbreviation(g_actionList, static_cast<UINT>(hotkey));
    if (record < 0)
        return;
    const ActionRecord& action = ActionAt(static_cast<UINT>(record));
    wchar_t text[ABBREVIATION_MAX_CHARS + 1];
    CopyBoundedText(text, ARRAYSIZE(text), action.target);
    SetDlgItemTextW(editor, IDC_ABBREVIATION_EDIT, text);
    CheckDlgButton(editor, IDC_ABBREVIATION_AT_ONCE,
                   action.commandCode & ABBREVIATION_AT_ONCE ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(editor, IDC_ABBREVIATION_MATCH_CASE,
                   action.commandCode & ABBREVIATION_MATCH_CASE ? BST_CHECKED : BST_UNCHECKED);
}

bool HasAbbreviation(HWND editor) {
    return GetWindowTextLengthW(GetDlgItem(editor, IDC_ABBREVIATION_EDIT)) > 0;
}

bool CheckAbbreviationRow(HWND editor, const ActionRecord* rule, int skip) {
    if (!HasAbbreviation(editor))
        return true;
    wchar_t text[ABBREVIATION_MAX_CHARS + 2] = {};
    ReadAbbreviation(editor, text, ARRAYSIZE(text));
    const int length = lstrlenW(text);
    bool blank = false;
    for (int c = 0; c < length; ++c)
        blank = blank || text[c] == L' ' || text[c] == L'\t';
    if (length < static_cast<int>(ABBREVIATION_MIN_CHARS) || blank) {
        ShowEditorError(editor, L"An abbreviation has 2 to 31 characters and no blanks");
        return false;
    }
    for (UINT i = 0; i < g_hotkeyList.Count(); ++i) {
        const int record = FindAbbreviation(g_actionList, i);
        if (static_cast<int>(i) == skip || record < 0)
            continue;
        const ActionRecord& other = ActionAt(static_cast<UINT>(record));
        const int otherLength = lstrlenW(other.target);
        const int otherRule = FindProgramRule(g_actionList, i);
        if (CompareStringOrdinal(text, length, other.target, otherLength, TRUE) != CSTR_EQUAL ||
            !RulesClash(otherRule >= 0 ? &ActionAt(static_cast<UINT>(otherRule)) : nullptr, rule))
            continue;
        wchar_t title[HOTKEY_TEXT_CHARS + 1];
        CopyBoundedText(title, ARRAYSIZE(title), HotkeyAt(i).title);
        wchar_t said[HOTKEY_TEXT_CHARS + ABBREVIATION_MAX_CHARS + 96];
        StringCchPrintfW(said, ARRAYSIZE(said),
                         L"\"%s\" has the abbreviation %s in a program where both would work.",
                         title, text);
        ShowEditorError(editor, said);
        return false;
    }
    return true;
}

void StoreAbbreviationRow(HWND editor, UINT hotkey) {
    const int existing = FindAbbreviation(g_actionList, hotkey);
    if (!HasAbbreviation(editor)) {
        if (existing >= 0)
            DeleteAction(static_cast<UINT>(existing));
        return;
    }
    ActionRecord record = {};
    record.owner = hotkey;
    record.kind = ACTION_ABBREVIATION;
    wchar_t text[ABBREVIATION_MAX_CHARS + 1] = {};
    ReadAbbreviation(editor, text, ARRAYSIZE(text));
    CopyBoundedText(record.target, ACTION_PATH_CHARS, text);
    record.commandCode =
        (IsDlgButtonChecked(editor, IDC_ABBREVIATION_AT_ONCE) == BST_CHECKED ? ABBREVIATION_AT_ONCE
                                                                             : 0) |
        (IsDlgButtonChecked(editor, IDC_ABBREVIATION_MATCH_CASE) == BST_CHECKED
             ? ABBREVIATION_MATCH_CASE
             : 0);
    if (existing >= 0) {
        ActionAt(static_cast<UINT>(existing)) = record;
        return;
    }
    // After the programs record, where the tool's files put it.
    const int rule = FindProgramRule(g_actionList, hotkey);
    const int first = FindHotkeyAction(hotkey, rule >= 0 ? 1 : 0);
    if (first >= 0)
        InsertAction(static_cast<UINT>(first), record);
    else
        AddAction(record);
}
