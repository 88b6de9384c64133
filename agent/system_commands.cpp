#include "system_commands.h"
#include "window_commands.h"

#include <shellapi.h>
#include <shlobj.h>

#include "agent_state.h"
#include "config_library.h"
#include "maker_site.h"
#include "resource.h"
#include "session_calls.h"
#include "volume.h"

namespace {

#define SHUTDOWN_MESSAGE L"Shutdown in Progress. Initiated by Pendrix. " MAKER_SITE_LABEL
#define RESTART_MESSAGE L"Restart in Progress. Initiated by Pendrix. " MAKER_SITE_LABEL
#define RESTART_PROMPT L"Restart Dialog Initiated by Pendrix. " MAKER_SITE_LABEL L". "
#define SHUTDOWN_PROMPT L"Shutdown Dialog Initiated by Pendrix. " MAKER_SITE_LABEL L". "
#define LOGOFF_PROMPT L"Logoff Dialog Initiated by Pendrix. " MAKER_SITE_LABEL L". "

// Seconds the system shows the shutdown or restart message before it acts.
const DWORD SHUTDOWN_TIMEOUT = 3;

enum PowerCall { SHUTDOWN_CALL, POWER_STATE_CALL, LOGOFF_CALL, LOCK_CALL, ABORT_CALL };

struct PowerCommand {
    UINT code;
    PowerCall call;
    bool privilege;
    BOOL first;  // force (shutdown), suspend (power state)
    BOOL second; // reboot (shutdown), force (power state)
    UINT flags;  // ExitWindowsEx
};

// Forcing a log-off means EWX_FORCEIFHUNG, never EWX_FORCE. Both stand-by
// codes force the suspend.
const PowerCommand POWER_COMMANDS[] = {
    {0x0A01, SHUTDOWN_CALL, true, FALSE, FALSE, 0},
    {0x0A02, SHUTDOWN_CALL, true, TRUE, FALSE, 0},
    {0x0A03, SHUTDOWN_CALL, true, FALSE, TRUE, 0},
    {0x0A04, SHUTDOWN_CALL, true, TRUE, TRUE, 0},
    {0x0A05, POWER_STATE_CALL, true, FALSE, FALSE, 0},
    {0x0A06, POWER_STATE_CALL, true, FALSE, TRUE, 0},
    {0x0A07, LOGOFF_CALL, false, FALSE, FALSE, EWX_LOGOFF},
    {0x0A08, LOGOFF_CALL, false, FALSE, FALSE, EWX_LOGOFF | EWX_FORCEIFHUNG},
    {0x0A09, POWER_STATE_CALL, true, TRUE, TRUE, 0},
    {0x0A0A, POWER_STATE_CALL, true, TRUE, TRUE, 0},
    {0x0A0B, LOCK_CALL, false, FALSE, FALSE, 0},
    {0x0A0C, ABORT_CALL, true, FALSE, FALSE, 0},
};

struct PromptCommand {
    UINT code;
    const wchar_t* prompt;
    DWORD flags;
};

const PromptCommand PROMPT_COMMANDS[] = {
    {0x0B04, RESTART_PROMPT, EWX_REBOOT},
    {0x0B05, SHUTDOWN_PROMPT, EWX_POWEROFF},
    {0x0B06, LOGOFF_PROMPT, EWX_LOGOFF},
    {0x0B07, RESTART_PROMPT, EWX_REBOOT | EWX_FORCEIFHUNG},
    {0x0B08, SHUTDOWN_PROMPT, EWX_POWEROFF | EWX_FORCEIFHUNG},
    {0x0B09, LOGOFF_PROMPT, EWX_LOGOFF | EWX_FORCEIFHUNG},
};

struct FolderCommand {
    UINT code;
    int folderId;
};

// The low bytes count in decimal digits. 0x0E07 and 0x0E18 are both the
// user's Favorites; 0x0E03 is the all-users administrative tools.
const FolderCommand FOLDER_COMMANDS[] = {
    {0x0E00, CSIDL_APPDATA},
    {0x0E02, CSIDL_CDBURN_AREA},
    {0x0E03, CSIDL_COMMON_ADMINTOOLS},
    {0x0E04, CSIDL_COMMON_APPDATA},
    {0x0E05, CSIDL_DESKTOPDIRECTORY},
    {0x0E06, CSIDL_COMMON_DESKTOPDIRECTORY},
    {0x0E07, CSIDL_FAVORITES},
    {0x0E08, CSIDL_COMMON_FAVORITES},
    {0x0E09, CSIDL_COMMON_MUSIC},
    {0x0E10, CSIDL_COMMON_PICTURES},
    {0x0E11, CSIDL_COMMON_PROGRAMS},
    {0x0E12, CSIDL_COMMON_STARTMENU},
    {0x0E13, CSIDL_COMMON_STARTUP},
    {0x0E14, CSIDL_COMMON_TEMPLATES},
    {0x0E15, CSIDL_COMMON_VIDEO},
    {0x0E16, CSIDL_COOKIES},
    {0x0E18, CSIDL_FAVORITES},
    {0x0E20, CSIDL_HISTORY},
    {0x0E21, CSIDL_INTERNET_CACHE},
    {0x0E22, CSIDL_PERSONAL},
    {0x0E25, CSIDL_PRINTHOOD},
    {0x0E26, CSIDL_PROFILE},
    {0x0E27, CSIDL_PROGRAM_FILES},
    {0x0E28, CSIDL_PROGRAM_FILES_COMMON},
    {0x0E29, CSIDL_RECENT},
    {0x0E30, CSIDL_SENDTO},
    {0x0E31, CSIDL_SYSTEM},
    {0x0E32, CSIDL_WINDOWS},
};

// Keywords the Control Panel program understands, for 0x1B00 + index.
const wchar_t* const CONTROL_PANEL_KEYWORDS[] = {
    L"panel",      L"desktop",    L"color",          L"date/time", L"international", L"mouse",
    L"keyboard",   L"printers",   L"fonts",          L"folders",   L"netware",       L"telephony",
    L"admintools", L"schedtasks", L"netconnections", L"infrared",  L"userpasswords",
};

// The browser and media keys, for 0x1C00 + index: VK_BROWSER_BACK onwards.
const WORD FIRST_SYNTHESIZED_KEY = 0xA6; // VK_BROWSER_BACK
const UINT SYNTHESIZED_KEY_COUNT = 18;   // up to VK_LAUNCH_APP2 (0xB7)

template <class Row, size_t N> const Row* FindRow(const Row (&rows)[N], UINT code) {
    for (const Row& row : rows) {
        if (row.code == code)
            return &row;
    }
    return nullptr;
}

void RunPowerCommand(const PowerCommand& command) {
    if (command.privilege && !g_sessionCalls.enableShutdownPrivilege())
        return;
    switch (command.call) {
    case SHUTDOWN_CALL: {
        wchar_t message[128];
        lstrcpynW(message, command.second ? RESTART_MESSAGE : SHUTDOWN_MESSAGE, 128);
        g_sessionCalls.initiateSystemShutdownEx(nullptr, message, SHUTDOWN_TIMEOUT,
                                                /*forceAppsClosed=*/command.first,
                                                /*reboot=*/command.second,
                                                SHTDN_REASON_FLAG_PLANNED);
        break;
    }
    case POWER_STATE_CALL:
        g_sessionCalls.setSystemPowerState(/*suspend=*/command.first, /*force=*/command.second);
        break;
    case LOGOFF_CALL:
        g_sessionCalls.exitWindowsEx(command.flags, 0);
        break;
    case LOCK_CALL:
        g_sessionCalls.lockWorkStation();
        break;
    case ABORT_CALL:
        g_sessionCalls.abortSystemShutdown(nullptr);
        break;
    }
}

void SendKeyUp(WORD virtualKey) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof input);
}

