// Start-up and shut-down of the whole program on the test thread: without
// the hook library, and with the finger port taken. Neither leaves a
// listener running ("Stop Server" is tested in tests/app, in an executable
// of its own, since its listener stays).
#include <gtest/gtest.h>
#include <windows.h>

#include "app/whole_program_fixture.h"

namespace {

using vt::proctest::CloseSocket;
using vt::proctest::HoldTcpPort;
using wholeprogram::WholeProgram;

TEST_F(WholeProgram, WithoutTheHookLibraryItEndsWithBothMessagesAndNoIcon) {
  // The test's own folders hold no Velto.dll.
  HMENU menu = nullptr;
  // A thread with idle actions queued gets real boxes, so answer both.
  vt::testing::ScriptMessageBoxAnswers({IDOK, IDOK});
  vt::testing::WhenIdle([&] { menu = appMenu; });
  EXPECT_EQ(Run(), 0);
  auto boxes = vt::testing::MessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "Cannot find Velto.DLL\nIn the current directory");
  EXPECT_EQ(boxes[0].caption, "Velto Error");
  EXPECT_EQ(boxes[0].owner, configWindow);
  EXPECT_EQ(boxes[1].text,
            "Could not set up to monitor mouse\nand/or keyboard messages");
  EXPECT_EQ(boxes[1].caption, "Velto Error");
  EXPECT_EQ(boxes[1].owner, nullptr);
  for (const auto& box : boxes) {
    EXPECT_EQ(box.type, MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
  }
  ExpectIconAddedThenRemoved();
  // Menu 105 itself is destroyed, not only forgotten.
  ASSERT_NE(menu, nullptr);
  EXPECT_FALSE(IsMenu(menu));
  EXPECT_EQ(appMenu, nullptr);
  // The listener never started: the finger port is still free.
  int held = HoldTcpPort(port_);
  EXPECT_GE(held, 0);
  CloseSocket(held);
}

TEST_F(WholeProgram, FingerPortTakenShowsError04AndShutsDown) {
  RunBesideTheHookLibrary();
  int held = HoldTcpPort(port_);
  ASSERT_GE(held, 0);
  EXPECT_EQ(Run(), 0);
  CloseSocket(held);
  // Whether the loop idles before the listener's error ends it depends on
  // the machine, so the menu's end is checked by the test above and by the
  // Stop Server test, which reach ShutDown the same way.
  EXPECT_EQ(appMenu, nullptr);
  auto boxes = vt::testing::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Cannot bind server to socket");
  EXPECT_EQ(boxes[0].caption, "Velto Error 04");
  EXPECT_EQ(boxes[0].owner, configWindow);
  ExpectIconAddedThenRemoved();
  ExpectHooksOff();
}

}  // namespace
