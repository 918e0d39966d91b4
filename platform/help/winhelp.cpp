// WinHelpA: hands a request to the help viewer, the winhelp program, as the
// target system hands it to its own viewer.
//
// A viewer already showing the same help file gets the request on the
// socket it listens on (see HelpChannelPath) and comes forward; otherwise a
// new viewer is started with the request on its command line. The viewer
// looks for the file itself and shows its own message when it is missing,
// so WinHelpA fails only when the viewer cannot be found or started. Under
// the null driver nobody could see a viewer, so requests are only recorded
// for the test API unless a test names a viewer to start. Start reading at
// WinHelpA.
#include "platform/help/winhelp.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/internal/driver.h"
#include "platform/internal/platform.h"
#include "platform/testing/dialog_records.h"

namespace vt::platform {
namespace {

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

// The folder of the platform library: where the system's own programs are
// installed beside it.
std::string PlatformFolder() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&HelpChannelPath), &info) == 0 ||
      info.dli_fname == nullptr)
    return {};
  std::string path = info.dli_fname;
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// The winhelp program: beside the platform library, then beside the
// calling program; empty when neither has one.
std::string ViewerProgram() {
  for (const std::string& folder : {PlatformFolder(), ExecutableDirectory()}) {
    if (folder.empty()) continue;
    const std::string path = folder + "/winhelp";
    if (::access(path.c_str(), X_OK) == 0) return path;
  }
  return {};
}

}  // namespace

bool SendHelpRequest(const std::string& channel, const HelpRequest& request) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, channel.c_str(), channel.size() + 1);
  bool sent = false;
  int connected;
  do {
    connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address),
                          sizeof address);
  } while (connected != 0 && errno == EINTR);
  if (connected == 0) {
    const std::string line = EncodeHelpRequest(request) + "\n";
    std::size_t done = 0;
    while (done < line.size()) {
      const ssize_t n =
          ::send(fd, line.data() + done, line.size() - done, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    sent = done == line.size();
  }
  ::close(fd);
  return sent;
}

namespace {

// Starts program as a process of its own that nobody has to wait for: an
// intermediate child starts it and ends at once, so it is never left as a
// zombie of the caller. A pipe that closes on exec tells whether the exec
// worked.
bool StartDetached(const std::string& program,
                   const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  std::vector<std::string> owned{program};
  owned.insert(owned.end(), arguments.begin(), arguments.end());
  for (auto& argument : owned) argv.push_back(argument.data());
  argv.push_back(nullptr);
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return false;
  const pid_t middle = ::fork();
  if (middle < 0) {
    ::close(report[0]);
    ::close(report[1]);
    return false;
  }
  if (middle == 0) {
    // Only calls that are safe after fork in a threaded process from here.
    ::close(report[0]);
    sigset_t none;
    ::sigemptyset(&none);
    ::pthread_sigmask(SIG_SETMASK, &none, nullptr);
    const pid_t viewer = ::fork();
    if (viewer == 0) {
      ::execv(argv[0], argv.data());
      const int error = errno;
      [[maybe_unused]] ssize_t ignored =
          ::write(report[1], &error, sizeof error);
      ::_exit(127);
    }
    ::_exit(viewer < 0 ? 1 : 0);
  }
  ::close(report[1]);
  int status = 0;
  while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
  }
  int error = 0;
  ssize_t n;
  do {
    n = ::read(report[0], &error, sizeof error);
  } while (n < 0 && errno == EINTR);
  ::close(report[0]);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 && n == 0;
}

bool DisplayCanShowViewer() {
  return std::strcmp(TheDriver().name, "null") != 0;
}

std::uint64_t Fnv1a(const std::string& text) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

}  // namespace

std::optional<std::string> FindHelpFile(const std::string& name,
                                        const std::string& callerFolder) {
  std::string utf8 = AnsiToUtf8(name);
  for (char& c : utf8) {
    if (c == '\\') c = '/';
  }
  if (utf8.empty()) return std::nullopt;
  const auto slash = utf8.find_last_of('/');
  const std::string bare =
      slash == std::string::npos ? utf8 : utf8.substr(slash + 1);
  if (bare.empty()) return std::nullopt;
  if (slash != std::string::npos) {
    const std::string folder = slash == 0 ? "/" : utf8.substr(0, slash);
    if (auto given = RegularFile(FindFileNoCase(folder, bare))) return given;
  }
  if (auto here = RegularFile(FindFileNoCase(CurrentFolder(), bare))) {
    return here;
  }
  if (callerFolder.empty()) return std::nullopt;
  return RegularFile(FindFileNoCase(callerFolder, bare));
}

std::optional<std::string> HelpChannelPath(const std::string& key) {
  char name[64];
  std::snprintf(name, sizeof name, "/run/help-%016llx.sock",
                static_cast<unsigned long long>(Fnv1a(key)));
  std::string path = SystemRoot() + name;
  if (path.size() + 1 > sizeof(sockaddr_un{}.sun_path)) return std::nullopt;
  return path;
}

std::string EncodeHelpRequest(const HelpRequest& request) {
  std::string line = std::to_string(request.command);
  if (request.command == HELP_KEY) line += " " + request.keyword;
  return line;
}

std::optional<HelpRequest> DecodeHelpRequest(const std::string& line) {
  HelpRequest request;
  char* end = nullptr;
  errno = 0;
  const unsigned long command = std::strtoul(line.c_str(), &end, 10);
  if (end == line.c_str() || errno != 0 || command > 0xFFFF)
    return std::nullopt;
  request.command = static_cast<UINT>(command);
  if (request.command == HELP_KEY) {
    if (*end != ' ') return std::nullopt;
    request.keyword = std::string(end + 1);
  } else if (*end != '\0') {
    return std::nullopt;
  }
  return request;
}

}  // namespace vt::platform

BOOL WinHelpA(HWND owner, LPCSTR helpFile, UINT command, ULONG_PTR data) {
  using namespace vt::platform;
  vt::testing::HelpRecord record;
  record.owner = owner;
  record.file = helpFile != nullptr ? helpFile : "";
  record.command = command;
  record.data = data;
  const std::string callerFolder = ExecutableDirectory();
  const auto found = FindHelpFile(record.file, callerFolder);
  record.foundPath = found.value_or("");
  HelpRequest request;
  request.command = command == HELP_CONTENTS ? HELP_INDEX : command;
  if (command == HELP_KEY && data != 0) {
    request.keyword = reinterpret_cast<LPCSTR>(data);
  } else if (command == HELP_KEY) {
    request.command = HELP_INDEX;
  }
  const auto forTests = HelpViewerForTests();
  if (!forTests && !DisplayCanShowViewer()) {
    RecordHelp(std::move(record));
    return TRUE;
  }
  const auto channel = HelpChannelPath(found.value_or(record.file));
  if (channel && SendHelpRequest(*channel, request)) {
    record.reachedViewer = true;
    RecordHelp(std::move(record));
    return TRUE;
  }
  // Nothing runs that could be closed.
  if (command == HELP_QUIT) {
    RecordHelp(std::move(record));
    return TRUE;
  }
  const std::string program = forTests ? *forTests : ViewerProgram();
  const bool started =
      !program.empty() &&
      StartDetached(program, {EncodeHelpRequest(request), callerFolder,
                              AnsiToUtf8(record.file)});
  record.startedViewer = started;
  RecordHelp(std::move(record));
  return started ? TRUE : FALSE;
}
