// The idle monitor: ticks and activity notices as tables of steps, the
// timer's restart on activity, and turning the monitor on and off.
#include "presence/idle_monitor.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/app_globals.h"
#include "presence/presence_fixture.h"
#include "presence/status_display.h"
#include "resources/resource.h"
#include "service/presence_state.h"
#include "vttest.h"

namespace {

using presencetest::kTipAway;
using presencetest::kTipHere;
using presencetest::PresenceTest;

constexpr char kHere[] = "is here";
constexpr char kAway[] = "set away";
constexpr char kMarked[] = "(marked)";

enum class Act {
  Tick,      // times WM_TIMER
  Activity,  // times command 1025
  Lock,      // SetAwayLock(1)
  Unlock,    // SetAwayLock(0)
  Mark,      // the caption is set to kMarked, to see whether it is set again
};

// One step and the state after it. Columns: action, how many times, then
// idleTicks, autoAway, caption status and tray tip.
struct Step {
  Act act;
  int times;
  std::int32_t idleTicks;
  int autoAway;
  const char* status;
  const char* tip;
};

// Columns: name, awayAfterMinutes, screenSaverTimeout, steps.
struct Sequence {
  const char* name;
  std::uint32_t minutes;
  UINT screenSaver;
  std::vector<Step> steps;
};

const Sequence kSequences[] = {
    {"AwayAtTheHundredthTickOfFiveMinutesOnce",
     5,
     600,
     {
         {Act::Tick, 99, 99, 0, kHere, kTipHere},
         {Act::Tick, 1, 100, 1, kAway, kTipHere},
         {Act::Mark, 1, 100, 1, kMarked, kTipHere},
         {Act::Tick, 200, 300, 1, kMarked, kTipHere},
     }},
    {"ZeroMinutesIsNeverAway",
     0,
     600,
     {
         {Act::Tick, 30000, 30000, 0, kHere, kTipHere},
     }},
    {"ActivityWhileLockedResetsTheClockAndStaysAway",
     5,
     600,
     {
         {Act::Tick, 10, 10, 0, kHere, kTipHere},
         {Act::Lock, 1, 10, 1, kAway, kTipAway},
         {Act::Activity, 1, 0, 1, kAway, kTipAway},
         {Act::Tick, 150, 150, 1, kAway, kTipAway},
         {Act::Activity, 1, 0, 1, kAway, kTipAway},
     }},
    {"ActivityWhileAwayByIdlenessIsHereAtOnce",
     1,
     600,
     {
         {Act::Tick, 20, 20, 1, kAway, kTipHere},
         {Act::Activity, 1, 0, 0, kHere, kTipHere},
         {Act::Tick, 19, 19, 0, kHere, kTipHere},
         {Act::Tick, 1, 20, 1, kAway, kTipHere},
     }},
    {"NoticeAtTheScreenSaverCountIsIgnoredUntilTheNextTick",
     1,
     20,
     {
         {Act::Tick, 20, 20, 1, kAway, kTipHere},
         {Act::Activity, 3, 20, 1, kAway, kTipHere},
         {Act::Tick, 1, 21, 1, kAway, kTipHere},
         {Act::Activity, 1, 0, 0, kHere, kTipHere},
     }},
    {"ScreenSaverCountBelowTheThreshold",
     0,
     5,
     {
         {Act::Tick, 5, 5, 0, kHere, kTipHere},
         {Act::Activity, 1, 5, 0, kHere, kTipHere},
         {Act::Tick, 1, 6, 0, kHere, kTipHere},
         {Act::Activity, 1, 0, 0, kHere, kTipHere},
     }},
    {"ScreenSaverTimeoutZeroIgnoresNoticesBeforeTheFirstTick",
     1,
     0,
     {
         {Act::Tick, 20, 20, 1, kAway, kTipHere},
         {Act::Activity, 1, 0, 0, kHere, kTipHere},
         {Act::Lock, 1, 0, 1, kAway, kTipAway},
         {Act::Unlock, 1, 0, 0, kHere, kTipHere},
         {Act::Activity, 2, 0, 0, kHere, kTipHere},
         {Act::Tick, 1, 1, 0, kHere, kTipHere},
         {Act::Activity, 1, 0, 0, kHere, kTipHere},
     }},
    {"LockThenUnlockClearsAwayButKeepsTheIdleClock",
     1,
     600,
     {
         {Act::Tick, 25, 25, 1, kAway, kTipHere},
         {Act::Lock, 1, 25, 1, kAway, kTipAway},
         {Act::Unlock, 1, 25, 0, kHere, kTipHere},
         {Act::Tick, 1, 26, 1, kAway, kTipHere},
         {Act::Lock, 1, 26, 1, kAway, kTipAway},
         {Act::Tick, 100, 126, 1, kAway, kTipAway},
     }},
    // The minutes are unsigned: 2^31 and more are a very long time, not a
    // negative threshold that the first tick passes.
    {"MinutesOfTwoToTheThirtyFirstAreNotNegative",
     2147483648u,
     600,
     {
         {Act::Tick, 1, 1, 0, kHere, kTipHere},
         {Act::Tick, 30000, 30001, 0, kHere, kTipHere},
     }},
    {"LargestMinutesAreNotNegative",
     4294967295u,
     600,
     {
         {Act::Tick, 1, 1, 0, kHere, kTipHere},
     }},
    {"LargestSignedMinutes",
     2147483647u,
     600,
     {
         {Act::Tick, 40000, 40000, 0, kHere, kTipHere},
     }},
};

class TickAndActivity : public PresenceTest,
                        public ::testing::WithParamInterface<Sequence> {};

TEST_P(TickAndActivity, FollowsTheSteps) {
  const Sequence& sequence = GetParam();
  presence.awayAfterMinutes = sequence.minutes;
  screenSaverTimeout = sequence.screenSaver;
  int number = 0;
  for (const Step& step : sequence.steps) {
    SCOPED_TRACE("step " + std::to_string(++number));
    for (int i = 0; i < step.times; ++i) {
      switch (step.act) {
        case Act::Tick:
          Tick();
          break;
        case Act::Activity:
          EXPECT_EQ(Activity(), 1);
          break;
        case Act::Lock:
          SetAwayLock(1);
          break;
        case Act::Unlock:
          SetAwayLock(0);
          break;
        case Act::Mark:
          SetWindowTextA(configWindow, kMarked);
          break;
      }
    }
    EXPECT_PRESENCE(step.idleTicks, step.autoAway, step.status, step.tip);
  }
}

INSTANTIATE_TEST_SUITE_P(Sequences, TickAndActivity,
                         ::testing::ValuesIn(kSequences),
                         [](const ::testing::TestParamInfo<Sequence>& info) {
                           return std::string(info.param.name);
                         });

// The real timer. Margins of half a period keep real time, which also
// passes, from deciding a case.
class TickTimer : public PresenceTest {};

TEST_F(TickTimer, ActivityRestartsTheTickAFullPeriodLater) {
  presence.idleTicks = 3;
  ASSERT_EQ(Activity(), 1);
  PassTime(3000);
  EXPECT_EQ(presence.idleTicks.load(), 1);
  PassTime(2000);
  EXPECT_EQ(Activity(), 1);
  EXPECT_EQ(presence.idleTicks.load(), 0);
  PassTime(2000);
  EXPECT_EQ(presence.idleTicks.load(), 0) << "the tick was not restarted";
  PassTime(1500);
  EXPECT_EQ(presence.idleTicks.load(), 1);
}

TEST_F(TickTimer, IgnoredNoticeDoesNotRestartTheTick) {
  screenSaverTimeout = 0;
  presence.idleTicks = 1;
  ASSERT_EQ(Activity(), 1);
  PassTime(1500);
  // idleTicks is 0, which equals the time-out: ignored, timer untouched.
  EXPECT_EQ(Activity(), 1);
  PassTime(2000);
  EXPECT_EQ(presence.idleTicks.load(), 1);
  EXPECT_EQ(Activity(), 1);
  EXPECT_EQ(presence.idleTicks.load(), 0);
  PassTime(2500);
  EXPECT_EQ(presence.idleTicks.load(), 0);
  PassTime(1000);
  EXPECT_EQ(presence.idleTicks.load(), 1);
}

TEST_F(TickTimer, OtherMessagesOfTheMainWindow) {
  EXPECT_EQ(SendMessageA(mainWindow, WM_CREATE, 0, 0), 0);
  // A command the window does not know changes nothing.
  presence.idleTicks = 7;
  EXPECT_EQ(SendMessageA(mainWindow, WM_COMMAND, 1028, 0), 0);
  EXPECT_EQ(presence.idleTicks.load(), 7);
  // The command is the low word; the high word is the notification code.
  EXPECT_EQ(
      SendMessageA(mainWindow, WM_COMMAND, MAKEWPARAM(CMD_ACTIVITY, 1), 0), 1);
  EXPECT_EQ(presence.idleTicks.load(), 0);
  // Closing destroys the window, and its destruction asks the loop to end.
  HWND window = mainWindow;
  EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 0);
  EXPECT_FALSE(IsWindow(window));
  MSG msg;
  bool quit = false;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      quit = true;
      EXPECT_EQ(msg.wParam, 0u);
    }
  }
  EXPECT_TRUE(quit);
}

