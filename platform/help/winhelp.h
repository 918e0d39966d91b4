// What the help module keeps for the test API: every WinHelpA request.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/testing/vttest.h"

namespace vt::platform {

std::vector<vt::testing::HelpRecord> HelpLog();
void ResetHelpState();

// Where WinHelpA finds a help file named name (ANSI): beside the
// executable, then in the current folder, the name matched without regard to
// case; a name with a folder is looked for in that folder only. The UTF-8
// path, or nullopt.
std::optional<std::string> FindHelpFile(const std::string& name);

}  // namespace vt::platform
