// The hotkey editor, the combination picker and the action editors, opened
// from the main dialog of the real library and driven by their controls.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "agent_harness.h"
#include "catalogue.h"
#include "dialog_driver.h"
#include "store.h"
#include "test_registry.h"

namespace {

const UINT CTRL_ALT = MOD_CONTROL | MOD_ALT;

HWND WaitForOwnedDialog(HWND owner, const wchar_t* caption) {
    HWND found = nullptr;
    WaitFor([&] {
        for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"#32770", caption)) != nullptr;) {
            if (GetWindow(w, GW_OWNER) == owner && IsWindowVisible(w)) {
                found = w;
                return true;
            }
        }
        return false;
    });
    return found;
}

void Click(HWND dialog, int id) {
    PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}
HWND ShownPopupMenu() {
    HWND menu = nullptr;
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"#32768", nullptr)) != nullptr;) {
        if (IsWindowVisible(w))
            menu = w;
    }
    return menu;
}
HWND WaitForPopupMenu() {
    HWND menu = nullptr;
    WaitFor([&] { return (menu = ShownPopupMenu()) != nullptr; });
    return menu;
}
void SetText(HWND dialog, int id, const std::wstring& text) {
    SendMessageW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}
void Select(HWND dialog, int id, int item) {
    SendDlgItemMessageW(dialog, id, CB_SETCURSEL, item, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}
int Selection(HWND dialog, int id) {
    return static_cast<int>(SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0));
}

// Expects a message box with this text owned by `owner`, and closes it.
void ExpectError(HWND owner, const wchar_t* text) {
    HWND box = WaitForMessageBox(owner);
    ASSERT_NE(nullptr, box) << std::string(text, text + wcslen(text));
    EXPECT_EQ(text, MessageBoxText(box));
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
}

bool Closed(HWND dialog) {
    return WaitFor([&] { return !IsWindow(dialog); }, 5000);
}

std::vector<ActionRecord> StoredActions(UINT hotkey) {
    std::vector<ActionRecord> actions;
    for (UINT j = 0;; ++j) {
        std::vector<BYTE> node = ReadValue(
            StorePath(L"HEADER\\" + std::to_wstring(hotkey) + L"\\" + std::to_wstring(j)), L"node");
        if (node.size() != sizeof(ActionRecord))
            break;
        ActionRecord action;
        memcpy(&action, node.data(), sizeof action);
        actions.push_back(action);
    }
    return actions;
}

class Editors : public AgentTest {
  protected:
    void Open() {
        run_ = new ConfigureRun(library_.configure());
        main_ = run_->WaitForDialog();
        ASSERT_NE(nullptr, main_);
    }
    void TearDown() override {
        delete run_;
        AgentTest::TearDown();
    }
    HWND HotkeyView() { return GetDlgItem(main_, 1009); }
    HWND ActionView() { return GetDlgItem(main_, 1010); }
    HWND OpenHotkeyEditor(int button) {
        Click(main_, button);
        return WaitForOwnedDialog(main_, L"Insert New Hot Key");
    }
    HWND OpenPicker(HWND editor) {
        Click(editor, 1004);
        return WaitForOwnedDialog(editor, L"Make a Hotkey");
    }
    // Chooses the three modifier rows and the key row, then "Make Hot Key".
    void Make(HWND picker, int m1, int m2, int m3, UINT key) {
        Select(picker, 1000, m1);
        Select(picker, 1001, m2);
        Select(picker, 1002, m3);
        Select(picker, 1003, FindCatalogueIndex(KeyNameTable, key));
        Click(picker, 1004);
    }
    HWND OpenActionEditor(WORD command, const wchar_t* caption) {
        PostMessageW(main_, WM_COMMAND, command, 0);
        return WaitForOwnedDialog(main_, caption);
    }
    LibraryUnderTest library_;
    ConfigureRun* run_ = nullptr;
    HWND main_ = nullptr;
};

} // namespace

