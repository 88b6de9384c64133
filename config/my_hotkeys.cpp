// "My Hotkeys - Pendrix": a sheet of the hotkeys that work in the program
// that was in front, those limited to it first. It reads the store itself
// (a configuration dialog may be open with lists of its own) and lives until
// Esc, a click elsewhere, or the same hotkey again.
#include "my_hotkeys.h"

#include <commctrl.h>
#include <strsafe.h>

#include "abbreviation.h"
#include "catalogue.h"
#include "dialog_metrics.h"
#include "library.h"
#include "program_rules.h"
#include "record_array.h"
#include "store.h"

namespace {

const int COLUMN_WIDTHS[] = {170, 150, 260};
const int GROUP_PROGRAM = 1;
const int GROUP_EVERY = 2;
const UINT MAX_FILTER_CHARS = 64;
const UINT DOES_CHARS = 512;
const UINT TYPED_SHOWN_CHARS = 24;

struct Sheet {
    HWND window = nullptr;
    HWND list = nullptr;
    HWND filterLine = nullptr;
    HWND front = nullptr; // the window that was in front when it opened
    WNDPROC listProc = nullptr;
    RecordArray<HotkeyRecord> hotkeys;
    RecordArray<ActionRecord> actions;
    wchar_t program[2 * MAX_PATH] = {};
    const wchar_t* programName = L"";
    wchar_t filter[MAX_FILTER_CHARS] = {};
};

int Smaller(int a, int b) {
    return a < b ? a : b;
}

// One sheet at a time in the log-on, whichever thread or process asks.
const wchar_t SHEET_MUTEX_NAME[] = L"Local\\{{5d0c7a3e-2b61-4f8e-9a14-c3e7b95d2f08}} sheet";

// The sheet's state belongs to its window, which the list finds as its parent.
Sheet* SheetOf(HWND window) {
    return reinterpret_cast<Sheet*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// "https://…", "mailto:…": a scheme of two or more letters, unlike a drive.
bool IsUrl(const wchar_t* target) {
    UINT at = 0;
    while ((target[at] >= L'a' && target[at] <= L'z') || (target[at] >= L'A' && target[at] <= L'Z'))
        ++at;
    return at >= 2 && target[at] == L':';
}

// What an action does, in a few words.
void DescribeAction(const ActionRecord& action, wchar_t* text, size_t chars) {
    wchar_t field[ACTION_PATH_CHARS];
    CopyBoundedText(field, ACTION_PATH_CHARS, action.target);
    switch (action.kind) {
    case ACTION_FILE_URL:
        // A program or document by its file name; a web address whole.
        StringCchPrintfW(text, chars, L"opens %s", IsUrl(field) ? field : ProgramFileName(field));
        break;
    case ACTION_TYPE_TEXT: {
        // The start of the text, on one line: a line break or tab shows as a blank.
        wchar_t start[TYPED_SHOWN_CHARS + 2];
        UINT shown = 0, at = 0;
        for (; field[at] && shown < TYPED_SHOWN_CHARS; ++at) {
            if (field[at] == L'\n' && at > 0 && field[at - 1] == L'\r')
                continue;
            start[shown++] =
                field[at] == L'\r' || field[at] == L'\n' || field[at] == L'\t' ? L' ' : field[at];
        }
        if (field[at])
            start[shown++] = L'\x2026';
        start[shown] = L'\0';
        StringCchPrintfW(text, chars, L"types: %s", start);
        break;
    }
    case ACTION_SYS_COMMAND: {
        const wchar_t* name = FindCatalogueName(SystemCommandTable, action.commandCode);
        StringCchCopyW(text, chars, name ? name : L"a command");
        size_t length = 0;
        StringCchLengthW(text, chars, &length);
        while (length > 0 && text[length - 1] == L' ')
            text[--length] = L'\0';
        break;
    }
    default:
        text[0] = L'\0';
        break;
    }
}

bool Contains(const wchar_t* text, const wchar_t* part) {
    const int partLength = lstrlenW(part);
    for (const wchar_t* at = text; *at; ++at) {
        if (CompareStringOrdinal(at, Smaller(lstrlenW(at), partLength), part, partLength, TRUE) ==
            CSTR_EQUAL)
            return true;
    }
    return partLength == 0;
}

bool Works(const Sheet& sheet, UINT i, bool* limited) {
    const HotkeyRecord& hotkey = sheet.hotkeys.At(i);
    const int rule = FindProgramRule(sheet.actions, i);
    *limited = rule >= 0;
    if (hotkey.enabled != 1)
        return false;
    if (rule >= 0 && !RuleAdmitsProgram(sheet.actions.At(static_cast<UINT>(rule)), sheet.program))
        return false;
    // An unlimited one steps aside where a limited one with its keys works,
    // and a limited one where an earlier limited one with its keys does; one
    // started by its abbreviation alone has no keys to share.
    const UINT before = hotkey.virtualKey == 0 ? 0 : rule >= 0 ? i : sheet.hotkeys.Count();
    for (UINT j = 0; j < before; ++j) {
        const HotkeyRecord& other = sheet.hotkeys.At(j);
        const int otherRule = FindProgramRule(sheet.actions, j);
        if (otherRule >= 0 && other.enabled == 1 &&
            (other.modifiers & HOTKEY_MODIFIERS) == (hotkey.modifiers & HOTKEY_MODIFIERS) &&
            other.virtualKey == hotkey.virtualKey &&
            RuleAdmitsProgram(sheet.actions.At(static_cast<UINT>(otherRule)), sheet.program))
            return false;
    }
    return true;
}

void AddRow(Sheet& sheet, UINT i, int group, int* row) {
    const HotkeyRecord& hotkey = sheet.hotkeys.At(i);
    wchar_t keys[HOTKEY_TEXT_BUFFER_CHARS + ABBREVIATION_MAX_CHARS + 2];
    FormatHotkeyStart(hotkey, sheet.actions, i, keys, ARRAYSIZE(keys));
    wchar_t title[HOTKEY_TEXT_CHARS + 1];
    CopyBoundedText(title, ARRAYSIZE(title), hotkey.title);
    wchar_t does[DOES_CHARS] = {};
    for (UINT a = 0; a < sheet.actions.Count(); ++a) {
        const ActionRecord& action = sheet.actions.At(a);
        if (action.owner != i || action.kind == ACTION_PROGRAMS ||
            action.kind == ACTION_ABBREVIATION)
            continue;
        wchar_t one[ACTION_PATH_CHARS + 16];
        DescribeAction(action, one, ARRAYSIZE(one));
        if (!one[0])
            continue;
        if (does[0])
            StringCchCatW(does, ARRAYSIZE(does), L"; ");
        StringCchCatW(does, ARRAYSIZE(does), one);
    }
    if (!Contains(keys, sheet.filter) && !Contains(title, sheet.filter) &&
        !Contains(does, sheet.filter))
        return;
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_GROUPID;
    item.iItem = *row;
    item.iGroupId = group;
    item.pszText = keys;
    SendMessageW(sheet.list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    LVITEMW cell = {};
    cell.iSubItem = 1;
    cell.pszText = title;
    SendMessageW(sheet.list, LVM_SETITEMTEXTW, *row, reinterpret_cast<LPARAM>(&cell));
    cell.iSubItem = 2;
    cell.pszText = does;
    SendMessageW(sheet.list, LVM_SETITEMTEXTW, *row, reinterpret_cast<LPARAM>(&cell));
    ++*row;
}

void AddGroup(HWND list, int id, const wchar_t* header) {
    LVGROUP group = {};
    group.cbSize = sizeof group;
    group.mask = LVGF_HEADER | LVGF_GROUPID;
    group.pszHeader = const_cast<wchar_t*>(header);
    group.iGroupId = id;
    SendMessageW(list, LVM_INSERTGROUP, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&group));
}

// The rows: the hotkeys limited to the program first, then the rest.
void FillRows(Sheet& sheet) {
    SendMessageW(sheet.list, LVM_DELETEALLITEMS, 0, 0);
    int row = 0;
    for (int pass = 0; pass < 2; ++pass) {
        for (UINT i = 0; i < sheet.hotkeys.Count(); ++i) {
            bool limited = false;
            if (Works(sheet, i, &limited) && limited == (pass == 0))
                AddRow(sheet, i, pass == 0 ? GROUP_PROGRAM : GROUP_EVERY, &row);
        }
    }
    wchar_t line[MAX_FILTER_CHARS + 32];
    StringCchPrintfW(line, ARRAYSIZE(line), sheet.filter[0] ? L"Showing: %s" : L"Type to filter",
                     sheet.filter);
    SetWindowTextW(sheet.filterLine, line);
}

// Sized to its rows within the work area of the monitor of the window that
// was in front, and centred there.
void PlaceSheet(Sheet& sheet, const RECT& work) {
    const UINT dpi = DialogDpi(sheet.window);
    const int margin = ScaleToDpi(6, dpi);
    const int filterHeight = ScaleToDpi(20, dpi);
    int width = 0;
    for (int column = 0; column < static_cast<int>(ARRAYSIZE(COLUMN_WIDTHS)); ++column) {
        const int columnWidth = ScaleToDpi(COLUMN_WIDTHS[column], dpi);
        SendMessageW(sheet.list, LVM_SETCOLUMNWIDTH, column, columnWidth);
        width += columnWidth;
    }
    const int rows = static_cast<int>(SendMessageW(sheet.list, LVM_GETITEMCOUNT, 0, 0)) + 4;
    const int rowHeight = ScaleToDpi(18, dpi);
    RECT frame = {0, 0, width + 2 * margin + GetSystemMetrics(SM_CXVSCROLL),
                  filterHeight + rows * rowHeight + 2 * margin};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(sheet.window, GWL_STYLE)),
                       FALSE, static_cast<DWORD>(GetWindowLongPtrW(sheet.window, GWL_EXSTYLE)));
    const int outerWidth = Smaller(frame.right - frame.left, work.right - work.left);
    const int outerHeight = Smaller(frame.bottom - frame.top, work.bottom - work.top);
    SetWindowPos(sheet.window, HWND_TOPMOST, work.left + (work.right - work.left - outerWidth) / 2,
                 work.top + (work.bottom - work.top - outerHeight) / 2, outerWidth, outerHeight,
                 SWP_NOACTIVATE);
    RECT client;
    GetClientRect(sheet.window, &client);
    MoveWindow(sheet.filterLine, margin, margin, client.right - 2 * margin, filterHeight, TRUE);
    MoveWindow(sheet.list, margin, margin + filterHeight, client.right - 2 * margin,
               client.bottom - 2 * margin - filterHeight, TRUE);
}

