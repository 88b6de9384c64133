#include "console.h"

#include <vector>

#include "hotkey_file.h"

namespace {

// What was said while output is held, in order, with where it goes.
struct HeldLine {
    DWORD which;
    std::wstring text;
};
int g_holdDepth = 0;
std::vector<HeldLine> g_held;

bool WriteAll(HANDLE handle, const char* data, size_t size) {
    while (size > 0) {
        DWORD written = 0;
        const DWORD chunk = size > 65536 ? 65536 : static_cast<DWORD>(size);
        if (!WriteFile(handle, data, chunk, &written, nullptr) || written == 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

void Print(DWORD which, const std::wstring& text) {
    if (g_holdDepth > 0) {
        g_held.push_back({which, text});
        return;
    }
    HANDLE handle = GetStdHandle(which);
    if (!handle || handle == INVALID_HANDLE_VALUE)
        return;
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) {
        DWORD written = 0;
        WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    // Lines end the Windows way in files and pipes.
    std::wstring lines;
    for (wchar_t c : text) {
        if (c == L'\n')
            lines += L'\r';
        lines += c;
    }
    const std::string utf8 = Utf8(lines);
    WriteAll(handle, utf8.data(), utf8.size());
}

} // namespace

HeldOutput::HeldOutput() {
    ++g_holdDepth;
}

HeldOutput::~HeldOutput() {
    if (--g_holdDepth > 0)
        return;
    std::vector<HeldLine> lines;
    lines.swap(g_held);
    for (const HeldLine& line : lines)
        Print(line.which, line.text);
}

void PrintOut(const std::wstring& text) {
    Print(STD_OUTPUT_HANDLE, text);
}

void PrintError(const std::wstring& text) {
    Print(STD_ERROR_HANDLE, L"pendrix: " + text);
}

bool WriteOutBytes(const std::string& bytes) {
    HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (handle && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
        PrintOut(Wide(bytes));
        return true;
    }
    return handle && handle != INVALID_HANDLE_VALUE && WriteAll(handle, bytes.data(), bytes.size());
}