TEST_F(Editors, InsertAsksForATitleAndACombinationAndAppendsANewHotkey) {
    Open();
    HWND editor = OpenHotkeyEditor(1017);
    ASSERT_NE(nullptr, editor);
    EXPECT_EQ(GetDlgItem(editor, 1005), [&] {
        GUITHREADINFO gui = {};
        gui.cbSize = sizeof gui;
        GetGUIThreadInfo(run_->threadId(), &gui);
        return gui.hwndFocus;
    }()) << "the title edit has the focus";
    Click(editor, 1008);
    ExpectError(editor, L"Please specify a title");

    // Typed: the edit takes 31 characters and no more.
    HWND title = GetDlgItem(editor, 1005);
    for (int i = 0; i < 35; ++i)
        SendMessageW(title, WM_CHAR, L'a' + i % 26, 1);
    EXPECT_EQ(31, GetWindowTextLengthW(title));
    SetText(editor, 1006, L"Made in a test");
    Click(editor, 1008);
    ExpectError(editor, L"Please select a Hot Key combination");

    HWND picker = OpenPicker(editor);
    ASSERT_NE(nullptr, picker);
    Make(picker, 1, 2, 0, VK_F9);
    ASSERT_TRUE(Closed(picker));
    EXPECT_EQ(L"ALT + Ctrl + F9", WindowText(GetDlgItem(editor, 1007)));
    Click(editor, 1008);
    ASSERT_TRUE(Closed(editor));

    std::vector<HotkeyRecord> stored;
    ASSERT_TRUE(WaitFor([&] { return (stored = StoredHotkeys()).size() == 7; }));
    const HotkeyRecord& added = stored[6];
    EXPECT_EQ(std::wstring(L"abcdefghijklmnopqrstuvwxyzabcde"), added.title);
    EXPECT_STREQ(L"Made in a test", added.description);
    EXPECT_EQ(static_cast<UINT32>(CTRL_ALT), added.modifiers);
    EXPECT_EQ(static_cast<UINT32>(VK_F9), added.virtualKey);
    EXPECT_EQ(1, added.enabled);
    EXPECT_EQ(0, added.runSequentially);
    EXPECT_EQ(7, static_cast<int>(SendMessageW(HotkeyView(), LVM_GETITEMCOUNT, 0, 0)));

    // The next new hotkey does not inherit that combination.
    editor = OpenHotkeyEditor(1017);
    ASSERT_NE(nullptr, editor);
    EXPECT_EQ(L"", WindowText(GetDlgItem(editor, 1007)));
    SetText(editor, 1005, L"Second");
    Click(editor, 1008);
    ExpectError(editor, L"Please select a Hot Key combination");
    Click(editor, IDCANCEL);
    ASSERT_TRUE(Closed(editor));
    EXPECT_EQ(7u, StoredHotkeys().size());
}

TEST_F(Editors, ThePickerChecksModifiersDuplicatesAndTheSystem) {
    Open();
    HWND editor = OpenHotkeyEditor(1017);
    ASSERT_NE(nullptr, editor);
    HWND picker = OpenPicker(editor);
    ASSERT_NE(nullptr, picker);
    EXPECT_EQ(0, Selection(picker, 1000));
    EXPECT_EQ(0, Selection(picker, 1003)) << "F1 first";
    EXPECT_EQ(KEY_NAME_ROWS, SendDlgItemMessageW(picker, 1003, CB_GETCOUNT, 0, 0));

    Make(picker, 0, 0, 0, VK_F1);
    ExpectError(picker, L"Please Select atleast 1 Valid Modifier");
    Make(picker, 0, 0, 0, 0x5F); // Sleep
    ExpectError(picker, L"Please Select atleast 1 Valid Modifier");
    Make(picker, 1, 2, 0, VK_F7); // the first default
    ExpectError(picker, L"You have already selected this combination");
    Make(picker, 1, 2, 3, VK_BACK); // the disabled default
    ExpectError(picker, L"You have already selected this combination");

    // Held by another program: the probe fails.
    ASSERT_TRUE(RegisterHotKey(nullptr, 0xB401, CTRL_ALT, VK_F10));
    Make(picker, 2, 1, 0, VK_F10);
    ExpectError(picker, L"Cannot Register This Key. This HotKey May Already Been Registered");
    UnregisterHotKey(nullptr, 0xB401);

    // Alt twice is Alt.
    Make(picker, 1, 1, 0, VK_F11);
    ASSERT_TRUE(Closed(picker));
    EXPECT_EQ(L"ALT + F11", WindowText(GetDlgItem(editor, 1007)));

    // The mouse: a bare wheel is refused; with Ctrl it is taken, whoever
    // holds the keys of the same codes (a mouse trigger is never registered).
    picker = OpenPicker(editor);
    ASSERT_NE(nullptr, picker);
    Make(picker, 0, 0, 0, 0x97);
    ExpectError(picker, L"Please Select atleast 1 Valid Modifier");
    ASSERT_TRUE(RegisterHotKey(nullptr, 0xB402, MOD_CONTROL, 0x97));
    Make(picker, 2, 0, 0, 0x97);
    ASSERT_TRUE(Closed(picker));
    UnregisterHotKey(nullptr, 0xB402);
    EXPECT_EQ(L"Ctrl + Wheel Up", WindowText(GetDlgItem(editor, 1007)));
    // A side button may stand alone.
    picker = OpenPicker(editor);
    ASSERT_NE(nullptr, picker);
    Make(picker, 0, 0, 0, VK_XBUTTON1);
    ASSERT_TRUE(Closed(picker));
    EXPECT_EQ(L"X Button 1 (Back)", WindowText(GetDlgItem(editor, 1007)));

    // A media key may stand alone; Cancel then clears the pick.
    picker = OpenPicker(editor);
    ASSERT_NE(nullptr, picker);
    Make(picker, 0, 0, 0, 0xB3);
    ASSERT_TRUE(Closed(picker));
    EXPECT_EQ(L"Play/Pause Media key", WindowText(GetDlgItem(editor, 1007)));
    picker = OpenPicker(editor);
    ASSERT_NE(nullptr, picker);
    Click(picker, IDCANCEL);
    ASSERT_TRUE(Closed(picker));
    EXPECT_EQ(L"", WindowText(GetDlgItem(editor, 1007)));
    SetText(editor, 1005, L"x");
    Click(editor, 1008);
    ExpectError(editor, L"Please select a Hot Key combination");
    Click(editor, IDCANCEL);
    ASSERT_TRUE(Closed(editor));
}

