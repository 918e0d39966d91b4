// What a driver reports of a window besides input: exposure, a move by the
// desktop, a request to close, activation and focus changes, the pointer
// leaving. DeliverWindowEvent runs on the driver's thread; it only queues
// the event for the window's own thread, which handles it the next time it
// looks at its queue (modal loops included), so a window procedure never
// runs on a driver's thread.
#include "platform/internal/driver.h"
#include "platform/user/user_internal.h"

namespace vt::user {

namespace {

void Exposed(HWND window, const RECT& area) {
  Lock lock(S().mutex);
  auto w = Find(window);
  if (w && (w->style & WS_VISIBLE)) AddDirty(*w, &area);
}

// The desktop has already moved the window; the program is told as though
// it had moved it itself.
void MovedByDesktop(HWND window, const RECT& screen) {
  POINT origin{screen.left, screen.top};
  HWND parent = ParentOf(window);
  if (parent) ScreenToClient(parent, &origin);
  SetWindowPos(window, nullptr, origin.x, origin.y, screen.right - screen.left,
               screen.bottom - screen.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

// Another program became active: the window and its thread lose the
// foreground, and with it the keyboard focus.
void Deactivated(HWND window) {
  HWND focus = nullptr;
  {
    Lock lock(S().mutex);
    auto w = Find(window);
    if (!w) return;
    if (S().foreground == window || IsDescendant(window, S().foreground))
      S().foreground = nullptr;
    if (w->queue->active == window) w->queue->active = nullptr;
    focus = IfAlive(w->queue->focus);
    if (focus == window || IsDescendant(window, focus)) {
      w->queue->focus = nullptr;
    } else {
      focus = nullptr;
    }
  }
  CallProc(window, WM_ACTIVATE, WA_INACTIVE, 0);
  CallProc(window, WM_ACTIVATEAPP, FALSE, 0);
  if (focus) CallProc(focus, WM_KILLFOCUS, 0, 0);
}

// Keyboard focus went to another program while the window stays active.
void FocusLost(HWND window) {
  HWND focus = nullptr;
  {
    Lock lock(S().mutex);
    auto w = Find(window);
    if (!w) return;
    focus = IfAlive(w->queue->focus);
    if (focus != window && !IsDescendant(window, focus)) return;
    w->queue->focus = nullptr;
  }
  CallProc(focus, WM_KILLFOCUS, 0, 0);
}

void Handle(const platform::WindowEvent& event) {
  using platform::WindowEventKind;
  switch (event.kind) {
    case WindowEventKind::Exposed:
      Exposed(event.window, event.rect);
      break;
    case WindowEventKind::Moved:
      MovedByDesktop(event.window, event.rect);
      break;
    case WindowEventKind::CloseRequested:
      SendMessageA(event.window, WM_SYSCOMMAND, SC_CLOSE, 0);
      break;
    case WindowEventKind::Activated:
      ActivateWindow(event.window);
      break;
    case WindowEventKind::Deactivated:
      Deactivated(event.window);
      break;
    case WindowEventKind::FocusLost:
      FocusLost(event.window);
      break;
    case WindowEventKind::PointerLeft:
      PostMessageA(event.window, WM_MOUSELEAVE, 0, 0);
      break;
  }
}

}  // namespace

}  // namespace vt::user

namespace vt::platform {

bool DeliverWindowEvent(const WindowEvent& event) {
  return vt::user::QueueOnOwnerThread(event.window,
                                      [event] { vt::user::Handle(event); });
}

}  // namespace vt::platform
