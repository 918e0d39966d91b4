// The edit's selection, caret and copying: keys, the mouse, the blink, the
// sideways scrolling of a single-line edit, and what reaches the clipboard.
#include <string>

#include "platform/user/user_internal.h"
#include "platform/user/user_test_support.h"

namespace {

using vt::testing::Modifiers;
using vt::user_test::NewRecorder;

class EditSelection : public vt::user_test::UserTest {};

struct Sel {
  DWORD from;
  DWORD to;
};

Sel SelOf(HWND edit) {
  Sel s{0, 0};
  SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&s.from),
               reinterpret_cast<LPARAM>(&s.to));
  return s;
}

// The width of one character in the edit's font (every character is as wide
// in the headless driver).
int CharWidth(HWND edit) {
  HDC dc = GetDC(edit);
  SIZE size{0, 0};
  GetTextExtentPoint32A(dc, "x", 1, &size);
  ReleaseDC(edit, dc);
  return size.cx;
}

HWND MakeEdit(HWND parent, DWORD style, const char* text, int width = 200) {
  HWND edit = CreateWindowExA(0, "EDIT", text, WS_CHILD | WS_VISIBLE | style, 0,
                              0, width, 20, parent, nullptr, nullptr, nullptr);
  ShowWindow(parent, SW_SHOW);
  return edit;
}

TEST_F(EditSelection, KeysMoveAndExtendTheSelectionAndTypingReplacesIt) {
  HWND parent = NewRecorder("form");
  HWND edit = MakeEdit(parent, ES_AUTOHSCROLL, "hello world");
  SetFocus(edit);
  struct Step {
    UINT key;
    Modifiers modifiers;
    Sel expected;
  } steps[] = {
      {VK_END, Modifiers::None, {11, 11}},
      {VK_LEFT, Modifiers::Shift, {10, 11}},
      {VK_HOME, Modifiers::Shift, {0, 11}},
      {VK_RIGHT, Modifiers::None, {1, 1}},
      {VK_RIGHT, Modifiers::Shift, {1, 2}},
      {VK_END, Modifiers::Shift, {1, 11}},
      {'A', Modifiers::Control, {0, 11}},
  };
  for (const Step& step : steps) {
    vt::testing::PressKey(step.key, step.modifiers);
    vt::testing::PumpPending();
    Sel s = SelOf(edit);
    EXPECT_EQ(s.from, step.expected.from) << "key " << step.key;
    EXPECT_EQ(s.to, step.expected.to) << "key " << step.key;
  }
  SendMessageA(edit, EM_SETSEL, 6, 11);
  vt::testing::TypeText("there");
  vt::testing::PumpPending();
  EXPECT_EQ(vt::testing::TextOf(edit), "hello there");
  EXPECT_EQ(SelOf(edit).from, 11u);
}

TEST_F(EditSelection, CopyOffersTheSelectionButNeverAPassword) {
  HWND parent = NewRecorder("form");
  HWND edit = MakeEdit(parent, ES_AUTOHSCROLL, "finger me");
  HWND secret = MakeEdit(parent, ES_AUTOHSCROLL | ES_PASSWORD, "hunter2");
  struct Case {
    HWND window;
    int from, to;
    bool byKey;
    const char* clipboard;
  } cases[] = {
      {edit, 0, 6, true, "finger"},
      {edit, 7, -1, false, "me"},
      // Nothing selected leaves the clipboard as it was.
      {edit, 3, 3, true, "me"},
      {secret, 0, -1, true, "me"},
  };
  for (const Case& c : cases) {
    SetFocus(c.window);
    SendMessageA(c.window, EM_SETSEL, c.from, c.to);
    if (c.byKey)
      vt::testing::PressKey('C', Modifiers::Control);
    else
      SendMessageA(c.window, WM_COPY, 0, 0);
    vt::testing::PumpPending();
    EXPECT_EQ(vt::testing::ClipboardText(), c.clipboard)
        << c.from << ".." << c.to;
  }
  EXPECT_EQ(vt::testing::TextOf(edit), "finger me") << "copy changes nothing";
  EXPECT_EQ(vt::testing::ClipboardText(true), "") << "keys set no primary";
}

