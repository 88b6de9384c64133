// Numeric identifiers of the configuration library's resources and controls.
#pragma once

#define IDI_PENDRIX 107
#define IDI_STATE_DISABLED 129 // red square
#define IDI_STATE_ENABLED 134  // green square

// About box
#define IDD_ABOUT 103
#define IDC_ABOUT_ICON 22
#define IDC_ABOUT_SITE 1004

// Main configuration dialog
#define IDD_CONFIGURE 137
#define IDC_HOTKEY_LIST 1009
#define IDC_ACTION_LIST 1010
#define IDC_ENABLED_CHECK 1011
#define IDC_ADD_ACTION 1013
#define IDC_DELETE_ACTION 1014
#define IDC_MODIFY_ACTION 1015
#define IDC_MODIFY_HOTKEY 1016
#define IDC_ADD_HOTKEY 1017
#define IDC_DELETE_HOTKEY 1018
#define IDC_CLOSE 1019
#define IDC_ABOUT 1020
#define IDC_SITE 1021
#define IDC_SEQUENTIAL_CHECK 1024

// The action menu of "Add Action"
#define IDR_ACTION_MENU 135
#define IDM_ACTION_RUN_URL 32777
#define IDM_ACTION_RUN_FILE 32778
#define IDM_ACTION_SYSTEM_COMMAND 32779

// Editors
#define IDD_URL_FILE 136
#define IDD_HOTKEY_PICKER 131
#define IDD_HOTKEY_EDITOR 133
#define IDD_SYSTEM_COMMAND 138

// An editor's result when it changed the model.
#define EditorAccepted 111

// The manifest that gives the library's dialogs the common controls 6 look.
#define IDR_LIBRARY_MANIFEST 2
