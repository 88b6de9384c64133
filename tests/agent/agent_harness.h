// Drives a real pendrixd.exe process: installs a copy in a folder whose name
// has a blank, starts and stops it, presses keys with SendInput, sends the
// reload message, and reads what launch_probe.exe logged.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "record_array.h"
#include "records.h"

using Hotkeys = RecordArray<HotkeyRecord>;
using Actions = RecordArray<ActionRecord>;

const UINT AGENT_TRAY_CALLBACK = 0x0071;
const UINT AGENT_RELOAD = 0x8079;
const WORD AGENT_CONFIGURE = 32780;
const WORD AGENT_ABOUT = 32781;
const WORD AGENT_EXIT = 32782;

std::wstring TestProgramFolder(); // ends in a backslash

// Polls until `done` holds or the time runs out; true when it held.
template <class Condition> bool WaitFor(Condition done, DWORD milliseconds = 10000) {
    DWORD start = GetTickCount();
    for (;;) {
        if (done())
            return true;
        if (GetTickCount() - start > milliseconds)
            return false;
        Sleep(20);
    }
}

HotkeyRecord MakeHotkey(const wchar_t* title, UINT modifiers, UINT key, BYTE enabled = 1,
                        BYTE runSequentially = 0);
// A URL/file action that starts launch_probe.exe: it logs `tag` and lives
// `lifetime` milliseconds.
ActionRecord ProbeAction(UINT owner, const std::wstring& log, const wchar_t* tag,
                         DWORD lifetime = 0, const std::wstring& startIn = L"",
                         const std::wstring& extra = L"");
ActionRecord CommandAction(UINT owner, UINT code);
// A Type Text action.
ActionRecord TypingAction(UINT owner, const wchar_t* text);
// A programs record: `mode` PROGRAMS_ONLY_IN or PROGRAMS_NOT_IN.
ActionRecord ProgramsAction(UINT owner, UINT mode, const wchar_t* entries);

// Writes a current store holding exactly these records.
void WriteStore(const Hotkeys& hotkeys, const Actions& actions);
// Every value under the store's root, by key path and value name.
std::map<std::wstring, std::vector<BYTE>> SnapshotStore();
std::vector<HotkeyRecord> StoredHotkeys();

// Combinations this thread holds while the object lives, as another program
// would hold them.
class HeldCombinations {
  public:
    HeldCombinations(UINT modifiers, std::initializer_list<UINT> keys);
    ~HeldCombinations();
    HeldCombinations(const HeldCombinations&) = delete;
    HeldCombinations& operator=(const HeldCombinations&) = delete;
    bool held() const { return held_; }

  private:
    bool held_ = true;
    std::vector<int> ids_;
};

// True when some program holds the combination (this one cannot register it).
bool CombinationIsTaken(UINT modifiers, UINT key);
// Marks the key events this program synthesizes (KBDLLHOOKSTRUCT dwExtraInfo).
const ULONG_PTR TEST_INPUT_MARK = 0x5E17;
// Presses and releases each key in turn, in one SendInput call.
void TapKeys(std::initializer_list<WORD> keys);
// Starts a program (in `folder`, or here when it is empty), trying again
// when Wine refuses for no reason.
bool StartProgram(const std::wstring& program, const std::wstring& arguments,
                  const std::wstring& folder, PROCESS_INFORMATION* process);
// Starts a program, waits up to `timeout` for it to end and returns its exit
// code (0xFFFFFFFF when it did not start, 0xFFFFFFFE when it was stopped).
DWORD RunProgram(const std::wstring& program, const std::wstring& arguments,
                 const std::wstring& folder = L"", DWORD timeout = 10000);
// Presses and releases the combination with SendInput.
void PressCombination(UINT modifiers, UINT key);

// A balloon of the tray, as the shell shows it (Wine's tooltips do not
// answer TTM_GETTITLE, so the balloon's title and icon are checked where the
// agent hands them to the shell, in agent_unit_tests).
struct Balloon {
    HWND window = nullptr;
    std::wstring text;
};
// The shell shows a balloon about two seconds after it was handed over.
Balloon WaitForBalloon(DWORD milliseconds);

// Pixels of the icon's key face in the taskbar's notification area, and
// their centre: what the user sees of the tray icon.
int CountTrayIconPixels(POINT* centre = nullptr);
// Real mouse clicks at a screen point.
void ClickAt(POINT point, bool right, int clicks);

struct ProbeRun {
    std::wstring tag;
    LONGLONG started = 0;
    LONGLONG ended = 0; // 0 while running
    DWORD pid = 0;
    std::wstring commandLine;
    std::wstring folder;
    int show = -1; // the show state it was started with, or -1
};
std::vector<ProbeRun> ReadProbeLog(const std::wstring& log);
std::vector<ProbeRun> RunsOf(const std::vector<ProbeRun>& runs, const std::wstring& tag);

// Starts launch_probe.exe with a window titled `tag` (living a minute) and
// waits for it; nullptr when it did not show. Close it with WM_CLOSE.
HWND StartProbeWindow(const std::wstring& log, const wchar_t* tag, PROCESS_INFORMATION* process);
// Closes the probe's window and waits for its process to end; false when it
// did not end within ten seconds.
bool CloseProbeWindow(HWND window, PROCESS_INFORMATION* process);
// "class \"title\"" of the window in front and of the one with the focus,
// for a failure's message: what took the keys when a window did not.
std::string WindowsInFront();
// Whether `keys` (as FrontWindow::KeysDown gives them) hold `key`.
bool Has(const std::vector<std::wstring>& keys, const wchar_t* key);

// A top-level window of the test's own with an edit control that has the
// focus, as a program in front has; a thread of its own keeps it answering
// until it is closed. The edit records the keys it is pressed with.
class FrontWindow {
  public:
    explicit FrontWindow(DWORD editStyle = 0);
    ~FrontWindow();
    FrontWindow(const FrontWindow&) = delete;
    FrontWindow& operator=(const FrontWindow&) = delete;
    HWND window() const { return window_; }
    HWND edit() const { return edit_; }
    RECT Rect() const;
    std::wstring Text() const;
    // "Ctrl+Alt+0x7A" for each key pressed down in the window or its edit, in order.
    std::vector<std::wstring> KeysDown() const;

  private:
    static DWORD WINAPI Run(void* parameter);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK EditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam);
    void NoteKey(UINT message, WPARAM key);
    DWORD editStyle_;
    HANDLE ready_ = nullptr;
    HANDLE thread_ = nullptr;
    HWND window_ = nullptr;
    HWND edit_ = nullptr;
    WNDPROC editProc_ = nullptr;
    mutable CRITICAL_SECTION keysLock_;
    std::vector<std::wstring> keys_;
};

class AgentTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Copies the agent, and the library it loads by name, into a fresh
    // folder "Pendrix Test\<test name>".
    enum class Library { None, StandIn, Real };
    void Install(Library library);
    std::wstring AgentPath() const { return installFolder_ + L"pendrixd.exe"; }

    // Starts the agent; false when its window did not appear.
    bool Start(const std::wstring& arguments = L"/background");
    // Starts another process of the agent and waits for it to end.
    DWORD RunSecondInstance(const std::wstring& arguments);
    DWORD Exit(); // the tray's Exit; returns the exit code
    bool Alive() const;
    LRESULT Reload();
    HWND window() const { return window_; }

    std::vector<std::wstring> LibraryCalls() const;

    std::wstring installFolder_;
    std::wstring log_;
    PROCESS_INFORMATION process_ = {};
    HWND window_ = nullptr;
};
