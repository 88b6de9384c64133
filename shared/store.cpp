#include "store.h"

#include <shlwapi.h>
#include <stdlib.h>
#include <strsafe.h>

#include "maker_site.h"

namespace store_detail {

namespace {

// Registry key names are at most 255 units long.
const DWORD KEY_NAME_CHARS = 256;

struct DefaultRow {
    UINT modifiers;
    UINT virtualKey;
    BYTE enabled;
    const wchar_t* title;
    const wchar_t* description;
    UINT kind;
    const wchar_t* target;
    UINT commandCode;
};

const DefaultRow DEFAULT_HOTKEYS[DEFAULT_HOTKEY_COUNT] = {
    {MOD_ALT | MOD_CONTROL, VK_F7, 1, L"Configure Pendrix", L"Sample Shortcut 1",
     ACTION_SYS_COMMAND, L"", 0x1A00},
    {MOD_CONTROL | MOD_SHIFT, 'I', 1, L"Internet Explorer", L"Sample Shortcut 2", ACTION_FILE_URL,
     L"about:blank", 0},
    {MOD_CONTROL | MOD_SHIFT, 'C', 1, L"Calculator", L"Sample Shortcut 3", ACTION_FILE_URL,
     L"calc.exe", 0},
    {MOD_CONTROL | MOD_SHIFT, 'M', 1, L"Media Player", L"Sample Shortcut 4", ACTION_FILE_URL,
     L"wmplayer.exe", 0},
    {MOD_CONTROL | MOD_SHIFT, 'G', 1, L"Pendrix Website", L"Sample Shortcut 5", ACTION_FILE_URL,
     MAKER_SITE_HOTKEY_PAGE, 0},
    {MOD_ALT | MOD_CONTROL | MOD_SHIFT, VK_BACK, 0, L"Shutdown System", L"Sample Shortcut 6",
     ACTION_SYS_COMMAND, L"", 0x0A01},
};

// A name as "%d" writes a hotkey or action position: digits only, no
// leading zero, within a signed 32-bit number.
bool ParsePlainDecimal(const wchar_t* name, UINT* number) {
    if (name[0] == L'\0' || (name[0] == L'0' && name[1] != L'\0'))
        return false;
    unsigned long long value = 0;
    for (const wchar_t* c = name; *c; ++c) {
        if (*c < L'0' || *c > L'9' || c - name >= 10)
            return false;
        value = value * 10 + static_cast<unsigned>(*c - L'0');
    }
    if (value > 0x7FFFFFFFull)
        return false;
    *number = static_cast<UINT>(value);
    return true;
}

int CompareLoadOrder(const void* left, const void* right) {
    const NumberedSubkeys::Entry& a = *static_cast<const NumberedSubkeys::Entry*>(left);
    const NumberedSubkeys::Entry& b = *static_cast<const NumberedSubkeys::Entry*>(right);
    if (a.plain != b.plain)
        return a.plain ? -1 : 1;
    if (a.plain && a.number != b.number)
        return a.number < b.number ? -1 : 1;
    if (a.enumIndex != b.enumIndex)
        return a.enumIndex < b.enumIndex ? -1 : 1;
    return 0;
}

UINT* AllocateSlots(UINT count) {
    void* memory = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY,
                             static_cast<SIZE_T>(count ? count : 1) * sizeof(UINT));
    if (!memory)
        RaiseOutOfMemory();
    return static_cast<UINT*>(memory);
}

void ReadRecordValue(HKEY key, const wchar_t* valueName, void* record, DWORD size) {
    ZeroMemory(record, size);
    DWORD read = size;
    if (RegQueryValueExW(key, valueName, nullptr, nullptr, static_cast<BYTE*>(record), &read) !=
        ERROR_SUCCESS)
        ZeroMemory(record, size);
}

const wchar_t HEADER_NAME[] = L"HEADER";
// The tree being written sorts after HEADER and the retired one before it,
// so every rename moves a key towards the front: Wine 8's RegRenameKey
// overwrites a sibling when the new name lands right after the old one.
const wchar_t STAGING_NAME[] = L"HEADER.new";
const wchar_t RETIRED_NAME[] = L"Discarded HEADER";
const wchar_t RESTORE_GUARD_NAME[] = L"Discarded HEADER, restoring";

const wchar_t STORE_LOCK_NAME[] = L"Local\\{{5d0c7a3e-2b61-4f8e-9a14-c3e7b95d2f08}} store";
// Each holder writes who it is here, for the messages of those who wait.
const wchar_t STORE_HOLDER_NAME[] = L"Local\\{{5d0c7a3e-2b61-4f8e-9a14-c3e7b95d2f08}} store holder";
const UINT HOLDER_PROGRAM_CHARS = 64;
struct StoreHolder {
    DWORD processId;
    wchar_t program[HOLDER_PROGRAM_CHARS];
};

// Store operations run on one thread per process: the lock's depth there,
// and an autostart failure waiting for the outermost release to be shown.
int g_lockDepth = 0;
bool g_autostartFailed = false;

typedef LONG(WINAPI* RenameKeyProc)(HKEY key, LPCWSTR subKey, LPCWSTR newName);

// advapi32 has RegRenameKey from Vista on, though not every import library
// declares it. Looked up on each use: a cached function-local static would
// link the C++ runtime's thread-safe initialisation into the agent.
RenameKeyProc RenameKeyFunction() {
    return reinterpret_cast<RenameKeyProc>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"advapi32.dll"), "RegRenameKey")));
}

