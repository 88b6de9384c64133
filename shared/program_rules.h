// Hotkeys for chosen programs: which programs a hotkey works in, and which
// hotkeys may share a combination because no program can have both.
#pragma once

#include <windows.h>

#include "records.h"

// The full path of the program of a process; false, with an empty path,
// when it cannot be read.
bool ProgramOfProcess(DWORD processId, wchar_t* path, DWORD chars);
// The same for the process of a window.
bool ProgramOfWindow(HWND window, wchar_t* path, DWORD chars);
// The file name at the end of a path.
const wchar_t* ProgramFileName(const wchar_t* path);

// The hotkey's programs record: the first of its kind among the actions it
// owns, or -1 (it works everywhere).
template <class Actions> int FindProgramRule(const Actions& actions, UINT hotkey) {
    for (UINT a = 0; a < actions.Count(); ++a) {
        const ActionRecord& action = actions.At(a);
        if (action.owner == hotkey && action.kind == ACTION_PROGRAMS)
            return static_cast<int>(a);
    }
    return -1;
}

// True when the hotkey with this programs record works while the program at
// `programPath` (a full path) is in front. An entry with a backslash must
// match the whole path; any other, the file name, with or without ".exe";
// both without regard to case.
bool RuleAdmitsProgram(const ActionRecord& rule, const wchar_t* programPath);

// True when some program could have both hotkeys (nullptr: no programs
// record, so every program). A limited hotkey outranks an unlimited one, so
// those two never clash; two "only in" clash when they share a program, "only
// in" and "not in" when the first names one the second does not, two "not
// in" always.
bool RulesClash(const ActionRecord* first, const ActionRecord* second);

// Calls `each` with every entry of a programs record, blanks around cut.
template <class Each> void ForEachProgramEntry(const ActionRecord& rule, Each each) {
    const wchar_t* text = rule.target;
    UINT start = 0;
    for (UINT i = 0;; ++i) {
        const bool end = i >= ACTION_PATH_CHARS || text[i] == L'\0';
        if (end || text[i] == L';') {
            UINT from = start, to = i;
            while (from < to && (text[from] == L' ' || text[from] == L'\t'))
                ++from;
            while (to > from && (text[to - 1] == L' ' || text[to - 1] == L'\t'))
                --to;
            if (to > from)
                each(text + from, to - from);
            start = i + 1;
        }
        if (end)
            break;
    }
}

// "Only in: notepad, winword" or "Not in: …", as the lists show a limit.
void FormatProgramRule(const ActionRecord& rule, wchar_t* text, size_t chars);
