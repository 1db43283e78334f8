// Identifiers shared by the resource script and the window code: resources,
// the main window's command and timer ids, and the dialogs' control ids.
// Plain macros, because the resource compiler reads this file too.
#pragma once

// Resources.
#define IDI_PROGRAM 8001
#define IDM_MAIN_MENU 2001
#define IDD_SETUP 1001
#define IDD_PORT 1002

// Main window.
#define ID_MAIN_TIMER 1234
#define IDC_RESIZE 4567
#define IDM_ABOUT 6001

// The main window's commands in its system menu: WM_SYSCOMMAND ids, whose
// low four bits the system keeps, below the system's own (0xF000 on).
#define IDM_SAVE_RECORDING 0x0110
#define IDM_SAVE_PICTURE 0x0120
#define IDM_COPY_SCREEN_TEXT 0x0130
#define IDM_SHOW_ABOUT 0x0140

// Setup dialog controls.
#define IDC_SCHEME_GREEN 4002
#define IDC_SCHEME_BLUE 4003
#define IDC_SCHEME_GROUP 4004
#define IDC_SET_PORT 4005
#define IDC_OPEN_CLOSE 4006
#define IDC_SETUP_CANCEL 4007
#define IDC_SIZE_COMBO 4008
#define IDC_SIZE_LABEL 4009
#define IDC_PORT_LABEL 4010
#define IDC_DONE 4011
#define IDC_LINK_STATE 4012
// The setup dialog's timer that follows the link's state.
#define ID_LINK_STATE_TIMER 1235

// Port-selection dialog controls (1 and 2 are the standard OK and Cancel).
#define IDC_PORT_COMBO 4001
