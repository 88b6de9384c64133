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
    UINT i = 1;
    while (i < unknown.length && (unknown.text[i] == L' ' || unknown.text[i] == L'\t'))
        ++i;
    if (unknown.length - i > 6 &&
        CompareStringOrdinal(unknown.text + i, 5, L"sleep", 5, TRUE) == CSTR_EQUAL) {
        StringCchPrintfW(text, chars, L"%s waits too long: a pause is at most %u milliseconds.",
                         name, TYPED_SLEEP_LIMIT_MS);
        return;
    }
    StringCchPrintfW(text, chars,
                     L"%s names no key. Write a key as the key list names it, such as {Enter} "
                     L"or {Ctrl + V}, and a brace as {{ or }}.",
                     name);
}
