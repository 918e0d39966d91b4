// What the comdlg module keeps for the test API: the scripted answers of the
// open-file dialog and the record of every request.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/testing/vttest.h"

namespace vt::platform {

void ScriptOpenFile(std::optional<std::string> path);
std::vector<vt::testing::OpenFileRecord> OpenFileLog();
// Forgets the answers and the requests.
void ResetOpenFileState();

}  // namespace vt::platform
