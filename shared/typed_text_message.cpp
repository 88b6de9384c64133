// The words for a typed text's {…} that names nothing, for the editor and
// the tool alike; apart from the reader, which the agent carries without them.
#include "key_text.h"

#include <strsafe.h>

void DescribeUnknownTypedName(const TypedPiece& unknown, wchar_t* text, size_t chars) {
    wchar_t name[300];
    StringCchCopyNW(name, ARRAYSIZE(name), unknown.text, unknown.length);
    if (unknown.length == 0 || unknown.text[unknown.length - 1] != L'}') {
        StringCchPrintfW(text, chars, L"\"%s\" has a { without its }.", name);
        return;
    }
    // {Sleep …}: too long, when it is a number; not a pause, when it is
    // anything else; {Sleep} alone names no key, like any other name.
    UINT i = 1;
    while (i < unknown.length && (unknown.text[i] == L' ' || unknown.text[i] == L'\t'))
        ++i;
    if (unknown.length - i > 5 &&
        CompareStringOrdinal(unknown.text + i, 5, L"sleep", 5, TRUE) == CSTR_EQUAL) {
        UINT at = i + 5, digits = 0;
        while (at < unknown.length - 1 && (unknown.text[at] == L' ' || unknown.text[at] == L'\t'))
            ++at;
        while (at < unknown.length - 1 && unknown.text[at] >= L'0' && unknown.text[at] <= L'9') {
            ++at;
            ++digits;
        }
        while (at < unknown.length - 1 && (unknown.text[at] == L' ' || unknown.text[at] == L'\t'))
            ++at;
        if (digits > 0 && at == unknown.length - 1) {
            StringCchPrintfW(text, chars, L"%s waits too long: a pause is at most %u milliseconds.",
                             name, TYPED_SLEEP_LIMIT_MS);
            return;
        }
        if (at > i + 5 || digits > 0 || unknown.text[at] != L'}') {
            StringCchPrintfW(text, chars,
                             L"%s is not a pause: write {Sleep N}, with N a number of "
                             L"milliseconds up to %u.",
                             name, TYPED_SLEEP_LIMIT_MS);
            return;
        }
    }
    StringCchPrintfW(text, chars,
                     L"%s names no key. Write a key as the key list names it, such as {Enter} "
                     L"or {Ctrl + V}, and a brace as {{ or }}.",
                     name);
}
