// Window classes and windows: creation, destruction, the window tree,
// visibility, activation and focus, text, geometry and window words.
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

const char kDialogClass[] = "#32770";

namespace {

const HWND kDesktop =
    reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x10000));

std::shared_ptr<WindowClass> FindClass(LPCSTR name) {
  for (auto& cls : S().classes) {
    if (IS_INTRESOURCE(name)) {
      if (cls->atom ==
          static_cast<ATOM>(reinterpret_cast<std::uintptr_t>(name)))
        return cls;
    } else if (EqualNoCase(cls->name, name)) {
      return cls;
    }
  }
  return nullptr;
}

void AddSystemClass(const char* name, WNDPROC proc, int extra, HBRUSH brush) {
  auto cls = std::make_shared<WindowClass>();
  cls->name = name;
  cls->atom = S().nextAtom++;
  cls->proc = proc;
  cls->windowExtra = extra;
  cls->system = true;
  cls->style = CS_DBLCLKS;
  cls->background = brush;
  S().classes.push_back(std::move(cls));
}

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

std::shared_ptr<Window> Checked(HWND window) {
  auto w = Find(window);
  if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return w;
}

}  // namespace

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

// Lock held. Built-in classes are added the first time anything looks.
void RegisterSystemClasses() {
  if (!S().classes.empty()) return;
  AddSystemClass(
      "BUTTON", ButtonProc, 0,
      reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(COLOR_BTNFACE + 1)));
  AddSystemClass(
      "EDIT", EditProc, 0,
      reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(COLOR_WINDOW + 1)));
  AddSystemClass(
      "STATIC", StaticProc, 0,
      reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(COLOR_BTNFACE + 1)));
  AddSystemClass(
      "LISTBOX", ListBoxProc, 0,
      reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(COLOR_WINDOW + 1)));
  AddSystemClass(
      kDialogClass, DialogProc, 3 * sizeof(LONG_PTR),
      reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(COLOR_BTNFACE + 1)));
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
  return r;
}

std::string TextOfWindow(HWND window) {
  Lock lock(S().mutex);
  auto w = FindAny(window);
  return w ? w->text : std::string();
}

