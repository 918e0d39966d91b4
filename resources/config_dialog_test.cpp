// The configuration window's template as a dialog the platform builds: it
// starts hidden, every control exists with its kind, and Tab visits exactly
// the tab stops in creation order, Apply last.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "resources/resource.h"

namespace {

INT_PTR CALLBACK MinimalProc(HWND, UINT msg, WPARAM, LPARAM) {
  return msg == WM_INITDIALOG;
}

class ConfigDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog_ = CreateDialogParamA(nullptr, MAKEINTRESOURCEA(IDD_CONFIG), nullptr,
                                 MinimalProc, 0);
    ASSERT_NE(dialog_, nullptr);
  }
  void TearDown() override { DestroyWindow(dialog_); }

  std::string ClassOf(int id) {
    char name[32] = {};
    GetClassNameA(GetDlgItem(dialog_, id), name, sizeof name);
    return name;
  }
  DWORD StyleOf(int id) {
    return static_cast<DWORD>(
        GetWindowLongPtrA(GetDlgItem(dialog_, id), GWL_STYLE));
  }

  HWND dialog_ = nullptr;
};

TEST_F(ConfigDialog, StartsHiddenWithCaptionAndNoSizeBoxes) {
  EXPECT_FALSE(IsWindowVisible(dialog_));
  DWORD style = static_cast<DWORD>(GetWindowLongPtrA(dialog_, GWL_STYLE));
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU), WS_CAPTION | WS_SYSMENU);
  EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0u);
}

TEST_F(ConfigDialog, ControlsHaveTheirKinds) {
  // Columns: id, class, style bits that must be set.
  const struct {
    int id;
    const char* windowClass;
    DWORD style;
  } rows[] = {
      {IDC_LOGIN, "EDIT", ES_READONLY},
      {IDC_REAL_NAME, "EDIT", WS_TABSTOP},
      {IDC_AWAY_AFTER, "EDIT", WS_TABSTOP},
      {IDC_AWAY_LOCKED, "BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP},
      {IDC_OK, "BUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP},
      {IDC_APPLY, "BUTTON", WS_TABSTOP},
      {IDC_USER_GROUP, "BUTTON", BS_GROUPBOX},
      {IDC_PICTURE, "STATIC", SS_BITMAP},
      {IDC_CONNECTION_LOG, "LISTBOX", WS_VSCROLL},
  };
  for (const auto& row : rows) {
    ASSERT_NE(GetDlgItem(dialog_, row.id), nullptr) << row.id;
    EXPECT_EQ(ClassOf(row.id), row.windowClass) << row.id;
    EXPECT_EQ(StyleOf(row.id) & row.style, row.style) << row.id;
  }
  EXPECT_EQ(StyleOf(IDC_LOGIN) & WS_TABSTOP, 0u);
  EXPECT_EQ(StyleOf(IDC_CONNECTION_LOG) & (WS_TABSTOP | LBS_SORT), 0u);
  EXPECT_EQ(StyleOf(IDC_PICTURE) & WS_TABSTOP, 0u);
}

TEST_F(ConfigDialog, TabVisitsTheStopsInCreationOrder) {
  const std::vector<int> expected = {
      IDC_REAL_NAME,   IDC_OFFICE,     IDC_OFFICE_PHONE, IDC_HOME,
      IDC_HOME_PHONE,  IDC_AWAY_AFTER, IDC_AWAY_LOCKED,  IDC_PLAN_FILE,
      IDC_BROWSE_PLAN, IDC_AWAY_FILE,  IDC_BROWSE_AWAY,  IDC_OK,
      IDC_CANCEL,      IDC_FINGER,     IDC_STOP_SERVER,  IDC_HELP,
      IDC_ABOUT,       IDC_APPLY,
  };
  std::vector<int> visited;
  HWND control = GetDlgItem(dialog_, IDC_APPLY);
  for (size_t i = 0; i < expected.size(); ++i) {
    control = GetNextDlgTabItem(dialog_, control, FALSE);
    visited.push_back(GetDlgCtrlID(control));
  }
  EXPECT_EQ(visited, expected);
}

}  // namespace
