#include "catalogue.h"

#include "records.h"

#include <strsafe.h>

const CatalogueEntry ModifierTable[MODIFIER_ROWS + 1] = {
    {0x0, L"- none -"},    {MOD_ALT, L"Alt"}, {MOD_CONTROL, L"Ctrl"},
    {MOD_SHIFT, L"Shift"}, {MOD_WIN, L"Win"}, {0, nullptr},
};

// The first hundred rows have no Y (0x59): the letters run A to X and then
// Z, and Y follows them all. "PrtScn" is VK_PRINT (0x2A); VK_SNAPSHOT (0x2C)
// is "Print Window".
const CatalogueEntry KeyNameTable[KEY_NAME_ROWS + 1] = {
    {0x70, L"F1"},
    {0x71, L"F2"},
    {0x72, L"F3"},
    {0x73, L"F4"},
    {0x74, L"F5"},
    {0x75, L"F6"},
    {0x76, L"F7"},
    {0x77, L"F8"},
    {0x78, L"F9"},
    {0x79, L"F10"},
    {0x7A, L"F11"},
    {0x7B, L"F12"},
    {0x41, L"A"},
    {0x42, L"B"},
    {0x43, L"C"},
    {0x44, L"D"},
    {0x45, L"E"},
    {0x46, L"F"},
    {0x47, L"G"},
    {0x48, L"H"},
    {0x49, L"I"},
    {0x4A, L"J"},
    {0x4B, L"K"},
    {0x4C, L"L"},
    {0x4D, L"M"},
    {0x4E, L"N"},
    {0x4F, L"O"},
    {0x50, L"P"},
    {0x51, L"Q"},
    {0x52, L"R"},
    {0x53, L"S"},
    {0x54, L"T"},
    {0x55, L"U"},
    {0x56, L"V"},
    {0x57, L"W"},
    {0x58, L"X"},
    {0x5A, L"Z"},
    {0x30, L"0"},
    {0x31, L"1"},
    {0x32, L"2"},
    {0x33, L"3"},
    {0x34, L"4"},
    {0x35, L"5"},
    {0x36, L"6"},
    {0x37, L"7"},
    {0x38, L"8"},
    {0x39, L"9"},
    {0x60, L"Numeric Pad 0"},
    {0x61, L"Numeric Pad 1"},
    {0x62, L"Numeric Pad 2"},
    {0x63, L"Numeric Pad 3"},
    {0x64, L"Numeric Pad 4"},
    {0x65, L"Numeric Pad 5"},
    {0x66, L"Numeric Pad 6"},
    {0x67, L"Numeric Pad 7"},
    {0x68, L"Numeric Pad 8"},
    {0x69, L"Numeric Pad 9"},
    {0x6A, L"Multiply key"},
    {0x6B, L"Add key"},
    {0x6C, L"Separator key"},
    {0x6D, L"Subtract key"},
    {0x6E, L"Decimal key"},
    {0x6F, L"Divide key"},
    {0x08, L"Backspace"},
    {0x90, L"Num Lock"},
    {0x91, L"ScrLk"},
    {0x13, L"Pause"},
    {0x1B, L"Esc"},
    {0x20, L"Space"},
    {0x21, L"Page Up"},
    {0x22, L"Page Down"},
    {0x23, L"End"},
    {0x24, L"Home"},
    {0x25, L"LEFT"},
    {0x26, L"UP"},
    {0x27, L"RIGHT"},
    {0x28, L"DOWN"},
    {0x2A, L"PrtScn"},
    {0x2C, L"Print Window"},
    {0x2D, L"Ins"},
    {0x2E, L"Del"},
    {0x5F, L"Sleep"},
    {0xA6, L"Browser Back key"},
    {0xA7, L"Browser Forward key"},
    {0xA8, L"Browser Refresh key"},
    {0xA9, L"Browser Stop key"},
    {0xAA, L"Browser Search key"},
    {0xAB, L"Browser Favorites key"},
    {0xAC, L"Browser Start and Home key"},
    {0xAD, L"Volume Mute key"},
    {0xAE, L"Volume Down key"},
    {0xAF, L"Volume Up key"},
    {0xB0, L"Next Track key"},
    {0xB1, L"Previous Track key"},
    {0xB2, L"Stop Media key"},
    {0xB3, L"Play/Pause Media key"},
    {0xB4, L"Start Mail key"},
    {0xB5, L"Select Media key"},
    {0xB6, L"Start Application 1 key"},
    {0xB7, L"Start Application 2 key"},
    // Keys added after the hundred first rows, which keep their places. The
    // punctuation keys are named by what they carry on a US layout and by
    // their key code's name, as other layouts put other characters there.
    {0x59, L"Y"},
    {0x09, L"Tab"},
    {0x0D, L"Enter"},
    {0x5D, L"Application key"},
    {0x7C, L"F13"},
    {0x7D, L"F14"},
    {0x7E, L"F15"},
    {0x7F, L"F16"},
    {0x80, L"F17"},
    {0x81, L"F18"},
    {0x82, L"F19"},
    {0x83, L"F20"},
    {0x84, L"F21"},
    {0x85, L"F22"},
    {0x86, L"F23"},
    {0x87, L"F24"},
    {0xBA, L"; (OEM 1)"},
    {0xBB, L"= (OEM Plus)"},
    {0xBC, L", (OEM Comma)"},
    {0xBD, L"- (OEM Minus)"},
    {0xBE, L". (OEM Period)"},
    {0xBF, L"/ (OEM 2)"},
    {0xC0, L"` (OEM 3)"},
    {0xDB, L"[ (OEM 4)"},
    {0xDC, L"\\ (OEM 5)"},
    {0xDD, L"] (OEM 6)"},
    {0xDE, L"' (OEM 7)"},
    {0xE2, L"\\ (OEM 102)"},
    // Mouse buttons and the wheel (see records.h): triggers the agent's
    // mouse hook watches, never registered with the system.
    {VK_MBUTTON, L"Middle Button"},
    {VK_XBUTTON1, L"X Button 1 (Back)"},
    {VK_XBUTTON2, L"X Button 2 (Forward)"},
    {TRIGGER_WHEEL_UP, L"Wheel Up"},
    {TRIGGER_WHEEL_DOWN, L"Wheel Down"},
    {TRIGGER_WHEEL_LEFT, L"Wheel Left"},
    {TRIGGER_WHEEL_RIGHT, L"Wheel Right"},
    {0, nullptr},
};

