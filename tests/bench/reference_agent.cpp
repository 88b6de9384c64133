// The smallest program that does what the agent's idle state and hot path
// need: a hidden window, a tray icon, one registered hotkey (Ctrl+Alt+F9)
// that launches the program named on its command line. The agent benchmark
// measures pendrixd.exe against it.
// With "mousehook" it also keeps a do-nothing low-level mouse hook on a
// thread of its own, made as the agent makes its hook thread.
//   reference_agent.exe <program> <parameters> [mousehook]
#include <windows.h>
#include <shellapi.h>

namespace {

wchar_t g_program[MAX_PATH];
wchar_t g_parameters[512];

LRESULT CALLBACK ReferenceProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_HOTKEY:
        ShellExecuteW(nullptr, L"open", g_program, g_parameters, L"", SW_SHOWNORMAL);
        return 0;
    case WM_CLOSE:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK DoNothing(int code, WPARAM wParam, LPARAM lParam) {
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

DWORD WINAPI HookThread(void*) {
    HHOOK hook = SetWindowsHookExW(WH_MOUSE_LL, DoNothing, GetModuleHandleW(nullptr), 0);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    }
    UnhookWindowsHookEx(hook);
    return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc >= 2)
        lstrcpynW(g_program, argv[1], MAX_PATH);
    if (argc >= 3)
        lstrcpynW(g_parameters, argv[2], 512);
    if (argc >= 4 && lstrcmpW(argv[3], L"mousehook") == 0)
        CreateThread(nullptr, 64 * 1024, HookThread, nullptr, STACK_SIZE_PARAM_IS_A_RESERVATION,
                     nullptr);
    LocalFree(argv);

    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ReferenceProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"PendrixReference";
    RegisterClassExW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, nullptr, 0, 0, 0, 0, 0, nullptr, nullptr,
                                  instance, nullptr);
    NOTIFYICONDATAW tray = {};
    tray.cbSize = sizeof tray;
    tray.hWnd = window;
    tray.uFlags = NIF_ICON | NIF_TIP;
    tray.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));
    lstrcpynW(tray.szTip, L"Reference", 64);
    Shell_NotifyIconW(NIM_ADD, &tray);
    RegisterHotKey(window, 1, MOD_CONTROL | MOD_ALT, VK_F9);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    Shell_NotifyIconW(NIM_DELETE, &tray);
    return 0;
}
