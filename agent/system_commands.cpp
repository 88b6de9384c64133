#include "system_commands.h"

#include "resource.h"

void RunSystemCommand(HWND agentWindow, UINT commandCode, UINT hotkeyParameter) {
    (void)hotkeyParameter;
    switch (commandCode) {
    case 0x1A00:
        // Sent, not posted: the rest of the hotkey's actions wait until the
        // configuration dialog has closed on the agent's own thread.
        SendMessageW(agentWindow, WM_COMMAND, ID_TRAY_CONFIGURE, 0);
        break;
    default:
        break;
    }
}
