// Pixel sizes and keyboard order that the dialogs set themselves, on top of
// what their templates give.
#pragma once

#include <windows.h>
#include <stddef.h>

const UINT BASE_DPI = 96;

// The dialog's DPI: its monitor's where the system tells it per window,
// else the screen's.
UINT DialogDpi(HWND dialog);
// A size given for 96 DPI, at `dpi`.
int ScaleToDpi(int pixels, UINT dpi);
// The font Windows uses for message boxes, at `dpi`; the caller deletes it.
HFONT CreateMessageFont(UINT dpi);

// Puts the controls with these ids first in the tab order, in this order;
// the others follow as the template has them.
void ArrangeTabOrder(HWND dialog, const int* ids, size_t count);
