#include "key_text.h"

#include <strsafe.h>

#include "catalogue.h"

namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

// The catalogue's names are ASCII: folding A to Z is enough to compare
// them, whatever the user's locale does with other letters.
wchar_t FoldAscii(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// A text as it is compared: blanks dropped, A to Z lower case, cut to fit.
void Fold(const wchar_t* text, size_t length, wchar_t* folded, size_t chars) {
    size_t used = 0;
    for (size_t i = 0; i < length && used + 1 < chars; ++i) {
        if (!IsBlank(text[i]))
            folded[used++] = FoldAscii(text[i]);
    }
    if (chars > 0)
        folded[used] = L'\0';
}

// A text against a catalogue name, blanks and the case of A to Z ignored.
bool SameName(const wchar_t* text, size_t length, const wchar_t* name) {
    size_t i = 0;
    for (;; ++name) {
        while (i < length && IsBlank(text[i]))
            ++i;
        while (*name && IsBlank(*name))
            ++name;
        if (!*name)
            break;
        if (i == length || FoldAscii(text[i]) != FoldAscii(*name))
            return false;
        ++i;
    }
    while (i < length && IsBlank(text[i]))
        ++i;
    return i == length;
}

} // namespace

bool ReadHexCode(const wchar_t* text, size_t length, UINT* value) {
    while (length > 0 && IsBlank(text[0])) {
        ++text;
        --length;
    }
    while (length > 0 && IsBlank(text[length - 1]))
        --length;
    if (length < 3 || length > 10 || text[0] != L'0' || (text[1] != L'x' && text[1] != L'X'))
        return false;
    UINT result = 0;
    for (size_t i = 2; i < length; ++i) {
        const wchar_t c = text[i];
        UINT digit;
        if (c >= L'0' && c <= L'9')
            digit = static_cast<UINT>(c - L'0');
        else if (c >= L'a' && c <= L'f')
            digit = static_cast<UINT>(c - L'a' + 10);
        else if (c >= L'A' && c <= L'F')
            digit = static_cast<UINT>(c - L'A' + 10);
        else
            return false;
        result = result * 16 + digit;
    }
    *value = result;
    return true;
}

namespace {

bool ReadKeyName(const wchar_t* text, size_t length, UINT* virtualKey) {
    for (int row = 0; row < KEY_NAME_ROWS; ++row) {
        // A punctuation key may also be written as the character it carries
        // on a US layout alone: "Ctrl + ;".
        const wchar_t* name = KeyNameTable[row].name;
        const wchar_t carried[2] = {name[1] == L' ' && name[2] == L'(' ? name[0] : L'\0', L'\0'};
        if (SameName(text, length, name) || (carried[0] && SameName(text, length, carried))) {
            *virtualKey = KeyNameTable[row].code;
            return true;
        }
    }
    // "Key 0x59": the word, then the code.
    size_t i = 0;
    while (i < length && IsBlank(text[i]))
        ++i;
    if (length - i > 3 && FoldAscii(text[i]) == L'k' && FoldAscii(text[i + 1]) == L'e' &&
        FoldAscii(text[i + 2]) == L'y')
        return ReadHexCode(text + i + 3, length - i - 3, virtualKey);
    return false;
}

void SayProblem(wchar_t* problem, size_t chars, const wchar_t* what, const wchar_t* part,
                size_t length) {
    wchar_t folded[64];
    Fold(part, length, folded, ARRAYSIZE(folded));
    if (chars > 0)
        StringCchPrintfW(problem, chars, L"%s \"%s\"", what, folded);
}

} // namespace

