#include "program_rules.h"

namespace {

bool SameText(const wchar_t* a, UINT aLength, const wchar_t* b, UINT bLength) {
    return CompareStringOrdinal(a, static_cast<int>(aLength), b, static_cast<int>(bLength), TRUE) ==
           CSTR_EQUAL;
}

bool HasBackslash(const wchar_t* text, UINT length) {
    for (UINT i = 0; i < length; ++i) {
        if (text[i] == L'\\')
            return true;
    }
    return false;
}

// A file name without its ".exe".
UINT WithoutExe(const wchar_t* name, UINT length) {
    return length > 4 && SameText(name + length - 4, 4, L".exe", 4) ? length - 4 : length;
}

const wchar_t* FileNameOf(const wchar_t* path, UINT length, UINT* nameLength) {
    UINT start = length;
    while (start > 0 && path[start - 1] != L'\\' && path[start - 1] != L'/')
        --start;
    *nameLength = length - start;
    return path + start;
}

// Whether one entry names the program at a full path.
bool EntryNames(const wchar_t* entry, UINT length, const wchar_t* path, UINT pathLength) {
    if (HasBackslash(entry, length))
        return SameText(entry, length, path, pathLength);
    UINT nameLength = 0;
    const wchar_t* name = FileNameOf(path, pathLength, &nameLength);
    return SameText(entry, WithoutExe(entry, length), name, WithoutExe(name, nameLength));
}

// Whether two entries can name one program: the same path, or (where one is
// a file name alone) the same file name.
bool EntriesMeet(const wchar_t* a, UINT aLength, const wchar_t* b, UINT bLength) {
    if (HasBackslash(a, aLength) && HasBackslash(b, bLength))
        return SameText(a, aLength, b, bLength);
    UINT aName = 0, bName = 0;
    const wchar_t* nameA = FileNameOf(a, aLength, &aName);
    const wchar_t* nameB = FileNameOf(b, bLength, &bName);
    return SameText(nameA, WithoutExe(nameA, aName), nameB, WithoutExe(nameB, bName));
}

// Whether an entry of one record can name a program that some entry of the other names.
bool AnyEntryMeets(const wchar_t* entry, UINT length, const ActionRecord& other) {
    bool meets = false;
    ForEachProgramEntry(other, [&](const wchar_t* e, UINT l) {
        meets = meets || EntriesMeet(entry, length, e, l);
    });
    return meets;
}

// Whether an exclusion covers every program an entry can name: a file name
// excludes that name in any folder, a full path only itself.
bool ExclusionCovers(const wchar_t* exclusion, UINT exclusionLength, const wchar_t* entry,
                     UINT entryLength) {
    if (HasBackslash(exclusion, exclusionLength))
        return HasBackslash(entry, entryLength) &&
               SameText(exclusion, exclusionLength, entry, entryLength);
    return EntryNames(exclusion, exclusionLength, entry, entryLength);
}

bool AnyExclusionCovers(const wchar_t* entry, UINT length, const ActionRecord& notIn) {
    bool covered = false;
    ForEachProgramEntry(notIn, [&](const wchar_t* e, UINT l) {
        covered = covered || ExclusionCovers(e, l, entry, length);
    });
    return covered;
}

} // namespace

bool ProgramOfProcess(DWORD processId, wchar_t* path, DWORD chars) {
    path[0] = L'\0';
    HANDLE process =
        processId ? OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId) : nullptr;
    if (!process)
        return false;
    const bool known = QueryFullProcessImageNameW(process, 0, path, &chars) != FALSE;
    CloseHandle(process);
    if (!known)
        path[0] = L'\0';
    return known;
}

bool ProgramOfWindow(HWND window, wchar_t* path, DWORD chars) {
    DWORD processId = 0;
    if (window)
        GetWindowThreadProcessId(window, &processId);
    return ProgramOfProcess(processId, path, chars);
}

const wchar_t* ProgramFileName(const wchar_t* path) {
    const wchar_t* name = path;
    for (const wchar_t* c = path; *c; ++c) {
        if (*c == L'\\' || *c == L'/')
            name = c + 1;
    }
    return name;
}

bool RuleAdmitsProgram(const ActionRecord& rule, const wchar_t* programPath) {
    const UINT pathLength = static_cast<UINT>(lstrlenW(programPath));
    bool named = false;
    if (pathLength > 0) {
        ForEachProgramEntry(rule, [&](const wchar_t* entry, UINT length) {
            named = named || EntryNames(entry, length, programPath, pathLength);
        });
    }
    return rule.commandCode == PROGRAMS_NOT_IN ? !named : named;
}

bool RulesClash(const ActionRecord* first, const ActionRecord* second) {
    if (!first || !second)
        return !first && !second; // a limited hotkey outranks an unlimited one
    const bool firstOnly = first->commandCode != PROGRAMS_NOT_IN;
    const bool secondOnly = second->commandCode != PROGRAMS_NOT_IN;
    if (!firstOnly && !secondOnly)
        return true; // some program is in neither list
    if (firstOnly && secondOnly) {
        bool shared = false;
        ForEachProgramEntry(*first, [&](const wchar_t* entry, UINT length) {
            shared = shared || AnyEntryMeets(entry, length, *second);
        });
        return shared;
    }
    // "Only in" clashes with "not in" where some program it names is not
    // excluded: "notepad" meets "not in C:\Windows\notepad.exe" in any other
    // folder's notepad.
    const ActionRecord& only = firstOnly ? *first : *second;
    const ActionRecord& notIn = firstOnly ? *second : *first;
    bool admitted = false;
    ForEachProgramEntry(only, [&](const wchar_t* entry, UINT length) {
        admitted = admitted || !AnyExclusionCovers(entry, length, notIn);
    });
    return admitted;
}
