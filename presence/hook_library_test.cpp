// End to end in one process: desktop-wide input goes through the hooks of
// the loaded Velto.dll to the hidden main window, which resets the idle
// clock, and a finger request then tells the idle time and the away state.
#include <gtest/gtest.h>
#include <windows.h>
#include <winsock.h>

#include <atomic>
#include <string>

#include "app/app_globals.h"
#include "presence/idle_monitor.h"
#include "presence/presence_fixture.h"
#include "resources/resource.h"
#include "service/finger_reply.h"
#include "service/finger_test_sockets.h"
#include "service/presence_state.h"
#include "vttest.h"

namespace {

using presencetest::PresenceTest;

// A hook installed before the library's, so it runs after them: it sees an
// event only if the library passed it on.
std::atomic<int> mouseEventsPassedOn{0};
std::atomic<int> keyEventsPassedOn{0};
HHOOK olderMouseHook = nullptr;
HHOOK olderKeyboardHook = nullptr;

LRESULT CALLBACK OlderMouseHook(int code, WPARAM wParam, LPARAM lParam) {
  ++mouseEventsPassedOn;
  return CallNextHookEx(olderMouseHook, code, wParam, lParam);
}
LRESULT CALLBACK OlderKeyboardHook(int code, WPARAM wParam, LPARAM lParam) {
  ++keyEventsPassedOn;
  return CallNextHookEx(olderKeyboardHook, code, wParam, lParam);
}

class HookLibrary : public PresenceTest {
 protected:
  void SetUp() override {
    PresenceTest::SetUp();
    finger_test::StartWinsock();
    mouseEventsPassedOn = 0;
    keyEventsPassedOn = 0;
    olderMouseHook = SetWindowsHookExA(WH_MOUSE, OlderMouseHook, nullptr, 0);
    olderKeyboardHook =
        SetWindowsHookExA(WH_KEYBOARD, OlderKeyboardHook, nullptr, 0);
    GoBesideTheHookLibrary();
    ASSERT_EQ(SetActivityMonitor(1), 1);
  }
  void TearDown() override {
    PresenceTest::TearDown();
    UnhookWindowsHookEx(olderMouseHook);
    UnhookWindowsHookEx(olderKeyboardHook);
    WSACleanup();
  }

  // The library tells input at most once per 50 ms; input sooner than that
  // after a notice changes nothing the idle clock can show.
  static void WaitOutTheNoticeInterval() { Sleep(60); }

  // Pumps until the notice has reset the idle clock, for at most 5 s.
  static bool ClockResets() {
    return vt::testing::PumpUntil([] { return presence.idleTicks.load() == 0; },
                                  5000);
  }

  static std::string Finger(const std::string& request) {
    return finger_test::AnswerOverLoopback(request);
  }

  static std::string IdleLine(const std::string& reply) {
    const auto start = reply.find("Idle:");
    if (start == std::string::npos) return "<no idle line in: " + reply + ">";
    return reply.substr(start, reply.find('\n', start) - start);
  }

  // Counts the activity notices waiting in this thread's queue, handling
  // them on the way.
  static int DrainNotices() {
    int notices = 0;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_COMMAND && LOWORD(msg.wParam) == CMD_ACTIVITY) {
        ++notices;
      }
      DispatchMessageA(&msg);
    }
    return notices;
  }
};

TEST_F(HookLibrary, DesktopInputResetsTheClockAndFingerTellsIt) {
  presence.awayAfterMinutes = 5;
  Tick(700);
  ASSERT_EQ(presence.autoAway.load(), 1);
  EXPECT_EQ(Finger("bob\r\n"),
            "bob away and idle for 0 hours and 35 minutes\n\n");

  vt::testing::DesktopMouseMove(200, 150);
  ASSERT_TRUE(ClockResets());
  EXPECT_PRESENCE(0, 0, "is here", presencetest::kTipHere);
  EXPECT_GE(mouseEventsPassedOn.load(), 1);
  EXPECT_EQ(IdleLine(Finger("bob\r\n")), "Idle:      0 hours and 0 minutes");

  // The notice restarted the tick: the next one comes a full period later.
  PassTime(2500);
  EXPECT_EQ(presence.idleTicks.load(), 0);
  PassTime(1000);
  EXPECT_EQ(presence.idleTicks.load(), 1);

  // The keyboard the same way.
  WaitOutTheNoticeInterval();
  vt::testing::DesktopKey('A');
  ASSERT_TRUE(ClockResets());
  EXPECT_GE(keyEventsPassedOn.load(), 1);

  // 1250 ticks are 62 minutes; away after 5.
  Tick(1250);
  EXPECT_EQ(Finger("bob\r\n"),
            "bob away and idle for 1 hours and 2 minutes\n\n");
  Tick(20 * 60 * 24);
  EXPECT_EQ(Finger("/W bob\r\n"),
            "bob away and idle for 25 hours and 2 minutes\n\n");

  // Back at the keyboard: here again, with the full reply.
  WaitOutTheNoticeInterval();
  vt::testing::DesktopKey(VK_SPACE);
  ASSERT_TRUE(ClockResets());
  EXPECT_EQ(presence.autoAway.load(), 0);
  EXPECT_EQ(IdleLine(Finger("bob\r\n")), "Idle:      0 hours and 0 minutes");
}

