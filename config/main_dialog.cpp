// The main configuration dialog: the hotkey list on the left, the selected
// hotkey's actions on the right. It owns no records; it shows and edits the
// editing model and applies every change at once.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include "abbreviation.h"
#include "catalogue.h"
#include "program_rules.h"
#include "dialog_metrics.h"
#include "editing_model.h"
#include "library.h"
#include "maker_site.h"
#include "programs_row.h"
#include "resource.h"

namespace {

const int STATE_DISABLED_IMAGE = 0;
const int STATE_ENABLED_IMAGE = 1;

const int STATE_IMAGE_SIZE = 16; // at 96 DPI

// Posted when a list's selection moved, so the pane follows the selection
// as it stands once the list has finished moving it.
const UINT WM_HOTKEY_SELECTION_MOVED = WM_APP + 1;
const UINT WM_ACTION_SELECTION_MOVED = WM_APP + 2;
// Posted when the hotkey list reports a key: arrives once the list has
// handled it.
const UINT WM_HOTKEY_KEY_HANDLED = WM_APP + 3;

HIMAGELIST g_stateImages = nullptr;
HMENU g_actionMenuResource = nullptr;
UINT g_dpi = BASE_DPI;
int g_shownHotkey = -1;          // whose actions the pane shows, or -1
bool g_filling = false;          // the dialog itself is refilling a list
WORD g_keyInHand = 0;            // the key the hotkey list is handling
bool g_arrowMove = false;        // an arrow key moved the hotkey list's selection
bool g_hotkeyMovePosted = false; // a WM_HOTKEY_SELECTION_MOVED is on its way
bool g_actionMovePosted = false;
bool g_listsLoaded = false; // the store was read whole: the dialog may save it

// Marks the dialog's own refills, whose selection changes are not the user's.
class Refill {
  public:
    Refill() : outer_(g_filling) { g_filling = true; }
    ~Refill() { g_filling = outer_; }
    Refill(const Refill&) = delete;
    Refill& operator=(const Refill&) = delete;

