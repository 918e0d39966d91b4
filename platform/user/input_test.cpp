// Input: global hooks fed by desktop-wide events, and keys and clicks
// reaching controls.
#include <atomic>
#include <mutex>
#include <thread>

#include "platform/user/user_test_support.h"

namespace {

using vt::testing::Modifiers;
using vt::user_test::Log;
using vt::user_test::NewRecorder;
using vt::user_test::Row;
using vt::user_test::SetBehaviour;

class Input : public vt::user_test::UserTest {
 protected:
  void TearDown() override {
    for (HHOOK h : {first, second, mouse})
      if (h) UnhookWindowsHookEx(h);
    first = second = mouse = nullptr;
    UserTest::TearDown();
  }
  static inline HHOOK first = nullptr;
  static inline HHOOK second = nullptr;
  static inline HHOOK mouse = nullptr;
};

struct HookCall {
  int hook;
  int code;
  WPARAM wParam;
  LPARAM lParam;
  DWORD thread;
};
std::mutex hookMutex;
std::vector<HookCall> hookCalls;
std::atomic<bool> swallow{false};
std::atomic<HWND> notifyWindow{nullptr};

void Note(int hook, int code, WPARAM wParam, LPARAM lParam) {
  std::lock_guard<std::mutex> lock(hookMutex);
  hookCalls.push_back(
      HookCall{hook, code, wParam, lParam, GetCurrentThreadId()});
}

std::vector<HookCall> TakeHookCalls() {
  std::lock_guard<std::mutex> lock(hookMutex);
  return std::exchange(hookCalls, {});
}

// The newer hook: notes the event, tells a window of the test thread by a
// synchronous message as the program's hook library does, and passes it on
// unless told to swallow it.
LRESULT CALLBACK SecondHook(int code, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK FirstHook(int code, WPARAM wParam, LPARAM lParam) {
  Note(1, code, wParam, lParam);
  return 0;
}

HHOOK* secondHandle = nullptr;
LRESULT CALLBACK SecondHook(int code, WPARAM wParam, LPARAM lParam) {
  Note(2, code, wParam, lParam);
  if (HWND w = notifyWindow) SendMessageA(w, WM_COMMAND, 1025, 0);
  if (swallow) return 1;
  return CallNextHookEx(*secondHandle, code, wParam, lParam);
}

std::atomic<int> mouseX{-1};
std::atomic<int> mouseY{-1};
LRESULT CALLBACK MouseHook(int code, WPARAM wParam, LPARAM lParam) {
  auto* info = reinterpret_cast<MOUSEHOOKSTRUCT*>(lParam);
  mouseX = info->pt.x;
  mouseY = info->pt.y;
  Note(3, code, wParam, 0);
  return 0;
}

TEST_F(Input, DesktopKeysRunTheGlobalChainOnThePlatformsInputThread) {
  HWND main = NewRecorder("hidden main");
  notifyWindow = main;
  swallow = false;
  first = SetWindowsHookExA(WH_KEYBOARD, FirstHook, nullptr, 0);
  second = SetWindowsHookExA(WH_KEYBOARD, SecondHook, nullptr, 0);
  secondHandle = &second;
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  Log::Get().Watch({WM_COMMAND});

  vt::testing::DesktopKey('Q');
  notifyWindow = nullptr;
  auto calls = TakeHookCalls();
  ASSERT_EQ(calls.size(), 4u) << "newest first, down then up";
  const int order[] = {2, 1, 2, 1};
  for (std::size_t i = 0; i < calls.size(); ++i) {
    EXPECT_EQ(calls[i].hook, order[i]);
    EXPECT_EQ(calls[i].code, HC_ACTION);
    EXPECT_EQ(calls[i].wParam, static_cast<WPARAM>('Q'));
    EXPECT_NE(calls[i].thread, GetCurrentThreadId());
  }
  EXPECT_EQ(calls[0].lParam & 0x80000000, 0);
  EXPECT_NE(calls[2].lParam & 0x80000000, 0) << "key up";
  // The hook's SendMessageA reached the waiting test thread.
  EXPECT_EQ(Log::Get().Take(),
            (std::vector<Row>{{WM_COMMAND, 1025, 0}, {WM_COMMAND, 1025, 0}}));
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_KEYDOWN, WM_KEYUP, PM_REMOVE))
      << "desktop input reaches no window";

