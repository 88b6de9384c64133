// The hotkey store against the real registry: defaults, version check, load
// and save rules, autostart value.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "maker_site.h"
#include "record_array.h"
#include "store.h"
#include "test_registry.h"

namespace {

using Hotkeys = RecordArray<HotkeyRecord>;
using Actions = RecordArray<ActionRecord>;

HotkeyRecord MakeHotkey(const wchar_t* title, UINT modifiers = MOD_CONTROL, UINT key = 'Q',
                        BYTE enabled = 1) {
    HotkeyRecord hotkey = {};
    hotkey.modifiers = modifiers;
    hotkey.virtualKey = key;
    hotkey.enabled = enabled;
    CopyBoundedText(hotkey.title, HOTKEY_TEXT_CHARS, title);
    CopyBoundedText(hotkey.description, HOTKEY_TEXT_CHARS, L"description");
    return hotkey;
}

ActionRecord MakeFileAction(UINT owner, const wchar_t* target) {
    ActionRecord action = {};
    action.owner = owner;
    action.kind = ACTION_FILE_URL;
    CopyBoundedText(action.target, ACTION_PATH_CHARS, target);
    return action;
}

std::wstring HotkeyPath(UINT i) {
    return StorePath(L"HEADER\\" + std::to_wstring(i));
}
std::wstring NodePath(UINT i, UINT j) {
    return HotkeyPath(i) + L"\\" + std::to_wstring(j);
}

void Load(HWND window, Hotkeys& hotkeys, Actions& actions) {
    hotkeys.Clear();
    actions.Clear();
    LoadStore(window, hotkeys, actions);
}

// The six defaults, in order, as the lists must hold them.
void ExpectDefaults(const Hotkeys& hotkeys, const Actions& actions) {
    struct Expected {
        UINT modifiers, key;
        BYTE enabled;
        const wchar_t *title, *description;
        UINT kind;
        const wchar_t* target;
        UINT code;
    };
    const Expected expected[6] = {
        {3, 0x76, 1, L"Configure Pendrix", L"Sample Shortcut 1", 1, L"", 0x1A00},
        {6, 0x49, 1, L"Internet Explorer", L"Sample Shortcut 2", 0, L"about:blank", 0},
        {6, 0x43, 1, L"Calculator", L"Sample Shortcut 3", 0, L"calc.exe", 0},
        {6, 0x4D, 1, L"Media Player", L"Sample Shortcut 4", 0, L"wmplayer.exe", 0},
        {6, 0x47, 1, L"Pendrix Website", L"Sample Shortcut 5", 0, MAKER_SITE_URL L"/?id=pendrix",
         0},
        {7, 0x08, 0, L"Shutdown System", L"Sample Shortcut 6", 1, L"", 0x0A01},
    };
    ASSERT_EQ(6u, hotkeys.Count());
    ASSERT_EQ(6u, actions.Count());
    for (UINT n = 0; n < 6; ++n) {
        const HotkeyRecord& h = hotkeys.At(n);
        const ActionRecord& a = actions.At(n);
        EXPECT_EQ(expected[n].modifiers, h.modifiers) << n;
        EXPECT_EQ(expected[n].key, h.virtualKey) << n;
        EXPECT_EQ(expected[n].enabled, h.enabled) << n;
        EXPECT_EQ(0, h.runSequentially) << n;
        EXPECT_STREQ(expected[n].title, h.title) << n;
        EXPECT_STREQ(expected[n].description, h.description) << n;
        EXPECT_EQ(n, a.owner);
        EXPECT_EQ(expected[n].kind, a.kind) << n;
        EXPECT_STREQ(expected[n].target, a.target) << n;
        EXPECT_STREQ(L"", a.startIn) << n;
        EXPECT_STREQ(L"", a.parameters) << n;
        EXPECT_EQ(expected[n].code, a.commandCode) << n;
        EXPECT_EQ(0u, a.commandName) << n;
    }
}

// The stored tree holds exactly the six defaults, version 257 and the Run value.
void ExpectStoredDefaults() {
    DWORD type = 0;
    std::vector<BYTE> version = ReadValue(StorePath(), L"version", &type);
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    ASSERT_EQ(4u, version.size());
    DWORD number;
    memcpy(&number, version.data(), 4);
    EXPECT_EQ(257u, number);
    EXPECT_EQ((std::vector<std::wstring>{L"0", L"1", L"2", L"3", L"4", L"5"}),
              SubkeyNames(StorePath(L"HEADER")));
    for (UINT i = 0; i < 6; ++i)
        EXPECT_EQ(std::vector<std::wstring>{L"0"}, SubkeyNames(HotkeyPath(i))) << i;
    EXPECT_FALSE(ReadAutostartValue().empty());
}

std::wstring OwnProgramPath() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

// A store with the current version and one hotkey of the user's.
void WriteUserStore(DWORD versionType, const void* version, DWORD versionSize) {
    WriteValue(StorePath(), L"version", versionType, version, versionSize);
    HotkeyRecord mine = MakeHotkey(L"Mine");
    WriteValue(HotkeyPath(0), L"header", REG_BINARY, &mine, sizeof mine);
}

} // namespace

