// The main configuration dialog, opened through the real library's
// Configure and driven by clicks, keys and its message boxes.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "agent_harness.h"
#include "dialog_driver.h"
#include "store.h"
#include "test_registry.h"

namespace {

const UINT CTRL_ALT = MOD_CONTROL | MOD_ALT;

class MainDialog : public AgentTest {
  protected:
    HWND HotkeyView(HWND dialog) { return GetDlgItem(dialog, 1009); }
    HWND ActionsOf(HWND dialog) { return GetDlgItem(dialog, 1010); }
    std::vector<ListRow> HotkeyRows(HWND dialog) { return ReadList(HotkeyView(dialog), 4); }
    std::vector<ListRow> ActionRows(HWND dialog) { return ReadList(ActionsOf(dialog), 2); }
    int Mark(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETSELECTIONMARK, 0, 0)); }
    void Press(HWND control, WORD key) {
        SendMessageW(control, WM_KEYDOWN, key, 0);
        SendMessageW(control, WM_KEYUP, key, 0);
    }
    // Which of the controls that can change state are enabled, as a string.
    std::string EnabledState(HWND dialog) {
        const int ids[] = {1017, 1016, 1018, 1010, 1013, 1014, 1015, 1019, 1011, 1020, 1021, 1024};
        std::string state;
        for (int id : ids)
            state += Enabled(dialog, id) ? '1' : '0';
        return state;
    }
    LibraryUnderTest library_;
};

// add, modify, delete, actions, add action, del action, modify action, close,
// enabled box, about, site, sequential box
const char START_STATE[] = "100000010110";
const char HOTKEY_CHOSEN[] = "111110011111";
const char ACTION_CHOSEN[] = "111111111111";

void StoreWithActions(const Hotkeys& hotkeys, const Actions& actions) {
    WriteStore(hotkeys, actions);
}

} // namespace

