// "Select URL / File" and "System Commands": they add an action to the main
// dialog's selected hotkey, or change its selected action, in the lists.
#include <windows.h>
#include <commdlg.h>

#include "catalogue.h"
#include "dialog_metrics.h"
#include "editing_model.h"
#include "library.h"
#include "resource.h"

namespace {

const DWORD BROWSE_BUFFER_CHARS = 2048;

// Reads an edit cut to the field's width. The field is zero-filled past the
// text, so no tail of the text it held before reaches the store.
void ReadField(HWND editor, int id, wchar_t* field, UINT width) {
    GetDlgItemTextW(editor, id, field, static_cast<int>(width));
    field[width - 1] = L'\0';
    for (UINT i = lstrlenW(field); i < width; ++i)
        field[i] = L'\0';
}

// The rows of "Start", in the order of their option values.
const wchar_t* const START_STATES[] = {L"Normal", L"Minimized", L"Maximized"};

void ShowOpenOptions(HWND editor, UINT options) {
    if (!KnownOpenOptions(options))
        options = 0;
    CheckDlgButton(editor, IDC_SWITCH_CHECK,
                   options & OPEN_SWITCH_IF_RUNNING ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(editor, IDC_RUN_AS_CHECK,
                   options & OPEN_RUN_AS_ADMINISTRATOR ? BST_CHECKED : BST_UNCHECKED);
    SendDlgItemMessageW(editor, IDC_START_STATE_LIST, CB_SETCURSEL,
                        (options & OPEN_WINDOW_MASK) >> 4, 0);
}

UINT ReadOpenOptions(HWND editor) {
    UINT options = 0;
    if (IsDlgButtonChecked(editor, IDC_SWITCH_CHECK) == BST_CHECKED)
        options |= OPEN_SWITCH_IF_RUNNING;
    if (IsDlgButtonChecked(editor, IDC_RUN_AS_CHECK) == BST_CHECKED)
        options |= OPEN_RUN_AS_ADMINISTRATOR;
    const LRESULT state = SendDlgItemMessageW(editor, IDC_START_STATE_LIST, CB_GETCURSEL, 0, 0);
    if (state > 0 && state < static_cast<LRESULT>(ARRAYSIZE(START_STATES)))
        options |= static_cast<UINT>(state) << 4;
    return options;
}

void OnUrlFileInit(HWND editor) {
    for (const wchar_t* state : START_STATES)
        SendDlgItemMessageW(editor, IDC_START_STATE_LIST, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(state));
    ShowOpenOptions(editor, 0);
    if (!ModifyMode)
        return;
    const int position = SelectedActionOf(editor);
    if (position < 0)
        return;
    const ActionRecord& action = ActionAt(static_cast<UINT>(position));
    SetDlgItemTextW(editor, IDC_TARGET_EDIT, action.target);
    SetDlgItemTextW(editor, IDC_PARAMETERS_EDIT, action.parameters);
    SetDlgItemTextW(editor, IDC_START_IN_EDIT, action.startIn);
    ShowOpenOptions(editor, action.commandCode);
}

void OnBrowse(HWND editor) {
    wchar_t file[BROWSE_BUFFER_CHARS] = {};
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = editor;
    dialog.hInstance = g_libraryInstance;
    dialog.lpstrFile = file;
    dialog.nMaxFile = BROWSE_BUFFER_CHARS;
    dialog.Flags = OFN_HIDEREADONLY | OFN_EXPLORER | OFN_LONGNAMES | OFN_ENABLESIZING |
                   OFN_DONTADDTORECENT | OFN_FORCESHOWHIDDEN;
    // The file dialog's library is loaded only for Browse: every load of the
    // configuration library would otherwise load and free it too, and Wine
    // keeps two handles of every such load.
    HMODULE commonDialogs = LoadLibraryW(L"comdlg32.dll");
    if (!commonDialogs)
        return;
    typedef BOOL(WINAPI * GetOpenFileNameProc)(OPENFILENAMEW*);
    auto getOpenFileName = reinterpret_cast<GetOpenFileNameProc>(
        reinterpret_cast<void*>(GetProcAddress(commonDialogs, "GetOpenFileNameW")));
    if (getOpenFileName && getOpenFileName(&dialog))
        SetDlgItemTextW(editor, IDC_TARGET_EDIT, file);
    FreeLibrary(commonDialogs);
}

void StoreUrlFileFields(HWND editor, ActionRecord& action) {
    ReadField(editor, IDC_TARGET_EDIT, action.target, ACTION_PATH_CHARS);
    ReadField(editor, IDC_PARAMETERS_EDIT, action.parameters, ACTION_PARAMETERS_CHARS);
    ReadField(editor, IDC_START_IN_EDIT, action.startIn, ACTION_PATH_CHARS);
    action.commandCode = ReadOpenOptions(editor);
}

// An empty "URL / File" stores nothing, and says nothing.
void OnUrlFileOk(HWND editor) {
    const bool hasTarget = GetWindowTextLengthW(GetDlgItem(editor, IDC_TARGET_EDIT)) > 0;
    if (ModifyMode) {
        const int position = SelectedActionOf(editor);
        if (position >= 0 && hasTarget)
            StoreUrlFileFields(editor, ActionAt(static_cast<UINT>(position)));
    } else if (hasTarget) {
        const int hotkey = SelectedHotkeyOf(MainDialogOf(editor));
        if (hotkey >= 0) {
            ActionRecord action = {};
            StoreUrlFileFields(editor, action);
            action.kind = ACTION_FILE_URL;
            action.owner = static_cast<UINT>(hotkey);
            AddAction(action);
        }
    }
    ModifyMode = false;
    EndDialog(editor, EditorAccepted);
}

void OnSystemCommandInit(HWND editor) {
    HWND list = GetDlgItem(editor, IDC_COMMAND_LIST);
    FillCatalogueList(list, SystemCommandTable);
    if (!ModifyMode) {
        SendMessageW(list, CB_SETCURSEL, 0, 0);
        return;
    }
    const int position = SelectedActionOf(editor);
    if (position >= 0)
        SelectCatalogueCode(list, SystemCommandTable,
                            ActionAt(static_cast<UINT>(position)).commandCode);
}

// With no row selected (a modified action whose code has no row) there is
// nothing to store: the dialog stays open.
void OnSystemCommandOk(HWND editor) {
    const LRESULT item = SendDlgItemMessageW(editor, IDC_COMMAND_LIST, CB_GETCURSEL, 0, 0);
    if (item < 0 || item >= CatalogueRowCount(SystemCommandTable))
        return;
    const CatalogueEntry& row = SystemCommandTable[item];
    HWND main = MainDialogOf(editor);
    if (ModifyMode) {
        ModifyMode = false;
        const int position = SelectedActionOf(editor);
        if (position >= 0) {
            ActionRecord& action = ActionAt(static_cast<UINT>(position));
            action.commandCode = row.code;
            // Never read by anyone: 0, as in the defaults, so every list the
            // system makes exports the same way.
            action.commandName = 0;
        }
    } else {
        const int hotkey = SelectedHotkeyOf(main);
        if (hotkey >= 0) {
            ActionRecord action = {};
            action.owner = static_cast<UINT>(hotkey);
            action.kind = ACTION_SYS_COMMAND;
            action.commandCode = row.code;
            AddAction(action);
        }
    }
    EndDialog(editor, EditorAccepted);
}

INT_PTR Cancel(HWND editor) {
    ModifyMode = false;
    EndDialog(editor, IDCANCEL);
    return TRUE;
}

// Tab follows the lines of the form; the first field takes the focus.
const int URL_FILE_ORDER[] = {
    IDC_TARGET_EDIT,  IDC_BROWSE,       IDC_PARAMETERS_EDIT,  IDC_START_IN_EDIT,
    IDC_SWITCH_CHECK, IDC_RUN_AS_CHECK, IDC_START_STATE_LIST, IDOK,
    IDCANCEL};
const int SYSTEM_COMMAND_ORDER[] = {IDC_COMMAND_LIST, IDOK, IDCANCEL};

} // namespace

int SelectedActionOf(HWND editor) {
    HWND main = MainDialogOf(editor);
    const int hotkey = SelectedHotkeyOf(main);
    if (hotkey < 0)
        return -1;
    return FindShownAction(static_cast<UINT>(hotkey), SelectedActionRowOf(main));
}

INT_PTR CALLBACK UrlFileDialogProc(HWND editor, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        OnUrlFileInit(editor);
        ArrangeTabOrder(editor, URL_FILE_ORDER, ARRAYSIZE(URL_FILE_ORDER));
        SetFocus(GetDlgItem(editor, IDC_TARGET_EDIT)); // Enter still means OK
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            OnUrlFileOk(editor);
            return TRUE;
        case IDCANCEL:
            return Cancel(editor);
        case IDC_BROWSE:
            OnBrowse(editor);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK SystemCommandDialogProc(HWND editor, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnSystemCommandInit(editor);
        ArrangeTabOrder(editor, SYSTEM_COMMAND_ORDER, ARRAYSIZE(SYSTEM_COMMAND_ORDER));
        SetFocus(GetDlgItem(editor, IDC_COMMAND_LIST)); // Enter presses the default OK
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            OnSystemCommandOk(editor);
            return TRUE;
        case IDCANCEL:
            return Cancel(editor);
        case IDC_COMMAND_LIST:
            if (HIWORD(wParam) == CBN_SELCHANGE)
                SkipSeparatorSelection(reinterpret_cast<HWND>(lParam), SystemCommandTable);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}
