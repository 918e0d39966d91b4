// Queues and messages: sends within and across threads, the order in which
// a loop sees things, quits, timers, and windows that go away while someone
// waits on them.
#include <atomic>
#include <thread>

#include "platform/internal/platform.h"
#include "platform/user/user_internal.h"
#include "platform/user/user_test_support.h"

namespace {

using vt::user_test::Log;
using vt::user_test::NewRecorder;
using vt::user_test::Row;
using vt::user_test::SetBehaviour;
using vt::user_test::WaitFor;

class Messages : public vt::user_test::UserTest {};

// A thread that owns one recorder window and pumps until it is told to
// quit.
class PumpingThread {
 public:
  PumpingThread() {
    thread_ = std::thread([this] {
      window_ = NewRecorder("worker");
      threadId_ = GetCurrentThreadId();
      ready_ = true;
      MSG msg;
      while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
    });
    WaitFor([this] { return ready_.load(); });
  }
  ~PumpingThread() {
    PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    thread_.join();
  }
  HWND window() const { return window_; }

 private:
  std::thread thread_;
  std::atomic<bool> ready_{false};
  HWND window_ = nullptr;
  DWORD threadId_ = 0;
};

std::size_t PendingSends(DWORD threadId) {
  vt::user::Lock lock(vt::user::S().mutex);
  auto queue = vt::user::QueueOf(threadId);
  return queue ? queue->sent.size() : 0;
}

TEST_F(Messages, SameThreadSendIsADirectCall) {
  HWND w = NewRecorder();
  std::atomic<int> inSend{-1};
  SetBehaviour([&](HWND, UINT m, WPARAM wp, LPARAM, LRESULT* r) {
    if (m != WM_USER) return false;
    inSend = InSendMessage();
    *r = static_cast<LRESULT>(wp) + 1;
    return true;
  });
  EXPECT_EQ(SendMessageA(w, WM_USER, 6, 0), 7);
  EXPECT_EQ(inSend, FALSE);
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE));
}

TEST_F(Messages, CrossThreadSendWaitsForTheAnswer) {
  PumpingThread worker;
  std::atomic<int> inSend{-1};
  std::atomic<DWORD> handledOn{0};
  SetBehaviour([&](HWND, UINT m, WPARAM wp, LPARAM, LRESULT* r) {
    if (m != WM_USER) return false;
    inSend = InSendMessage();
    handledOn = GetCurrentThreadId();
    *r = static_cast<LRESULT>(wp) * 2;
    return true;
  });
  EXPECT_EQ(SendMessageA(worker.window(), WM_USER, 21, 0), 42);
  EXPECT_EQ(inSend, TRUE);
  EXPECT_EQ(handledOn, GetWindowThreadProcessId(worker.window(), nullptr));
  EXPECT_NE(handledOn, GetCurrentThreadId());
}

TEST_F(Messages, NestedSendsBothWaysDoNotDeadlock) {
  HWND mine = NewRecorder("mine");
  PumpingThread worker;
  HWND theirs = worker.window();
  // theirs -> mine -> theirs again, each answer building on the inner one.
  SetBehaviour([&](HWND w, UINT m, WPARAM, LPARAM, LRESULT* r) {
    if (w == theirs && m == WM_USER + 1) {
      *r = SendMessageA(mine, WM_USER + 2, 0, 0) + 1;
      return true;
    }
    if (w == mine && m == WM_USER + 2) {
      *r = SendMessageA(theirs, WM_USER + 3, 0, 0) + 10;
      return true;
    }
    if (w == theirs && m == WM_USER + 3) {
      *r = 100;
      return true;
    }
    return false;
  });
  EXPECT_EQ(SendMessageA(theirs, WM_USER + 1, 0, 0), 111);
}

// The receiver's thread never pumps: the send is released when the window,
// or the thread, goes away.
TEST_F(Messages, SenderIsReleasedWhenTheReceiverGoesAway) {
  for (bool destroyWindow : {true, false}) {
    SCOPED_TRACE(destroyWindow ? "window destroyed" : "thread ended");
    Log::Get().Watch({WM_USER});
    std::atomic<HWND> window{nullptr};
    std::atomic<DWORD> threadId{0};
    std::thread receiver([&] {
      HWND w = NewRecorder("receiver");
      threadId = GetCurrentThreadId();
      window = w;
      WaitFor([&] { return PendingSends(threadId) == 1; });
      if (destroyWindow) DestroyWindow(w);
    });
    WaitFor([&] { return window.load() != nullptr; });
    EXPECT_EQ(SendMessageA(window, WM_USER, 1, 2), 0);
    receiver.join();
    EXPECT_TRUE(Log::Get().Take().empty()) << "the message was never handled";
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(SendMessageA(window, WM_USER, 1, 2), 0);
    EXPECT_FALSE(PostMessageA(window, WM_USER, 1, 2));
  }
}

