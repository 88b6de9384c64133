// pendrix.exe: the list of hotkeys from a console. Lists, backs up,
// restores and moves it, and asks the running agent to reload or to run one.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "abbreviation.h"
#include "agent_link.h"
#include "agent_protocol.h"
#include "catalogue.h"
#include "console.h"
#include "hotkey_file.h"
#include "text_forms.h"
#include "store.h"
#include "program_rules.h"
#include "store_messages.h"
#include "user_path.h"

namespace {

const int EXIT_OK = 0;
const int EXIT_FAILED = 1;
const int EXIT_USAGE = 2;
const int EXIT_PATH_UNCHANGED = 3; // for the installer: the Path already had the folder
const wchar_t VERSION_TEXT[] = L"pendrix 1.2.0\n";

const wchar_t USAGE[] =
    L"Usage:\n"
    L"  pendrix list                  show every hotkey and its actions\n"
    L"  pendrix export FILE           write the whole list to FILE as JSON (- for the output)\n"
    L"  pendrix import FILE           replace the list with FILE's\n"
    L"  pendrix import --merge FILE   add FILE's hotkeys whose keys the list does not use yet\n"
    L"  pendrix reload                make the running agent load the list again\n"
    L"  pendrix enable N              turn hotkey N on (N as \"list\" numbers them)\n"
    L"  pendrix disable N             turn hotkey N off\n"
    L"  pendrix run N                 run hotkey N's actions in the running agent\n"
    L"  pendrix pause | resume        turn every hotkey off for a while, or back on\n"
    L"  pendrix path add|remove DIR   put DIR on your own Path, or take it off (the installer's)\n"
    L"  pendrix --help | --version\n"
    L"Exit status: 0 done, 1 failed, 2 bad usage.\n";

int BadUsage(const std::wstring& problem) {
    PrintError(problem + L"\n" + USAGE);
    return EXIT_USAGE;
}

int Failed(const std::wstring& message) {
    PrintError(message + L"\n");
    return EXIT_FAILED;
}

std::wstring Title(const HotkeyRecord& hotkey) {
    return FieldText(hotkey.title, HOTKEY_TEXT_CHARS);
}

std::wstring Keys(const HotkeyRecord& hotkey) {
    return HotkeyText(hotkey.modifiers, hotkey.virtualKey);
}

std::wstring StoreProblem(LONG error) {
    wchar_t reason[512];
    DescribeStoreError(error, reason, ARRAYSIZE(reason));
    return reason;
}

// A store operation that did not happen: says why, with nothing written.
int StoreFailed(const std::wstring& what, LONG error) {
    return Failed(what + L": " + StoreProblem(error));
}

// The list as stored. Where nothing is stored yet, the defaults that the
// agent or the dialog would write, without writing them. The caller holds
// the store for as long as what it read must stay true.
LONG ReadStore(HotkeyArray* hotkeys, ActionArray* actions) {
    store_detail::StoreLock lock;
    if (!lock.Held())
        return STORE_BUSY;
    if (store_detail::JudgeStoreRoot() != store_detail::ROOT_CURRENT) {
        AddDefaultHotkeys(*hotkeys, *actions);
        return ERROR_SUCCESS;
    }
    return LoadStore(nullptr, *hotkeys, *actions);
}

// The agent program the Run value starts: the one beside this tool.
std::wstring AgentBesideTool() {
    wchar_t path[MAX_PATH * 4];
    DWORD length = GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
    if (length == 0 || length >= ARRAYSIZE(path))
        return AGENT_PROGRAM_NAME;
    std::wstring program(path, length);
    return program.substr(0, program.find_last_of(L"\\/") + 1) + AGENT_PROGRAM_NAME;
}

// Replaces the stored list. A store this makes (the agent never ran) also
// gets the autostart value, as the agent's first run would write it.
LONG WriteStore(const HotkeyArray& hotkeys, const ActionArray& actions) {
    const HeldOutput held;
    store_detail::StoreLock lock;
    if (!lock.Held())
        return STORE_BUSY;
    const store_detail::RootState state = store_detail::JudgeStoreRoot();
    if (state == store_detail::ROOT_OUTDATED)
        store_detail::DeleteStoreTree();
    LONG result = store_detail::WriteStoreRoot();
    if (result == ERROR_SUCCESS)
        result = SaveStore(hotkeys, actions);
    if (result == ERROR_SUCCESS && state != store_detail::ROOT_CURRENT &&
        !WriteAutostartValue(AgentBesideTool().c_str()))
        PrintError(L"could not write the autostart value: Pendrix will not start at log-on "
                   L"until the agent is started once.\n");
    return result;
}

bool ParsePosition(const std::wstring& text, UINT count, UINT* index) {
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of(L"0123456789") != std::wstring::npos)
        return false;
    const UINT number = static_cast<UINT>(_wtoi(text.c_str()));
    if (number < 1 || number > count)
        return false;
    *index = number - 1;
    return true;
}