TEST_F(Editors, ModifyingKeepsTheCombinationAndFlagsUnlessANewOneIsPicked) {
    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"Old title", CTRL_ALT, VK_F9, 0, 1));
    hotkeys.Append(MakeHotkey(L"Other", CTRL_ALT, VK_F10, 1, 0));
    WriteStore(hotkeys, actions);
    Open();

    ClickListRow(HotkeyView(), 0);
    HWND editor = OpenHotkeyEditor(1016);
    ASSERT_NE(nullptr, editor);
    EXPECT_EQ(L"Old title", WindowText(GetDlgItem(editor, 1005)));
    EXPECT_EQ(L"ALT + Ctrl + F9", WindowText(GetDlgItem(editor, 1007)));
    // Its own combination again is a duplicate.
    HWND picker = OpenPicker(editor);
    ASSERT_NE(nullptr, picker);
    EXPECT_EQ(0, Selection(picker, 1000)) << "the current combination is not preselected";
    Make(picker, 1, 2, 0, VK_F9);
    ExpectError(picker, L"You have already selected this combination");
    Click(picker, IDCANCEL);
    ASSERT_TRUE(Closed(picker));
    Click(editor, 1008);
    ExpectError(editor, L"Please select a Hot Key combination");
    Click(editor, IDCANCEL);
    ASSERT_TRUE(Closed(editor));
    EXPECT_EQ(static_cast<UINT32>(VK_F9), StoredHotkeys()[0].virtualKey)
        << "Cancel changes nothing";

    ClickListRow(HotkeyView(), 0);
    editor = OpenHotkeyEditor(1016);
    ASSERT_NE(nullptr, editor);
    SetText(editor, 1005, L"New title");
    Click(editor, 1008);
    ASSERT_TRUE(Closed(editor));
    std::vector<HotkeyRecord> stored;
    ASSERT_TRUE(WaitFor([&] {
        stored = StoredHotkeys();
        return stored.size() == 2 && std::wstring(stored[0].title) == L"New title";
    }));
    EXPECT_EQ(static_cast<UINT32>(VK_F9), stored[0].virtualKey);
    EXPECT_EQ(static_cast<UINT32>(CTRL_ALT), stored[0].modifiers);
    EXPECT_EQ(0, stored[0].enabled);
    EXPECT_EQ(1, stored[0].runSequentially);
    // The dialog clears the pane right after its save.
    EXPECT_TRUE(WaitFor([&] { return !IsWindowEnabled(GetDlgItem(main_, 1016)); }, 3000))
        << "the pane is cleared afterwards";
}

