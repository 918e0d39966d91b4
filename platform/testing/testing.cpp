// The test API over the headless driver: message loops for the test's own
// thread, injected input, and what the program showed.
//
// Input calls hand their events to the driver's input thread and return
// once the hooks have run and the messages are queued; they never pump, so
// whatever loop owns the target (the program's own, with its accelerator
// table, or a modal one) is what processes them. A test that owns the
// target pumps afterwards (PumpPending or PumpUntil).
#include <algorithm>
#include <chrono>

#include "platform/drivers/null/null_driver.h"
#include "platform/drivers/null/us_keyboard_layout.h"
#include "platform/internal/platform.h"
#include "platform/user/user_internal.h"
#include "vttest.h"

namespace vt::testing {

namespace {

using platform::InputEvent;
using platform::InputKind;
using platform::InputScope;

unsigned Bits(Modifiers modifiers) { return static_cast<unsigned>(modifiers); }

void AddKey(std::vector<InputEvent>& events, UINT key, unsigned modifiers,
            InputScope scope) {
  InputEvent down;
  down.kind = InputKind::Key;
  down.scope = scope;
  down.virtualKey = key;
  down.modifiers = modifiers;
  events.push_back(down);
  InputEvent up = down;
  up.keyUp = true;
  events.push_back(up);
}

// Hands events to the headless driver's input thread and returns once all
// are delivered, processing what is sent to the calling thread meanwhile
// (a hook may send to it).
void Inject(std::vector<InputEvent> events) {
  struct Done {
    bool done = false;  // guarded by user's lock
    std::shared_ptr<user::Queue> waiter;
  };
  auto state = std::make_shared<Done>();
  state->waiter = user::MyQueue();
  null_driver::Inject(std::move(events), [state] {
    user::Lock lock(user::S().mutex);
    state->done = true;
    user::Wake(*state->waiter);
  });
  user::WaitProcessingSent([&] { return state->done; });
}

InputEvent Mouse(UINT message, POINT point, HWND target, InputScope scope) {
  InputEvent e;
  e.kind = InputKind::Mouse;
  e.scope = scope;
  e.mouseMessage = message;
  e.point = point;
  e.target = target;
  return e;
}

POINT CentreOf(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

}  // namespace

void Reset() {
  null_driver::Reset();
  {
    user::Lock lock(user::S().mutex);
    for (auto& [id, queue] : user::S().queues) queue->idle.clear();
  }
  platform::ResetShellTestState();
  platform::ResetSocketTestState();
}

void PumpPending() {
  MSG msg{};
  // Bounded, so a procedure that keeps posting to itself cannot hold the
  // test here for ever.
  for (int i = 0; i < 100000; ++i) {
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return;
    if (msg.message == WM_QUIT) {
      // The quit is for the test's own GetMessageA; leave it there.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    MSG msg{};
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        return done();
      }
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
      if (done()) return true;
    }
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    // done() may depend on another thread, which cannot wake this one, so
    // the wait is bounded to a short slice.
    std::uint64_t slice;
    {
      user::Lock lock(user::S().mutex);
      slice = user::Now() + 2;
    }
    user::RetrieveOptions options;
    options.remove = false;
    options.wait = true;
    options.deadlineMs = slice;
    options.runIdle = true;
    user::Retrieve(&msg, options);
  }
}

void WhenIdle(std::function<void()> action) {
  auto queue = user::MyQueue();
  user::Lock lock(user::S().mutex);
  queue->idle.push_back(std::move(action));
  user::Wake(*queue);
}

void AdvanceTimers(DWORD milliseconds) {
  user::Lock lock(user::S().mutex);
  user::S().clockOffset += milliseconds;
  for (auto& [id, queue] : user::S().queues) user::Wake(*queue);
}

void PressKey(UINT virtualKey, Modifiers modifiers) {
  std::vector<InputEvent> events;
  AddKey(events, virtualKey, Bits(modifiers), InputScope::Window);
  Inject(std::move(events));
}

void TypeText(std::string_view text) {
  std::vector<InputEvent> events;
  for (char c : text) {
    auto [key, shift] = null_driver::UsLayoutKeyFor(c);
    if (key) {
      AddKey(events, key, shift ? platform::kShiftBit : 0u, InputScope::Window);
    } else {
      // A character no key of the layout gives arrives as the character
      // alone, as an input method delivers it.
      InputEvent e;
      e.kind = InputKind::Char;
      e.virtualKey = static_cast<unsigned char>(c);
      events.push_back(e);
    }
  }
  Inject(std::move(events));
}

void Click(HWND window) {
  POINT p = CentreOf(window);
  Inject({Mouse(WM_LBUTTONDOWN, p, window, InputScope::Window),
          Mouse(WM_LBUTTONUP, p, window, InputScope::Window)});
}

void ClickAtScreen(HWND window, int x, int y) {
  POINT p{x, y};
  Inject({Mouse(WM_LBUTTONDOWN, p, window, InputScope::Window),
          Mouse(WM_LBUTTONUP, p, window, InputScope::Window)});
}

void ClickAt(HWND window, int x, int y) {
  POINT p{x, y};
  ClientToScreen(window, &p);
  ClickAtScreen(window, p.x, p.y);
}

void DragAtScreen(HWND window, POINT from, POINT to) {
  InputEvent move = Mouse(WM_MOUSEMOVE, to, window, InputScope::Window);
  move.buttons = MK_LBUTTON;
  InputEvent up = Mouse(WM_LBUTTONUP, to, window, InputScope::Window);
  up.buttons = MK_LBUTTON;
  Inject({Mouse(WM_LBUTTONDOWN, from, window, InputScope::Window), move, up});
}

void DoubleClickAt(HWND window, int x, int y) {
  POINT p{x, y};
  ClientToScreen(window, &p);
  // Two presses as the driver reports them; user makes the second a
  // double click where the class asks for one.
  Inject({Mouse(WM_LBUTTONDOWN, p, window, InputScope::Window),
          Mouse(WM_LBUTTONUP, p, window, InputScope::Window),
          Mouse(WM_LBUTTONDOWN, p, window, InputScope::Window),
          Mouse(WM_LBUTTONUP, p, window, InputScope::Window)});
}

void DoubleClick(HWND window) {
  POINT p = CentreOf(window);
  // Two presses as the driver reports them; user makes the second a
  // double click where the class asks for one.
  Inject({Mouse(WM_LBUTTONDOWN, p, window, InputScope::Window),
          Mouse(WM_LBUTTONUP, p, window, InputScope::Window),
          Mouse(WM_LBUTTONDOWN, p, window, InputScope::Window),
          Mouse(WM_LBUTTONUP, p, window, InputScope::Window)});
}

void DesktopMouseMove(int x, int y) {
  Inject({Mouse(WM_MOUSEMOVE, POINT{x, y}, nullptr, InputScope::Desktop)});
}

void DesktopKey(UINT virtualKey) {
  std::vector<InputEvent> events;
  AddKey(events, virtualKey, 0, InputScope::Desktop);
  Inject(std::move(events));
}

void SetScreenSize(int width, int height) {
  null_driver::SetScreenSize(width, height);
}

void ScriptMessageBoxAnswers(std::vector<int> answers) {
  null_driver::ScriptMessageBoxAnswers(std::move(answers));
}

std::vector<MessageBoxRecord> MessageBoxes() {
  return null_driver::MessageBoxes();
}

bool WaitForMessageBoxes(std::size_t count, DWORD timeoutMs) {
  return PumpUntil([count] { return null_driver::MessageBoxCount() >= count; },
                   timeoutMs);
}

void ScriptPopupChoice(UINT command) {
  null_driver::ScriptPopupChoice(command);
}

std::vector<PopupRecord> Popups() { return null_driver::Popups(); }
std::string ClipboardText(bool primarySelection) {
  return null_driver::ClipboardText(primarySelection);
}

std::vector<HWND> TopLevelWindows() {
  user::Lock lock(user::S().mutex);
  std::vector<HWND> all;
  for (HWND top : user::S().topLevel) all.push_back(top);
  std::vector<HWND> children;
  for (auto& [handle, w] : user::S().windows) {
    if (!w->remote && w->parent) children.push_back(w->handle);
  }
  std::sort(children.begin(), children.end());
  all.insert(all.end(), children.begin(), children.end());
  return all;
}

std::string TextOf(HWND window) { return user::TextOfWindow(window); }

std::size_t QueueLength(DWORD threadId) {
  user::Lock lock(user::S().mutex);
  auto queue = user::QueueOf(threadId);
  if (!queue) return 0;
  return queue->sent.size() + queue->posted.size() + queue->input.size();
}

}  // namespace vt::testing
