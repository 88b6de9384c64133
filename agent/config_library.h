// The configuration library, loaded by name for the length of one dialog.
#pragma once

#include <windows.h>

void RunConfigureDialog();
void RunAboutDialog(HWND owner);