TEST_F(StoreTest, FirstRunWritesTheDefaultsByteForByteAndTheQuotedRunValue) {
    Hotkeys hotkeys;
    Actions actions;
    LoadStore(window(), hotkeys, actions);
    ExpectDefaults(hotkeys, actions);
    ExpectStoredDefaults();

    // Default hotkey 2 in HEADER\1, as documented byte for byte.
    std::vector<BYTE> expected(140, 0);
    expected[0] = 0x06;
    expected[4] = 0x49;
    const wchar_t description[] = L"Sample Shortcut 2";
    const wchar_t title[] = L"Internet Explorer";
    memcpy(&expected[8], description, wcslen(description) * 2);
    memcpy(&expected[72], title, wcslen(title) * 2);
    expected[136] = 0x01;
    DWORD type = 0;
    EXPECT_EQ(expected, ReadValue(HotkeyPath(1), L"header", &type));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);

    std::vector<BYTE> node(1184, 0);
    node[0] = 0x01;
    const wchar_t target[] = L"about:blank";
    memcpy(&node[528], target, wcslen(target) * 2);
    EXPECT_EQ(node, ReadValue(NodePath(1, 0), L"node", &type));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);

    // Quoted, so that a path with blanks still yields the tail "/background".
    EXPECT_EQ(L"\"" + OwnProgramPath() + L"\" /background", ReadAutostartValue());

    // A second load keeps the store and reads the same records back.
    Load(window(), hotkeys, actions);
    ExpectDefaults(hotkeys, actions);
}

TEST_F(StoreTest, VersionCheckKeepsCurrentStoresAndResetsOthers) {
    struct Case {
        const char* name;
        DWORD type;
        std::vector<BYTE> data; // empty = no "version" value
        bool kept;
    };
    const Case cases[] = {
        {"257", REG_DWORD, {0x01, 0x01, 0x00, 0x00}, true},
        {"largest", REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}, true},
        {"258", REG_DWORD, {0x02, 0x01, 0x00, 0x00}, true},
        {"two-byte 01 01", REG_BINARY, {0x01, 0x01}, true},
        {"256", REG_DWORD, {0x00, 0x01, 0x00, 0x00}, false},
        {"0", REG_DWORD, {0x00, 0x00, 0x00, 0x00}, false},
        {"REG_SZ 257", REG_SZ, {'2', 0, '5', 0, '7', 0, 0, 0}, false},
        {"missing", REG_NONE, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClearStoreAndAutostart();
        if (c.data.empty()) {
            HotkeyRecord mine = MakeHotkey(L"Mine");
            WriteValue(HotkeyPath(0), L"header", REG_BINARY, &mine, sizeof mine);
        } else {
            WriteUserStore(c.type, c.data.data(), static_cast<DWORD>(c.data.size()));
        }
        Hotkeys hotkeys;
        Actions actions;
        LoadStore(window(), hotkeys, actions);
        if (c.kept) {
            ASSERT_EQ(1u, hotkeys.Count());
            EXPECT_STREQ(L"Mine", hotkeys.At(0).title);
            EXPECT_EQ(0u, actions.Count());
            EXPECT_EQ(c.data, ReadValue(StorePath(), L"version")) << "version left as it was";
            EXPECT_TRUE(ReadAutostartValue().empty()) << "Run value written only on a reset";
        } else {
            // The user's hotkey is gone: exactly the defaults remain.
            ExpectDefaults(hotkeys, actions);
            ExpectStoredDefaults();
            Load(window(), hotkeys, actions);
            ExpectDefaults(hotkeys, actions);
        }
    }
}