// Typing filters; Backspace takes the last character back; Esc closes.
LRESULT CALLBACK ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    Sheet& sheet = *SheetOf(GetParent(list));
    if (message == WM_KEYDOWN && wParam == VK_ESCAPE) {
        SendMessageW(sheet.window, WM_CLOSE, 0, 0);
        return 0;
    }
    if (message == WM_CHAR) {
        size_t length = 0;
        StringCchLengthW(sheet.filter, MAX_FILTER_CHARS, &length);
        if (wParam == L'\b' && length > 0)
            sheet.filter[length - 1] = L'\0';
        else if (wParam >= L' ' && length + 1 < MAX_FILTER_CHARS)
            sheet.filter[length] = static_cast<wchar_t>(wParam);
        FillRows(sheet);
        return 0;
    }
    return CallWindowProcW(sheet.listProc, list, message, wParam, lParam);
}

LRESULT CALLBACK SheetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Sheet* sheet = SheetOf(window);
    switch (message) {
    case WM_NCCREATE:
        SetWindowLongPtrW(
            window, GWLP_USERDATA,
            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_ACTIVATE:
        // A click elsewhere, or another window in front, closes it.
        if (LOWORD(wParam) == WA_INACTIVE)
            PostMessageW(window, WM_CLOSE, 0, 0);
        return 0;
    case WM_CLOSE:
        // Closed while still in front (Esc, or its hotkey again): the program
        // it lies over comes back, not whichever window the system picks next.
        if (GetForegroundWindow() == window && sheet && IsWindow(sheet->front))
            SetForegroundWindow(sheet->front);
        DestroyWindow(window);
        return 0;
    case WM_SETFOCUS:
        if (sheet && sheet->list)
            SetFocus(sheet->list);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

HWND CreateList(HWND parent) {
    HWND list = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL |
                                    LVS_SHOWSELALWAYS | LVS_NOSORTHEADER,
                                0, 0, 0, 0, parent, nullptr, g_libraryInstance, nullptr);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);
    const wchar_t* columns[] = {L"Keys", L"Title", L"What it does"};
    for (int c = 0; c < static_cast<int>(ARRAYSIZE(columns)); ++c) {
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = const_cast<wchar_t*>(columns[c]);
        column.cx = COLUMN_WIDTHS[c];
        column.iSubItem = c;
        SendMessageW(list, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
    }
    SendMessageW(list, LVM_ENABLEGROUPVIEW, TRUE, 0);
    return list;
}

} // namespace

