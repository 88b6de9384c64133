// The catalogues, the combination text and the drop-down list helpers on a
// real combo box.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "catalogue.h"

namespace {

std::wstring Format(UINT modifiers, UINT key) {
    wchar_t text[HOTKEY_TEXT_BUFFER_CHARS];
    FormatHotkeyText(modifiers, key, text, HOTKEY_TEXT_BUFFER_CHARS);
    return text;
}

} // namespace

TEST(Catalogue, TablesHaveTheirRowsAndTerminators) {
    EXPECT_EQ(MODIFIER_ROWS, CatalogueRowCount(ModifierTable));
    EXPECT_EQ(KEY_NAME_ROWS, CatalogueRowCount(KeyNameTable));
    EXPECT_EQ(SYSTEM_COMMAND_ROWS, CatalogueRowCount(SystemCommandTable));
    EXPECT_EQ(0u, SystemCommandTable[SYSTEM_COMMAND_ROWS].code);

    // Spot checks along the key table's rules and its exceptions.
    EXPECT_EQ(0, FindCatalogueIndex(KeyNameTable, VK_F1));
    EXPECT_EQ(11, FindCatalogueIndex(KeyNameTable, VK_F12));
    EXPECT_EQ(12, FindCatalogueIndex(KeyNameTable, 'A'));
    EXPECT_EQ(35, FindCatalogueIndex(KeyNameTable, 'X'));
    EXPECT_EQ(36, FindCatalogueIndex(KeyNameTable, 'Z'));
    EXPECT_EQ(37, FindCatalogueIndex(KeyNameTable, '0'));
    EXPECT_STREQ(L"Numeric Pad 9", KeyNameTable[56].name);
    EXPECT_STREQ(L"PrtScn", FindCatalogueName(KeyNameTable, 0x2A));
    EXPECT_STREQ(L"Print Window", FindCatalogueName(KeyNameTable, 0x2C));
    EXPECT_EQ(82, FindCatalogueIndex(KeyNameTable, 0xA6));
    EXPECT_STREQ(L"Start Application 2 key", KeyNameTable[99].name);

    // Forcibly rows line up: the suffix starts at position 16.
    for (int row : {1, 3, 5, 7, 9, 17, 18, 19}) {
        std::wstring name = SystemCommandTable[row].name;
        EXPECT_EQ(L'-', name[16]) << row;
        EXPECT_EQ(L' ', name[15]) << row;
        if (row < 10) {
            EXPECT_EQ(28u, name.size()) << row;
        }
    }
    EXPECT_STREQ(L"Volume UP ", SystemCommandTable[25].name);
    EXPECT_STREQ(L" [ Abort Shutdown / Restart ]", SystemCommandTable[12].name);
    EXPECT_STREQ(L"Open Folder: Program Files\\Common", SystemCommandTable[56].name);

    // Folder codes count their low byte in decimal digits.
    int folders = 0;
    for (int row = 0; SystemCommandTable[row].name; ++row) {
        UINT code = SystemCommandTable[row].code;
        if ((code >> 8) != 0x0E)
            continue;
        ++folders;
        EXPECT_LE(code & 0x0F, 9u) << std::hex << code;
    }
    EXPECT_EQ(28, folders);

    // Every separator is " " and followed by a command.
    int separators = 0;
    for (int row = 0; SystemCommandTable[row].name; ++row) {
        if (SystemCommandTable[row].code != CATALOGUE_SEPARATOR)
            continue;
        ++separators;
        EXPECT_STREQ(L" ", SystemCommandTable[row].name);
        EXPECT_NE(CATALOGUE_SEPARATOR, SystemCommandTable[row + 1].code);
        EXPECT_NE(nullptr, SystemCommandTable[row + 1].name);
    }
    EXPECT_EQ(9, separators) << "eight, and one before the window commands";
}

