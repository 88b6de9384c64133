// The commands that act on the top-level window in front at the press.
#pragma once

#include <windows.h>

// True when the code is one of them (0x0C10 to 0x0C15); it is then done,
// or nothing is, when the desktop or the taskbar is in front.
bool RunWindowCommand(UINT commandCode);

// Where a window's rectangle goes on another monitor: the same size, at the
// same place relative to the work area `to` as it had to `from`, moved in as
// far as needed to lie within `to`.
RECT PlaceOnOtherWorkArea(const RECT& rect, const RECT& from, const RECT& to);