TEST_F(Editors, UrlAndFileActionsAreAddedCutToTheirFieldsAndModified) {
    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"Target", CTRL_ALT, VK_F9, 0));
    WriteStore(hotkeys, actions);
    Open();
    ClickListRow(HotkeyView(), 0);

    HWND editor = OpenActionEditor(32777, L"Select URL / File");
    ASSERT_NE(nullptr, editor);
    SetText(editor, 1005, std::wstring(300, L'p'));
    SetText(editor, 1006, std::wstring(70, L'a'));
    SetText(editor, 1007, L"C:\\start");
    Click(editor, IDOK);
    ASSERT_TRUE(Closed(editor));

    editor = OpenActionEditor(32778, L"Select URL / File"); // "Run File": the same editor
    ASSERT_NE(nullptr, editor);
    SetText(editor, 1005, L"second.exe");
    Click(editor, IDOK);
    ASSERT_TRUE(Closed(editor));

    editor = OpenActionEditor(32777, L"Select URL / File");
    ASSERT_NE(nullptr, editor);
    SetText(editor, 1006, L"no target");
    Click(editor, IDOK); // stores nothing
    ASSERT_TRUE(Closed(editor));

    std::vector<ActionRecord> stored;
    ASSERT_TRUE(WaitFor([&] { return (stored = StoredActions(0)).size() == 2; }));
    EXPECT_EQ(std::wstring(259, L'p'), stored[0].target);
    EXPECT_EQ(std::wstring(63, L'a'), stored[0].parameters);
    EXPECT_STREQ(L"C:\\start", stored[0].startIn);
    EXPECT_EQ(ACTION_FILE_URL, stored[0].kind);
    EXPECT_EQ(0u, stored[0].commandCode);
    EXPECT_EQ(0u, stored[0].commandName);
    EXPECT_STREQ(L"second.exe", stored[1].target);
    EXPECT_EQ(ACTION_FILE_URL, stored[1].kind);
    EXPECT_EQ(2, static_cast<int>(SendMessageW(ActionView(), LVM_GETITEMCOUNT, 0, 0)));

    // Modify: the fields come back; an emptied target keeps the old texts;
    // a cancelled Browse changes nothing.
    ClickListRow(ActionView(), 1);
    Click(main_, 1015);
    editor = WaitForOwnedDialog(main_, L"Select URL / File");
    ASSERT_NE(nullptr, editor);
    EXPECT_EQ(L"second.exe", WindowText(GetDlgItem(editor, 1005)));
    Click(editor, 1004);
    HWND browse = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"#32770", nullptr)) != nullptr;) {
            if (GetWindow(w, GW_OWNER) == editor && IsWindowVisible(w))
                browse = w;
        }
        return browse != nullptr;
    }));
    PostMessageW(browse, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(Closed(browse));
    EXPECT_EQ(L"second.exe", WindowText(GetDlgItem(editor, 1005)));
    SetText(editor, 1005, L"");
    SetText(editor, 1006, L"ignored");
    Click(editor, IDOK);
    ASSERT_TRUE(Closed(editor));
    Sleep(300);
    stored = StoredActions(0);
    ASSERT_EQ(2u, stored.size());
    EXPECT_STREQ(L"second.exe", stored[1].target);
    EXPECT_STREQ(L"", stored[1].parameters);

    // Modify the long one with short texts: nothing of the old texts stays
    // behind the new ones in the stored record.
    ClickListRow(ActionView(), 0);
    Click(main_, 1015);
    editor = WaitForOwnedDialog(main_, L"Select URL / File");
    ASSERT_NE(nullptr, editor);
    SetText(editor, 1005, L"short.exe");
    SetText(editor, 1006, L"-q");
    SetText(editor, 1007, L"C:\\");
    Click(editor, IDOK);
    ASSERT_TRUE(Closed(editor));
    ASSERT_TRUE(WaitFor([&] {
        stored = StoredActions(0);
        return stored.size() == 2 && lstrcmpW(stored[0].target, L"short.exe") == 0;
    }));
    ActionRecord expected = {};
    expected.kind = ACTION_FILE_URL;
    CopyBoundedText(expected.target, ACTION_PATH_CHARS, L"short.exe");
    CopyBoundedText(expected.parameters, ACTION_PARAMETERS_CHARS, L"-q");
    CopyBoundedText(expected.startIn, ACTION_PATH_CHARS, L"C:\\");
    EXPECT_EQ(0, memcmp(&expected, &stored[0], sizeof expected)) << "zero past every text";
}

TEST_F(Editors, AddActionOpensItsMenuAtTheButtonsTopRightCorner) {
    Open();
    ClickListRow(HotkeyView(), 1);
    Click(main_, 1013);
    HWND menu = WaitForPopupMenu();
    ASSERT_NE(nullptr, menu);
    RECT button, popup;
    GetWindowRect(GetDlgItem(main_, 1013), &button);
    GetWindowRect(menu, &popup);
    EXPECT_EQ(button.right, popup.left);
    EXPECT_EQ(button.top, popup.top);
    // Down, Down, Enter: the second item, "Action: Run File", opens the editor.
    SetForegroundWindow(main_);
    TapKeys({VK_DOWN, VK_DOWN, VK_RETURN});
    HWND editor = WaitForOwnedDialog(main_, L"Select URL / File");
    ASSERT_NE(nullptr, editor);
    Click(editor, IDCANCEL);
    ASSERT_TRUE(Closed(editor));
}

