// Window life: the records, creation, destruction and the window tree.
//
// A window is a record in S().windows, keyed by its handle. Handles count up
// and are never handed out twice, so a stale handle fails every call
// instead of reaching a newer window. DestroyWindow sends WM_DESTROY to the
// window and then to its children, then WM_NCDESTROY from the children up,
// and only then removes the records.
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/internal/platform.h"
#include "platform/user/user_internal.h"

namespace vt::user {

namespace {

// WM_DESTROY goes to a window before its children.
void SendDestroy(HWND window) {
  CallProc(window, WM_DESTROY, 0, 0);
  for (HWND child : ChildrenOf(window)) {
    {
      Lock lock(S().mutex);
      if (auto w = Find(child)) w->destroying = true;
    }
    SendDestroy(child);
  }
}

// Takes the record out of every table, lock held. Returns the window that
// should become the foreground one, if the leaving window had been it.
HWND RemoveRecord(const std::shared_ptr<Window>& w) {
  HWND handle = w->handle;
  auto& s = S();
  s.windows.erase(reinterpret_cast<std::uintptr_t>(handle));
  if (w->parent) {
    if (auto p = Find(w->parent)) {
      auto& c = p->children;
      c.erase(std::remove(c.begin(), c.end(), handle), c.end());
    }
  } else {
    auto& t = s.topLevel;
    t.erase(std::remove(t.begin(), t.end(), handle), t.end());
    UnregisterRunEntry(*w);
  }
  HWND next = nullptr;
  if (auto& q = w->queue) {
    auto& timers = q->timers;
    timers.erase(
        std::remove_if(timers.begin(), timers.end(),
                       [&](const Timer& t) { return t.hwnd == handle; }),
        timers.end());
    auto& posted = q->posted;
    posted.erase(std::remove_if(posted.begin(), posted.end(),
                                [&](const MSG& m) {
                                  return m.hwnd == handle &&
                                         m.message != WM_QUIT;
                                }),
                 posted.end());
    auto& input = q->input;
    input.erase(std::remove_if(input.begin(), input.end(),
                               [&](const InputMessage& m) {
                                 return m.msg.hwnd == handle;
                               }),
                input.end());
    // Whoever waits on a message to this window is let go with 0.
    auto& sent = q->sent;
    for (auto it = sent.begin(); it != sent.end();) {
      if ((*it)->hwnd == handle) {
        (*it)->done = true;
        (*it)->result = 0;
        if ((*it)->sender) Wake(*(*it)->sender);
        it = sent.erase(it);
      } else {
        ++it;
      }
    }
    if (q->focus == handle) q->focus = nullptr;
    if (q->capture == handle) q->capture = nullptr;
    if (q->active == handle) q->active = nullptr;
  }
  if (s.foreground == handle) {
    s.foreground = nullptr;
    next = PickNextForeground(handle, w->owner);
  }
  return next;
}

// WM_NCDESTROY goes to the children first, then the window; each record
// goes as soon as its window has had the message.
HWND SendNcDestroy(HWND window) {
  HWND next = nullptr;
  for (HWND child : ChildrenOf(window)) {
    if (HWND n = SendNcDestroy(child)) next = n;
  }
  CallProc(window, WM_NCDESTROY, 0, 0);
  Lock lock(S().mutex);
  if (auto w = Find(window)) {
    if (HWND n = RemoveRecord(w)) next = n;
  }
  return next;
}

}  // namespace

HWND PickNextForeground(HWND leaving, HWND owner) {
  auto usable = [](const std::shared_ptr<Window>& w) {
    return w && !w->destroying && (w->style & WS_VISIBLE) &&
           !(w->style & WS_DISABLED);
  };
  if (auto o = Find(owner); usable(o)) return owner;
  for (auto it = S().topLevel.rbegin(); it != S().topLevel.rend(); ++it) {
    if (*it == leaving) continue;
    if (usable(Find(*it))) return *it;
  }
  return nullptr;
}

std::shared_ptr<Window> Checked(HWND window) {
  auto w = Find(window);
  if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return w;
}

std::shared_ptr<Window> Find(HWND window) {
  auto w = FindAny(window);
  return w && !w->remote ? w : nullptr;
}

std::shared_ptr<Window> FindAny(HWND window) {
  if (!window) return nullptr;
  auto& map = S().windows;
  auto it = map.find(reinterpret_cast<std::uintptr_t>(window));
  return it == map.end() ? nullptr : it->second;
}

HWND TopLevelOf(const Window& window) {
  const Window* w = &window;
  std::shared_ptr<Window> hold;
  while (w->parent) {
    hold = Find(w->parent);
    if (!hold) return nullptr;
    w = hold.get();
  }
  return w->handle;
}

bool IsDescendant(HWND ancestor, HWND window) {
  auto w = Find(window);
  while (w && w->parent) {
    if (w->parent == ancestor) return true;
    w = Find(w->parent);
  }
  return false;
}

std::string ClassNameOf(HWND window) {
  Lock lock(S().mutex);
  auto w = FindAny(window);
  return w && w->cls ? w->cls->name : std::string();
}

DWORD StyleOf(HWND window) {
  Lock lock(S().mutex);
  auto w = Find(window);
  return w ? w->style : 0;
}

HWND ParentOf(HWND window) {
  Lock lock(S().mutex);
  auto w = Find(window);
  return w ? w->parent : nullptr;
}

std::vector<HWND> ChildrenOf(HWND window) {
  Lock lock(S().mutex);
  auto w = Find(window);
  return w ? w->children : std::vector<HWND>();
}

std::shared_ptr<ControlState> Control(HWND window) {
  Lock lock(S().mutex);
  auto w = Find(window);
  if (!w) return nullptr;
  if (!w->control) w->control = std::make_unique<ControlState>();
  // The record outlives the returned pointer's use: the caller is the
  // window's own procedure, and the window holds the state.
  return std::shared_ptr<ControlState>(w, w->control.get());
}

DialogState* DialogOf(const std::shared_ptr<Window>& window) {
  return window ? window->dialog.get() : nullptr;
}

void DestroyThreadWindows(Queue& queue) {
  // The thread is gone, so no procedure can be called: the records go
  // quietly, and anyone waiting on them is released.
  std::vector<std::shared_ptr<Window>> doomed;
  for (auto& [handle, w] : S().windows) {
    if (w->queue.get() == &queue) doomed.push_back(w);
  }
  for (auto& w : doomed) RemoveRecord(w);
  for (auto& w : doomed) w->queue.reset();
}

}  // namespace vt::user

