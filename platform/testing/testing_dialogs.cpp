// The test API of the open-file dialog and of help requests: the scripts
// and records that comdlg and help read and fill, and clicks at a point of
// a window, which the dialog's lists need to be driven item by item.
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/drivers/null/null_driver.h"
#include "platform/internal/driver.h"
#include "platform/internal/no_destroy.h"
#include "platform/testing/dialog_records.h"
#include "vttest.h"

namespace vt::platform {
namespace {

class DialogRecords {
 public:
  void Script(OpenFileScript script) {
    std::lock_guard lock(mutex_);
    scripts_.push_back(std::move(script));
  }
  std::optional<OpenFileScript> NextScript() {
    std::lock_guard lock(mutex_);
    if (scripts_.empty()) return std::nullopt;
    OpenFileScript next = std::move(scripts_.front());
    scripts_.pop_front();
    return next;
  }
  void Record(vt::testing::OpenFileRecord record) {
    std::lock_guard lock(mutex_);
    openFile_.push_back(std::move(record));
  }
  std::vector<vt::testing::OpenFileRecord> OpenFiles() {
    std::lock_guard lock(mutex_);
    return openFile_;
  }
  void Record(vt::testing::HelpRecord record) {
    std::lock_guard lock(mutex_);
    help_.push_back(std::move(record));
  }
  std::vector<vt::testing::HelpRecord> Helps() {
    std::lock_guard lock(mutex_);
    return help_;
  }
  void SetViewer(std::optional<std::string> program) {
    std::lock_guard lock(mutex_);
    viewer_ = std::move(program);
  }
  std::optional<std::string> Viewer() {
    std::lock_guard lock(mutex_);
    return viewer_;
  }
  void Reset() {
    std::lock_guard lock(mutex_);
    scripts_.clear();
    openFile_.clear();
    help_.clear();
    viewer_.reset();
  }

 private:
  std::mutex mutex_;
  std::deque<OpenFileScript> scripts_;
  std::vector<vt::testing::OpenFileRecord> openFile_;
  std::vector<vt::testing::HelpRecord> help_;
  std::optional<std::string> viewer_;
};

DialogRecords& Records() {
  static NoDestroy<DialogRecords> records;
  return records.get();
}

}  // namespace

std::optional<OpenFileScript> NextOpenFileScript() {
  return Records().NextScript();
}

void RecordOpenFile(vt::testing::OpenFileRecord record) {
  Records().Record(std::move(record));
}

void RecordHelp(vt::testing::HelpRecord record) {
  Records().Record(std::move(record));
}

std::optional<std::string> HelpViewerForTests() { return Records().Viewer(); }

void ResetDialogRecords() { Records().Reset(); }

}  // namespace vt::platform

namespace vt::testing {

void ScriptOpenFileAnswer(std::optional<std::string> path) {
  platform::OpenFileScript script;
  if (path) {
    script.answer = platform::OpenFileAnswer::Choose;
    script.path = std::move(*path);
  }
  platform::Records().Script(std::move(script));
}

void ShowOpenFileDialog() {
  platform::OpenFileScript script;
  script.answer = platform::OpenFileAnswer::Show;
  platform::Records().Script(std::move(script));
}

std::vector<OpenFileRecord> OpenFileRequests() {
  return platform::Records().OpenFiles();
}

std::vector<HelpRecord> HelpRequests() { return platform::Records().Helps(); }

void UseHelpViewer(std::optional<std::string> program) {
  platform::Records().SetViewer(std::move(program));
}

}  // namespace vt::testing
