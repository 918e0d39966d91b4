// Where windows are and whether they show: rectangles in parent client or
// screen pixels, the frame around the client area, moving and sizing,
// showing and hiding, and what waits to be painted.
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/internal/driver.h"
#include "platform/user/user_internal.h"

namespace vt::user {

RECT ScreenRectOf(const Window& w) {
  RECT r = w.rect;
  HWND parent = w.parent;
  while (parent) {
    auto p = Find(parent);
    if (!p) break;
    RECT insets = NonClientInsets(p->style, p->exStyle);
    int dx = p->rect.left + insets.left;
    int dy = p->rect.top + insets.top;
    r.left += dx;
    r.right += dx;
    r.top += dy;
    r.bottom += dy;
    parent = p->parent;
  }
  return r;
}

RECT ClientScreenRectOf(const Window& w) {
  RECT r = ScreenRectOf(w);
  RECT in = NonClientInsets(w.style, w.exStyle);
  return RECT{r.left + in.left, r.top + in.top,
              std::max(r.left + in.left, r.right - in.right),
              std::max(r.top + in.top, r.bottom - in.bottom)};
}

RECT NonClientInsets(DWORD style, DWORD exStyle) {
  int frame = 0;
  if (style & WS_THICKFRAME)
    frame = 4;
  else if ((style & WS_CAPTION) == WS_CAPTION || (style & WS_DLGFRAME) ||
           (exStyle & WS_EX_DLGMODALFRAME))
    frame = 3;
  else if (style & WS_BORDER)
    frame = 1;
  if (exStyle & WS_EX_CLIENTEDGE) frame += 2;
  if (exStyle & WS_EX_STATICEDGE) frame += 1;
  RECT r{frame, frame, frame, frame};
  if ((style & WS_CAPTION) == WS_CAPTION)
    r.top += (exStyle & WS_EX_TOOLWINDOW) ? 15 : 18;
  // The scroll bars lie inside the frame, beside and below the client area.
  if (style & (WS_VSCROLL | WS_HSCROLL)) {
    int bar = vt::platform::TheDriver().systemMetrics().scrollBar;
    if (style & WS_VSCROLL) r.right += bar;
    if (style & WS_HSCROLL) r.bottom += bar;
  }
  return r;
}

void InvalidateTree(HWND window) {
  Lock lock(S().mutex);
  std::vector<HWND> pending{window};
  while (!pending.empty()) {
    auto w = Find(pending.back());
    pending.pop_back();
    if (!w || !(w->style & WS_VISIBLE)) continue;
    AddDirty(*w, nullptr);
    for (HWND c : w->children) pending.push_back(c);
  }
}

void AddDirty(Window& window, const RECT* area) {
  RECT in = NonClientInsets(window.style, window.exStyle);
  RECT all{
      0, 0,
      std::max(0, window.rect.right - window.rect.left - in.left - in.right),
      std::max(0, window.rect.bottom - window.rect.top - in.top - in.bottom)};
  RECT add = area ? *area : all;
  if (add.right <= add.left || add.bottom <= add.top) return;
  if (!window.needsPaint) {
    window.dirty = add;
  } else {
    window.dirty.left = std::min(window.dirty.left, add.left);
    window.dirty.top = std::min(window.dirty.top, add.top);
    window.dirty.right = std::max(window.dirty.right, add.right);
    window.dirty.bottom = std::max(window.dirty.bottom, add.bottom);
  }
  window.needsPaint = true;
  Wake(*window.queue);
}

RECT TakeDirty(HWND window) {
  Lock lock(S().mutex);
  auto w = Find(window);
  if (!w) return RECT{};
  RECT dirty = w->needsPaint ? w->dirty : RECT{};
  w->needsPaint = false;
  return dirty;
}

void ValidateWindow(HWND window) {
  Lock lock(S().mutex);
  if (auto w = Find(window)) w->needsPaint = false;
}

bool NeedsPaint(HWND window) {
  Lock lock(S().mutex);
  auto w = Find(window);
  return w && w->needsPaint;
}

}  // namespace vt::user

using namespace vt::user;

// --- visibility -------------------------------------------------------------

