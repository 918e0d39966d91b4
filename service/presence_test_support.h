// For tests: puts the one presence record back to its zero-filled start.
#pragma once

#include <cstring>
#include <mutex>

#include "service/presence_state.h"

inline void ResetPresenceRecord() {
  std::lock_guard<std::mutex> hold(presenceTextLock);
  std::memset(presence.loginName, 0, sizeof presence.loginName);
  for (char* field :
       {presence.realName, presence.office, presence.officePhone, presence.home,
        presence.homePhone, presence.planFile, presence.awayFile}) {
    std::memset(field, 0, 256);
  }
  presence.awayAfterMinutes = 0;
  presence.idleTicks = 0;
  presence.autoAway = 0;
  presence.awayLocked = 0;
}
