// The presence record's derived values and its snapshot.
#include "service/presence_state.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(PresenceState, IdleTimeFromTicks) {
  // Columns: ticks, hours, minutes within the hour.
  const struct {
    std::int32_t ticks, hours, minutes;
  } rows[] = {
      {0, 0, 0},    {19, 0, 0},    {20, 0, 1},     {1199, 0, 59},
      {1200, 1, 0}, {1500, 1, 15}, {30000, 25, 0},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(IdleHours(row.ticks), row.hours) << row.ticks;
    EXPECT_EQ(IdleMinutesOfHour(row.ticks), row.minutes) << row.ticks;
  }
}

TEST(PresenceState, SnapshotCopiesEveryFieldTerminated) {
  {
    std::lock_guard<std::mutex> guard(presenceTextLock);
    std::memset(presence.realName, 'r', sizeof presence.realName);
    std::strcpy(presence.loginName, "bob");
    std::strcpy(presence.awayFile, "/tmp/away");
  }
  presence.idleTicks = 1234;
  presence.awayLocked = 1;
  PresenceSnapshot snapshot;
  TakePresenceSnapshot(&snapshot);
  EXPECT_STREQ(snapshot.loginName, "bob");
  EXPECT_STREQ(snapshot.awayFile, "/tmp/away");
  EXPECT_EQ(std::strlen(snapshot.realName), sizeof snapshot.realName - 1);
  EXPECT_EQ(snapshot.idleTicks, 1234);
  EXPECT_EQ(snapshot.awayLocked, 1);
  std::lock_guard<std::mutex> guard(presenceTextLock);
  std::memset(presence.realName, 0, sizeof presence.realName);
  presence.idleTicks = 0;
  presence.awayLocked = 0;
}

}  // namespace
