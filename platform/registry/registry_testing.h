// What tests may change in the registry.
#pragma once

namespace vt::platform {

// How long a change waits for another process's write before it fails with
// ERROR_BUSY; 2000 ms unless a test shortens it, so that the busy case can
// be seen without a long wait.
void SetRegistryBusyTimeout(int milliseconds);

}  // namespace vt::platform