TEST_F(Editors, SystemCommandsAreAddedAsShutdownAndModifiedPastSeparators) {
    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"Commands", CTRL_ALT, VK_F9, 0));
    actions.Append(CommandAction(0, 0x0F04));
    WriteStore(hotkeys, actions);
    Open();
    ClickListRow(HotkeyView(), 0);

    HWND editor = OpenActionEditor(32779, L"System Commands");
    ASSERT_NE(nullptr, editor);
    EXPECT_EQ(SYSTEM_COMMAND_ROWS, SendDlgItemMessageW(editor, 1000, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(0, Selection(editor, 1000));
    Click(editor, IDOK);
    ASSERT_TRUE(Closed(editor));
    std::vector<ActionRecord> stored;
    ASSERT_TRUE(WaitFor([&] { return (stored = StoredActions(0)).size() == 2; }));
    EXPECT_EQ(0x0A01u, stored[1].commandCode);
    EXPECT_EQ(ACTION_SYS_COMMAND, stored[1].kind);
    EXPECT_STREQ(L"", stored[1].target);
    EXPECT_STREQ(L"", stored[1].parameters);
    EXPECT_STREQ(L"", stored[1].startIn);

    // Modify the first: it opens on "Volume Mute "; the separator moves on.
    ClickListRow(ActionView(), 0);
    Click(main_, 1015);
    editor = WaitForOwnedDialog(main_, L"System Commands");
    ASSERT_NE(nullptr, editor);
    EXPECT_EQ(29, Selection(editor, 1000));
    Select(editor, 1000, 11);
    EXPECT_EQ(12, Selection(editor, 1000)) << "the command below the separator";
    Click(editor, IDOK);
    ASSERT_TRUE(Closed(editor));
    ASSERT_TRUE(WaitFor([&] { return StoredActions(0)[0].commandCode == 0x0A0C; }));
    // The list is filled again after the save, and no action is selected.
    EXPECT_TRUE(WaitFor([&] { return !IsWindowEnabled(GetDlgItem(main_, 1014)); }));
}

TEST_F(Editors, AHotkeyMadeInTheDialogsFiresInTheRunningAgent) {
    Install(Library::None);
    WriteDword(StorePath(), L"version", 257);
    ASSERT_TRUE(Start());
    Open();

    HWND editor = OpenHotkeyEditor(1017);
    ASSERT_NE(nullptr, editor);
    SetText(editor, 1005, L"End to end");
    HWND picker = OpenPicker(editor);
    ASSERT_NE(nullptr, picker);
    Make(picker, 2, 1, 0, VK_F12);
    ASSERT_TRUE(Closed(picker));
    Click(editor, 1008);
    ASSERT_TRUE(Closed(editor));
    ASSERT_TRUE(WaitFor([&] { return SendMessageW(HotkeyView(), LVM_GETITEMCOUNT, 0, 0) == 1; }));

    ClickListRow(HotkeyView(), 0);
    editor = OpenActionEditor(32778, L"Select URL / File");
    ASSERT_NE(nullptr, editor);
    SetText(editor, 1005, TestProgramFolder() + L"launch_probe.exe");
    SetText(editor, 1006, L"\"" + log_ + L"\" dialogs 0");
    Click(editor, IDOK);
    ASSERT_TRUE(Closed(editor));
    ASSERT_TRUE(WaitFor([&] { return SendMessageW(ActionView(), LVM_GETITEMCOUNT, 0, 0) == 1; }));

    PressCombination(CTRL_ALT, VK_F12);
    EXPECT_TRUE(WaitFor([this] { return RunsOf(ReadProbeLog(log_), L"dialogs").size() == 1; }));
}

namespace {

int FocusedId(DWORD thread) {
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof gui;
    if (!GetGUIThreadInfo(thread, &gui) || !gui.hwndFocus)
        return 0;
    return GetDlgCtrlID(gui.hwndFocus);
}

// The ids that real Tab presses reach, starting from the focused control,
// until the focus comes back to where it started.
std::vector<int> TabCycle(HWND dialog, DWORD thread) {
    SetForegroundWindow(dialog);
    WaitFor([&] { return GetForegroundWindow() == dialog; }, 3000);
    std::vector<int> ids = {FocusedId(thread)};
    for (int step = 0; step < 20; ++step) {
        const int before = FocusedId(thread);
        TapKeys({VK_TAB});
        WaitFor([&] { return FocusedId(thread) != before; }, 2000);
        const int now = FocusedId(thread);
        if (now == ids[0] || now == before)
            break;
        ids.push_back(now);
    }
    return ids;
}

} // namespace

TEST_F(Editors, TabGoesInReadingOrderAndEnterAndEscDoWhatTheirButtonsSay) {
    Open();
    const DWORD thread = run_->threadId();
    EXPECT_EQ(1009, FocusedId(thread)) << "the hotkey list has the focus at the start";
    ClickListRow(HotkeyView(), 0);
    ClickListRow(ActionView(), 0);
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(GetDlgItem(main_, 1015)) != FALSE; }));
    SendMessageW(main_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(HotkeyView()), TRUE);
    EXPECT_EQ((std::vector<int>{1009, 1017, 1016, 1018, 1019, 1020, 1021, 1011, 1010, 1013, 1014,
                                1015, 1024}),
              TabCycle(main_, thread))
        << "the list, the two columns of buttons, then the actions pane top to bottom";

    // Hotkey editor: the title first; Esc cancels.
    const size_t hotkeysBefore = SubkeyNames(StorePath(L"HEADER")).size();
    HWND editor = OpenHotkeyEditor(1017);
    ASSERT_NE(nullptr, editor);
    EXPECT_EQ((std::vector<int>{1005, 1006, 1007, 1004, 1009, 1010, 1011, 1012, 1013, 1014, 1008,
                                IDCANCEL}),
              TabCycle(editor, thread));
    TapKeys({VK_ESCAPE});
    EXPECT_TRUE(Closed(editor));
    EXPECT_EQ(hotkeysBefore, SubkeyNames(StorePath(L"HEADER")).size());

    // URL / file editor: the field first; Enter in it is OK.
    const size_t actionsBefore = StoredActions(0).size();
    editor = OpenActionEditor(32777, L"Select URL / File");
    ASSERT_NE(nullptr, editor);
    EXPECT_EQ(1005, FocusedId(thread)) << "the URL / file field has the focus";
    EXPECT_EQ((std::vector<int>{1005, 1004, 1006, 1007, 1008, 1009, 1010, IDOK, IDCANCEL}),
              TabCycle(editor, thread));
    SetText(editor, 1005, L"https://example.org/");
    SendMessageW(editor, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(editor, 1005)), TRUE);
    TapKeys({VK_RETURN});
    EXPECT_TRUE(Closed(editor));
    // The main dialog saves once the editor has closed.
    std::vector<ActionRecord> stored;
    EXPECT_TRUE(WaitFor([&] { return (stored = StoredActions(0)).size() == actionsBefore + 1; }));
    ASSERT_EQ(actionsBefore + 1, stored.size());
    EXPECT_STREQ(L"https://example.org/", stored.back().target);

    // System-command editor: the list first; Enter is its default OK.
    editor = OpenActionEditor(32779, L"System Commands");
    ASSERT_NE(nullptr, editor);
    EXPECT_EQ(1000, FocusedId(thread)) << "the command list has the focus";
    EXPECT_EQ((std::vector<int>{1000, IDOK, IDCANCEL}), TabCycle(editor, thread));
    SendMessageW(editor, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(editor, 1000)), TRUE);
    TapKeys({VK_RETURN});
    EXPECT_TRUE(Closed(editor));
    EXPECT_TRUE(WaitFor([&] { return (stored = StoredActions(0)).size() == actionsBefore + 2; }));
    ASSERT_EQ(actionsBefore + 2, stored.size());
    EXPECT_EQ(ACTION_SYS_COMMAND, stored.back().kind);
    EXPECT_EQ(0x0A01u, stored.back().commandCode) << "Shutdown, the first row";
}