TEST_F(MainDialog, StartsWithTheControlsAndTheDefaultHotkeys) {
    ConfigureRun run(library_.configure());
    HWND dialog = run.WaitForDialog();
    ASSERT_NE(nullptr, dialog);

    EXPECT_EQ(static_cast<LONG>(WS_EX_APPWINDOW),
              GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    EXPECT_EQ(nullptr, GetWindow(dialog, GW_OWNER));
    const struct {
        int id;
        const wchar_t* text;
    } texts[] = {{1017, L"&Add New"},
                 {1016, L"&Modify Hot Key"},
                 {1018, L"&Delete"},
                 {1013, L"Add A&ction"},
                 {1014, L"D&el Action"},
                 {1015, L"M&odify Action"},
                 {1019, L"&Close"},
                 {1011, L"This Hot Key is &Enabled"},
                 {1020, L"Abo&ut"},
                 {1021, L"&Ostrand Online"},
                 {1024, L"Run Actions &Sequentially"}};
    for (const auto& t : texts)
        EXPECT_EQ(t.text, WindowText(GetDlgItem(dialog, t.id))) << t.id;
    EXPECT_EQ(START_STATE, EnabledState(dialog));

    std::vector<ListRow> rows = HotkeyRows(dialog);
    ASSERT_EQ(6u, rows.size());
    const wchar_t* titles[6] = {L"Configure Pendrix", L"Internet Explorer", L"Calculator",
                                L"Media Player",      L"Pendrix Website",   L"Shutdown System"};
    const wchar_t* combinations[6] = {L"ALT + Ctrl + F7",  L"Ctrl + Shift + I",
                                      L"Ctrl + Shift + C", L"Ctrl + Shift + M",
                                      L"Ctrl + Shift + G", L"ALT + Ctrl + Shift + Backspace"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(L"", rows[i].cells[0]);
        EXPECT_EQ(titles[i], rows[i].cells[1]);
        EXPECT_EQ(combinations[i], rows[i].cells[2]);
        EXPECT_EQ(L"Sample Shortcut " + std::to_wstring(i + 1), rows[i].cells[3]);
        EXPECT_EQ(i < 5 ? 1 : 0, rows[i].image) << "green for enabled, red for disabled";
    }
    EXPECT_TRUE(ActionRows(dialog).empty());

    // Enter does nothing; Esc closes and the store keeps the defaults.
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    EXPECT_FALSE(run.Ended(300));
    PostMessageW(HotkeyView(dialog), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(run.Ended(5000));
    EXPECT_EQ(6u, StoredHotkeys().size());

    // The library stays loaded: the next dialog still starts from the store.
    ConfigureRun again(library_.configure());
    dialog = again.WaitForDialog();
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(6u, HotkeyRows(dialog).size());
}

TEST_F(MainDialog, AnEmptyStoreShowsAnEmptyList) {
    WriteDword(StorePath(), L"version", 257);
    ConfigureRun run(library_.configure());
    HWND dialog = run.WaitForDialog();
    ASSERT_NE(nullptr, dialog);
    EXPECT_TRUE(HotkeyRows(dialog).empty());
    ClickListRow(HotkeyView(dialog), -1);
    EXPECT_EQ(START_STATE, EnabledState(dialog));
    PostMessageW(dialog, WM_COMMAND, 1018, 0); // Delete without a hotkey: nothing
    EXPECT_EQ(nullptr, WaitForMessageBox(dialog, 500));
}

TEST_F(MainDialog, ClicksAndArrowsSelectHotkeysAndFillTheirActions) {
    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"First", CTRL_ALT, VK_F9, 1, 1));
    hotkeys.Append(MakeHotkey(L"Second", CTRL_ALT, VK_F10, 0, 0));
    hotkeys.Append(MakeHotkey(L"Third", CTRL_ALT, VK_F11, 1, 0));
    actions.Append(ProbeAction(1, log_, L"s1"));
    actions.Append(ProbeAction(0, log_, L"f1"));
    actions.Append(CommandAction(0, 0x0F04));
    actions.Append(CommandAction(0, 0xFFFFFFFF));
    actions.Append(ProbeAction(0, log_, L"f2"));
    StoreWithActions(hotkeys, actions);

    ConfigureRun run(library_.configure());
    HWND dialog = run.WaitForDialog();
    ASSERT_NE(nullptr, dialog);
    HWND list = HotkeyView(dialog);

    // Arrows with no selection mark do nothing.
    Press(list, VK_DOWN);
    Press(list, VK_UP);
    EXPECT_TRUE(ActionRows(dialog).empty());

    ClickListRow(list, 0);
    EXPECT_TRUE(WaitFor([&] { return EnabledState(dialog) == HOTKEY_CHOSEN; }));
    EXPECT_TRUE(Checked(dialog, 1011));
    EXPECT_TRUE(Checked(dialog, 1024));
    std::vector<ListRow> rows = ActionRows(dialog);
    ASSERT_EQ(4u, rows.size());
    EXPECT_EQ(L"File/Url", rows[0].cells[0]);
    EXPECT_EQ(TestProgramFolder() + L"launch_probe.exe", rows[0].cells[1]);
    EXPECT_EQ(L"Sys Command", rows[1].cells[0]);
    EXPECT_EQ(L"Volume Mute ", rows[1].cells[1]);
    EXPECT_EQ(L" ", rows[2].cells[1]) << "the separator code shows its name";
    EXPECT_EQ(L"File/Url", rows[3].cells[0]);

    ClickListRow(ActionsOf(dialog), 0);
    EXPECT_TRUE(WaitFor([&] { return EnabledState(dialog) == ACTION_CHOSEN; }));

    // Up on the first row: nothing. Down: the next hotkey's actions.
    Press(list, VK_UP);
    EXPECT_EQ(0, Mark(list));
    EXPECT_EQ(4u, ActionRows(dialog).size());
    Press(list, VK_DOWN);
    EXPECT_EQ(1, Mark(list));
    rows = ActionRows(dialog);
    ASSERT_EQ(1u, rows.size());
    EXPECT_FALSE(Checked(dialog, 1011));
    EXPECT_EQ(ACTION_CHOSEN, EnabledState(dialog)) << "arrows leave the buttons alone";
    Press(list, VK_DOWN);
    Press(list, VK_DOWN); // on the last row: nothing
    EXPECT_EQ(2, Mark(list));
    EXPECT_TRUE(ActionRows(dialog).empty());

    // A click on another hotkey: the action buttons stay, but find nothing.
    ClickListRow(list, 0);
    ClickListRow(ActionsOf(dialog), 1);
    ClickListRow(list, 1);
    EXPECT_TRUE(Enabled(dialog, 1014));
    PostMessageW(GetDlgItem(dialog, 1014), BM_CLICK, 0, 0);
    HWND box = WaitForMessageBox(dialog);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(L"Are you sure you want to delete Action?", MessageBoxText(box));
    ASSERT_TRUE(AnswerMessageBox(box, IDYES));
    EXPECT_EQ(5u, SubkeyNames(StorePath(L"HEADER\\0")).size() +
                      SubkeyNames(StorePath(L"HEADER\\1")).size())
        << "nothing was deleted";
    PostMessageW(GetDlgItem(dialog, 1015), BM_CLICK, 0, 0);
    Sleep(500);
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"#32770", nullptr)) != nullptr;)
        EXPECT_NE(dialog, GetWindow(w, GW_OWNER)) << "Modify Action opens nothing";

    // Enter and double-clicks in the lists open nothing.
    Press(list, VK_RETURN);
    Press(ActionsOf(dialog), VK_RETURN);
    RECT row = {};
    row.left = LVIR_BOUNDS;
    SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
    PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(row.left + 50, row.top + 4));
    PostMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(row.left + 50, row.top + 4));
    Sleep(500);
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"#32770", nullptr)) != nullptr;)
        EXPECT_NE(dialog, GetWindow(w, GW_OWNER)) << "nothing opened";

    // A click off the rows clears the pane.
    ClickListRow(list, -1);

    EXPECT_EQ(START_STATE, EnabledState(dialog));
    EXPECT_TRUE(ActionRows(dialog).empty());
}

