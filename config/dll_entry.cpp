#include <windows.h>

#include "library.h"

// Every load of the library notes its module handle again: the dialogs and
// their resources come from this module, whichever process hosts it.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD, void*) {
    g_libraryInstance = instance;
    return TRUE;
}
