// The whole program on the calling thread: RunVellumtide as WinMain runs
// it, with the person's actions queued by WhenIdle to run inside its message
// loop, a system root of its own and the finger service on a free port.
// Each case must end by itself (a start-up failure, "Stop Server", a
// listener error); a watchdog posts a quit should it not.
//
// The program starts one listener thread per process and never stops it, so
// a test executable runs at most one case whose listener keeps running, and
// that one last.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "app/app_globals.h"
#include "app/velto_app.h"
#include "presence/idle_monitor.h"
#include "resources/resource.h"
#include "settings/config_window_fixture.h"
#include "tests/app/tcp_ports.h"

namespace wholeprogram {

using configtest::StoredText;

// Posts a quit to the thread that made it if it is still alive after the
// bound, so a loop that never ends fails the test instead of hanging it.
class LoopWatchdog {
 public:
  LoopWatchdog() : thread_(GetCurrentThreadId()) {
    watcher_ = std::thread([this] {
      std::unique_lock<std::mutex> hold(lock_);
      if (!done_.wait_for(hold, std::chrono::seconds(20),
                          [this] { return finished_; })) {
        fired_ = true;
        PostThreadMessageA(thread_, WM_QUIT, 99, 0);
      }
    });
  }
  ~LoopWatchdog() {
    {
      std::lock_guard<std::mutex> hold(lock_);
      finished_ = true;
    }
    done_.notify_all();
    watcher_.join();
  }
  bool fired() {
    std::lock_guard<std::mutex> hold(lock_);
    return fired_;
  }

 private:
  DWORD thread_;
  std::mutex lock_;
  std::condition_variable done_;
  bool finished_ = false;
  bool fired_ = false;
  std::thread watcher_;
};

class WholeProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    configtest::ResetPresence();
    port_ = vt::proctest::FreeTcpPort();
    root_.WriteServices("finger " + std::to_string(port_) + "/tcp\n");
    char directory[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof directory, directory);
    previousDirectory_ = directory;
  }

  void TearDown() override {
    SetCurrentDirectoryA(previousDirectory_.c_str());
    SetActivityMonitor(0);
    if (configWindow != nullptr) DestroyWindow(configWindow);
    if (mainWindow != nullptr) DestroyWindow(mainWindow);
    if (appAccelerators != nullptr) DestroyAcceleratorTable(appAccelerators);
    if (appMenu != nullptr) DestroyMenu(appMenu);
    UnregisterClassA("VeltoClass", appInstance);
    configWindow = nullptr;
    mainWindow = nullptr;
    appAccelerators = nullptr;
    appMenu = nullptr;
    popupMenu = nullptr;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    configtest::ResetPresence();
  }

  // Where Velto.dll is, so the activity monitor can come on.
  void RunBesideTheHookLibrary() const {
    const char* out = std::getenv("VT_OUT");
    ASSERT_NE(out, nullptr);
    ASSERT_TRUE(SetCurrentDirectoryA(out));
  }

  int Run() {
    LoopWatchdog watchdog;
    int result = RunVellumtide(GetModuleHandleA(nullptr), nullptr);
    EXPECT_FALSE(watchdog.fired()) << "the program did not end by itself";
    return result;
  }

  static void ExpectIconAddedThenRemoved() {
    auto calls = vt::testing::TrayCalls();
    ASSERT_GE(calls.size(), 2u);
    const auto& added = calls.front();
    EXPECT_EQ(added.message, NIM_ADD);
    EXPECT_EQ(added.data.structSize, 88u);
    EXPECT_EQ(added.data.owner, configWindow);
    EXPECT_EQ(added.data.id, 110u);
    EXPECT_EQ(added.data.flags, 7u);
    EXPECT_EQ(added.data.callbackMessage, 32868u);
    EXPECT_NE(added.data.icon, nullptr);
    EXPECT_EQ(added.data.tip, "Velto (Status: Here)");
    EXPECT_EQ(calls.back().message, NIM_DELETE);
    EXPECT_EQ(calls.back().data.tip, "Vellumtide Status");
    EXPECT_FALSE(vt::testing::TrayIcon().present);
  }

  // Shut-down turned the monitor off if it can be turned on again now.
  static void ExpectHooksOff() {
    EXPECT_EQ(SetActivityMonitor(1), 1);
    EXPECT_EQ(SetActivityMonitor(0), 1);
  }

  vt::testing::ScopedSystemRoot root_;
  int port_ = 0;
  std::string previousDirectory_;
};

}  // namespace wholeprogram
