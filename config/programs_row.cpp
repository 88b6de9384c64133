#include "programs_row.h"

#include <strsafe.h>

#include "editing_model.h"
#include "library.h"
#include "program_rules.h"
#include "resource.h"

namespace {

const wchar_t* const MODES[] = {L"All programs", L"Only in", L"Not in"};
const UINT MAX_OFFERED = 40;
const UINT FIRST_OFFER_ID = 1;

struct Offer {
    wchar_t names[MAX_OFFERED][MAX_PATH];
    UINT count;
};

BOOL CALLBACK NoteRunningProgram(HWND window, LPARAM data) {
    Offer* offer = reinterpret_cast<Offer*>(data);
    if (!IsWindowVisible(window) || GetWindow(window, GW_OWNER) ||
        (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) ||
        GetWindowTextLengthW(window) == 0)
        return TRUE;
    wchar_t path[MAX_PATH * 2];
    if (!ProgramOfWindow(window, path, ARRAYSIZE(path)))
        return TRUE;
    const wchar_t* name = ProgramFileName(path);
    for (UINT n = 0; n < offer->count; ++n) {
        if (lstrcmpiW(offer->names[n], name) == 0)
            return TRUE;
    }
    StringCchCopyW(offer->names[offer->count++], MAX_PATH, name);
    return offer->count < MAX_OFFERED;
}

const ActionRecord* RuleOf(UINT hotkey) {
    const int rule = FindProgramRule(g_actionList, hotkey);
    return rule < 0 ? nullptr : &ActionAt(static_cast<UINT>(rule));
}

// Adds a chosen program to the entries, unless it is there already; one
// that does not fit whole is not added in part.
void AddProgramEntry(HWND editor, const wchar_t* name) {
    ActionRecord typed = {}; // read as "only in": does it name the program?
    GetDlgItemTextW(editor, IDC_PROGRAMS_EDIT, typed.target, ACTION_PATH_CHARS);
    if (!RuleAdmitsProgram(typed, name)) {
        wchar_t entries[ACTION_PATH_CHARS + MAX_PATH];
        StringCchCopyW(entries, ARRAYSIZE(entries), typed.target);
        if (entries[0])
            StringCchCatW(entries, ARRAYSIZE(entries), L"; ");
        StringCchCatW(entries, ARRAYSIZE(entries), name);
        if (lstrlenW(entries) >= static_cast<int>(ACTION_PATH_CHARS)) {
            MessageBeep(MB_ICONWARNING);
            return;
        }
        SetDlgItemTextW(editor, IDC_PROGRAMS_EDIT, entries);
    }
    if (SendDlgItemMessageW(editor, IDC_PROGRAMS_MODE, CB_GETCURSEL, 0, 0) == 0)
        SendDlgItemMessageW(editor, IDC_PROGRAMS_MODE, CB_SETCURSEL, 1, 0);
}

} // namespace

void InitProgramsRow(HWND editor, int hotkey) {
    for (const wchar_t* mode : MODES)
        SendDlgItemMessageW(editor, IDC_PROGRAMS_MODE, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(mode));
    SendDlgItemMessageW(editor, IDC_PROGRAMS_EDIT, EM_LIMITTEXT, ACTION_PATH_CHARS - 1, 0);
    const ActionRecord* rule = hotkey >= 0 ? RuleOf(static_cast<UINT>(hotkey)) : nullptr;
    SendDlgItemMessageW(editor, IDC_PROGRAMS_MODE, CB_SETCURSEL,
                        rule ? (rule->commandCode == PROGRAMS_NOT_IN ? 2 : 1) : 0, 0);
    if (!rule)
        return;
    wchar_t entries[ACTION_PATH_CHARS + 64] = {};
    ForEachProgramEntry(*rule, [&](const wchar_t* entry, UINT length) {
        if (entries[0])
            StringCchCatW(entries, ARRAYSIZE(entries), L"; ");
        size_t used = 0;
        StringCchLengthW(entries, ARRAYSIZE(entries), &used);
        StringCchCopyNW(entries + used, ARRAYSIZE(entries) - used, entry, length);
    });
    SetDlgItemTextW(editor, IDC_PROGRAMS_EDIT, entries);
}

bool ReadProgramsRow(HWND editor, ActionRecord* rule) {
    const LRESULT mode = SendDlgItemMessageW(editor, IDC_PROGRAMS_MODE, CB_GETCURSEL, 0, 0);
    if (mode != 1 && mode != 2)
        return false;
    ActionRecord typed = {};
    GetDlgItemTextW(editor, IDC_PROGRAMS_EDIT, typed.target, ACTION_PATH_CHARS);
    *rule = ActionRecord();
    rule->kind = ACTION_PROGRAMS;
    rule->commandCode = mode == 2 ? PROGRAMS_NOT_IN : PROGRAMS_ONLY_IN;
    // Stored as the tool writes it: the entries joined by ";", no blanks around.
    UINT used = 0;
    ForEachProgramEntry(typed, [&](const wchar_t* entry, UINT length) {
        if (used + length + 1 >= ACTION_PATH_CHARS)
            return;
        if (used)
            rule->target[used++] = L';';
        CopyMemory(rule->target + used, entry, length * sizeof(wchar_t));
        used += length;
    });
    return true;
}

