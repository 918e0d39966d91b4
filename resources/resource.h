// The program's resource and command identifiers, shared by the resource
// tables in this folder and by the window procedures that use them.
#pragma once

// Resources.
#define IDD_CONFIG 101
#define IDB_PICTURE 102
#define IDD_ABOUT 104
#define IDR_POPUP_MENU 105
#define IDD_QUERY 107
#define IDD_RESPONSE 108
#define IDI_VELTO 110
#define IDR_ACCELERATORS 111

// Configuration window controls (dialog 101).
#define IDC_PLAN_FILE 1003
#define IDC_OFFICE 1004
#define IDC_OFFICE_PHONE 1005
#define IDC_HOME 1006
#define IDC_HOME_PHONE 1007
#define IDC_REAL_NAME 1008
#define IDC_AWAY_FILE 1009
#define IDC_PICTURE 1011
#define IDC_OFFICE_LABEL 1012
#define IDC_OFFICE_PHONE_LABEL 1013
#define IDC_HOME_LABEL 1014
#define IDC_HOME_PHONE_LABEL 1015
#define IDC_NAME_LABEL 1016
#define IDC_STOP_SERVER 1017
#define IDC_HELP 1018
#define IDC_BROWSE_PLAN 1019
#define IDC_OK 1020
#define IDC_ABOUT 1021
#define IDC_FINGER 1022
#define IDC_CONNECTION_LOG 1023
#define IDC_BROWSE_AWAY 1024
#define IDC_USER_GROUP 1025
#define IDC_FILES_GROUP 1026
#define IDC_INCOMING_GROUP 1027
#define IDC_CANCEL 1029
#define IDC_AWAY_AFTER_LABEL 1038
#define IDC_AWAY_AFTER 1039
#define IDC_MINUTES_LABEL 1040
#define IDC_AWAY_LOCKED 1045
#define IDC_LOGIN_LABEL 1046
#define IDC_LOGIN 1047
#define IDC_APPLY 1052

// Query window (dialog 107) and response window (dialog 108).
#define IDC_QUERY_USER 1031
#define IDC_QUERY_HOST_LABEL 1032
#define IDC_QUERY_HOST 1033
#define IDC_RESPONSE_TEXT 1037

// Commands that exist only in the popup menu or the accelerator table.
#define IDM_CONFIGURE 40004
#define IDM_NEXT_CONTROL 40008
#define IDM_ENTER_OK 40009
#define IDM_PREVIOUS_CONTROL 40013
#define IDM_HELP 40014

// Commands of the hidden main window, sent by the hook library.
#define CMD_ACTIVITY 1025
#define CMD_GET_MOUSE_HOOK 1026
#define CMD_GET_KEYBOARD_HOOK 1027

// The notification-area icon: its identifier and callback message.
#define TRAY_ICON_ID 110
#define WM_TRAY_ICON 32868
