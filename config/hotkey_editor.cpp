// "Insert New Hot Key" edits a hotkey's title and description; its "Pick
// Hot Key" opens "Make a Hotkey", where a combination is composed from the
// catalogues and tested against the list and the window system.
#include <windows.h>

#include <strsafe.h>

#include "abbreviation_row.h"
#include "catalogue.h"
#include "dialog_metrics.h"
#include "editing_model.h"
#include "library.h"
#include "program_rules.h"
#include "programs_row.h"
#include "resource.h"

UINT PickedModifiers = 0;
UINT PickedKey = 0;

namespace {

// The picker registers a combination on its own window under this
// identifier for a moment, to learn whether anyone else holds it.
const int HotkeyProbeId = 0xA000;

// Only the browser, volume, media, mail and launch keys may stand alone.
const UINT FIRST_STANDALONE_KEY = 0xA6;
const UINT LAST_STANDALONE_KEY = 0xB7;

void ShowCombination(HWND editor, UINT modifiers, UINT key) {
    wchar_t text[HOTKEY_TEXT_BUFFER_CHARS];
    FormatHotkeyText(modifiers, key, text, ARRAYSIZE(text));
    SetDlgItemTextW(editor, IDC_COMBINATION_EDIT, text);
}

void OnEditorInit(HWND editor) {
    SendDlgItemMessageW(editor, IDC_TITLE_EDIT, EM_LIMITTEXT, HOTKEY_TEXT_CHARS - 1, 0);
    SendDlgItemMessageW(editor, IDC_DESCRIPTION_EDIT, EM_LIMITTEXT, HOTKEY_TEXT_CHARS - 1, 0);
    PickedModifiers = 0;
    PickedKey = 0;
    const int selected = ModifyMode ? SelectedHotkeyOf(MainDialogOf(editor)) : -1;
    InitProgramsRow(editor, selected);
    InitAbbreviationRow(editor, selected);
    if (selected < 0 || static_cast<UINT>(selected) >= g_hotkeyList.Count())
        return;
    const HotkeyRecord& hotkey = HotkeyAt(static_cast<UINT>(selected));
    PickedModifiers = hotkey.modifiers;
    PickedKey = hotkey.virtualKey;
    SetDlgItemTextW(editor, IDC_TITLE_EDIT, hotkey.title);
    SetDlgItemTextW(editor, IDC_DESCRIPTION_EDIT, hotkey.description);
    ShowCombination(editor, hotkey.modifiers, hotkey.virtualKey);
}

void OnPickHotkey(HWND editor) {
    const INT_PTR result = DialogBoxParamW(g_libraryInstance, MAKEINTRESOURCEW(IDD_HOTKEY_PICKER),
                                           editor, HotkeyPickerDialogProc, 0);
    if (result == EditorAccepted)
        ShowCombination(editor, PickedModifiers, PickedKey);
    else if (result == IDCANCEL)
        SetDlgItemTextW(editor, IDC_COMBINATION_EDIT, L"");
}

void ReadText(HWND editor, int id, wchar_t* field, UINT width) {
    wchar_t text[HOTKEY_TEXT_CHARS] = {};
    GetDlgItemTextW(editor, id, text, ARRAYSIZE(text));
    CopyBoundedText(field, width, text);
}

void OnInsert(HWND editor) {
    if (GetWindowTextLengthW(GetDlgItem(editor, IDC_TITLE_EDIT)) == 0) {
        ShowEditorError(editor, L"Please specify a title");
        return;
    }
    // A combination, an abbreviation, or both.
    if (PickedModifiers == 0 && PickedKey == 0 && !HasAbbreviation(editor)) {
        ShowEditorError(editor, L"Please select a Hot Key combination");
        return;
    }
    if (!CheckProgramsRow(editor))
        return;
    // The programs may have changed since the pick: the clash is judged again.
    const int selected = ModifyMode ? SelectedHotkeyOf(MainDialogOf(editor)) : -1;
    ActionRecord rule;
    const bool limited = ReadProgramsRow(editor, &rule);
    const int clash =
        PickedKey == 0 && PickedModifiers == 0
            ? -1
            : ClashingHotkey(PickedModifiers, PickedKey, limited ? &rule : nullptr, selected);
    if (clash >= 0) {
        SayClash(editor, clash, limited ? &rule : nullptr);
        return;
    }
    if (!CheckAbbreviationRow(editor, limited ? &rule : nullptr, selected))
        return;
    if (ModifyMode) {
        if (selected >= 0 && static_cast<UINT>(selected) < g_hotkeyList.Count()) {
            HotkeyRecord& hotkey = HotkeyAt(static_cast<UINT>(selected));
            hotkey.virtualKey = PickedKey;
            hotkey.modifiers = PickedModifiers;
            ReadText(editor, IDC_TITLE_EDIT, hotkey.title, HOTKEY_TEXT_CHARS);
            ReadText(editor, IDC_DESCRIPTION_EDIT, hotkey.description, HOTKEY_TEXT_CHARS);
            StoreProgramsRow(editor, static_cast<UINT>(selected));
            StoreAbbreviationRow(editor, static_cast<UINT>(selected));
        }
        ModifyMode = false;
    } else {
        HotkeyRecord hotkey = {};
        hotkey.modifiers = PickedModifiers;
        hotkey.virtualKey = PickedKey;
        ReadText(editor, IDC_TITLE_EDIT, hotkey.title, HOTKEY_TEXT_CHARS);
        ReadText(editor, IDC_DESCRIPTION_EDIT, hotkey.description, HOTKEY_TEXT_CHARS);
        hotkey.enabled = 1;
        hotkey.runSequentially = 0;
        AddHotkey(hotkey);
        StoreProgramsRow(editor, g_hotkeyList.Count() - 1);
        StoreAbbreviationRow(editor, g_hotkeyList.Count() - 1);
    }
    EndDialog(editor, EditorAccepted);
}

UINT SelectedCode(HWND picker, int list, const CatalogueEntry* table) {
    LRESULT item = SendDlgItemMessageW(picker, list, CB_GETCURSEL, 0, 0);
    if (item < 0 || item >= CatalogueRowCount(table))
        return 0;
    return table[item].code;
}

void OnPickerInit(HWND picker) {
    HWND keys = GetDlgItem(picker, IDC_KEY_LIST);
    FillCatalogueList(keys, KeyNameTable);
    SendMessageW(keys, CB_SETCURSEL, 0, 0);
    const int modifierLists[3] = {IDC_MODIFIER1_LIST, IDC_MODIFIER2_LIST, IDC_MODIFIER3_LIST};
    for (int id : modifierLists) {
        HWND list = GetDlgItem(picker, id);
        FillCatalogueList(list, ModifierTable);
        SendMessageW(list, CB_SETCURSEL, 0, 0);
    }
}

void OnMakeHotkey(HWND picker) {
    const UINT modifiers = SelectedCode(picker, IDC_MODIFIER1_LIST, ModifierTable) |
                           SelectedCode(picker, IDC_MODIFIER2_LIST, ModifierTable) |
                           SelectedCode(picker, IDC_MODIFIER3_LIST, ModifierTable);
    const UINT key = SelectedCode(picker, IDC_KEY_LIST, KeyNameTable);
    // The media keys and the mouse's buttons may stand alone; a bare wheel scrolls.
    const bool standalone = (key >= FIRST_STANDALONE_KEY && key <= LAST_STANDALONE_KEY) ||
                            (IsMouseTrigger(key) && !IsWheelTrigger(key));
    if (modifiers == 0 && !standalone) {
        ShowEditorError(picker, L"Please Select atleast 1 Valid Modifier");
        return;
    }
    // The hotkey being modified counts too, as do disabled ones; hotkeys for
    // programs that no program can have both of may share it.
    ActionRecord rule;
    const bool limited = ReadProgramsRow(GetWindow(picker, GW_OWNER), &rule);
    const int clash = ClashingHotkey(modifiers, key, limited ? &rule : nullptr, -1);
    if (clash >= 0) {
        SayClash(picker, clash, limited ? &rule : nullptr);
        return;
    }
    // The mouse's buttons and wheel are the agent's to watch, never the system's.
    if (!IsMouseTrigger(key)) {
        if (!RegisterHotKey(picker, HotkeyProbeId, modifiers, key)) {
            ShowEditorError(picker,
                            L"Cannot Register This Key. This HotKey May Already Been Registered");
            return;
        }
        UnregisterHotKey(picker, HotkeyProbeId);
    }
    PickedModifiers = modifiers;
    PickedKey = key;
    EndDialog(picker, EditorAccepted);
}

// Tab follows the lines of the form, then the buttons.
const int EDITOR_ORDER[] = {IDC_TITLE_EDIT,
                            IDC_DESCRIPTION_EDIT,
                            IDC_COMBINATION_EDIT,
                            IDC_PICK_HOTKEY,
                            IDC_PROGRAMS_MODE,
                            IDC_PROGRAMS_EDIT,
                            IDC_RUNNING_PROGRAMS,
                            IDC_ABBREVIATION_EDIT,
                            IDC_ABBREVIATION_AT_ONCE,
                            IDC_ABBREVIATION_MATCH_CASE,
                            IDC_INSERT,
                            IDCANCEL};
const int PICKER_ORDER[] = {IDC_MODIFIER1_LIST, IDC_MODIFIER2_LIST, IDC_MODIFIER3_LIST,
                            IDC_KEY_LIST,       IDC_MAKE_HOTKEY,    IDCANCEL};

} // namespace