void SetInternalText(HWND window, std::string_view text) {
  {
    Lock lock(S().mutex);
    auto w = Find(window);
    if (!w) return;
    w->text.assign(text.data(), text.size());
    if (!w->parent) UpdateRunEntryTitle(*w);
  }
  platform::TheDriver().windowTextChanged(window, text);
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

// --- classes -----------------------------------------------------------------

ATOM RegisterClassA(const WNDCLASSA* wc) {
  if (!wc || !wc->lpszClassName || !wc->lpfnWndProc ||
      IS_INTRESOURCE(wc->lpszClassName) || !*wc->lpszClassName ||
      wc->cbWndExtra < 0 || wc->cbClsExtra < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  Lock lock(S().mutex);
  RegisterSystemClasses();
  for (auto& cls : S().classes) {
    if (!cls->system && EqualNoCase(cls->name, wc->lpszClassName)) {
      SetLastError(ERROR_CLASS_ALREADY_EXISTS);
      return 0;
    }
  }
  auto cls = std::make_shared<WindowClass>();
  cls->name = wc->lpszClassName;
  cls->atom = S().nextAtom++;
  cls->style = wc->style;
  cls->proc = wc->lpfnWndProc;
  cls->classExtra = wc->cbClsExtra;
  cls->windowExtra = wc->cbWndExtra;
  cls->instance = wc->hInstance;
  cls->icon = wc->hIcon;
  cls->cursor = wc->hCursor;
  cls->background = wc->hbrBackground;
  // A program's class of the same name as a built-in one comes first.
  S().classes.insert(S().classes.begin(), cls);
  return cls->atom;
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
  if (!className) return FALSE;
  Lock lock(S().mutex);
  auto& classes = S().classes;
  for (auto it = classes.begin(); it != classes.end(); ++it) {
    bool match =
        IS_INTRESOURCE(className)
            ? (*it)->atom == reinterpret_cast<std::uintptr_t>(className)
            : EqualNoCase((*it)->name, className);
    if (match && !(*it)->system) {
      for (auto& [h, w] : S().windows) {
        if (w->cls == *it) {
          SetLastError(1412);  // the class still has windows
          return FALSE;
        }
      }
      classes.erase(it);
      return TRUE;
    }
  }
  SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
  return FALSE;
}

BOOL GetClassInfoA(HINSTANCE, LPCSTR className, WNDCLASSA* info) {
  if (!className || !info) return FALSE;
  Lock lock(S().mutex);
  RegisterSystemClasses();
  auto cls = FindClass(className);
  if (!cls) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  info->style = cls->style;
  info->lpfnWndProc = cls->proc;
  info->cbClsExtra = cls->classExtra;
  info->cbWndExtra = cls->windowExtra;
  info->hInstance = cls->instance;
  info->hIcon = cls->icon;
  info->hCursor = cls->cursor;
  info->hbrBackground = cls->background;
  info->lpszMenuName = nullptr;
  info->lpszClassName = IS_INTRESOURCE(className) ? nullptr : className;
  return TRUE;
}

int GetClassNameA(HWND window, LPSTR className, int size) {
  if (!className || size <= 0) return 0;
  std::string name = ClassNameOf(window);
  if (name.empty()) {
    className[0] = '\0';
    return 0;
  }
  int n = std::min<int>(static_cast<int>(name.size()), size - 1);
  std::memcpy(className, name.data(), n);
  className[n] = '\0';
  return n;
}

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
      SetLastError(1406);  // a child window needs a parent
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

// --- visibility, activation, focus -----------------------------------------

BOOL ShowWindow(HWND window, int command) {
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

// --- text -------------------------------------------------------------------

BOOL SetWindowTextA(HWND window, LPCSTR text) {
  {
    Lock lock(S().mutex);
    if (!Checked(window)) return FALSE;
  }
  return SendMessageA(window, WM_SETTEXT, 0,
                      reinterpret_cast<LPARAM>(text ? text : ""))
             ? TRUE
             : FALSE;
}

int GetWindowTextA(HWND window, LPSTR text, int size) {
  if (!text || size <= 0) return 0;
  bool sameThread;
  {
    Lock lock(S().mutex);
    auto w = FindAny(window);
    if (!w) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      text[0] = '\0';
      return 0;
    }
    sameThread = !w->remote && IsMine(w->queue);
  }
  if (sameThread) {
    return static_cast<int>(SendMessageA(window, WM_GETTEXT,
                                         static_cast<WPARAM>(size),
                                         reinterpret_cast<LPARAM>(text)));
  }
  // Another thread's window is read from its record rather than by a
  // message, so a busy thread cannot stall the caller.
  std::string s = TextOfWindow(window);
  int n = std::min<int>(static_cast<int>(s.size()), size - 1);
  std::memcpy(text, s.data(), n);
  text[n] = '\0';
  return n;
}

int GetWindowTextLengthA(HWND window) {
  bool sameThread;
  {
    Lock lock(S().mutex);
    auto w = FindAny(window);
    if (!w) return 0;
    sameThread = !w->remote && IsMine(w->queue);
  }
  if (sameThread)
    return static_cast<int>(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0));
  return static_cast<int>(TextOfWindow(window).size());
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
                : EqualNoCase(w->cls->name, className);
        if (!match) continue;
      }
      if (windowName && !EqualNoCase(w->text, windowName)) continue;
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

BOOL SetWindowPos(HWND window, HWND, int x, int y, int cx, int cy, UINT flags) {
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

// --- window words -----------------------------------------------------------

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
  Lock lock(S().mutex);
  auto w = Checked(window);
  if (!w) return 0;
  switch (index) {
    case GWL_STYLE:
      return static_cast<LONG_PTR>(w->style);
    case GWL_EXSTYLE:
      return static_cast<LONG_PTR>(w->exStyle);
    case GWLP_WNDPROC:
      return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE:
      return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_ID:
      return w->id;
    case GWLP_USERDATA:
      return w->userData;
    default:
      break;
  }
  if (index < 0 ||
      static_cast<std::size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) {
    SetLastError(1413);  // an index outside the window's extra bytes
    return 0;
  }
  LONG_PTR value;
  std::memcpy(&value, w->extra.data() + index, sizeof value);
  return value;
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
  Lock lock(S().mutex);
  auto w = Checked(window);
  if (!w) return 0;
  LONG_PTR previous = 0;
  switch (index) {
    case GWL_STYLE:
      previous = static_cast<LONG_PTR>(w->style);
      w->style = static_cast<DWORD>(value);
      return previous;
    case GWL_EXSTYLE:
      previous = static_cast<LONG_PTR>(w->exStyle);
      w->exStyle = static_cast<DWORD>(value);
      return previous;
    case GWLP_WNDPROC:
      previous = reinterpret_cast<LONG_PTR>(w->proc);
      w->proc = reinterpret_cast<WNDPROC>(value);
      return previous;
    case GWLP_HINSTANCE:
      previous = reinterpret_cast<LONG_PTR>(w->instance);
      w->instance = reinterpret_cast<HINSTANCE>(value);
      return previous;
    case GWLP_ID:
      previous = w->id;
      w->id = value;
      return previous;
    case GWLP_USERDATA:
      previous = w->userData;
      w->userData = value;
      return previous;
    default:
      break;
  }
  if (index < 0 ||
      static_cast<std::size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) {
    SetLastError(1413);
    return 0;
  }
  std::memcpy(&previous, w->extra.data() + index, sizeof previous);
  std::memcpy(w->extra.data() + index, &value, sizeof value);
  return previous;
}

LRESULT CallWindowProcA(WNDPROC procedure, HWND window, UINT message,
                        WPARAM wParam, LPARAM lParam) {
  if (!procedure) return 0;
  return procedure(window, message, wParam, lParam);
}

// --- the default procedure ---------------------------------------------------

LRESULT CALLBACK DefWindowProcA(HWND window, UINT message, WPARAM wParam,
                                LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
      if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName))
        SetInternalText(window, cs->lpszName);
      return TRUE;
    }
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(window, WM_CLOSE, 0, 0);
      return 0;
    case WM_SETTEXT:
      SetInternalText(window, lParam ? reinterpret_cast<LPCSTR>(lParam) : "");
      InvalidateRect(window, nullptr, TRUE);
      return TRUE;
    case WM_GETTEXT: {
      if (!lParam || wParam == 0) return 0;
      std::string s = TextOfWindow(window);
      auto* out = reinterpret_cast<char*>(lParam);
      std::size_t n = std::min<std::size_t>(s.size(), wParam - 1);
      std::memcpy(out, s.data(), n);
      out[n] = '\0';
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(TextOfWindow(window).size());
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(window, &ps);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_ERASEBKGND: {
      HBRUSH brush = nullptr;
      {
        Lock lock(S().mutex);
        if (auto w = Find(window)) brush = w->cls->background;
      }
      if (!brush) return 0;
      RECT r;
      GetClientRect(window, &r);
      FillRect(reinterpret_cast<HDC>(wParam), &r, brush);
      return 1;
    }
    case WM_SETFONT: {
      Lock lock(S().mutex);
      if (auto w = Find(window)) w->font = reinterpret_cast<HFONT>(wParam);
      return 0;
    }
    case WM_GETFONT: {
      Lock lock(S().mutex);
      auto w = Find(window);
      return w ? reinterpret_cast<LRESULT>(w->font) : 0;
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != window && !IsChild(window, focus)) SetFocus(window);
      }
      return 0;
    case WM_SYSKEYDOWN:
      if (wParam == VK_F4 && (lParam & (KF_ALTDOWN << 16))) {
        HWND top = window;
        while (HWND p = ParentOf(top)) top = p;
        SendMessageA(top, WM_SYSCOMMAND, SC_CLOSE, 0);
      }
      return 0;
    case WM_MOUSEACTIVATE:
      return 1;
    case WM_CTLCOLORSTATIC:
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    default:
      return 0;
  }
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
