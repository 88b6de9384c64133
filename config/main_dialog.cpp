// The main configuration dialog: the hotkey list on the left, the selected
// hotkey's actions on the right. It owns no records; it shows and edits the
// editing model and applies every change at once.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include "catalogue.h"
#include "editing_model.h"
#include "library.h"
#include "maker_site.h"
#include "resource.h"

namespace {

const int STATE_DISABLED_IMAGE = 0;
const int STATE_ENABLED_IMAGE = 1;

HIMAGELIST g_stateImages = nullptr;
HMENU g_actionMenuResource = nullptr;

HWND HotkeyListView(HWND dialog) {
    return GetDlgItem(dialog, IDC_HOTKEY_LIST);
}
HWND ActionListView(HWND dialog) {
    return GetDlgItem(dialog, IDC_ACTION_LIST);
}

void EnableControls(HWND dialog, const int* ids, size_t count, BOOL enable) {
    for (size_t i = 0; i < count; ++i)
        EnableWindow(GetDlgItem(dialog, ids[i]), enable);
}

void InsertColumn(HWND list, int index, const wchar_t* text, int width) {
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = const_cast<wchar_t*>(text);
    column.cx = width;
    SendMessageW(list, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
}

void SetCellText(HWND list, int row, int column, const wchar_t* text) {
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = const_cast<wchar_t*>(text);
    SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

void InsertRow(HWND list, int row, const wchar_t* firstColumn, int image) {
    LVITEMW item = {};
    item.mask = LVIF_TEXT | (image >= 0 ? LVIF_IMAGE : 0);
    item.iItem = row;
    item.pszText = const_cast<wchar_t*>(firstColumn);
    item.iImage = image;
    SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

bool Confirm(HWND dialog, const wchar_t* question) {
    return MessageBoxW(dialog, question, L"Pendrix", MB_YESNO) == IDYES;
}

int OpenEditor(HWND dialog, int templateId, DLGPROC procedure) {
    return static_cast<int>(
        DialogBoxParamW(g_libraryInstance, MAKEINTRESOURCEW(templateId), dialog, procedure, 0));
}

void FillHotkeyList(HWND dialog, int select) {
    HWND list = HotkeyListView(dialog);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    for (UINT i = 0; i < g_hotkeyList.Count(); ++i) {
        const HotkeyRecord& hotkey = HotkeyAt(i);
        const int row = static_cast<int>(i);
        InsertRow(list, row, L"", hotkey.enabled ? STATE_ENABLED_IMAGE : STATE_DISABLED_IMAGE);
        SetCellText(list, row, 1, hotkey.title);
        wchar_t combination[HOTKEY_TEXT_BUFFER_CHARS];
        FormatHotkeyText(hotkey.modifiers, hotkey.virtualKey, combination, ARRAYSIZE(combination));
        SetCellText(list, row, 2, combination);
        SetCellText(list, row, 3, hotkey.description);
    }
    if (select >= 0) {
        SendMessageW(list, LVM_ENSUREVISIBLE, select, /*partialOk=*/FALSE);
        LVITEMW state = {};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(list, LVM_SETITEMSTATE, select, reinterpret_cast<LPARAM>(&state));
        SendMessageW(list, LVM_SETSELECTIONMARK, 0, select);
    }
}

void FillActionList(HWND dialog, int hotkey) {
    HWND list = ActionListView(dialog);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    if (hotkey < 0 || static_cast<UINT>(hotkey) >= g_hotkeyList.Count())
        return;
    const HotkeyRecord& selected = HotkeyAt(static_cast<UINT>(hotkey));
    CheckDlgButton(dialog, IDC_ENABLED_CHECK, selected.enabled ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_SEQUENTIAL_CHECK,
                   selected.runSequentially ? BST_CHECKED : BST_UNCHECKED);

    int row = 0;
    for (UINT a = 0; a < g_actionList.Count();) {
        const ActionRecord& action = ActionAt(a);
        if (action.owner != static_cast<UINT>(hotkey)) {
            ++a;
            continue;
        }
        if (action.kind == ACTION_FILE_URL) {
            InsertRow(list, row, L"File/Url", -1);
            SetCellText(list, row++, 1, action.target);
            ++a;
            continue;
        }
        const wchar_t* name = FindCatalogueName(SystemCommandTable, action.commandCode);
        if (name) {
            InsertRow(list, row, L"Sys Command", -1);
            SetCellText(list, row++, 1, name);
            ++a;
            continue;
        }
        // A command without a catalogue row cannot be shown or run: drop it
        // from the lists; the store follows at the next save.
        MessageBoxW(dialog, L"Corrupted Data Found & Fixed!", L"Pendrix", MB_OK);
        DeleteAction(a);
    }
}

const int ACTION_BUTTONS[] = {IDC_DELETE_ACTION, IDC_MODIFY_ACTION};
const int HOTKEY_CONTROLS[] = {IDC_ACTION_LIST,   IDC_ENABLED_CHECK, IDC_SEQUENTIAL_CHECK,
                               IDC_MODIFY_HOTKEY, IDC_DELETE_HOTKEY, IDC_ADD_ACTION};

void EnableActionButtons(HWND dialog) {
    EnableControls(dialog, ACTION_BUTTONS, ARRAYSIZE(ACTION_BUTTONS), TRUE);
}
void DisableActionButtons(HWND dialog) {
    EnableControls(dialog, ACTION_BUTTONS, ARRAYSIZE(ACTION_BUTTONS), FALSE);
}
void EnableHotkeyControls(HWND dialog) {
    EnableControls(dialog, HOTKEY_CONTROLS, ARRAYSIZE(HOTKEY_CONTROLS), TRUE);
}
// The two check boxes keep their tick.
void ClearHotkeyControls(HWND dialog) {
    EnableControls(dialog, HOTKEY_CONTROLS, ARRAYSIZE(HOTKEY_CONTROLS), FALSE);
    SendMessageW(ActionListView(dialog), LVM_DELETEALLITEMS, 0, 0);
    DisableActionButtons(dialog);
}

void OnInitDialog(HWND dialog) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    LoadLists(dialog);
    g_actionMenuResource = LoadMenuW(g_libraryInstance, MAKEINTRESOURCEW(IDR_ACTION_MENU));

    HWND hotkeys = HotkeyListView(dialog);
    SendMessageW(hotkeys, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_FULLROWSELECT | LVS_EX_SUBITEMIMAGES | LVS_EX_DOUBLEBUFFER);
    InsertColumn(hotkeys, 0, L"Active", 20);
    InsertColumn(hotkeys, 1, L"Title", 100);
    InsertColumn(hotkeys, 2, L"Key Combination", 150);
    InsertColumn(hotkeys, 3, L"Description", 105);

    HWND actions = ActionListView(dialog);
    SendMessageW(actions, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    InsertColumn(actions, 0, L"Action", 75);
    InsertColumn(actions, 1, L"URL / File / Command", 215);

    g_stateImages = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 1, 1);
    if (g_stateImages) {
        const int icons[2] = {IDI_STATE_DISABLED, IDI_STATE_ENABLED};
        for (int icon : icons) {
            HICON image = static_cast<HICON>(
                LoadImageW(g_libraryInstance, MAKEINTRESOURCEW(icon), IMAGE_ICON, 16, 16, 0));
            ImageList_AddIcon(g_stateImages, image);
            if (image)
                DestroyIcon(image);
        }
        SendMessageW(hotkeys, LVM_SETIMAGELIST, LVSIL_SMALL,
                     reinterpret_cast<LPARAM>(g_stateImages));
    }
    FillHotkeyList(dialog, -1);
}

void OnHotkeyListNotify(HWND dialog, const NMHDR* header) {
    if (header->code == NM_CLICK) {
        const int row = reinterpret_cast<const NMITEMACTIVATE*>(header)->iItem;
        if (row >= 0) {
            FillActionList(dialog, row);
            EnableHotkeyControls(dialog);
        } else {
            ClearHotkeyControls(dialog);
        }
    } else if (header->code == LVN_KEYDOWN) {
        const WORD key = reinterpret_cast<const NMLVKEYDOWN*>(header)->wVKey;
        const int mark = SelectedHotkeyOf(dialog);
        int next = -1;
        if (key == VK_UP && mark > 0)
            next = mark - 1;
        else if (key == VK_DOWN && mark >= 0 && mark + 1 < static_cast<int>(g_hotkeyList.Count()))
            next = mark + 1;
        if (next >= 0) {
            SendMessageW(HotkeyListView(dialog), LVM_SETSELECTIONMARK, 0, next);
            FillActionList(dialog, next);
        }
    }
}

void OnNotify(HWND dialog, const NMHDR* header) {
    if (header->hwndFrom == HotkeyListView(dialog)) {
        OnHotkeyListNotify(dialog, header);
    } else if (header->hwndFrom == ActionListView(dialog) && header->code == NM_CLICK) {
        if (reinterpret_cast<const NMITEMACTIVATE*>(header)->iItem >= 0)
            EnableActionButtons(dialog);
        else
            DisableActionButtons(dialog);
    }
}

void OnAddHotkey(HWND dialog) {
    ModifyMode = false;
    if (OpenEditor(dialog, IDD_HOTKEY_EDITOR, HotkeyEditorDialogProc) != EditorAccepted)
        return;
    ApplyChanges(dialog);
    FillHotkeyList(dialog, -1);
}

void OnModifyHotkey(HWND dialog) {
    if (SelectedHotkeyOf(dialog) < 0)
        return;
    ModifyMode = true;
    if (OpenEditor(dialog, IDD_HOTKEY_EDITOR, HotkeyEditorDialogProc) == EditorAccepted) {
        ApplyChanges(dialog);
        FillHotkeyList(dialog, -1);
    }
    ClearHotkeyControls(dialog);
}

void OnDeleteHotkey(HWND dialog) {
    const int hotkey = SelectedHotkeyOf(dialog);
    if (hotkey < 0)
        return;
    if (!Confirm(dialog, L"Are you sure you want to delete this hotkey?"))
        return;
    DeleteHotkey(static_cast<UINT>(hotkey));
    ApplyChanges(dialog);
    FillHotkeyList(dialog, -1);
    ClearHotkeyControls(dialog);
}

// The enabled and run-sequentially boxes: the agent's answer decides, so a
// hotkey it could not register comes back unticked.
void OnFlagBox(HWND dialog, int box, bool enabledFlag) {
    const int hotkey = SelectedHotkeyOf(dialog);
    if (hotkey < 0)
        return;
    const BYTE ticked = IsDlgButtonChecked(dialog, box) == BST_CHECKED ? 1 : 0;
    if (enabledFlag)
        HotkeyAt(static_cast<UINT>(hotkey)).enabled = ticked;
    else
        HotkeyAt(static_cast<UINT>(hotkey)).runSequentially = ticked;
    ApplyChanges(dialog);
    if (static_cast<UINT>(hotkey) < g_hotkeyList.Count()) {
        const HotkeyRecord& after = HotkeyAt(static_cast<UINT>(hotkey));
        if ((enabledFlag ? after.enabled : after.runSequentially) == 0)
            CheckDlgButton(dialog, box, BST_UNCHECKED);
    }
    FillHotkeyList(dialog, hotkey);
}

void OnAddActionButton(HWND dialog) {
    RECT button;
    GetWindowRect(GetDlgItem(dialog, IDC_ADD_ACTION), &button);
    HMENU menu = g_actionMenuResource ? GetSubMenu(g_actionMenuResource, 0) : nullptr;
    if (menu)
        TrackPopupMenu(menu, 0, button.right, button.top, 0, dialog, nullptr);
}

void OnAddAction(HWND dialog, int templateId, DLGPROC editor) {
    const int hotkey = SelectedHotkeyOf(dialog);
    if (hotkey < 0)
        return;
    ModifyMode = false;
    if (OpenEditor(dialog, templateId, editor) != EditorAccepted)
        return;
    ApplyChanges(dialog);
    FillActionList(dialog, hotkey);
}

void OnDeleteAction(HWND dialog) {
    const int hotkey = SelectedHotkeyOf(dialog);
    if (hotkey < 0)
        return;
    if (!Confirm(dialog, L"Are you sure you want to delete Action?"))
        return;
    const int position = FindHotkeyAction(static_cast<UINT>(hotkey), SelectedActionRowOf(dialog));
    if (position < 0)
        return;
    DeleteAction(static_cast<UINT>(position));
    ApplyChanges(dialog);
    FillActionList(dialog, hotkey);
    DisableActionButtons(dialog);
}

void OnModifyAction(HWND dialog) {
    const int hotkey = SelectedHotkeyOf(dialog);
    if (hotkey < 0)
        return;
    const int position = FindHotkeyAction(static_cast<UINT>(hotkey), SelectedActionRowOf(dialog));
    if (position < 0)
        return;
    int templateId = 0;
    DLGPROC editor = nullptr;
    switch (ActionAt(static_cast<UINT>(position)).kind) {
    case ACTION_FILE_URL:
        templateId = IDD_URL_FILE;
        editor = UrlFileDialogProc;
        break;
    case ACTION_SYS_COMMAND:
        templateId = IDD_SYSTEM_COMMAND;
        editor = SystemCommandDialogProc;
        break;
    default:
        return;
    }
    ModifyMode = true;
    if (OpenEditor(dialog, templateId, editor) != EditorAccepted)
        return;
    ApplyChanges(dialog);
    FillActionList(dialog, hotkey);
    DisableActionButtons(dialog);
}

void OnCommand(HWND dialog, WORD id) {
    switch (id) {
    case IDC_ADD_HOTKEY:
        OnAddHotkey(dialog);
        break;
    case IDC_MODIFY_HOTKEY:
        OnModifyHotkey(dialog);
        break;
    case IDC_DELETE_HOTKEY:
        OnDeleteHotkey(dialog);
        break;
    case IDC_ENABLED_CHECK:
        OnFlagBox(dialog, IDC_ENABLED_CHECK, /*enabledFlag=*/true);
        break;
    case IDC_SEQUENTIAL_CHECK:
        OnFlagBox(dialog, IDC_SEQUENTIAL_CHECK, /*enabledFlag=*/false);
        break;
    case IDC_ADD_ACTION:
        OnAddActionButton(dialog);
        break;
    case IDM_ACTION_RUN_URL:
    case IDM_ACTION_RUN_FILE:
        OnAddAction(dialog, IDD_URL_FILE, UrlFileDialogProc);
        break;
    case IDM_ACTION_SYSTEM_COMMAND:
        OnAddAction(dialog, IDD_SYSTEM_COMMAND, SystemCommandDialogProc);
        break;
    case IDC_DELETE_ACTION:
        OnDeleteAction(dialog);
        break;
    case IDC_MODIFY_ACTION:
        OnModifyAction(dialog);
        break;
    case IDC_ABOUT:
        AboutDlg(dialog);
        break;
    case IDC_SITE:
        ShellExecuteW(nullptr, L"open", MAKER_SITE_AGENT_PAGE, L"", L"", SW_SHOWNORMAL);
        break;
    case IDC_CLOSE:
    case IDCANCEL:
        EndDialog(dialog, 0);
        break;
    default:
        break; // IDOK too: Enter does nothing here
    }
}

void OnDestroy(HWND dialog) {
    if (g_stateImages) {
        // The list view would destroy its image list too: detach it first.
        SendMessageW(HotkeyListView(dialog), LVM_SETIMAGELIST, LVSIL_SMALL, 0);
        ImageList_Destroy(g_stateImages);
        g_stateImages = nullptr;
    }
    if (g_actionMenuResource) {
        DestroyMenu(g_actionMenuResource);
        g_actionMenuResource = nullptr;
    }
    SaveLists();
}

} // namespace

// The selection lives in the list views alone: their selection marks.
int SelectedHotkeyOf(HWND mainDialog) {
    return static_cast<int>(SendMessageW(HotkeyListView(mainDialog), LVM_GETSELECTIONMARK, 0, 0));
}
int SelectedActionRowOf(HWND mainDialog) {
    return static_cast<int>(SendMessageW(ActionListView(mainDialog), LVM_GETSELECTIONMARK, 0, 0));
}

void ShowEditorError(HWND owner, const wchar_t* text) {
    MessageBoxW(owner, text, L"Pendrix", MB_OK | MB_ICONERROR);
}

INT_PTR CALLBACK ConfigureDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(dialog);
        return TRUE;
    case WM_NOTIFY:
        OnNotify(dialog, reinterpret_cast<const NMHDR*>(lParam));
        return 0;
    case WM_COMMAND:
        OnCommand(dialog, LOWORD(wParam));
        return 0;
    case WM_DESTROY:
        OnDestroy(dialog);
        return 0;
    default:
        return 0;
    }
}