TEST(Catalogue, LookupsFindTheFirstRowOrTheTerminator) {
    EXPECT_EQ(FIRST_KEY_NAME_ROWS, FindCatalogueIndex(KeyNameTable, 'Y')) << "after the first 100";
    EXPECT_STREQ(L"Y", FindCatalogueName(KeyNameTable, 'Y'));
    EXPECT_STREQ(L"; (OEM 1)", FindCatalogueName(KeyNameTable, VK_OEM_1));
    EXPECT_EQ(nullptr, FindCatalogueName(KeyNameTable, VK_OEM_8));
    EXPECT_EQ(11, FindCatalogueIndex(SystemCommandTable, CATALOGUE_SEPARATOR));
    EXPECT_STREQ(L" ", FindCatalogueName(SystemCommandTable, CATALOGUE_SEPARATOR));
    EXPECT_EQ(0, FindCatalogueIndex(ModifierTable, 0));
    EXPECT_STREQ(L"- none -", FindCatalogueName(ModifierTable, 0));
    EXPECT_EQ(KEY_NAME_ROWS, FindCatalogueIndex(KeyNameTable, 0));
    EXPECT_EQ(SYSTEM_COMMAND_ROWS, FindCatalogueIndex(SystemCommandTable, 0));
    EXPECT_EQ(nullptr, FindCatalogueName(SystemCommandTable, 0));
    EXPECT_EQ(5, FindCatalogueIndex(ModifierTable, 0x10));
    EXPECT_STREQ(L"Configure Pendrix", FindCatalogueName(SystemCommandTable, 0x1A00));
    EXPECT_EQ(SYSTEM_COMMAND_ROWS, FindCatalogueIndex(SystemCommandTable, 0x0B03));
    EXPECT_EQ(FIRST_SYSTEM_COMMAND_ROWS + 1, FindCatalogueIndex(SystemCommandTable, 0x0C10))
        << "the window commands follow the first 98 rows and a separator";
    EXPECT_STREQ(L"Center Window", FindCatalogueName(SystemCommandTable, 0x0C15));
    EXPECT_STREQ(L"Open Folder: Windows", FindCatalogueName(SystemCommandTable, 0x0E32));
    EXPECT_STREQ(L"Keyboard - Start Application 2 key",
                 FindCatalogueName(SystemCommandTable, 0x1C11));
}

TEST(Catalogue, CombinationTextJoinsModifiersInFixedOrder) {
    EXPECT_EQ(L"Ctrl + Shift + F5", Format(0x6, 0x74));
    EXPECT_EQ(L"ALT + Win + A", Format(0x9, 0x41));
    EXPECT_EQ(L"Play/Pause Media key", Format(0, 0xB3));
    EXPECT_EQ(L"ALT + Ctrl + F7", Format(3, 0x76));
    EXPECT_EQ(L"ALT + Ctrl + Shift + Backspace", Format(7, 0x08));
    EXPECT_EQ(L"Ctrl + I", Format(MOD_CONTROL | 0x4000 | 0x10, 'I')) << "other bits ignored";
    std::wstring longest = Format(0xF, 0xAC);
    EXPECT_EQ(L"ALT + Ctrl + Shift + Win + Browser Start and Home key", longest);
    EXPECT_EQ(53u, longest.size());
    // A key without a row shows its code rather than nothing.
    EXPECT_EQ(L"ALT + Ctrl + Key 0xFF", Format(3, 0xFF));
    EXPECT_EQ(L"ALT + Ctrl + Y", Format(3, 'Y'));
    // A short buffer is never overrun.
    wchar_t small[8];
    FormatHotkeyText(0xF, 0xAC, small, 8);
    EXPECT_EQ(7u, wcslen(small));
}

