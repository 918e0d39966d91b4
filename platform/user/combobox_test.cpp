// The drop-down list control in a dialog: keys and clicks choose items,
// the list drops and closes, and the parent hears of each change.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "vtresource.h"
#include "vttest.h"

namespace {

constexpr int kCombo = 300;
constexpr int kItemHeight = 13;
constexpr int kFieldHeight = kItemHeight + 8;

constexpr vtres::DialogItem kItems[] = {
    {"EDIT", "", 200, WS_VISIBLE | WS_TABSTOP | WS_BORDER, 0, 4, 4, 60, 12},
    {"COMBOBOX", "", kCombo,
     WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0, 4, 20, 80, 60},
    {"BUTTON", "OK", IDOK, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 100,
     4, 40, 14},
};
constexpr vtres::Dialog kDialog = {DS_MODALFRAME | WS_POPUP | WS_CAPTION,
                                   0,
                                   0,
                                   0,
                                   160,
                                   90,
                                   "Combo",
                                   "MS Sans Serif",
                                   8,
                                   kItems,
                                   static_cast<int>(std::size(kItems))};
constexpr int kDialogId = 9311;
VT_RESOURCE(Dialog, kDialogId, kDialog);

std::vector<WORD> gNotices;
std::vector<std::string> gChoices;

INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    for (const char* item : {"Text Files", "Logs", "All Files"}) {
      SendDlgItemMessageA(dialog, kCombo, CB_ADDSTRING, 0,
                          reinterpret_cast<LPARAM>(item));
    }
    SendDlgItemMessageA(dialog, kCombo, CB_SETCURSEL, 0, 0);
    return TRUE;
  }
  if (message == WM_COMMAND && LOWORD(wParam) == kCombo) {
    gNotices.push_back(HIWORD(wParam));
    if (HIWORD(wParam) == CBN_SELCHANGE)
      gChoices.push_back(vt::testing::TextOf(GetDlgItem(dialog, kCombo)));
    return TRUE;
  }
  if (message == WM_COMMAND &&
      (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(dialog, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

HWND ComboOf(const char* caption) {
  for (HWND window : vt::testing::TopLevelWindows()) {
    if (vt::testing::TextOf(window) == caption)
      return GetDlgItem(window, kCombo);
  }
  return nullptr;
}

int Height(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return r.bottom - r.top;
}

LRESULT Current(HWND combo) { return SendMessageA(combo, CB_GETCURSEL, 0, 0); }

// Each case: what the person does, in steps at idle moments of the dialog's
// loop, and the choices the parent heard of, in order.
struct Case {
  const char* name;
  std::vector<void (*)(HWND combo)> steps;
  std::vector<std::string> choices;
  LRESULT finalIndex;
};

TEST(ComboBox, KeysAndClicksChooseAndTellTheParent) {
  const Case kCases[] = {
      {"ArrowsAndEnds",
       {[](HWND combo) {
         SetFocus(combo);
         vt::testing::PressKey(VK_DOWN);
         vt::testing::PressKey(VK_DOWN);
         vt::testing::PressKey(VK_DOWN);  // already the last: no change
         vt::testing::PressKey(VK_HOME);
         vt::testing::PressKey(VK_END);
       }},
       {"Logs", "All Files", "Text Files", "All Files"},
       2},
      {"ClickDropsAndClickChooses",
       {[](HWND combo) {
          EXPECT_EQ(Height(combo), kFieldHeight);
          vt::testing::ClickAt(combo, 10, 5);
        },
        [](HWND combo) {
          EXPECT_TRUE(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0));
          EXPECT_GT(Height(combo), kFieldHeight + 2 * kItemHeight);
          // The third item of the dropped list.
          vt::testing::ClickAt(combo, 10, kFieldHeight + 2 * kItemHeight + 4);
        },
        [](HWND combo) {
          EXPECT_FALSE(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0));
          EXPECT_EQ(Height(combo), kFieldHeight);
        }},
       {"All Files"},
       2},
      // Esc closes a dropped list and puts back the item it dropped with;
      // the dialog stays open.
      {"EscCancelsTheDroppedList",
       {[](HWND combo) {
          SetFocus(combo);
          vt::testing::PressKey(VK_F4);
          vt::testing::PressKey(VK_DOWN);
          vt::testing::PressKey(VK_ESCAPE);
        },
        [](HWND combo) {
          EXPECT_TRUE(IsWindow(combo));
          EXPECT_FALSE(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0));
        }},
       {"Logs", "Text Files"},
       0},
      {"AltDownDropsEnterKeeps",
       {[](HWND combo) {
          SetFocus(combo);
          vt::testing::PressKey(VK_DOWN, vt::testing::Modifiers::Alt);
          vt::testing::PressKey(VK_DOWN);
          vt::testing::PressKey(VK_RETURN);
        },
        [](HWND combo) {
          EXPECT_FALSE(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0));
        }},
       {"Logs"},
       1},
  };
  for (const auto& c : kCases) {
    gNotices.clear();
    gChoices.clear();
    LRESULT finalIndex = -2;
    for (auto step : c.steps) {
      vt::testing::WhenIdle([step] { step(ComboOf("Combo")); });
    }
    vt::testing::WhenIdle([&finalIndex] {
      HWND combo = ComboOf("Combo");
      finalIndex = Current(combo);
      EndDialog(GetParent(combo), IDCANCEL);
    });
    DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kDialogId), nullptr, Proc, 0);
    EXPECT_EQ(gChoices, c.choices) << c.name;
    EXPECT_EQ(finalIndex, c.finalIndex) << c.name;
  }
}

TEST(ComboBox, ItemsAndTheChoiceByMessage) {
  HWND combo =
      CreateWindowExA(0, "COMBOBOX", "", WS_POPUP | CBS_DROPDOWNLIST, 0, 0, 100,
                      80, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), CB_ERR);
  EXPECT_EQ(
      SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("one")), 0);
  EXPECT_EQ(
      SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("two")), 1);
  EXPECT_EQ(SendMessageA(combo, CB_SETCURSEL, 1, 0), 1);
  EXPECT_EQ(vt::testing::TextOf(combo), "two");
  EXPECT_EQ(SendMessageA(combo, CB_SETCURSEL, 5, 0), CB_ERR);
  EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), CB_ERR);
  EXPECT_EQ(vt::testing::TextOf(combo), "");
  char text[8] = {};
  EXPECT_EQ(SendMessageA(combo, CB_GETLBTEXTLEN, 0, 0), 3);
  EXPECT_EQ(
      SendMessageA(combo, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text)), 3);
  EXPECT_STREQ(text, "one");
  EXPECT_EQ(
      SendMessageA(combo, CB_GETLBTEXT, 9, reinterpret_cast<LPARAM>(text)),
      CB_ERR);
  // Its text is only ever an item's.
  SetWindowTextA(combo, "free text");
  EXPECT_EQ(vt::testing::TextOf(combo), "");
  EXPECT_EQ(SendMessageA(combo, CB_DELETESTRING, 0, 0), 1);
  EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 1);
  SendMessageA(combo, CB_RESETCONTENT, 0, 0);
  EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 0);
  DestroyWindow(combo);
}

}  // namespace
