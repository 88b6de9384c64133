#include "agent_harness.h"

#include <commctrl.h>
#include <shlwapi.h>

#include <algorithm>
#include <sstream>

#include "store.h"
#include "test_registry.h"

std::wstring TestProgramFolder() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

HotkeyRecord MakeHotkey(const wchar_t* title, UINT modifiers, UINT key, BYTE enabled,
                        BYTE runSequentially) {
    HotkeyRecord hotkey = {};
    hotkey.modifiers = modifiers;
    hotkey.virtualKey = key;
    hotkey.enabled = enabled;
    hotkey.runSequentially = runSequentially;
    CopyBoundedText(hotkey.title, HOTKEY_TEXT_CHARS, title);
    return hotkey;
}

ActionRecord ProbeAction(UINT owner, const std::wstring& log, const wchar_t* tag, DWORD lifetime,
                         const std::wstring& startIn, const std::wstring& extra) {
    ActionRecord action = {};
    action.owner = owner;
    action.kind = ACTION_FILE_URL;
    std::wstring probe = TestProgramFolder() + L"launch_probe.exe";
    CopyBoundedText(action.target, ACTION_PATH_CHARS, probe.c_str());
    std::wstring parameters = L"\"" + log + L"\" " + tag + L" " + std::to_wstring(lifetime) +
                              (extra.empty() ? L"" : L" " + extra);
    EXPECT_LT(parameters.size(), ACTION_PARAMETERS_CHARS) << "the probe's parameters must fit";
    CopyBoundedText(action.parameters, ACTION_PARAMETERS_CHARS, parameters.c_str());
    CopyBoundedText(action.startIn, ACTION_PATH_CHARS, startIn.c_str());
    return action;
}

ActionRecord CommandAction(UINT owner, UINT code) {
    ActionRecord action = {};
    action.owner = owner;
    action.kind = ACTION_SYS_COMMAND;
    action.commandCode = code;
    return action;
}

ActionRecord TypingAction(UINT owner, const wchar_t* text) {
    ActionRecord action = {};
    action.owner = owner;
    action.kind = ACTION_TYPE_TEXT;
    CopyBoundedText(action.target, ACTION_PATH_CHARS, text);
    return action;
}

ActionRecord ProgramsAction(UINT owner, UINT mode, const wchar_t* entries) {
    ActionRecord rule = {};
    rule.owner = owner;
    rule.kind = ACTION_PROGRAMS;
    rule.commandCode = mode;
    CopyBoundedText(rule.target, ACTION_PATH_CHARS, entries);
    return rule;
}

void WriteStore(const Hotkeys& hotkeys, const Actions& actions) {
    SHDeleteKeyW(HKEY_CURRENT_USER, STORE_ROOT_PATH);
    ASSERT_TRUE(store_detail::CreateStoreRootWithVersion());
    SaveStore(hotkeys, actions);
}

namespace {

void SnapshotKey(HKEY parent, const std::wstring& path,
                 std::map<std::wstring, std::vector<BYTE>>* values) {
    HKEY key;
    if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    wchar_t name[256];
    std::vector<BYTE> data(4096);
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = 256;
        DWORD size = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data.data(), &size) !=
            ERROR_SUCCESS)
            break;
        std::vector<BYTE> value(data.begin(), data.begin() + size);
        value.push_back(static_cast<BYTE>(type));
        (*values)[path + L"|" + name] = value;
    }
    std::vector<std::wstring> subkeys;
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = 256;
        if (RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        subkeys.push_back(name);
    }
    RegCloseKey(key);
    for (const std::wstring& subkey : subkeys)
        SnapshotKey(parent, path + L"\\" + subkey, values);
}

} // namespace

std::map<std::wstring, std::vector<BYTE>> SnapshotStore() {
    std::map<std::wstring, std::vector<BYTE>> values;
    SnapshotKey(HKEY_CURRENT_USER, STORE_ROOT_PATH, &values);
    return values;
}

