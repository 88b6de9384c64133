// The three constant catalogues: modifiers, keys and system commands, each a
// table of {code, name} rows ending in a terminator row (code 0, no name).
// The codes are stored in records and never change meaning.
#pragma once

#include <windows.h>
#include <stddef.h>

struct CatalogueEntry {
    UINT code;
    const wchar_t* name;
};

// Code of the blank lines between the groups of SystemCommandTable.
const UINT CATALOGUE_SEPARATOR = 0xFFFFFFFF;

const int MODIFIER_ROWS = 5;
// The first 100 rows keep their places; the keys added later follow them.
const int FIRST_KEY_NAME_ROWS = 100;
const int KEY_NAME_ROWS = 135;
// The first 98 rows keep their places; the commands added later follow them.
const int FIRST_SYSTEM_COMMAND_ROWS = 98;
const int SYSTEM_COMMAND_ROWS = 107;

extern const CatalogueEntry ModifierTable[MODIFIER_ROWS + 1];
extern const CatalogueEntry KeyNameTable[KEY_NAME_ROWS + 1];
extern const CatalogueEntry SystemCommandTable[SYSTEM_COMMAND_ROWS + 1];

// Number of rows before the terminator.
int CatalogueRowCount(const CatalogueEntry* table);
// Index of the first row with the code, or of the terminator row when none has it.
int FindCatalogueIndex(const CatalogueEntry* table, UINT code);
// Name of that row, or nullptr for the terminator.
const wchar_t* FindCatalogueName(const CatalogueEntry* table, UINT code);

// Room for the longest combination text (53 characters) and its NUL.
const size_t HOTKEY_TEXT_BUFFER_CHARS = 64;

// "ALT + Ctrl + Shift + Win + " as set, then the key's name; a key without a
// row shows as "Key 0x" and its code in hex.
void FormatHotkeyText(UINT modifiers, UINT virtualKey, wchar_t* text, size_t textChars);

// Drop-down list helpers. Items are inserted by position, so item k is row k
// even in a list with the sort style.
void FillCatalogueList(HWND list, const CatalogueEntry* table);
void SelectCatalogueCode(HWND list, const CatalogueEntry* table, UINT code);
// Moves a selection that landed on a separator to the command below it.
void SkipSeparatorSelection(HWND list, const CatalogueEntry* table);