namespace {

HWND g_combo = nullptr;
int g_selectionChanges = 0;

LRESULT CALLBACK ComboOwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && HIWORD(wParam) == CBN_SELCHANGE) {
        ++g_selectionChanges;
        SkipSeparatorSelection(reinterpret_cast<HWND>(lParam), SystemCommandTable);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

class CatalogueList : public ::testing::Test {
  protected:
    void SetUp() override {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = ComboOwnerProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"PendrixComboOwner";
        RegisterClassExW(&wc);
        owner_ = CreateWindowExW(0, L"PendrixComboOwner", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 400,
                                 400, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(nullptr, owner_);
        // As the dialogs declare their lists: sorted style, filled by position.
        g_combo = CreateWindowExW(0, L"COMBOBOX", L"",
                                  WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_SORT,
                                  10, 10, 300, 200, owner_, reinterpret_cast<HMENU>(1000),
                                  GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(nullptr, g_combo);
        g_selectionChanges = 0;
    }
    void TearDown() override { DestroyWindow(owner_); }

    std::wstring ItemText(int index) {
        wchar_t text[128] = {};
        SendMessageW(g_combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
        return text;
    }
    LRESULT Selection() { return SendMessageW(g_combo, CB_GETCURSEL, 0, 0); }

    HWND owner_ = nullptr;
};

} // namespace

TEST_F(CatalogueList, FillKeepsTableOrderInASortedList) {
    FillCatalogueList(g_combo, SystemCommandTable);
    ASSERT_EQ(SYSTEM_COMMAND_ROWS, SendMessageW(g_combo, CB_GETCOUNT, 0, 0));
    for (int row = 0; row < SYSTEM_COMMAND_ROWS; ++row)
        EXPECT_EQ(SystemCommandTable[row].name, ItemText(row)) << row;

    SendMessageW(g_combo, CB_RESETCONTENT, 0, 0);
    FillCatalogueList(g_combo, KeyNameTable);
    ASSERT_EQ(KEY_NAME_ROWS, SendMessageW(g_combo, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(L"F1", ItemText(0));
    EXPECT_EQ(L"Start Application 2 key", ItemText(99));
    EXPECT_EQ(L"Y", ItemText(100));
}

TEST_F(CatalogueList, SelectByCodeAndSkipSeparators) {
    FillCatalogueList(g_combo, SystemCommandTable);
    SelectCatalogueCode(g_combo, SystemCommandTable, 0x1A00);
    EXPECT_EQ(31, Selection());
    SelectCatalogueCode(g_combo, SystemCommandTable, 0x0B03);
    EXPECT_EQ(CB_ERR, Selection()) << "a code without a row leaves no selection";

    // Every separator, chosen, moves on to the command below it.
    for (int row = 0; row < SYSTEM_COMMAND_ROWS; ++row) {
        SendMessageW(g_combo, CB_SETCURSEL, row, 0);
        SkipSeparatorSelection(g_combo, SystemCommandTable);
        int expected = SystemCommandTable[row].code == CATALOGUE_SEPARATOR ? row + 1 : row;
        EXPECT_EQ(expected, Selection()) << row;
    }
    // No selection: nothing happens.
    SendMessageW(g_combo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SkipSeparatorSelection(g_combo, SystemCommandTable);
    EXPECT_EQ(CB_ERR, Selection());
}

TEST_F(CatalogueList, TheUpKeyCannotMovePastASeparator) {
    FillCatalogueList(g_combo, SystemCommandTable);
    SendMessageW(g_combo, CB_SETCURSEL, 12, 0); // first command below separator 11
    SetFocus(g_combo);
    SendMessageW(g_combo, WM_KEYDOWN, VK_UP, 0);
    SendMessageW(g_combo, WM_KEYUP, VK_UP, 0);
    EXPECT_GE(g_selectionChanges, 1) << "the list reported the user's change";
    EXPECT_EQ(12, Selection());
    SendMessageW(g_combo, CB_SETCURSEL, 10, 0);
    SendMessageW(g_combo, WM_KEYDOWN, VK_DOWN, 0); // onto separator 11
    EXPECT_EQ(12, Selection());
}