TEST_F(Messages, ReplyMessageReleasesTheSenderEarly) {
  PumpingThread worker;
  std::atomic<bool> senderBack{false};
  std::atomic<bool> sawSenderBack{false};
  SetBehaviour([&](HWND, UINT m, WPARAM, LPARAM, LRESULT* r) {
    if (m != WM_USER) return false;
    EXPECT_TRUE(ReplyMessage(5));
    sawSenderBack = WaitFor([&] { return senderBack.load(); });
    *r = 9;
    return true;
  });
  EXPECT_EQ(SendMessageA(worker.window(), WM_USER, 0, 0), 5);
  senderBack = true;
  EXPECT_FALSE(ReplyMessage(1)) << "not inside a sent message";
  SetBehaviour(nullptr);
  SendMessageA(worker.window(), WM_NULL, 0, 0);  // the handler has finished
  EXPECT_TRUE(sawSenderBack);
}

TEST_F(Messages, LoopTakesSentThenPostedThenInputThenTimerThenPaint) {
  HWND w = NewRecorder();
  ShowWindow(w, SW_SHOW);
  vt::testing::PumpPending();  // the first paint
  ASSERT_EQ(GetForegroundWindow(), w);
  Log::Get().Watch(
      {WM_USER + 1, WM_USER + 2, WM_KEYDOWN, WM_KEYUP, WM_TIMER, WM_PAINT});
  InvalidateRect(w, nullptr, TRUE);
  SetTimer(w, 1, 1000, nullptr);
  vt::testing::AdvanceTimers(1000);
  vt::testing::PressKey(VK_F5);
  PostMessageA(w, WM_USER + 1, 1, 0);
  std::thread sender([w] { SendMessageA(w, WM_USER + 2, 2, 0); });
  WaitFor([] { return PendingSends(GetCurrentThreadId()) == 1; });
  for (int i = 0; i < 5; ++i) {
    MSG msg;
    ASSERT_GT(GetMessageA(&msg, nullptr, 0, 0), 0);
    DispatchMessageA(&msg);
  }
  sender.join();
  KillTimer(w, 1);
  EXPECT_EQ(Log::Get().Take(),
            (std::vector<Row>{
                {WM_USER + 2, 2, 0},
                {WM_USER + 1, 1, 0},
                {WM_KEYDOWN, VK_F5, 1},
                {WM_KEYUP, VK_F5, static_cast<LPARAM>(0xC0000001u)},
                {WM_TIMER, 1, 0},
                {WM_PAINT, 0, 0},
            }));
}

TEST_F(Messages, QuitEndsGetMessageAfterWhatWasPostedBefore) {
  HWND w = NewRecorder();
  struct Case {
    const char* name;
    std::function<void()> quit;
    WPARAM code;
  } cases[] = {
      {"PostQuitMessage", [] { PostQuitMessage(3); }, 3},
      {"WM_QUIT posted to a window", [w] { PostMessageA(w, WM_QUIT, 4, 0); },
       4},
      {"WM_QUIT posted to the thread",
       [] { PostThreadMessageA(GetCurrentThreadId(), WM_QUIT, 5, 0); }, 5},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    PostMessageA(w, WM_USER, 0, 0);
    c.quit();
    MSG msg;
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, c.code);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        << "one quit only";
  }
}

int CountTimers(HWND w) {
  int n = 0;
  MSG msg;
  while (PeekMessageA(&msg, w, WM_TIMER, WM_TIMER, PM_REMOVE)) ++n;
  return n;
}

TEST_F(Messages, TimersRestartWhenSetAgainAndAreNeverQueuedTwice) {
  HWND w = NewRecorder();
  EXPECT_EQ(SetTimer(w, 7, 1000, nullptr), 7u);
  vt::testing::AdvanceTimers(5000);
  EXPECT_EQ(CountTimers(w), 1) << "five periods late still gives one";

  vt::testing::AdvanceTimers(600);
  EXPECT_EQ(SetTimer(w, 7, 1000, nullptr), 7u);  // restart
  vt::testing::AdvanceTimers(600);
  EXPECT_EQ(CountTimers(w), 0);
  vt::testing::AdvanceTimers(500);
  EXPECT_EQ(CountTimers(w), 1);

  EXPECT_TRUE(KillTimer(w, 7));
  vt::testing::AdvanceTimers(5000);
  EXPECT_EQ(CountTimers(w), 0);
  EXPECT_FALSE(KillTimer(w, 7));
}

std::atomic<int> timerProcCalls{0};
void CALLBACK CountingTimerProc(HWND, UINT message, UINT_PTR, DWORD) {
  if (message == WM_TIMER) ++timerProcCalls;
}

TEST_F(Messages, ThreadTimerGetsItsOwnIdentifierAndCallsItsProcedure) {
  timerProcCalls = 0;
  UINT_PTR id = SetTimer(nullptr, 0, 100, CountingTimerProc);
  UINT_PTR other = SetTimer(nullptr, 0, 100, CountingTimerProc);
  ASSERT_NE(id, 0u);
  EXPECT_NE(id, other);
  KillTimer(nullptr, other);
  vt::testing::AdvanceTimers(100);
  MSG msg;
  ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
  EXPECT_EQ(msg.hwnd, nullptr);
  EXPECT_EQ(msg.wParam, id);
  DispatchMessageA(&msg);
  EXPECT_EQ(timerProcCalls, 1);
  EXPECT_TRUE(KillTimer(nullptr, id));
}

