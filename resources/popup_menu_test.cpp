// Menu 105 as a person uses it: keys, mnemonics and clicks choose, Esc and
// a click elsewhere dismiss, and the menu sits where the flags put it,
// kept on the screen.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "vttest.h"

namespace {

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam,
                           LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

class PopupMenu105 : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSA wc{};
    wc.lpfnWndProc = OwnerProc;
    wc.lpszClassName = "VtMenuOwner";
    RegisterClassA(&wc);
    owner_ = CreateWindowExA(0, "VtMenuOwner", "owner", WS_OVERLAPPEDWINDOW, 10,
                             10, 300, 200, nullptr, nullptr, nullptr, nullptr);
    ShowWindow(owner_, SW_SHOW);
    menu_ = LoadMenuA(nullptr, MAKEINTRESOURCEA(IDR_POPUP_MENU));
    popup_ = GetSubMenu(menu_, 0);
    // As the program shows it while the away state is locked, with one
    // item grayed to show that the keys pass over it.
    CheckMenuItem(popup_, IDC_AWAY_LOCKED, MF_BYCOMMAND | MF_CHECKED);
    EnableMenuItem(popup_, IDM_CONFIGURE, MF_BYCOMMAND | MF_GRAYED);
  }
  void TearDown() override {
    DestroyMenu(menu_);
    DestroyWindow(owner_);
  }

  // Opens the menu at (x, y) with flags, runs what the person does once it
  // is up (menu: its window), and returns the command chosen.
  UINT Track(UINT flags, int x, int y, std::function<void(HWND menu)> act) {
    vt::testing::WhenIdle([act] { act(GetCapture()); });
    return static_cast<UINT>(TrackPopupMenu(popup_, flags | TPM_RETURNCMD, x, y,
                                            0, owner_, nullptr));
  }

  HWND owner_ = nullptr;
  HMENU menu_ = nullptr;
  HMENU popup_ = nullptr;
};

void Keys(std::vector<UINT> keys) {
  for (UINT key : keys) vt::testing::PressKey(key);
}

TEST_F(PopupMenu105, KeysAndMnemonicsChooseAndEscDismisses) {
  struct Case {
    const char* what;
    std::function<void()> act;
    UINT command;
  } cases[] = {
      {"Down skips the separator and the grayed item",
       [] {
         Keys({VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN});
       },
       IDC_FINGER},
      {"Up from nothing is the last item",
       [] {
         Keys({VK_UP, VK_RETURN});
       },
       IDC_AWAY_LOCKED},
      {"End, then Up over the separator",
       [] {
         Keys({VK_END, VK_UP, VK_RETURN});
       },
       IDC_FINGER},
      {"Home",
       [] {
         Keys({VK_HOME, VK_RETURN});
       },
       IDC_ABOUT},
      {"Down wraps from the last to the first",
       [] {
         Keys({VK_END, VK_DOWN, VK_RETURN});
       },
       IDC_ABOUT},
      {"a mnemonic chooses at once", [] { vt::testing::TypeText("s"); },
       IDC_STOP_SERVER},
      {"a grayed item's mnemonic does nothing",
       [] {
         vt::testing::TypeText("c");
         Keys({VK_ESCAPE});
       },
       0},
      {"Esc dismisses",
       [] {
         Keys({VK_DOWN, VK_ESCAPE});
       },
       0},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Track(0, 100, 100, [&c](HWND) { c.act(); }), c.command);
    EXPECT_EQ(GetCapture(), nullptr) << "the menu lets the pointer go";
  }
  auto shown = vt::testing::Popups();
  ASSERT_FALSE(shown.empty());
  const auto& items = shown.back().items;
  ASSERT_EQ(items.size(), 7u);
  EXPECT_EQ(items[6].text, "Away &Locked");
  EXPECT_TRUE(items[6].checked) << "the check mark of Away Locked";
  EXPECT_TRUE(items[3].grayed);
  EXPECT_TRUE(items[1].separator);
}

TEST_F(PopupMenu105, ClicksChooseAndAClickElsewhereDismisses) {
  auto clickRow = [](double fraction) {
    return [fraction](HWND menu) {
      RECT r{};
      GetWindowRect(menu, &r);
      int y = r.top + static_cast<int>((r.bottom - r.top) * fraction);
      vt::testing::ClickAtScreen(menu, (r.left + r.right) / 2, y);
    };
  };
  // The first item is at the top, Away Locked at the bottom.
  EXPECT_EQ(Track(0, 100, 100, clickRow(0.06)), static_cast<UINT>(IDC_ABOUT));
  EXPECT_EQ(Track(0, 100, 100, clickRow(0.94)),
            static_cast<UINT>(IDC_AWAY_LOCKED));
  EXPECT_EQ(Track(0, 100, 100,
                  [](HWND) { vt::testing::ClickAtScreen(nullptr, 900, 700); }),
            0u)
      << "a click outside every window dismisses the menu";

  // Without TPM_RETURNCMD the choice comes to the owner as WM_COMMAND.
  vt::testing::WhenIdle([] { vt::testing::TypeText("f"); });
  EXPECT_TRUE(TrackPopupMenu(popup_, 0, 100, 100, 0, owner_, nullptr));
  MSG msg{};
  ASSERT_TRUE(PeekMessageA(&msg, owner_, WM_COMMAND, WM_COMMAND, PM_REMOVE));
  EXPECT_EQ(LOWORD(msg.wParam), IDC_FINGER);
}

TEST_F(PopupMenu105, PlacedByItsFlagsAndKeptOnTheScreen) {
  vt::testing::SetScreenSize(800, 600);
  RECT atPointer{}, pushedBack{};
  auto measure = [](RECT* into) {
    return [into](HWND menu) {
      GetWindowRect(menu, into);
      vt::testing::PressKey(VK_ESCAPE);
    };
  };
  // The tray's way: the pointer at the screen's bottom edge, the menu's
  // bottom-right corner there.
  Track(TPM_RIGHTALIGN | TPM_BOTTOMALIGN, 500, 599, measure(&atPointer));
  EXPECT_EQ(atPointer.right, 500);
  EXPECT_EQ(atPointer.bottom, 599);
  EXPECT_GT(atPointer.bottom - atPointer.top, 7 * 8) << "room for the items";
  // Left-aligned at the bottom-right corner, it would leave the screen.
  Track(0, 790, 590, measure(&pushedBack));
  EXPECT_LE(pushedBack.right, 800);
  EXPECT_LE(pushedBack.bottom, 600);
  EXPECT_GE(pushedBack.left, 0);
}

}  // namespace
