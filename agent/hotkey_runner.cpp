#include "hotkey_runner.h"
#include "mouse_hook.h"

#include <objbase.h>
#include <shellapi.h>

#include "agent_state.h"
#include "program_rules.h"
#include "program_switch.h"
#include "system_commands.h"
#include "text_typer.h"
#include "tray.h"
#include "window_in_front.h"

namespace {

// What one worker owns. A reload may free the agent's arrays while a run
// still waits for a program, so the job carries its own copy of the
// hotkey's runSequentially byte and of its actions, taken at the hand-off.
struct HotkeyJob {
    HWND window;
    UINT hotkeyParameter;
    BYTE runSequentially;
    UINT actionCount;
    ActionRecord* actions; // follows the job in the same allocation
    // Started by an abbreviation: how many characters to erase first, and
    // the ending character to type again after (0 for none).
    UINT erase;
    wchar_t ending;
};

HotkeyJob* CreateHotkeyJob(HWND window, UINT index, UINT hotkeyParameter) {
    const RecordArray<ActionRecord>& all = g_agent.actions;
    UINT count = 0;
    for (UINT a = 0; a < all.Count(); ++a) {
        if (all.At(a).owner == index)
            ++count;
    }
    const SIZE_T headerSize = (sizeof(HotkeyJob) + 7) & ~static_cast<SIZE_T>(7);
    void* memory = HeapAlloc(GetProcessHeap(), 0, headerSize + count * sizeof(ActionRecord));
    if (!memory)
        return nullptr;
    HotkeyJob* job = static_cast<HotkeyJob*>(memory);
    job->window = window;
    job->hotkeyParameter = hotkeyParameter;
    job->runSequentially = g_agent.hotkeys.At(index).runSequentially;
    job->actionCount = count;
    job->erase = 0;
    job->ending = 0;
    job->actions = reinterpret_cast<ActionRecord*>(static_cast<BYTE*>(memory) + headerSize);
    UINT next = 0;
    for (UINT a = 0; a < all.Count(); ++a) {
        if (all.At(a).owner == index)
            job->actions[next++] = all.At(a);
    }
    return job;
}

void FreeHotkeyJob(HotkeyJob* job) {
    HeapFree(GetProcessHeap(), 0, job);
}

DWORD WINAPI HotkeyWorker(void* parameter);

void StartWorker(HWND window, UINT index, UINT hotkeyParameter, UINT erase = 0,
                 wchar_t ending = 0) {
    HotkeyJob* job = CreateHotkeyJob(window, index, hotkeyParameter);
    if (!job)
        return;
    job->erase = erase;
    job->ending = ending;
    HANDLE thread = CreateThread(nullptr, 0, HotkeyWorker, job, 0, nullptr);
    if (!thread) {
        FreeHotkeyJob(job);
        return;
    }
    CloseHandle(thread);
}

DWORD WINAPI HotkeyWorker(void* parameter) {
    HotkeyJob* job = static_cast<HotkeyJob*>(parameter);
    // The shell may hand work to COM objects that need an apartment.
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    if (job->erase)
        EraseTyped(job->erase);
    RunHotkeyActions(job->window, job->hotkeyParameter, job->runSequentially, job->actions,
                     job->actionCount);
    if (job->ending)
        TypeCharacter(job->ending);
    if (SUCCEEDED(com))
        CoUninitialize();
    FreeHotkeyJob(job);
    return 0;
}

// A field's text with its environment variables expanded, so that one list
// works for every account ("%USERPROFILE%\Documents\todo.txt"). The result
// lives on the heap, as it may be longer than the field; the record itself
// is never changed. A "%" that names no variable stays as written, so URLs
// with "%20" keep working.
class ExpandedText {
  public:
    ExpandedText(const wchar_t* field, UINT width) : field_(field) {
        UINT length = 0;
        bool percent = false;
        for (; length < width && field[length]; ++length)
            percent = percent || field[length] == L'%';
        if (length == width || !percent)
            return; // nothing to expand (or, defensively, no NUL in the field)
        const DWORD needed = ExpandEnvironmentStringsW(field, nullptr, 0);
        if (needed == 0)
            return;
        expanded_ = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, needed * sizeof(wchar_t)));
        if (expanded_ && ExpandEnvironmentStringsW(field, expanded_, needed) > needed) {
            HeapFree(GetProcessHeap(), 0, expanded_);
            expanded_ = nullptr;
        }
    }
    ~ExpandedText() {
        if (expanded_)
            HeapFree(GetProcessHeap(), 0, expanded_);
    }
    ExpandedText(const ExpandedText&) = delete;
    ExpandedText& operator=(const ExpandedText&) = delete;
    const wchar_t* text() const { return expanded_ ? expanded_ : field_; }

  private:
    const wchar_t* field_;
    wchar_t* expanded_ = nullptr;
};