std::wstring Named(UINT index, const HotkeyRecord& hotkey) {
    return L"hotkey " + std::to_wstring(index + 1) + L" \"" + Title(hotkey) + L"\" (" +
           Keys(hotkey) + L")";
}

// Says what came of a reload, except the refusals that follow a finished one.
void ReportReload(ReloadResult result) {
    switch (result) {
    case ReloadResult::Reloaded:
        PrintOut(L"The agent reloaded the list.\n");
        break;
    case ReloadResult::Queued:
        PrintOut(L"The agent is busy; it reloads the list as soon as it can.\n");
        break;
    case ReloadResult::NoAgent:
    default:
        PrintOut(L"No agent is running: it reads the list when it starts.\n");
        break;
    }
}

// Hotkeys started by their abbreviations alone (no keys) share none.
bool SameCombination(const HotkeyRecord& a, const HotkeyRecord& b) {
    return (a.modifiers & HOTKEY_MODIFIERS) == (b.modifiers & HOTKEY_MODIFIERS) &&
           a.virtualKey == b.virtualKey && (a.virtualKey != 0 || a.modifiers != 0);
}

// The same abbreviation, without regard to case.
bool SameAbbreviation(const ActionArray& actions, UINT i, const ActionArray& otherActions, UINT j) {
    const int a = FindAbbreviation(actions, i);
    const int b = FindAbbreviation(otherActions, j);
    if (a < 0 || b < 0)
        return false;
    const std::wstring x = FieldText(actions.At(static_cast<UINT>(a)).target, ACTION_PATH_CHARS);
    const std::wstring y =
        FieldText(otherActions.At(static_cast<UINT>(b)).target, ACTION_PATH_CHARS);
    return CompareStringOrdinal(x.data(), static_cast<int>(x.size()), y.data(),
                                static_cast<int>(y.size()), TRUE) == CSTR_EQUAL;
}

// Key codes 1 to 254, and no modifier bits but the four and "no repeat".
bool Registrable(const HotkeyRecord& hotkey) {
    return hotkey.virtualKey >= 1 && hotkey.virtualKey <= 254 &&
           (hotkey.modifiers & ~(HOTKEY_MODIFIERS | MOD_NOREPEAT)) == 0;
}

const ActionRecord* ProgramRule(const ActionArray& actions, UINT hotkey) {
    const int rule = FindProgramRule(actions, hotkey);
    return rule < 0 ? nullptr : &actions.At(static_cast<UINT>(rule));
}

// An enabled hotkey before hotkey `i` on its keys, in a program both would
// work in, or -1; with `limitedOnly`, only one for chosen programs counts
// (the agent itself refuses a second that works everywhere).
int EarlierTwin(const HotkeyArray& hotkeys, const ActionArray& actions, UINT i, bool limitedOnly) {
    const ActionRecord* rule = ProgramRule(actions, i);
    for (UINT j = 0; j < i; ++j) {
        const ActionRecord* other = ProgramRule(actions, j);
        if (hotkeys.At(j).enabled == 1 && SameCombination(hotkeys.At(j), hotkeys.At(i)) &&
            (!limitedOnly || rule || other) && RulesClash(other, rule))
            return static_cast<int>(j);
    }
    return -1;
}

