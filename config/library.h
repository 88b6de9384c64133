// The configuration library's own module, source of all its resources in
// whichever process hosts it, and the dialog procedures it runs.
#pragma once

#include <windows.h>

extern HINSTANCE g_libraryInstance;

// True only while an editor opened to modify the selected hotkey or action
// is up; the editor reads it and clears it when it closes.
extern bool ModifyMode;

// The combination the hotkey editor will store, passed between it and the
// picker; both 0 means none is picked.
extern UINT PickedModifiers;
extern UINT PickedKey;

// The main dialog that owns an editor.
inline HWND MainDialogOf(HWND editor) {
    return GetWindow(editor, GW_OWNER);
}

// The main dialog's selection, read by the editors it owns.
int SelectedHotkeyOf(HWND mainDialog);
int SelectedActionRowOf(HWND mainDialog);
// The action list position of the action an editor modifies, or -1.
int SelectedActionOf(HWND editor);

// Message boxes of the editors: caption "Pendrix", error icon, OK.
void ShowEditorError(HWND owner, const wchar_t* text);

extern "C" void WINAPI AboutDlg(HWND owner);
extern "C" void WINAPI Configure();
extern "C" void WINAPI MyHotkeys(HWND front);

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ConfigureDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK HotkeyEditorDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK HotkeyPickerDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK UrlFileDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK SystemCommandDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK TypeTextDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
