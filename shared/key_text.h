// The texts a user reads and writes for keys: combinations as the dialogs
// show them ("Ctrl + Shift + I"), command names, and the text a typing
// action types, with its {name} notation. One reader for the agent, the
// library and the tool: no exceptions, no C++ library.
#pragma once

#include <windows.h>
#include <stddef.h>

// Reads a combination text, ignoring case and blanks ("ctrl+shift+i"): any
// modifiers of the catalogue, then one key of the catalogue or "Key 0x..".
// False when a part names nothing; `problem` then says which part.
bool ReadHotkeyText(const wchar_t* text, size_t length, UINT* modifiers, UINT* virtualKey,
                    wchar_t* problem, size_t problemChars);

// "0x" and one to eight hex digits, blanks around ignored.
bool ReadHexCode(const wchar_t* text, size_t length, UINT* value);

// A command's name (exact first, then ignoring case, trailing blanks
// ignored) or its code in hex ("0x0A01").
bool ReadCommandText(const wchar_t* text, size_t length, UINT* code);
// A command as a file names it: its name without trailing blanks, or its
// code in hex where no name tells it apart (a separator, a code without a row).
void WriteCommandText(UINT code, wchar_t* text, size_t chars);

// The longest pause {Sleep N} may ask for, in milliseconds.
const UINT TYPED_SLEEP_LIMIT_MS = 10000;

// One piece of a text to type.
enum TypedPieceKind {
    TYPED_END,        // nothing more
    TYPED_CHARACTERS, // `text`, `length` units, typed as they are
    TYPED_KEY,        // a key with modifiers: {Tab}, {Ctrl + V}, a line break (Enter)
    TYPED_SLEEP,      // {Sleep N}: a pause of `milliseconds`
    TYPED_UNKNOWN,    // a {…} that names nothing, or a { without its }: `text`, `length`
};
struct TypedPiece {
    TypedPieceKind kind;
    const wchar_t* text;
    UINT length;
    UINT modifiers;
    UINT virtualKey;
    UINT milliseconds;
};

// The piece at *position of a text `length` units long; moves past it.
// "{{" and "}}" are one brace each; a line break (CR LF, CR or LF) is Enter,
// a tab the Tab key.
TypedPiece NextTypedPiece(const wchar_t* text, UINT length, UINT* position);

// The first TYPED_UNKNOWN piece of a text, or false when there is none.
bool FindUnknownTypedName(const wchar_t* text, UINT length, TypedPiece* unknown);

// What a user is told of a TYPED_UNKNOWN piece: the {…} that names no key,
// a pause longer than the longest, or a { without its }.
void DescribeUnknownTypedName(const TypedPiece& unknown, wchar_t* text, size_t chars);
