// The caption, the notification-area icon and the away lock.
#include "presence/status_display.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <mutex>
#include <string>

#include "app/app_globals.h"
#include "presence/presence_fixture.h"
#include "resources/resource.h"
#include "service/presence_state.h"
#include "vttest.h"

namespace {

using presencetest::kTipAway;
using presencetest::kTipHere;
using presencetest::PresenceTest;

class StatusDisplay : public PresenceTest {
 protected:
  static void SetLogin(const char* name) {
    std::lock_guard<std::mutex> hold(presenceTextLock);
    std::memset(presence.loginName, 0, sizeof presence.loginName);
    std::strncpy(presence.loginName, name, sizeof presence.loginName - 1);
  }
};

// Every call passes the same record but for the operation and the tip.
void ExpectIconRecord(const vt::testing::TrayCallRecord& call, DWORD message,
                      const std::string& tip) {
  EXPECT_EQ(call.message, message);
  EXPECT_EQ(call.data.structSize, NOTIFYICONDATAA_V1_SIZE);
  EXPECT_EQ(call.data.owner, configWindow);
  EXPECT_EQ(call.data.id, 110u);
  EXPECT_EQ(call.data.flags, 7u);
  EXPECT_EQ(call.data.callbackMessage, 32868u);
  EXPECT_EQ(call.data.icon, appIcon);
  EXPECT_EQ(call.data.tip, tip);
}

TEST_F(StatusDisplay, LockAndUnlockShowInCaptionAndTip) {
  ASSERT_NE(appIcon, nullptr) << "icon 110 is a resource";
  EXPECT_EQ(vt::testing::TextOf(configWindow),
            "Vellumtide v1.01 (beta) - bob is here");
  SetAwayLock(1);
  EXPECT_EQ(vt::testing::TextOf(configWindow),
            "Vellumtide v1.01 (beta) - bob set away");
  EXPECT_EQ(presence.awayLocked.load(), 1);
  EXPECT_STREQ(trayTip, kTipAway);
  EXPECT_PRESENCE(0, 1, "set away", kTipAway);
  SetAwayLock(0);
  EXPECT_EQ(presence.awayLocked.load(), 0);
  EXPECT_STREQ(trayTip, kTipHere);
  EXPECT_PRESENCE(0, 0, "is here", kTipHere);

  // Added once at the start, then only modified.
  auto calls = vt::testing::TrayCalls();
  ASSERT_EQ(calls.size(), 3u);
  ExpectIconRecord(calls[0], NIM_ADD, kTipHere);
  ExpectIconRecord(calls[1], NIM_MODIFY, kTipAway);
  ExpectIconRecord(calls[2], NIM_MODIFY, kTipHere);
  EXPECT_TRUE(vt::testing::TrayIcon().present);
}

TEST_F(StatusDisplay, UnlockEndsAnAwayCausedByIdleness) {
  presence.autoAway = 1;
  presence.idleTicks = 400;
  SetAwayLock(0);
  EXPECT_PRESENCE(400, 0, "is here", kTipHere);
}

TEST_F(StatusDisplay, AnyNonZeroValueLocks) {
  SetAwayLock(7);
  EXPECT_EQ(presence.awayLocked.load(), 1);
  EXPECT_TRUE(IsAway(presence.autoAway.load(), presence.awayLocked.load()));
  EXPECT_PRESENCE(0, 1, "set away", kTipAway);
}

TEST_F(StatusDisplay, LongestLoginNameFitsTheCaption) {
  const std::string login(31, 'x');
  SetLogin(login.c_str());
  SetStatusCaption("set away");
  const std::string caption = vt::testing::TextOf(configWindow);
  EXPECT_EQ(caption, "Vellumtide v1.01 (beta) - " + login + " set away");
  EXPECT_EQ(caption.size(), 66u);
  // A status word longer than the buffer allows is cut, not overrun.
  const std::string longStatus(200, 's');
  SetStatusCaption(longStatus.c_str());
  EXPECT_EQ(vt::testing::TextOf(configWindow).size(), 79u);
}

TEST_F(StatusDisplay, TipIsCutToSixtyThreeAndOperationsMapToTheTray) {
  const std::string tip(100, 't');
  SetTrayIcon(1, tip.c_str());
  SetTrayIcon(1, nullptr);
  SetTrayIcon(7, "ignored");
  SetTrayIcon(2, "Vellumtide Status");
  auto calls = vt::testing::TrayCalls();
  ASSERT_EQ(calls.size(), 4u);
  ExpectIconRecord(calls[1], NIM_MODIFY, std::string(63, 't'));
  ExpectIconRecord(calls[2], NIM_MODIFY, "");
  ExpectIconRecord(calls[3], NIM_DELETE, "Vellumtide Status");
  EXPECT_FALSE(vt::testing::TrayIcon().present);
  SetTrayIcon(0, kTipHere);  // for the fixture to remove again
}

}  // namespace
