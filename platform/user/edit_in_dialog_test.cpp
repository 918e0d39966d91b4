// A multi-line edit takes every key from its dialog, so it does itself
// what the dialog would have done: Esc closes the dialog, and Enter presses
// the default button unless the edit keeps Enter for a new line.
#include <gtest/gtest.h>
#include <vtresource.h>
#include <windows.h>

#include <functional>
#include <string>

#include "platform/user/user_test_support.h"
#include "vttest.h"

namespace {

constexpr int kPlainDialog = 9301;
constexpr int kKeepsEnterDialog = 9302;
constexpr int kEdit = 101;

const vtres::DialogItem kPlainItems[] = {
    {"EDIT", "", kEdit,
     ES_MULTILINE | ES_AUTOVSCROLL | WS_BORDER | WS_TABSTOP | WS_VISIBLE, 0, 7,
     7, 150, 60},
    {"BUTTON", "OK", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_VISIBLE, 0, 7, 74,
     50, 14},
    {"BUTTON", "Cancel", IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP | WS_VISIBLE, 0,
     60, 74, 50, 14},
};
const vtres::DialogItem kKeepsEnterItems[] = {
    {"EDIT", "", kEdit,
     ES_MULTILINE | ES_WANTRETURN | WS_BORDER | WS_TABSTOP | WS_VISIBLE, 0, 7,
     7, 150, 60},
    {"BUTTON", "OK", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_VISIBLE, 0, 7, 74,
     50, 14},
};
const vtres::Dialog kPlain = {
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
    0,
    0,
    0,
    170,
    95,
    "Response",
    "MS Sans Serif",
    8,
    kPlainItems,
    3};
const vtres::Dialog kKeepsEnter = {
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
    0,
    0,
    0,
    170,
    95,
    "Notes",
    "MS Sans Serif",
    8,
    kKeepsEnterItems,
    2};

}  // namespace

VT_RESOURCE(Dialog, kPlainDialog, kPlain);
VT_RESOURCE(Dialog, kKeepsEnterDialog, kKeepsEnter);

namespace {

std::string gTextAtEnd;

INT_PTR CALLBACK EditDialogProc(HWND dialog, UINT message, WPARAM wParam,
                                LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetFocus(GetDlgItem(dialog, kEdit));
      return FALSE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        char text[256] = {};
        GetDlgItemTextA(dialog, kEdit, text, sizeof text);
        gTextAtEnd = text;
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

class EditInDialog : public vt::user_test::UserTest {};

TEST_F(EditInDialog, EscClosesAndEnterGoesWhereTheEditKeepsIt) {
  struct Case {
    const char* what;
    int dialog;
    std::function<void()> keys;
    INT_PTR result;
    const char* text;
  } cases[] = {
      {"Esc in a multi-line edit closes the dialog", kPlainDialog,
       [] {
         vt::testing::TypeText("abc");
         vt::testing::PressKey(VK_ESCAPE);
       },
       IDCANCEL, "abc"},
      {"Enter presses the default button", kPlainDialog,
       [] {
         vt::testing::TypeText("ab");
         vt::testing::PressKey(VK_RETURN);
       },
       IDOK, "ab"},
      {"Enter stays in an edit that keeps it; Esc still closes",
       kKeepsEnterDialog,
       [] {
         vt::testing::TypeText("a");
         vt::testing::PressKey(VK_RETURN);
         vt::testing::TypeText("b");
         vt::testing::PressKey(VK_ESCAPE);
       },
       IDCANCEL, "a\r\nb"},
  };
  HWND owner = vt::user_test::NewRecorder("owner");
  ShowWindow(owner, SW_SHOW);
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    gTextAtEnd.clear();
    vt::testing::WhenIdle(c.keys);
    INT_PTR result = DialogBoxParamA(nullptr, MAKEINTRESOURCEA(c.dialog), owner,
                                     EditDialogProc, 0);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(gTextAtEnd, c.text);
  }
}

}  // namespace
