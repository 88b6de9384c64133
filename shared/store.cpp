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

void DeleteHeaderTree() {
    SHDeleteKeyW(HKEY_CURRENT_USER, STORE_HEADER_PATH);
}

bool CreateStoreRootWithVersion() {
    RegKey root;
    if (root.Create(HKEY_CURRENT_USER, STORE_ROOT_PATH) != ERROR_SUCCESS)
        return false;
    DWORD version = STORE_VERSION;
    RegSetValueExW(root.Get(), L"version", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&version),
                   sizeof version);
    return true;
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
    wchar_t name[KEY_NAME_CHARS];
    for (DWORD k = 0;; ++k) {
        DWORD length = KEY_NAME_CHARS;
        if (RegEnumKeyExW(parent, k, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        Entry entry = {k, 0, FALSE};
        entry.plain = ParsePlainDecimal(name, &entry.number) ? TRUE : FALSE;
        entries_.Append(entry);
    }
    if (entries_.Count() > 1)
        qsort(entries_.Data(), entries_.Count(), sizeof(Entry), CompareLoadOrder);
}

LONG NumberedSubkeys::Open(UINT index, RegKey* key) const {
    const Entry& entry = entries_.At(index);
    wchar_t name[KEY_NAME_CHARS];
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

HotkeyKeyWriter::HotkeyKeyWriter(UINT position, const HotkeyRecord& hotkey) : position_(position) {
    wchar_t path[2048];
    StringCchPrintfW(path, ARRAYSIZE(path), STORE_HEADER_PATH L"\\%u", position);
    if (key_.Create(HKEY_CURRENT_USER, path) != ERROR_SUCCESS)
        return;
    HotkeyRecord stored = hotkey;
    BoundRecordTexts(stored);
    RegSetValueExW(key_.Get(), L"header", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&stored),
                   sizeof stored);
}

void HotkeyKeyWriter::WriteAction(const ActionRecord& action) {
    // The number advances even when the key cannot be created.
    const UINT node = nextNode_++;
    wchar_t path[2048];
    RegKey nodeKey;
    if (key_) {
        StringCchPrintfW(path, ARRAYSIZE(path), L"%u", node);
        nodeKey.Create(key_.Get(), path);
    } else {
        StringCchPrintfW(path, ARRAYSIZE(path), STORE_HEADER_PATH L"\\%u\\%u", position_, node);
        nodeKey.Create(HKEY_CURRENT_USER, path);
    }
    if (!nodeKey)
        return;
    ActionRecord stored = action;
    BoundRecordTexts(stored);
    RegSetValueExW(nodeKey.Get(), L"node", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&stored),
                   sizeof stored);
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

void WriteAutostart(HWND window) {
    wchar_t program[2048];
    UINT length = GetWindowModuleFileNameW(window, program, ARRAYSIZE(program));
    if (length == 0 || length >= ARRAYSIZE(program)) {
        if (!OwnModulePath(program, ARRAYSIZE(program)))
            program[0] = L'\0';
    }
    NameAgentProgram(program, ARRAYSIZE(program));

    // Quoted, so that a path with blanks still hands the agent the exact
    // tail "/background" and cannot start a program at a truncated path.
    wchar_t command[2048 + 16];
    StringCchPrintfW(command, ARRAYSIZE(command), L"\"%s\" /background", program);

    RegKey run;
    if (run.Create(HKEY_CURRENT_USER, AUTOSTART_KEY_PATH) != ERROR_SUCCESS) {
        MessageBoxW(nullptr, L"Error setting Startup Settings", MAKER_SITE_LABEL, MB_OK);
        return;
    }
    RegSetValueExW(run.Get(), AUTOSTART_VALUE_NAME, 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(command),
                   static_cast<DWORD>((lstrlenW(command) + 1) * sizeof(wchar_t)));
}