// Why the agent turned off a hotkey that was to be on. Hotkeys on the same
// keys stand in each other's way only where some program could have both.
std::wstring RefusalReason(const HotkeyArray& now, const ActionArray& actions, UINT i) {
    const HotkeyRecord& hotkey = now.At(i);
    if (!Registrable(hotkey))
        return L"Windows cannot register these keys (key code " +
               std::to_wstring(hotkey.virtualKey) + L", modifier bits " +
               HexCode(hotkey.modifiers) + L")";
    const int twin = EarlierTwin(now, actions, i, /*limitedOnly=*/false);
    if (twin >= 0)
        return L"it has the same keys as hotkey " + std::to_wstring(twin + 1);
    return L"another program uses these keys";
}

// Of two enabled hotkeys on the same keys that some program could both have,
// where programs decide, the agent would find out only once such a program
// came to the front. The later one is stored off now, as the agent stores an
// unlimited twin; says which, or nothing.
std::wstring TurnOffProgramTwins(HotkeyArray* hotkeys, const ActionArray& actions) {
    std::wstring said;
    for (UINT i = 0; i < hotkeys->Count(); ++i) {
        if (hotkeys->At(i).enabled != 1)
            continue;
        // An abbreviation another has where both work: stored off, as a
        // combination would be.
        for (UINT j = 0; j < i; ++j) {
            if (hotkeys->At(j).enabled == 1 && SameAbbreviation(actions, i, actions, j) &&
                RulesClash(ProgramRule(actions, j), ProgramRule(actions, i))) {
                hotkeys->At(i).enabled = 0;
                said += L"could not register " + Named(i, hotkeys->At(i)) +
                        L": it has the same abbreviation as hotkey " + std::to_wstring(j + 1) +
                        L", so it is stored disabled.\n";
                break;
            }
        }
        if (hotkeys->At(i).enabled != 1)
            continue;
        const int twin = EarlierTwin(*hotkeys, actions, i, /*limitedOnly=*/true);
        if (twin < 0)
            continue;
        hotkeys->At(i).enabled = 0;
        said += L"could not register " + Named(i, hotkeys->At(i)) +
                L": it has the same keys as hotkey " + std::to_wstring(twin + 1) +
                L", so it is stored disabled.\n";
    }
    return said;
}

// Tells the agent and reports what it could not register, and why; false
// when some hotkey was refused.
bool ReloadAndReport(const HotkeyArray& written) {
    const ReloadResult result = ReloadAgent();
    if (result != ReloadResult::Reloaded) {
        ReportReload(result);
        return true;
    }
    HotkeyArray now;
    ActionArray actions;
    if (ReadStore(&now, &actions) != ERROR_SUCCESS) {
        ReportReload(result);
        return true;
    }
    bool refused = false;
    for (UINT i = 0; i < written.Count() && i < now.Count(); ++i) {
        if (written.At(i).enabled != 1 || now.At(i).enabled != 0)
            continue;
        refused = true;
        PrintError(L"could not register " + Named(i, written.At(i)) + L": " +
                   RefusalReason(now, actions, i) + L", so it is stored disabled.\n");
    }
    if (!refused)
        ReportReload(result);
    return !refused;
}

// Checked while the store is held: a dialog that opens later reads this
// change, one already open would write its own list over it.
bool RefuseWhileDialogOpen() {
    if (!ConfigurationDialogOpen())
        return false;
    PrintError(L"a configuration dialog is open, and it would write its own list over this "
               L"change when it closes: close it and try again.\n");
    return true;
}

// --- commands -----------------------------------------------------------

// A text on one line: each line break shows as the Enter it types.
std::wstring OneLine(const std::wstring& text) {
    std::wstring line;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
            continue;
        line += text[i] == L'\r' || text[i] == L'\n' ? std::wstring(L"{Enter}")
                                                     : std::wstring(1, text[i]);
    }
    return line;
}