int CatalogueRowCount(const CatalogueEntry* table) {
    int rows = 0;
    while (table[rows].name)
        ++rows;
    return rows;
}

int FindCatalogueIndex(const CatalogueEntry* table, UINT code) {
    int row = 0;
    for (; table[row].name; ++row) {
        if (table[row].code == code)
            break;
    }
    return row;
}

const wchar_t* FindCatalogueName(const CatalogueEntry* table, UINT code) {
    return table[FindCatalogueIndex(table, code)].name;
}

void FormatHotkeyText(UINT modifiers, UINT virtualKey, wchar_t* text, size_t textChars) {
    if (textChars == 0)
        return;
    text[0] = L'\0';
    if (modifiers & MOD_ALT)
        StringCchCatW(text, textChars, L"ALT + ");
    if (modifiers & MOD_CONTROL)
        StringCchCatW(text, textChars, L"Ctrl + ");
    if (modifiers & MOD_SHIFT)
        StringCchCatW(text, textChars, L"Shift + ");
    if (modifiers & MOD_WIN)
        StringCchCatW(text, textChars, L"Win + ");
    const wchar_t* keyName = FindCatalogueName(KeyNameTable, virtualKey);
    if (keyName) {
        StringCchCatW(text, textChars, keyName);
    } else {
        size_t used = 0;
        StringCchLengthW(text, textChars, &used);
        StringCchPrintfW(text + used, textChars - used, L"Key 0x%02X", virtualKey);
    }
}

void FillCatalogueList(HWND list, const CatalogueEntry* table) {
    for (int row = 0; table[row].name; ++row)
        SendMessageW(list, CB_INSERTSTRING, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(table[row].name));
}

void SelectCatalogueCode(HWND list, const CatalogueEntry* table, UINT code) {
    // A code without a row leaves the list with no selection.
    int index = FindCatalogueIndex(table, code);
    if (!table[index].name)
        index = -1;
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void SkipSeparatorSelection(HWND list, const CatalogueEntry* table) {
    LRESULT selected = SendMessageW(list, CB_GETCURSEL, 0, 0);
    if (selected < 0 || selected >= CatalogueRowCount(table))
        return;
    if (table[selected].code != CATALOGUE_SEPARATOR)
        return;
    LRESULT count = SendMessageW(list, CB_GETCOUNT, 0, 0);
    if (selected + 1 < count)
        SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(selected + 1), 0);
}
