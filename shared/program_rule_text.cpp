// A hotkey's limit to programs in words, for the dialog's list and the tool's;
// apart from the rules, which the agent carries without it.
#include "program_rules.h"

#include <strsafe.h>

void FormatProgramRule(const ActionRecord& rule, wchar_t* text, size_t chars) {
    if (chars == 0)
        return;
    StringCchCopyW(text, chars, rule.commandCode == PROGRAMS_NOT_IN ? L"Not in: " : L"Only in: ");
    bool first = true;
    ForEachProgramEntry(rule, [&](const wchar_t* entry, UINT length) {
        if (!first)
            StringCchCatW(text, chars, L", ");
        first = false;
        size_t used = 0;
        StringCchLengthW(text, chars, &used);
        StringCchCopyNW(text + used, chars - used, entry, length);
    });
}