bool ReadHotkeyText(const wchar_t* text, size_t length, UINT* modifiers, UINT* virtualKey,
                    wchar_t* problem, size_t problemChars) {
    *modifiers = 0;
    size_t start = 0;
    for (size_t plus = 0; plus < length; ++plus) {
        if (text[plus] != L'+')
            continue;
        UINT flag = 0;
        for (int row = 1; row < MODIFIER_ROWS; ++row) {
            if (SameName(text + start, plus - start, ModifierTable[row].name))
                flag = ModifierTable[row].code;
        }
        if (!flag) {
            SayProblem(problem, problemChars, L"unknown modifier", text + start, plus - start);
            return false;
        }
        *modifiers |= flag;
        start = plus + 1;
    }
    if (ReadKeyName(text + start, length - start, virtualKey))
        return true;
    bool empty = true;
    for (size_t i = start; i < length; ++i)
        empty = empty && IsBlank(text[i]);
    if (empty) {
        if (problemChars > 0)
            StringCchCopyW(problem, problemChars, L"no key after the modifiers");
    } else {
        SayProblem(problem, problemChars, L"unknown key", text + start, length - start);
    }
    return false;
}

TypedPiece NextTypedPiece(const wchar_t* text, UINT length, UINT* position) {
    TypedPiece piece = {};
    UINT at = *position;
    if (at >= length) {
        piece.kind = TYPED_END;
        return piece;
    }
    const wchar_t c = text[at];
    // A form's fields and many programs take a tab only as the key.
    if (c == L'\r' || c == L'\n' || c == L'\t') {
        piece.kind = TYPED_KEY;
        piece.virtualKey = c == L'\t' ? VK_TAB : VK_RETURN;
        *position = at + (c == L'\r' && at + 1 < length && text[at + 1] == L'\n' ? 2 : 1);
        return piece;
    }
    if ((c == L'{' || c == L'}') && at + 1 < length && text[at + 1] == c) {
        piece.kind = TYPED_CHARACTERS;
        piece.text = text + at;
        piece.length = 1;
        *position = at + 2;
        return piece;
    }
    if (c == L'{') {
        UINT close = at + 1;
        while (close < length && text[close] != L'}')
            ++close;
        piece.text = text + at;
        if (close == length) {
            piece.kind = TYPED_UNKNOWN; // a { without its }
            piece.length = length - at;
            *position = length;
            return piece;
        }
        piece.length = close - at + 1;
        *position = close + 1;
        const wchar_t* inner = text + at + 1;
        const UINT innerLength = close - at - 1;
        // {Sleep 250}: a pause. Anything else that starts so is refused,
        // {Sleep} alone too: a typo must never press the key that puts the
        // machine to sleep.
        wchar_t folded[24];
        Fold(inner, innerLength, folded, ARRAYSIZE(folded));
        if (folded[0] == L's' && folded[1] == L'l' && folded[2] == L'e' && folded[3] == L'e' &&
            folded[4] == L'p') {
            UINT milliseconds = 0;
            const wchar_t* digit = folded + 5;
            for (; *digit >= L'0' && *digit <= L'9' && milliseconds <= TYPED_SLEEP_LIMIT_MS;
                 ++digit)
                milliseconds = milliseconds * 10 + static_cast<UINT>(*digit - L'0');
            piece.kind = digit > folded + 5 && *digit == L'\0' &&
                                 milliseconds <= TYPED_SLEEP_LIMIT_MS &&
                                 innerLength < ARRAYSIZE(folded)
                             ? TYPED_SLEEP
                             : TYPED_UNKNOWN;
            piece.milliseconds = milliseconds;
            return piece;
        }
        wchar_t problem[2];
        piece.kind =
            ReadHotkeyText(inner, innerLength, &piece.modifiers, &piece.virtualKey, problem, 0)
                ? TYPED_KEY
                : TYPED_UNKNOWN;
        return piece;
    }
    // A run of characters as they are; a lone } is one of them.
    UINT end = at + 1;
    while (end < length && text[end] != L'{' && text[end] != L'}' && text[end] != L'\r' &&
           text[end] != L'\n' && text[end] != L'\t')
        ++end;
    piece.kind = TYPED_CHARACTERS;
    piece.text = text + at;
    piece.length = end - at;
    *position = end;
    return piece;
}

bool FindUnknownTypedName(const wchar_t* text, UINT length, TypedPiece* unknown) {
    UINT position = 0;
    for (;;) {
        TypedPiece piece = NextTypedPiece(text, length, &position);
        if (piece.kind == TYPED_END)
            return false;
        if (piece.kind == TYPED_UNKNOWN) {
            *unknown = piece;
            return true;
        }
    }
}
