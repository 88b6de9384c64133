// Drives the library's dialogs as a user would: the real pendrixcfg.dll,
// its dialogs on a thread of their own, real clicks on list rows, message
// boxes answered by their buttons.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "library_exports.h"

#define MAIN_DIALOG_CAPTION L"Pendrix    ostrand online"

// The real library, loaded from beside the test program.
class LibraryUnderTest {
  public:
    LibraryUnderTest();
    ~LibraryUnderTest();
    LibraryUnderTest(const LibraryUnderTest&) = delete;
    LibraryUnderTest& operator=(const LibraryUnderTest&) = delete;
    ConfigureProc configure() const { return configure_; }
    AboutDlgProc about() const { return about_; }

  private:
    HMODULE module_ = nullptr;
    ConfigureProc configure_ = nullptr;
    AboutDlgProc about_ = nullptr;
};

// Configure() on a thread of its own.
class ConfigureRun {
  public:
    explicit ConfigureRun(ConfigureProc configure);
    ~ConfigureRun(); // closes the dialog if it is still open
    ConfigureRun(const ConfigureRun&) = delete;
    ConfigureRun& operator=(const ConfigureRun&) = delete;

    HWND WaitForDialog(); // nullptr when it did not appear
    bool Ended(DWORD milliseconds);
    DWORD threadId() const { return threadId_; }

  private:
    static DWORD WINAPI Run(void* parameter);
    ConfigureProc configure_;
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
};

HWND FindDialogOfThread(DWORD threadId, const wchar_t* caption);
// A message box owned by `owner`, once it is visible.
HWND WaitForMessageBox(HWND owner, DWORD milliseconds = 5000);
std::wstring MessageBoxText(HWND box);
// Clicks the box's button (IDOK, IDYES, IDNO) and waits until it is gone.
bool AnswerMessageBox(HWND box, int button);

std::wstring WindowText(HWND window);
bool Enabled(HWND dialog, int id);
bool Checked(HWND dialog, int id);

struct ListRow {
    std::vector<std::wstring> cells;
    int image;
};
std::vector<ListRow> ReadList(HWND list, int columns);
// A left click on a row, or below the last row when row is -1, as the
// list view receives it; returns once the list shows the new selection.
void ClickListRow(HWND list, int row);