std::vector<HotkeyRecord> StoredHotkeys() {
    HKEY header;
    std::vector<HotkeyRecord> result;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, STORE_HEADER_PATH, 0, KEY_ALL_ACCESS, &header) !=
        ERROR_SUCCESS)
        return result;
    store_detail::NumberedSubkeys hotkeyKeys(header);
    for (UINT k = 0; k < hotkeyKeys.Count(); ++k) {
        RegKey hotkeyKey;
        if (hotkeyKeys.Open(k, &hotkeyKey) != ERROR_SUCCESS)
            continue;
        HotkeyRecord hotkey;
        store_detail::ReadHotkeyValue(hotkeyKey.Get(), &hotkey);
        result.push_back(hotkey);
    }
    RegCloseKey(header);
    return result;
}

HeldCombinations::HeldCombinations(UINT modifiers, std::initializer_list<UINT> keys) {
    int id = 0xB200;
    for (UINT key : keys) {
        held_ = RegisterHotKey(nullptr, id, modifiers, key) && held_;
        ids_.push_back(id++);
    }
}

HeldCombinations::~HeldCombinations() {
    for (int id : ids_)
        UnregisterHotKey(nullptr, id);
}

bool CombinationIsTaken(UINT modifiers, UINT key) {
    const int probeId = 0xB00F;
    if (!RegisterHotKey(nullptr, probeId, modifiers, key))
        return true;
    UnregisterHotKey(nullptr, probeId);
    return false;
}

void PressCombination(UINT modifiers, UINT key) {
    // When a window has appeared or grown under the pointer, Wine soon takes
    // the keyboard's state from X, where no key is held: a combination
    // pressed at that moment loses its modifiers and misses its hotkey. So
    // after such a change the press waits for Wine to have done so.
    static HWND underPointer = nullptr;
    POINT pointer = {};
    GetCursorPos(&pointer);
    const HWND now = GetAncestor(WindowFromPoint(pointer), GA_ROOT);
    if (now != underPointer) {
        underPointer = now;
        Sleep(100);
    }
    INPUT inputs[10] = {};
    UINT count = 0;
    const WORD modifierKeys[4] = {VK_MENU, VK_CONTROL, VK_SHIFT, VK_LWIN};
    const UINT modifierFlags[4] = {MOD_ALT, MOD_CONTROL, MOD_SHIFT, MOD_WIN};
    for (int m = 0; m < 4; ++m) {
        if (modifiers & modifierFlags[m]) {
            inputs[count].type = INPUT_KEYBOARD;
            inputs[count++].ki.wVk = modifierKeys[m];
        }
    }
    inputs[count].type = INPUT_KEYBOARD;
    inputs[count++].ki.wVk = static_cast<WORD>(key);
    inputs[count].type = INPUT_KEYBOARD;
    inputs[count].ki.wVk = static_cast<WORD>(key);
    inputs[count++].ki.dwFlags = KEYEVENTF_KEYUP;
    for (int m = 3; m >= 0; --m) {
        if (modifiers & modifierFlags[m]) {
            inputs[count].type = INPUT_KEYBOARD;
            inputs[count].ki.wVk = modifierKeys[m];
            inputs[count++].ki.dwFlags = KEYEVENTF_KEYUP;
        }
    }
    for (UINT i = 0; i < count; ++i)
        inputs[i].ki.dwExtraInfo = TEST_INPUT_MARK;
    SendInput(count, inputs, sizeof(INPUT));
}

