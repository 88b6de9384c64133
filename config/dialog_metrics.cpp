#include "dialog_metrics.h"

UINT DialogDpi(HWND dialog) {
    // GetDpiForWindow exists from Windows 10 1607 on; looked up, so that the
    // library still loads on older systems.
    typedef UINT(WINAPI * GetDpiForWindowProc)(HWND);
    HMODULE user = GetModuleHandleW(L"user32.dll");
    GetDpiForWindowProc forWindow =
        user ? reinterpret_cast<GetDpiForWindowProc>(
                   reinterpret_cast<void*>(GetProcAddress(user, "GetDpiForWindow")))
             : nullptr;
    UINT dpi = forWindow ? forWindow(dialog) : 0;
    if (dpi == 0) {
        HDC screen = GetDC(nullptr);
        dpi = screen ? static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSY)) : BASE_DPI;
        if (screen)
            ReleaseDC(nullptr, screen);
    }
    return dpi ? dpi : BASE_DPI;
}

int ScaleToDpi(int pixels, UINT dpi) {
    return MulDiv(pixels, static_cast<int>(dpi), static_cast<int>(BASE_DPI));
}

HFONT CreateMessageFont(UINT dpi) {
    // SystemParametersInfoForDpi, like GetDpiForWindow, is looked up.
    typedef BOOL(WINAPI * ForDpiProc)(UINT, UINT, void*, UINT, UINT);
    HMODULE user = GetModuleHandleW(L"user32.dll");
    ForDpiProc forDpi = user ? reinterpret_cast<ForDpiProc>(reinterpret_cast<void*>(
                                   GetProcAddress(user, "SystemParametersInfoForDpi")))
                             : nullptr;
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    const BOOL read =
        forDpi ? forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)
               : SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    return read ? CreateFontIndirectW(&metrics.lfMessageFont) : nullptr;
}

void ArrangeTabOrder(HWND dialog, const int* ids, size_t count) {
    HWND previous = HWND_TOP;
    for (size_t i = 0; i < count; ++i) {
        HWND control = GetDlgItem(dialog, ids[i]);
        if (!control)
            continue;
        SetWindowPos(control, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        previous = control;
    }
}
