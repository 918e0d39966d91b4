// Focus and activation: the foreground window, each thread's active and
// focused window, enabled and disabled windows, the mouse capture, and
// where input goes.
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/user/user_internal.h"

namespace vt::user {

void ActivateWindow(HWND window) {
  HWND previous = nullptr;
  bool sameThread = false;
  bool previousSameThread = false;
  {
    Lock lock(S().mutex);
    auto w = Find(window);
    if (!w || w->parent) return;
    previous = w->queue->active;
    if (!Find(previous)) previous = nullptr;
    w->queue->active = window;
    S().foreground = window;
    sameThread = IsMine(w->queue);
    if (auto p = Find(previous)) previousSameThread = IsMine(p->queue);
  }
  platform::TheDriver().foregroundChanged(window);
  if (previous == window) return;
  if (previous) {
    if (previousSameThread)
      CallProc(previous, WM_ACTIVATE, WA_INACTIVE,
               reinterpret_cast<LPARAM>(window));
    else
      PostMessageA(previous, WM_ACTIVATE, WA_INACTIVE,
                   reinterpret_cast<LPARAM>(window));
  }
  if (sameThread)
    CallProc(window, WM_ACTIVATE, WA_ACTIVE,
             reinterpret_cast<LPARAM>(previous));
  else
    PostMessageA(window, WM_ACTIVATE, WA_ACTIVE,
                 reinterpret_cast<LPARAM>(previous));
}

void SetFocusInternal(HWND window) { SetFocus(window); }

HWND InputTarget(bool forKeys, HWND clicked, std::shared_ptr<Queue>* queue) {
  // Lock held by the caller.
  std::shared_ptr<Window> w;
  if (forKeys) {
    auto fg = Find(S().foreground);
    if (!fg) return nullptr;
    HWND focus = fg->queue->focus;
    w = Find(focus);
    if (!w) w = fg;
  } else {
    w = Find(clicked);
  }
  if (!w || !w->queue || w->queue->dead) return nullptr;
  *queue = w->queue;
  return w->handle;
}

}  // namespace vt::user

using namespace vt::user;

BOOL EnableWindow(HWND window, BOOL enable) {
  bool wasDisabled;
  bool changed;
  bool sameThread;
  bool dropFocus = false;
  HWND focus = nullptr;
  {
    Lock lock(S().mutex);
    auto w = Checked(window);
    if (!w) return FALSE;
    wasDisabled = (w->style & WS_DISABLED) != 0;
    changed = wasDisabled == (enable != FALSE);
    if (enable)
      w->style &= ~WS_DISABLED;
    else
      w->style |= WS_DISABLED;
    sameThread = IsMine(w->queue);
    focus = w->queue->focus;
    if (!enable && changed && (focus == window || IsDescendant(window, focus)))
      dropFocus = true;
  }
  if (dropFocus && sameThread) SetFocus(nullptr);
  if (changed) {
    // Another thread hears of it without this one waiting for it: a
    // thread that disables an owner on a busy thread must not stall.
    if (sameThread)
      CallProc(window, WM_ENABLE, enable ? TRUE : FALSE, 0);
    else
      PostMessageA(window, WM_ENABLE, enable ? TRUE : FALSE, 0);
    InvalidateTree(window);
  }
  return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND window) {
  Lock lock(S().mutex);
  auto w = Find(window);
  return w && !(w->style & WS_DISABLED) ? TRUE : FALSE;
}

BOOL SetForegroundWindow(HWND window) {
  HWND top;
  {
    Lock lock(S().mutex);
    auto w = Checked(window);
    if (!w) return FALSE;
    top = TopLevelOf(*w);
  }
  ActivateWindow(top);
  return TRUE;
}

HWND GetForegroundWindow() {
  Lock lock(S().mutex);
  return IfAlive(S().foreground);
}

HWND SetActiveWindow(HWND window) {
  auto me = MyQueue();
  HWND previous;
  HWND top = nullptr;
  {
    Lock lock(S().mutex);
    previous = IfAlive(me->active);
    if (window) {
      auto w = Checked(window);
      if (!w || w->queue != me) return nullptr;
      top = TopLevelOf(*w);
    }
  }
  if (top) ActivateWindow(top);
  return previous;
}

HWND GetActiveWindow() {
  auto me = MyQueue();
  Lock lock(S().mutex);
  return IfAlive(me->active);
}

HWND SetFocus(HWND window) {
  auto me = MyQueue();
  HWND previous;
  HWND top = nullptr;
  bool activate = false;
  {
    Lock lock(S().mutex);
    previous = IfAlive(me->focus);
    if (window) {
      auto w = Checked(window);
      // Focus belongs to a thread: another thread's window cannot take it
      // from here.
      if (!w || w->queue != me) return nullptr;
      if (window == previous) return previous;
      top = TopLevelOf(*w);
      activate = me->active != top;
    }
  }
  if (activate) ActivateWindow(top);
  {
    Lock lock(S().mutex);
    if (window && !Find(window)) return nullptr;
    previous = IfAlive(me->focus);
    if (window == previous) return previous;
    me->focus = window;
    if (window) {
      auto w = Find(window);
      if (auto p = Find(w->parent); p && p->dialog)
        p->dialog->savedFocus = window;
    }
  }
  if (previous)
    CallProc(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
  if (window) {
    bool still;
    {
      Lock lock(S().mutex);
      still = me->focus == window;
    }
    if (still)
      CallProc(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
  }
  return previous;
}

HWND GetFocus() {
  auto me = MyQueue();
  Lock lock(S().mutex);
  return IfAlive(me->focus);
}

HWND SetCapture(HWND window) {
  auto me = MyQueue();
  HWND previous;
  {
    Lock lock(S().mutex);
    previous = IfAlive(me->capture);
    if (!Find(window)) return previous;
    me->capture = window;
  }
  if (previous != window) vt::platform::TheDriver().captureChanged(window);
  return previous;
}

BOOL ReleaseCapture() {
  auto me = MyQueue();
  {
    Lock lock(S().mutex);
    if (!me->capture) return TRUE;
    me->capture = nullptr;
  }
  vt::platform::TheDriver().captureChanged(nullptr);
  return TRUE;
}

HWND GetCapture() {
  auto me = MyQueue();
  Lock lock(S().mutex);
  return IfAlive(me->capture);
}
