// Message queues: posting, sending, retrieval, timers and modal loops.
//
// Start with Retrieve: every loop (GetMessageA, PeekMessageA, modal loops,
// the test API's pumps) comes through it. It runs sent messages first, one
// at a time with the lock released, then takes posted, input, timer and
// paint messages in that order. A cross-thread SendMessageA queues a
// SentMessage on the receiver and waits in WaitProcessingSent, which keeps
// running what other threads send to the waiting thread, so two threads
// sending to each other never deadlock. When a window or a thread goes away,
// everyone waiting on it is released with 0.
#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/internal/no_destroy.h"
#include "platform/user/user_internal.h"

namespace vt::user {

State& S() {
  static platform::NoDestroy<State> state;
  return state.get();
}

namespace {

// The messages this thread is handling for senders on other threads,
// innermost last, for InSendMessage and ReplyMessage.
thread_local std::vector<std::shared_ptr<SentMessage>> t_receiving;

// Releases every sender still waiting on queue and marks it dead, so a
// thread that ends never leaves a sender blocked; its windows go, the
// driver is told, and the next window comes to the foreground.
void EndQueue(const std::shared_ptr<Queue>& queue) {
  ThreadWindowsGone gone;
  {
    Lock lock(S().mutex);
    queue->dead = true;
    for (auto& sent : queue->sent) {
      sent->done = true;
      sent->result = 0;
      if (sent->sender) Wake(*sent->sender);
    }
    queue->sent.clear();
    queue->idle.clear();
    auto it = S().queues.find(queue->threadId);
    if (it != S().queues.end() && it->second == queue) S().queues.erase(it);
    gone = DestroyThreadWindows(*queue);
  }
  const auto& driver = platform::TheDriver();
  for (HWND window : gone.windows) driver.windowDestroyed(window);
  if (gone.nextForeground && IsWindow(gone.nextForeground))
    ActivateWindow(gone.nextForeground);
}

struct QueueHolder {
  std::shared_ptr<Queue> queue;
  ~QueueHolder() {
    if (queue) EndQueue(queue);
  }
};
thread_local QueueHolder t_queue;

}  // namespace

}  // namespace vt::user

namespace vt::platform {

void EndThreadQueue() {
  auto& holder = vt::user::t_queue;
  if (!holder.queue) return;
  vt::user::EndQueue(holder.queue);
  holder.queue.reset();
}

}  // namespace vt::platform

namespace vt::user {

namespace {

bool FilterPasses(const MSG& msg, HWND filter, UINT low, UINT high) {
  if ((low || high) && (msg.message < low || msg.message > high)) return false;
  if (filter == reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1)))
    return msg.hwnd == nullptr;
  if (filter) return msg.hwnd == filter || IsDescendant(filter, msg.hwnd);
  return true;
}

bool IsMouseButtonMessage(UINT message) {
  return message >= WM_LBUTTONDOWN && message <= WM_MBUTTONUP;
}

bool IsKeyMessage(UINT message) {
  return message >= WM_KEYDOWN && message <= WM_SYSCHAR;
}

bool IsButtonDown(UINT message) {
  return message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN ||
         message == WM_MBUTTONDOWN || message == WM_LBUTTONDBLCLK ||
         message == WM_RBUTTONDBLCLK;
}

// A window, or one of its ancestors, that is disabled takes no mouse input.
bool DisabledForInput(HWND window) {
  auto w = Find(window);
  while (w) {
    if (w->style & WS_DISABLED) return true;
    if (!w->parent) break;
    w = Find(w->parent);
  }
  return false;
}

void NoteKeyState(Queue& queue, const InputMessage& input) {
  queue.modifiers = input.modifiers;
  const MSG& msg = input.msg;
  auto key = static_cast<UINT>(msg.wParam);
  auto& down = queue.keysDown;
  if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
    queue.lastKey = msg;
    queue.lastKeyCharacters = input.characters;
    if (std::find(down.begin(), down.end(), key) == down.end())
      down.push_back(key);
  } else if (msg.message == WM_KEYUP || msg.message == WM_SYSKEYUP) {
    down.erase(std::remove(down.begin(), down.end(), key), down.end());
  }
}

