// Registration of the agent's hotkey array on a real window, in-process.
#include <windows.h>

#include <gtest/gtest.h>

#include "agent_state.h"
#include "hotkey_runner.h"
#include "test_registry.h"

namespace {

HotkeyRecord Hotkey(UINT key, BYTE enabled) {
    HotkeyRecord hotkey = {};
    hotkey.modifiers = MOD_CONTROL | MOD_ALT | MOD_SHIFT;
    hotkey.virtualKey = key;
    hotkey.enabled = enabled;
    return hotkey;
}

// Another holder of a combination: a hotkey of this thread, without a window.
bool Taken(UINT key) {
    if (!RegisterHotKey(nullptr, 0xB100, MOD_CONTROL | MOD_ALT | MOD_SHIFT, key))
        return true;
    UnregisterHotKey(nullptr, 0xB100);
    return false;
}

class HotkeyRegistration : public ::testing::Test {
  protected:
    void SetUp() override {
        window_ = CreateHiddenTestWindow();
        ASSERT_NE(nullptr, window_);
        g_agent.hotkeys.Clear();
        g_agent.hotkeys.Append(Hotkey(VK_F5, 1)); // 0 enabled
        g_agent.hotkeys.Append(Hotkey(VK_F6, 0)); // 1 disabled
        g_agent.hotkeys.Append(Hotkey(VK_F7, 2)); // 2 an odd byte
        g_agent.hotkeys.Append(Hotkey(VK_F8, 1)); // 3 held by someone else
        ASSERT_TRUE(RegisterHotKey(nullptr, 0xB101, MOD_CONTROL | MOD_ALT | MOD_SHIFT, VK_F8));
    }
    void TearDown() override {
        UnregisterHotKey(nullptr, 0xB101);
        for (int i = 0; i < 4; ++i)
            UnregisterHotKey(window_, HotkeyIdBase + i);
        DestroyWindow(window_);
        g_agent.hotkeys.Clear();
    }
    BYTE Enabled(UINT i) { return g_agent.hotkeys.At(i).enabled; }
    HWND window_ = nullptr;
};

} // namespace

TEST_F(HotkeyRegistration, AllHotkeysRegistersExactlyTheEnabledOnes) {
    EXPECT_TRUE(RegisterHotkeys(window_, ALL_HOTKEYS));
    EXPECT_TRUE(Taken(VK_F5));
    EXPECT_FALSE(Taken(VK_F6));
    EXPECT_FALSE(Taken(VK_F7)) << "only the exact byte 1 counts";
    EXPECT_EQ(1, Enabled(0));
    EXPECT_EQ(0, Enabled(1));
    EXPECT_EQ(2, Enabled(2));
    EXPECT_EQ(0, Enabled(3)) << "refused, so disabled";

    EXPECT_TRUE(UnregisterHotkeys(window_, ALL_HOTKEYS));
    EXPECT_FALSE(Taken(VK_F5));
    EXPECT_EQ(1, Enabled(0)) << "the user's choice survives";
}

TEST_F(HotkeyRegistration, OneIndexRegistersAndUnregistersAndKeepsTheByteInStep) {
    EXPECT_TRUE(RegisterHotkeys(window_, 1));
    EXPECT_EQ(1, Enabled(1));
    EXPECT_TRUE(Taken(VK_F6));
    EXPECT_FALSE(RegisterHotkeys(window_, 1)) << "already enabled";
    EXPECT_FALSE(RegisterHotkeys(window_, 2)) << "a byte other than 0 is not registered";
    EXPECT_FALSE(Taken(VK_F7));

    g_agent.hotkeys.At(3).enabled = 0;
    EXPECT_FALSE(RegisterHotkeys(window_, 3)) << "held elsewhere";
    EXPECT_EQ(0, Enabled(3));
    EXPECT_FALSE(RegisterHotkeys(window_, 4));
    EXPECT_FALSE(RegisterHotkeys(window_, -2));

    EXPECT_TRUE(UnregisterHotkeys(window_, 1));
    EXPECT_EQ(0, Enabled(1));
    EXPECT_FALSE(Taken(VK_F6));
    EXPECT_FALSE(UnregisterHotkeys(window_, 1)) << "not enabled any more";
    EXPECT_FALSE(UnregisterHotkeys(window_, 2));
    EXPECT_FALSE(UnregisterHotkeys(window_, 99));

    // Enabled in the array but never registered: the call fails, the byte clears.
    EXPECT_FALSE(UnregisterHotkeys(window_, 0));
    EXPECT_EQ(0, Enabled(0));
}
