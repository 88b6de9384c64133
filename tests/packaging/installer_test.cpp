// The Windows installer, silent, into this test run's fresh prefix: files,
// Control Panel registration, the agent in the tray; then the silent
// uninstall, which keeps the user's hotkeys.
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agent_harness.h"
#include "store.h"
#include "test_registry.h"

namespace {

#define CPLS_KEY L"Software\\Microsoft\\Windows\\CurrentVersion\\Control Panel\\Cpls"
#define APP_PATHS_KEY L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\pendrix.exe"
#define UNINSTALL_KEY L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pendrix"
#define ENVIRONMENT_KEY L"Environment"
// A Path of the user's own, with a variable, longer than the installer's
// own strings hold, that the install extends and the uninstall gives back
// as it was.
std::wstring UserPath() {
    std::wstring path = L"C:\\Tools;%SystemRoot%\\Extra";
    for (int n = 0; path.size() < 2000; ++n)
        path += L";C:\\Users\\Me\\Tools\\" + std::to_wstring(n);
    return path;
}

// Runs a command line in a new console whose Path is the system's followed
// by the user's, as Windows makes it for a console started after a change;
// returns its exit code.
DWORD RunInNewConsole(const std::wstring& commandLine) {
    const std::vector<BYTE> raw = ReadValue(ENVIRONMENT_KEY, L"Path");
    std::wstring userPath(reinterpret_cast<const wchar_t*>(raw.data()), raw.size() / 2);
    userPath = userPath.c_str();
    wchar_t expanded[8192] = {};
    ExpandEnvironmentStringsW(userPath.c_str(), expanded, ARRAYSIZE(expanded));
    wchar_t systemPath[8192] = {};
    GetEnvironmentVariableW(L"PATH", systemPath, ARRAYSIZE(systemPath));
    std::wstring block;
    for (const wchar_t* v = GetEnvironmentStringsW(); *v; v += wcslen(v) + 1) {
        if (_wcsnicmp(v, L"PATH=", 5) != 0)
            block += std::wstring(v) + L'\0';
    }
    block += L"PATH=" + std::wstring(systemPath) + L";" + expanded + L'\0';
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::wstring line = L"cmd.exe /c " + commandLine;
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE,
                        CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, &block[0], L"C:\\", &startup,
                        &process))
        return 0xFFFFFFFF;
    DWORD code = 0xFFFFFFFE;
    if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return code;
}

std::wstring KnownFolder(int id) {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring ProcessImageOf(HWND window) {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    wchar_t path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    if (process) {
        QueryFullProcessImageNameW(process, 0, path, &size);
        CloseHandle(process);
    }
    return path;
}

class Installer : public ::testing::Test {
  protected:
    void SetUp() override {
        ClearStoreAndAutostart();
        ASSERT_EQ(nullptr, FindWindowW(L"PendrixOstrand", nullptr));
        setup_ = TestProgramFolder() + L"..\\dist\\pendrix-1.2.0-setup.exe";
        installFolder_ = KnownFolder(CSIDL_LOCAL_APPDATA) + L"\\Programs\\Pendrix\\";
    }
    void TearDown() override {
        if (HWND agent = FindWindowW(L"PendrixOstrand", nullptr)) {
            PostMessageW(agent, WM_COMMAND, AGENT_EXIT, 0);
            WaitFor([] { return FindWindowW(L"PendrixOstrand", nullptr) == nullptr; });
        }
        for (const wchar_t* name : {L"pendrixd.exe", L"pendrixcfg.dll", L"pendrixpanel.cpl",
                                    L"pendrix.exe", L"uninstall.exe"})
            DeleteFileW((installFolder_ + name).c_str());
        RemoveDirectoryW(installFolder_.c_str());
        HKEY cpls;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, CPLS_KEY, 0, KEY_ALL_ACCESS, &cpls) == ERROR_SUCCESS) {
            RegDeleteValueW(cpls, L"Pendrix");
            RegCloseKey(cpls);
        }
        RegDeleteKeyW(HKEY_CURRENT_USER, UNINSTALL_KEY);
        HKEY environment;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, ENVIRONMENT_KEY, 0, KEY_ALL_ACCESS, &environment) ==
            ERROR_SUCCESS) {
            RegDeleteValueW(environment, L"Path");
            RegCloseKey(environment);
        }
        ClearStoreAndAutostart();
    }
    std::wstring setup_;
    std::wstring installFolder_;
};

} // namespace