LONG RenameSubkey(HKEY parent, const wchar_t* from, const wchar_t* to) {
    RenameKeyProc rename = RenameKeyFunction();
    return rename ? rename(parent, from, to) : ERROR_CALL_NOT_IMPLEMENTED;
}

bool SubkeyExists(HKEY parent, const wchar_t* name) {
    HKEY key;
    if (RegOpenKeyExW(parent, name, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// Only a foreign hand leaves a retired tree without HEADER or a staging tree:
// it is the last whole list, so it goes back. Its rename moves forward, past
// a guard key, which that rename handles correctly.
void RestoreRetiredTree(HKEY root) {
    RegKey guard;
    guard.Create(root, RESTORE_GUARD_NAME);
    guard.Close();
    RenameSubkey(root, RETIRED_NAME, HEADER_NAME);
    RegDeleteKeyW(root, RESTORE_GUARD_NAME);
}

} // namespace

RootState JudgeStoreRoot() {
    RegKey root;
    if (root.Open(HKEY_CURRENT_USER, STORE_ROOT_PATH) != ERROR_SUCCESS)
        return ROOT_MISSING;
    // Shorter data leaves the high bytes 0; longer data fails the query.
    DWORD version = 0;
    DWORD size = sizeof version;
    LONG result = RegQueryValueExW(root.Get(), L"version", nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(&version), &size);
    if (result == ERROR_SUCCESS && version >= STORE_VERSION)
        return ROOT_CURRENT;
    return ROOT_OUTDATED;
}

void DeleteStoreTree() {
    SHDeleteKeyW(HKEY_CURRENT_USER, STORE_ROOT_PATH);
}

LONG WriteStoreRoot() {
    RegKey root;
    LONG result = root.Create(HKEY_CURRENT_USER, STORE_ROOT_PATH);
    if (result != ERROR_SUCCESS)
        return result;
    DWORD version = STORE_VERSION;
    return RegSetValueExW(root.Get(), L"version", 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&version), sizeof version);
}

bool CreateStoreRootWithVersion() {
    return WriteStoreRoot() == ERROR_SUCCESS;
}

void DefaultHotkey(UINT n, HotkeyRecord* hotkey, ActionRecord* action) {
    const DefaultRow& row = DEFAULT_HOTKEYS[n - 1];
    ZeroMemory(hotkey, sizeof *hotkey);
    ZeroMemory(action, sizeof *action);
    hotkey->modifiers = row.modifiers;
    hotkey->virtualKey = row.virtualKey;
    hotkey->enabled = row.enabled;
    CopyBoundedText(hotkey->title, HOTKEY_TEXT_CHARS, row.title);
    CopyBoundedText(hotkey->description, HOTKEY_TEXT_CHARS, row.description);
    action->owner = n - 1;
    action->kind = row.kind;
    CopyBoundedText(action->target, ACTION_PATH_CHARS, row.target);
    action->commandCode = row.commandCode;
}

void ReadHotkeyValue(HKEY key, HotkeyRecord* hotkey) {
    ReadRecordValue(key, L"header", hotkey, sizeof *hotkey);
    BoundRecordTexts(*hotkey);
}

void ReadActionValue(HKEY key, ActionRecord* action) {
    ReadRecordValue(key, L"node", action, sizeof *action);
    BoundRecordTexts(*action);
}

NumberedSubkeys::NumberedSubkeys(HKEY parent) : parent_(parent) {
    DWORD subkeys = 0;
    if (RegQueryInfoKeyW(parent, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
        count_ = subkeys;
}

void NumberedSubkeys::Enumerate() {
    enumerated_ = true;
    wchar_t name[KEY_NAME_CHARS];
    for (DWORD k = 0;; ++k) {
        DWORD length = KEY_NAME_CHARS;
        LONG result = RegEnumKeyExW(parent_, k, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result != ERROR_SUCCESS) {
            if (result != ERROR_NO_MORE_ITEMS)
                enumError_ = result;
            break;
        }
        Entry entry = {k, 0, FALSE};
        entry.plain = ParsePlainDecimal(name, &entry.number) ? TRUE : FALSE;
        entries_.Append(entry);
    }
    if (entries_.Count() > 1)
        qsort(entries_.Data(), entries_.Count(), sizeof(Entry), CompareLoadOrder);
}

LONG NumberedSubkeys::Open(UINT index, RegKey* key) {
    wchar_t name[KEY_NAME_CHARS];
    if (!enumerated_) {
        // While "0" to index-1 were there, index is the next plain number;
        // the first miss means other names, or gaps: enumerate from then on.
        // Those numbers sort first, so index still names the next entry.
        StringCchPrintfW(name, KEY_NAME_CHARS, L"%u", index);
        LONG result = key->Open(parent_, name);
        if (result == ERROR_SUCCESS)
            return result;
        Enumerate();
        if (index >= entries_.Count())
            return result;
    }
    const Entry& entry = entries_.At(index);
    if (entry.plain) {
        StringCchPrintfW(name, KEY_NAME_CHARS, L"%u", entry.number);
    } else {
        DWORD length = KEY_NAME_CHARS;
        LONG result = RegEnumKeyExW(parent_, entry.enumIndex, name, &length, nullptr, nullptr,
                                    nullptr, nullptr);
        if (result != ERROR_SUCCESS)
            return result;
    }
    return key->Open(parent_, name);
}

ActionsByOwner::ActionsByOwner(UINT hotkeyCount, UINT actionCount)
    : hotkeyCount_(hotkeyCount), start_(AllocateSlots(hotkeyCount + 1)),
      fill_(AllocateSlots(hotkeyCount + 1)), positions_(AllocateSlots(actionCount)) {}

ActionsByOwner::~ActionsByOwner() {
    HeapFree(GetProcessHeap(), 0, start_);
    HeapFree(GetProcessHeap(), 0, fill_);
    HeapFree(GetProcessHeap(), 0, positions_);
}

void ActionsByOwner::Count(UINT owner) {
    if (owner < hotkeyCount_)
        ++start_[owner + 1];
}

void ActionsByOwner::Seal() {
    for (UINT i = 0; i < hotkeyCount_; ++i) {
        start_[i + 1] += start_[i];
        fill_[i] = start_[i];
    }
}

void ActionsByOwner::Place(UINT owner, UINT actionPosition) {
    if (owner < hotkeyCount_)
        positions_[fill_[owner]++] = actionPosition;
}

StoreLock::StoreLock(DWORD waitMs)
    : mutex_(CreateMutexW(nullptr, FALSE, STORE_LOCK_NAME)), owned_(false) {
    if (!mutex_)
        return;
    // Bounded: a holder that hangs must not hang this process too. Abandoned
    // means its holder died; whatever it left is put right under the lock.
    DWORD wait = WaitForSingleObject(mutex_, waitMs);
    owned_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    if (!owned_ || g_lockDepth++ > 0)
        return;
    holder_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                 sizeof(StoreHolder), STORE_HOLDER_NAME);
    void* view =
        holder_ ? MapViewOfFile(holder_, FILE_MAP_WRITE, 0, 0, sizeof(StoreHolder)) : nullptr;
    if (view) {
        StoreHolder* holder = static_cast<StoreHolder*>(view);
        wchar_t path[MAX_PATH];
        DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
        const wchar_t* name = path;
        for (DWORD c = 0; c < length && c < MAX_PATH; ++c) {
            if (path[c] == L'\\' || path[c] == L'/')
                name = path + c + 1;
        }
        holder->processId = GetCurrentProcessId();
        CopyBoundedText(holder->program, HOLDER_PROGRAM_CHARS, length ? name : L"");
        UnmapViewOfFile(view);
    }
}

StoreLock::~StoreLock() {
    if (owned_) {
        const bool outermost = --g_lockDepth == 0;
        ReleaseMutex(mutex_);
        if (outermost && g_autostartFailed) {
            g_autostartFailed = false;
            MessageBoxW(nullptr, L"Error setting Startup Settings", MAKER_SITE_LABEL, MB_OK);
        }
    }
    if (holder_)
        CloseHandle(holder_);
    if (mutex_)
        CloseHandle(mutex_);
}

void RecoverInterruptedSave() {
    RegKey root;
    if (root.Open(HKEY_CURRENT_USER, STORE_ROOT_PATH) != ERROR_SUCCESS)
        return;
    const bool live = SubkeyExists(root.Get(), HEADER_NAME);
    const bool staged = SubkeyExists(root.Get(), STAGING_NAME);
    const bool retired = SubkeyExists(root.Get(), RETIRED_NAME);
    if (!live && retired) {
        // HEADER is retired only once the staging tree is complete.
        if (staged)
            RenameSubkey(root.Get(), STAGING_NAME, HEADER_NAME);
        else
            RestoreRetiredTree(root.Get());
    }
    if (SubkeyExists(root.Get(), HEADER_NAME)) {
        if (SubkeyExists(root.Get(), STAGING_NAME))
            SHDeleteKeyW(root.Get(), STAGING_NAME);
        if (SubkeyExists(root.Get(), RETIRED_NAME))
            SHDeleteKeyW(root.Get(), RETIRED_NAME);
    } else if (!retired && staged) {
        // A staging tree without a retired one may be unfinished: the store
        // had no hotkeys when that save began, and has none now.
        SHDeleteKeyW(root.Get(), STAGING_NAME);
    }
}

TreeWriter::TreeWriter() {
    // A root that someone removed meanwhile comes back whole, "version"
    // included: without it the next load would reset the list to the defaults.
    DWORD disposition = 0;
    HKEY root = nullptr;
    LONG result =
        RegCreateKeyExW(HKEY_CURRENT_USER, STORE_ROOT_PATH, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &root, &disposition);
    if (result != ERROR_SUCCESS) {
        Fail(result);
        return;
    }
    RegCloseKey(root);
    if (disposition == REG_CREATED_NEW_KEY) {
        result = WriteStoreRoot();
        if (result != ERROR_SUCCESS) {
            // Never a root without its version: the next load would take it
            // as outdated and reset the list to the defaults.
            RegDeleteKeyW(HKEY_CURRENT_USER, STORE_ROOT_PATH);
            Fail(result);
            return;
        }
    }
    result = root_.Open(HKEY_CURRENT_USER, STORE_ROOT_PATH);
    if (result != ERROR_SUCCESS) {
        Fail(result);
        return;
    }
    RecoverInterruptedSave();
    if (RenameKeyFunction()) {
        result = tree_.Create(root_.Get(), STAGING_NAME);
        if (result == ERROR_SUCCESS)
            staged_ = true;
        else
            Fail(result);
        return;
    }
    // No renames on this system: the old way, delete and write in place. Old
    // records left beside the new ones would read back as part of the list.
    result = SHDeleteKeyW(root_.Get(), HEADER_NAME);
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND) {
        Fail(result);
        return;
    }
    Fail(tree_.Create(root_.Get(), HEADER_NAME));
}

void TreeWriter::BeginHotkey(UINT position, const HotkeyRecord& hotkey) {
    position_ = position;
    nextNode_ = 0;
    hotkey_.Close();
    if (!tree_ || error_ != ERROR_SUCCESS)
        return;
    wchar_t name[16];
    StringCchPrintfW(name, ARRAYSIZE(name), L"%u", position);
    LONG result = hotkey_.Create(tree_.Get(), name);
    if (result != ERROR_SUCCESS) {
        Fail(result);
        return;
    }
    HotkeyRecord stored = hotkey;
    BoundRecordTexts(stored);
    Fail(RegSetValueExW(hotkey_.Get(), L"header", 0, REG_BINARY,
                        reinterpret_cast<const BYTE*>(&stored), sizeof stored));
}

void TreeWriter::WriteAction(const ActionRecord& action) {
    const UINT node = nextNode_++;
    if (!hotkey_ || error_ != ERROR_SUCCESS)
        return;
    wchar_t name[16];
    StringCchPrintfW(name, ARRAYSIZE(name), L"%u", node);
    RegKey nodeKey;
    LONG result = nodeKey.Create(hotkey_.Get(), name);
    if (result != ERROR_SUCCESS) {
        Fail(result);
        return;
    }
    ActionRecord stored = action;
    BoundRecordTexts(stored);
    Fail(RegSetValueExW(nodeKey.Get(), L"node", 0, REG_BINARY,
                        reinterpret_cast<const BYTE*>(&stored), sizeof stored));
}

LONG TreeWriter::Commit(UINT hotkeyCount) {
    hotkey_.Close();
    tree_.Close();
    if (!root_)
        return error_ != ERROR_SUCCESS ? error_ : ERROR_FILE_NOT_FOUND;
    if (staged_) {
        if (error_ != ERROR_SUCCESS) {
            SHDeleteKeyW(root_.Get(), STAGING_NAME);
            return error_;
        }
        // Retire the live tree, then make the staging tree live: at every
        // instant one whole tree is there for RecoverInterruptedSave.
        const bool live = SubkeyExists(root_.Get(), HEADER_NAME);
        LONG result = live ? RenameSubkey(root_.Get(), HEADER_NAME, RETIRED_NAME) : ERROR_SUCCESS;
        if (result != ERROR_SUCCESS) {
            SHDeleteKeyW(root_.Get(), STAGING_NAME);
            return result;
        }
        result = RenameSubkey(root_.Get(), STAGING_NAME, HEADER_NAME);
        if (result != ERROR_SUCCESS) {
            // Puts the retired tree back as HEADER, dropping the new one.
            SHDeleteKeyW(root_.Get(), STAGING_NAME);
            RecoverInterruptedSave();
            return result;
        }
        if (live)
            SHDeleteKeyW(root_.Get(), RETIRED_NAME);
    }
    // A store without hotkeys has no HEADER key.
    if (hotkeyCount == 0)
        RegDeleteKeyW(root_.Get(), HEADER_NAME);
    return error_;
}

} // namespace store_detail