using namespace vt::user;

// --- creation and destruction
// -------------------------------------------------

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName,
                     DWORD style, int x, int y, int width, int height,
                     HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID parameter) {
  if (!className) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto queue = MyQueue();
  auto w = std::make_shared<Window>();
  vt::platform::WindowInfo info;
  {
    Lock lock(S().mutex);
    RegisterSystemClasses();
    auto cls = FindClass(className);
    if (!cls) {
      SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
      return nullptr;
    }
    std::shared_ptr<Window> p;
    if (parent && parent != kDesktop) {
      p = Find(parent);
      if (!p) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
      }
    }
    if ((style & WS_CHILD) && !p) {
      SetLastError(ERROR_TLW_WITH_WSCHILD);
      return nullptr;
    }
    w->cls = cls;
    w->proc = cls->proc;
    w->style = style & ~WS_VISIBLE;
    w->exStyle = exStyle;
    w->instance = instance;
    w->queue = queue;
    w->threadId = queue->threadId;
    w->extra.assign(static_cast<std::size_t>(cls->windowExtra), 0);
    if (x == CW_USEDEFAULT) x = y = (style & WS_CHILD) ? 0 : 32;
    if (width == CW_USEDEFAULT) {
      width = (style & WS_CHILD) ? 0 : 640;
      height = (style & WS_CHILD) ? 0 : 480;
    }
    w->rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
    w->handle = reinterpret_cast<HWND>(S().nextHandle);
    S().nextHandle += 4;
    if (style & WS_CHILD) {
      w->parent = parent;
      w->id = reinterpret_cast<LONG_PTR>(menu);
      p->children.push_back(w->handle);
    } else {
      if (p) w->owner = TopLevelOf(*p);
      S().topLevel.push_back(w->handle);
    }
    S().windows[reinterpret_cast<std::uintptr_t>(w->handle)] = w;
    if (!w->parent) RegisterRunEntry(*w);
    info.window = w->handle;
    info.parent = w->parent;
    info.owner = w->owner;
    info.style = style;
    info.exStyle = exStyle;
    info.rect = ScreenRectOf(*w);
    info.client = ClientScreenRectOf(*w);
    info.className = cls->name;
    info.text = (windowName && !IS_INTRESOURCE(windowName)) ? windowName : "";
  }
  vt::platform::TheDriver().windowCreated(info);
  HWND handle = w->handle;
  CREATESTRUCTA cs{};
  cs.lpCreateParams = parameter;
  cs.hInstance = instance;
  cs.hMenu = menu;
  cs.hwndParent = parent;
  cs.cx = width;
  cs.cy = height;
  cs.x = x;
  cs.y = y;
  cs.style = static_cast<LONG>(style);
  cs.lpszName = windowName;
  cs.lpszClass = className;
  cs.dwExStyle = exStyle;
  if (!CallProc(handle, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) ||
      !IsWindow(handle)) {
    DestroyWindow(handle);
    return nullptr;
  }
  if (CallProc(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1 ||
      !IsWindow(handle)) {
    DestroyWindow(handle);
    return nullptr;
  }
  RECT client{};
  GetClientRect(handle, &client);
  CallProc(handle, WM_SIZE, 0, MAKELPARAM(client.right, client.bottom));
  CallProc(handle, WM_MOVE, 0, MAKELPARAM(x, y));
  if ((style & WS_VISIBLE) && IsWindow(handle)) {
    ShowWindow(handle, SW_SHOWNORMAL);
  }
  return IsWindow(handle) ? handle : nullptr;
}