void TapKeys(std::initializer_list<WORD> keys) {
    std::vector<INPUT> inputs;
    for (WORD key : keys) {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        input.ki.dwExtraInfo = TEST_INPUT_MARK;
        inputs.push_back(input);
        input.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(input);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

bool StartProgram(const std::wstring& program, const std::wstring& arguments,
                  const std::wstring& folder, PROCESS_INFORMATION* process) {
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    *process = PROCESS_INFORMATION();
    // Wine refuses, once in many runs, to start a program at all, for a
    // reason not seen: a refusal is said and tried again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                           folder.empty() ? nullptr : folder.c_str(), &startup, process))
            return true;
        printf("starting %ls failed with error %lu\n", program.c_str(), GetLastError());
        Sleep(500);
    }
    return false;
}

DWORD RunProgram(const std::wstring& program, const std::wstring& arguments,
                 const std::wstring& folder, DWORD timeout) {
    PROCESS_INFORMATION process;
    if (!StartProgram(program, arguments, folder, &process))
        return 0xFFFFFFFF;
    DWORD code = 0xFFFFFFFE;
    if (WaitForSingleObject(process.hProcess, timeout) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, 98);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return code;
}

std::vector<ProbeRun> ReadProbeLog(const std::wstring& log) {
    std::vector<ProbeRun> runs;
    HANDLE file = CreateFileW(log.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return runs;
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
        text.append(buffer, read);
    CloseHandle(file);
    std::wstring wide(text.size(), L'\0');
    wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, text.data(),
                                                        static_cast<int>(text.size()), &wide[0],
                                                        static_cast<int>(wide.size()))));
    std::wistringstream lines(wide);
    std::wstring line;
    while (std::getline(lines, line)) {
        std::vector<std::wstring> fields;
        std::wistringstream parts(line);
        std::wstring field;
        while (std::getline(parts, field, L'|'))
            fields.push_back(field);
        if (fields.size() >= 6 && fields[0] == L"S") {
            ProbeRun run;
            run.tag = fields[1];
            run.started = std::stoll(fields[2]);
            run.pid = static_cast<DWORD>(std::stoul(fields[3]));
            run.commandLine = fields[4];
            run.folder = fields[5];
            if (fields.size() >= 7)
                run.show = std::stoi(fields[6]);
            runs.push_back(run);
        } else if (fields.size() >= 4 && fields[0] == L"E") {
            DWORD pid = static_cast<DWORD>(std::stoul(fields[3]));
            for (ProbeRun& run : runs) {
                if (run.pid == pid && run.tag == fields[1] && run.ended == 0)
                    run.ended = std::stoll(fields[2]);
            }
        }
    }
    return runs;
}

std::vector<ProbeRun> RunsOf(const std::vector<ProbeRun>& runs, const std::wstring& tag) {
    std::vector<ProbeRun> result;
    for (const ProbeRun& run : runs) {
        if (run.tag == tag)
            result.push_back(run);
    }
    return result;
}

namespace {

void RemoveFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveFolder(folder + name + L"\\");
            else
                DeleteFileW((folder + name).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

HWND FindAgentWindowOf(DWORD processId) {
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, L"PendrixOstrand", nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId)
            return window;
    }
    return nullptr;
}

} // namespace

// An agent left by a test that ctest stopped at its time limit would fail
// every test after it: it is ended here, and that one test stays failed.
void EndLeftoverAgent() {
    HWND agent = FindWindowW(L"PendrixOstrand", nullptr);
    if (!agent)
        return;
    printf("ending an agent that an earlier test left running\n");
    DWORD pid = 0;
    GetWindowThreadProcessId(agent, &pid);
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
    PostMessageW(agent, WM_COMMAND, AGENT_EXIT, 0);
    if (process) {
        if (WaitForSingleObject(process, 5000) == WAIT_TIMEOUT)
            TerminateProcess(process, 98);
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
    }
    WaitFor([] { return FindWindowW(L"PendrixOstrand", nullptr) == nullptr; }, 5000);
}

void AgentTest::SetUp() {
    EndLeftoverAgent();
    ClearStoreAndAutostart();
    ASSERT_EQ(nullptr, FindWindowW(L"PendrixOstrand", nullptr)) << "an agent is still running";
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::wstring base = std::wstring(temp) + L"Pendrix Test\\";
    CreateDirectoryW(base.c_str(), nullptr);
    std::string name = info->name();
    installFolder_ = base + std::wstring(name.begin(), name.end()) + L"\\";
    RemoveFolder(installFolder_);
    ASSERT_TRUE(CreateDirectoryW(installFolder_.c_str(), nullptr));
    // Short: the path travels in an action's parameters (63 characters).
    log_ = std::wstring(temp) + L"px.log";
    DeleteFileW(log_.c_str());
}