bool CheckProgramsRow(HWND editor) {
    ActionRecord rule;
    if (!ReadProgramsRow(editor, &rule) || rule.target[0])
        return true;
    ShowEditorError(editor, L"Name at least one program, or choose \"All programs\".");
    return false;
}

void StoreProgramsRow(HWND editor, UINT hotkey) {
    ActionRecord rule;
    const int existing = FindProgramRule(g_actionList, hotkey);
    if (!ReadProgramsRow(editor, &rule)) {
        if (existing >= 0)
            DeleteAction(static_cast<UINT>(existing));
        return;
    }
    rule.owner = hotkey;
    if (existing >= 0) {
        ActionAt(static_cast<UINT>(existing)) = rule;
        return;
    }
    // First among the hotkey's actions, where the tool's files put it.
    const int first = FindHotkeyAction(hotkey, 0);
    if (first >= 0)
        InsertAction(static_cast<UINT>(first), rule);
    else
        AddAction(rule);
}

void OfferRunningPrograms(HWND editor) {
    Offer* offer =
        static_cast<Offer*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(Offer)));
    if (!offer)
        return;
    EnumWindows(NoteRunningProgram, reinterpret_cast<LPARAM>(offer));
    HMENU menu = CreatePopupMenu();
    for (UINT n = 0; n < offer->count; ++n)
        AppendMenuW(menu, MF_STRING, FIRST_OFFER_ID + n, offer->names[n]);
    if (offer->count == 0)
        AppendMenuW(menu, MF_STRING | MF_GRAYED, 0, L"No program shows a window");
    RECT button;
    GetWindowRect(GetDlgItem(editor, IDC_RUNNING_PROGRAMS), &button);
    const UINT chosen = static_cast<UINT>(TrackPopupMenu(
        menu, TPM_RETURNCMD | TPM_RIGHTALIGN, button.right, button.bottom, 0, editor, nullptr));
    DestroyMenu(menu);
    if (chosen >= FIRST_OFFER_ID && chosen < FIRST_OFFER_ID + offer->count)
        AddProgramEntry(editor, offer->names[chosen - FIRST_OFFER_ID]);
    HeapFree(GetProcessHeap(), 0, offer);
}

int ClashingHotkey(UINT modifiers, UINT key, const ActionRecord* rule, int skip, bool enabledOnly) {
    for (UINT i = 0; i < g_hotkeyList.Count(); ++i) {
        const HotkeyRecord& hotkey = HotkeyAt(i);
        if (static_cast<int>(i) == skip || hotkey.modifiers != modifiers ||
            hotkey.virtualKey != key || (enabledOnly && hotkey.enabled == 0))
            continue;
        if (RulesClash(RuleOf(i), rule))
            return static_cast<int>(i);
    }
    return -1;
}

// Says that the combination is another hotkey's where both would work: in
// the words of old where neither is limited to programs, else naming it.
void SayClash(HWND owner, int clash, const ActionRecord* rule) {
    const int otherRule = FindProgramRule(g_actionList, static_cast<UINT>(clash));
    if (!rule && otherRule < 0) {
        ShowEditorError(owner, L"You have already selected this combination");
        return;
    }
    const HotkeyRecord& other = HotkeyAt(static_cast<UINT>(clash));
    wchar_t limit[ACTION_PATH_CHARS + 64] = L"All programs";
    if (otherRule >= 0)
        FormatProgramRule(ActionAt(static_cast<UINT>(otherRule)), limit, ARRAYSIZE(limit));
    wchar_t title[HOTKEY_TEXT_CHARS + 1];
    CopyBoundedText(title, ARRAYSIZE(title), other.title);
    wchar_t text[ACTION_PATH_CHARS + 256];
    StringCchPrintfW(text, ARRAYSIZE(text),
                     L"\"%s\" (%s) has this combination in a program where both would work.", title,
                     limit);
    ShowEditorError(owner, text);
}

// The agent refuses a twin that works everywhere at once, but one for chosen
// programs only when such a program comes to the front.
bool RefuseEnabledTwin(HWND dialog, int box, UINT hotkey) {
    const ActionRecord* rule = RuleOf(hotkey);
    const HotkeyRecord& own = HotkeyAt(hotkey);
    const int twin = rule ? ClashingHotkey(own.modifiers, own.virtualKey, rule,
                                           static_cast<int>(hotkey), /*enabledOnly=*/true)
                          : -1;
    if (twin < 0)
        return false;
    CheckDlgButton(dialog, box, BST_UNCHECKED);
    SayClash(dialog, twin, rule);
    return true;
}
