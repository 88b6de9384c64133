// Start-up of the agent: one instance per log-on, a hidden window that does
// everything, and one message loop.
#include <windows.h>

#include "agent_state.h"
#include "resource.h"

namespace {

const wchar_t AGENT_MUTEX_NAME[] = L"{{5d0c7a3e-2b61-4f8e-9a14-c3e7b95d2f08}}";

// The whole tail must be "/background"; only A to Z fold, whatever the
// user's locale does with letters like I.
bool IsBackgroundArgument(const wchar_t* tail) {
    const wchar_t* expected = L"/background";
    for (; *expected; ++tail, ++expected) {
        wchar_t c = *tail;
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != *expected)
            return false;
    }
    return *tail == L'\0';
}

void RegisterAgentWindowClass(HINSTANCE instance) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = AgentWindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_PENDRIX));
    wc.hIconSm = wc.hIcon;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = AGENT_WINDOW_CLASS;
    RegisterClassExW(&wc);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandTail, int) {
    // The configuration library is loaded by name: never from the current folder.
    SetDllDirectoryW(L"");

    HANDLE mutex = CreateMutexW(nullptr, FALSE, AGENT_MUTEX_NAME);
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return 0;
    }

    g_agent.background = IsBackgroundArgument(commandTail ? commandTail : L"");
    RegisterAgentWindowClass(instance);
    g_agent.instance = instance;

    // Everything of start-up, a configuration dialog included, runs inside
    // this call (WM_CREATE).
    HWND window = CreateWindowExW(0, AGENT_WINDOW_CLASS, nullptr, 0, 0, 0, 0, 0, nullptr, nullptr,
                                  instance, nullptr);
    if (!window) {
        if (mutex)
            CloseHandle(mutex);
        return 0;
    }

    MSG message = {};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (mutex)
        CloseHandle(mutex);
    return static_cast<int>(message.wParam);
}