void AgentTest::TearDown() {
    if (process_.hProcess) {
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            PostMessageW(window_, WM_COMMAND, AGENT_EXIT, 0);
            if (WaitForSingleObject(process_.hProcess, 5000) == WAIT_TIMEOUT)
                TerminateProcess(process_.hProcess, 99);
            WaitForSingleObject(process_.hProcess, 5000);
        }
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
        process_ = {};
    }
    // Probes that are still alive end on their own within their lifetime.
    Sleep(50);
    ClearStoreAndAutostart();
    RemoveFolder(installFolder_);
    DeleteFileW(log_.c_str());
}

void AgentTest::Install(Library library) {
    const std::wstring from = TestProgramFolder();
    ASSERT_TRUE(CopyFileW((from + L"pendrixd.exe").c_str(), AgentPath().c_str(), FALSE));
    if (library == Library::None)
        return;
    const wchar_t* source =
        library == Library::StandIn ? L"fake_pendrixcfg.dll" : L"pendrixcfg.dll";
    ASSERT_TRUE(
        CopyFileW((from + source).c_str(), (installFolder_ + L"pendrixcfg.dll").c_str(), FALSE));
}

bool AgentTest::Start(const std::wstring& arguments) {
    if (!StartProgram(AgentPath(), arguments, installFolder_, &process_))
        return false;
    if (!WaitFor([this] { return (window_ = FindAgentWindowOf(process_.dwProcessId)) != nullptr; }))
        return false;
    // The window exists from the start of its creation, and sent messages
    // are answered while start-up waits on the shell: only input idleness
    // says that the agent has registered its hotkeys and reached its loop.
    // Wine may answer WAIT_FAILED until the process has its idle event.
    return WaitFor([this] { return WaitForInputIdle(process_.hProcess, 1000) == 0; });
}

DWORD AgentTest::RunSecondInstance(const std::wstring& arguments) {
    return RunProgram(AgentPath(), arguments, installFolder_);
}

DWORD AgentTest::Exit() {
    PostMessageW(window_, WM_COMMAND, AGENT_EXIT, 0);
    DWORD code = 0xFFFFFFFE;
    if (WaitForSingleObject(process_.hProcess, 10000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

bool AgentTest::Alive() const {
    return process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT &&
           IsWindow(window_);
}

LRESULT AgentTest::Reload() {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window_, AGENT_RELOAD, 0, 0, SMTO_NORMAL, 10000, &result))
        return -1;
    return static_cast<LRESULT>(result);
}

std::vector<std::wstring> AgentTest::LibraryCalls() const {
    std::vector<std::wstring> calls;
    HANDLE handle =
        CreateFileW((installFolder_ + L"calls.log").c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return calls;
    char buffer[8192];
    DWORD read = 0;
    std::string text;
    while (ReadFile(handle, buffer, sizeof buffer, &read, nullptr) && read > 0)
        text.append(buffer, read);
    CloseHandle(handle);
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line))
        calls.push_back(std::wstring(line.begin(), line.end()));
    return calls;
}

