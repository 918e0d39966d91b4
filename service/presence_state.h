// The presence record: who the person at this desktop is, what the finger
// service tells about them, and whether they are here.
//
// The main thread is the only writer. The listener thread reads it while it
// composes a reply, so the integers and flags are atomic and the texts are
// written and read under presenceTextLock: a reply never mixes an old and a
// new text (see TakePresenceSnapshot).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

// The texts of the record, which the snapshot copies as one block.
struct PresenceTexts {
  char loginName[32];
  char realName[256];
  char office[256];
  char officePhone[256];
  char home[256];
  char homePhone[256];
  char planFile[256];
  char awayFile[256];
};

struct PresenceState : PresenceTexts {
  std::atomic<std::uint32_t> awayAfterMinutes;
  std::atomic<std::int32_t> idleTicks;
  std::atomic<int> autoAway;
  std::atomic<int> awayLocked;
};

// The one record of the process, zero-filled before start-up.
extern PresenceState presence;
// Held by the main thread while it writes any text field, and by the
// listener while it copies them.
extern std::mutex presenceTextLock;

// A consistent copy of the record for one reply.
struct PresenceSnapshot : PresenceTexts {
  std::int32_t idleTicks;
  int autoAway;
  int awayLocked;
};

void TakePresenceSnapshot(PresenceSnapshot* snapshot);

// Derived values, each from one reading of idleTicks.
inline std::int32_t IdleHours(std::int32_t idleTicks) {
  return (idleTicks / 20) / 60;
}
inline std::int32_t IdleMinutesOfHour(std::int32_t idleTicks) {
  return (idleTicks / 20) % 60;
}
inline bool IsAway(int autoAway, int awayLocked) {
  return autoAway == 1 || awayLocked == 1;
}
