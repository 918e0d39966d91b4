// "Stop Server" from the icon's menu, with the whole program running on the
// test thread: the unapplied entries are saved, the program ends, and it
// takes its icon and hooks down. Its own executable, since the listener
// thread the program starts stays for the life of the process.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/whole_program_fixture.h"

namespace {

using configtest::StoredText;
using wholeprogram::WholeProgram;

TEST_F(WholeProgram, StopServerFromTheMenuSavesUnappliedEntriesAndEnds) {
  RunBesideTheHookLibrary();
  configtest::StoreText("Office", "Room 1");
  bool loaded = false;
  std::string caption;
  HMENU menu = nullptr;
  vt::testing::WhenIdle([&] {
    menu = appMenu;
    // Start-up left the window hidden, loaded, with Apply off.
    loaded =
        !IsWindowVisible(configWindow) &&
        !IsWindowEnabled(GetDlgItem(configWindow, IDC_APPLY)) &&
        vt::testing::TextOf(GetDlgItem(configWindow, IDC_OFFICE)) == "Room 1" &&
        vt::testing::TextOf(GetDlgItem(configWindow, IDC_LOGIN)) ==
            presence.loginName;
    caption = vt::testing::TextOf(configWindow);
    SetDlgItemTextA(configWindow, IDC_REAL_NAME, "Not applied yet");
    SetDlgItemTextA(configWindow, IDC_AWAY_AFTER, "9");
    vt::testing::ScriptPopupChoice(IDC_STOP_SERVER);
    vt::testing::TrayMouse(WM_RBUTTONDOWN);
  });
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(loaded);
  EXPECT_EQ(caption, std::string("Vellumtide v1.01 (beta) - ") +
                         presence.loginName + " is here");
  EXPECT_EQ(StoredText("Real Name"), "Not applied yet");
  EXPECT_EQ(StoredText("Office"), "Room 1");
  EXPECT_EQ(configtest::StoredMinutes(), 9u);
  EXPECT_TRUE(vt::testing::MessageBoxes().empty());
  ExpectIconAddedThenRemoved();
  // Menu 105 itself is destroyed, not only forgotten.
  ASSERT_NE(menu, nullptr);
  EXPECT_FALSE(IsMenu(menu));
  EXPECT_EQ(appMenu, nullptr);
  EXPECT_EQ(popupMenu, nullptr);
  ExpectHooksOff();
}

}  // namespace
