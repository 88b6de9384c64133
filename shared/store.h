// The hotkey store: the registry tree under HKEY_CURRENT_USER that holds every
// hotkey and action, and the operations that load it into a process's two
// lists and write them back whole.
//
// The operations are templates over the list types, so the agent's
// RecordArrays and the configuration library's lists share one
// implementation. A list needs Count(), At(position) and Append(record).
#pragma once

#include <windows.h>

#include "record_array.h"
#include "records.h"
#include "win32/reg_key.h"

#define STORE_ROOT_PATH L"Software\\Ostrand\\Fennock\\Pendrix"
#define STORE_HEADER_PATH STORE_ROOT_PATH L"\\HEADER"
#define AUTOSTART_KEY_PATH L"Software\\Microsoft\\Windows\\CurrentVersion\\Run"
#define AUTOSTART_VALUE_NAME L"pendrixd"
#define AGENT_PROGRAM_NAME L"pendrixd.exe"

const DWORD STORE_VERSION = 257;
const int STORE_CURRENT = 0;
const int STORE_RESET = 2;
const UINT DEFAULT_HOTKEY_COUNT = 6;

// The result of a store operation that another writer of the log-on held
// the list for longer than the operation may wait.
const LONG STORE_BUSY = ERROR_BUSY;
// How long one store operation waits for another process's to end.
const DWORD STORE_LOCK_WAIT_MS = 30000;

// Writes the "pendrixd" Run value: the quoted path of the agent program
// followed by " /background". The program is the module that owns `window`
// when that is a program; when it is a library, pendrixd.exe in the
// library's folder. False when the Run key cannot be created: the message
// "Error setting Startup Settings" then follows once the store is released.
bool WriteAutostart(HWND window);
// Writes the Run value for the agent program at `program`; false, and no
// message, when the Run key cannot be created.
bool WriteAutostartValue(const wchar_t* program);

// Who holds the store now, as far as that holder said: its process id and
// program file name. False when nothing says.
bool StoreLockHolder(DWORD* processId, wchar_t* program, UINT chars);

// The pieces the store templates are made of.
namespace store_detail {

enum RootState { ROOT_MISSING, ROOT_OUTDATED, ROOT_CURRENT };

RootState JudgeStoreRoot();
void DeleteStoreTree();
bool CreateStoreRootWithVersion();
LONG WriteStoreRoot(); // the same, with the registry's error
void DefaultHotkey(UINT n, HotkeyRecord* hotkey, ActionRecord* action);

// Serializes the store operations of every process of the log-on: whoever
// reads, changes and writes the list holds it from the read to the end of
// the write, so no other writer comes between. Recursive on one thread; a
// holder that died leaves it to the next one. The wait is bounded, and an
// operation that did not get it does not go ahead. No window waits for the
// user while it is held: the autostart message follows the outermost release.
class StoreLock {
  public:
    explicit StoreLock(DWORD waitMs = STORE_LOCK_WAIT_MS);
    ~StoreLock();
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;
    bool Held() const { return owned_; }

  private:
    HANDLE mutex_;
    HANDLE holder_ = nullptr;
    bool owned_;
};

// A save writes the new record tree beside the live HEADER and swaps it in
// with two renames, so a save cut short at any point leaves the whole old or
// the whole new tree. What such a save left behind is put right here: the
// finished new tree is made live, or the unfinished one removed.
void RecoverInterruptedSave();

// Read "header" / "node" into an all-zero record: a value that cannot be
// read, or is longer than the record, leaves it all zero; a shorter one fills
// the leading bytes. Every text is cut to its field.
void ReadHotkeyValue(HKEY key, HotkeyRecord* hotkey);
void ReadActionValue(HKEY key, ActionRecord* action);

// The subkeys of a key in load order: plain decimal names in numeric order,
// then every other name in the registry's enumeration order. A key that
// holds exactly "0" to "n-1", as every save leaves it, is read by opening the
// numbers directly; anything else is enumerated once.
class NumberedSubkeys {
  public:
    explicit NumberedSubkeys(HKEY parent);
    UINT Count() const { return enumerated_ ? entries_.Count() : count_; }
    LONG Open(UINT index, RegKey* key);
    // The first error, other than the end of the list, met while enumerating.
    LONG EnumerationError() const { return enumError_; }

