// A library that writes the autostart value from a window of its own, as the
// configuration library does from its dialogs.
#include <windows.h>

#include "store.h"

extern "C" __declspec(dllexport) void ProbeWriteAutostart() {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ProbeWriteAutostart), &self);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = self;
    wc.lpszClassName = L"PendrixAutostartProbe";
    RegisterClassExW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10, nullptr,
                                  nullptr, self, nullptr);
    WriteAutostart(window);
    DestroyWindow(window);
    UnregisterClassW(wc.lpszClassName, self);
}
