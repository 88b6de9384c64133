// The system command executor in-process. The calls that would end the
// session go to recorders through the agent's seam; keys, tiling and shell
// calls are real, watched through this program's import table.
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "import_patch.h"
#include "session_calls.h"
#include "system_commands.h"
#include "window_commands.h"

namespace {

#define LABEL L"Ostrand Online"

std::vector<std::wstring> g_calls;
bool g_privilegeGranted = true;

std::wstring Text(const wchar_t* text) {
    return text ? text : L"(null)";
}
std::wstring Number(unsigned long long value) {
    return std::to_wstring(value);
}

bool RecordPrivilege() {
    g_calls.push_back(L"privilege");
    return g_privilegeGranted;
}
BOOL WINAPI RecordShutdown(LPWSTR machine, LPWSTR message, DWORD timeout, BOOL force, BOOL reboot,
                           DWORD reason) {
    wchar_t hex[16];
    wsprintfW(hex, L"%08x", reason);
    g_calls.push_back(L"shutdown " + Text(machine) + L"|" + Text(message) + L"|" + Number(timeout) +
                      L"|" + Number(force) + L"|" + Number(reboot) + L"|" + hex);
    return TRUE;
}
BOOL WINAPI RecordAbort(LPWSTR machine) {
    g_calls.push_back(L"abort " + Text(machine));
    return TRUE;
}
BOOL WINAPI RecordPowerState(BOOL suspend, BOOL force) {
    g_calls.push_back(L"power " + Number(suspend) + L"|" + Number(force));
    return TRUE;
}
BOOL WINAPI RecordExitWindows(UINT flags, DWORD reason) {
    g_calls.push_back(L"exit " + Number(flags) + L"|" + Number(reason));
    return TRUE;
}
BOOL WINAPI RecordLock() {
    g_calls.push_back(L"lock");
    return TRUE;
}
int WINAPI RecordRestartDialog(HWND owner, LPCWSTR prompt, DWORD flags) {
    g_calls.push_back(L"prompt " + Number(reinterpret_cast<ULONG_PTR>(owner)) + L"|" +
                      Text(prompt) + L"|" + Number(flags));
    return 0;
}

// Everything the shell and user32 are asked for, through the import table.
struct KeyEvent {
    WORD key;
    bool up;
};
std::vector<std::vector<KeyEvent>> g_sendInputCalls;
ImportPatch* g_sendInputPatch = nullptr;

UINT WINAPI WatchSendInput(UINT count, INPUT* inputs, int size) {
    std::vector<KeyEvent> call;
    for (UINT i = 0; i < count; ++i) {
        EXPECT_EQ(static_cast<DWORD>(INPUT_KEYBOARD), inputs[i].type);
        EXPECT_EQ(0, inputs[i].ki.wScan);
        EXPECT_EQ(0u, inputs[i].ki.time);
        EXPECT_EQ(0u, inputs[i].ki.dwExtraInfo);
        EXPECT_EQ(0u, inputs[i].ki.dwFlags & ~static_cast<DWORD>(KEYEVENTF_KEYUP));
        call.push_back({inputs[i].ki.wVk, (inputs[i].ki.dwFlags & KEYEVENTF_KEYUP) != 0});
    }
    g_sendInputCalls.push_back(call);
    return g_sendInputPatch->Original<UINT(WINAPI*)(UINT, INPUT*, int)>()(count, inputs, size);
}

std::vector<std::wstring> g_shellCalls;
HINSTANCE WINAPI WatchShellExecute(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                                   LPCWSTR folder, INT show) {
    // Recorded only: opening every folder and Control Panel page for real
    // would fill the desktop with windows.
    g_shellCalls.push_back(Number(reinterpret_cast<ULONG_PTR>(owner)) + L"|" + Text(verb) + L"|" +
                           Text(file) + L"|" + Text(parameters) + L"|" + Text(folder) + L"|" +
                           Number(show));
    return reinterpret_cast<HINSTANCE>(33);
}

std::vector<std::wstring> g_tileCalls;
ImportPatch* g_tilePatch = nullptr;
WORD WINAPI WatchTileWindows(HWND parent, UINT how, const RECT* area, UINT count,
                             const HWND* windows) {
    g_tileCalls.push_back(Number(reinterpret_cast<ULONG_PTR>(parent)) + L"|" + Number(how) + L"|" +
                          Number(reinterpret_cast<ULONG_PTR>(area)) + L"|" + Number(count) + L"|" +
                          Number(reinterpret_cast<ULONG_PTR>(windows)));
    return g_tilePatch->Original<WORD(WINAPI*)(HWND, UINT, const RECT*, UINT, const HWND*)>()(
        parent, how, area, count, windows);
}

void ReleaseEverything() {
    INPUT inputs[21] = {};
    for (int i = 0; i < 18; ++i)
        inputs[i].ki.wVk = static_cast<WORD>(0xA6 + i);
    inputs[18].ki.wVk = 'M';
    inputs[19].ki.wVk = VK_LWIN;
    inputs[20].ki.wVk = VK_CONTROL;
    for (INPUT& input : inputs) {
        input.type = INPUT_KEYBOARD;
        input.ki.dwFlags = KEYEVENTF_KEYUP;
    }
    g_sendInputPatch->Original<UINT(WINAPI*)(UINT, INPUT*, int)>()(21, inputs, sizeof(INPUT));
}

class SystemCommands : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_ = g_sessionCalls;
        g_sessionCalls = {RecordPrivilege,   RecordShutdown, RecordAbort,        RecordPowerState,
                          RecordExitWindows, RecordLock,     RecordRestartDialog};
        g_calls.clear();
        g_privilegeGranted = true;
        g_sendInputCalls.clear();
        g_shellCalls.clear();
        g_tileCalls.clear();
        g_sendInputPatch = &sendInput_;
        g_tilePatch = &tile_;
        ASSERT_NE(nullptr, sendInput_.Original<void*>());
        ASSERT_NE(nullptr, shell_.Original<void*>());
        ASSERT_NE(nullptr, tile_.Original<void*>());
    }
    void TearDown() override {
        ReleaseEverything();
        g_sessionCalls = saved_;
    }
    std::vector<std::wstring> Run(UINT code, UINT parameter = 0) {
        g_calls.clear();
        RunSystemCommand(nullptr, code, parameter);
        return g_calls;
    }

    SessionCalls saved_ = {};
    ImportPatch sendInput_{"USER32.dll", "SendInput", reinterpret_cast<void*>(WatchSendInput)};
    ImportPatch shell_{"SHELL32.dll", "ShellExecuteW", reinterpret_cast<void*>(WatchShellExecute)};
    ImportPatch tile_{"USER32.dll", "TileWindows", reinterpret_cast<void*>(WatchTileWindows)};
};

