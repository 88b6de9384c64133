// A save cut short at any point: every state it can leave loads as the whole
// old or the whole new list, and the helper keys are gone afterwards. Keys
// that are not the store's own survive every save.
#include <windows.h>

#include <shlwapi.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "record_array.h"
#include "store.h"
#include "test_registry.h"

namespace {

using Hotkeys = RecordArray<HotkeyRecord>;
using Actions = RecordArray<ActionRecord>;

const wchar_t STAGING[] = L"HEADER.new";
const wchar_t RETIRED[] = L"Discarded HEADER";

// A list of `count` hotkeys with two actions each, told apart by `tag`.
void MakeList(const wchar_t* tag, UINT count, Hotkeys& hotkeys, Actions& actions) {
    hotkeys.Clear();
    actions.Clear();
    for (UINT i = 0; i < count; ++i) {
        HotkeyRecord hotkey = {};
        hotkey.modifiers = MOD_ALT;
        hotkey.virtualKey = 'A' + i;
        hotkey.enabled = 1;
        CopyBoundedText(hotkey.title, HOTKEY_TEXT_CHARS,
                        (std::wstring(tag) + L" " + std::to_wstring(i)).c_str());
        hotkeys.Append(hotkey);
        for (UINT j = 0; j < 2; ++j) {
            ActionRecord action = {};
            action.owner = i;
            CopyBoundedText(action.target, ACTION_PATH_CHARS,
                            (std::wstring(tag) + L" target " + std::to_wstring(j)).c_str());
            actions.Append(action);
        }
    }
}

// Writes the list as a tree under the root's subkey `name`, as a save
// writes it; `partial` stops after the first hotkey's header.
void WriteTreeAt(const wchar_t* name, const Hotkeys& hotkeys, const Actions& actions,
                 bool partial = false) {
    const std::wstring base = StorePath(name);
    CreateKeyOrFail(base);
    for (UINT i = 0; i < hotkeys.Count(); ++i) {
        const std::wstring key = base + L"\\" + std::to_wstring(i);
        WriteValue(key, L"header", REG_BINARY, &hotkeys.At(i), sizeof(HotkeyRecord));
        if (partial)
            return;
        UINT node = 0;
        for (UINT a = 0; a < actions.Count(); ++a) {
            if (actions.At(a).owner == i)
                WriteValue(key + L"\\" + std::to_wstring(node++), L"node", REG_BINARY,
                           &actions.At(a), sizeof(ActionRecord));
        }
    }
}

std::vector<std::wstring> RootSubkeys() {
    return SubkeyNames(StorePath());
}

} // namespace

TEST_F(StoreTest, EveryStateAnInterruptedSaveLeavesLoadsOneWholeList) {
    Hotkeys oldHotkeys, newHotkeys, loaded, empty;
    Actions oldActions, newActions, loadedActions, noActions;
    MakeList(L"old", 3, oldHotkeys, oldActions);
    MakeList(L"new", 4, newHotkeys, newActions);

    struct Case {
        const char* what;
        bool live, staged, stagedPartial, retired;
        int expected; // 0 old, 1 new, 2 none
    };
    const Case cases[] = {
        {"writing the new tree", true, true, true, false, 0},
        {"new tree written, nothing renamed", true, true, false, false, 0},
        {"old tree retired, new not yet live", false, true, false, true, 1},
        {"new tree live, old not yet deleted", true, false, false, true, 1},
        {"a first save writing its tree", false, true, true, false, 2},
        {"a retired tree alone", false, false, false, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SHDeleteKeyW(HKEY_CURRENT_USER, STORE_ROOT_PATH);
        WriteDword(StorePath(), L"version", 257);
        // The live tree holds the new list once it has been made live.
        if (c.live)
            WriteTreeAt(L"HEADER", c.retired ? newHotkeys : oldHotkeys,
                        c.retired ? newActions : oldActions);
        if (c.staged)
            WriteTreeAt(STAGING, newHotkeys, newActions, c.stagedPartial);
        if (c.retired)
            WriteTreeAt(RETIRED, oldHotkeys, oldActions);

        loaded.Clear();
        loadedActions.Clear();
        LoadStore(window(), loaded, loadedActions);
        if (c.expected == 0)
            EXPECT_TRUE(SameRecords(oldHotkeys, oldActions, loaded, loadedActions));
        else if (c.expected == 1)
            EXPECT_TRUE(SameRecords(newHotkeys, newActions, loaded, loadedActions));
        else
            EXPECT_TRUE(SameRecords(empty, noActions, loaded, loadedActions));
        EXPECT_EQ(c.expected == 2 ? std::vector<std::wstring>{}
                                  : std::vector<std::wstring>{L"HEADER"},
                  RootSubkeys())
            << "the load leaves only the live tree";
    }

    // A save that finds a left-over also cleans it up first.
    SHDeleteKeyW(HKEY_CURRENT_USER, STORE_ROOT_PATH);
    WriteDword(StorePath(), L"version", 257);
    WriteTreeAt(L"HEADER", oldHotkeys, oldActions);
    WriteTreeAt(STAGING, oldHotkeys, oldActions, true);
    SaveStore(newHotkeys, newActions);
    EXPECT_EQ(std::vector<std::wstring>{L"HEADER"}, RootSubkeys());
    loaded.Clear();
    loadedActions.Clear();
    LoadStore(window(), loaded, loadedActions);
    EXPECT_TRUE(SameRecords(newHotkeys, newActions, loaded, loadedActions));
}

TEST_F(StoreTest, SavesKeepTodaysLayoutAndEveryForeignKeyBesideIt) {
    WriteDword(StorePath(), L"version", 257);
    // Siblings on both sides of every name a save uses, one right after
    // HEADER: the arrangement in which a faulty rename overwrites a sibling.
    const std::vector<std::wstring> foreign = {L"A",        L"Discarded", L"HEADER.a",
                                               L"HEADER.z", L"HEADERS",   L"Zeta"};
    for (const std::wstring& name : foreign)
        WriteDword(StorePath(name), L"mark", 7);

    Hotkeys hotkeys, loaded;
    Actions actions, loadedActions;
    for (UINT round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        MakeList(round % 2 ? L"odd" : L"even", round == 2 ? 0 : 12, hotkeys, actions);
        SaveStore(hotkeys, actions);
        std::vector<std::wstring> expected = foreign;
        if (hotkeys.Count())
            expected.push_back(L"HEADER");
        std::vector<std::wstring> names = RootSubkeys();
        std::sort(names.begin(), names.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(expected, names);
        for (const std::wstring& name : foreign)
            EXPECT_EQ(4u, ReadValue(StorePath(name), L"mark").size())
                << std::string(name.begin(), name.end());
        if (hotkeys.Count()) {
            std::vector<std::wstring> numbers = SubkeyNames(StorePath(L"HEADER"));
            EXPECT_EQ(12u, numbers.size());
            for (UINT i = 0; i < 12; ++i)
                EXPECT_EQ(std::vector<std::wstring>({L"0", L"1"}),
                          SubkeyNames(StorePath(L"HEADER\\" + std::to_wstring(i))));
        }
        loaded.Clear();
        loadedActions.Clear();
        LoadStore(window(), loaded, loadedActions);
        EXPECT_TRUE(SameRecords(hotkeys, actions, loaded, loadedActions));
    }
    for (const std::wstring& name : foreign)
        SHDeleteKeyW(HKEY_CURRENT_USER, StorePath(name).c_str());
}
