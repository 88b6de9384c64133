// A program that actions launch in the tests. It appends to a log what it
// was started with and when it started and ended:
//   launch_probe.exe <log file> <tag> <milliseconds to live> [window] [anything...]
// Lines: "S|tag|ticks|pid|command line|working folder|show state" and
// "E|tag|ticks|pid"; the show state is what it was started with, or -1.
// With "window" it shows a window titled with the tag, whose edit control
// has the focus, for as long as it lives.
#include <windows.h>
#include <shellapi.h>

#include <stdio.h>
#include <wchar.h>

namespace {

void AppendLine(const wchar_t* logPath, const wchar_t* line) {
    char utf8[8192];
    int bytes = WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8, sizeof utf8, nullptr, nullptr);
    if (bytes <= 1)
        return;
    // Probes started together append to one log: Wine's appends are not
    // atomic across processes, so they take turns.
    HANDLE turn = CreateMutexW(nullptr, FALSE, L"PendrixTestProbeLog");
    if (turn)
        WaitForSingleObject(turn, 10000);
    for (int attempt = 0; attempt < 200; ++attempt) {
        HANDLE file = CreateFileW(logPath, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            SetFilePointer(file, 0, nullptr, FILE_END);
            DWORD written = 0;
            WriteFile(file, utf8, static_cast<DWORD>(bytes - 1), &written, nullptr);
            CloseHandle(file);
            break;
        }
        Sleep(10);
    }
    if (turn) {
        ReleaseMutex(turn);
        CloseHandle(turn);
    }
}

LONGLONG Ticks() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

LRESULT CALLBACK ProbeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER || message == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProcW(window, message, wParam, lParam);
}

void ShowWindowFor(const wchar_t* title, DWORD lifetime, int show) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ProbeWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"PendrixLaunchProbe";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, title, WS_OVERLAPPEDWINDOW, 40, 40, 320, 200,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 0, 0, 200, 20, window,
                                nullptr, wc.hInstance, nullptr);
    // The focus first, as many programs give it while they build the window:
    // the window in front is then followed without a focus change to tell.
    SetFocus(edit);
    ShowWindow(window, show);
    SetTimer(window, 1, lifetime ? lifetime : 1, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int nCmdShow) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 4)
        return 2;
    const wchar_t* log = argv[1];
    const wchar_t* tag = argv[2];
    DWORD lifetime = static_cast<DWORD>(_wtoi(argv[3]));
    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    const int show = startup.dwFlags & STARTF_USESHOWWINDOW ? startup.wShowWindow : -1;
    wchar_t line[4096];
    _snwprintf(line, 4095, L"S|%ls|%lld|%lu|%ls|%ls|%d\n", tag, Ticks(), GetCurrentProcessId(),
               GetCommandLineW(), folder, show);
    line[4095] = L'\0';
    AppendLine(log, line);
    if (argc > 4 && lstrcmpW(argv[4], L"window") == 0)
        ShowWindowFor(tag, lifetime, nCmdShow);
    else if (lifetime)
        Sleep(lifetime);
    _snwprintf(line, 4095, L"E|%ls|%lld|%lu\n", tag, Ticks(), GetCurrentProcessId());
    AppendLine(log, line);
    LocalFree(argv);
    return 0;
}
