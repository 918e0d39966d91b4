// The one presence record of the process and the copy the listener takes of
// it. Writers change a text field only while they hold presenceTextLock; the
// listener copies every text under the same lock, then reads the atomics, so
// a reply is built from texts that were all current at one moment.
#include "service/presence_state.h"

#include <cstring>

// Namespace-scope storage is zero-filled before any code runs, which is the
// record's required state before start-up.
PresenceState presence{};
std::mutex presenceTextLock;

void TakePresenceSnapshot(PresenceSnapshot* snapshot) {
  {
    std::lock_guard<std::mutex> guard(presenceTextLock);
    std::memcpy(snapshot->loginName, presence.loginName,
                sizeof snapshot->loginName);
    std::memcpy(snapshot->realName, presence.realName,
                sizeof snapshot->realName);
    std::memcpy(snapshot->office, presence.office, sizeof snapshot->office);
    std::memcpy(snapshot->officePhone, presence.officePhone,
                sizeof snapshot->officePhone);
    std::memcpy(snapshot->home, presence.home, sizeof snapshot->home);
    std::memcpy(snapshot->homePhone, presence.homePhone,
                sizeof snapshot->homePhone);
    std::memcpy(snapshot->planFile, presence.planFile,
                sizeof snapshot->planFile);
    std::memcpy(snapshot->awayFile, presence.awayFile,
                sizeof snapshot->awayFile);
  }
  // A writer may have left a field without its terminator only through a
  // fault of its own; the copy is terminated regardless, so nothing that
  // reads it runs past its end.
  snapshot->loginName[sizeof snapshot->loginName - 1] = '\0';
  snapshot->realName[sizeof snapshot->realName - 1] = '\0';
  snapshot->office[sizeof snapshot->office - 1] = '\0';
  snapshot->officePhone[sizeof snapshot->officePhone - 1] = '\0';
  snapshot->home[sizeof snapshot->home - 1] = '\0';
  snapshot->homePhone[sizeof snapshot->homePhone - 1] = '\0';
  snapshot->planFile[sizeof snapshot->planFile - 1] = '\0';
  snapshot->awayFile[sizeof snapshot->awayFile - 1] = '\0';
  snapshot->idleTicks = presence.idleTicks.load();
  snapshot->autoAway = presence.autoAway.load();
  snapshot->awayLocked = presence.awayLocked.load();
}