using Calls = std::vector<std::wstring>;

} // namespace

TEST_F(SystemCommands, PowerAndLogOnCallsAreExactlyAsStated) {
    const std::wstring shutdown = L"Shutdown in Progress. Initiated by Pendrix. " LABEL;
    const std::wstring restart = L"Restart in Progress. Initiated by Pendrix. " LABEL;
    EXPECT_EQ((Calls{L"privilege", L"shutdown (null)|" + shutdown + L"|3|0|0|80000000"}),
              Run(0x0A01));
    EXPECT_EQ((Calls{L"privilege", L"shutdown (null)|" + shutdown + L"|3|1|0|80000000"}),
              Run(0x0A02));
    EXPECT_EQ((Calls{L"privilege", L"shutdown (null)|" + restart + L"|3|0|1|80000000"}),
              Run(0x0A03));
    EXPECT_EQ((Calls{L"privilege", L"shutdown (null)|" + restart + L"|3|1|1|80000000"}),
              Run(0x0A04));
    EXPECT_EQ((Calls{L"privilege", L"power 0|0"}), Run(0x0A05));
    EXPECT_EQ((Calls{L"privilege", L"power 0|1"}), Run(0x0A06));
    EXPECT_EQ((Calls{L"exit 0|0"}), Run(0x0A07)) << "log-off asks for no privilege";
    EXPECT_EQ((Calls{L"exit 16|0"}), Run(0x0A08)) << "EWX_FORCEIFHUNG, never EWX_FORCE";
    EXPECT_EQ((Calls{L"privilege", L"power 1|1"}), Run(0x0A09)) << "stand-by forces too";
    EXPECT_EQ((Calls{L"privilege", L"power 1|1"}), Run(0x0A0A));
    EXPECT_EQ((Calls{L"lock"}), Run(0x0A0B));
    EXPECT_EQ((Calls{L"privilege", L"abort (null)"}), Run(0x0A0C));

    // A refused privilege skips every privileged command.
    g_privilegeGranted = false;
    for (UINT code :
         {0x0A01u, 0x0A02u, 0x0A03u, 0x0A04u, 0x0A05u, 0x0A06u, 0x0A09u, 0x0A0Au, 0x0A0Cu})
        EXPECT_EQ((Calls{L"privilege"}), Run(code)) << std::hex << code;
    EXPECT_EQ((Calls{L"exit 0|0"}), Run(0x0A07));
    EXPECT_EQ((Calls{L"lock"}), Run(0x0A0B));
}