TEST_F(EditSelection, MouseSetsTheCaretDragsAndDoubleClickTakesAWord) {
  HWND parent = NewRecorder("form");
  HWND edit = MakeEdit(parent, ES_AUTOHSCROLL, "user@host plan");
  int cw = CharWidth(edit);
  ASSERT_GT(cw, 0);
  // Just left of a character's middle puts the caret before it, just right
  // of it after it.
  auto x = [&](int chars) { return 1 + chars * cw; };
  vt::testing::ClickAt(edit, x(3) + cw / 2 - 1, 5);
  vt::testing::PumpPending();
  EXPECT_EQ(GetFocus(), edit);
  EXPECT_EQ(SelOf(edit).from, 3u);
  EXPECT_EQ(SelOf(edit).to, 3u);
  vt::testing::ClickAt(edit, x(3) + cw / 2 + 1, 5);
  vt::testing::PumpPending();
  EXPECT_EQ(SelOf(edit).from, 4u);
  EXPECT_EQ(GetCapture(), nullptr) << "the button's release ends the capture";

  // A drag holds the capture, follows the pointer past the edge, and its
  // selection becomes the primary selection.
  SendMessageA(edit, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x(5), 5));
  EXPECT_EQ(GetCapture(), edit);
  SendMessageA(edit, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x(9), 5));
  EXPECT_EQ(SelOf(edit).to, 9u);
  SendMessageA(edit, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x(100), 5));
  SendMessageA(edit, WM_LBUTTONUP, 0, MAKELPARAM(x(100), 5));
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(SelOf(edit).from, 5u);
  EXPECT_EQ(SelOf(edit).to, 14u);
  EXPECT_EQ(vt::testing::ClipboardText(true), "host plan");
  EXPECT_EQ(vt::testing::ClipboardText(false), "") << "only Ctrl+C copies";

  struct Word {
    int at;
    DWORD from, to;
  } words[] = {{1, 0, 9}, {11, 10, 14}, {9, 0, 9}};
  for (const Word& w : words) {
    vt::testing::DoubleClickAt(edit, x(w.at) + 1, 5);
    vt::testing::PumpPending();
    EXPECT_EQ(SelOf(edit).from, w.from) << "at " << w.at;
    EXPECT_EQ(SelOf(edit).to, w.to) << "at " << w.at;
  }
}

TEST_F(EditSelection, CaretBlinksOnlyInTheFocusedEdit) {
  HWND parent = NewRecorder("form");
  HWND first = MakeEdit(parent, ES_AUTOHSCROLL, "one");
  HWND second = MakeEdit(parent, ES_AUTOHSCROLL, "two");
  auto shown = [](HWND edit) { return vt::user::Control(edit)->caretShown; };
  SetFocus(first);
  vt::testing::PumpPending();
  EXPECT_TRUE(shown(first));
  EXPECT_FALSE(shown(second));
  vt::testing::AdvanceTimers(500);
  vt::testing::PumpPending();
  EXPECT_FALSE(shown(first)) << "half a second on, the caret is off";
  vt::testing::AdvanceTimers(500);
  vt::testing::PumpPending();
  EXPECT_TRUE(shown(first)) << "and on again";
  // Moving the caret shows it at once.
  vt::testing::AdvanceTimers(500);
  vt::testing::PumpPending();
  vt::testing::PressKey(VK_LEFT);
  vt::testing::PumpPending();
  EXPECT_TRUE(shown(first));
  SetFocus(second);
  vt::testing::AdvanceTimers(500);
  vt::testing::AdvanceTimers(500);
  vt::testing::PumpPending();
  EXPECT_FALSE(shown(first)) << "an edit without the focus has no caret";
}

