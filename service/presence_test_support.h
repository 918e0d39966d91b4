// For tests: puts the one presence record back to its zero-filled start.
#pragma once

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>

#include "service/presence_state.h"

inline void ResetPresenceRecord() {
  std::lock_guard<std::mutex> hold(presenceTextLock);
  static_cast<PresenceTexts&>(presence) = PresenceTexts{};
  presence.awayAfterMinutes = 0;
  presence.idleTicks = 0;
  presence.autoAway = 0;
  presence.awayLocked = 0;
}

// Sets one text field of the record as a writer does: cut to what the field
// holds, zeros after it. The caller holds presenceTextLock.
inline void SetPresenceText(char* field, size_t size, const std::string& text) {
  std::memset(field, 0, size);
  std::memcpy(field, text.data(), std::min(text.size(), size - 1));
}