namespace {

void ShowSheet(HWND front) {
    Sheet sheet;
    if (LoadStore(nullptr, sheet.hotkeys, sheet.actions) != ERROR_SUCCESS)
        return;
    sheet.front = front ? GetAncestor(front, GA_ROOT) : nullptr;
    ProgramOfWindow(sheet.front, sheet.program, ARRAYSIZE(sheet.program));
    sheet.programName = sheet.program[0] ? ProgramFileName(sheet.program) : L"The program in front";

    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = SheetProc;
    wc.hInstance = g_libraryInstance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = MY_HOTKEYS_CLASS;
    RegisterClassExW(&wc);
    // Made on the monitor of the window that was in front, so that it has
    // that monitor's DPI from the start.
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(front, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT work = monitor.rcWork;
    sheet.window =
        CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, MY_HOTKEYS_CLASS, L"My Hotkeys - Pendrix",
                        WS_POPUP | WS_CAPTION | WS_SYSMENU, work.left, work.top, 100, 100, nullptr,
                        nullptr, g_libraryInstance, &sheet);
    HFONT font = nullptr;
    if (sheet.window) {
        sheet.filterLine = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                                           sheet.window, nullptr, g_libraryInstance, nullptr);
        sheet.list = CreateList(sheet.window);
        font = CreateMessageFont(DialogDpi(sheet.window));
        const WPARAM shownFont =
            reinterpret_cast<WPARAM>(font ? font : GetStockObject(DEFAULT_GUI_FONT));
        SendMessageW(sheet.filterLine, WM_SETFONT, shownFont, FALSE);
        SendMessageW(sheet.list, WM_SETFONT, shownFont, FALSE);
        sheet.listProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(sheet.list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListProc)));
        AddGroup(sheet.list, GROUP_PROGRAM, sheet.programName);
        AddGroup(sheet.list, GROUP_EVERY, L"Every program");
        FillRows(sheet);
        PlaceSheet(sheet, work);
        ShowWindow(sheet.window, SW_SHOWNORMAL);
        SetForegroundWindow(sheet.window);
        SetFocus(sheet.list);
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    if (font)
        DeleteObject(font);
    UnregisterClassW(MY_HOTKEYS_CLASS, g_libraryInstance);
}

} // namespace

void RunMyHotkeysSheet(HWND front) {
    HANDLE single = CreateMutexW(nullptr, FALSE, SHEET_MUTEX_NAME);
    if (!single)
        return;
    const DWORD wait = WaitForSingleObject(single, 0);
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
        if (!FindWindowW(MY_HOTKEYS_CLASS, nullptr))
            ShowSheet(front);
        ReleaseMutex(single);
    }
    CloseHandle(single);
}
