// The shared key and command texts in the tool's own string type.
#pragma once

#include <windows.h>

#include <string>

#include "catalogue.h"
#include "key_text.h"

// The dialog's text for a combination ("Ctrl + Shift + I", "Key 0xFF").
inline std::wstring HotkeyText(UINT modifiers, UINT virtualKey) {
    wchar_t text[HOTKEY_TEXT_BUFFER_CHARS];
    FormatHotkeyText(modifiers, virtualKey, text, HOTKEY_TEXT_BUFFER_CHARS);
    return text;
}

inline bool ParseHotkeyText(const std::wstring& text, UINT* modifiers, UINT* virtualKey,
                            std::wstring* problem) {
    wchar_t said[128] = {};
    if (ReadHotkeyText(text.data(), text.size(), modifiers, virtualKey, said, ARRAYSIZE(said)))
        return true;
    *problem = said;
    return false;
}

inline std::wstring CommandText(UINT code) {
    wchar_t text[128];
    WriteCommandText(code, text, ARRAYSIZE(text));
    return text;
}

inline bool ParseCommandText(const std::wstring& text, UINT* code) {
    return ReadCommandText(text.data(), text.size(), code);
}

// Hex "0x%04X" of a code, as the file writes codes.
inline std::wstring HexCode(UINT code) {
    wchar_t text[16];
    wsprintfW(text, L"0x%04X", code);
    return text;
}

// What the tool says of a {…} that names nothing.
inline std::wstring UnknownTypedNameText(const TypedPiece& unknown) {
    wchar_t text[512];
    DescribeUnknownTypedName(unknown, text, ARRAYSIZE(text));
    return text;
}