std::wstring ActionLine(const ActionRecord& action) {
    if (action.kind == ACTION_FILE_URL) {
        std::wstring line = L"open " + FieldText(action.target, ACTION_PATH_CHARS);
        const std::wstring parameters = FieldText(action.parameters, ACTION_PARAMETERS_CHARS);
        const std::wstring startIn = FieldText(action.startIn, ACTION_PATH_CHARS);
        if (!parameters.empty())
            line += L" " + parameters;
        if (!startIn.empty())
            line += L"  (in " + startIn + L")";
        const UINT options = action.commandCode;
        if (KnownOpenOptions(options) && options != 0) {
            std::wstring said;
            if (options & OPEN_SWITCH_IF_RUNNING)
                said += L", switching to it if it runs";
            if (options & OPEN_RUN_AS_ADMINISTRATOR)
                said += L", as administrator";
            if ((options & OPEN_WINDOW_MASK) == OPEN_WINDOW_MINIMIZED)
                said += L", minimized";
            if ((options & OPEN_WINDOW_MASK) == OPEN_WINDOW_MAXIMIZED)
                said += L", maximized";
            line += L"  (" + said.substr(2) + L")";
        }
        return line;
    }
    if (action.kind == ACTION_SYS_COMMAND)
        return L"command " + CommandText(action.commandCode);
    if (action.kind == ACTION_TYPE_TEXT)
        return L"type " + OneLine(FieldText(action.target, ACTION_PATH_CHARS));
    if (action.kind == ACTION_ABBREVIATION)
        return L"abbreviation " + FieldText(action.target, ACTION_PATH_CHARS) +
               (action.commandCode & ABBREVIATION_AT_ONCE ? L"  (at once)" : L"") +
               (action.commandCode & ABBREVIATION_MATCH_CASE ? L"  (match case)" : L"");
    return L"kind " + std::to_wstring(action.kind) + L" (not run)";
}

int List() {
    HotkeyArray hotkeys;
    ActionArray actions;
    if (const LONG error = ReadStore(&hotkeys, &actions))
        return StoreFailed(L"cannot read the list", error);
    const size_t digits = std::to_wstring(hotkeys.Count()).size();
    size_t keysWidth = 0;
    std::vector<std::wstring> starts;
    for (UINT i = 0; i < hotkeys.Count(); ++i) {
        wchar_t start[HOTKEY_TEXT_BUFFER_CHARS + ABBREVIATION_MAX_CHARS + 2];
        FormatHotkeyStart(hotkeys.At(i), actions, i, start, ARRAYSIZE(start));
        starts.push_back(start);
        keysWidth = std::max(keysWidth, starts.back().size());
    }
    std::wstring text;
    for (UINT i = 0; i < hotkeys.Count(); ++i) {
        const HotkeyRecord& hotkey = hotkeys.At(i);
        std::wstring number = std::to_wstring(i + 1);
        const std::wstring& keys = starts[i];
        text += std::wstring(digits - number.size(), L' ') + number + L"  " +
                (hotkey.enabled ? L"on " : L"off") + L"  " + keys +
                std::wstring(keysWidth - keys.size(), L' ') + L"  " + Title(hotkey);
        const int rule = FindProgramRule(actions, i);
        if (rule >= 0) {
            wchar_t limit[ACTION_PATH_CHARS + 64];
            FormatProgramRule(actions.At(static_cast<UINT>(rule)), limit, ARRAYSIZE(limit));
            text += std::wstring(L"  (") + limit + L")";
        }
        text += L"\n";
        for (UINT a = 0; a < actions.Count(); ++a) {
            if (actions.At(a).owner == i && actions.At(a).kind != ACTION_PROGRAMS)
                text += std::wstring(digits + 7, L' ') + ActionLine(actions.At(a)) + L"\n";
        }
    }
    if (hotkeys.Count() == 0)
        text = L"The list has no hotkeys.\n";
    PrintOut(text);
    return EXIT_OK;
}

// The programs a hotkey is limited to are kept as a record among its actions; the user counts only
// what the hotkey does.
UINT CountActions(const ActionArray& actions) {
    UINT count = 0;
    for (UINT a = 0; a < actions.Count(); ++a)
        count += actions.At(a).kind != ACTION_PROGRAMS ? 1 : 0;
    return count;
}

