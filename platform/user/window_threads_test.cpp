// A window procedure runs only on its window's thread: window calls made on
// another thread, and what a driver reports from its own, are carried over
// to the owner. A termination request that comes before any window waits
// for the first one.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "platform/internal/driver.h"
#include "platform/internal/platform.h"
#include "platform/user/user_internal.h"
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

namespace {

TEST_F(WindowThreads, ParentsArePaintedBeforeTheirChildren) {
  HWND parent = NewRecorder("parent");
  // Several children, so that no order of the window table can pass by
  // luck.
  std::vector<HWND> children;
  for (int i = 0; i < 6; ++i) {
    children.push_back(
        NewRecorder("child", WS_CHILD | WS_VISIBLE, parent, 10 + i));
  }
  HWND grandchild =
      NewRecorder("grandchild", WS_CHILD | WS_VISIBLE, children.back(), 30);
  std::vector<HWND> painted;
  SetBehaviour([&](HWND w, UINT m, WPARAM, LPARAM, LRESULT*) {
    if (m == WM_PAINT) painted.push_back(w);
    return false;
  });
  ShowWindow(parent, SW_SHOW);
  vt::testing::PumpPending();
  ASSERT_EQ(painted.size(), 8u);
  EXPECT_EQ(painted.front(), parent);
  auto at = [&](HWND w) {
    return std::find(painted.begin(), painted.end(), w) - painted.begin();
  };
  EXPECT_LT(at(children.back()), at(grandchild));
}

}  // namespace

namespace {

std::atomic<bool> gHookEntered{false};
std::atomic<bool> gHookRelease{false};
std::atomic<bool> gUnhookReturned{false};
std::atomic<bool> gUnhookReturnedBeforeHookEnded{false};

LRESULT CALLBACK SlowHook(int code, WPARAM wParam, LPARAM lParam) {
  gHookEntered = true;
  vt::user_test::WaitFor([] { return gHookRelease.load(); });
  gUnhookReturnedBeforeHookEnded = gUnhookReturned.load();
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool StillListed(HHOOK hook) {
  vt::user::Lock lock(vt::user::S().mutex);
  for (auto& h : vt::user::S().hooks) {
    if (h.handle == hook) return true;
  }
  return false;
}

TEST_F(WindowThreads, UnhookWaitsForACallRunningOnAnotherThread) {
  gHookEntered = gHookRelease = gUnhookReturned = false;
  gUnhookReturnedBeforeHookEnded = false;
  HHOOK hook = SetWindowsHookExA(WH_KEYBOARD, SlowHook, nullptr, 0);
  ASSERT_NE(hook, nullptr);
  // The hook runs on the input thread; the key's delivery is awaited by a
  // thread of its own.
  std::thread typist([] { vt::testing::DesktopKey('Q'); });
  ASSERT_TRUE(vt::user_test::WaitFor([] { return gHookEntered.load(); }));
  std::thread unhooker([hook] {
    EXPECT_TRUE(UnhookWindowsHookEx(hook));
    gUnhookReturned = true;
  });
  // Once the hook is off the list, the unhook is waiting for the call.
  ASSERT_TRUE(vt::user_test::WaitFor([hook] { return !StillListed(hook); }));
  gHookRelease = true;
  unhooker.join();
  typist.join();
  EXPECT_FALSE(gUnhookReturnedBeforeHookEnded);
}

}  // namespace

namespace {

DWORD WINAPI ThreadWithAWindow(LPVOID parameter) {
  auto* made = static_cast<std::atomic<HWND>*>(parameter);
  HWND window = NewRecorder("thread's own");
  ShowWindow(window, SW_SHOW);
  SetForegroundWindow(window);
  *made = GetForegroundWindow() == window ? window : nullptr;
  return 0;  // ends without destroying it
}

TEST_F(WindowThreads, AThreadsHandleIsSignalledAfterItsWindowsAreGone) {
  HWND mine = NewRecorder("stays");
  ShowWindow(mine, SW_SHOW);
  std::atomic<HWND> theirs{nullptr};
  HANDLE thread =
      CreateThread(nullptr, 0, ThreadWithAWindow, &theirs, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  CloseHandle(thread);
  ASSERT_NE(theirs.load(), nullptr);
  EXPECT_FALSE(IsWindow(theirs.load()));
  EXPECT_EQ(GetForegroundWindow(), mine) << "the next window comes forward";
}

}  // namespace