  EXPECT_TRUE(UnhookWindowsHookEx(second));
  second = nullptr;
  EXPECT_FALSE(UnhookWindowsHookEx(second));
  vt::testing::DesktopKey(VK_F2);
  calls = TakeHookCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].hook, 1);
}

TEST_F(Input, AHookThatSwallowsAKeyKeepsItFromTheWindow) {
  HWND w = NewRecorder();
  ShowWindow(w, SW_SHOW);
  swallow = true;
  notifyWindow = nullptr;
  first = SetWindowsHookExA(WH_KEYBOARD, FirstHook, nullptr, 0);
  second = SetWindowsHookExA(WH_KEYBOARD, SecondHook, nullptr, 0);
  secondHandle = &second;
  Log::Get().Watch({WM_KEYDOWN, WM_KEYUP});
  vt::testing::PressKey('K');
  vt::testing::PumpPending();
  EXPECT_TRUE(Log::Get().Take().empty());
  auto calls = TakeHookCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].hook, 2) << "the older hook never saw it";
  swallow = false;
  vt::testing::PressKey('K');
  vt::testing::PumpPending();
  EXPECT_EQ(Log::Get().Take().size(), 2u);
  TakeHookCalls();
}

TEST_F(Input, MouseHookSeesDesktopMovesAndClicks) {
  mouse = SetWindowsHookExA(WH_MOUSE, MouseHook, nullptr, 0);
  vt::testing::DesktopMouseMove(321, 123);
  EXPECT_EQ(mouseX, 321);
  EXPECT_EQ(mouseY, 123);
  POINT p;
  GetCursorPos(&p);
  EXPECT_EQ(p.x, 321);
  HWND w = NewRecorder();
  ShowWindow(w, SW_SHOW);
  vt::testing::Click(w);
  auto calls = TakeHookCalls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].wParam, static_cast<WPARAM>(WM_MOUSEMOVE));
  EXPECT_EQ(calls[1].wParam, static_cast<WPARAM>(WM_LBUTTONDOWN));
  EXPECT_EQ(calls[2].wParam, static_cast<WPARAM>(WM_LBUTTONUP));
  EXPECT_EQ(SetWindowsHookExA(99, MouseHook, nullptr, 0), nullptr);
}

// A dialog-free parent with controls, as a window procedure would make.
struct Form {
  HWND parent;
  HWND edit;
  HWND lower;
  HWND readOnly;
  HWND check;
  HWND button;
};

Form MakeForm() {
  Form f;
  f.parent = NewRecorder("form");
  auto child = [&](const char* cls, DWORD style, int id,
                   const char* text = "") {
    return CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, 0,
                           id * 20, 100, 14, f.parent,
                           reinterpret_cast<HMENU>(static_cast<LONG_PTR>(id)),
                           nullptr, nullptr);
  };
  f.edit = child("EDIT", ES_AUTOHSCROLL, 1);
  f.lower = child("Edit", ES_LOWERCASE, 2);
  f.readOnly = child("edit", ES_READONLY, 3, "fixed");
  f.check = child("BUTTON", BS_AUTOCHECKBOX, 4, "&Check");
  f.button = child("BUTTON", BS_PUSHBUTTON, 5, "&Push");
  ShowWindow(f.parent, SW_SHOW);
  return f;
}