// "1 hotkey", "3 hotkeys".
std::wstring Counted(UINT count, const wchar_t* thing) {
    return std::to_wstring(count) + L" " + thing + (count == 1 ? L"" : L"s");
}

int Export(const std::wstring& path) {
    HotkeyArray hotkeys;
    ActionArray actions;
    // A backup of part of the list would pass for the whole.
    if (const LONG error = ReadStore(&hotkeys, &actions))
        return StoreFailed(L"cannot read the list", error);
    const std::string file = WriteHotkeyFile(hotkeys, actions);
    if (path == L"-")
        return WriteOutBytes(file) ? EXIT_OK : Failed(L"could not write to the output");
    // Written beside the target and moved over it, so a failed export never
    // leaves half a backup behind.
    const std::wstring temporary = path + L".pendrix-new";
    HANDLE handle = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return Failed(L"cannot write " + path + L" (error " + std::to_wstring(GetLastError()) +
                      L")");
    DWORD written = 0;
    const bool ok =
        WriteFile(handle, file.data(), static_cast<DWORD>(file.size()), &written, nullptr) &&
        written == file.size() && FlushFileBuffers(handle);
    CloseHandle(handle);
    if (!ok || !MoveFileExW(temporary.c_str(), path.c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temporary.c_str());
        return Failed(L"cannot write " + path);
    }
    PrintOut(L"Exported " + Counted(hotkeys.Count(), L"hotkey") + L" with " +
             Counted(CountActions(actions), L"action") + L" to " + path + L".\n");
    return EXIT_OK;
}

bool ReadWholeFile(const std::wstring& path, std::string* bytes) {
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    char buffer[65536];
    DWORD read = 0;
    bool ok = true;
    while ((ok = ReadFile(handle, buffer, sizeof buffer, &read, nullptr) != FALSE) && read > 0)
        bytes->append(buffer, read);
    CloseHandle(handle);
    return ok;
}

int Import(const std::wstring& path, bool merge) {
    std::string bytes;
    if (!ReadWholeFile(path, &bytes))
        return Failed(L"cannot read " + path + L" (error " + std::to_wstring(GetLastError()) +
                      L")");
    HotkeyArray fileHotkeys;
    ActionArray fileActions;
    try {
        ReadHotkeyFile(DecodeHotkeyFileText(bytes), &fileHotkeys, &fileActions);
    } catch (const HotkeyFileError& error) {
        return Failed(path + L": " + Wide(error.what()) + L"\nNothing was imported.");
    }

    HotkeyArray hotkeys;
    ActionArray actions;
    UINT added = 0, addedActions = 0;
    std::wstring twins;
    {
        // Read, check and write as one: no other writer comes between.
        const HeldOutput held; // said once the store is released
        store_detail::StoreLock lock;
        if (!lock.Held())
            return StoreFailed(L"nothing was imported", STORE_BUSY);
        if (RefuseWhileDialogOpen())
            return EXIT_FAILED;
        if (merge) {
            if (const LONG error = ReadStore(&hotkeys, &actions))
                return StoreFailed(L"cannot read the list; nothing was imported", error);
            for (UINT i = 0; i < fileHotkeys.Count(); ++i) {
                const HotkeyRecord& candidate = fileHotkeys.At(i);
                const ActionRecord* candidateRule = ProgramRule(fileActions, i);
                int clash = -1;
                bool limited = candidateRule != nullptr;
                for (UINT h = 0; h < hotkeys.Count() && clash < 0; ++h) {
                    const ActionRecord* rule = ProgramRule(actions, h);
                    if ((SameCombination(hotkeys.At(h), candidate) ||
                         SameAbbreviation(actions, h, fileActions, i)) &&
                        RulesClash(rule, candidateRule)) {
                        clash = static_cast<int>(h);
                        limited = limited || rule;
                    }
                }
                if (clash >= 0) {
                    // Where programs decide, the message names the hotkey it meets.
                    const bool sameKeys =
                        SameCombination(hotkeys.At(static_cast<UINT>(clash)), candidate);
                    const int record = FindAbbreviation(fileActions, i);
                    PrintOut(L"Skipped " + Named(i, candidate) + L": the list already has " +
                             (sameKeys || record < 0
                                  ? Keys(candidate)
                                  : L"the abbreviation " +
                                        FieldText(fileActions.At(static_cast<UINT>(record)).target,
                                                  ACTION_PATH_CHARS)) +
                             (limited ? L" for a program both work in, in " +
                                            Named(static_cast<UINT>(clash),
                                                  hotkeys.At(static_cast<UINT>(clash)))
                                      : std::wstring()) +
                             L".\n");
                    continue;
                }
                const UINT owner = hotkeys.Count();
                hotkeys.Append(candidate);
                ++added;
                for (UINT a = 0; a < fileActions.Count(); ++a) {
                    if (fileActions.At(a).owner != i)
                        continue;
                    ActionRecord action = fileActions.At(a);
                    action.owner = owner;
                    actions.Append(action);
                    addedActions += action.kind != ACTION_PROGRAMS ? 1 : 0;
                }
            }
        } else {
            hotkeys.Swap(fileHotkeys);
            actions.Swap(fileActions);
            added = hotkeys.Count();
            addedActions = CountActions(actions);
            twins = TurnOffProgramTwins(&hotkeys, actions);
        }
        if (const LONG error = WriteStore(hotkeys, actions))
            return StoreFailed(L"cannot write the list to the registry; nothing was imported",
                               error);
    }
    PrintOut((merge ? L"Added " : L"Imported ") + Counted(added, L"hotkey") + L" with " +
             Counted(addedActions, L"action") + L" from " + path + L".\n");
    if (!twins.empty())
        PrintError(twins);
    return ReloadAndReport(hotkeys) && twins.empty() ? EXIT_OK : EXIT_FAILED;
}