TEST_F(StoreTest, AStoreWithoutHotkeysStaysEmpty) {
    // No HEADER key at all.
    WriteDword(StorePath(), L"version", 257);
    Hotkeys hotkeys;
    Actions actions;
    LoadStore(window(), hotkeys, actions);
    EXPECT_EQ(0u, hotkeys.Count());
    EXPECT_EQ(0u, actions.Count());
    EXPECT_FALSE(KeyExists(StorePath(L"HEADER")));

    // An empty HEADER key.
    CreateKeyOrFail(StorePath(L"HEADER"));
    Load(window(), hotkeys, actions);
    EXPECT_EQ(0u, hotkeys.Count());

    // Deleting the last hotkey and saving leaves no HEADER; the defaults stay away.
    Hotkeys one;
    Actions oneAction;
    one.Append(MakeHotkey(L"Last"));
    oneAction.Append(MakeFileAction(0, L"x.exe"));
    SaveStore(one, oneAction);
    ASSERT_TRUE(KeyExists(HotkeyPath(0)));
    Hotkeys none;
    Actions noActions;
    SaveStore(none, noActions);
    EXPECT_FALSE(KeyExists(StorePath(L"HEADER")));
    EXPECT_TRUE(ValueExists(StorePath(), L"version"));
    Load(window(), hotkeys, actions);
    EXPECT_EQ(0u, hotkeys.Count());
    EXPECT_EQ(0u, actions.Count());
}

TEST_F(StoreTest, LoadTakesOwnersFromKeysAndToleratesDamagedValues) {
    WriteDword(StorePath(), L"version", 257);

    // HEADER\0: a node whose stored owner says 7.
    HotkeyRecord first = MakeHotkey(L"First");
    WriteValue(HotkeyPath(0), L"header", REG_BINARY, &first, sizeof first);
    ActionRecord stray = MakeFileAction(7, L"first.exe");
    WriteValue(NodePath(0, 0), L"node", REG_BINARY, &stray, sizeof stray);

    // HEADER\1: no "header", a node key without "node", and a node too long.
    CreateKeyOrFail(NodePath(1, 0));
    std::vector<BYTE> tooLong(1185, 0x41);
    WriteValue(NodePath(1, 1), L"node", REG_BINARY, tooLong.data(), 1185);

    // HEADER\2: a short "header" (8 bytes: modifiers and key only).
    const UINT32 shortHeader[2] = {MOD_WIN, 'K'};
    WriteValue(HotkeyPath(2), L"header", REG_BINARY, shortHeader, sizeof shortHeader);

    // HEADER\3: texts without a NUL inside their fields.
    HotkeyRecord unterminated = MakeHotkey(L"");
    for (UINT i = 0; i < HOTKEY_TEXT_CHARS; ++i) {
        unterminated.title[i] = L'T';
        unterminated.description[i] = L'D';
    }
    unterminated.reserved[0] = 0xAB;
    WriteValue(HotkeyPath(3), L"header", REG_BINARY, &unterminated, sizeof unterminated);
    ActionRecord unterminatedAction = MakeFileAction(3, L"");
    for (UINT i = 0; i < ACTION_PATH_CHARS; ++i) {
        unterminatedAction.target[i] = L'P';
        unterminatedAction.startIn[i] = L'S';
    }
    for (UINT i = 0; i < ACTION_PARAMETERS_CHARS; ++i)
        unterminatedAction.parameters[i] = L'A';
    WriteValue(NodePath(3, 0), L"node", REG_BINARY, &unterminatedAction, sizeof unterminatedAction);

    // HEADER\4: a "header" longer than the record.
    std::vector<BYTE> longHeader(141, 0x42);
    WriteValue(HotkeyPath(4), L"header", REG_BINARY, longHeader.data(), 141);

    Hotkeys hotkeys;
    Actions actions;
    LoadStore(window(), hotkeys, actions);
    ASSERT_EQ(5u, hotkeys.Count());
    ASSERT_EQ(4u, actions.Count());
    const HotkeyRecord zeroHotkey = {};
    const ActionRecord zeroAction = {};

    EXPECT_STREQ(L"First", hotkeys.At(0).title);
    EXPECT_EQ(0u, actions.At(0).owner);
    EXPECT_STREQ(L"first.exe", actions.At(0).target);

    EXPECT_EQ(0, memcmp(&zeroHotkey, &hotkeys.At(1), sizeof zeroHotkey)) << "all-zero hotkey";
    EXPECT_EQ(1u, actions.At(1).owner);
    EXPECT_EQ(ACTION_FILE_URL, actions.At(1).kind);
    EXPECT_STREQ(L"", actions.At(1).target);
    ActionRecord expectZero = zeroAction;
    expectZero.owner = 1;
    EXPECT_EQ(0, memcmp(&expectZero, &actions.At(2), sizeof expectZero)) << "too-long node";

    EXPECT_EQ(static_cast<UINT32>(MOD_WIN), hotkeys.At(2).modifiers);
    EXPECT_EQ(static_cast<UINT32>('K'), hotkeys.At(2).virtualKey);
    EXPECT_STREQ(L"", hotkeys.At(2).title);
    EXPECT_EQ(0, hotkeys.At(2).enabled);

    EXPECT_EQ(std::wstring(31, L'T'), hotkeys.At(3).title);
    EXPECT_EQ(std::wstring(31, L'D'), hotkeys.At(3).description);
    EXPECT_EQ(0xAB, hotkeys.At(3).reserved[0]) << "reserved bytes are kept";
    EXPECT_EQ(std::wstring(259, L'P'), actions.At(3).target);
    EXPECT_EQ(std::wstring(259, L'S'), actions.At(3).startIn);
    EXPECT_EQ(std::wstring(63, L'A'), actions.At(3).parameters);

    EXPECT_EQ(0, memcmp(&zeroHotkey, &hotkeys.At(4), sizeof zeroHotkey)) << "too-long header";
}

