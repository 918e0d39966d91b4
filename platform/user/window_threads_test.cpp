// A window procedure runs only on its window's thread: window calls made on
// another thread, and what a driver reports from its own, are carried over
// to the owner. A termination request that comes before any window waits
// for the first one.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "platform/internal/driver.h"
#include "platform/internal/platform.h"
#include "platform/user/user_test_support.h"
#include "vttest.h"

namespace {

using vt::user_test::Log;
using vt::user_test::NewRecorder;
using vt::user_test::Row;
using vt::user_test::SetBehaviour;

class WindowThreads : public vt::user_test::UserTest {};

// The thread each watched message ran on.
class Threads {
 public:
  void Watch(HWND window) {
    SetBehaviour([this, window](HWND w, UINT m, WPARAM, LPARAM, LRESULT*) {
      if (w == window) {
        std::lock_guard<std::mutex> lock(mutex_);
        seen_[m] = GetCurrentThreadId();
      }
      return false;
    });
  }
  DWORD Of(UINT message) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = seen_.find(message);
    return it == seen_.end() ? 0 : it->second;
  }

 private:
  std::mutex mutex_;
  std::map<UINT, DWORD> seen_;
};

TEST_F(WindowThreads, CallsOnAnotherThreadsWindowRunItsProcedureOnItsThread) {
  struct Case {
    const char* call;
    std::function<BOOL(HWND)> make;
    UINT message;  // one the call makes the procedure see
    BOOL result;
  } cases[] = {
      // ShowWindow answers whether the window was visible before.
      {"ShowWindow", [](HWND w) { return ShowWindow(w, SW_SHOW); },
       WM_SHOWWINDOW, FALSE},
      {"SetWindowPos",
       [](HWND w) {
         return SetWindowPos(w, nullptr, 40, 50, 300, 200, SWP_NOZORDER);
       },
       WM_SIZE, TRUE},
      {"MoveWindow",
       [](HWND w) { return MoveWindow(w, 70, 80, 300, 200, TRUE); }, WM_MOVE,
       TRUE},
      {"DestroyWindow", [](HWND w) { return DestroyWindow(w); }, WM_DESTROY,
       TRUE},
  };
  HWND window = NewRecorder("owned here");
  Threads threads;
  threads.Watch(window);
  const DWORD here = GetCurrentThreadId();
  for (auto& c : cases) {
    SCOPED_TRACE(c.call);
    std::atomic<bool> done{false};
    std::atomic<BOOL> result{-1};
    std::atomic<DWORD> caller{0};
    std::thread other([&] {
      caller = GetCurrentThreadId();
      result = c.make(window);
      done = true;
    });
    // The owner answers while the other thread waits for it.
    EXPECT_TRUE(vt::testing::PumpUntil([&] { return done.load(); }));
    other.join();
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(threads.Of(c.message), here) << "not " << caller;
  }
  EXPECT_FALSE(IsWindow(window));
  RECT r{};
  EXPECT_FALSE(GetWindowRect(window, &r));
}

TEST_F(WindowThreads, WhatADriverReportsIsHandledOnTheWindowsThread) {
  HWND window = NewRecorder("reported");
  ShowWindow(window, SW_SHOW);
  Threads threads;
  threads.Watch(window);
  Log::Get().Watch({WM_SYSCOMMAND, WM_CLOSE});
  std::atomic<bool> delivered{false};
  // As a driver's own thread reports: a move by the desktop, then a close.
  std::thread driver([&] {
    vt::platform::WindowEvent moved;
    moved.kind = vt::platform::WindowEventKind::Moved;
    moved.window = window;
    moved.rect = RECT{100, 120, 400, 320};
    EXPECT_TRUE(vt::platform::DeliverWindowEvent(moved));
    vt::platform::WindowEvent close;
    close.kind = vt::platform::WindowEventKind::CloseRequested;
    close.window = window;
    EXPECT_TRUE(vt::platform::DeliverWindowEvent(close));
    delivered = true;
  });
  driver.join();
  EXPECT_EQ(threads.Of(WM_MOVE), 0u) << "nothing runs on the driver's thread";
  EXPECT_TRUE(vt::testing::PumpUntil([&] { return !IsWindow(window); }));
  const DWORD here = GetCurrentThreadId();
  EXPECT_EQ(threads.Of(WM_MOVE), here);
  EXPECT_EQ(threads.Of(WM_SIZE), here);
  EXPECT_EQ(Log::Get().Take(),
            (std::vector<Row>{{WM_SYSCOMMAND, SC_CLOSE, 0}, {WM_CLOSE, 0, 0}}));
  vt::platform::WindowEvent late;
  late.kind = vt::platform::WindowEventKind::Exposed;
  late.window = window;
  EXPECT_FALSE(vt::platform::DeliverWindowEvent(late)) << "the window is gone";
}

TEST_F(WindowThreads, ATerminationBeforeAnyWindowClosesTheFirstOneMade) {
  ASSERT_TRUE(vt::testing::TopLevelWindows().empty());
  std::thread watcher([] { vt::platform::OnTerminationRequest(); });
  watcher.join();
  EXPECT_TRUE(vt::platform::TerminationPending());
  Log::Get().Watch({WM_CLOSE});
  HWND first = NewRecorder("first");
  EXPECT_FALSE(vt::platform::TerminationPending()) << "the window took it";
  EXPECT_TRUE(vt::testing::PumpUntil([&] { return !IsWindow(first); }));
  EXPECT_EQ(Log::Get().Take(), (std::vector<Row>{{WM_CLOSE, 0, 0}}));
  HWND second = NewRecorder("second");
  vt::testing::PumpPending();
  EXPECT_TRUE(IsWindow(second)) << "the request was delivered once";
}

}  // namespace
