// The standard scroll bars: the room they take from the client area, what
// clicks, drags and the wheel on them send, and the list box and the
// multi-line edit kept to them, all through input as a person gives it.
#include <string>

#include "platform/user/user_test_support.h"

namespace {

using vt::user_test::Log;
using vt::user_test::Row;
using vt::user_test::UserTest;

constexpr int kBar = 16;         // the headless driver's bar width
constexpr int kItemHeight = 13;  // a list box line

class ScrollBarTest : public UserTest {
 protected:
  void SetUp() override {
    UserTest::SetUp();
    parent_ =
        vt::user_test::NewRecorder("scroll", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    ASSERT_NE(parent_, nullptr);
    // The list shows six whole lines: 6 × 13 pixels inside a sunken edge.
    list_ = CreateWindowExA(
        WS_EX_CLIENTEDGE, "LISTBOX", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL, 0,
        0, 150, 6 * kItemHeight + 4, parent_, nullptr, nullptr, nullptr);
    ASSERT_NE(list_, nullptr);
  }
  void Fill(HWND list, int count) {
    for (int i = 0; i < count; ++i) {
      std::string item = "finger " + std::to_string(i);
      SendMessageA(list, LB_ADDSTRING, 0,
                   reinterpret_cast<LPARAM>(item.c_str()));
    }
  }
  static RECT Client(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    return r;
  }
  static SCROLLINFO Info(HWND window, int bar) {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    EXPECT_TRUE(GetScrollInfo(window, bar, &info));
    return info;
  }
  HWND parent_ = nullptr;
  HWND list_ = nullptr;
};

TEST_F(ScrollBarTest, TheBarsTakeTheirWidthFromTheClientArea) {
  struct Case {
    DWORD style;
    int width;
    int height;
  } cases[] = {
      {0, 100, 60},
      {WS_VSCROLL, 100 - kBar, 60},
      {WS_HSCROLL, 100, 60 - kBar},
      {WS_VSCROLL | WS_HSCROLL, 100 - kBar, 60 - kBar},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.style);
    HWND child = CreateWindowExA(0, "VtRecorder", "", WS_CHILD | c.style, 0, 0,
                                 100, 60, parent_, nullptr, nullptr, nullptr);
    RECT r = Client(child);
    EXPECT_EQ(r.right, c.width);
    EXPECT_EQ(r.bottom, c.height);
    // Hiding the bars gives the room back; showing them takes it again.
    ShowScrollBar(child, SB_BOTH, FALSE);
    EXPECT_EQ(Client(child).right, 100);
    EXPECT_EQ(Client(child).bottom, 60);
    ShowScrollBar(child, SB_VERT, TRUE);
    EXPECT_EQ(Client(child).right, 100 - kBar);
    DestroyWindow(child);
  }
}

TEST_F(ScrollBarTest, ClicksAndDragsOnTheBarScrollTheList) {
  Fill(list_, 100);
  const RECT client = Client(list_);
  ASSERT_EQ(client.bottom, 6 * kItemHeight);
  const int x = client.right + kBar / 2;  // the middle of the bar
  const int trackTop = kBar;
  const int trackBottom = client.bottom - kBar;
  // 46 pixels of track, a thumb of the least size (8), 38 of travel for
  // positions 0 to 94.
  const int travel = (trackBottom - trackTop) - 8;
  struct Case {
    const char* name;
    int startTop;
    std::function<void()> act;
    int top;
  } cases[] = {
      {"DownArrow", 0,
       [&] { vt::testing::ClickAt(list_, x, client.bottom - 4); }, 1},
      {"UpArrow", 5, [&] { vt::testing::ClickAt(list_, x, 4); }, 4},
      {"UpArrowAtTheTop", 0, [&] { vt::testing::ClickAt(list_, x, 4); }, 0},
      {"TrackBelowTheThumb", 0,
       [&] { vt::testing::ClickAt(list_, x, trackBottom - 2); }, 6},
      {"TrackAboveTheThumb", 50,
       [&] { vt::testing::ClickAt(list_, x, trackTop + 2); }, 44},
      {"PageDownStopsAtTheLastPage", 90,
       // The thumb fills the track to a pixel short of its end.
       [&] { vt::testing::ClickAt(list_, x, trackBottom - 1); }, 94},
      {"ThumbDraggedHalfway", 0,
       [&] {
         POINT from{x, trackTop + 4};
         POINT to{x, trackTop + 4 + travel / 2};
         ClientToScreen(list_, &from);
         ClientToScreen(list_, &to);
         vt::testing::DragAtScreen(list_, from, to);
       },
       47},
      {"ThumbDraggedPastTheEnd", 0,
       [&] {
         POINT from{x, trackTop + 4};
         POINT to{x, client.bottom + 200};
         ClientToScreen(list_, &from);
         ClientToScreen(list_, &to);
         vt::testing::DragAtScreen(list_, from, to);
       },
       94},
      {"WheelDownThreeLines", 0,
       [&] {
         SendMessageA(list_, WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
       },
       3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SendMessageA(list_, LB_SETTOPINDEX, c.startTop, 0);
    vt::testing::PumpPending();
    c.act();
    vt::testing::PumpPending();
    EXPECT_EQ(SendMessageA(list_, LB_GETTOPINDEX, 0, 0), c.top);
    EXPECT_EQ(GetScrollPos(list_, SB_VERT), c.top);
    // The bar kept the clicks: no item was chosen, and the pointer is free.
    EXPECT_EQ(SendMessageA(list_, LB_GETCURSEL, 0, 0), LB_ERR);
    EXPECT_EQ(GetCapture(), nullptr);
  }
}

TEST_F(ScrollBarTest, ADraggedThumbReportsTrackingThenItsPosition) {
  HWND child =
      CreateWindowExA(0, "VtRecorder", "", WS_CHILD | WS_VISIBLE | WS_HSCROLL,
                      0, 0, 200, 40, parent_, nullptr, nullptr, nullptr);
  SCROLLINFO info{sizeof info, SIF_RANGE | SIF_PAGE | SIF_POS, 0, 99, 10, 0, 0};
  SetScrollInfo(child, SB_HORZ, &info, TRUE);
  // The thumb is 168 × 10 / 100 = 16 pixels of a 168-pixel track: 152 of
  // travel for positions 0 to 90.
  POINT from{kBar + 8, 40 - kBar / 2};
  POINT to{kBar + 8 + 76, 40 - kBar / 2};
  ClientToScreen(child, &from);
  ClientToScreen(child, &to);
  Log::Get().Watch({WM_HSCROLL});
  vt::testing::DragAtScreen(child, from, to);
  vt::testing::PumpPending();
  // The window moves its content itself; until it does, the bar stays.
  EXPECT_EQ(Log::Get().Take(),
            (std::vector<Row>{{WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 45), 0},
                              {WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 45), 0},
                              {WM_HSCROLL, SB_ENDSCROLL, 0}}));
  EXPECT_EQ(GetScrollPos(child, SB_HORZ), 0);
  EXPECT_EQ(Info(child, SB_HORZ).nTrackPos, 45);
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(ScrollBarTest, TheInfoFollowsTheContent) {
  Fill(list_, 100);
  SendMessageA(list_, LB_SETTOPINDEX, 90, 0);
  SCROLLINFO info = Info(list_, SB_VERT);
  EXPECT_EQ(info.nMin, 0);
  EXPECT_EQ(info.nMax, 99);
  EXPECT_EQ(info.nPage, 6u);
  EXPECT_EQ(info.nPos, 90);
  // Deleting from the end pulls the top back so the last page stays full.
  for (int i = 0; i < 90; ++i) SendMessageA(list_, LB_DELETESTRING, 0, 0);
  info = Info(list_, SB_VERT);
  EXPECT_EQ(info.nMax, 9);
  EXPECT_EQ(info.nPos, 4);
  EXPECT_EQ(SendMessageA(list_, LB_GETTOPINDEX, 0, 0), 4);
  SendMessageA(list_, LB_RESETCONTENT, 0, 0);
  info = Info(list_, SB_VERT);
  EXPECT_EQ(info.nMax, 0);
  EXPECT_EQ(info.nPos, 0);

  // A position set out of range is kept within it.
  SCROLLINFO wide{sizeof wide, SIF_ALL, 10, 20, 5, 99, 0};
  EXPECT_EQ(SetScrollInfo(list_, SB_HORZ, &wide, FALSE), 16);
  EXPECT_EQ(SetScrollPos(list_, SB_HORZ, -3, FALSE), 16);
  EXPECT_EQ(GetScrollPos(list_, SB_HORZ), 10);
}

TEST_F(ScrollBarTest, TheResponseEditScrollsByItsBars) {
  std::string text;
  for (int i = 0; i < 40; ++i) text += "line " + std::to_string(i) + "\r\n";
  text += std::string(300, 'x');
  HWND edit =
      CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "",
                      WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_READONLY |
                          WS_VSCROLL | WS_HSCROLL,
                      0, 0, 200, 120, parent_, nullptr, nullptr, nullptr);
  ASSERT_NE(edit, nullptr);
  // Short text: nothing to scroll, and a click on an arrow does nothing.
  SetWindowTextA(edit, "one line");
  RECT client = Client(edit);
  vt::testing::ClickAt(edit, client.right + kBar / 2, client.bottom - 4);
  vt::testing::PumpPending();
  EXPECT_EQ(GetScrollPos(edit, SB_VERT), 0);

  SetWindowTextA(edit, text.c_str());
  SCROLLINFO vertical = Info(edit, SB_VERT);
  EXPECT_EQ(vertical.nMax, 40);  // 41 lines
  const int page = static_cast<int>(vertical.nPage);
  EXPECT_EQ(page, (client.bottom - 1) / 13);
  EXPECT_GT(Info(edit, SB_HORZ).nMax, client.right);

  vt::testing::ClickAt(edit, client.right + kBar / 2, client.bottom - 4);
  vt::testing::PumpPending();
  EXPECT_EQ(GetScrollPos(edit, SB_VERT), 1);
  vt::testing::ClickAt(edit, client.right + kBar / 2, client.bottom - kBar - 2);
  vt::testing::PumpPending();
  EXPECT_EQ(GetScrollPos(edit, SB_VERT), 1 + page);
  vt::testing::ClickAt(edit, client.right - 4, client.bottom + kBar / 2);
  vt::testing::PumpPending();
  EXPECT_EQ(GetScrollPos(edit, SB_HORZ), 8);
  SendMessageA(edit, WM_VSCROLL, SB_BOTTOM, 0);
  EXPECT_EQ(GetScrollPos(edit, SB_VERT), 41 - page);
}

}  // namespace
