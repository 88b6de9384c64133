// Words for what went wrong with the store, for those who tell the user.
#pragma once

#include <windows.h>

// The system's message for a registry error; for STORE_BUSY, that another
// program is writing the list, naming it where it said who it is.
void DescribeStoreError(LONG error, wchar_t* text, UINT chars);