  private:
    bool outer_;
};

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
    Refill refill;
    HWND list = HotkeyListView(dialog);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    for (UINT i = 0; i < g_hotkeyList.Count(); ++i) {
        const HotkeyRecord& hotkey = HotkeyAt(i);
        const int row = static_cast<int>(i);
        InsertRow(list, row, L"", hotkey.enabled ? STATE_ENABLED_IMAGE : STATE_DISABLED_IMAGE);
        SetCellText(list, row, 1, hotkey.title);
        wchar_t combination[HOTKEY_TEXT_BUFFER_CHARS + ABBREVIATION_MAX_CHARS + 2];
        FormatHotkeyStart(hotkey, g_actionList, i, combination, ARRAYSIZE(combination));
        SetCellText(list, row, 2, combination);
        SetCellText(list, row, 3, hotkey.description);
        const int rule = FindProgramRule(g_actionList, i);
        if (rule >= 0) {
            wchar_t limit[ACTION_PATH_CHARS + 64];
            FormatProgramRule(ActionAt(static_cast<UINT>(rule)), limit, ARRAYSIZE(limit));
            SetCellText(list, row, 4, limit);
        }
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

// A typed text on one line: each line break shows as a blank, so the row
// reads as the text runs.
void OneLineText(const wchar_t* text, wchar_t* line) {
    UINT used = 0;
    for (UINT i = 0; i < ACTION_PATH_CHARS - 1 && text[i]; ++i) {
        if (text[i] == L'\n' && i > 0 && text[i - 1] == L'\r')
            continue;
        line[used++] = text[i] == L'\r' || text[i] == L'\n' ? L' ' : text[i];
    }
    line[used] = L'\0';
}

void FillActionList(HWND dialog, int hotkey) {
    Refill refill;
    HWND list = ActionListView(dialog);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    g_shownHotkey = -1;
    if (hotkey < 0 || static_cast<UINT>(hotkey) >= g_hotkeyList.Count())
        return;
    g_shownHotkey = hotkey;
    const HotkeyRecord& selected = HotkeyAt(static_cast<UINT>(hotkey));
    CheckDlgButton(dialog, IDC_ENABLED_CHECK, selected.enabled ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_SEQUENTIAL_CHECK,
                   selected.runSequentially ? BST_CHECKED : BST_UNCHECKED);

    int row = 0;
    for (UINT a = 0; a < g_actionList.Count();) {
        const ActionRecord& action = ActionAt(a);
        // The programs record is the hotkey's, not an action it runs.
        if (action.owner != static_cast<UINT>(hotkey) || action.kind == ACTION_PROGRAMS) {
            ++a;
            continue;
        }
        if (action.kind == ACTION_FILE_URL) {
            InsertRow(list, row, L"File/Url", -1);
            SetCellText(list, row++, 1, action.target);
            ++a;
            continue;
        }
        if (action.kind == ACTION_TYPE_TEXT) {
            InsertRow(list, row, L"Type Text", -1);
            wchar_t line[ACTION_PATH_CHARS];
            OneLineText(action.target, line);
            SetCellText(list, row++, 1, line);
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
    Refill refill;
    EnableControls(dialog, HOTKEY_CONTROLS, ARRAYSIZE(HOTKEY_CONTROLS), FALSE);
    SendMessageW(ActionListView(dialog), LVM_DELETEALLITEMS, 0, 0);
    g_shownHotkey = -1;
    DisableActionButtons(dialog);
}

// The fifth column, the programs a hotkey is limited to, follows the four
// the list always had.
const int HOTKEY_COLUMN_WIDTHS[] = {20, 100, 150, 105, 150};
const int ACTION_COLUMN_WIDTHS[] = {75, 215};

// State images of the size the list's rows have at `dpi`.
void SetStateImages(HWND dialog, UINT dpi) {
    const int size = ScaleToDpi(STATE_IMAGE_SIZE, dpi);
    HIMAGELIST images = ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 1, 1);
    if (!images)
        return;
    const int icons[2] = {IDI_STATE_DISABLED, IDI_STATE_ENABLED};
    for (int icon : icons) {
        HICON image = static_cast<HICON>(
            LoadImageW(g_libraryInstance, MAKEINTRESOURCEW(icon), IMAGE_ICON, size, size, 0));
        ImageList_AddIcon(images, image);
        if (image)
            DestroyIcon(image);
    }
    SendMessageW(HotkeyListView(dialog), LVM_SETIMAGELIST, LVSIL_SMALL,
                 reinterpret_cast<LPARAM>(images));
    if (g_stateImages)
        ImageList_Destroy(g_stateImages);
    g_stateImages = images;
}

// Column widths follow the scale, keeping any width the user gave them.
void RescaleColumns(HWND list, int columns, UINT from, UINT to) {
    for (int column = 0; column < columns; ++column) {
        const int width = static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0));
        SendMessageW(list, LVM_SETCOLUMNWIDTH, column,
                     MulDiv(width, static_cast<int>(to), static_cast<int>(from)));
    }
}

// Tab goes through the dialog as it reads: the hotkey list, the two columns
// of buttons, then the actions pane from top to bottom.
const int READING_ORDER[] = {
    IDC_HOTKEY_LIST,   IDC_ADD_HOTKEY,    IDC_MODIFY_HOTKEY,   IDC_DELETE_HOTKEY, IDC_CLOSE,
    IDC_ABOUT,         IDC_SITE,          IDC_ENABLED_CHECK,   IDC_ACTION_LIST,   IDC_ADD_ACTION,
    IDC_DELETE_ACTION, IDC_MODIFY_ACTION, IDC_SEQUENTIAL_CHECK};

void OnInitDialog(HWND dialog) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    const LONG loaded = LoadLists(dialog);
    g_listsLoaded = loaded == ERROR_SUCCESS;
    if (!g_listsLoaded) {
        // Editing part of the list would save it as the whole list.
        ShowStoreError(dialog, L"The list of hotkeys could not be read.", loaded);
        EndDialog(dialog, 0);
    }
    g_actionMenuResource = LoadMenuW(g_libraryInstance, MAKEINTRESOURCEW(IDR_ACTION_MENU));

