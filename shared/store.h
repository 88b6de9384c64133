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

// Writes the "pendrixd" Run value: the quoted path of the agent program
// followed by " /background". The program is the module that owns `window`
// when that is a program; when it is a library, pendrixd.exe in the
// library's folder.
void WriteAutostart(HWND window);

// The pieces the store templates are made of.
namespace store_detail {

enum RootState { ROOT_MISSING, ROOT_OUTDATED, ROOT_CURRENT };

RootState JudgeStoreRoot();
void DeleteStoreTree();
bool CreateStoreRootWithVersion();
void DefaultHotkey(UINT n, HotkeyRecord* hotkey, ActionRecord* action);

// Serializes the store operations of every process of the log-on, so that a
// save never interleaves with another process's save or load. Recursive on
// one thread; a holder that died leaves it to the next one.
class StoreLock {
  public:
    StoreLock();
    ~StoreLock();
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;

  private:
    HANDLE mutex_;
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
// it has emptied first.
class TreeWriter {
  public:
    TreeWriter();
    void BeginHotkey(UINT position, const HotkeyRecord& hotkey);
    void WriteAction(const ActionRecord& action);
    void Commit(UINT hotkeyCount);

  private:
    RegKey root_;
    RegKey tree_;
    RegKey hotkey_;
    UINT position_ = 0;
    UINT nextNode_ = 0;
    bool staged_ = false;
};

} // namespace store_detail

// Writes every record from the lists as the new HEADER subtree, replacing
// the old one whole.
template <class Hotkeys, class Actions>
void SaveStore(const Hotkeys& hotkeys, const Actions& actions) {
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
    TreeWriter writer;
    for (UINT i = 0; i < hotkeyCount; ++i) {
        writer.BeginHotkey(i, hotkeys.At(i));
        for (UINT slot = groups.Begin(i); slot < groups.End(i); ++slot)
            writer.WriteAction(actions.At(groups.ActionAt(slot)));
    }
    writer.Commit(hotkeyCount);
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
// Nothing is written when the root cannot be created.
template <class Hotkeys, class Actions>
void WriteStoreVersion(HWND window, const Hotkeys& hotkeys, const Actions& actions) {
    if (!store_detail::CreateStoreRootWithVersion())
        return;
    SaveStore(hotkeys, actions);
    WriteAutostart(window);
}

// Keeps a store whose "version" is 257 or more; otherwise creates or resets it
// with the six defaults, which the lists then hold.
template <class Hotkeys, class Actions>
int CheckStoreVersion(HWND window, Hotkeys& hotkeys, Actions& actions) {
    using namespace store_detail;
    StoreLock lock;
    switch (JudgeStoreRoot()) {
    case ROOT_CURRENT:
        return STORE_CURRENT;
    case ROOT_MISSING:
        AddDefaultHotkeys(hotkeys, actions);
        WriteStoreVersion(window, hotkeys, actions);
        return STORE_RESET;
    case ROOT_OUTDATED:
    default:
        // The Run value is written once: a failing Run key says so once.
        DeleteStoreTree();
        CreateStoreRootWithVersion();
        AddDefaultHotkeys(hotkeys, actions);
        SaveStore(hotkeys, actions);
        WriteAutostart(window);
        return STORE_RESET;
    }
}

// Version check, then appends the stored records to the lists, which the
// caller has emptied. Positions follow the numeric order of the key names.
template <class Hotkeys, class Actions>
void LoadStore(HWND window, Hotkeys& hotkeys, Actions& actions) {
    using namespace store_detail;
    StoreLock lock;
    if (CheckStoreVersion(window, hotkeys, actions) == STORE_RESET)
        return;
    RecoverInterruptedSave();

    RegKey header;
    if (header.Open(HKEY_CURRENT_USER, STORE_HEADER_PATH) != ERROR_SUCCESS)
        return;

    NumberedSubkeys hotkeyKeys(header.Get());
    for (UINT k = 0; k < hotkeyKeys.Count(); ++k) {
        RegKey hotkeyKey;
        if (hotkeyKeys.Open(k, &hotkeyKey) != ERROR_SUCCESS)
            continue;
        HotkeyRecord hotkey;
        ReadHotkeyValue(hotkeyKey.Get(), &hotkey);
        hotkeys.Append(hotkey);
        const UINT owner = hotkeys.Count() - 1;

        NumberedSubkeys nodeKeys(hotkeyKey.Get());
        for (UINT m = 0; m < nodeKeys.Count(); ++m) {
            RegKey nodeKey;
            if (nodeKeys.Open(m, &nodeKey) != ERROR_SUCCESS)
                continue;
            ActionRecord action;
            ReadActionValue(nodeKey.Get(), &action);
            action.owner = owner; // the enclosing key decides, not the stored field
            actions.Append(action);
        }
    }
}