// A window of queue that waits to be painted, parents before children.
HWND PaintCandidate(const Queue& queue, HWND filter, UINT low, UINT high) {
  if ((low || high) && (WM_PAINT < low || WM_PAINT > high)) return nullptr;
  for (auto& [handle, window] : S().windows) {
    if (window->remote || window->queue.get() != &queue || !window->needsPaint)
      continue;
    MSG probe{window->handle, WM_PAINT, 0, 0, 0, {}};
    if (!FilterPasses(probe, filter, 0, 0)) continue;
    // The highest ancestor of the same thread that waits too goes first,
    // so a child never paints before the parent paints under it.
    HWND paint = window->handle;
    for (auto p = Find(window->parent); p; p = Find(p->parent)) {
      MSG above{p->handle, WM_PAINT, 0, 0, 0, {}};
      if (p->needsPaint && p->queue.get() == &queue &&
          FilterPasses(above, filter, 0, 0))
        paint = p->handle;
    }
    return paint;
  }
  return nullptr;
}

void HandleSent(const std::shared_ptr<SentMessage>& sent) {
  LRESULT result = 0;
  bool alive;
  {
    Lock lock(S().mutex);
    alive = Find(sent->hwnd) != nullptr;
  }
  if (alive && sent->task) {
    result = sent->task();
  } else if (alive) {
    t_receiving.push_back(sent);
    result = CallProc(sent->hwnd, sent->message, sent->wParam, sent->lParam);
    t_receiving.pop_back();
  }
  Lock lock(S().mutex);
  if (!sent->done) {
    sent->result = result;
    sent->done = true;
    if (sent->sender) Wake(*sent->sender);
  }
}

// Takes the oldest sent message off queue and handles it with the lock
// released, as no lock may be held while a window procedure runs. Returns
// false when there was none. The lock is held again on return.
bool HandleNextSent(Queue& queue, Lock& lock) {
  if (queue.sent.empty()) return false;
  auto sent = queue.sent.front();
  queue.sent.pop_front();
  lock.unlock();
  HandleSent(sent);
  lock.lock();
  return true;
}

std::chrono::steady_clock::time_point RealTimeOf(std::uint64_t clockMs) {
  std::uint64_t real =
      clockMs > S().clockOffset ? clockMs - S().clockOffset : 0;
  return std::chrono::steady_clock::time_point(std::chrono::milliseconds(real));
}

}  // namespace

std::uint64_t Now() {
  auto real = std::chrono::duration_cast<std::chrono::milliseconds>(
                  std::chrono::steady_clock::now().time_since_epoch())
                  .count();
  return static_cast<std::uint64_t>(real) + S().clockOffset;
}

void Wake(Queue& queue) {
  ++queue.version;
  queue.cv.notify_all();
}

std::shared_ptr<Queue> MyQueue() {
  if (!t_queue.queue) {
    auto queue = std::make_shared<Queue>();
    queue->threadId = GetCurrentThreadId();
    Lock lock(S().mutex);
    S().queues[queue->threadId] = queue;
    t_queue.queue = std::move(queue);
  }
  return t_queue.queue;
}

bool IsMine(const std::shared_ptr<Queue>& queue) {
  return queue && t_queue.queue == queue;
}

std::shared_ptr<Queue> QueueOf(DWORD threadId) {
  auto it = S().queues.find(threadId);
  return it == S().queues.end() ? nullptr : it->second;
}

// Waits until something is queued for queue (its version moves on from
// version) or the deadline passes (0: none). A cross-thread send is usually
// answered within microseconds, while putting a thread to sleep and waking
// it again costs tens of microseconds on an idle machine, so the waiter
// first watches the version for a short, bounded moment without the lock.
void WaitForWork(Queue& queue, Lock& lock, int version,
                 std::uint64_t wakeAtMs) {
  constexpr auto kSpin = std::chrono::microseconds(40);
  lock.unlock();
  const auto spinUntil = std::chrono::steady_clock::now() + kSpin;
  while (queue.version.load(std::memory_order_acquire) == version &&
         std::chrono::steady_clock::now() < spinUntil) {
    std::this_thread::yield();
  }
  lock.lock();
  if (wakeAtMs) {
    queue.cv.wait_until(lock, RealTimeOf(wakeAtMs),
                        [&] { return queue.version != version; });
  } else {
    queue.cv.wait(lock, [&] { return queue.version != version; });
  }
}