struct ExpandedAction {
    explicit ExpandedAction(const ActionRecord& action)
        : target(action.target, ACTION_PATH_CHARS),
          parameters(action.parameters, ACTION_PARAMETERS_CHARS),
          startIn(action.startIn, ACTION_PATH_CHARS) {}
    ExpandedText target;
    ExpandedText parameters;
    ExpandedText startIn;
};

// The show state and verb an open action's options ask for; options with
// values that mean nothing are taken as none.
struct OpenWay {
    const wchar_t* verb;
    int show;
};

OpenWay WayOf(const ActionRecord& action, int normalShow) {
    const UINT options = KnownOpenOptions(action.commandCode) ? action.commandCode : 0;
    OpenWay way = {options & OPEN_RUN_AS_ADMINISTRATOR ? L"runas" : L"open", normalShow};
    if ((options & OPEN_WINDOW_MASK) == OPEN_WINDOW_MINIMIZED)
        way.show = SW_SHOWMINIMIZED;
    else if ((options & OPEN_WINDOW_MASK) == OPEN_WINDOW_MAXIMIZED)
        way.show = SW_SHOWMAXIMIZED;
    return way;
}

bool SwitchesInstead(const ActionRecord& action, const ExpandedAction& expanded) {
    return KnownOpenOptions(action.commandCode) && (action.commandCode & OPEN_SWITCH_IF_RUNNING) &&
           SwitchToRunningProgram(expanded.target.text());
}

void OpenAndWait(const ActionRecord& action) {
    ExpandedAction expanded(action);
    if (SwitchesInstead(action, expanded))
        return;
    const OpenWay way = WayOf(action, SW_SHOW);
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = way.verb;
    info.lpFile = expanded.target.text();
    info.lpParameters = expanded.parameters.text();
    info.lpDirectory = expanded.startIn.text();
    info.nShow = way.show;
    ShellExecuteExW(&info);
    // No handle when the start failed or an already running program took the item.
    if (info.hProcess) {
        WaitForSingleObject(info.hProcess, INFINITE);
        CloseHandle(info.hProcess);
    }
}

void Open(const ActionRecord& action) {
    ExpandedAction expanded(action);
    if (SwitchesInstead(action, expanded))
        return;
    const OpenWay way = WayOf(action, SW_SHOWNORMAL);
    ShellExecuteW(nullptr, way.verb, expanded.target.text(), expanded.parameters.text(),
                  expanded.startIn.text(), way.show);
}

} // namespace