TEST_F(EditSelection, SingleLineEditScrollsToKeepTheCaretSeen) {
  HWND parent = NewRecorder("form");
  HWND edit = MakeEdit(parent, ES_AUTOHSCROLL, "", 60);
  int cw = CharWidth(edit);
  SetFocus(edit);
  auto state = vt::user::Control(edit);
  vt::testing::TypeText("abcdefghijklmnopqrstuvwxyz");
  vt::testing::PumpPending();
  RECT r;
  GetClientRect(edit, &r);
  int caretX = 1 + 26 * cw - state->scrollX;
  EXPECT_GT(state->scrollX, 0);
  EXPECT_LE(caretX, r.right) << "the caret at the end is in view";
  vt::testing::PressKey(VK_HOME);
  vt::testing::PumpPending();
  EXPECT_EQ(state->scrollX, 0);
  // A click then lands on the character under the pointer, scrolled or not.
  vt::testing::PressKey(VK_END);
  vt::testing::PumpPending();
  int scrolled = state->scrollX;
  vt::testing::ClickAt(edit, 1 + 20 * cw - scrolled + 1, 5);
  vt::testing::PumpPending();
  EXPECT_EQ(SelOf(edit).from, 20u);
}

TEST_F(EditSelection, ClicksInAMultiLineEditFindTheLineUnderThePointer) {
  HWND parent = NewRecorder("form");
  HWND edit = CreateWindowExA(0, "EDIT", "ab\r\ncdef\r\ng",
                              WS_CHILD | WS_VISIBLE | ES_MULTILINE, 0, 0, 200,
                              60, parent, nullptr, nullptr, nullptr);
  ShowWindow(parent, SW_SHOW);
  int cw = CharWidth(edit);
  HDC dc = GetDC(edit);
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  ReleaseDC(edit, dc);
  int lh = metrics.tmHeight;
  ASSERT_GT(lh, 0);
  struct Case {
    int column, row;
    DWORD offset;
  } cases[] = {
      {1, 0, 1},
      {2, 1, 6},
      // Past a line's end the caret stops before its CR LF.
      {9, 0, 2},
      {1, 2, 11},
      // Below the last line is the last line.
      {0, 5, 10},
  };
  for (const Case& c : cases) {
    vt::testing::ClickAt(edit, 1 + c.column * cw + 1, 1 + c.row * lh + 2);
    vt::testing::PumpPending();
    EXPECT_EQ(SelOf(edit).from, c.offset) << c.column << "," << c.row;
  }
}

// Scrolled down by its bar, a click lands on the line shown under the
// pointer, not on the line that would be there unscrolled.
TEST_F(EditSelection, ClicksInAScrolledEditFindTheLineShown) {
  HWND parent = NewRecorder("form");
  std::string text;
  for (int i = 0; i < 30; ++i) text += "line" + std::to_string(i % 10) + "\r\n";
  HWND edit = CreateWindowExA(
      0, "EDIT", text.c_str(),
      WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_READONLY | WS_VSCROLL, 0, 0,
      200, 80, parent, nullptr, nullptr, nullptr);
  ShowWindow(parent, SW_SHOW);
  HDC dc = GetDC(edit);
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  ReleaseDC(edit, dc);
  const int lh = metrics.tmHeight;
  ASSERT_GT(lh, 0);
  for (int i = 0; i < 5; ++i) SendMessageA(edit, WM_VSCROLL, SB_LINEDOWN, 0);
  ASSERT_EQ(GetScrollPos(edit, SB_VERT), 5);
  // Each line is "lineN" and its CR LF: 7 bytes.
  vt::testing::ClickAt(edit, 2, 1 + lh / 2);
  vt::testing::PumpPending();
  EXPECT_EQ(SelOf(edit).from, 5u * 7u);
  vt::testing::ClickAt(edit, 2, 1 + 2 * lh + lh / 2);
  vt::testing::PumpPending();
  EXPECT_EQ(SelOf(edit).from, 7u * 7u);
}

}  // namespace
