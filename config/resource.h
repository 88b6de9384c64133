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
#define IDM_ACTION_TYPE_TEXT 32785

// Hotkey editor "Insert New Hot Key"
#define IDD_HOTKEY_EDITOR 133
#define IDC_PICK_HOTKEY 1004
#define IDC_TITLE_EDIT 1005
#define IDC_DESCRIPTION_EDIT 1006
#define IDC_COMBINATION_EDIT 1007
#define IDC_INSERT 1008
// Its programs row, beside the fields above.
#define IDC_PROGRAMS_MODE 1009
#define IDC_PROGRAMS_EDIT 1010
#define IDC_RUNNING_PROGRAMS 1011
// Its abbreviation row, below the programs row.
#define IDC_ABBREVIATION_EDIT 1012
#define IDC_ABBREVIATION_AT_ONCE 1013
#define IDC_ABBREVIATION_MATCH_CASE 1014

// Combination picker "Make a Hotkey"
#define IDD_HOTKEY_PICKER 131
#define IDC_MODIFIER1_LIST 1000
#define IDC_MODIFIER2_LIST 1001
#define IDC_MODIFIER3_LIST 1002
#define IDC_KEY_LIST 1003
#define IDC_MAKE_HOTKEY 1004

// URL/file editor "Select URL / File"
#define IDD_URL_FILE 136
#define IDC_BROWSE 1004
#define IDC_TARGET_EDIT 1005
#define IDC_PARAMETERS_EDIT 1006
#define IDC_START_IN_EDIT 1007
// Its options, beside the fields above.
#define IDC_SWITCH_CHECK 1008
#define IDC_RUN_AS_CHECK 1009
#define IDC_START_STATE_LIST 1010

// System-command editor "System Commands"
#define IDD_SYSTEM_COMMAND 138
#define IDC_COMMAND_LIST 1000

// Typing editor "Type Text"
#define IDD_TYPE_TEXT 140
#define IDC_TYPED_TEXT_EDIT 1005

// An editor's result when it changed the model.
#define EditorAccepted 111

// The manifest that gives the library's dialogs the common controls 6 look.
#define IDR_LIBRARY_MANIFEST 2
