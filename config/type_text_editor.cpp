// "Type Text": adds a typing action to the main dialog's selected hotkey, or
// changes its selected one. A {name} that names no key is refused here, with
// the name, so that no stored text types something else than it says.
#include <windows.h>

#include "dialog_metrics.h"
#include "editing_model.h"
#include "key_text.h"
#include "library.h"
#include "resource.h"

namespace {

const int TYPE_TEXT_ORDER[] = {IDC_TYPED_TEXT_EDIT, IDOK, IDCANCEL};

void OnTypeTextInit(HWND editor) {
    SendDlgItemMessageW(editor, IDC_TYPED_TEXT_EDIT, EM_LIMITTEXT, ACTION_PATH_CHARS - 1, 0);
    if (!ModifyMode)
        return;
    const int position = SelectedActionOf(editor);
    if (position >= 0)
        SetDlgItemTextW(editor, IDC_TYPED_TEXT_EDIT, ActionAt(static_cast<UINT>(position)).target);
}

// The text, cut to the field and zero-filled past it; false, after saying
// so, when a {…} names nothing.
bool ReadTypedText(HWND editor, wchar_t* field) {
    ZeroMemory(field, ACTION_PATH_CHARS * sizeof(wchar_t));
    GetDlgItemTextW(editor, IDC_TYPED_TEXT_EDIT, field, ACTION_PATH_CHARS);
    field[ACTION_PATH_CHARS - 1] = L'\0';
    TypedPiece unknown = {};
    if (!FindUnknownTypedName(field, static_cast<UINT>(lstrlenW(field)), &unknown))
        return true;
    wchar_t text[ACTION_PATH_CHARS + 128];
    DescribeUnknownTypedName(unknown, text, ARRAYSIZE(text));
    ShowEditorError(editor, text);
    SetFocus(GetDlgItem(editor, IDC_TYPED_TEXT_EDIT));
    return false;
}

// An empty text stores nothing, as an empty URL / File does.
void OnTypeTextOk(HWND editor) {
    ActionRecord action = {};
    if (!ReadTypedText(editor, action.target))
        return;
    const bool hasText = action.target[0] != L'\0';
    if (ModifyMode) {
        const int position = SelectedActionOf(editor);
        if (position >= 0 && hasText)
            CopyMemory(ActionAt(static_cast<UINT>(position)).target, action.target,
                       sizeof action.target);
    } else if (hasText) {
        const int hotkey = SelectedHotkeyOf(MainDialogOf(editor));
        if (hotkey >= 0) {
            action.kind = ACTION_TYPE_TEXT;
            action.owner = static_cast<UINT>(hotkey);
            AddAction(action);
        }
    }
    ModifyMode = false;
    EndDialog(editor, EditorAccepted);
}

} // namespace

INT_PTR CALLBACK TypeTextDialogProc(HWND editor, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        OnTypeTextInit(editor);
        ArrangeTabOrder(editor, TYPE_TEXT_ORDER, ARRAYSIZE(TYPE_TEXT_ORDER));
        SetFocus(GetDlgItem(editor, IDC_TYPED_TEXT_EDIT));
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            OnTypeTextOk(editor);
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