namespace {

// Commands that step (a volume, a track, a page back) go on while their keys
// are held, as the system's own keys do; everything else runs once a press.
bool StepsWhileHeld(const ActionRecord& action) {
    if (action.kind != ACTION_SYS_COMMAND)
        return false;
    const UINT code = action.commandCode;
    return (code >= 0x0F00 && code <= 0x0F03) || code == 0x1C00 || code == 0x1C01 ||
           (code >= 0x1C08 && code <= 0x1C0B);
}

// Read from each hotkey's actions once a load, in one pass over them.
void ReadWhatHotkeysDo() {
    RecordArray<HotkeyState>& states = g_agent.states;
    for (UINT i = 0; i < states.Count(); ++i)
        states.At(i).repeats = 2; // no action yet
    for (UINT a = 0; a < g_agent.actions.Count(); ++a) {
        const ActionRecord& action = g_agent.actions.At(a);
        if (action.owner >= states.Count() || action.kind == ACTION_PROGRAMS)
            continue;
        HotkeyState& state = states.At(action.owner);
        if (action.kind == ACTION_ABBREVIATION) {
            state.abbreviated = 1;
            continue;
        }
        state.repeats = state.repeats != 0 && StepsWhileHeld(action) ? 1 : 0;
        state.resumes = state.resumes || (action.kind == ACTION_SYS_COMMAND &&
                                          action.commandCode == PAUSE_HOTKEYS_COMMAND);
    }
    for (UINT i = 0; i < states.Count(); ++i)
        states.At(i).repeats = states.At(i).repeats == 1 ? 1 : 0;
}

bool RepeatsWhileHeld(UINT index) {
    return index < g_agent.states.Count() && g_agent.states.At(index).repeats;
}

// Windows sends no repeats of a hotkey registered without them; Wine does
// anyway, which the press itself then tells apart (HandOffHotkey).
BOOL RegisterHotkeyKeys(HWND window, UINT index, const HotkeyRecord& hotkey) {
    // The mouse hook watches these: the system never refuses them; nor a
    // hotkey that has an abbreviation and no keys.
    if (IsMouseTrigger(hotkey.virtualKey) ||
        (hotkey.virtualKey == 0 && index < g_agent.states.Count() &&
         g_agent.states.At(index).abbreviated))
        return TRUE;
    const UINT noRepeat = RepeatsWhileHeld(index) ? 0 : MOD_NOREPEAT;
    return RegisterHotKey(window, HotkeyIdBase + static_cast<int>(index),
                          hotkey.modifiers | noRepeat, hotkey.virtualKey);
}

bool SameCombination(const HotkeyRecord& a, const HotkeyRecord& b) {
    return (a.modifiers & HOTKEY_MODIFIERS) == (b.modifiers & HOTKEY_MODIFIERS) &&
           a.virtualKey == b.virtualKey;
}

void NoteRefusal(RefusedHotkeys* refused, UINT position) {
    if (refused->count < REFUSED_HOTKEYS_NAMED)
        refused->positions[refused->count] = position;
    ++refused->count;
}

bool BeingTyped(const HotkeyRecord& hotkey) {
    const LPARAM combination = TypedCombination(hotkey.modifiers, hotkey.virtualKey);
    for (UINT n = 0; n < g_agent.typed.Count(); ++n) {
        if (g_agent.typed.At(n) == combination)
            return true;
    }
    return false;
}

// Which enabled hotkeys work with the program in front; an unlimited one
// steps aside while a limited one with its combination works there, and of
// two limited ones with one combination (written into the store by hand:
// the dialog and the tool refuse them) the earlier one works. While paused,
// only those that resume.
void DecideWanted() {
    const RecordArray<HotkeyRecord>& hotkeys = g_agent.hotkeys;
    RecordArray<HotkeyState>& states = g_agent.states;
    bool anyLimited = false;
    for (UINT i = 0; i < hotkeys.Count(); ++i) {
        HotkeyState& state = states.At(i);
        const bool limited = state.rule >= 0;
        // A mouse trigger goes to the hook whatever program is in front: the
        // program under the pointer decides, at the click.
        const bool mouse = IsMouseTrigger(hotkeys.At(i).virtualKey) ||
                           (hotkeys.At(i).virtualKey == 0 && state.abbreviated);
        state.wanted = hotkeys.At(i).enabled == 1 && !BeingTyped(hotkeys.At(i)) &&
                       (!g_agent.paused || state.resumes) &&
                       (!limited || mouse ||
                        RuleAdmitsProgram(g_agent.actions.At(static_cast<UINT>(state.rule)),
                                          g_agent.frontProgram));
        anyLimited = anyLimited || (limited && !mouse && state.wanted);
    }
    if (!anyLimited)
        return;
    for (UINT i = 0; i < hotkeys.Count(); ++i) {
        HotkeyState& state = states.At(i);
        if (IsMouseTrigger(hotkeys.At(i).virtualKey) || hotkeys.At(i).virtualKey == 0)
            continue;
        for (UINT j = 0; j < hotkeys.Count() && state.wanted; ++j) {
            const HotkeyState& other = states.At(j);
            if (other.rule >= 0 && other.wanted && (state.rule < 0 || j < i) &&
                SameCombination(hotkeys.At(i), hotkeys.At(j)))
                state.wanted = 0;
        }
    }
}

const ActionRecord* RuleOf(UINT index) {
    const int rule = g_agent.states.At(index).rule;
    return rule < 0 ? nullptr : &g_agent.actions.At(static_cast<UINT>(rule));
}

// Of two enabled hotkeys for chosen programs on one combination that some
// program could both have (the dialog and the tool refuse such a pair; a
// store written by hand may hold one), the later is stored disabled, as the
// system's refusal stores an unlimited twin; so are the later of two on a
// mouse trigger, which no system refuses.
void DisableTwins(RefusedHotkeys* refused) {
    RecordArray<HotkeyRecord>& hotkeys = g_agent.hotkeys;
    for (UINT i = 0; i < hotkeys.Count(); ++i) {
        const bool mouse = IsMouseTrigger(hotkeys.At(i).virtualKey);
        if (hotkeys.At(i).enabled != 1 || hotkeys.At(i).virtualKey == 0 || (!RuleOf(i) && !mouse))
            continue;
        for (UINT j = 0; j < i; ++j) {
            if (hotkeys.At(j).enabled == 1 && (RuleOf(j) || mouse) &&
                SameCombination(hotkeys.At(i), hotkeys.At(j)) && RulesClash(RuleOf(j), RuleOf(i))) {
                hotkeys.At(i).enabled = 0;
                NoteRefusal(refused, i);
                break;
            }
        }
    }
}

// Those that wait for their program are checked at a load as the others
// are, so the store and the dialog say at once that the system refuses their
// keys. Keys that one of ours holds it has accepted; the others are tried
// and given back at once.
void CheckWaitingHotkeys(HWND window, RefusedHotkeys* refused) {
    RecordArray<HotkeyRecord>& hotkeys = g_agent.hotkeys;
    for (UINT i = 0; i < hotkeys.Count(); ++i) {
        HotkeyRecord& hotkey = hotkeys.At(i);
        const HotkeyState& state = g_agent.states.At(i);
        if (state.rule < 0 || state.registered || hotkey.enabled != 1 || BeingTyped(hotkey))
            continue;
        bool held = false;
        for (UINT j = 0; j < hotkeys.Count() && !held; ++j)
            held = g_agent.states.At(j).registered && SameCombination(hotkeys.At(j), hotkey);
        if (held || RegisterHotkeyKeys(window, i, hotkey)) {
            if (!held)
                UnregisterHotKey(window, HotkeyIdBase + static_cast<int>(i));
            continue;
        }
        hotkey.enabled = 0;
        NoteRefusal(refused, i);
    }
}

} // namespace