TEST_F(StoreTest, MoreThanTenHotkeysAndActionsKeepTheirNumericOrder) {
    WriteDword(StorePath(), L"version", 257);
    Hotkeys hotkeys;
    Actions actions;
    for (UINT i = 0; i < 12; ++i)
        hotkeys.Append(MakeHotkey((L"Hotkey " + std::to_wstring(i)).c_str()));
    for (UINT j = 0; j < 12; ++j)
        actions.Append(MakeFileAction(11, (L"action " + std::to_wstring(j)).c_str()));
    actions.Append(MakeFileAction(10, L"of ten"));
    SaveStore(hotkeys, actions);
    // The registry itself enumerates the names as text.
    EXPECT_EQ(L"10", SubkeyNames(StorePath(L"HEADER"))[2]);

    // Keys whose names are not positions follow the numbered ones.
    HotkeyRecord odd = MakeHotkey(L"Odd name");
    WriteValue(StorePath(L"HEADER\\007"), L"header", REG_BINARY, &odd, sizeof odd);
    HotkeyRecord named = MakeHotkey(L"Named");
    WriteValue(StorePath(L"HEADER\\abc"), L"header", REG_BINARY, &named, sizeof named);

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        Load(window(), hotkeys, actions);
        ASSERT_EQ(14u, hotkeys.Count());
        for (UINT i = 0; i < 12; ++i)
            EXPECT_EQ(L"Hotkey " + std::to_wstring(i), hotkeys.At(i).title);
        EXPECT_STREQ(L"Odd name", hotkeys.At(12).title);
        EXPECT_STREQ(L"Named", hotkeys.At(13).title);
        ASSERT_EQ(13u, actions.Count());
        EXPECT_EQ(10u, actions.At(0).owner);
        EXPECT_STREQ(L"of ten", actions.At(0).target);
        for (UINT j = 0; j < 12; ++j) {
            EXPECT_EQ(11u, actions.At(j + 1).owner);
            EXPECT_EQ(L"action " + std::to_wstring(j), actions.At(j + 1).target);
        }
        // Saving what was loaded keeps every position (the agent does this).
        SaveStore(hotkeys, actions);
    }
    EXPECT_FALSE(KeyExists(StorePath(L"HEADER\\abc"))) << "renumbered by the save";
    EXPECT_STREQ(L"Named", hotkeys.At(13).title);
}

