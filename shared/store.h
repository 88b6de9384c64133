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

void DeleteHeaderTree();

// Read "header" / "node" into an all-zero record: a value that cannot be
// read, or is longer than the record, leaves it all zero; a shorter one fills
// the leading bytes. Every text is cut to its field.
void ReadHotkeyValue(HKEY key, HotkeyRecord* hotkey);
void ReadActionValue(HKEY key, ActionRecord* action);

// The subkeys of a key in load order: plain decimal names in numeric order,
// then every other name in the registry's enumeration order.
class NumberedSubkeys {
  public:
    explicit NumberedSubkeys(HKEY parent);
    UINT Count() const { return entries_.Count(); }
    LONG Open(UINT index, RegKey* key) const;

    struct Entry {
        UINT enumIndex;
        UINT number;
        BOOL plain;
    };

  private:
    HKEY parent_;
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

// Writes one hotkey key and its numbered node keys.
class HotkeyKeyWriter {
  public:
    HotkeyKeyWriter(UINT position, const HotkeyRecord& hotkey);
    void WriteAction(const ActionRecord& action);

  private:
    RegKey key_;
    UINT position_;
    UINT nextNode_ = 0;
};

} // namespace store_detail

// Deletes the HEADER subtree and writes every record from the lists.
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

    DeleteHeaderTree();
    for (UINT i = 0; i < hotkeyCount; ++i) {
        HotkeyKeyWriter writer(i, hotkeys.At(i));
        for (UINT slot = groups.Begin(i); slot < groups.End(i); ++slot)
            writer.WriteAction(actions.At(groups.ActionAt(slot)));
    }
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
    switch (JudgeStoreRoot()) {
    case ROOT_CURRENT:
        return STORE_CURRENT;
    case ROOT_MISSING:
        AddDefaultHotkeys(hotkeys, actions);
        WriteStoreVersion(window, hotkeys, actions);
        return STORE_RESET;
    case ROOT_OUTDATED:
    default:
        // The reset writes the Run value twice, as the first save is of the
        // lists as they stand, still empty.
        DeleteStoreTree();
        WriteStoreVersion(window, hotkeys, actions);
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
    if (CheckStoreVersion(window, hotkeys, actions) == STORE_RESET)
        return;

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