TEST_F(Editors, TypedTextsAndOpenOptionsAreStoredAsTheEditorsShowThem) {
    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"Target", CTRL_ALT, VK_F9, 0));
    WriteStore(hotkeys, actions);
    Open();
    ClickListRow(HotkeyView(), 0);

    // A typing action, from the third item of the action menu.
    HWND editor = OpenActionEditor(32785, L"Type Text");
    ASSERT_NE(nullptr, editor);
    SetText(editor, 1005, L"{Ctrl + Shift + Foo} x");
    Click(editor, IDOK);
    ExpectError(editor, L"{Ctrl + Shift + Foo} names no key. Write a key as the key list names "
                        L"it, such as {Enter} or {Ctrl + V}, and a brace as {{ or }}.");
    EXPECT_TRUE(IsWindow(editor)) << "the editor stays open";
    SetText(editor, 1005, L"wait{Sleep 20000}");
    Click(editor, IDOK);
    ExpectError(editor, L"{Sleep 20000} waits too long: a pause is at most 10000 milliseconds.");
    // A pause without its number is no key (not the key that puts the
    // machine to sleep), and one with anything else is no pause.
    SetText(editor, 1005, L"wait{Sleep}");
    Click(editor, IDOK);
    ExpectError(editor, L"{Sleep} names no key. Write a key as the key list names it, such as "
                        L"{Enter} or {Ctrl + V}, and a brace as {{ or }}.");
    for (const wchar_t* malformed : {L"{Sleep 250ms}", L"{Sleep abc}"}) {
        SetText(editor, 1005, std::wstring(L"wait") + malformed);
        Click(editor, IDOK);
        ExpectError(editor, (std::wstring(malformed) +
                             L" is not a pause: write {Sleep N}, with N a number of "
                             L"milliseconds up to 10000.")
                                .c_str());
    }
    const std::wstring text = L"Kind regards,\r\nAnn{Tab}{{1}}";
    SetText(editor, 1005, text);
    Click(editor, IDOK);
    ASSERT_TRUE(Closed(editor));

    // An open action with its three options.
    editor = OpenActionEditor(32777, L"Select URL / File");
    ASSERT_NE(nullptr, editor);
    EXPECT_EQ(0, Selection(editor, 1010)) << "Normal";
    SetText(editor, 1005, L"notepad.exe");
    Click(editor, 1008);
    Click(editor, 1009);
    Select(editor, 1010, 2);
    Click(editor, IDOK);
    ASSERT_TRUE(Closed(editor));

    std::vector<ActionRecord> stored;
    ASSERT_TRUE(WaitFor([&] { return (stored = StoredActions(0)).size() == 2; }));
    EXPECT_EQ(ACTION_TYPE_TEXT, stored[0].kind);
    EXPECT_EQ(text, stored[0].target);
    EXPECT_EQ(0u, stored[0].commandCode);
    EXPECT_EQ(ACTION_FILE_URL, stored[1].kind);
    EXPECT_EQ(OPEN_SWITCH_IF_RUNNING | OPEN_RUN_AS_ADMINISTRATOR | OPEN_WINDOW_MAXIMIZED,
              stored[1].commandCode);
    const std::vector<ListRow> rows = ReadList(ActionView(), 2);
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ(L"Type Text", rows[0].cells[0]);
    EXPECT_EQ(L"Kind regards, Ann{Tab}{{1}}", rows[0].cells[1]) << "on one line";

    // Modify opens each editor with what is stored.
    ClickListRow(ActionView(), 0);
    Click(main_, 1015);
    editor = WaitForOwnedDialog(main_, L"Type Text");
    ASSERT_NE(nullptr, editor);
    EXPECT_EQ(text, WindowText(GetDlgItem(editor, 1005)));
    SetText(editor, 1005, L"Hi");
    Click(editor, IDOK);
    ASSERT_TRUE(Closed(editor));
    ClickListRow(ActionView(), 1);
    Click(main_, 1015);
    editor = WaitForOwnedDialog(main_, L"Select URL / File");
    ASSERT_NE(nullptr, editor);
    EXPECT_TRUE(Checked(editor, 1008));
    EXPECT_TRUE(Checked(editor, 1009));
    EXPECT_EQ(2, Selection(editor, 1010));
    Click(editor, 1009);
    Select(editor, 1010, 1);
    Click(editor, IDOK);
    ASSERT_TRUE(Closed(editor));
    EXPECT_TRUE(WaitFor([&] {
        stored = StoredActions(0);
        return stored.size() == 2 && std::wstring(stored[0].target) == L"Hi" &&
               stored[1].commandCode == (OPEN_SWITCH_IF_RUNNING | OPEN_WINDOW_MINIMIZED);
    }));
}