void UpdateProgramHotkeys(HWND window, RefusedHotkeys* refused) {
    RecordArray<HotkeyRecord>& hotkeys = g_agent.hotkeys;
    RecordArray<HotkeyState>& states = g_agent.states;
    RefusedHotkeys later;
    // At a load, a limited hotkey the system refuses is disabled, and a twin
    // that stepped aside for it is decided (and tried) again at once.
    for (bool again = true; again;) {
        again = false;
        DecideWanted();
        // Those that step aside first, so one that takes their keys finds them free.
        for (UINT i = 0; i < hotkeys.Count(); ++i) {
            HotkeyState& state = states.At(i);
            if (state.registered && !state.wanted) {
                UnregisterHotKey(window, HotkeyIdBase + static_cast<int>(i));
                state.registered = 0;
            }
        }
        for (UINT i = 0; i < hotkeys.Count(); ++i) {
            HotkeyState& state = states.At(i);
            if (!state.wanted || state.registered)
                continue;
            HotkeyRecord& hotkey = hotkeys.At(i);
            if (RegisterHotkeyKeys(window, i, hotkey)) {
                state.registered = 1;
            } else if (refused) {
                // At a load: stored disabled by the save that follows.
                hotkey.enabled = 0;
                NoteRefusal(refused, i);
                again = again || state.rule >= 0;
            } else if (!state.refusalSaid) {
                // Met later: the store stays; the user hears of it once.
                state.refusalSaid = 1;
                NoteRefusal(&later, i);
            }
        }
    }
    if (later.count > 0)
        ShowRefusedInFrontBalloon(later);
    UpdateMouseHook();
}

namespace {
void ReadKeyboardRepeat();
} // namespace

