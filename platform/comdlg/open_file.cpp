// GetOpenFileNameA: the open-file dialog.
//
// The request is checked and recorded, then the dialog is "shown": without a
// display the person's choice comes from the test script, one answer per
// dialog, and no answer means the person cancelled. A chosen path is checked
// as the dialog would check it (an existing file or folder when the request
// asks for one) and then handed back in the caller's buffers, which are
// never written past their sizes. Start reading at GetOpenFileNameA.
#include <sys/stat.h>

#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/comdlg/open_file.h"
#include "platform/internal/no_destroy.h"
#include "platform/internal/platform.h"

namespace vt::platform {
namespace {

// Texts in a request are read no further than this, so a list that lacks its
// terminating zeros cannot send the reading through the whole heap.
constexpr std::size_t kMaxRequestText = 32 * 1024;

thread_local DWORD tExtendedError = 0;

class OpenFileState {
 public:
  void Script(std::optional<std::string> path) {
    std::lock_guard lock(mutex_);
    answers_.push_back(std::move(path));
  }
  std::optional<std::string> NextAnswer() {
    std::lock_guard lock(mutex_);
    if (answers_.empty()) return std::nullopt;
    auto answer = std::move(answers_.front());
    answers_.pop_front();
    return answer;
  }
  void Record(vt::testing::OpenFileRecord record) {
    std::lock_guard lock(mutex_);
    requests_.push_back(std::move(record));
  }
  std::vector<vt::testing::OpenFileRecord> Requests() {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  void Reset() {
    std::lock_guard lock(mutex_);
    answers_.clear();
    requests_.clear();
  }

 private:
  std::mutex mutex_;
  std::deque<std::optional<std::string>> answers_;
  std::vector<vt::testing::OpenFileRecord> requests_;
};

OpenFileState& State() {
  static NoDestroy<OpenFileState> state;
  return state.get();
}

std::string TextOf(LPCSTR text, std::size_t limit = kMaxRequestText) {
  if (text == nullptr) return {};
  return std::string(text, strnlen(text, limit));
}

// The filter pairs up to and including the two zeros that end the list.
std::string FilterList(LPCSTR filter) {
  std::string list;
  if (filter == nullptr) return list;
  for (std::size_t i = 0; i < kMaxRequestText; ++i) {
    list.push_back(filter[i]);
    if (filter[i] == '\0' && (i == 0 || filter[i - 1] == '\0')) break;
  }
  return list;
}

vt::testing::OpenFileRecord Describe(const OPENFILENAMEA& request) {
  vt::testing::OpenFileRecord record;
  record.structSize = request.lStructSize;
  record.owner = request.hwndOwner;
  record.filter = FilterList(request.lpstrFilter);
  record.filterIndex = request.nFilterIndex;
  if (request.lpstrFile != nullptr) {
    record.initialFile = TextOf(request.lpstrFile, request.nMaxFile);
  }
  record.fileBufferSize = request.nMaxFile;
  record.hasFileTitle = request.lpstrFileTitle != nullptr;
  record.fileTitleBufferSize = request.nMaxFileTitle;
  record.initialDir = TextOf(request.lpstrInitialDir);
  record.title = TextOf(request.lpstrTitle);
  record.flags = request.Flags;
  record.hasHook = request.lpfnHook != nullptr;
  record.hasTemplate = request.lpTemplateName != nullptr;
  record.hasCustomFilter = request.lpstrCustomFilter != nullptr;
  record.hasDefaultExtension = request.lpstrDefExt != nullptr;
  return record;
}

std::size_t NameOffset(const std::string& path) {
  const auto separator = path.find_last_of("/\\");
  return separator == std::string::npos ? 0 : separator + 1;
}

bool IsFolder(const std::string& utf8) {
  struct stat info {};
  return ::stat(utf8.empty() ? "." : utf8.c_str(), &info) == 0 &&
         S_ISDIR(info.st_mode);
}

// A file (not a folder) by that name, its name matched without regard to
// case as the target file system matches it.
bool IsFile(const std::string& folder, const std::string& name) {
  if (name.empty()) return false;
  const auto found = FindFileNoCase(folder, name);
  struct stat info {};
  return found && ::stat(found->c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

// Whether the dialog would let the person leave with this path.
bool Acceptable(const std::string& ansiPath, DWORD flags) {
  const std::string path = AnsiToUtf8(ansiPath);
  const std::size_t nameAt = NameOffset(path);
  std::string folder = path.substr(0, nameAt);
  if (folder.size() > 1) folder.pop_back();
  if ((flags & (OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST)) && !IsFolder(folder)) {
    return false;
  }
  if ((flags & OFN_FILEMUSTEXIST) &&
      !IsFile(folder.empty() ? "." : folder, path.substr(nameAt))) {
    return false;
  }
  return true;
}

// Fills the caller's buffers with the chosen path; false (with the
// extended error set) when lpstrFile cannot hold it.
bool HandBack(OPENFILENAMEA& request, const std::string& path) {
  if (request.lpstrFile == nullptr || path.size() + 1 > request.nMaxFile) {
    // As the target system does, the first two bytes say how much room the
    // path needs, when there are two bytes to say it in.
    if (request.lpstrFile != nullptr && request.nMaxFile >= 2) {
      const WORD needed = static_cast<WORD>(
          path.size() + 1 > 0xffff ? 0xffff : path.size() + 1);
      std::memcpy(request.lpstrFile, &needed, sizeof needed);
    }
    tExtendedError = FNERR_BUFFERTOOSMALL;
    return false;
  }
  std::memcpy(request.lpstrFile, path.c_str(), path.size() + 1);
  const std::size_t nameAt = NameOffset(path);
  const std::string name = path.substr(nameAt);
  request.nFileOffset = static_cast<WORD>(nameAt);
  const auto dot = name.find_last_of('.');
  if (dot == std::string::npos) {
    request.nFileExtension = static_cast<WORD>(path.size());
  } else if (dot + 1 == name.size()) {
    request.nFileExtension = 0;
  } else {
    request.nFileExtension = static_cast<WORD>(nameAt + dot + 1);
  }
  if (request.lpstrFileTitle != nullptr && request.nMaxFileTitle > 0) {
    const std::size_t length = name.size() < request.nMaxFileTitle
                                   ? name.size()
                                   : request.nMaxFileTitle - 1;
    std::memcpy(request.lpstrFileTitle, name.data(), length);
    request.lpstrFileTitle[length] = '\0';
  }
  return true;
}

// The person's choice. FIXME: a dialog of user's controls when the driver
// has a display; until then every dialog is answered from the script.
std::optional<std::string> Choose(const OPENFILENAMEA&) {
  return State().NextAnswer();
}

}  // namespace

void ScriptOpenFile(std::optional<std::string> path) {
  State().Script(std::move(path));
}

std::vector<vt::testing::OpenFileRecord> OpenFileLog() {
  return State().Requests();
}

void ResetOpenFileState() { State().Reset(); }

}  // namespace vt::platform

BOOL GetOpenFileNameA(LPOPENFILENAMEA request) {
  using namespace vt::platform;
  if (request == nullptr) {
    tExtendedError = CDERR_STRUCTSIZE;
    return FALSE;
  }
  if (request->lStructSize != OPENFILENAME_SIZE_VERSION_400A &&
      request->lStructSize != sizeof(OPENFILENAMEA)) {
    // Nothing past the size is read: the record may be shorter than ours.
    vt::testing::OpenFileRecord refused;
    refused.structSize = request->lStructSize;
    State().Record(std::move(refused));
    tExtendedError = CDERR_STRUCTSIZE;
    return FALSE;
  }
  tExtendedError = 0;
  vt::testing::OpenFileRecord record = Describe(*request);
  auto answer = Choose(*request);
  if (answer && !answer->empty() && !Acceptable(*answer, request->Flags)) {
    // The dialog would keep asking for an existing file; the script has no
    // second answer for this dialog, so the person gives up.
    record.refusedMissing = true;
    answer.reset();
  }
  const bool chosen = answer && !answer->empty() && HandBack(*request, *answer);
  if (chosen) record.chosen = *answer;
  record.succeeded = chosen;
  State().Record(std::move(record));
  return chosen ? TRUE : FALSE;
}

DWORD CommDlgExtendedError() { return vt::platform::tExtendedError; }
