// Control and command identifiers of the main window, shared by the portable dialog, its Win32
// binding and the resource script (which includes this file through res/resource.h).
#pragma once

// Controls of dialog 102; the toolbar's commands; command 1014 hides the window.
#define IDC_DRIVE_COMBO 1001
#define IDC_RUN_ON_BOOT 1002
#define IDC_SPEED_SLIDER 1004
#define IDC_MIN_SPEED 1005
#define IDC_MAX_SPEED 1006
#define IDC_SEL_SPEED 1007
#define ID_APPLY 1008
#define ID_LOCK 1009
#define ID_EJECT 1010
#define ID_LOAD 1011
#define ID_SAVE 1012
#define ID_RESTORE 1013
#define ID_HIDE 1014
#define IDC_CUR_SPEED 1016
// The toolbar's button labels are strings numbered command + 100.
#define ID_BUTTON_LABEL_OFFSET 100

// The notification-area popup menu.
#define ID_POPUP_EXIT 11
#define ID_POPUP_RESTORE 12
#define ID_POPUP_EJECT 13
#define ID_POPUP_LOAD 14
#define ID_POPUP_LOCK 15
#define ID_POPUP_ABOUT 16
#define ID_POPUP_KEEP_SPEED 17
#define ID_POPUP_HELP 18
#define ID_POPUP_CONTACT 20

// Menu 138, the dialog's menu bar.
#define ID_MENU_EJECT 32771
#define ID_MENU_LOAD 32772
#define ID_MENU_LOCK 32773
#define ID_MENU_KEEP_SPEED 32774
#define ID_MENU_CONTACT 32777
#define ID_MENU_ABOUT 32779
#define ID_MENU_EXIT 32780
#define ID_HELP_INDEX 57666
// The application's help command, which F1 (WM_HELP) also gives.
#define ID_HELP 57670

// The About dialog, the progress window and the new-version dialog. A control's tool tip is the
// string of the same number.
#define IDC_ABOUT_TITLE 1033
#define IDC_ABOUT_WEB_LINK 1019
#define IDC_ABOUT_SUPPORT_LINK 1020
#define IDC_ABOUT_CHECK_UPDATE 1035
#define IDC_ABOUT_CLOSE 1017
#define IDC_UPDATE_PROGRESS 1036
#define IDC_NEW_VERSION_TEXT 1031
#define IDC_NEW_VERSION_YES 1023
#define IDC_NEW_VERSION_NO 1024
#define ID_UPDATE_TICK_TIMER 1
// Sent to the main window by the worker whose new-version dialog starts the updater: the icon
// leaves the notification area and the windows end before the process does.
#define WM_QV_END_FOR_UPDATE 0x8065
// Posted to the progress window by its check's worker: wParam is the result to end it with.
#define WM_QV_END_PROGRESS 0x8066

// Resources.
#define IDD_QUORVEX_DIALOG 102
#define IDD_SPLASH 139
#define IDR_MAIN_MENU 138
#define IDR_TOOLBAR 143
#define IDB_TOOLBAR_NORMAL 145
#define IDB_TOOLBAR_HOT 146
#define IDD_ABOUT 135
#define IDD_NEW_VERSION 137
#define IDD_QUICK_UPDATE 142

// The notification-area icon and its callback message; the keep-speed and splash timers.
#define ID_TRAY_ICON 1001
#define WM_TRAY_NOTIFY 0x8064
#define ID_KEEP_TIMER 30
#define KEEP_TIMER_PERIOD_MS 5000
#define ID_SPLASH_TIMER 32
#define SPLASH_TIMER_PERIOD_MS 2000