void RegisterEnabledHotkeys(HWND window, RefusedHotkeys* refused) {
    RecordArray<HotkeyRecord>& hotkeys = g_agent.hotkeys;
    RecordArray<HotkeyState>& states = g_agent.states;
    ReadKeyboardRepeat();
    RefusedHotkeys ignored;
    if (!refused)
        refused = &ignored;
    *refused = RefusedHotkeys();
    states.Clear();
    const HotkeyState fresh = {-1, 0, 0, 0, 0, 0, 0};
    for (UINT i = 0; i < hotkeys.Count(); ++i)
        states.Append(fresh);
    ReadWhatHotkeysDo();
    bool anyLimited = false;
    for (UINT a = 0; a < g_agent.actions.Count(); ++a) {
        const ActionRecord& action = g_agent.actions.At(a);
        if (action.kind != ACTION_PROGRAMS || action.owner >= hotkeys.Count() ||
            states.At(action.owner).rule >= 0)
            continue;
        states.At(action.owner).rule = static_cast<int>(a);
        anyLimited = true;
    }
    DisableTwins(refused);
    FollowWindowInFront(anyLimited);
    if (anyLimited) {
        g_agent.frontWindow = nullptr;
        g_agent.frontProcess = 0;
        ReadProgramInFront();
    }
    UpdateProgramHotkeys(window, refused);
    if (anyLimited)
        CheckWaitingHotkeys(window, refused);
}

bool RegisterHotkeys(HWND window, int index) {
    RecordArray<HotkeyRecord>& hotkeys = g_agent.hotkeys;
    if (index == ALL_HOTKEYS) {
        RegisterEnabledHotkeys(window, nullptr);
        return true;
    }
    if (index < 0 || static_cast<UINT>(index) >= hotkeys.Count())
        return false;
    HotkeyRecord& hotkey = hotkeys.At(static_cast<UINT>(index));
    if (hotkey.enabled != 0)
        return false;
    if (!RegisterHotkeyKeys(window, static_cast<UINT>(index), hotkey))
        return false;
    hotkey.enabled = 1;
    if (static_cast<UINT>(index) < g_agent.states.Count()) {
        g_agent.states.At(static_cast<UINT>(index)).registered = 1;
        // Accepted by the system; a hotkey for chosen programs then holds its
        // keys only while one of them is in front.
        UpdateProgramHotkeys(window, nullptr);
    }
    return true;
}

bool UnregisterHotkeys(HWND window, int index) {
    RecordArray<HotkeyRecord>& hotkeys = g_agent.hotkeys;
    if (index == ALL_HOTKEYS) {
        for (UINT i = 0; i < hotkeys.Count(); ++i) {
            if (hotkeys.At(i).enabled == 1)
                UnregisterHotKey(window, HotkeyIdBase + static_cast<int>(i));
        }
        for (UINT i = 0; i < g_agent.states.Count(); ++i)
            g_agent.states.At(i).registered = 0;
        UpdateMouseHook();
        return true;
    }
    if (index < 0 || static_cast<UINT>(index) >= hotkeys.Count())
        return false;
    HotkeyRecord& hotkey = hotkeys.At(static_cast<UINT>(index));
    if (hotkey.enabled != 1)
        return false;
    if (static_cast<UINT>(index) >= g_agent.states.Count()) {
        hotkey.enabled = 0;
        return UnregisterHotKey(window, HotkeyIdBase + index) != FALSE;
    }
    // One waiting for its program holds no keys to give back; one that
    // stepped aside for it comes back.
    HotkeyState& state = g_agent.states.At(static_cast<UINT>(index));
    const BOOL unregistered =
        state.registered ? UnregisterHotKey(window, HotkeyIdBase + index) : TRUE;
    state.registered = 0;
    hotkey.enabled = 0;
    UpdateProgramHotkeys(window, nullptr);
    return unregistered != FALSE;
}

