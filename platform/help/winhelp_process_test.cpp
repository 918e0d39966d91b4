// WinHelpA with the winhelp program as a real process: the help file found
// by the rules, one viewer reused for the same file, HELP_QUIT ending it,
// and a missing file as the viewer's own message.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include "vttest.h"

namespace {

constexpr char kViewerClass[] = "VtHelpViewer";

// Waits for condition, checking it often. The wait is bounded (well within
// the watchdog) so that a failure still reaches TearDown, which ends a
// viewer left running.
bool WaitFor(const char* what, const std::function<bool()>& condition) {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) {
      ADD_FAILURE() << "waited 20 s in vain for " << what;
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

std::string Caption(HWND window) {
  char text[256] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

// The test's own root, its current folder inside it, and the built viewer;
// any viewer still running at the end is ended.
class ViewerProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("VELLUMTIDE_DRIVER", "null", 1);
    root_ = std::getenv("VELLUMTIDE_ROOT");
    work_ = root_ + "/work";
    std::filesystem::create_directories(work_);
    ASSERT_NE(::getcwd(previous_, sizeof previous_), nullptr);
    ASSERT_EQ(::chdir(work_.c_str()), 0);
    vt::testing::UseHelpViewer(VT_WINHELP);
  }
  void TearDown() override {
    if (HWND viewer = FindWindowA(kViewerClass, nullptr)) {
      DWORD pid = 0;
      GetWindowThreadProcessId(viewer, &pid);
      if (pid != 0) ::kill(static_cast<pid_t>(pid), SIGKILL);
    }
    EXPECT_EQ(::chdir(previous_), 0);
  }

  std::size_t RunningViewers() const {
    std::size_t count = 0;
    std::error_code missing;
    for (const auto& entry :
         std::filesystem::directory_iterator(root_ + "/run", missing)) {
      if (entry.path().filename().string().rfind("vthelpviewer.", 0) == 0)
        ++count;
    }
    return count;
  }

  std::string root_;
  std::string work_;
  char previous_[PATH_MAX] = {};
};

TEST_F(ViewerProcess, OpensTheIndexAndATopicReusesTheViewerAndQuits) {
  std::filesystem::copy_file(VT_HELP_FILE, work_ + "/Velto.hlp");
  // The run/ folder does not exist yet, and nothing here makes it before
  // the viewer's window is there: the viewer must make it for its socket.
  std::filesystem::remove_all(root_ + "/run");
  // Found in the current folder, its name in another case.
  ASSERT_TRUE(WinHelpA(nullptr, "VELTO.HLP", HELP_INDEX, 0));
  ASSERT_EQ(vt::testing::HelpRequests().size(), 1u);
  EXPECT_TRUE(vt::testing::HelpRequests()[0].startedViewer);
  ASSERT_TRUE(
      WaitFor("the viewer's entry", [&] { return RunningViewers() == 1; }));
  HWND viewer = nullptr;
  ASSERT_TRUE(WaitFor("the viewer window", [&] {
    return (viewer = FindWindowA(kViewerClass, nullptr)) != nullptr;
  }));
  // A remote window's caption is read afresh by FindWindowA.
  WaitFor("the index caption", [&] {
    return Caption(FindWindowA(kViewerClass, nullptr)) == "Velto.hlp - Index";
  });
  DWORD pid = 0;
  GetWindowThreadProcessId(viewer, &pid);
  EXPECT_NE(pid, 0u);
  EXPECT_NE(pid, GetCurrentProcessId());

  // request, keyword, caption that follows
  const struct {
    UINT command;
    const char* keyword;
    const char* caption;
  } kRequests[] = {
      {HELP_KEY, "Away Locked", "Away Locked"},
      {HELP_INDEX, nullptr, "Velto.hlp - Index"},
      {HELP_KEY, "keys", "Keys"},
      {HELP_CONTENTS, nullptr, "Velto.hlp - Index"},
  };
  for (const auto& r : kRequests) {
    vt::testing::Reset();
    vt::testing::UseHelpViewer(VT_WINHELP);
    ASSERT_TRUE(WinHelpA(nullptr, (work_ + "/Velto.hlp").c_str(), r.command,
                         reinterpret_cast<ULONG_PTR>(r.keyword)));
    const auto record = vt::testing::HelpRequests().at(0);
    EXPECT_TRUE(record.reachedViewer) << r.caption;
    EXPECT_FALSE(record.startedViewer) << r.caption;
    WaitFor("the requested caption", [&] {
      HWND now = FindWindowA(kViewerClass, nullptr);
      return now != nullptr && Caption(now) == r.caption;
    });
    DWORD samePid = 0;
    GetWindowThreadProcessId(FindWindowA(kViewerClass, nullptr), &samePid);
    EXPECT_EQ(samePid, pid);
    EXPECT_EQ(RunningViewers(), 1u);
  }

  ASSERT_TRUE(WinHelpA(nullptr, "Velto.hlp", HELP_QUIT, 0));
  EXPECT_TRUE(vt::testing::HelpRequests().back().reachedViewer);
  WaitFor("the viewer to end",
          [&] { return FindWindowA(kViewerClass, nullptr) == nullptr; });
  // With no viewer left, a quit reaches nobody and starts nothing.
  vt::testing::Reset();
  vt::testing::UseHelpViewer(VT_WINHELP);
  EXPECT_TRUE(WinHelpA(nullptr, "Velto.hlp", HELP_QUIT, 0));
  EXPECT_FALSE(vt::testing::HelpRequests().at(0).reachedViewer);
  EXPECT_FALSE(vt::testing::HelpRequests().at(0).startedViewer);
}

TEST_F(ViewerProcess, AMissingHelpFileIsTheViewersMessage) {
  // The viewer writes its message where this process's standard error goes;
  // for this test that is a file.
  const std::string errors = root_ + "/viewer-errors.txt";
  const int saved = ::dup(STDERR_FILENO);
  const int file = ::open(errors.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
  ASSERT_GE(file, 0);
  ::dup2(file, STDERR_FILENO);
  const BOOL started = WinHelpA(nullptr, "Missing.hlp", HELP_INDEX, 0);
  ::dup2(saved, STDERR_FILENO);
  ::close(saved);
  ::close(file);
  EXPECT_TRUE(started);
  const std::string expected =
      "Windows Help: Cannot find the help file Missing.hlp.";
  std::string text;
  WaitFor("the viewer's message", [&] {
    std::ifstream in(errors);
    std::stringstream all;
    all << in.rdbuf();
    text = all.str();
    return text.find(expected) != std::string::npos;
  });
  EXPECT_EQ(FindWindowA(kViewerClass, nullptr), nullptr);
}

}  // namespace
