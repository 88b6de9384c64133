// The library's editing model: finding, deleting and renumbering.
#include <gtest/gtest.h>

#include "editing_model.h"

namespace {

void AddHotkeys(int count) {
    for (int i = 0; i < count; ++i) {
        HotkeyRecord hotkey = {};
        hotkey.virtualKey = 'A' + i;
        AddHotkey(hotkey);
    }
}

void AddActionOf(UINT owner, wchar_t tag) {
    ActionRecord action = {};
    action.owner = owner;
    action.target[0] = tag;
    AddAction(action);
}

// "owner:tag" for every action, in list order.
std::string Actions() {
    std::string text;
    for (UINT a = 0; a < g_actionList.Count(); ++a) {
        text += std::to_string(ActionAt(a).owner) + ":" + static_cast<char>(ActionAt(a).target[0]);
        text += " ";
    }
    return text;
}

class EditingModel : public ::testing::Test {
  protected:
    void SetUp() override { ClearLists(); }
    void TearDown() override { ClearLists(); }
};

} // namespace

TEST_F(EditingModel, FindHotkeyActionCountsOnlyThatHotkeysActions) {
    EXPECT_EQ(-1, FindHotkeyAction(0, 0)) << "empty list";
    AddHotkeys(3);
    AddActionOf(1, 'a');
    AddActionOf(0, 'x');
    AddActionOf(1, 'b');
    AddActionOf(2, 'y');
    AddActionOf(1, 'c');
    EXPECT_EQ(0, FindHotkeyAction(1, 0));
    EXPECT_EQ(2, FindHotkeyAction(1, 1)) << "the other hotkey's action between does not count";
    EXPECT_EQ(4, FindHotkeyAction(1, 2));
    EXPECT_EQ(-1, FindHotkeyAction(1, 3)) << "beyond the last action";
    EXPECT_EQ(-1, FindHotkeyAction(1, -1)) << "negative row";
    EXPECT_EQ(1, FindHotkeyAction(0, 0));
    EXPECT_EQ(-1, FindHotkeyAction(7, 0)) << "a hotkey without actions";
}

TEST_F(EditingModel, DeleteHotkeyRemovesItsActionsAndRenumbersLaterOnes) {
    AddHotkeys(3);
    AddActionOf(0, 'a'); // hotkey 0 owns the first three actions
    AddActionOf(0, 'b');
    AddActionOf(0, 'c');
    AddActionOf(1, 'd');
    AddActionOf(2, 'e');
    AddActionOf(0, 'f');
    AddActionOf(1, 'g');
    DeleteHotkey(0);
    EXPECT_EQ(2u, g_hotkeyList.Count());
    EXPECT_EQ(static_cast<UINT32>('B'), HotkeyAt(0).virtualKey);
    EXPECT_EQ("0:d 1:e 0:g ", Actions());

    // The last hotkey: no action is left with an owner equal to the new count.
    DeleteHotkey(1);
    EXPECT_EQ(1u, g_hotkeyList.Count());
    EXPECT_EQ("0:d 0:g ", Actions());

    // A middle one: earlier owners stay, later ones move down.
    ClearLists();
    AddHotkeys(3);
    AddActionOf(2, 'z');
    AddActionOf(0, 'a');
    AddActionOf(1, 'm');
    DeleteHotkey(1);
    EXPECT_EQ("1:z 0:a ", Actions());
    EXPECT_EQ(static_cast<UINT32>('C'), HotkeyAt(1).virtualKey);
}

TEST_F(EditingModel, DeleteActionKeepsTheOthersInOrderWithTheirOwners) {
    AddHotkeys(2);
    AddActionOf(0, 'a');
    AddActionOf(1, 'b');
    AddActionOf(0, 'c');
    DeleteAction(1);
    EXPECT_EQ("0:a 0:c ", Actions());
    EXPECT_EQ(-1, FindHotkeyAction(1, 0));
    EXPECT_EQ(2u, g_hotkeyList.Count()) << "the hotkey stays without actions";
    DeleteAction(0);
    DeleteAction(0);
    EXPECT_EQ("", Actions());
    ClearLists();
    EXPECT_EQ(0u, g_hotkeyList.Count());
    EXPECT_EQ(0u, g_actionList.Count());
}