namespace {

bool HasCombination(const HotkeyRecord& hotkey, UINT modifiers, UINT key) {
    return hotkey.enabled == 1 && (hotkey.modifiers & HOTKEY_MODIFIERS) == modifiers &&
           hotkey.virtualKey == key;
}

// Registered now: for the program in front, when the hotkey is limited.
bool Registered(UINT index) {
    return index >= g_agent.states.Count() || g_agent.states.At(index).registered;
}

// A press queued before a reload arrives after it, when its identifier may
// name another hotkey: the combination it carries decides, among the
// hotkeys that work with the program in front.
int PressedHotkey(int index, UINT hotkeyParameter) {
    const RecordArray<HotkeyRecord>& hotkeys = g_agent.hotkeys;
    const UINT modifiers = LOWORD(hotkeyParameter) & HOTKEY_MODIFIERS;
    const UINT key = HIWORD(hotkeyParameter);
    if (index >= 0 && static_cast<UINT>(index) < hotkeys.Count() &&
        HasCombination(hotkeys.At(static_cast<UINT>(index)), modifiers, key) &&
        Registered(static_cast<UINT>(index)))
        return index;
    for (UINT i = 0; i < hotkeys.Count(); ++i) {
        if (HasCombination(hotkeys.At(i), modifiers, key) && Registered(i))
            return static_cast<int>(i);
    }
    return -1;
}

const UINT_PTR HELD_KEYS_TIMER = 3;
const UINT HELD_KEYS_CHECK_MS = 20;

// How long a held key may read as up between two of the keyboard's repeats:
// typing lets go of the hotkey's keys for the user, and a key still held
// then goes down again at the next repeat.
DWORD RepeatGapMs(DWORD speed) {
    if (speed > 31) // 0 (about 2.5 repeats a second) to 31 (about 30)
        speed = 31;
    return 1000 * 31 / (31 * 5 / 2 + speed * 55 / 2) + 60;
}

// The keyboard's delay before its first repeat (0, about 250 ms, to 3,
// about 1 s), less a margin.
DWORD RepeatDelayMs(DWORD delay) {
    return (delay > 3 ? 3 : delay) * 250 + 150;
}

// Read at each load, not at each press.
void ReadKeyboardRepeat() {
    DWORD speed = 31, delay = 1;
    SystemParametersInfoW(SPI_GETKEYBOARDSPEED, 0, &speed, 0);
    SystemParametersInfoW(SPI_GETKEYBOARDDELAY, 0, &delay, 0);
    g_agent.repeatGapMs = RepeatGapMs(speed);
    g_agent.repeatDelayMs = RepeatDelayMs(delay);
}

bool KeyDown(LPARAM combination) {
    return (GetAsyncKeyState(static_cast<int>(combination & 0xFFFF)) & 0x8000) != 0;
}

// A press is over once its key is seen up; after the agent let go of the
// keys for the user, only once it stays up longer than the keyboard's repeat.
void CALLBACK OnHeldKeysCheck(HWND window, UINT, UINT_PTR, DWORD) {
    const DWORD now = GetTickCount();
    for (UINT n = 0; n < g_agent.heldCount;) {
        HeldPress& press = g_agent.held[n];
        if (KeyDown(press.combination)) {
            press.upSince = 0;
        } else if (!press.letGoByAgent ||
                   (press.upSince && now - press.upSince >= g_agent.repeatGapMs)) {
            press = g_agent.held[--g_agent.heldCount];
            continue;
        } else if (press.upSince == 0) {
            press.upSince = now ? now : 1;
        }
        ++n;
    }
    if (g_agent.heldCount == 0)
        KillTimer(window, HELD_KEYS_TIMER);
}

// True for a repeat of a press that ran already: its key is still down, and
// the keyboard's delay has passed since it ran (a new press may come sooner).
// A new press (or a request of the tool's, with no key down) is noted, and
// its key followed until it is let go.
bool RepeatOfHeldPress(HWND window, UINT index, UINT hotkeyParameter) {
    if (RepeatsWhileHeld(index))
        return false;
    const LPARAM combination =
        TypedCombination(LOWORD(hotkeyParameter) & HOTKEY_MODIFIERS, HIWORD(hotkeyParameter));
    const DWORD now = GetTickCount();
    for (UINT n = 0; n < g_agent.heldCount; ++n) {
        HeldPress& press = g_agent.held[n];
        if (press.combination != combination)
            continue;
        if (KeyDown(combination) && now - press.ranAt >= g_agent.repeatDelayMs)
            return true;
        press = {combination, now, 0, false};
        return false;
    }
    if (g_agent.heldCount == MAX_HELD_PRESSES)
        return false;
    g_agent.held[g_agent.heldCount++] = {combination, now, 0, false};
    SetTimer(window, HELD_KEYS_TIMER, HELD_KEYS_CHECK_MS, OnHeldKeysCheck);
    return false;
}

} // namespace

