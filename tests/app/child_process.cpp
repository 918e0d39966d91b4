// Process plumbing for the process-level tests; see child_process.h.
#include "child_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace vt::proctest {

namespace {

std::string MakeTempPath(const char* pattern) {
  std::string path = std::filesystem::temp_directory_path().string() + "/" +
                     pattern + "XXXXXX";
  std::vector<char> buffer(path.begin(), path.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) return {};
  return buffer.data();
}

std::vector<std::string> BuildEnvironment(const ChildOptions& options) {
  std::vector<std::string> result;
  auto overridden = [&](const std::string& entry) {
    std::string name = entry.substr(0, entry.find('='));
    for (const auto& [key, value] : options.environment) {
      if (key == name) return true;
    }
    for (const auto& key : options.unset) {
      if (key == name) return true;
    }
    return false;
  };
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (!overridden(*entry)) result.emplace_back(*entry);
  }
  for (const auto& [key, value] : options.environment) {
    result.push_back(key + "=" + value);
  }
  return result;
}

}  // namespace

Child::Child(const ChildOptions& options) : folder_(MakeTempPath("vt-child-")) {
  // Without a folder for its output there is nothing to start: the paths
  // below would name files at the file system's root.
  if (folder_.empty()) return;
  outPath_ = folder_ + "/stdout";
  errPath_ = folder_ + "/stderr";
  std::vector<std::string> environment = BuildEnvironment(options);
  std::vector<char*> argv;
  for (const auto& arg : options.argv)
    argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (const auto& entry : environment)
    envp.push_back(const_cast<char*>(entry.c_str()));
  envp.push_back(nullptr);

  pid_ = fork();
  if (pid_ == 0) {
    // Only async-signal-safe calls between fork and exec.
    int out = open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int in = open("/dev/null", O_RDONLY);
    if (out < 0 || err < 0 || in < 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (!options.directory.empty() && chdir(options.directory.c_str()) != 0) {
      _exit(126);
    }
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
}

Child::~Child() {
  if (pid_ > 0 && !reaped_) {
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  if (!folder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
}

bool Child::Running() {
  if (pid_ <= 0 || reaped_) return false;
  int status = 0;
  pid_t done = waitpid(pid_, &status, WNOHANG);
  if (done == 0) return true;
  reaped_ = true;
  if (WIFEXITED(status)) {
    exit_.exited = true;
    exit_.exitCode = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    exit_.signal = WTERMSIG(status);
  }
  return false;
}

void Child::Signal(int signal) {
  if (Running()) kill(pid_, signal);
}

ChildExit Child::Wait(std::chrono::milliseconds timeout) {
  if (!WaitUntil([this] { return !Running(); }, timeout)) {
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    reaped_ = true;
    exit_.timedOut = true;
  }
  return exit_;
}

std::string Child::Stdout() const { return ReadFile(outPath_); }
std::string Child::Stderr() const { return ReadFile(errPath_); }

ChildExit RunToEnd(const ChildOptions& options, std::string* out,
                   std::string* err, std::chrono::milliseconds timeout) {
  Child child(options);
  ChildExit result = child.Wait(timeout);
  if (out != nullptr) *out = child.Stdout();
  if (err != nullptr) *err = child.Stderr();
  return result;
}

bool WaitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return done();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

bool FingerLocal(int port, const std::string& request, std::string* reply,
                 std::chrono::milliseconds timeout) {
  int s = socket(AF_INET, SOCK_STREAM, 0);
  timeval bound{};
  bound.tv_sec = static_cast<time_t>(timeout.count() / 1000);
  bound.tv_usec = static_cast<suseconds_t>((timeout.count() % 1000) * 1000);
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
  setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof bound);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(s);
    return false;
  }
  send(s, request.data(), request.size(), MSG_NOSIGNAL);
  reply->clear();
  char buffer[4096];
  for (;;) {
    ssize_t n = recv(s, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    reply->append(buffer, static_cast<size_t>(n));
  }
  close(s);
  return true;
}

TempFolder::TempFolder() : path_(MakeTempPath("vt-test-")) {}

TempFolder::~TempFolder() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::string TempFolder::Write(const std::string& name,
                              const std::string& text) const {
  std::string path = path_ + "/" + name;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

bool FileExists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string OutputFolder() {
  const char* out = std::getenv("VT_OUT");
  return out != nullptr ? out : "";
}

std::string SourceFolder() {
  const char* source = std::getenv("VT_SOURCE");
  return source != nullptr ? source : "";
}

int CountOf(const std::string& haystack, const std::string& needle) {
  int count = 0;
  for (size_t at = haystack.find(needle); at != std::string::npos;
       at = haystack.find(needle, at + needle.size())) {
    ++count;
  }
  return count;
}

}  // namespace vt::proctest