// Windows+M, which the shell answers by minimizing every window. M is left
// without its key-up.
void MinimizeAllWindows(UINT hotkeyParameter) {
    ReleaseHotkeyKeys(hotkeyParameter);
    INPUT inputs[3] = {};
    const WORD keys[3] = {VK_LWIN, 'M', VK_LWIN};
    for (int i = 0; i < 3; ++i) {
        inputs[i].type = INPUT_KEYBOARD;
        inputs[i].ki.wVk = keys[i];
    }
    inputs[2].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(3, inputs, sizeof(INPUT));
}

void RunOtherCommand(UINT code, UINT hotkeyParameter, HWND agentWindow) {
    switch (code) {
    case 0x0C00:
        MinimizeAllWindows(hotkeyParameter);
        break;
    case 0x0C01:
        TileWindows(nullptr, MDITILE_HORIZONTAL, nullptr, 0, nullptr);
        break;
    case 0x0C02:
        TileWindows(nullptr, MDITILE_VERTICAL, nullptr, 0, nullptr);
        break;
    case 0x0F00:
        StepMasterVolume(/*up=*/true);
        break;
    case 0x0F01:
        StepMasterVolume(/*up=*/false);
        break;
    case 0x0F02:
        StepWaveVolume(/*up=*/true);
        break;
    case 0x0F03:
        StepWaveVolume(/*up=*/false);
        break;
    case 0x0F04:
        ToggleMasterMute();
        break;
    case 0x1A01:
        // Read and shown from the agent's thread, as from the tray.
        PostMessageW(agentWindow, AgentShowSheetMessage, 0, 0);
        break;
    case PAUSE_HOTKEYS_COMMAND:
        PostMessageW(agentWindow, WM_COMMAND, ID_TRAY_PAUSE, 0);
        break;
    case 0x1A00:
        // Sent, not posted: the rest of the hotkey's actions wait until the
        // configuration dialog has closed on the agent's own thread.
        SendMessageW(agentWindow, WM_COMMAND, ID_TRAY_CONFIGURE, 0);
        break;
    default:
        break;
    }
}

} // namespace