    struct Entry {
        UINT enumIndex;
        UINT number;
        BOOL plain;
    };

  private:
    void Enumerate();

    HKEY parent_;
    UINT count_ = 0;
    bool enumerated_ = false;
    LONG enumError_ = ERROR_SUCCESS;
    RecordArray<Entry> entries_;
};

// Action positions grouped by owner, in list order, built in linear time.
class ActionsByOwner {
  public:
    ActionsByOwner(UINT hotkeyCount, UINT actionCount);
    ~ActionsByOwner();
    ActionsByOwner(const ActionsByOwner&) = delete;
    ActionsByOwner& operator=(const ActionsByOwner&) = delete;

    void Count(UINT owner);
    void Seal();
    void Place(UINT owner, UINT actionPosition);
    UINT Begin(UINT owner) const { return start_[owner]; }
    UINT End(UINT owner) const { return start_[owner + 1]; }
    UINT ActionAt(UINT slot) const { return positions_[slot]; }

  private:
    UINT hotkeyCount_;
    UINT* start_;     // hotkeyCount + 1 offsets into positions_
    UINT* fill_;      // next free slot per owner while placing
    UINT* positions_; // action positions, grouped by owner
};

// Writes a whole record tree: into a staging key that Commit swaps in for
// HEADER, or, where the system cannot rename keys, straight into a HEADER
// it has emptied first. A staged tree with any write that failed never goes
// live: Commit removes it, the old list stays, and the first error is
// returned. A root that is gone is created again with its "version".
class TreeWriter {
  public:
    TreeWriter();
    void BeginHotkey(UINT position, const HotkeyRecord& hotkey);
    void WriteAction(const ActionRecord& action);
    LONG Commit(UINT hotkeyCount);

  private:
    void Fail(LONG error) {
        if (error_ == ERROR_SUCCESS)
            error_ = error;
    }
    RegKey root_;
    RegKey tree_;
    RegKey hotkey_;
    UINT position_ = 0;
    UINT nextNode_ = 0;
    bool staged_ = false;
    LONG error_ = ERROR_SUCCESS;
};

// Notes a registry error met while reading the tree: "not found" and "no
// more items" are part of reading; any other means the tree was not read whole.
inline void NoteReadError(LONG result, LONG* firstError) {
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND &&
        result != ERROR_NO_MORE_ITEMS && *firstError == ERROR_SUCCESS)
        *firstError = result;
}

} // namespace store_detail

// Writes every record from the lists as the new HEADER subtree, replacing
// the old one whole. ERROR_SUCCESS, or the error that kept the new list from
// going live (STORE_BUSY: another writer held the store); the old list then
// stays whole.
template <class Hotkeys, class Actions>
LONG SaveStore(const Hotkeys& hotkeys, const Actions& actions) {
    using namespace store_detail;
    const UINT hotkeyCount = hotkeys.Count();
    const UINT actionCount = actions.Count();

    // Group first, so the save stays linear in hotkeys + actions; an action
    // whose owner names no hotkey is not written.
    ActionsByOwner groups(hotkeyCount, actionCount);
    for (UINT a = 0; a < actionCount; ++a)
        groups.Count(actions.At(a).owner);
    groups.Seal();
    for (UINT a = 0; a < actionCount; ++a)
        groups.Place(actions.At(a).owner, a);

    StoreLock lock;
    if (!lock.Held())
        return STORE_BUSY;
    TreeWriter writer;
    for (UINT i = 0; i < hotkeyCount; ++i) {
        writer.BeginHotkey(i, hotkeys.At(i));
        for (UINT slot = groups.Begin(i); slot < groups.End(i); ++slot)
            writer.WriteAction(actions.At(groups.ActionAt(slot)));
    }
    return writer.Commit(hotkeyCount);
}

// Appends the six default hotkeys and their actions; the lists must be empty.
template <class Hotkeys, class Actions> void AddDefaultHotkeys(Hotkeys& hotkeys, Actions& actions) {
    for (UINT n = 1; n <= DEFAULT_HOTKEY_COUNT; ++n) {
        HotkeyRecord hotkey;
        ActionRecord action;
        store_detail::DefaultHotkey(n, &hotkey, &action);
        hotkeys.Append(hotkey);
        actions.Append(action);
    }
}

