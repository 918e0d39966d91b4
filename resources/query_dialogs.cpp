// The finger client's two dialogs: the query window (107), which asks for a
// user and a machine, and the response window (108), which shows an answer
// in a fixed-pitch font. Their procedures are in client/query_windows.cpp.
#include <vtresource.h>
#include <windows.h>

#include "resources/resource.h"

namespace {

// Controls are visible unless a table says otherwise, as in a resource
// script; the dialog manager only gives the focus to visible controls.
constexpr DWORD kShown = WS_VISIBLE;

// Both entries are lower-cased as they are typed, so the query goes out
// with a lower-case user and host.
constexpr DWORD kQueryEdit =
    kShown | ES_LEFT | ES_LOWERCASE | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;

// Columns: class, text, id, style, extended style, x, y, cx, cy.
constexpr vtres::DialogItem kQueryItems[] = {
    {"STATIC", "Finger who?", -1, kShown | SS_LEFT, 0, 7, 7, 40, 8},
    {"EDIT", "", IDC_QUERY_USER, kQueryEdit, 0, 7, 18, 143, 14},
    {"STATIC", "At what machine?", IDC_QUERY_HOST_LABEL, kShown | SS_LEFT, 0, 7,
     35, 58, 8},
    {"EDIT", "", IDC_QUERY_HOST, kQueryEdit, 0, 7, 46, 143, 14},
    {"BUTTON", "OK", IDOK, kShown | BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 7, 66, 50,
     14},
    {"BUTTON", "Cancel", IDCANCEL, kShown | BS_PUSHBUTTON | WS_TABSTOP, 0, 100,
     66, 50, 14},
};

// Columns: style, extended style, x, y, cx, cy, caption, font, point size,
// items, item count.
constexpr vtres::Dialog kQueryDialog = {
    DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU,
    0,
    0,
    0,
    157,
    87,
    "Vellumtide Finger",
    "MS Sans Serif",
    8,
    kQueryItems,
    static_cast<int>(sizeof kQueryItems / sizeof kQueryItems[0]),
};

// The answer is read, never edited: read-only, but Enter stays in the edit
// and both scroll bars are there for long and wide answers.
constexpr vtres::DialogItem kResponseItems[] = {
    {"EDIT", "", IDC_RESPONSE_TEXT,
     kShown | ES_LEFT | ES_MULTILINE | ES_READONLY | ES_WANTRETURN |
         ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_VSCROLL | WS_HSCROLL | WS_BORDER |
         WS_TABSTOP,
     0, 7, 7, 333, 177},
};

// Columns as for kQueryDialog. No modal frame and no sizing border: the
// window can be minimised while the person goes on with something else.
constexpr vtres::Dialog kResponseDialog = {
    DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
    0,
    0,
    0,
    347,
    191,
    "Finger Response",
    "Courier New",
    8,
    kResponseItems,
    static_cast<int>(sizeof kResponseItems / sizeof kResponseItems[0]),
};

}  // namespace

VT_RESOURCE(Dialog, IDD_QUERY, kQueryDialog);
VT_RESOURCE(Dialog, IDD_RESPONSE, kResponseDialog);