TEST_F(MainDialog, DeletingAHotkeyTakesItsActionsAndDeleteActionAsksFirst) {
    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"Owner", CTRL_ALT, VK_F9, 0));
    hotkeys.Append(MakeHotkey(L"Next", CTRL_ALT, VK_F10, 0));
    hotkeys.Append(MakeHotkey(L"Last", CTRL_ALT, VK_F11, 0));
    actions.Append(ProbeAction(0, log_, L"a"));
    actions.Append(ProbeAction(0, log_, L"b"));
    actions.Append(ProbeAction(0, log_, L"c"));
    actions.Append(ProbeAction(1, log_, L"d"));
    actions.Append(ProbeAction(2, log_, L"e"));
    actions.Append(ProbeAction(2, log_, L"f"));
    StoreWithActions(hotkeys, actions);

    ConfigureRun run(library_.configure());
    HWND dialog = run.WaitForDialog();
    ASSERT_NE(nullptr, dialog);
    ClickListRow(HotkeyView(dialog), 0);
    PostMessageW(GetDlgItem(dialog, 1018), BM_CLICK, 0, 0);
    HWND box = WaitForMessageBox(dialog);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(L"Are you sure you want to delete this hotkey?", MessageBoxText(box));
    ASSERT_TRUE(AnswerMessageBox(box, IDYES));
    EXPECT_TRUE(WaitFor([&] { return HotkeyRows(dialog).size() == 2; }));
    EXPECT_EQ(START_STATE, EnabledState(dialog));

    std::vector<HotkeyRecord> stored = StoredHotkeys();
    ASSERT_EQ(2u, stored.size());
    EXPECT_STREQ(L"Next", stored[0].title);
    EXPECT_EQ(std::vector<std::wstring>{L"0"}, SubkeyNames(StorePath(L"HEADER\\0")));
    EXPECT_EQ((std::vector<std::wstring>{L"0", L"1"}), SubkeyNames(StorePath(L"HEADER\\1")));

    // Del Action: No keeps it, Yes removes exactly the selected one.
    ClickListRow(HotkeyView(dialog), 1);
    ClickListRow(ActionsOf(dialog), 1);
    PostMessageW(GetDlgItem(dialog, 1014), BM_CLICK, 0, 0);
    box = WaitForMessageBox(dialog);
    ASSERT_TRUE(AnswerMessageBox(box, IDNO));
    EXPECT_EQ(2u, ActionRows(dialog).size());
    PostMessageW(GetDlgItem(dialog, 1014), BM_CLICK, 0, 0);
    box = WaitForMessageBox(dialog);
    ASSERT_TRUE(AnswerMessageBox(box, IDYES));
    EXPECT_TRUE(WaitFor([&] { return ActionRows(dialog).size() == 1; }));
    EXPECT_NE(std::wstring::npos, ActionRows(dialog)[0].cells[1].find(L"launch_probe"));
    EXPECT_FALSE(Enabled(dialog, 1014));
    EXPECT_EQ(std::vector<std::wstring>{L"0"}, SubkeyNames(StorePath(L"HEADER\\1")));
    std::vector<BYTE> node = ReadValue(StorePath(L"HEADER\\1\\0"), L"node");
    ASSERT_EQ(1184u, node.size());
    EXPECT_NE(std::wstring::npos,
              std::wstring(reinterpret_cast<const wchar_t*>(&node[1048])).find(L" e "))
        << "the first action stayed";
}