// Creates the root with "version" = 257, then saves and writes the Run value.
// Nothing is written when the root cannot be created, and a root whose
// save failed is taken away again, so the next load starts over with the
// defaults rather than an empty list. ERROR_SUCCESS or the first error.
template <class Hotkeys, class Actions>
LONG WriteStoreVersion(HWND window, const Hotkeys& hotkeys, const Actions& actions) {
    LONG result = store_detail::WriteStoreRoot();
    if (result != ERROR_SUCCESS)
        return result;
    result = SaveStore(hotkeys, actions);
    if (result != ERROR_SUCCESS) {
        store_detail::DeleteStoreTree();
        return result;
    }
    WriteAutostart(window);
    return ERROR_SUCCESS;
}

// Keeps a store whose "version" is 257 or more; otherwise creates or resets it
// with the six defaults, which the lists then hold. `saved` receives the
// result of writing them (ERROR_SUCCESS when nothing needed writing).
template <class Hotkeys, class Actions>
int CheckStoreVersion(HWND window, Hotkeys& hotkeys, Actions& actions, LONG* saved = nullptr) {
    using namespace store_detail;
    LONG ignored = ERROR_SUCCESS;
    LONG& result = saved ? *saved : ignored;
    result = ERROR_SUCCESS;
    StoreLock lock; // at once when the caller holds it, as it should
    if (!lock.Held())
        return STORE_CURRENT; // judges nothing it cannot also write
    switch (JudgeStoreRoot()) {
    case ROOT_CURRENT:
        return STORE_CURRENT;
    case ROOT_MISSING:
        AddDefaultHotkeys(hotkeys, actions);
        result = WriteStoreVersion(window, hotkeys, actions);
        return STORE_RESET;
    case ROOT_OUTDATED:
    default:
        // The Run value is written once: a failing Run key says so once.
        DeleteStoreTree();
        AddDefaultHotkeys(hotkeys, actions);
        result = WriteStoreVersion(window, hotkeys, actions);
        return STORE_RESET;
    }
}

// Version check, then appends the stored records to the lists, which the
// caller has emptied. Positions follow the numeric order of the key names.
// ERROR_SUCCESS when the whole tree was read; STORE_BUSY when another writer
// held the store (nothing read); the error of a first run's save of the
// defaults (the lists hold them, the store does not); otherwise the first
// error that left part of the tree unread: what was read is in the lists,
// and it must not be saved back as the whole list.
template <class Hotkeys, class Actions>
LONG LoadStore(HWND window, Hotkeys& hotkeys, Actions& actions) {
    using namespace store_detail;
    StoreLock lock;
    if (!lock.Held())
        return STORE_BUSY;
    LONG saved = ERROR_SUCCESS;
    if (CheckStoreVersion(window, hotkeys, actions, &saved) == STORE_RESET)
        return saved;
    RecoverInterruptedSave();

    LONG error = ERROR_SUCCESS;
    RegKey header;
    LONG opened = header.Open(HKEY_CURRENT_USER, STORE_HEADER_PATH);
    if (opened != ERROR_SUCCESS) {
        NoteReadError(opened, &error);
        return error;
    }

    NumberedSubkeys hotkeyKeys(header.Get());
    for (UINT k = 0; k < hotkeyKeys.Count(); ++k) {
        RegKey hotkeyKey;
        LONG result = hotkeyKeys.Open(k, &hotkeyKey);
        if (result != ERROR_SUCCESS) {
            NoteReadError(result, &error);
            continue;
        }
        HotkeyRecord hotkey;
        ReadHotkeyValue(hotkeyKey.Get(), &hotkey);
        hotkeys.Append(hotkey);
        const UINT owner = hotkeys.Count() - 1;

        NumberedSubkeys nodeKeys(hotkeyKey.Get());
        for (UINT m = 0; m < nodeKeys.Count(); ++m) {
            RegKey nodeKey;
            result = nodeKeys.Open(m, &nodeKey);
            if (result != ERROR_SUCCESS) {
                NoteReadError(result, &error);
                continue;
            }
            ActionRecord action;
            ReadActionValue(nodeKey.Get(), &action);
            action.owner = owner; // the enclosing key decides, not the stored field
            actions.Append(action);
        }
        NoteReadError(nodeKeys.EnumerationError(), &error);
    }
    NoteReadError(hotkeyKeys.EnumerationError(), &error);
    return error;
}