TEST_F(SystemCommands, ShellPromptsCarryTheirTextAndFlagsWithoutPrivilege) {
    const std::wstring restart = L"Restart Dialog Initiated by Pendrix. " LABEL L". ";
    const std::wstring shutdown = L"Shutdown Dialog Initiated by Pendrix. " LABEL L". ";
    const std::wstring logoff = L"Logoff Dialog Initiated by Pendrix. " LABEL L". ";
    EXPECT_EQ((Calls{L"prompt 0|" + restart + L"|2"}), Run(0x0B04));
    EXPECT_EQ((Calls{L"prompt 0|" + shutdown + L"|8"}), Run(0x0B05));
    EXPECT_EQ((Calls{L"prompt 0|" + logoff + L"|0"}), Run(0x0B06));
    EXPECT_EQ((Calls{L"prompt 0|" + restart + L"|18"}), Run(0x0B07));
    EXPECT_EQ((Calls{L"prompt 0|" + shutdown + L"|24"}), Run(0x0B08));
    EXPECT_EQ((Calls{L"prompt 0|" + logoff + L"|16"}), Run(0x0B09));
}

TEST_F(SystemCommands, CodesNoTableListsDoNothing) {
    for (UINT code : {0x0u,    0xFFFFFFFFu, 0x0A00u, 0x0A0Du, 0x0B00u, 0x0B03u, 0x0B0Au, 0x0C03u,
                      0x0D00u, 0x0E01u,     0x0E0Au, 0x0E0Fu, 0x0E17u, 0x0E19u, 0x0E23u, 0x0E24u,
                      0x0E33u, 0x0F05u,     0x1A02u, 0x1B11u, 0x1C12u, 0x1D00u}) {
        EXPECT_TRUE(Run(code, MAKELPARAM(MOD_CONTROL, 'B')).empty()) << std::hex << code;
    }
    EXPECT_TRUE(g_sendInputCalls.empty());
    EXPECT_TRUE(g_shellCalls.empty());
    EXPECT_TRUE(g_tileCalls.empty());
}

TEST_F(SystemCommands, MediaKeysReleaseTheHotkeyFirstEachKeyInItsOwnCall) {
    // Ctrl+Alt+B held: B, Ctrl, Alt up, then Browser Back down.
    Run(0x1C00, MAKELPARAM(MOD_CONTROL | MOD_ALT, 'B'));
    ASSERT_EQ(4u, g_sendInputCalls.size());
    const KeyEvent expected[4] = {{'B', true}, {VK_CONTROL, true}, {VK_MENU, true}, {0xA6, false}};
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(1u, g_sendInputCalls[i].size()) << i;
        EXPECT_EQ(expected[i].key, g_sendInputCalls[i][0].key) << i;
        EXPECT_EQ(expected[i].up, g_sendInputCalls[i][0].up) << i;
    }

    // Every modifier: key, Ctrl, Shift, left Win, Alt; the last code is 0xB7.
    g_sendInputCalls.clear();
    Run(0x1C11, MAKELPARAM(MOD_ALT | MOD_CONTROL | MOD_SHIFT | MOD_WIN, VK_F3));
    const WORD order[6] = {VK_F3, VK_CONTROL, VK_SHIFT, VK_LWIN, VK_MENU, 0xB7};
    ASSERT_EQ(6u, g_sendInputCalls.size());
    for (int i = 0; i < 6; ++i) {
        ASSERT_EQ(1u, g_sendInputCalls[i].size());
        EXPECT_EQ(order[i], g_sendInputCalls[i][0].key) << i;
        EXPECT_EQ(i < 5, g_sendInputCalls[i][0].up) << i;
    }

    // Each code reaches its key, in the order of the key table's last rows.
    for (UINT code = 0x1C00; code <= 0x1C11; ++code) {
        g_sendInputCalls.clear();
        Run(code, MAKELPARAM(0, VK_F3));
        ASSERT_EQ(2u, g_sendInputCalls.size());
        EXPECT_EQ(0xA6 + (code - 0x1C00), g_sendInputCalls[1][0].key);
    }
}

TEST_F(SystemCommands, MinimizeAllIsWinMInOneCallAndTilingAsksForTheDesktop) {
    Run(0x0C00, MAKELPARAM(MOD_SHIFT, VK_F4));
    ASSERT_EQ(3u, g_sendInputCalls.size());
    EXPECT_EQ(VK_F4, g_sendInputCalls[0][0].key);
    EXPECT_EQ(VK_SHIFT, g_sendInputCalls[1][0].key);
    const std::vector<KeyEvent>& winM = g_sendInputCalls[2];
    ASSERT_EQ(3u, winM.size()) << "three events in one call";
    EXPECT_EQ(VK_LWIN, winM[0].key);
    EXPECT_FALSE(winM[0].up);
    EXPECT_EQ('M', winM[1].key);
    EXPECT_FALSE(winM[1].up);
    EXPECT_EQ(VK_LWIN, winM[2].key);
    EXPECT_TRUE(winM[2].up) << "M is left without its key-up";

    Run(0x0C01);
    Run(0x0C02);
    EXPECT_EQ((Calls{L"0|1|0|0|0", L"0|0|0|0|0"}), g_tileCalls);
}

