// The test API of the notification area and the winsock seam: thin doors
// into the records and scripts that the shell and winsock modules keep. The
// open-file dialog and help requests have theirs in testing_dialogs.cpp.
#include <optional>
#include <string>
#include <vector>

#include "platform/internal/platform.h"
#include "platform/shell/tray.h"
#include "platform/shell/tray_records.h"
#include "platform/testing/dialog_records.h"
#include "platform/winsock/socket_seam.h"
#include "vttest.h"

namespace vt::platform {

void ResetShellTestState() {
  ResetTrayState();
  ResetDialogRecords();
}

void ResetSocketTestState() { ClearSocketSeam(); }

}  // namespace vt::platform

namespace vt::testing {

TrayIconRecord TrayIcon() { return vt::platform::CurrentTrayIcon(); }

std::vector<TrayCallRecord> TrayCalls() { return vt::platform::TrayCallLog(); }

void TrayMouse(UINT mouseMessage) {
  const TrayIconRecord icon = TrayIcon();
  if (!icon.present) return;
  vt::platform::DeliverTrayMouse(icon.owner, icon.id, mouseMessage);
}

void FailSocketCall(const char* function, int wsaError, int times) {
  vt::platform::ArmCallFailure(function, wsaError, times);
}

void ClearSocketFailures() { vt::platform::ClearSocketSeam(); }

}  // namespace vt::testing