    HWND hotkeys = HotkeyListView(dialog);
    SendMessageW(hotkeys, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_FULLROWSELECT | LVS_EX_SUBITEMIMAGES | LVS_EX_DOUBLEBUFFER);
    g_dpi = DialogDpi(dialog);
    g_shownHotkey = -1;
    g_arrowMove = false;
    g_keyInHand = 0;
    const wchar_t* hotkeyColumns[] = {L"Active", L"Title", L"Key Combination", L"Description",
                                      L"Programs"};
    for (int column = 0; column < static_cast<int>(ARRAYSIZE(hotkeyColumns)); ++column)
        InsertColumn(hotkeys, column, hotkeyColumns[column],
                     ScaleToDpi(HOTKEY_COLUMN_WIDTHS[column], g_dpi));

    HWND actions = ActionListView(dialog);
    SendMessageW(actions, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    InsertColumn(actions, 0, L"Action", ScaleToDpi(ACTION_COLUMN_WIDTHS[0], g_dpi));
    InsertColumn(actions, 1, L"URL / File / Command", ScaleToDpi(ACTION_COLUMN_WIDTHS[1], g_dpi));

    SetStateImages(dialog, g_dpi);
    ArrangeTabOrder(dialog, READING_ORDER, ARRAYSIZE(READING_ORDER));
    FillHotkeyList(dialog, -1);
}

// The dialog moved to a monitor with another scale: the system scales the
// template's controls; the sizes the dialog set itself follow here.
void OnDpiChanged(HWND dialog, UINT dpi, const RECT* suggested) {
    if (dpi == 0 || dpi == g_dpi)
        return;
    RescaleColumns(HotkeyListView(dialog), ARRAYSIZE(HOTKEY_COLUMN_WIDTHS), g_dpi, dpi);
    RescaleColumns(ActionListView(dialog), 2, g_dpi, dpi);
    SetStateImages(dialog, dpi);
    g_dpi = dpi;
    if (suggested)
        SetWindowPos(dialog, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
}

// Whatever moved the hotkey list's selection (Home, End, Page Down, a typed
// letter, a right-click), the pane, the check boxes and the buttons follow
// it, so that every command acts on the hotkey that is shown. Clicks and the
// arrow keys have done their own part before this arrives.
void OnHotkeySelectionMoved(HWND dialog) {
    g_hotkeyMovePosted = false;
    const bool arrow = g_arrowMove;
    g_arrowMove = false;
    HWND list = HotkeyListView(dialog);
    const int selected = static_cast<int>(
        SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (selected < 0) {
        if (g_shownHotkey >= 0 || IsWindowEnabled(GetDlgItem(dialog, IDC_MODIFY_HOTKEY)))
            ClearHotkeyControls(dialog);
        return;
    }
    if (SelectedHotkeyOf(dialog) != selected)
        SendMessageW(list, LVM_SETSELECTIONMARK, 0, selected);
    if (arrow) {
        // The arrow keys change what is shown, never what is enabled; while
        // nothing is enabled, nothing can act on the pane either.
        if (selected != g_shownHotkey && IsWindowEnabled(GetDlgItem(dialog, IDC_MODIFY_HOTKEY)))
            FillActionList(dialog, selected);
        return;
    }
    // As after a click on another row, "D&el Action" and "M&odify Action" keep
    // their state; the refilled pane has no action chosen for them to find.
    if (selected != g_shownHotkey)
        FillActionList(dialog, selected);
    EnableHotkeyControls(dialog);
}

// Keyboard choices in the action list enable "D&el Action" and
// "M&odify Action" as a click on the row does.
void OnActionSelectionMoved(HWND dialog) {
    g_actionMovePosted = false;
    HWND list = ActionListView(dialog);
    if (!IsWindowEnabled(list))
        return;
    const int selected = static_cast<int>(
        SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (selected >= 0) {
        SendMessageW(list, LVM_SETSELECTIONMARK, 0, selected);
        EnableActionButtons(dialog);
    } else {
        DisableActionButtons(dialog);
    }
}

// True for a change of an item's selected or focused state.
bool SelectionChanged(const NMHDR* header) {
    if (header->code != LVN_ITEMCHANGED)
        return false;
    const NMLISTVIEW* change = reinterpret_cast<const NMLISTVIEW*>(header);
    return (change->uChanged & LVIF_STATE) &&
           ((change->uOldState ^ change->uNewState) & (LVIS_SELECTED | LVIS_FOCUSED));
}

// The list's own type-ahead reads the first column, which is the image's:
// a typed letter or digit goes to the next hotkey whose title begins with it.
void JumpToTitle(HWND dialog, WORD key) {
    const bool letter = (key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9');
    if (!letter || GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0)
        return;
    const int count = static_cast<int>(g_hotkeyList.Count());
    HWND list = HotkeyListView(dialog);
    const int from = static_cast<int>(
        SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    for (int step = 1; step <= count; ++step) {
        const int row = ((from < 0 ? -1 : from) + step + count) % count;
        wchar_t first[2] = {HotkeyAt(static_cast<UINT>(row)).title[0], L'\0'};
        CharUpperW(first);
        if (first[0] != static_cast<wchar_t>(key))
            continue;
        LVITEMW state = {};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
        SendMessageW(list, LVM_ENSUREVISIBLE, row, /*partialOk=*/FALSE);
        return;
    }
}

void PostOnce(HWND dialog, UINT message, bool& posted) {
    if (posted)
        return;
    posted = PostMessageW(dialog, message, 0, 0) != FALSE;
}

void OnHotkeyListNotify(HWND dialog, const NMHDR* header) {
    if (SelectionChanged(header)) {
        if (g_filling)
            return;
        // The list moves its selection while it handles the key.
        if (g_keyInHand == VK_UP || g_keyInHand == VK_DOWN)
            g_arrowMove = true;
        PostOnce(dialog, WM_HOTKEY_SELECTION_MOVED, g_hotkeyMovePosted);
        return;
    }
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
        g_keyInHand = key;
        PostMessageW(dialog, WM_HOTKEY_KEY_HANDLED, 0, 0);
        JumpToTitle(dialog, key);
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
    } else if (header->hwndFrom == ActionListView(dialog) && SelectionChanged(header)) {
        if (!g_filling)
            PostOnce(dialog, WM_ACTION_SELECTION_MOVED, g_actionMovePosted);
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
    if (enabledFlag && ticked && RefuseEnabledTwin(dialog, box, static_cast<UINT>(hotkey)))
        return;
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
    const int position = FindShownAction(static_cast<UINT>(hotkey), SelectedActionRowOf(dialog));
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
    const int position = FindShownAction(static_cast<UINT>(hotkey), SelectedActionRowOf(dialog));
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
    case ACTION_TYPE_TEXT:
        templateId = IDD_TYPE_TEXT;
        editor = TypeTextDialogProc;
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
    case IDM_ACTION_TYPE_TEXT:
        OnAddAction(dialog, IDD_TYPE_TEXT, TypeTextDialogProc);
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
    g_hotkeyMovePosted = false;
    g_actionMovePosted = false;
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
    if (!g_listsLoaded)
        return;
    g_listsLoaded = false;
    const LONG saved = SaveLists();
    if (saved != ERROR_SUCCESS)
        ShowStoreError(nullptr, L"The changes could not be saved.", saved);
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
    case WM_HOTKEY_SELECTION_MOVED:
        OnHotkeySelectionMoved(dialog);
        return 0;
    case WM_ACTION_SELECTION_MOVED:
        OnActionSelectionMoved(dialog);
        return 0;
    case WM_HOTKEY_KEY_HANDLED:
        g_keyInHand = 0;
        return 0;
    case WM_DPICHANGED:
        OnDpiChanged(dialog, LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    default:
        return 0;
    }
}