int CountTrayIconPixels(POINT* centre) {
    HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
    if (!taskbar || !IsWindowVisible(taskbar))
        return 0; // Wine shows its taskbar once the first icon is added
    RECT bar;
    GetWindowRect(taskbar, &bar);
    // The notification area is at the right end of the taskbar.
    const int width = 240;
    const int height = bar.bottom - bar.top;
    const int left = bar.right - width;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, left, bar.top, SRCCOPY);
    int count = 0;
    long sumX = 0, sumY = 0;
    const BYTE* pixels = static_cast<const BYTE*>(bits);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const BYTE* p = pixels + (y * width + x) * 4; // blue, green, red
            // The key face of Pendrix's icon: RGB(37, 99, 235).
            if (abs(p[2] - 37) < 12 && abs(p[1] - 99) < 12 && abs(p[0] - 235) < 12) {
                ++count;
                sumX += x;
                sumY += y;
            }
        }
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (centre && count) {
        centre->x = left + sumX / count;
        centre->y = bar.top + sumY / count;
    }
    return count;
}

void ClickAt(POINT point, bool right, int clicks) {
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN) - 1;
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN) - 1;
    INPUT move = {};
    move.type = INPUT_MOUSE;
    move.mi.dx = point.x * 65535 / screenWidth;
    move.mi.dy = point.y * 65535 / screenHeight;
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    // Wine now and then drops a move (after a tray menu closed with the
    // keyboard, for one): it is sent again until the pointer is there.
    WaitFor(
        [&] {
            SendInput(1, &move, sizeof move);
            Sleep(20);
            POINT at = {};
            GetCursorPos(&at);
            return abs(at.x - point.x) <= 1 && abs(at.y - point.y) <= 1;
        },
        2000);
    for (int i = 0; i < clicks; ++i) {
        INPUT press[2] = {};
        press[0].type = press[1].type = INPUT_MOUSE;
        press[0].mi.dwFlags = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
        press[1].mi.dwFlags = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
        SendInput(2, press, sizeof(INPUT));
    }
}

namespace {} // namespace

FrontWindow::FrontWindow(DWORD editStyle) : editStyle_(editStyle) {
    InitializeCriticalSection(&keysLock_);
    ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    WaitForSingleObject(ready_, 10000);
}

FrontWindow::~FrontWindow() {
    if (IsWindow(window_))
        PostMessageW(window_, WM_CLOSE, 0, 0);
    WaitForSingleObject(thread_, 10000);
    CloseHandle(thread_);
    CloseHandle(ready_);
    DeleteCriticalSection(&keysLock_);
}

RECT FrontWindow::Rect() const {
    RECT rect = {};
    GetWindowRect(window_, &rect);
    return rect;
}

std::wstring FrontWindow::Text() const {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(edit_)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(edit_, &text[0], static_cast<int>(text.size()))));
    return text;
}

std::vector<std::wstring> FrontWindow::KeysDown() const {
    EnterCriticalSection(&keysLock_);
    std::vector<std::wstring> keys = keys_;
    LeaveCriticalSection(&keysLock_);
    return keys;
}

void FrontWindow::NoteKey(UINT message, WPARAM key) {
    if ((message != WM_KEYDOWN && message != WM_SYSKEYDOWN) || key == VK_CONTROL ||
        key == VK_MENU || key == VK_SHIFT || key == VK_PACKET)
        return;
    wchar_t said[48];
    wsprintfW(said, L"%s%s%s0x%02X", GetKeyState(VK_CONTROL) < 0 ? L"Ctrl+" : L"",
              GetKeyState(VK_MENU) < 0 ? L"Alt+" : L"", GetKeyState(VK_SHIFT) < 0 ? L"Shift+" : L"",
              static_cast<UINT>(key));
    EnterCriticalSection(&keysLock_);
    keys_.push_back(said);
    LeaveCriticalSection(&keysLock_);
}

// The focus stays where Wine leaves it when the window comes back to the
// front (on the window itself): its keys count too.
LRESULT CALLBACK FrontWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY)
        PostQuitMessage(0);
    if (FrontWindow* self =
            reinterpret_cast<FrontWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA)))
        self->NoteKey(message, wParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK FrontWindow::EditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    FrontWindow* self =
        reinterpret_cast<FrontWindow*>(GetWindowLongPtrW(GetParent(edit), GWLP_USERDATA));
    self->NoteKey(message, wParam);
    return CallWindowProcW(self->editProc_, edit, message, wParam, lParam);
}