// --- turning the monitor on and off -----------------------------------------

struct InstallRecord {
  int hookType;
  HOOKPROC procedure;
  HINSTANCE module;
  DWORD threadId;
};
std::vector<InstallRecord> installs;
int failingHookType = -1;

HHOOK RecordingInstaller(int hookType, HOOKPROC procedure, HINSTANCE module,
                         DWORD threadId) {
  installs.push_back({hookType, procedure, module, threadId});
  if (hookType == failingHookType) return nullptr;
  return SetWindowsHookExA(hookType, procedure, module, threadId);
}

class ActivityMonitor : public PresenceTest {
 protected:
  void SetUp() override {
    PresenceTest::SetUp();
    installs.clear();
    failingHookType = -1;
    installHook = RecordingInstaller;
  }

  // Desktop-wide input has reached the main window when the idle clock is
  // back at 0; start it elsewhere so the change shows.
  static bool DesktopInputResetsTheClock() {
    presence.idleTicks = 5;
    vt::testing::DesktopMouseMove(40, 40);
    vt::testing::PumpPending();
    return presence.idleTicks.load() == 0;
  }
};

TEST_F(ActivityMonitor, OnInstallsBothExportsDesktopWideAndStartsTheTick) {
  GoBesideTheHookLibrary();
  ASSERT_EQ(SetActivityMonitor(1), 1);
  EXPECT_TRUE(vt::testing::MessageBoxes().empty());
  HMODULE library = LoadLibraryA("Velto.DLL");
  ASSERT_NE(library, nullptr);
  ASSERT_EQ(installs.size(), 2u);
  EXPECT_EQ(installs[0].hookType, WH_MOUSE);
  EXPECT_EQ(installs[0].procedure,
            reinterpret_cast<HOOKPROC>(GetProcAddress(library, "MouseProc")));
  EXPECT_EQ(installs[1].hookType, WH_KEYBOARD);
  EXPECT_EQ(installs[1].procedure, reinterpret_cast<HOOKPROC>(GetProcAddress(
                                       library, "KeyboardProc")));
  for (const auto& install : installs) {
    EXPECT_NE(install.module, nullptr);
    EXPECT_EQ(install.threadId, 0u);
  }
  FreeLibrary(library);
  // The window gives out the handles the library passes events on with.
  EXPECT_NE(mouseHook, nullptr);
  EXPECT_NE(keyboardHook, nullptr);
  EXPECT_EQ(SendMessageA(mainWindow, WM_COMMAND, CMD_GET_MOUSE_HOOK, 0),
            reinterpret_cast<LRESULT>(mouseHook));
  EXPECT_EQ(SendMessageA(mainWindow, WM_COMMAND, CMD_GET_KEYBOARD_HOOK, 0),
            reinterpret_cast<LRESULT>(keyboardHook));

  PassTime(3500);
  EXPECT_EQ(presence.idleTicks.load(), 1);
  EXPECT_TRUE(DesktopInputResetsTheClock());

  // On again: refused, nothing installed twice.
  EXPECT_EQ(SetActivityMonitor(1), 0);
  EXPECT_EQ(installs.size(), 2u);
  EXPECT_TRUE(vt::testing::MessageBoxes().empty());
}

