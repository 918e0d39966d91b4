// The configuration window (dialog 101): the profile on the left, the
// response files below it, the command buttons in the middle column and the
// "Incoming Fingers" log on the right. The items are in creation order,
// which is also the tab order, so Apply comes last although it stands second
// in the button column. The labels beside the edits are right-aligned so
// that they end where their edit begins. Its procedure is ConfigDialogProc in
// settings/config_window.cpp; the caption is replaced at start-up by the
// status caption.
#include <vtresource.h>
#include <windows.h>

#include "resources/resource.h"

namespace {

// Every control is visible, as in a resource script: the window stays
// hidden until it is shown, and the dialog manager only gives the focus to
// visible controls.
constexpr DWORD kShown = WS_VISIBLE;
constexpr DWORD kLabel = kShown | SS_RIGHT;
constexpr DWORD kEdit =
    kShown | WS_BORDER | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
constexpr DWORD kReadOnlyEdit =
    kShown | WS_BORDER | ES_LEFT | ES_AUTOHSCROLL | ES_READONLY;
constexpr DWORD kButton = kShown | BS_PUSHBUTTON | WS_TABSTOP;

// Columns: class, text, id, style, extended style, x, y, cx, cy.
constexpr vtres::DialogItem kConfigItems[] = {
    {"BUTTON", "User Information", IDC_USER_GROUP, kShown | BS_GROUPBOX, 0, 7,
     7, 145, 155},
    {"STATIC", "Login:", IDC_LOGIN_LABEL, kLabel, 0, 17, 19, 20, 8},
    {"EDIT", "", IDC_LOGIN, kReadOnlyEdit, WS_EX_CLIENTEDGE, 38, 16, 108, 14},
    {"STATIC", "Name:", IDC_NAME_LABEL, kLabel, 0, 15, 39, 22, 8},
    {"EDIT", "", IDC_REAL_NAME, kEdit, WS_EX_CLIENTEDGE, 38, 36, 108, 14},
    {"STATIC", "Office:", IDC_OFFICE_LABEL, kLabel, 0, 15, 59, 22, 8},
    {"EDIT", "", IDC_OFFICE, kEdit, WS_EX_CLIENTEDGE, 38, 56, 108, 14},
    {"STATIC", "Phone:", IDC_OFFICE_PHONE_LABEL, kLabel, 0, 13, 75, 24, 8},
    {"EDIT", "", IDC_OFFICE_PHONE, kEdit, WS_EX_CLIENTEDGE, 38, 72, 56, 14},
    {"STATIC", "Home:", IDC_HOME_LABEL, kLabel, 0, 15, 95, 22, 8},
    {"EDIT", "", IDC_HOME, kEdit, WS_EX_CLIENTEDGE, 38, 92, 108, 14},
    {"STATIC", "Phone:", IDC_HOME_PHONE_LABEL, kLabel, 0, 13, 111, 24, 8},
    {"EDIT", "", IDC_HOME_PHONE, kEdit, WS_EX_CLIENTEDGE, 38, 108, 56, 14},
    {"STATIC", "", -1, kShown | SS_ETCHEDHORZ, 0, 12, 126, 135, 1},
    {"STATIC", "Set Away After:", IDC_AWAY_AFTER_LABEL, kLabel, 0, 13, 132, 49,
     8},
    {"EDIT", "", IDC_AWAY_AFTER, kEdit, WS_EX_CLIENTEDGE, 64, 130, 33, 14},
    {"STATIC", "minutes", IDC_MINUTES_LABEL, kShown | SS_LEFT, 0, 100, 132, 25,
     8},
    {"BUTTON", "Away &Locked", IDC_AWAY_LOCKED,
     kShown | BS_AUTOCHECKBOX | WS_TABSTOP, 0, 13, 148, 59, 10},
    {"BUTTON", "Response Files", IDC_FILES_GROUP, kShown | BS_GROUPBOX, 0, 7,
     165, 203, 49},
    {"STATIC", "Plan:", -1, kLabel, 0, 16, 177, 17, 8},
    {"EDIT", "", IDC_PLAN_FILE, kEdit, WS_EX_CLIENTEDGE, 35, 174, 126, 14},
    {"BUTTON", "B&rowse...", IDC_BROWSE_PLAN, kButton, 0, 165, 174, 41, 14},
    {"STATIC", "Away:", -1, kLabel, 0, 13, 197, 20, 8},
    {"EDIT", "", IDC_AWAY_FILE, kEdit, WS_EX_CLIENTEDGE, 35, 194, 126, 14},
    {"BUTTON", "Bro&wse...", IDC_BROWSE_AWAY, kButton, 0, 165, 194, 41, 14},
    {"BUTTON", "&OK", IDC_OK, kShown | BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 158,
     10, 52, 14},
    {"BUTTON", "Cancel", IDC_CANCEL, kButton, 0, 158, 42, 52, 14},
    {"BUTTON", "&Finger", IDC_FINGER, kButton, 0, 158, 60, 52, 14},
    {"BUTTON", "&Stop Server", IDC_STOP_SERVER, kButton, 0, 158, 76, 52, 14},
    {"BUTTON", "&Help", IDC_HELP, kButton, 0, 158, 94, 52, 14},
    {"BUTTON", "A&bout", IDC_ABOUT, kButton, 0, 158, 110, 52, 14},
    {"STATIC", "#102", IDC_PICTURE, kShown | SS_BITMAP, 0, 158, 127, 52, 35},
    {"BUTTON", "Incoming Fingers", IDC_INCOMING_GROUP, kShown | BS_GROUPBOX, 0,
     216, 7, 186, 208},
    {"LISTBOX", "", IDC_CONNECTION_LOG, kShown | WS_BORDER | WS_VSCROLL,
     WS_EX_CLIENTEDGE, 223, 17, 172, 192},
    {"BUTTON", "&Apply", IDC_APPLY, kButton, 0, 158, 26, 52, 14},
};

// Columns: style, extended style, x, y, cx, cy, caption, font, point size,
// items, item count.
constexpr vtres::Dialog kConfigDialog = {
    DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU,
    0,
    0,
    0,
    409,
    222,
    "Vellumtide",
    "MS Sans Serif",
    8,
    kConfigItems,
    static_cast<int>(sizeof kConfigItems / sizeof kConfigItems[0]),
};

}  // namespace

VT_RESOURCE(Dialog, IDD_CONFIG, kConfigDialog);
