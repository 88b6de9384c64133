// The Control Panel applet: its protocol answers, its resources, and the
// configuration dialog it opens through the library beside it.
#include <windows.h>
#include <cpl.h>

#include <gtest/gtest.h>

#include "agent_harness.h"
#include "dialog_driver.h"
#include "test_registry.h"

namespace {

typedef LONG(APIENTRY* CplProc)(HWND, UINT, LPARAM, LPARAM);

class Applet : public AgentTest {
  protected:
    // The applet, loaded from `folder` (beside the library, or alone).
    void Load(const std::wstring& folder) {
        module_ = LoadLibraryW((folder + L"pendrixpanel.cpl").c_str());
        ASSERT_NE(nullptr, module_);
        applet_ = reinterpret_cast<CplProc>(
            reinterpret_cast<void*>(GetProcAddress(module_, "CPlApplet")));
        ASSERT_NE(nullptr, applet_);
    }
    void TearDown() override {
        if (module_)
            FreeLibrary(module_);
        AgentTest::TearDown();
    }
    HMODULE module_ = nullptr;
    CplProc applet_ = nullptr;
};

// CPL_DBLCLK on a thread of its own, as the Control Panel's thread blocks.
class DoubleClick {
  public:
    explicit DoubleClick(CplProc applet) : applet_(applet) {
        thread_ = CreateThread(nullptr, 0, Run, this, 0, &threadId_);
    }
    ~DoubleClick() {
        if (WaitForSingleObject(thread_, 0) == WAIT_TIMEOUT) {
            if (HWND dialog = FindDialogOfThread(threadId_, MAIN_DIALOG_CAPTION))
                PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            WaitForSingleObject(thread_, 5000);
        }
        CloseHandle(thread_);
    }
    bool Ended(DWORD milliseconds) { return WaitForSingleObject(thread_, milliseconds) == 0; }
    LONG result() const { return result_; }
    DWORD threadId() const { return threadId_; }

  private:
    static DWORD WINAPI Run(void* parameter) {
        auto* self = static_cast<DoubleClick*>(parameter);
        self->result_ = self->applet_(nullptr, CPL_DBLCLK, 0, 0);
        return 0;
    }
    CplProc applet_;
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    LONG result_ = -1;
};

HWND WaitForMainDialog(DWORD threadId) {
    HWND dialog = nullptr;
    WaitFor([&] {
        dialog = FindDialogOfThread(threadId, MAIN_DIALOG_CAPTION);
        return dialog && IsWindowVisible(dialog);
    });
    return dialog;
}

} // namespace

TEST_F(Applet, AnswersEveryMessageAndCarriesItsStringsAndIcon) {
    Load(TestProgramFolder());
    EXPECT_EQ(1, applet_(nullptr, CPL_INIT, 0, 0));
    EXPECT_EQ(1, applet_(nullptr, CPL_GETCOUNT, 0, 0));
    CPLINFO info = {-1, -1, -1, 12345};
    EXPECT_EQ(0, applet_(nullptr, CPL_INQUIRE, 0, reinterpret_cast<LPARAM>(&info)));
    EXPECT_EQ(101, info.idIcon);
    EXPECT_EQ(144, info.idName);
    EXPECT_EQ(145, info.idInfo);
    EXPECT_EQ(0, info.lData);
    for (UINT message :
         {UINT(CPL_SELECT), UINT(CPL_STOP), UINT(CPL_EXIT), UINT(CPL_NEWINQUIRE), 99u})
        EXPECT_EQ(0, applet_(nullptr, message, 0, 0)) << message;

    wchar_t text[64] = {};
    ASSERT_GT(LoadStringW(module_, 144, text, 64), 0);
    EXPECT_STREQ(L"Pendrix", text);
    ASSERT_GT(LoadStringW(module_, 145, text, 64), 0);
    EXPECT_STREQ(L"Configure Pendrix", text);
    HRSRC group = FindResourceW(module_, MAKEINTRESOURCEW(101), MAKEINTRESOURCEW(14));
    ASSERT_NE(nullptr, group);
    const BYTE* directory = static_cast<const BYTE*>(LockResource(LoadResource(module_, group)));
    EXPECT_EQ(1, directory[4]) << "one image";
    EXPECT_EQ(32, directory[6]);
    EXPECT_EQ(32, directory[7]);
    EXPECT_NE(nullptr, LoadIconW(module_, MAKEINTRESOURCEW(101)));
}

TEST_F(Applet, OpensTheDialogOnceAndAgainAfterItClosed) {
    Load(TestProgramFolder());
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        DoubleClick first(applet_);
        HWND dialog = WaitForMainDialog(first.threadId());
        ASSERT_NE(nullptr, dialog);
        {
            DoubleClick second(applet_);
            EXPECT_TRUE(second.Ended(3000)) << "a second one shows nothing";
            EXPECT_EQ(0, second.result());
        }
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(first.Ended(5000));
        EXPECT_EQ(0, first.result());
    }
    EXPECT_EQ(6u, StoredHotkeys().size()) << "the dialog made the store";
}

TEST_F(Applet, WithoutTheLibraryBesideItNothingHappens) {
    // The test folder holds a library; the applet must not look there.
    ASSERT_TRUE(CopyFileW((TestProgramFolder() + L"pendrixpanel.cpl").c_str(),
                          (installFolder_ + L"pendrixpanel.cpl").c_str(), FALSE));
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(TestProgramFolder().c_str());
    Load(installFolder_);
    DoubleClick click(applet_);
    EXPECT_TRUE(click.Ended(3000));
    EXPECT_EQ(0, click.result());
    EXPECT_EQ(nullptr, FindWindowW(L"#32770", MAIN_DIALOG_CAPTION));
    SetCurrentDirectoryW(previous);
}

TEST_F(Applet, TheControlPanelProgramOpensTheDialog) {
    std::wstring command = L"control.exe \"" + TestProgramFolder() + L"pendrixpanel.cpl\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION control = {};
    ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &control));
    HWND dialog = nullptr;
    EXPECT_TRUE(WaitFor([&] {
        dialog = FindWindowW(L"#32770", MAIN_DIALOG_CAPTION);
        return dialog && IsWindowVisible(dialog);
    }));
    if (dialog) {
        DWORD owner = 0;
        GetWindowThreadProcessId(dialog, &owner);
        EXPECT_NE(GetCurrentProcessId(), owner);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    }
    if (WaitForSingleObject(control.hProcess, 10000) == WAIT_TIMEOUT)
        TerminateProcess(control.hProcess, 1);
    CloseHandle(control.hProcess);
    CloseHandle(control.hThread);
}
