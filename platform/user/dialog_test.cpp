// Dialogs from templates: creation, tab order, the default dialog
// behaviour, notifications of the controls, and the keyboard handling that
// only modal loops have.
#include <atomic>
#include <thread>

#include "platform/user/user_internal.h"
#include "platform/user/user_test_support.h"
#include "vtresource.h"

namespace {

using vt::testing::Modifiers;
using vt::user_test::Log;
using vt::user_test::NewRecorder;
using vt::user_test::Row;
using vt::user_test::SetBehaviour;

constexpr int kDialog = 9001;
constexpr int kVisibleDialog = 9002;
constexpr int kIcon = 9100;
constexpr int kName = 101, kLogin = 102, kLocked = 103, kApply = 104,
              kList = 105, kPicture = 106, kLabel = 100;

const std::uint32_t kPixels[] = {0xFF0000FFu, 0, 0, 0xFF0000FFu};
const vtres::IconImage kIconImages[] = {{2, 2, kPixels}};
const vtres::Icon kTestIcon = {kIconImages, 1};
VT_RESOURCE(Icon, kIcon, kTestIcon);

// Columns: class, text, id, style, extended style, x, y, cx, cy.
const vtres::DialogItem kItems[] = {
    {"STATIC", "&Name:", kLabel, SS_LEFT | WS_VISIBLE, 0, 7, 9, 30, 8},
    {"EDIT", "", kName, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_VISIBLE, 0,
     40, 7, 100, 14},
    {"EDIT", "login", kLogin, ES_READONLY | WS_BORDER | WS_VISIBLE, 0, 40, 24,
     100, 14},
    {"BUTTON", "Away &Locked", kLocked,
     BS_AUTOCHECKBOX | WS_TABSTOP | WS_VISIBLE, 0, 7, 42, 60, 10},
    {"BUTTON", "&Apply", kApply, BS_PUSHBUTTON | WS_TABSTOP | WS_VISIBLE, 0,
     150, 7, 40, 14},
    {"BUTTON", "OK", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_VISIBLE, 0, 150,
     24, 40, 14},
    {"BUTTON", "Cancel", IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP | WS_VISIBLE, 0,
     150, 41, 40, 14},
    {"LISTBOX", "", kList, LBS_NOTIFY | WS_VSCROLL | WS_BORDER | WS_VISIBLE, 0,
     7, 60, 100, 30},
    {"STATIC", "#9100", kPicture, SS_ICON | WS_VISIBLE, 0, 150, 60, 20, 20},
};
const vtres::Dialog kTemplate = {
    WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER,
    0,
    0,
    0,
    200,
    100,
    "Test Dialog",
    "MS Sans Serif",
    8,
    kItems,
    9};
const vtres::Dialog kVisibleTemplate = {
    WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE,
    0,
    20,
    10,
    200,
    100,
    "Visible Dialog",
    "MS Sans Serif",
    8,
    kItems,
    9};
VT_RESOURCE(Dialog, kDialog, kTemplate);
VT_RESOURCE(Dialog, kVisibleDialog, kVisibleTemplate);

// The test dialog procedure: records, answers WM_INITDIALOG with
// initResult, and ends a modal dialog with OK, Cancel or Apply.
std::atomic<INT_PTR> initResult{TRUE};
std::atomic<HWND> lastDialog{nullptr};
std::atomic<UINT> checkAtEnd{0};

INT_PTR CALLBACK TestDialogProc(HWND dialog, UINT message, WPARAM wParam,
                                LPARAM lParam) {
  Log::Get().Add(message, wParam, lParam);
  switch (message) {
    case WM_INITDIALOG:
      lastDialog = dialog;
      return initResult;
    case WM_COMMAND: {
      int id = LOWORD(wParam);
      if (id == IDOK || id == IDCANCEL || id == kApply) {
        checkAtEnd = IsDlgButtonChecked(dialog, kLocked);
        EndDialog(dialog, id);
        return TRUE;
      }
      return FALSE;
    }
    case WM_USER + 50:
      SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 1234);
      return TRUE;
    default:
      return FALSE;
  }
}

class Dialogs : public vt::user_test::UserTest {
 protected:
  void SetUp() override {
    UserTest::SetUp();
    initResult = TRUE;
    lastDialog = nullptr;
  }
  HWND Modeless(int id = kDialog, LPARAM param = 0) {
    return CreateDialogParamA(nullptr, MAKEINTRESOURCEA(id), nullptr,
                              TestDialogProc, param);
  }
};

