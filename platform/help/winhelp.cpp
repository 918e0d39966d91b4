// WinHelpA: finds the help file and opens it in the help viewer.
//
// The help viewer is the platform's, not the program's, so a missing file is
// its message to show ("Cannot find the help file ..."), as the target
// system's viewer shows its own. Without a display there is no viewer
// window: the request is recorded and answered. Start reading at WinHelpA;
// the file format is in helpfile.h.
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform/help/winhelp.h"
#include "platform/internal/no_destroy.h"
#include "platform/internal/platform.h"

namespace vt::platform {
namespace {

class HelpState {
 public:
  void Record(vt::testing::HelpRecord record) {
    std::lock_guard lock(mutex_);
    requests_.push_back(std::move(record));
  }
  std::vector<vt::testing::HelpRecord> Requests() {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  void Reset() {
    std::lock_guard lock(mutex_);
    requests_.clear();
  }

 private:
  std::mutex mutex_;
  std::vector<vt::testing::HelpRecord> requests_;
};

HelpState& State() {
  static NoDestroy<HelpState> state;
  return state.get();
}

std::optional<std::string> RegularFile(std::optional<std::string> path) {
  struct stat info {};
  if (!path || ::stat(path->c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return std::nullopt;
  }
  return path;
}

std::string CurrentFolder() {
  char buffer[PATH_MAX];
  return ::getcwd(buffer, sizeof buffer) != nullptr ? std::string(buffer)
                                                    : std::string(".");
}

// FIXME: the viewer window, built of user's controls, when the driver has a
// display. Without one there is nothing to show.
void ShowHelp(HWND, const std::string&, UINT, ULONG_PTR) {}

}  // namespace

std::optional<std::string> FindHelpFile(const std::string& name) {
  std::string utf8 = AnsiToUtf8(name);
  for (char& c : utf8) {
    if (c == '\\') c = '/';
  }
  if (utf8.empty()) return std::nullopt;
  const auto slash = utf8.find_last_of('/');
  if (slash != std::string::npos) {
    const std::string folder = slash == 0 ? "/" : utf8.substr(0, slash);
    return RegularFile(FindFileNoCase(folder, utf8.substr(slash + 1)));
  }
  if (auto beside = RegularFile(FindFileNoCase(ExecutableDirectory(), utf8))) {
    return beside;
  }
  return RegularFile(FindFileNoCase(CurrentFolder(), utf8));
}

std::vector<vt::testing::HelpRecord> HelpLog() { return State().Requests(); }

void ResetHelpState() { State().Reset(); }

}  // namespace vt::platform

BOOL WinHelpA(HWND owner, LPCSTR helpFile, UINT command, ULONG_PTR data) {
  using namespace vt::platform;
  vt::testing::HelpRecord record;
  record.owner = owner;
  record.file = helpFile != nullptr ? helpFile : "";
  record.command = command;
  record.data = data;
  // Closing the viewer needs no file.
  if (command == HELP_QUIT) {
    State().Record(std::move(record));
    return TRUE;
  }
  const auto found = FindHelpFile(record.file);
  record.foundPath = found.value_or("");
  const std::string name = record.file;
  State().Record(std::move(record));
  if (!found) {
    const std::string text = "Cannot find the help file " + name;
    MessageBoxA(owner, text.c_str(), "Help", MB_OK | MB_ICONEXCLAMATION);
    return FALSE;
  }
  ShowHelp(owner, *found, command, data);
  return TRUE;
}