TEST_F(SystemCommands, FoldersOpenTheirSpecialPathAndControlPanelPagesTheirKeyword) {
    struct Folder {
        UINT code;
        int id;
    };
    const Folder folders[] = {
        {0x0E00, 0x1A}, {0x0E02, 0x3B}, {0x0E03, 0x2F}, {0x0E04, 0x23}, {0x0E05, 0x10},
        {0x0E06, 0x19}, {0x0E07, 0x06}, {0x0E08, 0x1F}, {0x0E09, 0x35}, {0x0E10, 0x36},
        {0x0E11, 0x17}, {0x0E12, 0x16}, {0x0E13, 0x18}, {0x0E14, 0x2D}, {0x0E15, 0x37},
        {0x0E16, 0x21}, {0x0E18, 0x06}, {0x0E20, 0x22}, {0x0E21, 0x20}, {0x0E22, 0x05},
        {0x0E25, 0x1B}, {0x0E26, 0x28}, {0x0E27, 0x26}, {0x0E28, 0x2B}, {0x0E29, 0x08},
        {0x0E30, 0x09}, {0x0E31, 0x25}, {0x0E32, 0x24},
    };
    int opened = 0;
    for (const Folder& folder : folders) {
        g_shellCalls.clear();
        Run(folder.code);
        wchar_t path[MAX_PATH];
        if (!SHGetSpecialFolderPathW(nullptr, path, folder.id, FALSE)) {
            EXPECT_TRUE(g_shellCalls.empty()) << std::hex << folder.code << ": nothing to open";
            continue;
        }
        ++opened;
        EXPECT_EQ(Calls{L"0|open|" + std::wstring(path) + L"|(null)|(null)|1"}, g_shellCalls)
            << std::hex << folder.code;
    }
    EXPECT_GE(opened, 20) << "most folders exist under Wine";

    const wchar_t* keywords[17] = {L"panel",         L"desktop",    L"color",          L"date/time",
                                   L"international", L"mouse",      L"keyboard",       L"printers",
                                   L"fonts",         L"folders",    L"netware",        L"telephony",
                                   L"admintools",    L"schedtasks", L"netconnections", L"infrared",
                                   L"userpasswords"};
    for (UINT i = 0; i < 17; ++i) {
        g_shellCalls.clear();
        Run(0x1B00 + i);
        EXPECT_EQ(Calls{L"0|open|control|" + std::wstring(keywords[i]) + L"|(null)|1"},
                  g_shellCalls)
            << i;
    }
    EXPECT_TRUE(g_calls.empty()) << "no privilege for any of them";
}

TEST(ShutdownPrivilege, IsEnabledForRealAndLeavesNoHandleBehind) {
    DWORD before = 0, after = 0;
    ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &before));
    for (int i = 0; i < 50; ++i)
        EXPECT_TRUE(EnableShutdownPrivilege());
    ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &after));
    EXPECT_EQ(before, after) << "the token is closed every time";
}

// Wine shows one monitor, so the move to the next is checked where it is
// worked out: the same size and place relative to the work area, kept within
// the new one.
TEST(NextMonitor, AWindowKeepsItsSizeAndPlaceWithinTheOtherWorkArea) {
    const RECT primary = {0, 0, 1920, 1040};  // taskbar below
    const RECT right = {1980, 0, 3840, 1080}; // taskbar on its left
    const RECT small = {-1280, 0, 0, 680};    // to the left, smaller
    const struct {
        RECT window, from, to, expected;
    } cases[] = {
        {{100, 50, 900, 650}, primary, right, {2080, 50, 2880, 650}},
        {{1000, 400, 1800, 900}, primary, small, {-800, 180, 0, 680}},
        {{10, 10, 1510, 910}, primary, small, {-1280, 0, 220, 900}},
        {{-1000, 100, -500, 400}, small, primary, {280, 100, 780, 400}},
    };
    for (const auto& c : cases) {
        const RECT placed = PlaceOnOtherWorkArea(c.window, c.from, c.to);
        EXPECT_TRUE(EqualRect(&c.expected, &placed))
            << placed.left << "," << placed.top << "," << placed.right << "," << placed.bottom;
    }
}
