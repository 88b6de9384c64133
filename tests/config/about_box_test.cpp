// The library's About box and its single-instance guard, through the real
// pendrixcfg.dll: controls by id, keys, threads and another process.
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agent_harness.h"
#include "library_exports.h"

namespace {

// Runs AboutDlg on a thread of its own, owned by a window of that thread.
class AboutRun {
  public:
    explicit AboutRun(AboutDlgProc about) : about_(about) {
        thread_ = CreateThread(nullptr, 0, Run, this, 0, &threadId_);
    }
    ~AboutRun() {
        if (WaitForSingleObject(thread_, 5000) == WAIT_TIMEOUT)
            ADD_FAILURE() << "the About box did not close";
        CloseHandle(thread_);
    }
    bool Ended(DWORD milliseconds) { return WaitForSingleObject(thread_, milliseconds) == 0; }
    DWORD threadId() const { return threadId_; }
    HWND owner() const { return owner_; }

  private:
    static DWORD WINAPI Run(void* parameter) {
        auto* self = static_cast<AboutRun*>(parameter);
        self->owner_ = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 10, 10, nullptr,
                                       nullptr, nullptr, nullptr);
        self->about_(self->owner_);
        DestroyWindow(self->owner_);
        return 0;
    }
    AboutDlgProc about_;
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    HWND owner_ = nullptr;
};

std::vector<HWND> AboutBoxes() {
    std::vector<HWND> boxes;
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"#32770", L"About")) != nullptr;)
        boxes.push_back(w);
    return boxes;
}

HWND AboutBoxOfThread(DWORD threadId) {
    for (HWND box : AboutBoxes()) {
        if (GetWindowThreadProcessId(box, nullptr) == threadId && IsWindowVisible(box))
            return box;
    }
    return nullptr;
}

std::wstring TextOf(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

std::vector<std::wstring> StaticTexts(HWND dialog) {
    std::vector<std::wstring> texts;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (GetDlgCtrlID(child) == -1 || GetDlgCtrlID(child) == 0xFFFF)
            texts.push_back(TextOf(child));
    }
    return texts;
}

class AboutBox : public AgentTest {
  protected:
    void SetUp() override {
        AgentTest::SetUp();
        library_ = LoadLibraryW((TestProgramFolder() + L"pendrixcfg.dll").c_str());
        ASSERT_NE(nullptr, library_);
        about_ = reinterpret_cast<AboutDlgProc>(
            reinterpret_cast<void*>(GetProcAddress(library_, "AboutDlg")));
        ASSERT_NE(nullptr, about_);
    }
    void TearDown() override {
        for (HWND box : AboutBoxes())
            PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
        Sleep(100);
        if (library_)
            FreeLibrary(library_);
        AgentTest::TearDown();
    }
    HWND WaitForBox(const AboutRun& run) {
        HWND box = nullptr;
        WaitFor([&] { return (box = AboutBoxOfThread(run.threadId())) != nullptr; });
        // Visible comes before the box has finished starting up.
        DWORD_PTR ignored = 0;
        if (box)
            SendMessageTimeoutW(box, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
        Sleep(100);
        return box;
    }
    HMODULE library_ = nullptr;
    AboutDlgProc about_ = nullptr;
};

} // namespace

TEST_F(AboutBox, ShowsItsControlsAndClosesWithOkEscapeAndEnter) {
    {
        AboutRun run(about_);
        HWND box = WaitForBox(run);
        ASSERT_NE(nullptr, box);
        EXPECT_EQ(run.owner(), GetWindow(box, GW_OWNER));
        LONG style = GetWindowLongW(box, GWL_STYLE);
        LONG exStyle = GetWindowLongW(box, GWL_EXSTYLE);
        EXPECT_EQ(static_cast<LONG>(WS_CAPTION), style & WS_CAPTION);
        EXPECT_EQ(0, style & WS_SYSMENU) << "no system menu";
        EXPECT_EQ(static_cast<LONG>(WS_EX_TOPMOST | WS_EX_APPWINDOW),
                  exStyle & (WS_EX_TOPMOST | WS_EX_APPWINDOW));

        HWND icon = GetDlgItem(box, 22);
        ASSERT_NE(nullptr, icon);
        EXPECT_EQ(static_cast<LONG>(SS_ICON), GetWindowLongW(icon, GWL_STYLE) & SS_TYPEMASK);
        EXPECT_NE(nullptr, reinterpret_cast<HICON>(SendMessageW(icon, STM_GETICON, 0, 0)));
        EXPECT_EQ(L"OK", TextOf(GetDlgItem(box, IDOK)));
        EXPECT_EQ(L"Ostrand Online", TextOf(GetDlgItem(box, 1004)));
        std::vector<std::wstring> texts = StaticTexts(box);
        ASSERT_EQ(3u, texts.size());
        EXPECT_EQ(L"Pendrix Version 1.0", texts[0]);
        EXPECT_EQ(L"www.ostrand.example", texts[2]);

        GUITHREADINFO gui = {};
        gui.cbSize = sizeof gui;
        GetGUIThreadInfo(run.threadId(), &gui);
        EXPECT_EQ(GetDlgItem(box, IDOK), gui.hwndFocus) << "OK has the focus";

        // The site button opens the page and leaves the box open.
        PostMessageW(GetDlgItem(box, 1004), BM_CLICK, 0, 0);
        EXPECT_FALSE(run.Ended(700));
        EXPECT_TRUE(IsWindow(box));
        PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
        EXPECT_TRUE(run.Ended(5000));
    }
    {
        AboutRun run(about_);
        HWND box = WaitForBox(run);
        ASSERT_NE(nullptr, box);
        PostMessageW(GetDlgItem(box, IDOK), WM_KEYDOWN, VK_ESCAPE, 0);
        EXPECT_TRUE(run.Ended(5000)) << "Escape closes it";
    }
    {
        AboutRun run(about_);
        HWND box = WaitForBox(run);
        ASSERT_NE(nullptr, box);
        PostMessageW(GetDlgItem(box, IDOK), WM_KEYDOWN, VK_RETURN, 0);
        EXPECT_TRUE(run.Ended(5000)) << "Enter on the focused OK closes it";
    }
}