TEST_F(MainDialog, DamagedActionsAreReportedOncePerFillAndGoneAfterClose) {
    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"Damaged", CTRL_ALT, VK_F9, 0));
    actions.Append(ProbeAction(0, log_, L"x"));
    actions.Append(CommandAction(0, 0x0B03));
    actions.Append(ProbeAction(0, log_, L"y"));
    actions.Append(CommandAction(0, 0));
    StoreWithActions(hotkeys, actions);

    ConfigureRun run(library_.configure());
    HWND dialog = run.WaitForDialog();
    ASSERT_NE(nullptr, dialog);
    // The message box runs inside the handling of the click: post it.
    RECT rect = {};
    rect.left = LVIR_BOUNDS;
    SendMessageW(HotkeyView(dialog), LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&rect));
    const LPARAM at = MAKELPARAM(rect.left + 50, (rect.top + rect.bottom) / 2);
    PostMessageW(HotkeyView(dialog), WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(HotkeyView(dialog), WM_LBUTTONUP, 0, at);
    for (int message = 0; message < 2; ++message) {
        HWND box = WaitForMessageBox(dialog);
        ASSERT_NE(nullptr, box) << message;
        EXPECT_EQ(L"Corrupted Data Found & Fixed!", MessageBoxText(box));
        ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    }
    EXPECT_EQ(nullptr, WaitForMessageBox(dialog, 500)) << "one message per damaged action";
    std::vector<ListRow> rows;
    ASSERT_TRUE(WaitFor([&] { return (rows = ActionRows(dialog)).size() == 2; }));
    EXPECT_EQ(L"File/Url", rows[0].cells[0]);
    EXPECT_EQ(L"File/Url", rows[1].cells[0]);
    EXPECT_EQ(4u, SubkeyNames(StorePath(L"HEADER\\0")).size()) << "not saved before Close";

    PostMessageW(GetDlgItem(dialog, 1019), BM_CLICK, 0, 0);
    ASSERT_TRUE(run.Ended(5000));
    EXPECT_EQ(2u, SubkeyNames(StorePath(L"HEADER\\0")).size());
}