// Only notifications with this code, in order.
std::vector<Row> Commands(const std::vector<Row>& rows, WORD code) {
  std::vector<Row> out;
  for (auto& r : rows)
    if (r.message == WM_COMMAND && HIWORD(r.wParam) == code) out.push_back(r);
  return out;
}

TEST_F(Dialogs, ModelessDialogIsBuiltFromItsTemplate) {
  Log::Get().Watch({WM_INITDIALOG});
  HWND dialog = Modeless(kDialog, 1234);
  ASSERT_NE(dialog, nullptr);
  auto rows = Log::Get().Take();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].lParam, 1234);
  EXPECT_EQ(reinterpret_cast<HWND>(rows[0].wParam), GetDlgItem(dialog, kName))
      << "WM_INITDIALOG names the first tab stop";
  EXPECT_FALSE(IsWindowVisible(dialog)) << "no WS_VISIBLE in the template";
  EXPECT_EQ(vt::testing::TextOf(dialog), "Test Dialog");

  // Base units 6 and 13: x = dlu * 6 / 4, y = dlu * 13 / 8.
  RECT client;
  GetClientRect(dialog, &client);
  EXPECT_EQ(client.right, 300);
  EXPECT_EQ(client.bottom, 163);
  RECT outer;
  GetWindowRect(dialog, &outer);
  EXPECT_EQ(outer.left, (1024 - (outer.right - outer.left)) / 2) << "DS_CENTER";
  EXPECT_EQ(outer.top, (768 - (outer.bottom - outer.top)) / 2);
  RECT mapped{40, 7, 140, 21};
  MapDialogRect(dialog, &mapped);
  RECT edit;
  GetWindowRect(GetDlgItem(dialog, kName), &edit);
  POINT origin{0, 0};
  ClientToScreen(dialog, &origin);
  EXPECT_EQ(edit.left - origin.x, mapped.left);
  EXPECT_EQ(edit.top - origin.y, mapped.top);
  EXPECT_EQ(edit.right - edit.left, mapped.right - mapped.left);
  EXPECT_EQ(edit.bottom - edit.top, mapped.bottom - mapped.top);

  // The items, in template order, with their classes and texts.
  std::vector<int> ids;
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    ids.push_back(GetDlgCtrlID(c));
  EXPECT_EQ(ids, (std::vector<int>{kLabel, kName, kLogin, kLocked, kApply, IDOK,
                                   IDCANCEL, kList, kPicture}));
  char text[32];
  GetDlgItemTextA(dialog, kLogin, text, sizeof text);
  EXPECT_STREQ(text, "login");
  EXPECT_EQ(
      SendDlgItemMessageA(dialog, kPicture, STM_GETICON, 0, 0),
      reinterpret_cast<LRESULT>(LoadIconA(nullptr, MAKEINTRESOURCEA(kIcon))));
  EXPECT_EQ(SendMessageA(dialog, DM_GETDEFID, 0, 0),
            MAKELRESULT(IDOK, DC_HASDEFID));

  // Shown, it gives the focus to the first tab stop.
  ShowWindow(dialog, SW_SHOW);
  EXPECT_EQ(GetFocus(), GetDlgItem(dialog, kName));
}

TEST_F(Dialogs, InitDialogAnsweringFalseKeepsTheDefaultFocusAway) {
  initResult = FALSE;
  HWND dialog = Modeless(kVisibleDialog);
  ASSERT_TRUE(IsWindowVisible(dialog));
  EXPECT_NE(GetFocus(), GetDlgItem(dialog, kName));
  DestroyWindow(dialog);
  initResult = TRUE;
  dialog = Modeless(kVisibleDialog);
  EXPECT_EQ(GetFocus(), GetDlgItem(dialog, kName));
  RECT outer;
  GetWindowRect(dialog, &outer);
  EXPECT_EQ(outer.left, 30) << "x in dialog units from the screen's corner";
}

