// Velto.exe as a real process with a system root of its own: one copy only,
// the start-up failures, and a clean end on SIGTERM. The daemon runs
// headless and serves finger on a free port that the root's services file
// names; message boxes are answered by the headless driver and written to
// its standard error as "caption: text".
#include <gtest/gtest.h>
#include <signal.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "child_process.h"
#include "vttest.h"

namespace {

using namespace std::chrono_literals;
using vt::proctest::Child;
using vt::proctest::ChildExit;
using vt::proctest::ChildOptions;

constexpr const char* kAlreadyRunning =
    "Velto Error: Vellumtide is already running";
constexpr const char* kNoLibrary =
    "Velto Error: Cannot find Velto.DLL\nIn the current directory";
constexpr const char* kNoMonitor =
    "Velto Error: Could not set up to monitor mouse\nand/or keyboard messages";
constexpr const char* kCannotBind =
    "Velto Error 04: Cannot bind server to socket";

class DaemonProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = vt::proctest::FreeTcpPort();
    root_.WriteServices("finger " + std::to_string(port_) + "/tcp\n");
  }

  // Velto.exe from folder (the output folder unless another is given),
  // started there, headless.
  ChildOptions DaemonOptions(const std::string& folder = "") const {
    std::string where = folder.empty() ? vt::proctest::OutputFolder() : folder;
    ChildOptions options;
    options.argv = {where + "/Velto.exe"};
    options.directory = where;
    options.environment = {{"VELLUMTIDE_DRIVER", "null"},
                           {"VELLUMTIDE_ROOT", root_.path()}};
    options.unset = {"DISPLAY", "VELLUMTIDE_ANSWERS"};
    return options;
  }

  // True once the daemon answers an empty finger query.
  bool Serving() const {
    std::string reply;
    return vt::proctest::FingerLocal(port_, "\r\n", &reply, 2s) &&
           reply.find("Login:") != std::string::npos;
  }

  bool WaitServing(Child& daemon) const {
    return vt::proctest::WaitUntil(
               [&] { return !daemon.Running() || Serving(); }, 10s) &&
           daemon.Running();
  }

  vt::testing::ScopedSystemRoot root_;
  int port_ = 0;
};

TEST_F(DaemonProcess, SecondCopyShowsAlreadyRunningAndLeavesTheFirst) {
  Child first(DaemonOptions());
  ASSERT_TRUE(WaitServing(first)) << first.Stderr();
  EXPECT_NE(FindWindowA("VeltoClass", nullptr), nullptr);

  std::string err;
  ChildExit second = vt::proctest::RunToEnd(DaemonOptions(), nullptr, &err);
  EXPECT_TRUE(second.exited);
  EXPECT_EQ(second.exitCode, 0);
  EXPECT_NE(err.find(kAlreadyRunning), std::string::npos) << err;

  EXPECT_TRUE(first.Running());
  EXPECT_TRUE(Serving());
  EXPECT_EQ(first.Stderr().find("Velto Error"), std::string::npos)
      << first.Stderr();
  first.Signal(SIGTERM);
  EXPECT_TRUE(first.Wait(10s).exited);
}

TEST_F(DaemonProcess, SigtermEndsAHeadlessDaemonCleanly) {
  Child daemon(DaemonOptions());
  ASSERT_TRUE(WaitServing(daemon)) << daemon.Stderr();
  daemon.Signal(SIGTERM);
  ChildExit end = daemon.Wait(10s);
  EXPECT_FALSE(end.timedOut);
  EXPECT_TRUE(end.exited) << "signal " << end.signal;
  EXPECT_EQ(end.exitCode, 0);
  EXPECT_EQ(daemon.Stderr().find("Velto Error"), std::string::npos)
      << daemon.Stderr();
  // Its window and its listener went with it.
  EXPECT_EQ(FindWindowA("VeltoClass", nullptr), nullptr);
  std::string reply;
  EXPECT_FALSE(vt::proctest::FingerLocal(port_, "\r\n", &reply, 2s));
}

TEST_F(DaemonProcess, WithoutTheHookLibraryBothMessagesComeAndItEnds) {
  // A folder with the program and the platform but no Velto.dll.
  vt::proctest::TempFolder folder;
  namespace fs = std::filesystem;
  for (const char* name : {"Velto.exe", "Velto.hlp"}) {
    fs::copy_file(vt::proctest::OutputFolder() + "/" + name,
                  folder.path() + "/" + name);
  }
  std::string err;
  ChildExit end =
      vt::proctest::RunToEnd(DaemonOptions(folder.path()), nullptr, &err);
  EXPECT_TRUE(end.exited);
  EXPECT_EQ(end.exitCode, 0);
  size_t library = err.find(kNoLibrary);
  size_t monitor = err.find(kNoMonitor);
  ASSERT_NE(library, std::string::npos) << err;
  ASSERT_NE(monitor, std::string::npos) << err;
  EXPECT_LT(library, monitor);
  // The listener was never started.
  EXPECT_FALSE(Serving());
}

TEST_F(DaemonProcess, FingerPortTakenShowsError04AndEnds) {
  int held = vt::proctest::HoldTcpPort(port_);
  ASSERT_GE(held, 0);
  std::string err;
  ChildExit end = vt::proctest::RunToEnd(DaemonOptions(), nullptr, &err);
  vt::proctest::CloseSocket(held);
  EXPECT_FALSE(end.timedOut);
  EXPECT_TRUE(end.exited);
  EXPECT_EQ(end.exitCode, 0);
  EXPECT_EQ(vt::proctest::CountOf(err, kCannotBind), 1) << err;
}

}  // namespace
