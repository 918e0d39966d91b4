// Process start and end, and where the process keeps its state.
//
// Startup runs before WinMain, on the main thread and before any other
// thread exists, so that the termination signals it blocks stay blocked in
// every thread started later; one watcher thread then takes them with
// sigwait and turns each into a close request to the program's windows, as
// logging off would. The process ends through ExitProcessNow: streams
// flushed, then _exit, so no static destructor runs while another thread
// still waits in a system call.
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "platform/internal/platform.h"

namespace vt::platform {
namespace {

// Creates path and any missing parents with mode 0700; an existing folder
// keeps its mode.
void MakeFolders(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    mkdir(path.substr(0, slash).c_str(), 0700);
  }
  mkdir(path.c_str(), 0700);
}

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home) {
    return home;
  }
  passwd entry{};
  passwd* found = nullptr;
  char buffer[4096];
  if (getpwuid_r(geteuid(), &entry, buffer, sizeof buffer, &found) == 0 &&
      found != nullptr && found->pw_dir != nullptr) {
    return found->pw_dir;
  }
  return "/tmp";
}

sigset_t TerminationSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGHUP);
  return set;
}

void WatchSignals() {
  const sigset_t set = TerminationSignals();
  for (;;) {
    int signal = 0;
    if (sigwait(&set, &signal) == 0) OnTerminationRequest();
  }
}

}  // namespace

std::string SystemRoot() {
  std::string root;
  if (const char* named = std::getenv("VELLUMTIDE_ROOT");
      named != nullptr && *named) {
    root = named;
  } else if (const char* config = std::getenv("XDG_CONFIG_HOME");
             config != nullptr && *config == '/') {
    root = std::string(config) + "/vellumtide";
  } else {
    root = HomeFolder() + "/.config/vellumtide";
  }
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  struct stat info {};
  if (stat(root.c_str(), &info) != 0) MakeFolders(root);
  return root;
}

std::string ExecutableDirectory() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return ".";
  std::string full(path, static_cast<std::size_t>(length));
  const auto slash = full.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return full.substr(0, slash);
}

[[noreturn]] void ExitProcessNow(int code) {
  std::fflush(nullptr);
  _exit(code);
}

void Startup() {
  static std::once_flag once;
  std::call_once(once, [] {
    const sigset_t set = TerminationSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    // A peer that closes its end must give an error from send, not end the
    // process.
    signal(SIGPIPE, SIG_IGN);
    StartDriver();
    std::thread(WatchSignals).detach();
  });
}

}  // namespace vt::platform

void ExitProcess(UINT exitCode) {
  vt::platform::ExitProcessNow(static_cast<int>(exitCode));
}
