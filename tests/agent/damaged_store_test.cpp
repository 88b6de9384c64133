// Whatever another program leaves under the store's key, the real agent
// reloads it and the real library opens and closes on it without a crash, a
// hang or an over-read, and what they save is a well-formed store with every
// record they could read. The trees are random; the seed is printed, and
// PENDRIX_SEED=<n> replays one run.
#include <windows.h>

#include <commctrl.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agent_harness.h"
#include "dialog_driver.h"
#include "store.h"
#include "test_registry.h"

namespace {

unsigned Seed() {
    char text[32];
    if (GetEnvironmentVariableA("PENDRIX_SEED", text, sizeof text) > 0)
        return static_cast<unsigned>(strtoul(text, nullptr, 10));
    return GetTickCount();
}

HKEY CreateKey(HKEY parent, const std::wstring& name) {
    HKEY key = nullptr;
    RegCreateKeyExW(parent, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    return key;
}

// What the load of a generated tree must yield: the number of hotkeys and
// the node count of each, in any order.
struct Expected {
    bool reset = false;
    std::vector<UINT> nodeCounts;
};

class TreeMaker {
  public:
    explicit TreeMaker(unsigned seed) : random_(seed) {}

    Expected Make() {
        Expected expected;
        SHDeleteKeyW(HKEY_CURRENT_USER, STORE_ROOT_PATH);
        HKEY root = CreateKey(HKEY_CURRENT_USER, STORE_ROOT_PATH);
        const int versionKind = Pick(20);
        if (versionKind == 0) {
            RegSetValueExW(root, L"version", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"257"), 8);
            expected.reset = true;
        } else if (versionKind == 1) {
            const BYTE twoBytes[2] = {1, 1}; // reads as 257
            RegSetValueExW(root, L"version", 0, REG_BINARY, twoBytes, 2);
        } else {
            DWORD version = versionKind == 2 ? 0xFFFFFFFF : 257;
            RegSetValueExW(root, L"version", 0, REG_DWORD, reinterpret_cast<BYTE*>(&version), 4);
        }
        const int headerKind = Pick(15);
        if (headerKind <= 1)
            WriteRandomValue(root, L"HEADER"); // HEADER as a value
        if (headerKind != 0) {
            HKEY header = CreateKey(root, L"HEADER");
            const bool crowd = Pick(40) == 0; // hundreds with one combination
            const UINT hotkeys = crowd ? 200 + Pick(200) : Pick(12);
            std::vector<std::wstring> names = Names(hotkeys);
            for (const std::wstring& name : names) {
                HKEY hotkeyKey = CreateKey(header, name);
                if (!hotkeyKey)
                    continue;
                if (crowd)
                    WriteCrowdHeader(hotkeyKey);
                else if (Pick(8) != 0)
                    WriteRecordValue(hotkeyKey, L"header", sizeof(HotkeyRecord));
                if (Pick(6) == 0)
                    WriteRandomValue(hotkeyKey, L"stray");
                const UINT nodes = crowd ? Pick(2) : Pick(6);
                std::vector<std::wstring> nodeNames = Names(nodes);
                UINT made = 0;
                for (const std::wstring& nodeName : nodeNames) {
                    HKEY nodeKey = CreateKey(hotkeyKey, nodeName);
                    if (!nodeKey)
                        continue;
                    ++made;
                    if (Pick(8) != 0)
                        WriteRecordValue(nodeKey, L"node", sizeof(ActionRecord));
                    if (Pick(10) == 0) { // nested deeper than any node
                        HKEY deeper = CreateKey(nodeKey, L"0");
                        WriteRecordValue(deeper, L"node", sizeof(ActionRecord));
                        RegCloseKey(deeper);
                    }
                    RegCloseKey(nodeKey);
                }
                expected.nodeCounts.push_back(made);
                RegCloseKey(hotkeyKey);
            }
            RegCloseKey(header);
        }
        RegCloseKey(root);
        if (expected.reset)
            expected.nodeCounts.assign(DEFAULT_HOTKEY_COUNT, 1);
        return expected;
    }

  private:
    UINT Pick(UINT below) { return static_cast<UINT>(random_() % below); }

    // Key names: mostly the plain numbers a save writes, with gaps, and
    // now and then names that are no position at all.
    std::vector<std::wstring> Names(UINT count) {
        std::vector<std::wstring> names;
        UINT next = 0;
        while (names.size() < count) {
            std::wstring name;
            switch (Pick(20)) {
            case 0:
                name = L"00" + std::to_wstring(Pick(10));
                break;
            case 1:
                name = L"-1";
                break;
            case 2:
                name = L"4294967296";
                break;
            case 3:
                name = L" 3";
                break;
            case 4:
                name = std::wstring(255, static_cast<wchar_t>(L'a' + Pick(26)));
                break;
            case 5:
                name = L"\u00e9t\u00e9 \u4e2d" + std::to_wstring(Pick(5));
                break;
            case 6:
                next += 1 + Pick(3); // a gap
                name = std::to_wstring(next++);
                break;
            default:
                name = std::to_wstring(next++);
                break;
            }
            if (std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(name);
        }
        return names;
    }

    std::vector<BYTE> RandomBytes(size_t size) {
        std::vector<BYTE> bytes(size);
        for (BYTE& b : bytes)
            b = static_cast<BYTE>(random_());
        return bytes;
    }

    DWORD RandomType() {
        const DWORD types[] = {REG_BINARY,   REG_BINARY, REG_BINARY, REG_SZ,   REG_EXPAND_SZ,
                               REG_MULTI_SZ, REG_DWORD,  REG_QWORD,  REG_NONE, 0x1234};
        return types[Pick(ARRAYSIZE(types))];
    }

    void WriteRandomValue(HKEY key, const wchar_t* name) {
        const size_t sizes[] = {0, 1, 4, 139, 141, 1183, 1185, 65536};
        std::vector<BYTE> bytes = RandomBytes(sizes[Pick(ARRAYSIZE(sizes))]);
        RegSetValueExW(key, name, 0, RandomType(), bytes.data(), static_cast<DWORD>(bytes.size()));
    }

    // A record value of any type and of sizes around the record's, texts
    // without a NUL, and enabled, kind, owner and modifier fields that the
    // system never writes, as often as plausible ones.
    void WriteRecordValue(HKEY key, const wchar_t* name, size_t recordSize) {
        const size_t sizes[] = {0,     1,          139,        141,        1183,       1185,
                                65536, recordSize, recordSize, recordSize, recordSize, recordSize};
        const size_t size = sizes[Pick(ARRAYSIZE(sizes))];
        std::vector<BYTE> bytes = RandomBytes(size);
        if (size >= recordSize && recordSize == sizeof(HotkeyRecord)) {
            HotkeyRecord* hotkey = reinterpret_cast<HotkeyRecord*>(bytes.data());
            const BYTE enabled[] = {0, 1, 1, 2, 255};
            hotkey->enabled = enabled[Pick(ARRAYSIZE(enabled))];
            if (Pick(2))
                hotkey->modifiers = Pick(16);
            if (Pick(2))
                hotkey->virtualKey = 0x70 + Pick(24); // F1..F24
        } else if (size >= recordSize) {
            ActionRecord* action = reinterpret_cast<ActionRecord*>(bytes.data());
            if (Pick(2))
                action->kind = Pick(3);
            if (Pick(2))
                action->owner = Pick(4);
            if (Pick(2))
                action->commandCode = 0x0F00 + Pick(8);
        }
        const DWORD type = Pick(4) ? REG_BINARY : RandomType();
        RegSetValueExW(key, name, 0, type, bytes.data(), static_cast<DWORD>(bytes.size()));
    }

    void WriteCrowdHeader(HKEY key) {
        HotkeyRecord hotkey = MakeHotkey(L"Crowd", MOD_CONTROL | MOD_SHIFT, VK_F12);
        RegSetValueExW(key, L"header", 0, REG_BINARY, reinterpret_cast<BYTE*>(&hotkey),
                       sizeof hotkey);
    }

    std::mt19937 random_;
};

bool TextEnds(const wchar_t* field, UINT width) {
    for (UINT i = 0; i < width; ++i) {
        if (field[i] == L'\0')
            return true;
    }
    return false;
}

// The saved store: "0".."n-1" under HEADER, each with a 140-byte "header"
// and nodes "0".."m-1" with 1184-byte "node" values owned by it, every text
// ending inside its field, nothing else. Empty when it is so.
std::string CheckSavedStore(const Expected& expected) {
    std::vector<UINT> nodeCounts;
    const std::vector<std::wstring> hotkeyNames = SubkeyNames(StorePath(L"HEADER"));
    std::vector<std::wstring> rootKeys = SubkeyNames(StorePath());
    if (rootKeys.size() > 1 || (rootKeys.size() == 1 && rootKeys[0] != L"HEADER"))
        return "the root holds keys other than HEADER";
    for (UINT i = 0; i < hotkeyNames.size(); ++i) {
        if (std::find(hotkeyNames.begin(), hotkeyNames.end(), std::to_wstring(i)) ==
            hotkeyNames.end())
            return "hotkey " + std::to_string(i) + " is missing: the numbers have a gap";
        const std::wstring path = StorePath(L"HEADER\\" + std::to_wstring(i));
        DWORD type = 0;
        std::vector<BYTE> header = ReadValue(path, L"header", &type);
        if (header.size() != sizeof(HotkeyRecord) || type != REG_BINARY)
            return "hotkey " + std::to_string(i) + " has a header of " +
                   std::to_string(header.size()) + " bytes";
        const HotkeyRecord* hotkey = reinterpret_cast<const HotkeyRecord*>(header.data());
        if (!TextEnds(hotkey->title, HOTKEY_TEXT_CHARS) ||
            !TextEnds(hotkey->description, HOTKEY_TEXT_CHARS))
            return "hotkey " + std::to_string(i) + " has a text without its NUL";
        const std::vector<std::wstring> nodeNames = SubkeyNames(path);
        for (UINT j = 0; j < nodeNames.size(); ++j) {
            const std::wstring nodePath = path + L"\\" + std::to_wstring(j);
            std::vector<BYTE> node = ReadValue(nodePath, L"node", &type);
            if (node.size() != sizeof(ActionRecord) || type != REG_BINARY)
                return "action " + std::to_string(i) + "/" + std::to_string(j) + " has " +
                       std::to_string(node.size()) + " bytes";
            const ActionRecord* action = reinterpret_cast<const ActionRecord*>(node.data());
            if (action->owner != i)
                return "action " + std::to_string(i) + "/" + std::to_string(j) + " has owner " +
                       std::to_string(action->owner);
            if (!TextEnds(action->target, ACTION_PATH_CHARS) ||
                !TextEnds(action->startIn, ACTION_PATH_CHARS) ||
                !TextEnds(action->parameters, ACTION_PARAMETERS_CHARS))
                return "action " + std::to_string(i) + "/" + std::to_string(j) +
                       " has a text without its NUL";
            if (!SubkeyNames(nodePath).empty())
                return "a node key has keys below it";
        }
        nodeCounts.push_back(static_cast<UINT>(nodeNames.size()));
    }
    std::vector<UINT> wanted = expected.nodeCounts;
    std::sort(wanted.begin(), wanted.end());
    std::sort(nodeCounts.begin(), nodeCounts.end());
    if (wanted != nodeCounts)
        return std::to_string(nodeCounts.size()) + " hotkeys saved of " +
               std::to_string(wanted.size()) + " read, or their actions differ";
    return "";
}

} // namespace

TEST_F(AgentTest, TheAgentReloadsThousandsOfDamagedTreesAndSavesThemWellFormed) {
    Install(Library::None);
    ASSERT_TRUE(Start());
    const unsigned seed = Seed();
    printf("seed %u (PENDRIX_SEED=%u replays it)\n", seed, seed);
    TreeMaker maker(seed);
    const int trees = ProbeRounds(500, 2500);
    int malformed = 0;
    for (int t = 0; t < trees && malformed == 0; ++t) {
        const Expected expected = maker.Make();
        const LRESULT reply = Reload();
        ASSERT_EQ(static_cast<LRESULT>(AGENT_RELOAD), reply)
            << "tree " << t << " of seed " << seed << ": the agent did not answer";
        const std::string fault = CheckSavedStore(expected);
        if (!fault.empty()) {
            ++malformed;
            ADD_FAILURE() << "tree " << t << " of seed " << seed << ": " << fault;
        }
    }
    EXPECT_TRUE(Alive());
    printf("%d trees reloaded, %d saved malformed\n", trees, malformed);
}

TEST_F(AgentTest, TheLibraryOpensAndClosesOnHundredsOfDamagedTrees) {
    LibraryUnderTest library;
    ASSERT_NE(nullptr, library.configure());
    const unsigned seed = Seed() + 1;
    printf("seed %u (PENDRIX_SEED=%u replays it)\n", seed, seed - 1);
    TreeMaker maker(seed);
    const int trees = ProbeRounds(50, 200);
    int malformed = 0;
    for (int t = 0; t < trees && malformed == 0; ++t) {
        SCOPED_TRACE(t);
        const Expected expected = maker.Make();
        ConfigureRun run(library.configure());
        HWND dialog = run.WaitForDialog();
        ASSERT_NE(nullptr, dialog) << "tree " << t << " of seed " << seed;
        // Showing a hotkey's actions repairs commands that have no name:
        // one message box for each, answered.
        HWND list = GetDlgItem(dialog, 1000);
        const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        Expected afterRepair = expected;
        if (rows > 0) {
            PostMessageW(list, WM_KEYDOWN, VK_DOWN, 0);
            PostMessageW(list, WM_KEYUP, VK_DOWN, 0);
            for (HWND box; (box = WaitForMessageBox(dialog, 300)) != nullptr;)
                AnswerMessageBox(box, IDOK);
        }
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        while (!run.Ended(50)) {
            if (HWND box = WaitForMessageBox(dialog, 0))
                AnswerMessageBox(box, IDOK);
        }
        // A repair drops actions: count hotkeys only then.
        std::string fault = CheckSavedStore(expected);
        if (!fault.empty() && fault.find("or their actions differ") != std::string::npos &&
            SubkeyNames(StorePath(L"HEADER")).size() == expected.nodeCounts.size())
            fault.clear();
        if (!fault.empty()) {
            ++malformed;
            ADD_FAILURE() << "tree " << t << " of seed " << seed << ": " << fault;
        }
    }
    printf("%d trees opened, %d saved malformed\n", trees, malformed);
}
