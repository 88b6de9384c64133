// Process-wide state of the agent, owned by its user-interface thread.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "agent_protocol.h"
#include "hotkey_runner.h"
#include "record_array.h"
#include "records.h"

// The shell's mouse notifications for the tray icon: a fixed number below
// WM_USER, as other programs may rely on it.
const UINT TrayCallbackMessage = 0x0071;

// From a worker that is about to type one of the agent's own combinations
// (wParam modifiers, lParam key): the hotkeys on them step aside and the
// answer is a token for AgentComeBackMessage (its lParam), or 0 when none
// has them.
const UINT AgentStepAsideMessage = WM_APP + 0x101;
const UINT AgentComeBackMessage = WM_APP + 0x102;
// From a worker running "Show My Hotkeys": the agent's thread shows the
// sheet for the window the user is in, as the tray's item does.
const UINT AgentShowSheetMessage = WM_APP + 0x103;
// From a worker that cannot reach the window in front (wParam), an elevated
// program's: typing (lParam 1) or a window command (0).
const UINT AgentCannotReachMessage = WM_APP + 0x104;
// From a worker about to let go of a hotkey's keys for the user (lParam the
// combination, as TypedCombination makes it).
const UINT AgentLetGoMessage = WM_APP + 0x105;
// From the mouse hook: hotkey wParam was pressed with the mouse trigger and
// modifiers of lParam (as TypedCombination makes it).
const UINT AgentMouseHotkeyMessage = WM_APP + 0x107;
// Which low-level hooks the agent has installed now: answered with
// AGENT_HAS_MOUSE_HOOK when the mouse's is.
const UINT AgentHooksMessage = WM_APP + 0x108;
const LRESULT AGENT_HAS_MOUSE_HOOK = 1;
const LRESULT AGENT_HAS_KEYBOARD_HOOK = 2;
// From the keyboard hook: a key went down (wParam: its virtual key, its scan
// code << 16 and TYPED_ flags << 32).
const UINT AgentTypedKeyMessage = WM_APP + 0x109;
// From the mouse hook: a click; what was typed before it is forgotten.
const UINT AgentForgetTypingMessage = WM_APP + 0x10A;

// What the agent keeps of each hotkey beside its record.
struct HotkeyState {
    int rule;         // position of its programs record in the action array, or -1
    BYTE registered;  // registered with the window system now
    BYTE wanted;      // to be registered with the program in front
    BYTE refusalSaid; // a refusal met since the last load has been told
    BYTE repeats;     // every action steps (a volume): it goes on while held
    BYTE resumes;     // an action is "Pause Hotkeys": it stays while paused
    BYTE abbreviated; // it has an abbreviation
};

// A press of a hotkey that runs once however long it is held: its keys,
// when it ran, since when its key has been seen up (0 while down), and
// whether the agent let go of the keys for the user (typing does), who may
// still hold them.
struct HeldPress {
    LPARAM combination;
    DWORD ranAt;
    DWORD upSince;
    bool letGoByAgent;
};
// More combinations than hands can hold at once.
const UINT MAX_HELD_PRESSES = 8;

const UINT FRONT_PROGRAM_CHARS = 2 * MAX_PATH;

struct AgentState {
    HINSTANCE instance = nullptr;
    bool background = false;
    UINT taskbarCreatedMessage = 0;
    HMENU menuResource = nullptr;
    HMENU trayMenu = nullptr;
    NOTIFYICONDATAW tray = {};
    // A balloon the shell could not take yet (no taskbar); shown once the
    // icon is added again.
    NOTIFYICONDATAW pendingBalloon = {};
    bool balloonPending = false;
    bool storeBusy = false;             // a reload is under way
    bool reloadPending = false;         // another was asked for meanwhile
    bool starting = false;              // inside window creation
    bool paused = false;                // every hotkey but those that resume is off
    bool reloading = false;             // between a reload's unregistering and registering
    HICON pausedIcon = nullptr;         // the icon, dimmed, made when first paused
    bool startupLoadPending = false;    // start-up's first whole load is still to come
    LONG saveErrorSaid = ERROR_SUCCESS; // the failed save a balloon last told of
    RefusedHotkeys startupRefused;      // what registrations refused while starting
    // The hotkeys on these stay unregistered, across reloads, until every
    // worker typing them has finished.
    RecordArray<LPARAM> typed; // once for each worker typing them
    // Combinations that ran once and are still held: their repeats run nothing.
    HeldPress held[MAX_HELD_PRESSES] = {};
    UINT heldCount = 0;
    // Read at each load (zero before the first, so the state stays out of
    // the program file): the keyboard's delay before it repeats, less a
    // margin, and the longest a held key reads as up between repeats.
    DWORD repeatDelayMs = 0;
    DWORD repeatGapMs = 0;
    RecordArray<HotkeyRecord> hotkeys;
    RecordArray<ActionRecord> actions;
    RecordArray<HotkeyState> states; // one per hotkey, built at each load
    // The window in front, followed only while some hotkey is limited to programs.
    HWND window = nullptr;
    HWINEVENTHOOK foregroundHook = nullptr;
    HWINEVENTHOOK focusHook = nullptr;
    HWND frontWindow = nullptr;
    HWND frontBeforeMenu = nullptr; // in front when the tray menu opened
    HWND awaitedFront = nullptr;    // took the focus before coming to the front
    UINT frontChecks = 0;           // how often it is looked for again
    DWORD frontProcess = 0;
    DWORD cannotReachSaid = 0; // the process the balloon last said it cannot reach
    wchar_t frontProgram[FRONT_PROGRAM_CHARS] = {}; // full path, empty when unknown
};

extern AgentState g_agent;

LRESULT CALLBACK AgentWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
