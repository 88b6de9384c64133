// The sheet of one's own hotkeys: what it lists for the program in front,
// and how it comes and goes, from the library and from the agent's press.
#include <windows.h>
#include <commctrl.h>
#include <stdlib.h>

#include <string>

#include <gtest/gtest.h>

#include "agent_harness.h"
#include "dialog_driver.h"

namespace {

const UINT CTRL_ALT = MOD_CONTROL | MOD_ALT;

struct SheetRun {
    MyHotkeysProc show;
    HWND front;
};

DWORD WINAPI ShowSheet(void* parameter) {
    SheetRun* run = static_cast<SheetRun*>(parameter);
    run->show(run->front);
    return 0;
}

HWND WaitForSheet() {
    HWND sheet = nullptr;
    WaitFor([&] {
        sheet = FindWindowW(L"PendrixMyHotkeys", L"My Hotkeys - Pendrix");
        return sheet && IsWindowVisible(sheet);
    });
    return sheet;
}

} // namespace

TEST_F(AgentTest, TheSheetListsTheHotkeysOfTheProgramInFrontAndGoesOnEsc) {
    Install(Library::Real);
    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"Sheet", CTRL_ALT, VK_F12));
    actions.Append(CommandAction(0, 0x1A01));
    hotkeys.Append(MakeHotkey(L"Probe only", CTRL_ALT, VK_F5));
    actions.Append(ProgramsAction(1, PROGRAMS_ONLY_IN, L"launch_probe"));
    actions.Append(ProbeAction(1, log_, L"p"));
    hotkeys.Append(MakeHotkey(L"Tests only", CTRL_ALT, VK_F6));
    actions.Append(ProgramsAction(2, PROGRAMS_ONLY_IN, L"config_tests.exe"));
    ActionRecord type = {};
    type.owner = 2;
    type.kind = ACTION_TYPE_TEXT;
    CopyBoundedText(type.target, ACTION_PATH_CHARS, L"Kind regards,\r\nAnn, and a long tail");
    actions.Append(type);
    hotkeys.Append(MakeHotkey(L"Off", CTRL_ALT, VK_F8, 0));
    hotkeys.Append(MakeHotkey(L"Everywhere", CTRL_ALT, VK_F7));
    actions.Append(CommandAction(4, 0x0C15));
    ActionRecord site = {};
    site.owner = 4;
    CopyBoundedText(site.target, ACTION_PATH_CHARS, L"https://example.org/a/b");
    actions.Append(site);
    hotkeys.Append(MakeHotkey(L"Sheet here", CTRL_ALT, VK_F11));
    actions.Append(ProgramsAction(5, PROGRAMS_ONLY_IN, L"config_tests"));
    actions.Append(CommandAction(5, 0x1A01));
    // On the keys of "Tests only" for its program, put there by hand: the
    // earlier one works, so this one is not listed.
    hotkeys.Append(MakeHotkey(L"Tests twin", CTRL_ALT, VK_F6));
    actions.Append(ProgramsAction(6, PROGRAMS_NOT_IN, L"launch_probe"));
    WriteStore(hotkeys, actions);

    const char* expected = getenv("PENDRIX_EXPECT_DPI");
    const UINT expectedDpi = expected ? static_cast<UINT>(atoi(expected)) : 96;
    // From the library, for the launch probe's window and for this program's.
    LibraryUnderTest library;
    SheetRun run = {reinterpret_cast<MyHotkeysProc>(reinterpret_cast<void*>(
                        GetProcAddress(GetModuleHandleW(L"pendrixcfg.dll"), "MyHotkeys"))),
                    nullptr};
    ASSERT_NE(nullptr, run.show) << "the library exports MyHotkeys";
    PROCESS_INFORMATION process = {};
    HWND probeWindow = StartProbeWindow(log_, L"front", &process);
    ASSERT_NE(nullptr, probeWindow);
    FrontWindow own;
    const struct {
        HWND front;
        std::vector<std::vector<std::wstring>> rows;
    } cases[] = {
        {probeWindow,
         {{L"ALT + Ctrl + F5", L"Probe only", L"opens launch_probe.exe"},
          {L"ALT + Ctrl + F12", L"Sheet", L"Show My Hotkeys"},
          {L"ALT + Ctrl + F7", L"Everywhere", L"Center Window; opens https://example.org/a/b"}}},
        {own.window(),
         {{L"ALT + Ctrl + F6", L"Tests only", L"types: Kind regards, Ann, and a\x2026"},
          {L"ALT + Ctrl + F11", L"Sheet here", L"Show My Hotkeys"},
          {L"ALT + Ctrl + F12", L"Sheet", L"Show My Hotkeys"},
          {L"ALT + Ctrl + F7", L"Everywhere", L"Center Window; opens https://example.org/a/b"}}},
    };
    {
        // Asked twice at once: one sheet; the second asker returns at once.
        run.front = own.window();
        HANDLE first = CreateThread(nullptr, 0, ShowSheet, &run, 0, nullptr);
        HANDLE second = CreateThread(nullptr, 0, ShowSheet, &run, 0, nullptr);
        HWND sheet = WaitForSheet();
        ASSERT_NE(nullptr, sheet);
        HANDLE both[2] = {first, second};
        EXPECT_EQ(WAIT_TIMEOUT, WaitForMultipleObjects(2, both, TRUE, 300)) << "one shows it";
        EXPECT_NE(WAIT_TIMEOUT, WaitForMultipleObjects(2, both, FALSE, 5000)) << "one returns";
        EXPECT_EQ(sheet, FindWindowW(L"PendrixMyHotkeys", nullptr));
        EXPECT_EQ(nullptr, FindWindowExW(nullptr, sheet, L"PendrixMyHotkeys", nullptr));
        PostMessageW(FindWindowExW(sheet, nullptr, WC_LISTVIEWW, nullptr), WM_KEYDOWN, VK_ESCAPE,
                     0);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, both, TRUE, 10000));
        CloseHandle(first);
        CloseHandle(second);
    }
    for (const auto& c : cases) {
        run.front = c.front;
        HANDLE thread = CreateThread(nullptr, 0, ShowSheet, &run, 0, nullptr);
        HWND sheet = WaitForSheet();
        ASSERT_NE(nullptr, sheet);
        EXPECT_NE(0, GetWindowLongW(sheet, GWL_EXSTYLE) & WS_EX_TOPMOST);
        HWND list = FindWindowExW(sheet, nullptr, WC_LISTVIEWW, nullptr);
        // Scaled for the display, and whole within its work area.
        EXPECT_NEAR(MulDiv(170, expectedDpi, 96), SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0), 1);
        RECT placed, work;
        GetWindowRect(sheet, &placed);
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        EXPECT_TRUE(placed.left >= work.left && placed.top >= work.top &&
                    placed.right <= work.right && placed.bottom <= work.bottom);
        std::vector<std::vector<std::wstring>> shown;
        for (const ListRow& row : ReadList(list, 3))
            shown.push_back(row.cells);
        EXPECT_EQ(c.rows, shown);
        // Typing filters; Esc closes.
        SendMessageW(list, WM_CHAR, L'c', 0);
        SendMessageW(list, WM_CHAR, L'e', 0);
        SendMessageW(list, WM_CHAR, L'n', 0);
        EXPECT_EQ(1, static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)));
        PostMessageW(list, WM_KEYDOWN, VK_ESCAPE, 0);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 10000));
        CloseHandle(thread);
    }

    // From the agent: the hotkey shows it, the same hotkey again closes it.
    ASSERT_TRUE(Start());
    SetForegroundWindow(own.window());
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == own.window(); }));
    PressCombination(CTRL_ALT, VK_F12);
    HWND sheet = WaitForSheet();
    ASSERT_NE(nullptr, sheet);
    PressCombination(CTRL_ALT, VK_F12);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(sheet); }));
    EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == own.window(); }))
        << "the program it lay over comes back";
    // One limited to this program too: the sheet over it leaves it in front.
    SetForegroundWindow(own.window());
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == own.window(); }));
    PressCombination(CTRL_ALT, VK_F11);
    sheet = WaitForSheet();
    ASSERT_NE(nullptr, sheet);
    PressCombination(CTRL_ALT, VK_F11);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(sheet); }));
    // A click elsewhere, on the caption of the window under it: it goes.
    PressCombination(CTRL_ALT, VK_F12);
    sheet = WaitForSheet();
    ASSERT_NE(nullptr, sheet);
    // Once shown whole: its list has the focus, the last thing it does.
    HWND list = FindWindowExW(sheet, nullptr, WC_LISTVIEWW, nullptr);
    ASSERT_TRUE(WaitFor([&] {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(0, &info) && info.hwndFocus == list;
    }));
    const RECT ownRect = own.Rect();
    const POINT caption = {ownRect.left + 40, ownRect.top + GetSystemMetrics(SM_CYCAPTION) / 2 + 4};
    ASSERT_EQ(own.window(), WindowFromPoint(caption));
    ClickAt(caption, /*right=*/false, 1);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(sheet); })) << WindowsInFront();

    // Again and again by its hotkey, closed with a real Esc each time.
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        SetForegroundWindow(own.window());
        ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == own.window(); }));
        PressCombination(CTRL_ALT, VK_F12);
        sheet = WaitForSheet();
        ASSERT_NE(nullptr, sheet);
        ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == sheet; }));
        TapKeys({VK_ESCAPE});
        EXPECT_TRUE(WaitFor([&] { return !IsWindow(sheet); })) << WindowsInFront();
        EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == own.window(); }))
            << "the program under it comes back";
    }

    // From the tray, over this program: its own hotkey (limited to it) still
    // works while the sheet is shown, and closes it.
    PostMessageW(window(), AGENT_TRAY_CALLBACK, 0, WM_RBUTTONDOWN);
    ASSERT_TRUE(WaitFor([&] {
        for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"#32768", nullptr)) != nullptr;) {
            if (IsWindowVisible(w))
                return true;
        }
        return false;
    }));
    TapKeys({VK_UP, VK_RETURN});
    sheet = WaitForSheet();
    ASSERT_NE(nullptr, sheet);
    PressCombination(CTRL_ALT, VK_F11);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(sheet); })) << WindowsInFront();
    EXPECT_TRUE(Alive());

    EXPECT_TRUE(CloseProbeWindow(probeWindow, &process));
}