BOOL DestroyWindow(HWND window) {
  std::vector<HWND> owned;
  {
    Lock lock(S().mutex);
    auto w = Checked(window);
    if (!w || w->destroying) return FALSE;
    if (!IsMine(w->queue)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    w->destroying = true;
    for (HWND top : S().topLevel) {
      auto o = Find(top);
      if (o && o->owner == window && !o->destroying) owned.push_back(top);
    }
  }
  // Owned windows go first, as the system destroys a window's popups
  // before the window.
  for (HWND o : owned) DestroyWindow(o);
  SendDestroy(window);
  HWND next = SendNcDestroy(window);
  vt::platform::TheDriver().windowDestroyed(window);
  if (next) ActivateWindow(next);
  return TRUE;
}

BOOL IsWindow(HWND window) {
  if (window == kDesktop) return TRUE;
  std::string entry;
  {
    Lock lock(S().mutex);
    auto w = FindAny(window);
    if (!w) return FALSE;
    if (!w->remote) return TRUE;
    entry = w->remoteEntry;
  }
  return RemoteWindowAlive(entry) ? TRUE : FALSE;
}

// --- the tree ---------------------------------------------------------------

HWND FindWindowA(LPCSTR className, LPCSTR windowName) {
  {
    Lock lock(S().mutex);
    for (HWND top : S().topLevel) {
      auto w = Find(top);
      if (!w || w->destroying) continue;
      if (className) {
        bool match =
            IS_INTRESOURCE(className)
                ? w->cls->atom == reinterpret_cast<std::uintptr_t>(className)
                : EqualNoCaseWindows1252(w->cls->name, className);
        if (!match) continue;
      }
      if (windowName && !EqualNoCaseWindows1252(w->text, windowName)) continue;
      return top;
    }
  }
  if (className && IS_INTRESOURCE(className)) return nullptr;
  return FindRemoteWindow(className, windowName);
}

HWND GetParent(HWND window) {
  Lock lock(S().mutex);
  auto w = Checked(window);
  if (!w) return nullptr;
  if (w->parent) return w->parent;
  if (w->style & WS_POPUP) return w->owner;
  return nullptr;
}

HWND GetDesktopWindow() { return kDesktop; }

BOOL IsChild(HWND parent, HWND window) {
  Lock lock(S().mutex);
  return IsDescendant(parent, window) ? TRUE : FALSE;
}

HWND GetWindow(HWND window, UINT relation) {
  Lock lock(S().mutex);
  auto w = Checked(window);
  if (!w) return nullptr;
  switch (relation) {
    case GW_CHILD:
      return w->children.empty() ? nullptr : w->children.front();
    case GW_OWNER:
      return w->owner;
    case GW_HWNDNEXT:
    case GW_HWNDPREV: {
      const std::vector<HWND>* list = &S().topLevel;
      std::shared_ptr<Window> p;
      if (w->parent) {
        p = Find(w->parent);
        if (!p) return nullptr;
        list = &p->children;
      }
      auto it = std::find(list->begin(), list->end(), window);
      if (it == list->end()) return nullptr;
      if (relation == GW_HWNDNEXT) {
        ++it;
        return it == list->end() ? nullptr : *it;
      }
      return it == list->begin() ? nullptr : *(it - 1);
    }
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
  }
}

DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId) {
  Lock lock(S().mutex);
  auto w = FindAny(window);
  if (!w) {
    if (processId) *processId = 0;
    return 0;
  }
  if (processId)
    *processId = w->remote ? w->remotePid : static_cast<DWORD>(getpid());
  return w->threadId;
}

namespace vt::platform {

void OnTerminationRequest() {
  std::vector<HWND> windows;
  {
    Lock lock(S().mutex);
    windows = S().topLevel;
  }
  for (HWND w : windows) PostMessageA(w, WM_CLOSE, 0, 0);
}

}  // namespace vt::platform