Retrieved Retrieve(MSG* out, const RetrieveOptions& options) {
  auto queue = MyQueue();
  const HWND filter = options.filter;
  const UINT low = options.filterMin;
  const UINT high = options.filterMax;
  const bool remove = options.remove;
  const bool wait = options.wait;
  const std::function<bool()>* stop = options.stop;
  const std::uint64_t deadlineMs = options.deadlineMs;
  const bool runIdle = options.runIdle;
  Lock lock(S().mutex);
  for (;;) {
    if (HandleNextSent(*queue, lock)) continue;
    if (stop) {
      lock.unlock();
      bool stopped = (*stop)();
      lock.lock();
      if (stopped) return Retrieved::Stopped;
      if (!queue->sent.empty()) continue;
    }
    for (auto it = queue->posted.begin(); it != queue->posted.end(); ++it) {
      if (!FilterPasses(*it, filter, low, high)) continue;
      *out = *it;
      if (remove) queue->posted.erase(it);
      queue->messageTime = out->time;
      return Retrieved::Message;
    }
    if (queue->quit &&
        ((!low && !high) || (WM_QUIT >= low && WM_QUIT <= high))) {
      *out = MSG{nullptr, WM_QUIT,        static_cast<WPARAM>(queue->quitCode),
                 0,       GetTickCount(), {}};
      if (remove) queue->quit = false;
      return Retrieved::Message;
    }
    bool dropped = false;
    for (auto it = queue->input.begin(); it != queue->input.end(); ++it) {
      // A key goes to the window that has the focus when it is taken from
      // the queue, so keys typed ahead follow focus moves made by the keys
      // before them.
      if (IsKeyMessage(it->msg.message)) {
        if (Find(queue->focus))
          it->msg.hwnd = queue->focus;
        else if (Find(queue->active))
          it->msg.hwnd = queue->active;
      }
      if (!FilterPasses(it->msg, filter, low, high)) continue;
      InputMessage input = *it;
      if (IsMouseButtonMessage(input.msg.message) &&
          DisabledForInput(input.msg.hwnd)) {
        queue->input.erase(it);
        dropped = true;
        break;
      }
      if (remove) {
        queue->input.erase(it);
        NoteKeyState(*queue, input);
      }
      *out = input.msg;
      queue->messageTime = out->time;
      queue->messagePoint = out->pt;
      if (remove && IsButtonDown(out->message)) {
        // A click activates the window's top-level window, as the
        // system does while it hands out the button message.
        auto w = Find(out->hwnd);
        HWND top = w ? TopLevelOf(*w) : nullptr;
        // A popup menu is used without being activated.
        auto t = Find(top);
        bool menu = t && t->cls && t->cls->name == kPopupMenuClass;
        if (top && top != S().foreground && !menu) {
          lock.unlock();
          ActivateWindow(top);
          return Retrieved::Message;
        }
      }
      return Retrieved::Message;
    }
    if (dropped) continue;
    std::uint64_t now = Now();
    std::uint64_t nextDue = 0;
    for (auto& timer : queue->timers) {
      MSG probe{timer.hwnd, WM_TIMER,
                timer.id,   reinterpret_cast<LPARAM>(timer.proc),
                0,          {}};
      if (!FilterPasses(probe, filter, low, high)) continue;
      if (timer.due <= now) {
        probe.time = GetTickCount();
        *out = probe;
        // The timer is not queued, so a late loop gets one WM_TIMER however
        // many periods it missed.
        if (remove) timer.due = now + std::max<UINT>(timer.elapse, 10);
        return Retrieved::Message;
      }
      if (!nextDue || timer.due < nextDue) nextDue = timer.due;
    }
    if (HWND paint = PaintCandidate(*queue, filter, low, high)) {
      *out = MSG{paint, WM_PAINT, 0, 0, GetTickCount(), {}};
      return Retrieved::Message;
    }
    if (!wait) return Retrieved::Nothing;
    if (runIdle && !queue->idle.empty()) {
      auto action = std::move(queue->idle.front());
      queue->idle.pop_front();
      lock.unlock();
      action();
      lock.lock();
      continue;
    }
    std::uint64_t wakeAt = nextDue;
    if (deadlineMs) {
      if (Now() >= deadlineMs) return Retrieved::Nothing;
      if (!wakeAt || deadlineMs < wakeAt) wakeAt = deadlineMs;
    }
    WaitForWork(*queue, lock, queue->version, wakeAt);
  }
}

void ProcessSentMessages() {
  auto queue = MyQueue();
  Lock lock(S().mutex);
  while (HandleNextSent(*queue, lock)) {
  }
}

void WaitProcessingSent(const std::function<bool()>& done) {
  auto queue = MyQueue();
  Lock lock(S().mutex);
  while (!done()) {
    if (HandleNextSent(*queue, lock)) continue;
    WaitForWork(*queue, lock, queue->version, 0);
  }
}

