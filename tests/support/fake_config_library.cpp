// Stands in for the configuration library beside a copy of the agent: it
// records each call in calls.log next to itself. While the event
// "PendrixTestHoldDialog" exists, Configure behaves like an open modal
// dialog (it pumps messages) until the event is set.
#include <windows.h>

#include <stdio.h>

namespace {

HMODULE g_self = nullptr;

void Record(const wchar_t* line) {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(g_self, path, MAX_PATH);
    while (length > 0 && path[length - 1] != L'\\')
        --length;
    path[length] = L'\0';
    lstrcatW(path, L"calls.log");
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    char utf8[512];
    int bytes = WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8, sizeof utf8, nullptr, nullptr);
    DWORD written = 0;
    if (bytes > 1)
        WriteFile(file, utf8, static_cast<DWORD>(bytes - 1), &written, nullptr);
    CloseHandle(file);
}

void HoldLikeADialog() {
    HANDLE hold = OpenEventW(SYNCHRONIZE, FALSE, L"PendrixTestHoldDialog");
    if (!hold)
        return;
    DWORD deadline = GetTickCount() + 15000;
    while (GetTickCount() < deadline) {
        DWORD wait = MsgWaitForMultipleObjects(1, &hold, FALSE, 100, QS_ALLINPUT);
        if (wait == WAIT_OBJECT_0)
            break;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    CloseHandle(hold);
}

} // namespace

extern "C" void WINAPI Configure() {
    wchar_t line[128];
    _snwprintf(line, 127, L"Configure|%lu\n", GetCurrentThreadId());
    line[127] = L'\0';
    Record(line);
    HoldLikeADialog();
    Record(L"Configure returns\n");
}

namespace {

// "Name|window in hex", the window a call was given.
void RecordWindowCall(const wchar_t* name, HWND window) {
    wchar_t line[128];
    _snwprintf(line, 127, L"%s|%llx\n", name,
               static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(window)));
    line[127] = L'\0';
    Record(line);
}

} // namespace

extern "C" void WINAPI AboutDlg(HWND owner) {
    RecordWindowCall(L"AboutDlg", owner);
}

extern "C" void WINAPI MyHotkeys(HWND front) {
    RecordWindowCall(L"MyHotkeys", front);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD, void*) {
    g_self = instance;
    return TRUE;
}
