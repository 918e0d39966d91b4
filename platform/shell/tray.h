// The notification area as the platform's modules see it: the icons the
// program has added, and the way a person's click on an icon reaches the
// program.
//
// Shell_NotifyIconA keeps the state and records every call; the driver is
// told of each change afterwards through its table (driver.h), and reports
// the use of an icon through DeliverTrayMouse. The headless driver only
// records what it was told; the X11 driver docks the icon in the
// freedesktop tray.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/internal/driver.h"

namespace vt::platform {

// Forgets the icons and the call record, without telling the driver (tests).
void ResetTrayState();

}  // namespace vt::platform