TEST_F(MainDialog, TheEnabledBoxReachesTheRunningAgent) {
    Install(Library::None);
    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"Live", CTRL_ALT, VK_F9, 1));
    hotkeys.Append(MakeHotkey(L"Taken", CTRL_ALT, VK_F10, 0));
    StoreWithActions(hotkeys, actions);
    ASSERT_TRUE(Start());
    ASSERT_TRUE(CombinationIsTaken(CTRL_ALT, VK_F9));
    ASSERT_TRUE(RegisterHotKey(nullptr, 0xB301, CTRL_ALT, VK_F10));

    {
        ConfigureRun run(library_.configure());
        HWND dialog = run.WaitForDialog();
        ASSERT_NE(nullptr, dialog);
        ClickListRow(HotkeyView(dialog), 0);
        ASSERT_TRUE(Checked(dialog, 1011));
        SendMessageW(GetDlgItem(dialog, 1011), BM_CLICK, 0, 0);
        EXPECT_FALSE(CombinationIsTaken(CTRL_ALT, VK_F9)) << "freed at once";
        EXPECT_EQ(0, HotkeyRows(dialog)[0].image);
        EXPECT_EQ(0, Mark(HotkeyView(dialog))) << "the row stays selected";

        ClickListRow(HotkeyView(dialog), 1);
        ASSERT_FALSE(Checked(dialog, 1011));
        SendMessageW(GetDlgItem(dialog, 1011), BM_CLICK, 0, 0);
        EXPECT_FALSE(Checked(dialog, 1011)) << "the agent could not register it";
        EXPECT_EQ(0, HotkeyRows(dialog)[1].image) << "red square";
        EXPECT_EQ(0, StoredHotkeys()[1].enabled);
    }
    UnregisterHotKey(nullptr, 0xB301);
    EXPECT_EQ(0u, Exit());
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
    process_ = {};

    // Without an agent the box stays ticked and the store holds 1.
    ConfigureRun run(library_.configure());
    HWND dialog = run.WaitForDialog();
    ASSERT_NE(nullptr, dialog);
    ClickListRow(HotkeyView(dialog), 1);
    SendMessageW(GetDlgItem(dialog, 1011), BM_CLICK, 0, 0);
    EXPECT_TRUE(Checked(dialog, 1011));
    EXPECT_EQ(1, HotkeyRows(dialog)[1].image);
    EXPECT_EQ(1, StoredHotkeys()[1].enabled);
    SendMessageW(GetDlgItem(dialog, 1024), BM_CLICK, 0, 0);
    EXPECT_EQ(1, StoredHotkeys()[1].runSequentially);
}

TEST_F(MainDialog, OpensFromTheAgentsTrayAndStaysSingle) {
    Install(Library::Real);
    ASSERT_TRUE(Start());
    PostMessageW(window(), WM_COMMAND, AGENT_CONFIGURE, 0);
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        dialog = FindWindowW(L"#32770", MAIN_DIALOG_CAPTION);
        return dialog && IsWindowVisible(dialog);
    }));
    DWORD process = 0;
    GetWindowThreadProcessId(dialog, &process);
    EXPECT_EQ(process_.dwProcessId, process);

    // Another Configure, here or from the tray again, shows nothing new.
    {
        ConfigureRun second(library_.configure());
        EXPECT_TRUE(second.Ended(3000));
    }
    PostMessageW(window(), WM_COMMAND, AGENT_CONFIGURE, 0);
    Sleep(500);
    int dialogs = 0;
    for (HWND w = nullptr;
         (w = FindWindowExW(nullptr, w, L"#32770", MAIN_DIALOG_CAPTION)) != nullptr;)
        ++dialogs;
    EXPECT_EQ(1, dialogs);

    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
    EXPECT_TRUE(Alive());
}