TEST_F(Messages, DestroyGoesParentFirstThenNonClientChildrenFirst) {
  HWND parent = NewRecorder("parent");
  HWND first = NewRecorder("first", WS_CHILD | WS_VISIBLE, parent, 1);
  HWND second = NewRecorder("second", WS_CHILD | WS_VISIBLE, parent, 2);
  std::vector<std::pair<HWND, UINT>> seen;
  SetBehaviour([&](HWND w, UINT m, WPARAM, LPARAM, LRESULT*) {
    if (m == WM_DESTROY || m == WM_NCDESTROY) seen.emplace_back(w, m);
    return false;
  });
  EXPECT_TRUE(DestroyWindow(parent));
  std::vector<std::pair<HWND, UINT>> expected{
      {parent, WM_DESTROY},  {first, WM_DESTROY},    {second, WM_DESTROY},
      {first, WM_NCDESTROY}, {second, WM_NCDESTROY}, {parent, WM_NCDESTROY}};
  EXPECT_EQ(seen, expected);
  for (HWND w : {parent, first, second}) EXPECT_FALSE(IsWindow(w));
  EXPECT_FALSE(DestroyWindow(parent));
}

TEST_F(Messages, WindowDestroyedDuringItsOwnDispatchFailsEveryLaterCall) {
  HWND w = NewRecorder();
  std::atomic<int> aliveInside{-1};
  SetBehaviour([&](HWND self, UINT m, WPARAM, LPARAM, LRESULT* r) {
    if (m != WM_USER) return false;
    DestroyWindow(self);
    aliveInside = IsWindow(self);
    *r = 5;
    return true;
  });
  PostMessageA(w, WM_USER, 0, 0);
  MSG msg;
  ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
  EXPECT_EQ(DispatchMessageA(&msg), 5);
  EXPECT_EQ(aliveInside, FALSE);
  EXPECT_FALSE(IsWindow(w));
  EXPECT_EQ(SendMessageA(w, WM_USER, 0, 0), 0);
  EXPECT_FALSE(PostMessageA(w, WM_USER, 0, 0));
  EXPECT_FALSE(SetWindowTextA(w, "x"));
  EXPECT_EQ(GetWindowLongPtrA(w, GWL_STYLE), 0);
  HWND next = NewRecorder();
  EXPECT_NE(next, w) << "a dead handle is not handed out again";
}

TEST_F(Messages, FiltersLeaveOtherMessagesQueued) {
  HWND a = NewRecorder("a");
  HWND b = NewRecorder("b");
  PostMessageA(a, WM_USER, 1, 0);
  PostMessageA(b, WM_USER + 5, 2, 0);
  PostThreadMessageA(GetCurrentThreadId(), WM_APP, 3, 0);
  MSG msg;
  ASSERT_EQ(GetMessageA(&msg, b, 0, 0), TRUE);
  EXPECT_EQ(msg.wParam, 2u);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_APP, WM_APP, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, nullptr);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, a);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Messages, TerminationRequestPostsCloseToEveryTopLevelWindow) {
  HWND shown = NewRecorder("shown");
  HWND hidden = NewRecorder("hidden");
  HWND child = NewRecorder("child", WS_CHILD, shown, 3);
  ShowWindow(shown, SW_SHOW);
  Log::Get().Watch({WM_CLOSE});
  // As the signal watcher does, from a thread of its own.
  std::thread watcher([] { vt::platform::OnTerminationRequest(); });
  watcher.join();
  vt::testing::PumpPending();
  EXPECT_EQ(Log::Get().Take(),
            (std::vector<Row>{{WM_CLOSE, 0, 0}, {WM_CLOSE, 0, 0}}));
  EXPECT_FALSE(IsWindow(shown));
  EXPECT_FALSE(IsWindow(hidden));
  EXPECT_FALSE(IsWindow(child));
}

TEST_F(Messages, CallsOnBadHandlesAndArgumentsFailCleanly) {
  HWND bogus = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x7777770));
  MSG msg;
  EXPECT_EQ(GetMessageA(nullptr, nullptr, 0, 0), -1);
  EXPECT_EQ(GetMessageA(&msg, bogus, 0, 0), -1);
  EXPECT_FALSE(PostMessageA(bogus, WM_USER, 0, 0));
  EXPECT_EQ(SendMessageA(bogus, WM_USER, 0, 0), 0);
  EXPECT_FALSE(PostThreadMessageA(0x7FFFFFF0u, WM_USER, 0, 0));
  EXPECT_EQ(SetTimer(bogus, 1, 10, nullptr), 0u);
  EXPECT_FALSE(ShowWindow(bogus, SW_SHOW));
  EXPECT_EQ(GetDlgItem(bogus, 1), nullptr);
}

}  // namespace