TEST_F(Editors, AHotkeyForChosenProgramsSharesItsKeysOnlyWhereNoProgramHasBoth) {
    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"Mail", MOD_CONTROL | MOD_SHIFT, 'N', 0));
    ActionRecord rule = {};
    rule.kind = ACTION_PROGRAMS;
    rule.commandCode = PROGRAMS_ONLY_IN;
    CopyBoundedText(rule.target, ACTION_PATH_CHARS, L"notepad");
    actions.Append(rule);
    actions.Append(ProbeAction(0, log_, L"mail"));
    // A twin from a file, stored off: it stays off while Mail is on.
    hotkeys.Append(MakeHotkey(L"Mail too", MOD_CONTROL | MOD_SHIFT, 'N', 0));
    rule.owner = 1;
    CopyBoundedText(rule.target, ACTION_PATH_CHARS, L"wordpad; Notepad");
    actions.Append(rule);
    WriteStore(hotkeys, actions);
    Open();
    std::vector<ListRow> rows = ReadList(HotkeyView(), 5);
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ(L"Only in: notepad", rows[0].cells[4]);
    ClickListRow(HotkeyView(), 0);
    Click(main_, 1011);
    ASSERT_TRUE(WaitFor([&] { return StoredHotkeys()[0].enabled == 1; }));
    ClickListRow(HotkeyView(), 1);
    Click(main_, 1011);
    ExpectError(main_, L"\"Mail\" (Only in: notepad) has this combination in a program where "
                       L"both would work.");
    EXPECT_FALSE(Checked(main_, 1011));
    EXPECT_EQ(0, StoredHotkeys()[1].enabled);
    ClickListRow(HotkeyView(), 0);
    ASSERT_EQ(1u, ReadList(ActionView(), 2).size()) << "the programs record is no action";
    ClickListRow(ActionView(), 0);
    Click(main_, 1015);
    HWND editor = WaitForOwnedDialog(main_, L"Select URL / File");
    ASSERT_NE(nullptr, editor);
    EXPECT_NE(std::wstring::npos, WindowText(GetDlgItem(editor, 1006)).find(L"mail"))
        << "Modify Action opens the action the row shows";
    Click(editor, IDCANCEL);
    ASSERT_TRUE(Closed(editor));

    // A new hotkey on the same keys, only in notepad too: refused, naming Mail.
    editor = OpenHotkeyEditor(1017);
    ASSERT_NE(nullptr, editor);
    SetText(editor, 1005, L"Word");
    // "Running..." offers the programs showing a window (this one among
    // them); the one chosen is named once, however often it is chosen.
    for (int time = 0; time < 2; ++time) {
        Click(editor, 1011);
        ASSERT_NE(nullptr, WaitForPopupMenu());
        SetForegroundWindow(editor);
        TapKeys({VK_DOWN, VK_RETURN});
        ASSERT_TRUE(WaitFor([&] { return !WindowText(GetDlgItem(editor, 1010)).empty(); }));
        ASSERT_TRUE(WaitFor([&] { return ShownPopupMenu() == nullptr; }));
    }
    const std::wstring offered = WindowText(GetDlgItem(editor, 1010));
    EXPECT_EQ(1, Selection(editor, 1009)) << "a program chosen means \"Only in\"";
    EXPECT_EQ(L".exe", offered.substr(offered.size() - 4)) << offered.c_str();
    EXPECT_EQ(std::wstring::npos, offered.find(L';')) << offered.c_str();
    Select(editor, 1009, 1);
    SetText(editor, 1010, L" NOTEPAD.exe ");
    HWND picker = OpenPicker(editor);
    ASSERT_NE(nullptr, picker);
    Make(picker, 2, 3, 0, 'N');
    ExpectError(picker, L"\"Mail\" (Only in: notepad) has this combination in a program where "
                        L"both would work.");
    Click(picker, IDCANCEL);
    ASSERT_TRUE(Closed(picker));
    // In winword it may have them.
    SetText(editor, 1010, L"winword ;  ");
    picker = OpenPicker(editor);
    ASSERT_NE(nullptr, picker);
    Make(picker, 2, 3, 0, 'N');
    ASSERT_TRUE(Closed(picker));
    Click(editor, 1008);
    ASSERT_TRUE(Closed(editor));
    std::vector<ActionRecord> stored;
    ASSERT_TRUE(WaitFor([&] { return (stored = StoredActions(2)).size() == 1; }));
    EXPECT_EQ(ACTION_PROGRAMS, stored[0].kind);
    EXPECT_EQ(PROGRAMS_ONLY_IN, stored[0].commandCode);
    EXPECT_STREQ(L"winword", stored[0].target);
    rows = ReadList(HotkeyView(), 5);
    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ(L"Only in: winword", rows[2].cells[4]);

    // Back to all programs: the record goes.
    ClickListRow(HotkeyView(), 2);
    editor = OpenHotkeyEditor(1016);
    ASSERT_NE(nullptr, editor);
    EXPECT_EQ(1, Selection(editor, 1009));
    EXPECT_EQ(L"winword", WindowText(GetDlgItem(editor, 1010)));
    Select(editor, 1009, 0);
    Click(editor, 1008);
    ASSERT_TRUE(Closed(editor));
    EXPECT_TRUE(WaitFor([&] { return StoredActions(2).empty(); }));
}