TEST_F(Installer, InstallsForThisUserStartsTheAgentAndUninstallsKeepingTheHotkeys) {
    ASSERT_TRUE(Exists(setup_)) << "built by the dist target";
    const std::wstring userPath = UserPath();
    WriteValue(ENVIRONMENT_KEY, L"Path", REG_EXPAND_SZ, userPath.c_str(),
               static_cast<DWORD>((userPath.size() + 1) * sizeof(wchar_t)));
    EXPECT_NE(0u, RunInNewConsole(L"pendrix --version")) << "not found before the install";
    ASSERT_EQ(0u, RunProgram(setup_, L"/S", L"", 60000));

    for (const wchar_t* name : {L"pendrixd.exe", L"pendrixcfg.dll", L"pendrixpanel.cpl",
                                L"pendrix.exe", L"uninstall.exe"})
        EXPECT_TRUE(Exists(installFolder_ + name)) << std::string(name, name + wcslen(name));
    EXPECT_EQ(installFolder_ + L"pendrixpanel.cpl", ReadStringValue(CPLS_KEY, L"Pendrix"));
    EXPECT_EQ(installFolder_ + L"pendrix.exe", ReadStringValue(APP_PATHS_KEY, L""))
        << "Win+R finds the console tool";
    EXPECT_TRUE(Exists(KnownFolder(CSIDL_PROGRAMS) + L"\\Pendrix.lnk"));
    EXPECT_FALSE(ReadStringValue(UNINSTALL_KEY, L"UninstallString").empty());

    // The folder is on the user's Path once, even after a second install,
    // and a new console finds the tool by its name.
    const std::wstring folder = installFolder_.substr(0, installFolder_.size() - 1);
    const std::wstring extended = userPath + L";" + folder;
    DWORD type = 0;
    ReadValue(ENVIRONMENT_KEY, L"Path", &type);
    EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), type);
    EXPECT_EQ(extended, ReadStringValue(ENVIRONMENT_KEY, L"Path"));
    EXPECT_EQ(0u, RunInNewConsole(L"pendrix --version")) << "found from a new console";

    // The agent runs from the install folder, with its icon and the defaults.
    HWND agent = nullptr;
    ASSERT_TRUE(
        WaitFor([&] { return (agent = FindWindowW(L"PendrixOstrand", nullptr)) != nullptr; }));
    EXPECT_EQ(0,
              lstrcmpiW((installFolder_ + L"pendrixd.exe").c_str(), ProcessImageOf(agent).c_str()));
    EXPECT_TRUE(WaitFor([] { return StoredHotkeys().size() == 6; }));
    EXPECT_TRUE(WaitFor([] { return CountTrayIconPixels() > 0; }));
    EXPECT_EQ(L"\"" + installFolder_ + L"pendrixd.exe\" /background", ReadAutostartValue());
    EXPECT_EQ(nullptr, FindWindowW(L"#32770", L"Pendrix    ostrand online"))
        << "a silent install opens no dialog";

    // The silent uninstall stops the agent and removes what the install
    // added. It goes on from a copy of itself after the first process ends,
    // so each result is waited for.
    ASSERT_EQ(0u, RunProgram(setup_, L"/S", L"", 60000));
    EXPECT_EQ(extended, ReadStringValue(ENVIRONMENT_KEY, L"Path")) << "added once";
    ASSERT_TRUE(
        WaitFor([&] { return (agent = FindWindowW(L"PendrixOstrand", nullptr)) != nullptr; }));

    ASSERT_EQ(0u, RunProgram(installFolder_ + L"uninstall.exe", L"/S", L"", 60000));
    EXPECT_TRUE(WaitFor([&] { return !Exists(installFolder_ + L"pendrixd.exe"); }, 30000));
    EXPECT_TRUE(WaitFor([] { return FindWindowW(L"PendrixOstrand", nullptr) == nullptr; }));
    EXPECT_TRUE(WaitFor([&] { return !Exists(installFolder_); }, 10000));
    EXPECT_TRUE(WaitFor([] { return !KeyExists(UNINSTALL_KEY); }, 10000));
    EXPECT_FALSE(ValueExists(CPLS_KEY, L"Pendrix"));
    EXPECT_FALSE(KeyExists(APP_PATHS_KEY));
    EXPECT_FALSE(ValueExists(AUTOSTART_KEY_PATH, AUTOSTART_VALUE_NAME));
    EXPECT_FALSE(Exists(KnownFolder(CSIDL_PROGRAMS) + L"\\Pendrix.lnk"));
    EXPECT_EQ(6u, StoredHotkeys().size()) << "the hotkeys are kept";
    EXPECT_TRUE(WaitFor([&] { return ReadStringValue(ENVIRONMENT_KEY, L"Path") == userPath; }))
        << "exactly the install's own entry is gone";
}

