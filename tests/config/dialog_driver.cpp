#include "dialog_driver.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include "agent_harness.h"

LibraryUnderTest::LibraryUnderTest() {
    module_ = LoadLibraryW((TestProgramFolder() + L"pendrixcfg.dll").c_str());
    EXPECT_NE(nullptr, module_);
    if (!module_)
        return;
    configure_ = reinterpret_cast<ConfigureProc>(
        reinterpret_cast<void*>(GetProcAddress(module_, "Configure")));
    about_ = reinterpret_cast<AboutDlgProc>(
        reinterpret_cast<void*>(GetProcAddress(module_, "AboutDlg")));
}

LibraryUnderTest::~LibraryUnderTest() {
    if (module_)
        FreeLibrary(module_);
}

ConfigureRun::ConfigureRun(ConfigureProc configure) : configure_(configure) {
    thread_ = CreateThread(nullptr, 0, Run, this, 0, &threadId_);
}

ConfigureRun::~ConfigureRun() {
    if (WaitForSingleObject(thread_, 0) == WAIT_TIMEOUT) {
        HWND dialog = FindDialogOfThread(threadId_, MAIN_DIALOG_CAPTION);
        if (dialog)
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        if (WaitForSingleObject(thread_, 5000) == WAIT_TIMEOUT) {
            ADD_FAILURE() << "the configuration dialog did not close";
            TerminateThread(thread_, 1);
        }
    }
    CloseHandle(thread_);
}

DWORD WINAPI ConfigureRun::Run(void* parameter) {
    static_cast<ConfigureRun*>(parameter)->configure_();
    return 0;
}

HWND ConfigureRun::WaitForDialog() {
    HWND dialog = nullptr;
    if (!WaitFor([&] {
            dialog = FindDialogOfThread(threadId_, MAIN_DIALOG_CAPTION);
            return dialog && IsWindowVisible(dialog);
        }))
        return nullptr;
    SetForegroundWindow(dialog);
    WaitFor([&] { return GetForegroundWindow() == dialog; }, 3000);
    return dialog;
}

bool ConfigureRun::Ended(DWORD milliseconds) {
    return WaitForSingleObject(thread_, milliseconds) == WAIT_OBJECT_0;
}

HWND FindDialogOfThread(DWORD threadId, const wchar_t* caption) {
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"#32770", caption)) != nullptr;) {
        if (GetWindowThreadProcessId(w, nullptr) == threadId)
            return w;
    }
    return nullptr;
}

HWND WaitForMessageBox(HWND owner, DWORD milliseconds) {
    HWND box = nullptr;
    WaitFor(
        [&] {
            for (HWND w = nullptr;
                 (w = FindWindowExW(nullptr, w, L"#32770", L"Pendrix")) != nullptr;) {
                if (GetWindow(w, GW_OWNER) == owner && IsWindowVisible(w)) {
                    box = w;
                    return true;
                }
            }
            return false;
        },
        milliseconds);
    return box;
}

std::wstring MessageBoxText(HWND box) {
    return WindowText(GetDlgItem(box, 0xFFFF));
}

bool AnswerMessageBox(HWND box, int button) {
    HWND control = GetDlgItem(box, button);
    if (!control)
        return false;
    // What the button's click sends: a BM_CLICK can be lost when another
    // window of the thread holds the mouse capture for a moment.
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(control));
    return WaitFor([&] { return !IsWindow(box); });
}

std::wstring WindowText(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

bool Enabled(HWND dialog, int id) {
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}
bool Checked(HWND dialog, int id) {
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

std::vector<ListRow> ReadList(HWND list, int columns) {
    std::vector<ListRow> rows;
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int r = 0; r < count; ++r) {
        ListRow row;
        for (int c = 0; c < columns; ++c) {
            wchar_t text[512] = {};
            LVITEMW item = {};
            item.iSubItem = c;
            item.pszText = text;
            item.cchTextMax = 512;
            SendMessageW(list, LVM_GETITEMTEXTW, r, reinterpret_cast<LPARAM>(&item));
            row.cells.push_back(text);
        }
        LVITEMW image = {};
        image.mask = LVIF_IMAGE;
        image.iItem = r;
        SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&image));
        row.image = image.iImage;
        rows.push_back(row);
    }
    return rows;
}

void ClickListRow(HWND list, int row) {
    POINT point;
    if (row >= 0) {
        RECT rect = {};
        rect.left = LVIR_BOUNDS;
        SendMessageW(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rect));
        point = {rect.left + 50, (rect.top + rect.bottom) / 2};
    } else {
        RECT client;
        GetClientRect(list, &client);
        point = {client.right / 2, client.bottom - 5};
    }
    // The button messages a click queues, without the global mouse state
    // that makes real clicks pair up into double-clicks across tests.
    const LPARAM at = MAKELPARAM(point.x, point.y);
    PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(list, WM_LBUTTONUP, 0, at);
    WaitFor(
        [&] {
            if (row >= 0)
                return SendMessageW(list, LVM_GETSELECTIONMARK, 0, 0) == row &&
                       SendMessageW(list, LVM_GETITEMSTATE, row, LVIS_SELECTED) != 0;
            return SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0) == 0;
        },
        3000);
    Sleep(150);
}