TEST_F(ActivityMonitor, OffRemovesBothHooksAndStopsTheTick) {
  GoBesideTheHookLibrary();
  ASSERT_EQ(SetActivityMonitor(1), 1);
  EXPECT_EQ(SetActivityMonitor(0), 1);
  EXPECT_EQ(mouseHookInstalled, 0);
  EXPECT_EQ(keyboardHookInstalled, 0);
  EXPECT_FALSE(DesktopInputResetsTheClock());
  presence.idleTicks = 4;
  PassTime(6500);
  EXPECT_EQ(presence.idleTicks.load(), 4) << "the tick still runs";
  // Off again has nothing to do.
  EXPECT_EQ(SetActivityMonitor(0), 0);
  // And the monitor can come on again.
  EXPECT_EQ(SetActivityMonitor(1), 1);
  EXPECT_TRUE(DesktopInputResetsTheClock());
}

TEST_F(ActivityMonitor, MissingLibraryIsReportedAndNothingIsInstalled) {
  // The test's own folder and its system root hold no Velto.dll.
  const char* root = std::getenv("VELLUMTIDE_ROOT");
  ASSERT_NE(root, nullptr);
  ASSERT_TRUE(SetCurrentDirectoryA(root));
  EXPECT_EQ(SetActivityMonitor(1), 0);
  auto boxes = vt::testing::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Cannot find Velto.DLL\nIn the current directory");
  EXPECT_EQ(boxes[0].caption, "Velto Error");
  EXPECT_EQ(boxes[0].owner, configWindow);
  EXPECT_EQ(boxes[0].type, MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
  EXPECT_TRUE(installs.empty());
  EXPECT_EQ(mouseHookInstalled, 0);
  EXPECT_EQ(keyboardHookInstalled, 0);
  EXPECT_EQ(SetActivityMonitor(0), 0);
  // Found once it is there.
  GoBesideTheHookLibrary();
  EXPECT_EQ(SetActivityMonitor(1), 1);
}

TEST_F(ActivityMonitor, FailingKeyboardHookTakesTheMouseHookAway) {
  GoBesideTheHookLibrary();
  failingHookType = WH_KEYBOARD;
  EXPECT_EQ(SetActivityMonitor(1), 0);
  EXPECT_TRUE(vt::testing::MessageBoxes().empty()) << "no message here";
  ASSERT_EQ(installs.size(), 2u);
  EXPECT_FALSE(DesktopInputResetsTheClock()) << "the mouse hook stayed";
  presence.idleTicks = 4;
  PassTime(6500);
  EXPECT_EQ(presence.idleTicks.load(), 4) << "the tick was started";
  // The mouse hook stays marked, so neither a second start nor a stop is
  // attempted.
  EXPECT_EQ(mouseHookInstalled, 1);
  EXPECT_EQ(keyboardHookInstalled, 0);
  failingHookType = -1;
  EXPECT_EQ(SetActivityMonitor(1), 0);
  EXPECT_EQ(SetActivityMonitor(0), 0);
  EXPECT_EQ(installs.size(), 2u);
}

TEST_F(ActivityMonitor, FailingMouseHookInstallsNoKeyboardHook) {
  GoBesideTheHookLibrary();
  failingHookType = WH_MOUSE;
  EXPECT_EQ(SetActivityMonitor(1), 0);
  EXPECT_TRUE(vt::testing::MessageBoxes().empty());
  ASSERT_EQ(installs.size(), 1u);
  EXPECT_EQ(mouseHookInstalled, 0);
  EXPECT_EQ(keyboardHookInstalled, 0);
  failingHookType = -1;
  EXPECT_EQ(SetActivityMonitor(1), 1);
}

}  // namespace