TEST_F(Dialogs, TabOrderFollowsTheTemplateAndSkipsWhatCannotTakeFocus) {
  HWND dialog = Modeless();
  auto id = [&](HWND w) { return GetDlgCtrlID(w); };
  std::vector<int> forward;
  HWND at = nullptr;
  for (int i = 0; i < 6; ++i) {
    at = GetNextDlgTabItem(dialog, at, FALSE);
    forward.push_back(id(at));
  }
  EXPECT_EQ(forward,
            (std::vector<int>{kName, kLocked, kApply, IDOK, IDCANCEL, kName}));
  std::vector<int> backward;
  at = GetDlgItem(dialog, kName);
  for (int i = 0; i < 5; ++i) {
    at = GetNextDlgTabItem(dialog, at, TRUE);
    backward.push_back(id(at));
  }
  EXPECT_EQ(backward,
            (std::vector<int>{IDCANCEL, IDOK, kApply, kLocked, kName}));
  EnableWindow(GetDlgItem(dialog, kApply), FALSE);
  EXPECT_EQ(id(GetNextDlgTabItem(dialog, GetDlgItem(dialog, kLocked), FALSE)),
            IDOK);
}

TEST_F(Dialogs, NextDlgCtlMovesTheFocusAndSelectsAnEditsText) {
  HWND dialog = Modeless(kVisibleDialog);
  HWND name = GetDlgItem(dialog, kName);
  SetWindowTextA(name, "hello");
  SetFocus(GetDlgItem(dialog, IDCANCEL));
  struct Step {
    WPARAM wParam;
    LPARAM lParam;
    int focus;
  } steps[] = {
      {0, 0, kName},
      {0, 0, kLocked},
      {1, 0, kName},
      {1, 0, IDCANCEL},
      {reinterpret_cast<WPARAM>(GetDlgItem(dialog, kApply)), TRUE, kApply},
  };
  for (auto& s : steps) {
    // The program posts it, and its own loop delivers it.
    PostMessageA(dialog, WM_NEXTDLGCTL, s.wParam, s.lParam);
    vt::testing::PumpPending();
    EXPECT_EQ(GetDlgCtrlID(GetFocus()), s.focus);
  }
  SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(name), TRUE);
  DWORD from = 9, to = 9;
  SendMessageA(name, EM_GETSEL, reinterpret_cast<WPARAM>(&from),
               reinterpret_cast<LPARAM>(&to));
  EXPECT_EQ(from, 0u);
  EXPECT_EQ(to, 5u);
}

TEST_F(Dialogs, SingleLineEditNotifiesChangeAlsoForSetText) {
  HWND dialog = Modeless();
  HWND name = GetDlgItem(dialog, kName);
  Log::Get().Watch({WM_COMMAND});
  SetDlgItemTextA(dialog, kName, "abc");
  SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
  auto l = reinterpret_cast<LPARAM>(name);
  EXPECT_EQ(Commands(Log::Get().Take(), EN_CHANGE),
            (std::vector<Row>{{WM_COMMAND, MAKEWPARAM(kName, EN_CHANGE), l},
                              {WM_COMMAND, MAKEWPARAM(kName, EN_CHANGE), l}}));
}

TEST_F(Dialogs, DlgItemIntReadsUnsignedAndSignedNumbers) {
  HWND dialog = Modeless();
  struct Case {
    const char* text;
    BOOL isSigned;
    UINT value;
    BOOL translated;
  } cases[] = {
      {"42", FALSE, 42, TRUE},
      {"  7", FALSE, 7, TRUE},
      {"+5", FALSE, 5, TRUE},
      {"", FALSE, 0, FALSE},
      {"abc", FALSE, 0, FALSE},
      {"12x", FALSE, 0, FALSE},
      {"12 ", FALSE, 0, FALSE},
      {"-3", FALSE, 0, FALSE},
      {"4294967295", FALSE, 4294967295u, TRUE},
      {"4294967296", FALSE, 0, FALSE},
      {"-3", TRUE, static_cast<UINT>(-3), TRUE},
      {"2147483648", TRUE, 0, FALSE},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.text);
    SetDlgItemTextA(dialog, kName, c.text);
    BOOL translated = -1;
    EXPECT_EQ(GetDlgItemInt(dialog, kName, &translated, c.isSigned), c.value);
    EXPECT_EQ(translated, c.translated);
  }
  SetDlgItemInt(dialog, kName, 3000000000u, FALSE);
  EXPECT_EQ(vt::testing::TextOf(GetDlgItem(dialog, kName)), "3000000000");
  SetDlgItemInt(dialog, kName, static_cast<UINT>(-12), TRUE);
  EXPECT_EQ(vt::testing::TextOf(GetDlgItem(dialog, kName)), "-12");
}