INT_PTR CALLBACK HotkeyEditorDialogProc(HWND editor, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        OnEditorInit(editor);
        ArrangeTabOrder(editor, EDITOR_ORDER, ARRAYSIZE(EDITOR_ORDER));
        SetFocus(GetDlgItem(editor, IDC_TITLE_EDIT));
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_PICK_HOTKEY:
            OnPickHotkey(editor);
            return TRUE;
        case IDC_INSERT:
            OnInsert(editor);
            return TRUE;
        case IDC_RUNNING_PROGRAMS:
            OfferRunningPrograms(editor);
            return TRUE;
        case IDCANCEL:
            ModifyMode = false;
            EndDialog(editor, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK HotkeyPickerDialogProc(HWND picker, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        OnPickerInit(picker);
        ArrangeTabOrder(picker, PICKER_ORDER, ARRAYSIZE(PICKER_ORDER));
        SetFocus(GetDlgItem(picker, IDC_MODIFIER1_LIST));
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_MAKE_HOTKEY:
            OnMakeHotkey(picker);
            return TRUE;
        case IDCANCEL:
            PickedModifiers = 0;
            PickedKey = 0;
            EndDialog(picker, IDCANCEL);
            return TRUE;
        default:
            return FALSE; // IDOK too: Enter does nothing here
        }
    default:
        return FALSE;
    }
}
