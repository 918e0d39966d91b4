// Real processes for the process-level tests: start a program of the output
// folder with its own environment and folder, watch its standard error, send
// it signals, and wait for it with a bound, so a hung child fails the test
// instead of stalling it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tcp_ports.h"

namespace vt::proctest {

struct ChildOptions {
  std::vector<std::string> argv;  // argv[0] is the program's path
  std::string directory;          // empty: the test's own
  // Variables set on top of the test's own environment, and variables
  // removed from it.
  std::vector<std::pair<std::string, std::string>> environment;
  std::vector<std::string> unset;
};

struct ChildExit {
  bool exited = false;    // ended by itself with exitCode
  int exitCode = -1;      // 0..255
  int signal = 0;         // the signal that ended it, if one did
  bool timedOut = false;  // killed because it outlived the bound
};

class Child {
 public:
  explicit Child(const ChildOptions& options);
  ~Child();  // kills a child that still runs
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  bool Running();
  void Signal(int signal);
  // Waits up to timeout for the child to end; kills it after that.
  ChildExit Wait(std::chrono::milliseconds timeout);
  std::string Stdout() const;
  std::string Stderr() const;

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
  ChildExit exit_;
  std::string folder_;  // holds the two files below; empty if not made
  std::string outPath_;
  std::string errPath_;
};

// Runs a program to its end (bounded) and returns how it ended.
ChildExit RunToEnd(
    const ChildOptions& options, std::string* out, std::string* err,
    std::chrono::milliseconds timeout = std::chrono::seconds(20));

// Polls done every 10 ms until it holds or timeout passes; returns done().
bool WaitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds timeout);

// Connects to 127.0.0.1:port, sends request, and reads the reply until the
// peer closes (bounded). False when no connection could be made.
bool FingerLocal(int port, const std::string& request, std::string* reply,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10));

// A fresh folder below the system temporary folder, removed with its
// contents by the destructor.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }
  std::string Write(const std::string& name, const std::string& text) const;

 private:
  std::string path_;
};

bool FileExists(const std::string& path);
std::string ReadFile(const std::string& path);
// The output folder (VT_OUT) and source folder (VT_SOURCE) of the build.
std::string OutputFolder();
std::string SourceFolder();
// How many times needle occurs in haystack.
int CountOf(const std::string& haystack, const std::string& needle);

}  // namespace vt::proctest