TEST_F(Dialogs, ButtonsCheckAndClick) {
  HWND dialog = Modeless();
  HWND locked = GetDlgItem(dialog, kLocked);
  Log::Get().Watch({WM_COMMAND});
  EXPECT_EQ(IsDlgButtonChecked(dialog, kLocked), BST_UNCHECKED);
  CheckDlgButton(dialog, kLocked, BST_CHECKED);
  EXPECT_EQ(IsDlgButtonChecked(dialog, kLocked), BST_CHECKED);
  EXPECT_TRUE(Log::Get().Take().empty()) << "setting the check is no click";
  SendMessageA(locked, BM_CLICK, 0, 0);
  EXPECT_EQ(IsDlgButtonChecked(dialog, kLocked), BST_UNCHECKED);
  SendDlgItemMessageA(dialog, kApply, BM_SETCHECK, BST_CHECKED, 0);
  EXPECT_EQ(IsDlgButtonChecked(dialog, kApply), BST_UNCHECKED)
      << "a push button has no check";
  EXPECT_EQ(Log::Get().Take(),
            (std::vector<Row>{{WM_COMMAND, MAKEWPARAM(kLocked, BN_CLICKED),
                               reinterpret_cast<LPARAM>(locked)}}));
}

TEST_F(Dialogs, ListBoxKeepsItsOrderAndAnswersLbErrForBadIndexes) {
  HWND dialog = Modeless();
  HWND list = GetDlgItem(dialog, kList);
  auto add = [&](UINT m, WPARAM i, const char* s) {
    return SendMessageA(list, m, i, reinterpret_cast<LPARAM>(s));
  };
  EXPECT_EQ(add(LB_ADDSTRING, 0, "b"), 0);
  EXPECT_EQ(add(LB_ADDSTRING, 0, "a"), 1) << "unsorted: appended";
  EXPECT_EQ(add(LB_INSERTSTRING, 0, "top"), 0);
  EXPECT_EQ(add(LB_INSERTSTRING, static_cast<WPARAM>(-1), "end"), 3);
  EXPECT_EQ(add(LB_INSERTSTRING, 9, "x"), LB_ERR);
  EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 4);
  char text[16];
  EXPECT_EQ(SendMessageA(list, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(text)),
            1);
  EXPECT_STREQ(text, "b");
  EXPECT_EQ(SendMessageA(list, LB_GETTEXTLEN, 0, 0), 3);
  EXPECT_EQ(SendMessageA(list, LB_GETTEXT, 4, reinterpret_cast<LPARAM>(text)),
            LB_ERR);
  EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), LB_ERR);
  EXPECT_EQ(SendMessageA(list, LB_SETCURSEL, 2, 0), 2);
  EXPECT_EQ(SendMessageA(list, LB_DELETESTRING, 0, 0), 3);
  EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 1)
      << "the selection follows";
  EXPECT_EQ(SendMessageA(list, LB_DELETESTRING, 7, 0), LB_ERR);
  EXPECT_EQ(SendMessageA(list, LB_SETCURSEL, 7, 0), LB_ERR);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 0);
}

TEST_F(Dialogs, SetDefIdMovesTheDefaultButton) {
  HWND dialog = Modeless();
  SendMessageA(dialog, DM_SETDEFID, kApply, 0);
  EXPECT_EQ(SendMessageA(dialog, DM_GETDEFID, 0, 0),
            MAKELRESULT(kApply, DC_HASDEFID));
  EXPECT_EQ(
      GetWindowLongPtrA(GetDlgItem(dialog, kApply), GWL_STYLE) & BS_TYPEMASK,
      BS_DEFPUSHBUTTON);
  EXPECT_EQ(
      GetWindowLongPtrA(GetDlgItem(dialog, IDOK), GWL_STYLE) & BS_TYPEMASK,
      BS_PUSHBUTTON);
}

TEST_F(Dialogs, UnhandledCloseBecomesCancelAndMsgResultIsTheAnswer) {
  HWND dialog = Modeless();
  Log::Get().Watch({WM_COMMAND});
  SendMessageA(dialog, WM_CLOSE, 0, 0);
  vt::testing::PumpPending();
  EXPECT_EQ(Log::Get().Take(),
            (std::vector<Row>{
                {WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL))}}));
  EXPECT_TRUE(IsWindow(dialog)) << "a dialog is not destroyed by closing";
  EXPECT_EQ(SendMessageA(dialog, WM_USER + 50, 0, 0), 1234);
  SetWindowLongPtrA(dialog, DWLP_USER, 77);
  EXPECT_EQ(GetWindowLongPtrA(dialog, DWLP_USER), 77);
}

