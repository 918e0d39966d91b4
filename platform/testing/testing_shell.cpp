// The test API of the notification area, the open-file dialog, help
// requests and the winsock seam: thin doors into the records and scripts
// that the shell, comdlg, help and winsock modules keep.
#include <optional>
#include <string>
#include <vector>

#include "platform/comdlg/open_file.h"
#include "platform/help/winhelp.h"
#include "platform/internal/platform.h"
#include "platform/shell/tray.h"
#include "platform/shell/tray_records.h"
#include "platform/winsock/socket_seam.h"
#include "vttest.h"

namespace vt::platform {

void ResetShellTestState() {
  ResetTrayState();
  ResetOpenFileState();
  ResetHelpState();
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

void ScriptOpenFileAnswer(std::optional<std::string> path) {
  vt::platform::ScriptOpenFile(std::move(path));
}

std::vector<OpenFileRecord> OpenFileRequests() {
  return vt::platform::OpenFileLog();
}

std::vector<HelpRecord> HelpRequests() { return vt::platform::HelpLog(); }

void FailSocketCall(const char* function, int wsaError, int times) {
  vt::platform::ArmCallFailure(function, wsaError, times);
}

void ClearSocketFailures() { vt::platform::ClearSocketSeam(); }

}  // namespace vt::testing