DWORD WINAPI FrontWindow::Run(void* parameter) {
    FrontWindow* self = static_cast<FrontWindow*>(parameter);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &FrontWindow::WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"PendrixTestFront";
    RegisterClassW(&wc);
    self->window_ = CreateWindowExW(0, wc.lpszClassName, L"In front", WS_OVERLAPPEDWINDOW, 10, 20,
                                    300, 200, nullptr, nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrW(self->window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->edit_ = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | self->editStyle_, 0, 0,
                                  280, 150, self->window_, nullptr, wc.hInstance, nullptr);
    self->editProc_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        self->edit_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FrontWindow::EditProc)));
    ShowWindow(self->window_, SW_SHOWNORMAL);
    SetForegroundWindow(self->window_);
    SetFocus(self->edit_);
    SetEvent(self->ready_);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

HWND StartProbeWindow(const std::wstring& log, const wchar_t* tag, PROCESS_INFORMATION* process) {
    if (!StartProgram(TestProgramFolder() + L"launch_probe.exe",
                      L"\"" + log + L"\" " + tag + L" 60000 window", L"", process))
        return nullptr;
    HWND window = nullptr;
    WaitFor([&] {
        window = FindWindowW(L"PendrixLaunchProbe", tag);
        return window && IsWindowVisible(window);
    });
    return window;
}

bool Has(const std::vector<std::wstring>& keys, const wchar_t* key) {
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

std::string WindowsInFront() {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(0, &info);
    std::string said;
    for (HWND window : {GetForegroundWindow(), info.hwndFocus}) {
        char name[64] = {}, title[64] = {};
        GetClassNameA(window, name, sizeof name);
        GetWindowTextA(window, title, sizeof title);
        said +=
            std::string(said.empty() ? "in front: " : ", focus: ") + name + " \"" + title + "\"";
    }
    return said;
}

bool CloseProbeWindow(HWND window, PROCESS_INFORMATION* process) {
    PostMessageW(window, WM_CLOSE, 0, 0);
    const bool ended = WaitForSingleObject(process->hProcess, 10000) == WAIT_OBJECT_0;
    CloseHandle(process->hProcess);
    CloseHandle(process->hThread);
    return ended;
}

namespace {

BOOL CALLBACK FindBalloonWindow(HWND window, LPARAM found) {
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (lstrcmpiW(className, TOOLTIPS_CLASSW) == 0 && IsWindowVisible(window) &&
        (GetWindowLongW(window, GWL_STYLE) & TTS_BALLOON)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// Reads a balloon tooltip of another process through memory of that process.
Balloon ReadBalloon(HWND window) {
    Balloon balloon;
    balloon.window = window;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    HANDLE process =
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process)
        return balloon;
    BYTE* remote = static_cast<BYTE*>(
        VirtualAllocEx(process, nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (remote) {
        TTTOOLINFOW tool = {};
        tool.cbSize = sizeof tool;
        SIZE_T done = 0;
        WriteProcessMemory(process, remote, &tool, sizeof tool, &done);
        if (SendMessageW(window, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(remote))) {
            ReadProcessMemory(process, remote, &tool, sizeof tool, &done);
            tool.lpszText = reinterpret_cast<wchar_t*>(remote + 1024);
            WriteProcessMemory(process, remote, &tool, sizeof tool, &done);
            SendMessageW(window, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(remote));
            wchar_t text[257] = {};
            ReadProcessMemory(process, remote + 1024, text, 256 * sizeof(wchar_t), &done);
            balloon.text = text;
        }
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return balloon;
}

} // namespace

Balloon WaitForBalloon(DWORD milliseconds) {
    HWND found = nullptr;
    WaitFor(
        [&found] {
            EnumWindows(FindBalloonWindow, reinterpret_cast<LPARAM>(&found));
            return found != nullptr;
        },
        milliseconds);
    return found ? ReadBalloon(found) : Balloon();
}
