// Command names as the tool's files write them, read back. Apart from the
// key texts, so that a program that reads keys alone does not carry the
// command catalogue.
#include "key_text.h"

#include <strsafe.h>

#include "catalogue.h"

namespace {

size_t TrimmedLength(const wchar_t* text, size_t length) {
    while (length > 0 && text[length - 1] == L' ')
        --length;
    return length;
}

size_t BoundedLength(const wchar_t* text, size_t chars) {
    size_t length = 0;
    while (length < chars && text[length])
        ++length;
    return length;
}

} // namespace

bool ReadCommandText(const wchar_t* text, size_t length, UINT* code) {
    if (ReadHexCode(text, length, code))
        return true;
    const size_t wanted = TrimmedLength(text, length);
    if (wanted == 0)
        return false;
    const int rows = CatalogueRowCount(SystemCommandTable);
    for (int pass = 0; pass < 2; ++pass) {
        for (int row = 0; row < rows; ++row) {
            const CatalogueEntry& entry = SystemCommandTable[row];
            if (entry.code == CATALOGUE_SEPARATOR)
                continue;
            const size_t nameLength = TrimmedLength(entry.name, BoundedLength(entry.name, 256));
            if (nameLength != wanted)
                continue;
            const bool same =
                pass == 0 ? CompareStringOrdinal(text, static_cast<int>(wanted), entry.name,
                                                 static_cast<int>(nameLength), FALSE) == CSTR_EQUAL
                          : CompareStringOrdinal(text, static_cast<int>(wanted), entry.name,
                                                 static_cast<int>(nameLength), TRUE) == CSTR_EQUAL;
            if (same) {
                *code = entry.code;
                return true;
            }
        }
    }
    return false;
}

void WriteCommandText(UINT code, wchar_t* text, size_t chars) {
    if (chars == 0)
        return;
    const wchar_t* name = FindCatalogueName(SystemCommandTable, code);
    if (name && code != CATALOGUE_SEPARATOR) {
        // A name that reads back as another row is written as the code.
        const size_t length = TrimmedLength(name, BoundedLength(name, 256));
        UINT back = 0;
        if (length > 0 && ReadCommandText(name, length, &back) && back == code && length < chars) {
            StringCchCopyNW(text, chars, name, length);
            return;
        }
    }
    StringCchPrintfW(text, chars, L"0x%04X", code);
}