TEST(PortableZip, HoldsTheThreeDeliverables) {
    HANDLE zip = CreateFileW((TestProgramFolder() + L"..\\dist\\pendrix-1.2.0-win64.zip").c_str(),
                             GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, zip);
    std::string data;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(zip, buffer, sizeof buffer, &read, nullptr) && read > 0)
        data.append(buffer, read);
    CloseHandle(zip);
    ASSERT_EQ("PK", data.substr(0, 2));
    for (const char* name : {"pendrixd.exe", "pendrixcfg.dll", "pendrixpanel.cpl", "pendrix.exe"})
        EXPECT_NE(std::string::npos, data.find(name)) << name;
}

namespace {

// A window of the agent's class that takes every message and never ends.
struct StubbornAgent {
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = nullptr;
    DWORD threadId = 0;
    HWND window = nullptr;
    LONG exitRequests = 0;

    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_COMMAND && LOWORD(wParam) == AGENT_EXIT) {
            auto* self = reinterpret_cast<StubbornAgent*>(GetWindowLongPtrW(window, GWLP_USERDATA));
            InterlockedIncrement(&self->exitRequests);
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
    static DWORD WINAPI Run(void* parameter) {
        StubbornAgent* self = static_cast<StubbornAgent*>(parameter);
        WNDCLASSW wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"PendrixOstrand";
        RegisterClassW(&wc);
        self->window = CreateWindowExW(0, L"PendrixOstrand", nullptr, 0, 0, 0, 0, 0, nullptr,
                                       nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(self->window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        SetEvent(self->ready);
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0)
            DispatchMessageW(&message);
        DestroyWindow(self->window);
        UnregisterClassW(L"PendrixOstrand", wc.hInstance);
        return 0;
    }
    StubbornAgent() { thread = CreateThread(nullptr, 0, Run, this, 0, &threadId); }
    ~StubbornAgent() {
        PostThreadMessageW(threadId, WM_QUIT, 0, 0);
        WaitForSingleObject(thread, 10000);
        CloseHandle(thread);
        CloseHandle(ready);
    }
};

} // namespace

TEST_F(Installer, AnAgentThatDoesNotEndHoldsTheInstallerFiveSecondsAtMost) {
    ASSERT_TRUE(Exists(setup_)) << "built by the dist target";
    {
        StubbornAgent stubborn;
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(stubborn.ready, 5000));
        const DWORD start = GetTickCount();
        EXPECT_EQ(0u, RunProgram(setup_, L"/S", L"", 60000)) << "the installer did not finish";
        const DWORD elapsed = GetTickCount() - start;
        EXPECT_GE(elapsed, 4500u) << "the installer waited for the agent to end";
        EXPECT_LT(elapsed, 30000u);
        EXPECT_EQ(1, stubborn.exitRequests) << "asked once to exit";
    }
    EXPECT_TRUE(Exists(installFolder_ + L"pendrixd.exe"));
    // The installer started the new agent: TearDown ends it.
    EXPECT_TRUE(WaitFor([] { return FindWindowW(L"PendrixOstrand", nullptr) != nullptr; }));
    EXPECT_TRUE(WaitFor([] { return StoredHotkeys().size() == 6; }));
}