TEST_F(StoreTest, SaveRewritesTheWholeTreeAndKeepsEachHotkeysActionsInOrder) {
    WriteDword(StorePath(), L"version", 257);
    // Left-overs that the save must remove.
    HotkeyRecord old = MakeHotkey(L"Old");
    WriteValue(HotkeyPath(7), L"header", REG_BINARY, &old, sizeof old);
    CreateKeyOrFail(NodePath(0, 5));

    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"A"));
    hotkeys.Append(MakeHotkey(L"B"));
    // Interleaved owners, one owner without a hotkey, and a huge owner.
    actions.Append(MakeFileAction(1, L"b1"));
    actions.Append(MakeFileAction(0, L"a1"));
    actions.Append(MakeFileAction(2, L"orphan"));
    actions.Append(MakeFileAction(1, L"b2"));
    actions.Append(MakeFileAction(0xFFFFFFFF, L"far orphan"));
    actions.Append(MakeFileAction(0, L"a2"));
    actions.Append(MakeFileAction(1, L"b3"));
    // A text in memory without its NUL is stored cut to its field.
    HotkeyRecord& b = hotkeys.At(1);
    for (UINT i = 0; i < HOTKEY_TEXT_CHARS; ++i)
        b.description[i] = L'x';
    SaveStore(hotkeys, actions);

    EXPECT_EQ((std::vector<std::wstring>{L"0", L"1"}), SubkeyNames(StorePath(L"HEADER")));
    EXPECT_EQ((std::vector<std::wstring>{L"0", L"1"}), SubkeyNames(HotkeyPath(0)));
    EXPECT_EQ((std::vector<std::wstring>{L"0", L"1", L"2"}), SubkeyNames(HotkeyPath(1)));
    const wchar_t* expected[2][3] = {{L"a1", L"a2", nullptr}, {L"b1", L"b2", L"b3"}};
    for (UINT i = 0; i < 2; ++i) {
        for (UINT j = 0; j < 3 && expected[i][j]; ++j) {
            std::vector<BYTE> node = ReadValue(NodePath(i, j), L"node");
            ASSERT_EQ(1184u, node.size());
            ActionRecord stored;
            memcpy(&stored, node.data(), sizeof stored);
            EXPECT_EQ(i, stored.owner) << "owner written as the enclosing key";
            EXPECT_STREQ(expected[i][j], stored.target);
        }
    }
    std::vector<BYTE> header = ReadValue(HotkeyPath(1), L"header");
    ASSERT_EQ(140u, header.size());
    HotkeyRecord storedB;
    memcpy(&storedB, header.data(), sizeof storedB);
    EXPECT_EQ(std::wstring(31, L'x'), storedB.description);
    EXPECT_STREQ(L"B", storedB.title);

    // Loaded back: grouped by hotkey, in order, orphans gone.
    Load(window(), hotkeys, actions);
    ASSERT_EQ(5u, actions.Count());
    EXPECT_STREQ(L"a1", actions.At(0).target);
    EXPECT_STREQ(L"a2", actions.At(1).target);
    EXPECT_STREQ(L"b1", actions.At(2).target);
    EXPECT_STREQ(L"b3", actions.At(4).target);
}

TEST_F(StoreTest, AddDefaultHotkeysAppendsSixHotkeysEachWithOneAction) {
    Hotkeys hotkeys;
    Actions actions;
    AddDefaultHotkeys(hotkeys, actions);
    ExpectDefaults(hotkeys, actions);
    EXPECT_FALSE(KeyExists(StorePath())) << "appending touches no registry";
}

TEST_F(StoreTest, ALibraryNamesTheAgentProgramInItsOwnFolder) {
    std::wstring folder = OwnProgramPath();
    folder.erase(folder.find_last_of(L'\\') + 1);
    HMODULE probe = LoadLibraryW((folder + L"autostart_probe.dll").c_str());
    ASSERT_NE(nullptr, probe);
    auto write = reinterpret_cast<void (*)()>(GetProcAddress(probe, "ProbeWriteAutostart"));
    ASSERT_NE(nullptr, write);
    write();
    FreeLibrary(probe);
    EXPECT_EQ(L"\"" + folder + L"pendrixd.exe\" /background", ReadAutostartValue());
}

namespace {

struct LoadRun {
    HWND window;
    Hotkeys hotkeys;
    Actions actions;
};

DWORD WINAPI LoadOnThread(void* parameter) {
    LoadRun* run = static_cast<LoadRun*>(parameter);
    LoadStore(run->window, run->hotkeys, run->actions);
    return 0;
}

} // namespace

TEST_F(StoreTest, AFailingRunKeyIsReportedOncePerReset) {
    for (int outdated = 0; outdated < 2; ++outdated) {
        SCOPED_TRACE(outdated ? "a reset of an outdated store" : "a first run");
        ClearStoreAndAutostart();
        if (outdated)
            WriteDword(StorePath(), L"version", 256);
        ReadOnlyKey run(AUTOSTART_KEY_PATH);
        ASSERT_TRUE(run.locked());
        ASSERT_TRUE(run.Denies()) << "the registry here does not deny the key";

        LoadRun load = {window(), {}, {}};
        HANDLE thread = CreateThread(nullptr, 0, LoadOnThread, &load, 0, nullptr);
        int boxes = 0;
        const DWORD start = GetTickCount();
        while (WaitForSingleObject(thread, 50) == WAIT_TIMEOUT && GetTickCount() - start < 20000) {
            HWND box = FindWindowW(L"#32770", MAKER_SITE_LABEL);
            if (box && IsWindowVisible(box)) {
                ++boxes;
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                for (int i = 0; i < 250 && IsWindow(box); ++i)
                    Sleep(20);
            }
        }
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 0));
        CloseHandle(thread);
        EXPECT_EQ(1, boxes) << "\"Error setting Startup Settings\" once";
        EXPECT_EQ(6u, load.hotkeys.Count());
        EXPECT_EQ(6u, SubkeyNames(StorePath(L"HEADER")).size());
    }
}
