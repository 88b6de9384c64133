// The two fixed records of the hotkey store. They are written to the
// registry byte for byte, so their layout is a stored format.
#pragma once

#include <windows.h>
#include <stddef.h>

const UINT HOTKEY_TEXT_CHARS = 32;       // title and description
const UINT ACTION_PATH_CHARS = 260;      // startIn and target
const UINT ACTION_PARAMETERS_CHARS = 64; // parameters

// The modifier flags a combination is made of; other bits of `modifiers`
// are kept as stored but name no key.
const UINT HOTKEY_MODIFIERS = MOD_ALT | MOD_CONTROL | MOD_SHIFT | MOD_WIN;

const UINT ACTION_FILE_URL = 0;
const UINT ACTION_SYS_COMMAND = 1;
const UINT ACTION_TYPE_TEXT = 2; // target: the text to type; the other fields 0
// Not run: the programs a hotkey is limited to (the first of its kind per
// hotkey counts). target: program entries separated by ";", each a file name
// with or without ".exe", or a full path; commandCode: PROGRAMS_ONLY_IN or
// PROGRAMS_NOT_IN.
const UINT ACTION_PROGRAMS = 3;
// A hotkey's abbreviation, typed anywhere, starts it as its keys do: one
// record of this kind among its actions (the first counts; nothing runs it).
// target: the abbreviation, 2 to 31 characters without blanks; commandCode:
// ABBREVIATION_AT_ONCE (expands on its last character, with nothing to end
// it) and ABBREVIATION_MATCH_CASE. A hotkey with an abbreviation and no
// combination stores virtualKey 0 and modifiers 0, and is never registered.
const UINT ACTION_ABBREVIATION = 4;
const UINT ABBREVIATION_AT_ONCE = 0x1;
const UINT ABBREVIATION_MATCH_CASE = 0x2;
const UINT ABBREVIATION_MIN_CHARS = 2;
const UINT ABBREVIATION_MAX_CHARS = 31;
const UINT PROGRAMS_ONLY_IN = 0;
const UINT PROGRAMS_NOT_IN = 1;

// Options of an open action, kept in its commandCode, which open actions
// made before them hold as 0: none.
const UINT OPEN_SWITCH_IF_RUNNING = 0x1;    // bring its window to the front instead
const UINT OPEN_RUN_AS_ADMINISTRATOR = 0x2; // the shell's "runas" verb
const UINT OPEN_WINDOW_MASK = 0x30;         // the show state it starts with
const UINT OPEN_WINDOW_NORMAL = 0x00;
const UINT OPEN_WINDOW_MINIMIZED = 0x10;
const UINT OPEN_WINDOW_MAXIMIZED = 0x20;
// Every value that means something; anything else is kept as it is but
// means nothing.
inline bool KnownOpenOptions(UINT options) {
    return (options & ~(OPEN_SWITCH_IF_RUNNING | OPEN_RUN_AS_ADMINISTRATOR | OPEN_WINDOW_MASK)) ==
               0 &&
           (options & OPEN_WINDOW_MASK) != OPEN_WINDOW_MASK;
}

// Mouse triggers, stored in virtualKey like keys: the buttons as their own
// virtual-key codes (VK_MBUTTON, VK_XBUTTON1, VK_XBUTTON2), the wheel's four
// directions as codes no key uses (0x97 to 0x9A are unassigned). The agent
// watches them with a low-level mouse hook; they are never registered with
// the system. A wheel direction needs a modifier: a bare wheel scrolls.
const UINT TRIGGER_WHEEL_UP = 0x97;
const UINT TRIGGER_WHEEL_DOWN = 0x98;
const UINT TRIGGER_WHEEL_LEFT = 0x99;
const UINT TRIGGER_WHEEL_RIGHT = 0x9A;
inline bool IsWheelTrigger(UINT virtualKey) {
    return virtualKey >= TRIGGER_WHEEL_UP && virtualKey <= TRIGGER_WHEEL_RIGHT;
}
// The system command that pauses every hotkey, or resumes them.
const UINT PAUSE_HOTKEYS_COMMAND = 0x1A02;

inline bool IsMouseTrigger(UINT virtualKey) {
    return virtualKey == VK_MBUTTON || virtualKey == VK_XBUTTON1 || virtualKey == VK_XBUTTON2 ||
           IsWheelTrigger(virtualKey);
}

// Stored as the "header" value of HEADER\<position>.
struct HotkeyRecord {
    UINT32 modifiers; // MOD_ALT | MOD_CONTROL | MOD_SHIFT | MOD_WIN
    UINT32 virtualKey;
    wchar_t description[HOTKEY_TEXT_CHARS];
    wchar_t title[HOTKEY_TEXT_CHARS];
    BYTE enabled; // exactly 1 = enabled (and registered while the agent runs)
    BYTE runSequentially;
    BYTE reserved[2]; // kept as loaded, never interpreted
};

// Stored as the "node" value of HEADER\<position>\<index>.
struct ActionRecord {
    UINT32 owner; // position of the owning hotkey
    UINT32 kind;  // ACTION_FILE_URL, ACTION_SYS_COMMAND, ACTION_TYPE_TEXT, ACTION_PROGRAMS
    wchar_t startIn[ACTION_PATH_CHARS];
    wchar_t target[ACTION_PATH_CHARS];
    wchar_t parameters[ACTION_PARAMETERS_CHARS];
    UINT32 commandCode;
    UINT32 commandName; // meaningless outside the writing process; never read
};

static_assert(sizeof(wchar_t) == 2, "records hold UTF-16 code units");
static_assert(sizeof(HotkeyRecord) == 140, "HotkeyRecord is 140 bytes");
static_assert(offsetof(HotkeyRecord, modifiers) == 0, "modifiers at 0");
static_assert(offsetof(HotkeyRecord, virtualKey) == 4, "virtualKey at 4");
static_assert(offsetof(HotkeyRecord, description) == 8, "description at 8");
static_assert(offsetof(HotkeyRecord, title) == 72, "title at 72");
static_assert(offsetof(HotkeyRecord, enabled) == 136, "enabled at 136");
static_assert(offsetof(HotkeyRecord, runSequentially) == 137, "runSequentially at 137");
static_assert(offsetof(HotkeyRecord, reserved) == 138, "reserved at 138");

static_assert(sizeof(ActionRecord) == 1184, "ActionRecord is 1184 bytes");
static_assert(offsetof(ActionRecord, owner) == 0, "owner at 0");
static_assert(offsetof(ActionRecord, kind) == 4, "kind at 4");
static_assert(offsetof(ActionRecord, startIn) == 8, "startIn at 8");
static_assert(offsetof(ActionRecord, target) == 528, "target at 528");
static_assert(offsetof(ActionRecord, parameters) == 1048, "parameters at 1048");
static_assert(offsetof(ActionRecord, commandCode) == 1176, "commandCode at 1176");
static_assert(offsetof(ActionRecord, commandName) == 1180, "commandName at 1180");

// Cuts every text of the record to its field: a stored text without a NUL
// inside its field keeps its first N - 1 units.
void BoundRecordTexts(HotkeyRecord& record);
void BoundRecordTexts(ActionRecord& record);

// Copies text into a field of `width` units, cutting it to width - 1 units.
void CopyBoundedText(wchar_t* field, UINT width, const wchar_t* text);
