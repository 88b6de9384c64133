#include "key_text.h"

#include <wchar.h>

#include "catalogue.h"

namespace {

std::wstring Folded(const std::wstring& text) {
    std::wstring folded;
    for (wchar_t c : text) {
        if (c == L' ' || c == L'\t')
            continue;
        folded += c;
    }
    if (!folded.empty())
        CharLowerBuffW(&folded[0], static_cast<DWORD>(folded.size()));
    return folded;
}

std::wstring TrimmedRight(const std::wstring& text) {
    size_t end = text.size();
    while (end > 0 && text[end - 1] == L' ')
        --end;
    return text.substr(0, end);
}

bool SameIgnoringCase(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// "0x" and one to eight hex digits.
bool ParseHex(const std::wstring& text, UINT* value) {
    if (text.size() < 3 || text.size() > 10 || text[0] != L'0' ||
        (text[1] != L'x' && text[1] != L'X'))
        return false;
    UINT result = 0;
    for (size_t i = 2; i < text.size(); ++i) {
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

} // namespace

std::wstring HexCode(UINT code) {
    wchar_t text[16];
    swprintf(text, 16, L"0x%04X", code);
    return text;
}

std::wstring HotkeyText(UINT modifiers, UINT virtualKey) {
    wchar_t text[HOTKEY_TEXT_BUFFER_CHARS];
    FormatHotkeyText(modifiers, virtualKey, text, HOTKEY_TEXT_BUFFER_CHARS);
    return text;
}

bool ParseHotkeyText(const std::wstring& text, UINT* modifiers, UINT* virtualKey,
                     std::wstring* problem) {
    const std::wstring folded = Folded(text);
    *modifiers = 0;
    size_t start = 0;
    for (;;) {
        const size_t plus = folded.find(L'+', start);
        if (plus == std::wstring::npos)
            break;
        const std::wstring part = folded.substr(start, plus - start);
        UINT flag = 0;
        for (int row = 1; row < MODIFIER_ROWS; ++row) {
            if (part == Folded(ModifierTable[row].name))
                flag = ModifierTable[row].code;
        }
        if (!flag) {
            *problem = L"unknown modifier \"" + part + L"\"";
            return false;
        }
        *modifiers |= flag;
        start = plus + 1;
    }
    const std::wstring key = folded.substr(start);
    for (int row = 0; row < KEY_NAME_ROWS; ++row) {
        if (key == Folded(KeyNameTable[row].name)) {
            *virtualKey = KeyNameTable[row].code;
            return true;
        }
    }
    if (key.compare(0, 3, L"key") == 0 && ParseHex(key.substr(3), virtualKey))
        return true;
    *problem = key.empty() ? L"no key after the modifiers" : L"unknown key \"" + key + L"\"";
    return false;
}

std::wstring CommandText(UINT code) {
    const wchar_t* name = FindCatalogueName(SystemCommandTable, code);
    if (!name || code == CATALOGUE_SEPARATOR)
        return HexCode(code);
    const std::wstring trimmed = TrimmedRight(name);
    // A name that reads back as another row is written as the code.
    UINT back = 0;
    if (trimmed.empty() || !ParseCommandText(trimmed, &back) || back != code)
        return HexCode(code);
    return trimmed;
}

bool ParseCommandText(const std::wstring& text, UINT* code) {
    if (ParseHex(text, code))
        return true;
    const std::wstring wanted = TrimmedRight(text);
    if (wanted.empty())
        return false;
    const int rows = CatalogueRowCount(SystemCommandTable);
    for (int pass = 0; pass < 2; ++pass) {
        for (int row = 0; row < rows; ++row) {
            const CatalogueEntry& entry = SystemCommandTable[row];
            if (entry.code == CATALOGUE_SEPARATOR)
                continue;
            const std::wstring name = TrimmedRight(entry.name);
            if (pass == 0 ? name == wanted : SameIgnoringCase(name, wanted)) {
                *code = entry.code;
                return true;
            }
        }
    }
    return false;
}