TEST_F(Editors, AnAbbreviationStartsAHotkeyWithOrWithoutACombinationAndClashesWhereBothWork) {
    Open();
    HWND editor = OpenHotkeyEditor(1017);
    ASSERT_NE(nullptr, editor);
    SetText(editor, 1005, L"Signature");
    SetText(editor, 1012, L"x");
    Click(editor, 1008);
    ExpectError(editor, L"An abbreviation has 2 to 31 characters and no blanks");
    SetText(editor, 1012, L";sig");
    Click(editor, 1013);
    Click(editor, 1008); // no combination: the abbreviation starts it
    ASSERT_TRUE(Closed(editor));
    std::vector<HotkeyRecord> stored;
    ASSERT_TRUE(WaitFor([&] { return (stored = StoredHotkeys()).size() == 7; }));
    EXPECT_EQ(0u, stored[6].virtualKey);
    EXPECT_EQ(0u, stored[6].modifiers);
    const std::vector<ActionRecord> actions = StoredActions(6);
    ASSERT_EQ(1u, actions.size());
    EXPECT_EQ(4u, actions[0].kind);
    EXPECT_STREQ(L";sig", actions[0].target);
    EXPECT_EQ(1u, actions[0].commandCode) << "expand at once";
    const std::vector<ListRow> rows = ReadList(HotkeyView(), 3);
    ASSERT_EQ(7u, rows.size());
    EXPECT_EQ(L";sig", rows[6].cells[2]) << "the list shows the abbreviation";

    // The same text on another hotkey for every program is a clash; with a
    // combination too, the list shows both.
    editor = OpenHotkeyEditor(1017);
    ASSERT_NE(nullptr, editor);
    SetText(editor, 1005, L"Twin");
    SetText(editor, 1012, L";SIG");
    Click(editor, 1008);
    ExpectError(editor, L"\"Signature\" has the abbreviation ;SIG in a program where both would "
                        L"work.");
    SetText(editor, 1012, L"@@");
    HWND picker = OpenPicker(editor);
    ASSERT_NE(nullptr, picker);
    Make(picker, 2, 3, 0, 'S');
    ASSERT_TRUE(Closed(picker));
    Click(editor, 1008);
    ASSERT_TRUE(Closed(editor));
    ASSERT_TRUE(WaitFor([&] { return StoredHotkeys().size() == 8; }));
    EXPECT_EQ(L"Ctrl + Shift + S, @@", ReadList(HotkeyView(), 3)[7].cells[2]);
}
