// What the shell module keeps for the test API: every Shell_NotifyIconA call
// and the icon a test asks about.
#pragma once

#include <vector>

#include "platform/testing/vttest.h"

namespace vt::platform {

std::vector<vt::testing::TrayCallRecord> TrayCallLog();
// The icon most recently added while it is present, else another icon that
// is present, else the last state of the most recently removed one.
vt::testing::TrayIconRecord CurrentTrayIcon();

}  // namespace vt::platform