namespace {

// The module that holds this code: the agent program or the library.
bool OwnModulePath(wchar_t* path, DWORD capacity) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&WriteAutostart), &module))
        return false;
    DWORD length = GetModuleFileNameW(module, path, capacity);
    return length > 0 && length < capacity;
}

// A library names the agent program beside it.
void NameAgentProgram(wchar_t* path, size_t capacity) {
    wchar_t* name = path;
    for (wchar_t* c = path; *c; ++c) {
        if (*c == L'\\' || *c == L'/')
            name = c + 1;
    }
    const wchar_t* extension = nullptr;
    for (wchar_t* c = name; *c; ++c) {
        if (*c == L'.')
            extension = c;
    }
    if (extension && lstrcmpiW(extension, L".exe") == 0)
        return;
    *name = L'\0';
    StringCchCatW(path, capacity, AGENT_PROGRAM_NAME);
}

} // namespace

bool StoreLockHolder(DWORD* processId, wchar_t* program, UINT chars) {
    using namespace store_detail;
    HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, STORE_HOLDER_NAME);
    if (!mapping)
        return false;
    const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, sizeof(StoreHolder));
    bool known = false;
    if (view) {
        StoreHolder holder = *static_cast<const StoreHolder*>(view);
        UnmapViewOfFile(view);
        *processId = holder.processId;
        holder.program[HOLDER_PROGRAM_CHARS - 1] = L'\0';
        CopyBoundedText(program, chars, holder.program);
        known = holder.processId != 0;
    }
    CloseHandle(mapping);
    return known;
}

