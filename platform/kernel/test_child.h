// Runs a child process for a test: its arguments, optional standard input,
// and back its exit status and standard output, within a time limit so a
// child that hangs fails the test instead of stalling it.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

extern char** environ;

namespace vt::testchild {

struct Result {
  int status = -1;  // the exit code, or 128 + signal
  std::string out;
  std::string err;
  bool timedOut = false;
};

inline int DecodeStatus(int raw) {
  if (WIFEXITED(raw)) return WEXITSTATUS(raw);
  if (WIFSIGNALED(raw)) return 128 + WTERMSIG(raw);
  return -1;
}

// A started child with pipes to its three standard streams.
class Child {
 public:
  explicit Child(const std::vector<std::string>& argv) {
    // A child that ends before reading its input must not take the test
    // down with SIGPIPE.
    signal(SIGPIPE, SIG_IGN);
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 ||
        pipe2(err, O_CLOEXEC) != 0) {
      return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) !=
        0) {
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    close(err[1]);
    in_ = in[1];
    out_ = out[0];
    err_ = err[0];
  }
  ~Child() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    for (int fd : {in_, out_, err_}) {
      if (fd >= 0) close(fd);
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  void Write(const std::string& text) {
    if (in_ >= 0 && !text.empty()) {
      [[maybe_unused]] auto written = write(in_, text.data(), text.size());
    }
  }
  void CloseInput() {
    if (in_ >= 0) close(in_);
    in_ = -1;
  }
  // Reads standard output until a line holding text arrives, or the limit.
  bool WaitForOutput(const std::string& text, int timeoutMs = 20000) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (result_.out.find(text) == std::string::npos) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
      if (left <= 0 || !ReadSome(out_, result_.out, static_cast<int>(left))) {
        return false;
      }
    }
    return true;
  }
  // Waits for the child to end, reading what it writes; kills it at the
  // limit.
  Result Finish(int timeoutMs = 20000) {
    CloseInput();
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool outOpen = true, errOpen = true;
    while (outOpen || errOpen) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
      if (left <= 0) {
        result_.timedOut = true;
        kill(pid_, SIGKILL);
        break;
      }
      pollfd fds[2] = {{outOpen ? out_ : -1, POLLIN, 0},
                       {errOpen ? err_ : -1, POLLIN, 0}};
      if (poll(fds, 2, static_cast<int>(left)) < 0) continue;
      if (fds[0].revents != 0) outOpen = ReadOnce(out_, result_.out);
      if (fds[1].revents != 0) errOpen = ReadOnce(err_, result_.err);
    }
    int raw = 0;
    waitpid(pid_, &raw, 0);
    pid_ = -1;
    result_.status = DecodeStatus(raw);
    return result_;
  }

 private:
  static bool ReadOnce(int fd, std::string& into) {
    char buffer[4096];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got > 0) into.append(buffer, static_cast<std::size_t>(got));
    return got > 0 || (got < 0 && errno == EINTR);
  }
  static bool ReadSome(int fd, std::string& into, int timeoutMs) {
    pollfd one{fd, POLLIN, 0};
    if (poll(&one, 1, timeoutMs) <= 0) return false;
    return ReadOnce(fd, into);
  }

  pid_t pid_ = -1;
  int in_ = -1, out_ = -1, err_ = -1;
  Result result_;
};

inline Result Run(const std::vector<std::string>& argv,
                  const std::string& input = {}, int timeoutMs = 20000) {
  Child child(argv);
  if (!child.started()) return {};
  child.Write(input);
  return child.Finish(timeoutMs);
}

}  // namespace vt::testchild