void NoteLetGo(LPARAM combination) {
    for (UINT n = 0; n < g_agent.heldCount; ++n) {
        if (g_agent.held[n].combination == combination)
            g_agent.held[n].letGoByAgent = true;
    }
}

LRESULT StepHotkeyAside(HWND window, UINT modifiers, UINT key) {
    const RecordArray<HotkeyRecord>& hotkeys = g_agent.hotkeys;
    bool any = false;
    for (UINT i = 0; i < hotkeys.Count(); ++i)
        any = any || HasCombination(hotkeys.At(i), modifiers & HOTKEY_MODIFIERS, key);
    if (!any)
        return 0;
    // Every hotkey on these keys, registered now or waiting for its program:
    // a change of the window in front or a reload meanwhile keeps them aside.
    const LPARAM combination = TypedCombination(modifiers, key);
    g_agent.typed.Append(combination);
    UpdateProgramHotkeys(window, nullptr);
    return combination;
}

void BringHotkeyBack(HWND window, LPARAM token) {
    for (UINT n = 0; n < g_agent.typed.Count(); ++n) {
        if (g_agent.typed.At(n) != token)
            continue;
        g_agent.typed.RemoveAt(n);
        UpdateProgramHotkeys(window, nullptr);
        return;
    }
}

void HandOffHotkey(HWND window, WPARAM id, LPARAM hotkeyParameter) {
    // The window in front is read again: its program decides which hotkey runs.
    if (g_agent.foregroundHook && ReadProgramInFront())
        UpdateProgramHotkeys(window, nullptr);
    const int index = PressedHotkey(static_cast<int>(static_cast<INT32>(id) - HotkeyIdBase),
                                    static_cast<UINT>(hotkeyParameter));
    if (index < 0) {
        // The window in front changed unseen (Wine reports some changes
        // late or not at all): the keys were the program's to have.
        PassPressOn(static_cast<UINT>(hotkeyParameter));
        return;
    }
    if (RepeatOfHeldPress(window, static_cast<UINT>(index), static_cast<UINT>(hotkeyParameter)))
        return;
    StartWorker(window, static_cast<UINT>(index), static_cast<UINT>(hotkeyParameter));
}

void ExpandAbbreviation(HWND window, UINT index, UINT erase, wchar_t ending) {
    if (index < g_agent.hotkeys.Count())
        StartWorker(window, index, 0, erase, ending);
}

void HandOffMouseHotkey(HWND window, UINT index, LPARAM combination) {
    // Checked again: a reload may have come between the hook's post and now.
    if (index >= g_agent.hotkeys.Count() || index >= g_agent.states.Count() ||
        !g_agent.states.At(index).registered)
        return;
    const HotkeyRecord& hotkey = g_agent.hotkeys.At(index);
    if (!IsMouseTrigger(hotkey.virtualKey) ||
        TypedCombination(hotkey.modifiers, hotkey.virtualKey) != combination)
        return;
    const UINT hotkeyParameter =
        MAKELONG(hotkey.modifiers & HOTKEY_MODIFIERS, hotkey.virtualKey & 0xFFFF);
    StartWorker(window, index, hotkeyParameter);
}

void RunHotkeyActions(HWND window, UINT hotkeyParameter, BYTE runSequentially,
                      const ActionRecord* actions, UINT actionCount) {
    for (UINT a = 0; a < actionCount; ++a) {
        const ActionRecord& action = actions[a];
        if (action.kind == ACTION_SYS_COMMAND) {
            RunSystemCommand(window, action.commandCode, hotkeyParameter);
        } else if (action.kind == ACTION_FILE_URL) {
            if (runSequentially)
                OpenAndWait(action);
            else
                Open(action);
        } else if (action.kind == ACTION_TYPE_TEXT) {
            TypeText(window, hotkeyParameter, action.target, ACTION_PATH_CHARS);
        }
    }
}