void ReleaseHotkeyKeys(UINT hotkeyParameter) {
    const UINT modifiers = LOWORD(hotkeyParameter);
    // Told first, so the agent's thread knows before the keys read as up.
    if (g_agent.window)
        PostMessageW(g_agent.window, AgentLetGoMessage, 0,
                     TypedCombination(modifiers, HIWORD(hotkeyParameter)));
    SendKeyUp(HIWORD(hotkeyParameter));
    if (modifiers & MOD_CONTROL)
        SendKeyUp(VK_CONTROL);
    if (modifiers & MOD_SHIFT)
        SendKeyUp(VK_SHIFT);
    if (modifiers & MOD_WIN)
        SendKeyUp(VK_LWIN); // whichever Windows key is held
    if (modifiers & MOD_ALT)
        SendKeyUp(VK_MENU);
}

void SendKeyDown(WORD virtualKey) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    SendInput(1, &input, sizeof input);
}

void OpenSpecialFolder(int folderId) {
    wchar_t path[MAX_PATH];
    if (!SHGetSpecialFolderPathW(nullptr, path, folderId, FALSE))
        return;
    ShellExecuteW(nullptr, L"open", path, nullptr, nullptr, SW_SHOWNORMAL);
}

void OpenControlPanelPage(const wchar_t* keyword) {
    ShellExecuteW(nullptr, L"open", L"control", keyword, nullptr, SW_SHOWNORMAL);
}

void RunSystemCommand(HWND agentWindow, UINT commandCode, UINT hotkeyParameter) {
    if (const PowerCommand* power = FindRow(POWER_COMMANDS, commandCode)) {
        RunPowerCommand(*power);
    } else if (const PromptCommand* prompt = FindRow(PROMPT_COMMANDS, commandCode)) {
        g_sessionCalls.restartDialog(nullptr, prompt->prompt, prompt->flags);
    } else if (const FolderCommand* folder = FindRow(FOLDER_COMMANDS, commandCode)) {
        OpenSpecialFolder(folder->folderId);
    } else if (commandCode >= 0x1B00 && commandCode < 0x1B00 + ARRAYSIZE(CONTROL_PANEL_KEYWORDS)) {
        OpenControlPanelPage(CONTROL_PANEL_KEYWORDS[commandCode - 0x1B00]);
    } else if (commandCode >= 0x1C00 && commandCode < 0x1C00 + SYNTHESIZED_KEY_COUNT) {
        ReleaseHotkeyKeys(hotkeyParameter);
        SendKeyDown(static_cast<WORD>(FIRST_SYNTHESIZED_KEY + (commandCode - 0x1C00)));
    } else if (!RunWindowCommand(commandCode)) {
        RunOtherCommand(commandCode, hotkeyParameter, agentWindow);
    }
}
