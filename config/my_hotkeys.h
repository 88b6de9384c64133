// The sheet of one's own hotkeys, for the program that was in front.
#pragma once

#include <windows.h>

#include "library_exports.h"

// Shows the sheet and returns once it has closed; nothing when one is open.
void RunMyHotkeysSheet(HWND front);