TEST_F(Dialogs, EndDialogOnAModelessDialogHidesIt) {
  HWND dialog = Modeless(kVisibleDialog);
  ASSERT_TRUE(IsWindowVisible(dialog));
  EXPECT_TRUE(EndDialog(dialog, 5));
  EXPECT_FALSE(IsWindowVisible(dialog));
  EXPECT_TRUE(IsWindow(dialog));
}

TEST_F(Dialogs, ModalDialogDisablesItsOwnerAndRunsWhatOtherThreadsSend) {
  HWND owner = NewRecorder("owner");
  ShowWindow(owner, SW_SHOW);
  std::atomic<int> ownerEnabledDuringSend{-1};
  SetBehaviour([&](HWND w, UINT m, WPARAM, LPARAM, LRESULT* r) {
    if (w != owner || m != WM_USER + 7) return false;
    ownerEnabledDuringSend = IsWindowEnabled(owner);
    *r = 70;
    return true;
  });
  std::atomic<LRESULT> answer{0};
  std::thread sender;
  vt::testing::WhenIdle([&] {
    EXPECT_EQ(GetForegroundWindow(), lastDialog.load());
    sender = std::thread([&] {
      answer = SendMessageA(owner, WM_USER + 7, 0, 0);
      PostMessageA(lastDialog, WM_COMMAND, IDOK, 0);
    });
  });
  INT_PTR result = DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kDialog), owner,
                                   TestDialogProc, 0);
  sender.join();
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(answer, 70);
  EXPECT_EQ(ownerEnabledDuringSend, FALSE);
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_FALSE(IsWindow(lastDialog));
  EXPECT_EQ(GetForegroundWindow(), owner);
}

TEST_F(Dialogs, ModalLoopHandlesDialogKeys) {
  struct Key {
    UINT key;
    Modifiers modifiers;
  };
  struct Case {
    const char* name;
    std::vector<Key> keys;
    INT_PTR result;
    UINT checked;
  } cases[] = {
      {"Enter presses the default button",
       {{VK_RETURN, Modifiers::None}},
       IDOK,
       0},
      {"Esc is Cancel", {{VK_ESCAPE, Modifiers::None}}, IDCANCEL, 0},
      {"Alt+mnemonic clicks the button", {{'A', Modifiers::Alt}}, kApply, 0},
      {"a plain mnemonic letter works away from an edit",
       {{VK_TAB, Modifiers::None}, {'A', Modifiers::None}},
       kApply,
       0},
      {"Enter on a focused push button presses it",
       {{VK_TAB, Modifiers::None},
        {VK_TAB, Modifiers::None},
        {VK_RETURN, Modifiers::None}},
       kApply,
       0},
      {"Shift+Tab goes back",
       {{VK_TAB, Modifiers::Shift},
        {VK_TAB, Modifiers::Shift},
        {VK_RETURN, Modifiers::None}},
       IDOK,
       0},
      {"Alt+L toggles the check box, then Enter",
       {{'L', Modifiers::Alt}, {VK_RETURN, Modifiers::None}},
       IDOK,
       BST_CHECKED},
      {"Space toggles the focused check box",
       {{VK_TAB, Modifiers::None},
        {VK_SPACE, Modifiers::None},
        {VK_RETURN, Modifiers::None}},
       IDOK,
       BST_CHECKED},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    checkAtEnd = 99;
    vt::testing::WhenIdle([&] {
      for (auto& k : c.keys) vt::testing::PressKey(k.key, k.modifiers);
    });
    INT_PTR result = DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kDialog),
                                     nullptr, TestDialogProc, 0);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(checkAtEnd, c.checked);
  }
}

TEST_F(Dialogs, ModelessDialogGetsNoDialogKeyboardHandling) {
  HWND dialog = Modeless(kVisibleDialog);
  HWND name = GetDlgItem(dialog, kName);
  ASSERT_EQ(GetFocus(), name);
  Log::Get().Watch({WM_COMMAND});
  for (UINT key : {VK_RETURN, VK_ESCAPE, VK_TAB}) vt::testing::PressKey(key);
  vt::testing::PressKey('A', Modifiers::Alt);
  vt::testing::PumpPending();
  EXPECT_TRUE(Commands(Log::Get().Take(), BN_CLICKED).empty());
  EXPECT_EQ(GetFocus(), name);
  EXPECT_TRUE(IsWindowVisible(dialog));
}

}  // namespace