int Reload() {
    const ReloadResult result = ReloadAgent();
    if (result == ReloadResult::NoAgent)
        return Failed(L"no agent is running");
    ReportReload(result);
    return EXIT_OK;
}

int SetEnabled(const std::wstring& position, bool enable) {
    HotkeyArray hotkeys;
    ActionArray actions;
    UINT index = 0;
    std::wstring twins;
    {
        const HeldOutput held; // said once the store is released
        store_detail::StoreLock lock;
        if (!lock.Held())
            return StoreFailed(L"nothing was changed", STORE_BUSY);
        if (RefuseWhileDialogOpen())
            return EXIT_FAILED;
        if (const LONG error = ReadStore(&hotkeys, &actions))
            return StoreFailed(L"cannot read the list; nothing was changed", error);
        if (!ParsePosition(position, hotkeys.Count(), &index))
            return Failed(L"there is no hotkey " + position + L"; the list has " +
                          std::to_wstring(hotkeys.Count()));
        hotkeys.At(index).enabled = enable ? 1 : 0;
        twins = TurnOffProgramTwins(&hotkeys, actions);
        if (const LONG error = WriteStore(hotkeys, actions))
            return StoreFailed(L"cannot write the list to the registry; nothing was changed",
                               error);
    }
    PrintOut(std::wstring(enable ? L"Enabled " : L"Disabled ") + Named(index, hotkeys.At(index)) +
             L".\n");
    if (!twins.empty())
        PrintError(twins);
    return ReloadAndReport(hotkeys) && twins.empty() ? EXIT_OK : EXIT_FAILED;
}