BOOL ShowWindow(HWND window, int command) {
  if (OwnedElsewhere(window))
    return CallOnOwnerThread(window,
                             [=] { return ShowWindow(window, command); });
  bool was;
  bool topLevel;
  bool show = command != SW_HIDE;
  {
    Lock lock(S().mutex);
    auto w = Checked(window);
    if (!w) return FALSE;
    was = (w->style & WS_VISIBLE) != 0;
    topLevel = w->parent == nullptr;
  }
  if (show != was) {
    CallProc(window, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    {
      Lock lock(S().mutex);
      auto w = Find(window);
      if (!w) return was;
      if (show)
        w->style |= WS_VISIBLE;
      else
        w->style &= ~WS_VISIBLE;
    }
    vt::platform::TheDriver().windowShown(window, show);
    if (show) InvalidateTree(window);
  }
  if (topLevel) {
    bool activate = show && command != SW_SHOWNA &&
                    command != SW_SHOWNOACTIVATE &&
                    command != SW_SHOWMINIMIZED && command != SW_MINIMIZE;
    if (activate) {
      ActivateWindow(window);
    } else if (!show) {
      HWND next = nullptr;
      {
        Lock lock(S().mutex);
        auto w = Find(window);
        if (w && S().foreground == window) {
          S().foreground = nullptr;
          if (w->queue->active == window) w->queue->active = nullptr;
          next = PickNextForeground(window, w->owner);
        }
      }
      if (next) ActivateWindow(next);
    }
  }
  return was ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND window) {
  Lock lock(S().mutex);
  auto w = Find(window);
  while (w) {
    if (!(w->style & WS_VISIBLE)) return FALSE;
    if (!w->parent) return TRUE;
    w = Find(w->parent);
  }
  return FALSE;
}

// --- geometry ---------------------------------------------------------------

BOOL GetClientRect(HWND window, LPRECT rect) {
  if (!rect) return FALSE;
  if (window == kDesktop) {
    SIZE s = vt::platform::TheDriver().screenSize();
    *rect = RECT{0, 0, s.cx, s.cy};
    return TRUE;
  }
  Lock lock(S().mutex);
  auto w = Checked(window);
  if (!w) return FALSE;
  RECT in = NonClientInsets(w->style, w->exStyle);
  int width = (w->rect.right - w->rect.left) - in.left - in.right;
  int height = (w->rect.bottom - w->rect.top) - in.top - in.bottom;
  *rect = RECT{0, 0, std::max(width, 0), std::max(height, 0)};
  return TRUE;
}

BOOL GetWindowRect(HWND window, LPRECT rect) {
  if (!rect) return FALSE;
  if (window == kDesktop) return GetClientRect(window, rect);
  Lock lock(S().mutex);
  auto w = Checked(window);
  if (!w) return FALSE;
  *rect = ScreenRectOf(*w);
  return TRUE;
}

BOOL ClientToScreen(HWND window, LPPOINT point) {
  if (!point) return FALSE;
  if (window == kDesktop) return TRUE;
  Lock lock(S().mutex);
  auto w = Checked(window);
  if (!w) return FALSE;
  RECT r = ScreenRectOf(*w);
  RECT in = NonClientInsets(w->style, w->exStyle);
  point->x += r.left + in.left;
  point->y += r.top + in.top;
  return TRUE;
}

BOOL ScreenToClient(HWND window, LPPOINT point) {
  if (!point) return FALSE;
  POINT origin{0, 0};
  if (!ClientToScreen(window, &origin)) return FALSE;
  point->x -= origin.x;
  point->y -= origin.y;
  return TRUE;
}

BOOL SetWindowPos(HWND window, HWND after, int x, int y, int cx, int cy,
                  UINT flags) {
  if (OwnedElsewhere(window)) {
    return CallOnOwnerThread(window, [=] {
      return SetWindowPos(window, after, x, y, cx, cy, flags);
    });
  }
  bool moved = false;
  bool sized = false;
  RECT now{};
  RECT screen{};
  RECT clientScreen{};
  {
    Lock lock(S().mutex);
    auto w = Checked(window);
    if (!w) return FALSE;
    RECT r = w->rect;
    if (!(flags & SWP_NOMOVE)) {
      int width = r.right - r.left;
      int height = r.bottom - r.top;
      moved = x != r.left || y != r.top;
      r = RECT{x, y, x + width, y + height};
    }
    if (!(flags & SWP_NOSIZE)) {
      sized = cx != r.right - r.left || cy != r.bottom - r.top;
      r.right = r.left + std::max(cx, 0);
      r.bottom = r.top + std::max(cy, 0);
    }
    w->rect = r;
    now = r;
    screen = ScreenRectOf(*w);
    clientScreen = ClientScreenRectOf(*w);
  }
  if (moved || sized)
    vt::platform::TheDriver().windowMoved(window, screen, clientScreen);
  if (sized) {
    RECT client{};
    GetClientRect(window, &client);
    CallProc(window, WM_SIZE, 0, MAKELPARAM(client.right, client.bottom));
  }
  if (moved) CallProc(window, WM_MOVE, 0, MAKELPARAM(now.left, now.top));
  if (flags & SWP_SHOWWINDOW)
    ShowWindow(window, (flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
  if (moved || sized) InvalidateTree(window);
  return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL) {
  return SetWindowPos(window, nullptr, x, y, width, height,
                      SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL InvalidateRect(HWND window, const RECT* area, BOOL) {
  if (!window) {
    std::vector<HWND> all;
    {
      Lock lock(S().mutex);
      all = S().topLevel;
    }
    for (HWND w : all) InvalidateTree(w);
    return TRUE;
  }
  RECT dirty{};
  {
    Lock lock(S().mutex);
    auto w = Checked(window);
    if (!w) return FALSE;
    if (!(w->style & WS_VISIBLE)) return TRUE;
    AddDirty(*w, area);
    if (!w->needsPaint) return TRUE;
    dirty = w->dirty;
  }
  vt::platform::TheDriver().windowInvalidated(window, dirty);
  return TRUE;
}

BOOL UpdateWindow(HWND window) {
  {
    Lock lock(S().mutex);
    auto w = Checked(window);
    if (!w) return FALSE;
    if (!w->needsPaint || !IsMine(w->queue)) return TRUE;
  }
  CallProc(window, WM_PAINT, 0, 0);
  ValidateWindow(window);
  return TRUE;
}