void RunModalLoop(const std::function<bool()>& ended, HWND dialog) {
  for (;;) {
    MSG msg{};
    RetrieveOptions options;
    options.wait = true;
    options.stop = &ended;
    options.runIdle = true;
    Retrieved got = Retrieve(&msg, options);
    if (got != Retrieved::Message) {
      if (ended()) return;
      continue;
    }
    if (msg.message == WM_QUIT) {
      // The quit belongs to the loop outside; put it back and end here.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    if (!dialog || !IsDialogMessageA(dialog, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (ended()) return;
  }
}

void PumpModalIdle() {
  MSG msg{};
  for (;;) {
    while (Retrieve(&msg, RetrieveOptions{}) == Retrieved::Message) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        return;
      }
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    auto queue = MyQueue();
    std::function<void()> action;
    {
      Lock lock(S().mutex);
      if (queue->idle.empty()) return;
      action = std::move(queue->idle.front());
      queue->idle.pop_front();
    }
    action();
  }
}

LRESULT CallProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  std::shared_ptr<Window> w;
  WNDPROC proc;
  {
    Lock lock(S().mutex);
    w = Find(window);
    if (!w || w->remote) return 0;
    proc = w->proc;
  }
  if (!proc) return DefWindowProcA(window, message, wParam, lParam);
  return proc(window, message, wParam, lParam);
}

}  // namespace vt::user

using namespace vt::user;

BOOL GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
  if (!msg) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  if (window && window != reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1)) &&
      !IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return -1;
  }
  RetrieveOptions options;
  options.filter = window;
  options.filterMin = filterMin;
  options.filterMax = filterMax;
  options.wait = true;
  options.runIdle = true;
  Retrieve(msg, options);
  return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax,
                  UINT removeFlags) {
  if (!msg) return FALSE;
  RetrieveOptions options;
  options.filter = window;
  options.filterMin = filterMin;
  options.filterMax = filterMax;
  options.remove = (removeFlags & PM_REMOVE) != 0;
  return Retrieve(msg, options) == Retrieved::Message;
}

BOOL WaitMessage() {
  MSG msg{};
  RetrieveOptions options;
  options.remove = false;
  options.wait = true;
  options.runIdle = true;
  Retrieve(&msg, options);
  return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg) {
  if (!msg) return 0;
  if (msg->message == WM_TIMER && msg->lParam) {
    auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
    bool exists = false;
    {
      auto queue = MyQueue();
      Lock lock(S().mutex);
      for (auto& timer : queue->timers) {
        if (timer.hwnd == msg->hwnd && timer.id == msg->wParam &&
            timer.proc == proc)
          exists = true;
      }
    }
    if (exists) proc(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
    return 0;
  }
  if (!msg->hwnd) return 0;
  {
    Lock lock(S().mutex);
    auto w = Find(msg->hwnd);
    if (!w || !IsMine(w->queue)) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
  }
  // A click or drag on a standard scroll bar is the bar's, not the
  // procedure's: the procedure hears of it as WM_VSCROLL or WM_HSCROLL.
  if (ScrollBarMouse(msg->hwnd, msg->message, msg->lParam)) return 0;
  LRESULT result = CallProc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
  // A procedure that ignores WM_PAINT would otherwise be asked again at
  // once, and the loop would never rest.
  if (msg->message == WM_PAINT) ValidateWindow(msg->hwnd);
  return result;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto me = MyQueue();
  std::shared_ptr<SentMessage> sent;
  {
    Lock lock(S().mutex);
    auto w = Find(window);
    if (!w) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    if (w->remote) return 0;
    if (w->queue != me) {
      if (w->queue->dead) return 0;
      sent = std::make_shared<SentMessage>();
      sent->hwnd = window;
      sent->message = message;
      sent->wParam = wParam;
      sent->lParam = lParam;
      sent->sender = me;
      w->queue->sent.push_back(sent);
      Wake(*w->queue);
    }
  }
  if (!sent) return CallProc(window, message, wParam, lParam);
  WaitProcessingSent([&] { return sent->done; });
  return sent->result;
}

namespace vt::user {

bool RunOnOwnerThread(HWND window, const std::function<LRESULT()>& work,
                      LRESULT* result) {
  auto me = MyQueue();
  std::shared_ptr<SentMessage> sent;
  {
    Lock lock(S().mutex);
    auto w = Find(window);
    if (!w || w->queue->dead) return false;
    if (w->queue != me) {
      sent = std::make_shared<SentMessage>();
      sent->hwnd = window;
      sent->sender = me;
      sent->task = work;
      w->queue->sent.push_back(sent);
      Wake(*w->queue);
    }
  }
  if (!sent) {
    *result = work();
    return true;
  }
  WaitProcessingSent([&] { return sent->done; });
  *result = sent->result;
  return true;
}

bool OwnedElsewhere(HWND window) {
  Lock lock(S().mutex);
  auto w = Find(window);
  return w && !IsMine(w->queue);
}

BOOL CallOnOwnerThread(HWND window, const std::function<BOOL()>& call) {
  LRESULT result = FALSE;
  if (!RunOnOwnerThread(
          window, [&call] { return static_cast<LRESULT>(call()); }, &result)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return static_cast<BOOL>(result);
}

bool QueueOnOwnerThread(HWND window, std::function<void()> work) {
  Lock lock(S().mutex);
  auto w = Find(window);
  if (!w || w->queue->dead) return false;
  auto sent = std::make_shared<SentMessage>();
  sent->hwnd = window;
  sent->task = [work = std::move(work)] {
    work();
    return LRESULT{0};
  };
  w->queue->sent.push_back(std::move(sent));
  Wake(*w->queue);
  return true;
}

}  // namespace vt::user

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!window) {
    return PostThreadMessageA(GetCurrentThreadId(), message, wParam, lParam);
  }
  Lock lock(S().mutex);
  auto w = Find(window);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (w->remote || w->queue->dead) return FALSE;
  POINT pt{};
  w->queue->posted.push_back(
      MSG{window, message, wParam, lParam, GetTickCount(), pt});
  Wake(*w->queue);
  return TRUE;
}

BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam,
                        LPARAM lParam) {
  if (threadId == GetCurrentThreadId()) MyQueue();
  Lock lock(S().mutex);
  auto queue = QueueOf(threadId);
  if (!queue || queue->dead) {
    SetLastError(ERROR_INVALID_THREAD_ID);
    return FALSE;
  }
  queue->posted.push_back(
      MSG{nullptr, message, wParam, lParam, GetTickCount(), {}});
  Wake(*queue);
  return TRUE;
}

void PostQuitMessage(int exitCode) {
  auto queue = MyQueue();
  Lock lock(S().mutex);
  queue->quit = true;
  queue->quitCode = exitCode;
  Wake(*queue);
}

BOOL InSendMessage() { return t_receiving.empty() ? FALSE : TRUE; }

BOOL ReplyMessage(LRESULT result) {
  if (t_receiving.empty()) return FALSE;
  auto sent = t_receiving.back();
  Lock lock(S().mutex);
  if (!sent->done) {
    sent->result = result;
    sent->done = true;
    if (sent->sender) Wake(*sent->sender);
  }
  return TRUE;
}

DWORD GetMessageTime() {
  auto queue = MyQueue();
  Lock lock(S().mutex);
  return queue->messageTime;
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC procedure) {
  auto me = MyQueue();
  Lock lock(S().mutex);
  std::shared_ptr<Queue> queue = me;
  if (window) {
    auto w = Find(window);
    if (!w || w->remote) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    queue = w->queue;
  }
  std::uint64_t due = Now() + std::max<UINT>(elapse, 10);
  for (auto& timer : queue->timers) {
    if (timer.hwnd == window && timer.id == id && (window || id)) {
      timer.elapse = elapse;
      timer.proc = procedure;
      timer.due = due;
      Wake(*queue);
      return window ? id : timer.id;
    }
  }
  Timer timer;
  timer.hwnd = window;
  timer.id = window ? id : S().nextThreadTimer++;
  timer.elapse = elapse;
  timer.proc = procedure;
  timer.due = due;
  queue->timers.push_back(timer);
  Wake(*queue);
  return timer.id;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
  auto me = MyQueue();
  Lock lock(S().mutex);
  std::shared_ptr<Queue> queue = me;
  if (window) {
    auto w = Find(window);
    if (!w || w->remote) return FALSE;
    queue = w->queue;
  }
  auto& timers = queue->timers;
  auto it = std::find_if(timers.begin(), timers.end(), [&](const Timer& t) {
    return t.hwnd == window && t.id == id;
  });
  if (it == timers.end()) return FALSE;
  timers.erase(it);
  return TRUE;
}
