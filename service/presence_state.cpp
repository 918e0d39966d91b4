// The one presence record of the process and the copy the listener takes of
// it. Writers change a text field only while they hold presenceTextLock; the
// listener copies every text under the same lock, then reads the atomics, so
// a reply is built from texts that were all current at one moment.
#include "service/presence_state.h"

// Namespace-scope storage is zero-filled before any code runs, which is the
// record's required state before start-up.
PresenceState presence{};
std::mutex presenceTextLock;

void TakePresenceSnapshot(PresenceSnapshot* snapshot) {
  {
    std::lock_guard<std::mutex> guard(presenceTextLock);
    static_cast<PresenceTexts&>(*snapshot) = presence;
  }
  // A writer may have left a field without its terminator only through a
  // fault of its own; the copy is terminated regardless, so nothing that
  // reads it runs past its end.
  snapshot->loginName[sizeof snapshot->loginName - 1] = '\0';
  for (char* field :
       {snapshot->realName, snapshot->office, snapshot->officePhone,
        snapshot->home, snapshot->homePhone, snapshot->planFile,
        snapshot->awayFile}) {
    field[sizeof snapshot->realName - 1] = '\0';
  }
  snapshot->idleTicks = presence.idleTicks.load();
  snapshot->autoAway = presence.autoAway.load();
  snapshot->awayLocked = presence.awayLocked.load();
}