bool WriteAutostartValue(const wchar_t* program) {
    // Quoted, so that a path with blanks still hands the agent the exact
    // tail "/background" and cannot start a program at a truncated path.
    wchar_t command[2048 + 16];
    StringCchPrintfW(command, ARRAYSIZE(command), L"\"%s\" /background", program);
    RegKey run;
    if (run.Create(HKEY_CURRENT_USER, AUTOSTART_KEY_PATH) != ERROR_SUCCESS)
        return false;
    RegSetValueExW(run.Get(), AUTOSTART_VALUE_NAME, 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(command),
                   static_cast<DWORD>((lstrlenW(command) + 1) * sizeof(wchar_t)));
    return true;
}

bool WriteAutostart(HWND window) {
    wchar_t program[2048];
    UINT length = GetWindowModuleFileNameW(window, program, ARRAYSIZE(program));
    if (length == 0 || length >= ARRAYSIZE(program)) {
        if (!OwnModulePath(program, ARRAYSIZE(program)))
            program[0] = L'\0';
    }
    NameAgentProgram(program, ARRAYSIZE(program));
    if (WriteAutostartValue(program))
        return true;
    // Shown once the store is released, so no writer waits on the user.
    if (store_detail::g_lockDepth > 0)
        store_detail::g_autostartFailed = true;
    else
        MessageBoxW(nullptr, L"Error setting Startup Settings", MAKER_SITE_LABEL, MB_OK);
    return false;
}
