// The About window (dialog 104): the program icon, the version line, what
// the program is, and an OK button. Its procedure is AboutDialogProc in
// settings/config_window.cpp.
#include <vtresource.h>
#include <windows.h>

#include "resources/resource.h"

namespace {

// Every item is visible, as in a resource script; the dialog manager gives
// the focus only to visible controls.
constexpr DWORD kShown = WS_VISIBLE;

// Columns: class, text, id, style, extended style, x, y, cx, cy.
constexpr vtres::DialogItem kAboutItems[] = {
    {"STATIC", "#110", -1, kShown | SS_ICON, 0, 7, 13, 21, 20},
    {"STATIC", "Vellumtide v1.01 (beta)", -1, kShown | SS_LEFT, 0, 83, 7, 90,
     8},
    {"STATIC", "", -1, kShown | SS_ETCHEDHORZ, 0, 7, 39, 232, 1},
    {"STATIC",
     "Windows 95/NTv4.0\nTCP/IP Finger Daemon (Server)\n for Windows Sockets "
     "v1.1+",
     -1, kShown | SS_CENTER, 0, 70, 44, 104, 24},
    {"STATIC", "", -1, kShown | SS_ETCHEDHORZ, 0, 7, 73, 232, 1},
    {"BUTTON", "OK", IDOK, kShown | BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 91, 115,
     59, 14},
};

// Columns: style, extended style, x, y, cx, cy, caption, font, point size,
// items, item count.
constexpr vtres::Dialog kAboutDialog = {
    DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU,
    0,
    0,
    0,
    246,
    136,
    "About Vellumtide",
    "MS Sans Serif",
    8,
    kAboutItems,
    static_cast<int>(sizeof kAboutItems / sizeof kAboutItems[0]),
};

}  // namespace

VT_RESOURCE(Dialog, IDD_ABOUT, kAboutDialog);
