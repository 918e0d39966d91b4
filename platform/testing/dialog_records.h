// What the open-file dialog and WinHelpA ask of the test API, and what they
// leave for it to read: the scripted answers and the record of every
// request. The state lives here, behind the test API, and not in the
// modules that use it.
//
// Without a display nobody could see the dialog or the help viewer, so on
// the null driver both are answered from here unless a test asks for the
// real thing (ShowOpenFileDialog, UseHelpViewer).
#pragma once

#include <optional>
#include <string>

#include "platform/testing/vttest.h"

namespace vt::platform {

enum class OpenFileAnswer { Choose, Cancel, Show };
struct OpenFileScript {
  OpenFileAnswer answer = OpenFileAnswer::Cancel;
  std::string path;  // for Choose
};
// The next scripted answer, taken off the queue; nullopt when none is left.
std::optional<OpenFileScript> NextOpenFileScript();
void RecordOpenFile(vt::testing::OpenFileRecord record);

void RecordHelp(vt::testing::HelpRecord record);
// The viewer program a test asked WinHelpA to start (possibly one that does
// not exist); nullopt when no test asked.
std::optional<std::string> HelpViewerForTests();

// Forgets every script and record of both.
void ResetDialogRecords();

}  // namespace vt::platform
