// Uninstall.exe with no display and no scripted answers: its question is
// asked on the terminal. Under a pseudo-terminal, the answer typed decides;
// with standard input not a terminal, the default button is taken and said.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>
#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

#include "child_process.h"
#include "vttest.h"

extern char** environ;

namespace {

constexpr const char* kFiles[] = {"Velto.exe", "Velto.hlp", "Velto.dll"};
constexpr const char* kKey = "Software\\Tollerbay\\Vellumtide";
constexpr const char* kPrompt = "[Yes/No, default Yes]: ";

void CreateKey(const char* path) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr,
                            REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

bool KeyExists(const char* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) !=
      ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

// The uninstaller run on a pseudo-terminal: its standard input, output and
// error are the terminal's other end.
class TerminalChild {
 public:
  TerminalChild(const std::string& folder, const std::string& root) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    std::string slave = ptsname(master_);
    std::string program = vt::proctest::OutputFolder() + "/Uninstall.exe";
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      std::string entry = *e;
      if (entry.rfind("VELLUMTIDE_", 0) == 0 || entry.rfind("DISPLAY=", 0) == 0)
        continue;
      env.push_back(entry);
    }
    env.push_back("VELLUMTIDE_ROOT=" + root);
    env.push_back("VELLUMTIDE_DRIVER=null");
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
      setsid();
      int fd = open(slave.c_str(), O_RDWR);
      if (fd < 0) _exit(126);
      dup2(fd, 0);
      dup2(fd, 1);
      dup2(fd, 2);
      if (fd > 2) close(fd);
      if (chdir(folder.c_str()) != 0) _exit(126);
      char* argv[] = {program.data(), nullptr};
      execve(program.c_str(), argv, envp.data());
      _exit(127);
    }
  }
  ~TerminalChild() {
    if (pid_ > 0 && !reaped_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) close(master_);
  }

  bool started() const { return master_ >= 0 && pid_ > 0; }

  // Reads what the program writes until text appears after what was read
  // up to before, the terminal closes or ten seconds pass; returns whether
  // text appeared.
  bool ReadUntil(const std::string& text) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
      std::size_t at = said_.find(text, seen_);
      if (at != std::string::npos) {
        seen_ = at + text.size();
        return true;
      }
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                      deadline - std::chrono::steady_clock::now())
                      .count();
      if (left <= 0) return false;
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
      char buffer[512];
      ssize_t n = read(master_, buffer, sizeof buffer);
      if (n <= 0) return false;  // EIO: the program closed the terminal
      said_.append(buffer, static_cast<std::size_t>(n));
    }
  }

  void Type(const std::string& text) {
    ASSERT_EQ(write(master_, text.data(), text.size()),
              static_cast<ssize_t>(text.size()));
  }

  // Waits (bounded) for the program to end; its exit code, or -1.
  int Finish() {
    ReadUntil("\x01never said\x01");  // drains until the terminal closes
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) return -1;
      pollfd none{-1, 0, 0};
      poll(&none, 0, 10);
    }
    reaped_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  const std::string& said() const { return said_; }

 private:
  int master_ = -1;
  pid_t pid_ = -1;
  bool reaped_ = false;
  std::string said_;
  std::size_t seen_ = 0;
};

struct Installed {
  vt::testing::ScopedSystemRoot root;
  vt::proctest::TempFolder folder;
  Installed() {
    CreateKey("Software\\Tollerbay");
    CreateKey(kKey);
    for (const char* file : kFiles) folder.Write(file, "program file");
  }
  bool Removed() const {
    if (KeyExists(kKey)) return false;
    for (const char* file : kFiles) {
      if (vt::proctest::FileExists(folder.path() + "/" + file)) return false;
    }
    return true;
  }
  bool Untouched() const {
    if (!KeyExists(kKey)) return false;
    for (const char* file : kFiles) {
      if (!vt::proctest::FileExists(folder.path() + "/" + file)) return false;
    }
    return true;
  }
};

TEST(UninstallOnATerminal, TheAnswerTypedDecides) {
  struct Case {
    const char* what;
    std::vector<std::string> typed;  // one per prompt
    bool removed;
  } cases[] = {
      {"n leaves everything", {"n\n"}, false},
      {"No in capitals too", {"NO\n"}, false},
      {"y deletes", {"y\n"}, true},
      {"an empty line takes the default, Yes", {"\n"}, true},
      {"an unknown answer is asked again", {"maybe\n", "no\n"}, false},
      {"the end of input takes No", {"\x04"}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Installed setup;
    TerminalChild child(setup.folder.path(), setup.root.path());
    ASSERT_TRUE(child.started());
    for (const auto& answer : c.typed) {
      ASSERT_TRUE(child.ReadUntil(kPrompt)) << child.said();
      child.Type(answer);
    }
    EXPECT_EQ(child.Finish(), 0) << child.said();
    EXPECT_NE(child.said().find("Vellumtide Un-Install: Are you sure you want "
                                "to delete Vellumtide"),
              std::string::npos)
        << child.said();
    if (c.removed) {
      EXPECT_TRUE(setup.Removed()) << child.said();
    } else {
      EXPECT_TRUE(setup.Untouched()) << child.said();
    }
  }
}

TEST(UninstallOnATerminal, WithoutATerminalTheDefaultIsTakenAndSaid) {
  Installed setup;
  vt::proctest::ChildOptions options;
  options.argv = {vt::proctest::OutputFolder() + "/Uninstall.exe"};
  options.directory = setup.folder.path();
  options.environment = {{"VELLUMTIDE_ROOT", setup.root.path()},
                         {"VELLUMTIDE_DRIVER", "null"}};
  options.unset = {"DISPLAY", "VELLUMTIDE_ANSWERS"};
  std::string err;
  vt::proctest::ChildExit end = vt::proctest::RunToEnd(options, nullptr, &err);
  ASSERT_TRUE(end.exited) << err;
  EXPECT_EQ(end.exitCode, 0);
  EXPECT_NE(err.find("no terminal to ask \"Vellumtide Un-Install\" (Yes/No); "
                     "taking the default button, Yes"),
            std::string::npos)
      << err;
  EXPECT_TRUE(setup.Removed()) << err;
}

}  // namespace