TEST_F(Input, TypingEditsTheFocusedEdit) {
  Form f = MakeForm();
  struct Case {
    HWND Form::*edit;
    const char* typed;
    const char* text;
  } cases[] = {
      {&Form::edit, "Hello, World!", "Hello, World!"},
      {&Form::edit, "abc\bd", "abd"},
      {&Form::lower, "Alice@Example.ORG", "alice@example.org"},
      {&Form::readOnly, "xyz", "fixed"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.typed);
    HWND edit = f.*(c.edit);
    SetWindowTextA(edit, edit == f.readOnly ? "fixed" : "");
    SetFocus(edit);
    vt::testing::TypeText(c.typed);
    vt::testing::PumpPending();
    EXPECT_EQ(vt::testing::TextOf(edit), c.text);
  }
  // Every typed change is told to the parent.
  SetWindowTextA(f.edit, "");
  SetFocus(f.edit);
  Log::Get().Watch({WM_COMMAND});
  vt::testing::TypeText("ab");
  vt::testing::PumpPending();
  int changes = 0;
  for (auto& r : Log::Get().Take())
    if (HIWORD(r.wParam) == EN_CHANGE) ++changes;
  EXPECT_EQ(changes, 2);
  // The selection is replaced by what is typed.
  SendMessageA(f.edit, EM_SETSEL, 0, 1);
  vt::testing::TypeText("X");
  vt::testing::PumpPending();
  EXPECT_EQ(vt::testing::TextOf(f.edit), "Xb");
  SendMessageA(f.edit, EM_SETSEL, 1, 1);
  SendMessageA(f.edit, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>("--"));
  EXPECT_EQ(vt::testing::TextOf(f.edit), "X--b");
  SendMessageA(f.edit, EM_LIMITTEXT, 4, 0);
  vt::testing::TypeText("z");
  vt::testing::PumpPending();
  EXPECT_EQ(vt::testing::TextOf(f.edit), "X--b") << "the limit holds";
}

TEST_F(Input, ClicksReachButtonsButNotDisabledWindows) {
  Form f = MakeForm();
  Log::Get().Watch({WM_COMMAND});
  vt::testing::Click(f.check);
  vt::testing::PumpPending();
  EXPECT_EQ(SendMessageA(f.check, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(GetFocus(), f.check);
  vt::testing::Click(f.button);
  vt::testing::PumpPending();
  SetFocus(f.button);
  vt::testing::PressKey(VK_SPACE);
  vt::testing::PumpPending();
  auto bn = [](HWND w) {
    return Row{WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(w), BN_CLICKED),
               reinterpret_cast<LPARAM>(w)};
  };
  EXPECT_EQ(Log::Get().Take(),
            (std::vector<Row>{bn(f.check), bn(f.button), bn(f.button)}));

  EnableWindow(f.parent, FALSE);
  vt::testing::Click(f.button);
  vt::testing::PumpPending();
  EXPECT_TRUE(Log::Get().Take().empty()) << "a disabled window takes no clicks";
  EnableWindow(f.parent, TRUE);
}

TEST_F(Input, DoubleClickGivesDoubleClickMessagesWhereTheClassAsks) {
  HWND w = NewRecorder();
  ShowWindow(w, SW_SHOW);
  Log::Get().Watch({WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK});
  vt::testing::DoubleClick(w);
  vt::testing::PumpPending();
  RECT outer;
  GetWindowRect(w, &outer);
  POINT p{(outer.left + outer.right) / 2, (outer.top + outer.bottom) / 2};
  ScreenToClient(w, &p);
  LPARAM at = MAKELPARAM(p.x, p.y);
  EXPECT_EQ(Log::Get().Take(),
            (std::vector<Row>{{WM_LBUTTONDOWN, MK_LBUTTON, at},
                              {WM_LBUTTONUP, 0, at},
                              {WM_LBUTTONDBLCLK, MK_LBUTTON, at},
                              {WM_LBUTTONUP, 0, at}}));
}

TEST_F(Input, KeysGoToTheFocusOfTheForegroundWindow) {
  HWND a = NewRecorder("a");
  HWND b = NewRecorder("b");
  ShowWindow(a, SW_SHOW);
  ShowWindow(b, SW_SHOW);
  EXPECT_EQ(GetForegroundWindow(), b);
  SetForegroundWindow(a);
  std::vector<HWND> targets;
  SetBehaviour([&](HWND w, UINT m, WPARAM, LPARAM, LRESULT*) {
    if (m == WM_KEYDOWN) targets.push_back(w);
    return false;
  });
  vt::testing::PressKey('Z');
  vt::testing::PumpPending();
  ShowWindow(a, SW_HIDE);
  EXPECT_EQ(GetForegroundWindow(), b) << "hiding hands the foreground on";
  vt::testing::PressKey('Z');
  vt::testing::PumpPending();
  EXPECT_EQ(targets, (std::vector<HWND>{a, b}));
  EXPECT_GE(GetKeyState(VK_SHIFT), 0) << "Shift is not held";
}

}  // namespace