// The agent runs it as it runs a press: by the combination the message
// carries, which must be one it has registered.
int Run(const std::wstring& position) {
    HotkeyArray hotkeys;
    ActionArray actions;
    if (const LONG error = ReadStore(&hotkeys, &actions))
        return StoreFailed(L"cannot read the list", error);
    UINT index = 0;
    if (!ParsePosition(position, hotkeys.Count(), &index))
        return Failed(L"there is no hotkey " + position + L"; the list has " +
                      std::to_wstring(hotkeys.Count()));
    const HotkeyRecord& hotkey = hotkeys.At(index);
    if (hotkey.enabled != 1)
        return Failed(Named(index, hotkey) + L" is disabled: turn it on first (pendrix enable " +
                      position + L")");
    HWND agent = FindAgent();
    if (!agent)
        return Failed(L"no agent is running");
    const LPARAM combination =
        MAKELPARAM(hotkey.modifiers & HOTKEY_MODIFIERS, hotkey.virtualKey & 0xFFFF);
    if (!PostMessageW(agent, WM_HOTKEY, HotkeyIdBase + index, combination))
        return Failed(L"the agent did not take the request");
    PrintOut(L"Running " + Named(index, hotkey) + L".\n");
    return EXIT_OK;
}

// As the tray's "Pause Hotkeys": a pause lasts until resumed or the agent ends.
int Pause(bool pause) {
    HWND agent = FindAgent();
    if (!agent)
        return Failed(L"no agent is running");
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(agent, AgentPauseMessage, pause ? 1 : 0, 0, SMTO_ABORTIFHUNG, 10000,
                             &answer) ||
        answer != 1)
        return Failed(L"the agent did not answer");
    PrintOut(pause ? L"Hotkeys paused: \"pendrix resume\" or the tray's Pause Hotkeys brings "
                     L"them back.\n"
                   : L"Hotkeys resumed.\n");
    return EXIT_OK;
}

// The installer's and uninstaller's change to the user's Path, made here
// because a Path may be far longer than the installer's own strings.
int EditUserPath(const std::wstring& verb, const std::wstring& folder) {
    std::wstring problem;
    const PathChange change = verb == L"add" ? AddFolderToUserPath(folder, &problem)
                                             : RemoveFolderFromUserPath(folder, &problem);
    if (change == PathChange::Failed)
        return Failed(problem + L"; the Path was not changed");
    if (change == PathChange::Unchanged) {
        PrintOut(verb == L"add" ? L"The Path already has " + folder + L".\n"
                                : L"The Path does not have " + folder + L".\n");
        return verb == L"add" ? EXIT_PATH_UNCHANGED : EXIT_OK;
    }
    PrintOut((verb == L"add" ? L"Added " + folder + L" to" : L"Removed " + folder + L" from") +
             std::wstring(L" your Path.\n"));
    return EXIT_OK;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> args(argv + 1, argv + argc);
    if (args.empty())
        return BadUsage(L"no command given");
    const std::wstring& command = args[0];
    const size_t operands = args.size() - 1;
    if (command == L"--help" || command == L"-h" || command == L"/?") {
        PrintOut(USAGE);
        return EXIT_OK;
    }
    if (command == L"--version") {
        PrintOut(VERSION_TEXT);
        return EXIT_OK;
    }
    try {
        if (command == L"list" && operands == 0)
            return List();
        if (command == L"export" && operands == 1)
            return Export(args[1]);
        if (command == L"import" && operands == 1 && args[1] != L"--merge")
            return Import(args[1], false);
        if (command == L"import" && operands == 2 && args[1] == L"--merge")
            return Import(args[2], true);
        if (command == L"reload" && operands == 0)
            return Reload();
        if ((command == L"enable" || command == L"disable") && operands == 1)
            return SetEnabled(args[1], command == L"enable");
        if (command == L"run" && operands == 1)
            return Run(args[1]);
        if ((command == L"pause" || command == L"resume") && operands == 0)
            return Pause(command == L"pause");
        if (command == L"path" && operands == 2 && (args[1] == L"add" || args[1] == L"remove"))
            return EditUserPath(args[1], args[2]);
    } catch (const std::exception& error) {
        // Never a bare text that cannot be shown: the system's own words
        // for what it is, as far as they go.
        return Failed(L"the command failed: " + LenientWide(error.what()));
    }
    if (command == L"list" || command == L"export" || command == L"import" ||
        command == L"reload" || command == L"enable" || command == L"disable" ||
        command == L"run" || command == L"path" || command == L"pause" || command == L"resume")
        return BadUsage(L"wrong arguments for \"" + command + L"\"");
    return BadUsage(L"unknown command \"" + command + L"\"");
}