TEST_F(HookLibrary, MovingMouseLeavesAtMostOneNoticeWaiting) {
  const DWORD start = GetTickCount();
  for (int i = 0; i < 200; ++i) {
    vt::testing::DesktopMouseMove(i, 2 * i);
  }
  const DWORD elapsed = GetTickCount() - start;
  EXPECT_EQ(mouseEventsPassedOn.load(), 200);
  // A notice left unhandled for a second is posted again, so a very slow
  // run may hold one more per second.
  const int notices = DrainNotices();
  EXPECT_GE(notices, 1);
  EXPECT_LE(notices, 1 + static_cast<int>(elapsed / 1000));

  // Once the notice is handled, the next movement is told again.
  WaitOutTheNoticeInterval();
  presence.idleTicks = 9;
  vt::testing::DesktopMouseMove(5, 5);
  EXPECT_EQ(DrainNotices(), 1);
  EXPECT_EQ(presence.idleTicks.load(), 0);
}

TEST_F(HookLibrary, EventsArePassedOnAfterTheMonitorComesOnAgain) {
  vt::testing::DesktopMouseMove(1, 1);
  vt::testing::DesktopKey('B');
  const int mouseEvents = mouseEventsPassedOn.exchange(0);
  const int keyEvents = keyEventsPassedOn.exchange(0);
  ASSERT_EQ(mouseEvents, 1);
  ASSERT_GE(keyEvents, 1);
  // The new hooks have new handles; passing events on with the old ones
  // would lose them.
  ASSERT_EQ(SetActivityMonitor(0), 1);
  ASSERT_EQ(SetActivityMonitor(1), 1);
  presence.idleTicks = 3;
  vt::testing::DesktopMouseMove(2, 2);
  vt::testing::DesktopKey('C');
  EXPECT_EQ(mouseEventsPassedOn.load(), mouseEvents);
  EXPECT_EQ(keyEventsPassedOn.load(), keyEvents);
  EXPECT_TRUE(ClockResets());
}

TEST_F(HookLibrary, NegativeCodeIsOnlyPassedOn) {
  HMODULE library = LoadLibraryA("Velto.DLL");
  ASSERT_NE(library, nullptr);
  for (const char* name : {"MouseProc", "KeyboardProc"}) {
    SCOPED_TRACE(name);
    auto procedure = reinterpret_cast<HOOKPROC>(GetProcAddress(library, name));
    ASSERT_NE(procedure, nullptr);
    WaitOutTheNoticeInterval();
    DrainNotices();
    const int before = mouseEventsPassedOn + keyEventsPassedOn;
    MOUSEHOOKSTRUCT info = {};
    const auto lParam = reinterpret_cast<LPARAM>(&info);
    procedure(-1, WM_MOUSEMOVE, lParam);
    EXPECT_EQ(mouseEventsPassedOn + keyEventsPassedOn, before + 1);
    EXPECT_EQ(DrainNotices(), 0);
    procedure(HC_ACTION, WM_MOUSEMOVE, lParam);
    EXPECT_EQ(mouseEventsPassedOn + keyEventsPassedOn, before + 2);
    EXPECT_EQ(DrainNotices(), 1);
  }
  FreeLibrary(library);
}

TEST_F(HookLibrary, NoticesFindANewDaemonWindow) {
  vt::testing::DesktopMouseMove(1, 1);
  ASSERT_TRUE(ClockResets());
  // A new main window, as a new run of the daemon would make. The old one
  // goes first, so the class finds only the new one.
  ASSERT_EQ(SetActivityMonitor(0), 1);
  DestroyWindow(mainWindow);
  DrainNotices();
  mainWindow = NewMainWindow();
  ASSERT_NE(mainWindow, nullptr);
  ASSERT_EQ(SetActivityMonitor(1), 1);
  presence.idleTicks = 12;
  mouseEventsPassedOn = 0;
  vt::testing::DesktopMouseMove(3, 3);
  EXPECT_TRUE(ClockResets());
  EXPECT_EQ(mouseEventsPassedOn.load(), 1);
}

}  // namespace