TEST_F(AboutBox, OnlyOneAboutBoxAcrossThreadsAndProcesses) {
    Install(Library::Real);
    ASSERT_TRUE(Start());
    {
        AboutRun first(about_);
        HWND box = WaitForBox(first);
        ASSERT_NE(nullptr, box);

        AboutRun second(about_);
        EXPECT_TRUE(second.Ended(3000)) << "a second AboutDlg returns at once";

        // The agent's tray About loads the library in its own process.
        SendMessageW(window(), WM_COMMAND, AGENT_ABOUT, 0);
        EXPECT_EQ(1u, AboutBoxes().size());
        EXPECT_TRUE(Alive());
        PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    }

    // Now the agent's own About box opens, in the agent's process.
    PostMessageW(window(), WM_COMMAND, AGENT_ABOUT, 0);
    HWND agentBox = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        std::vector<HWND> boxes = AboutBoxes();
        agentBox = boxes.empty() ? nullptr : boxes[0];
        return agentBox && IsWindowVisible(agentBox);
    }));
    DWORD process = 0;
    GetWindowThreadProcessId(agentBox, &process);
    EXPECT_EQ(process_.dwProcessId, process);
    EXPECT_EQ(window(), GetWindow(agentBox, GW_OWNER));
    PostMessageW(GetDlgItem(agentBox, IDOK), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitFor([] { return AboutBoxes().empty() || !IsWindowVisible(AboutBoxes()[0]); }));
    EXPECT_TRUE(Alive());
    EXPECT_EQ(0u, Exit());
}

TEST_F(AboutBox, WorksAgainAfterTheLibraryWasReleased) {
    {
        AboutRun run(about_);
        HWND box = WaitForBox(run);
        ASSERT_NE(nullptr, box);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    FreeLibrary(library_);
    library_ = LoadLibraryW((TestProgramFolder() + L"pendrixcfg.dll").c_str());
    ASSERT_NE(nullptr, library_);
    about_ = reinterpret_cast<AboutDlgProc>(
        reinterpret_cast<void*>(GetProcAddress(library_, "AboutDlg")));
    AboutRun run(about_);
    HWND box = WaitForBox(run);
    ASSERT_NE(nullptr, box);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(run.Ended(5000));
}

TEST(LibraryExports, AboutDlgAndConfigureAtOrdinalsOneAndTwoAndMyHotkeysBesideThem) {
    HMODULE library = LoadLibraryExW((TestProgramFolder() + L"pendrixcfg.dll").c_str(), nullptr,
                                     DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_NE(nullptr, library);
    auto* base = reinterpret_cast<BYTE*>(library);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    auto* exports = reinterpret_cast<IMAGE_EXPORT_DIRECTORY*>(
        base + nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress);
    EXPECT_EQ(3u, exports->NumberOfNames);
    EXPECT_EQ(3u, exports->NumberOfFunctions);
    EXPECT_EQ(GetProcAddress(library, "AboutDlg"), GetProcAddress(library, MAKEINTRESOURCEA(1)));
    EXPECT_EQ(GetProcAddress(library, "Configure"), GetProcAddress(library, MAKEINTRESOURCEA(2)));
    EXPECT_EQ(GetProcAddress(library, "MyHotkeys"), GetProcAddress(library, MAKEINTRESOURCEA(3)));
    EXPECT_NE(nullptr, GetProcAddress(library, "Configure"));
    EXPECT_NE(nullptr, GetProcAddress(library, "MyHotkeys"));
    FreeLibrary(library);

    DWORD ignored = 0;
    std::wstring path = TestProgramFolder() + L"pendrixcfg.dll";
    std::vector<BYTE> version(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    ASSERT_FALSE(version.empty());
    ASSERT_TRUE(
        GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(version.size()), version.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(version.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);
    EXPECT_EQ(0x00000001u, fixed->dwFileVersionLS);
}
