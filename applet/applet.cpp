// The Control Panel entry "Pendrix": opens the configuration dialog through
// the configuration library, which it loads only for that dialog.
#include <windows.h>
#include <cpl.h>

#include "library_exports.h"
#include "resource.h"

namespace {

HINSTANCE g_appletInstance = nullptr;

// The library installed beside this applet. The Control Panel's host would
// search its own and the system folders for a bare name, and find nothing
// there, or a file someone else placed there.
HMODULE LoadConfigLibrary() {
    return LoadConfigLibraryBeside(g_appletInstance);
}

void OpenConfiguration() {
    HMODULE library = LoadConfigLibrary();
    if (!library)
        return;
    CallConfigure(library);
    FreeLibrary(library);
}

} // namespace

extern "C" LONG APIENTRY CPlApplet(HWND, UINT message, LPARAM, LPARAM parameter) {
    switch (message) {
    case CPL_INIT:
        return 1;
    case CPL_GETCOUNT:
        return 1; // one entry
    case CPL_INQUIRE: {
        CPLINFO* info = reinterpret_cast<CPLINFO*>(parameter);
        if (!info)
            return 1;
        info->idIcon = IDI_APPLET;
        info->idName = IDS_APPLET_NAME;
        info->idInfo = IDS_APPLET_INFO;
        info->lData = 0;
        return 0;
    }
    case CPL_DBLCLK:
        OpenConfiguration();
        return 0;
    default:
        return 0;
    }
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD, void*) {
    g_appletInstance = instance;
    return TRUE;
}