namespace {

// Gives the dialog the keyboard, with the focus on one of its controls, so
// that SendInput's keys reach that control.
bool FocusControl(HWND dialog, HWND control) {
    SetForegroundWindow(dialog);
    SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
    const DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
    return WaitFor(
        [&] {
            GUITHREADINFO info = {};
            info.cbSize = sizeof info;
            return GetGUIThreadInfo(thread, &info) && info.hwndFocus == control &&
                   GetForegroundWindow() == dialog;
        },
        3000);
}

int SelectedRow(HWND list) {
    return static_cast<int>(
        SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

// The targets of a hotkey's URL/file actions tell which one the pane shows.
std::wstring ProbeTag(const std::wstring& target) {
    return target.substr(target.find_last_of(L'\\') + 1);
}

} // namespace

TEST_F(MainDialog, EveryWayOfMovingTheSelectionBringsThePaneAndTheCommandsAlong) {
    // Thirty hotkeys, so that Page Down stops inside the list. Each one's only
    // action opens a file named after it.
    Hotkeys hotkeys;
    Actions actions;
    const wchar_t* names[] = {L"Apple", L"Banana", L"Cherry", L"Damson", L"Elder"};
    for (UINT i = 0; i < 30; ++i) {
        std::wstring title = i < 5 ? names[i] : L"Zest " + std::to_wstring(i);
        hotkeys.Append(MakeHotkey(title.c_str(), CTRL_ALT, 'A' + (i % 26), 1, 0));
        ActionRecord action = ProbeAction(i, log_, L"x");
        CopyBoundedText(action.target, ACTION_PATH_CHARS, (L"C:\\t\\" + title).c_str());
        actions.Append(action);
    }
    StoreWithActions(hotkeys, actions);

    ConfigureRun run(library_.configure());
    HWND dialog = run.WaitForDialog();
    ASSERT_NE(nullptr, dialog);
    HWND list = HotkeyView(dialog);
    auto shows = [&](const std::wstring& title) {
        std::vector<ListRow> rows = ActionRows(dialog);
        return rows.size() == 1 && ProbeTag(rows[0].cells[1]) == title;
    };
    auto titleAt = [&](int row) { return HotkeyRows(dialog)[static_cast<size_t>(row)].cells[1]; };

    // The fault as users met it: a hotkey and its action chosen, then End.
    ClickListRow(list, 0);
    ClickListRow(ActionsOf(dialog), 0);
    ASSERT_EQ(ACTION_CHOSEN, EnabledState(dialog));
    ASSERT_TRUE(FocusControl(dialog, list));
    TapKeys({VK_END});
    ASSERT_TRUE(WaitFor([&] { return shows(L"Zest 29"); })) << "End: the last hotkey is shown";
    EXPECT_EQ(29, Mark(list));
    PostMessageW(GetDlgItem(dialog, 1014), BM_CLICK, 0, 0);
    HWND box = WaitForMessageBox(dialog);
    ASSERT_NE(nullptr, box);
    ASSERT_TRUE(AnswerMessageBox(box, IDYES));
    Sleep(300); // a delete would be saved by now
    EXPECT_EQ(1u, SubkeyNames(StorePath(L"HEADER\\0")).size()) << "Apple keeps its action";
    EXPECT_EQ(1u, SubkeyNames(StorePath(L"HEADER\\29")).size())
        << "no action of the shown hotkey was chosen, so none is deleted";
    SendMessageW(GetDlgItem(dialog, 1024), BM_CLICK, 0, 0);
    std::vector<HotkeyRecord> stored = StoredHotkeys();
    EXPECT_EQ(0, stored[0].runSequentially);
    EXPECT_EQ(1, stored[29].runSequentially) << "the box acted on the hotkey shown";

    // Home, then Page Down: the check boxes show the hotkey reached.
    ASSERT_TRUE(FocusControl(dialog, list));
    TapKeys({VK_HOME});
    ASSERT_TRUE(WaitFor([&] { return shows(L"Apple"); }));
    EXPECT_FALSE(Checked(dialog, 1024)) << "Apple's own flag, not the last one's";
    TapKeys({VK_NEXT});
    ASSERT_TRUE(WaitFor([&] { return SelectedRow(list) > 1; }));
    const int paged = SelectedRow(list);
    ASSERT_LT(paged, 29) << "Page Down stops inside the list";
    ASSERT_TRUE(WaitFor([&] { return shows(titleAt(paged)); })) << titleAt(paged).c_str();
    SendMessageW(GetDlgItem(dialog, 1011), BM_CLICK, 0, 0); // untick Enabled
    stored = StoredHotkeys();
    EXPECT_EQ(0, stored[static_cast<size_t>(paged)].enabled);
    EXPECT_EQ(1, stored[0].enabled);

    // A typed letter jumps to the first title with it; Delete removes that one.
    ASSERT_TRUE(FocusControl(dialog, list));
    TapKeys({'C'});
    ASSERT_TRUE(WaitFor([&] { return shows(L"Cherry"); }));
    EXPECT_TRUE(Enabled(dialog, 1018)) << "Delete is there for the hotkey shown";
    PostMessageW(GetDlgItem(dialog, 1018), BM_CLICK, 0, 0);
    box = WaitForMessageBox(dialog);
    ASSERT_NE(nullptr, box);
    ASSERT_TRUE(AnswerMessageBox(box, IDYES));
    ASSERT_TRUE(WaitFor([&] { return StoredHotkeys().size() == 29u; }));
    stored = StoredHotkeys();
    EXPECT_STREQ(L"Banana", stored[1].title);
    EXPECT_STREQ(L"Damson", stored[2].title) << "Cherry is gone";

    // A right-click selects its row; the pane and the boxes follow.
    RECT row = {};
    row.left = LVIR_BOUNDS;
    SendMessageW(list, LVM_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&row));
    const LPARAM at = MAKELPARAM(row.left + 50, (row.top + row.bottom) / 2);
    PostMessageW(list, WM_RBUTTONDOWN, MK_RBUTTON, at);
    PostMessageW(list, WM_RBUTTONUP, 0, at);
    ASSERT_TRUE(WaitFor([&] { return shows(L"Elder"); }));
    EXPECT_EQ(HOTKEY_CHOSEN, EnabledState(dialog));
    SendMessageW(GetDlgItem(dialog, 1024), BM_CLICK, 0, 0);
    EXPECT_EQ(1, StoredHotkeys()[3].runSequentially) << "Elder's flag";

    // An action chosen with the keyboard enables its two buttons.
    ASSERT_TRUE(FocusControl(dialog, ActionsOf(dialog)));
    TapKeys({VK_HOME});
    EXPECT_TRUE(WaitFor([&] { return Enabled(dialog, 1014) && Enabled(dialog, 1015); }));

    // No row selected any more: cleared as after a click off the rows.
    LVITEMW none = {};
    none.stateMask = LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
    EXPECT_TRUE(WaitFor([&] { return EnabledState(dialog) == START_STATE; }));
    EXPECT_TRUE(ActionRows(dialog).empty());
}

TEST_F(MainDialog, ColumnsAndStateImagesScaleWithTheDpiAndFollowAChange) {
    const char* expected = getenv("PENDRIX_EXPECT_DPI");
    const UINT expectedDpi = expected ? static_cast<UINT>(atoi(expected)) : 96;
    ConfigureRun run(library_.configure());
    HWND dialog = run.WaitForDialog();
    ASSERT_NE(nullptr, dialog);
    typedef UINT(WINAPI * DpiForWindow)(HWND);
    DpiForWindow dpiOf = reinterpret_cast<DpiForWindow>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    ASSERT_NE(nullptr, dpiOf);
    ASSERT_EQ(expectedDpi, dpiOf(dialog)) << "the display runs at the scale under test";

    const int hotkeyBase[] = {20, 100, 150, 105};
    const int actionBase[] = {75, 215};
    auto expectScale = [&](UINT dpi) {
        SCOPED_TRACE(dpi);
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(MulDiv(hotkeyBase[c], dpi, 96),
                        SendMessageW(HotkeyView(dialog), LVM_GETCOLUMNWIDTH, c, 0), 1)
                << "hotkey column " << c;
        for (int c = 0; c < 2; ++c)
            EXPECT_NEAR(MulDiv(actionBase[c], dpi, 96),
                        SendMessageW(ActionsOf(dialog), LVM_GETCOLUMNWIDTH, c, 0), 1)
                << "action column " << c;
        HIMAGELIST images = reinterpret_cast<HIMAGELIST>(
            SendMessageW(HotkeyView(dialog), LVM_GETIMAGELIST, LVSIL_SMALL, 0));
        int cx = 0, cy = 0;
        ASSERT_TRUE(ImageList_GetIconSize(images, &cx, &cy));
        EXPECT_EQ(MulDiv(16, dpi, 96), cx);
        EXPECT_EQ(MulDiv(16, dpi, 96), cy);
        EXPECT_EQ(2, ImageList_GetImageCount(images));
    };
    expectScale(expectedDpi);

    // Moved to a monitor at twice the scale, and back.
    RECT place;
    GetWindowRect(dialog, &place);
    const UINT other = expectedDpi * 2;
    SendMessageW(dialog, WM_DPICHANGED, MAKEWPARAM(other, other), reinterpret_cast<LPARAM>(&place));
    expectScale(other);
    SendMessageW(dialog, WM_DPICHANGED, MAKEWPARAM(expectedDpi, expectedDpi),
                 reinterpret_cast<LPARAM>(&place));
    expectScale(expectedDpi);
    std::vector<ListRow> rows = HotkeyRows(dialog);
    ASSERT_EQ(6u, rows.size());
    EXPECT_EQ(1, rows[0].image) << "the rows keep their images";
}
