// The program's windows on the X server.
//
// Only top-level windows become X windows, managed by the window manager,
// which draws the frame and the caption: the X window is the client area.
// Controls are drawn by user into their top-level window, so the driver
// keeps every window's place in the tree to turn a control's client
// coordinates into its top-level's, to clip a control's drawing to it, and
// to find the control under the pointer.
//
// Drawing goes into a pixmap per top-level window, which is copied to the
// screen once painting has stopped for a moment, and again on every Expose,
// so a repaint never shows its half-drawn state and a window uncovered by
// another needs no repaint from the program at all.
#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <map>
#include <memory>

#include "platform/drivers/x11/x11_internal.h"
#include "platform/internal/no_destroy.h"

namespace vt::x11 {
namespace {

// How long drawing must have been quiet before a pixmap reaches the screen.
constexpr std::uint64_t kPresentQuietMs = 4;
// Two presses within this time and distance make a double click.
constexpr std::uint64_t kDoubleClickMs = 500;
constexpr int kDoubleClickDistance = 4;

struct Node {
  HWND handle = nullptr;
  HWND parent = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  RECT rect{};  // screen pixels for a top-level, parent client for a child
  bool visible = false;
  std::string className;
  std::string text;
  // Top-level windows only.
  Window xwindow = 0;
  Pixmap pixmap = 0;
  int width = 0;
  int height = 0;
  GC gc = nullptr;
  XftDraw* draw = nullptr;
  bool overrideRedirect = false;
  bool dirty = false;
  bool mapped = false;
  bool activateOnMap = false;
  std::uint64_t lastDraw = 0;
};

struct Windows {
  std::map<HWND, Node> nodes;
  std::map<Window, HWND> byXWindow;
  HICON programIcon = nullptr;
  // The last press, for double clicks.
  Window lastPressWindow = 0;
  unsigned lastPressButton = 0;
  std::uint64_t lastPressTime = 0;
  int lastPressX = 0;
  int lastPressY = 0;
  // A popup window holding the pointer and keyboard grab.
  Window grabbing = 0;
};

Windows& W() {
  static vt::platform::NoDestroy<Windows> windows;
  return windows.get();
}

Node* Find(HWND window) {
  auto it = W().nodes.find(window);
  return it == W().nodes.end() ? nullptr : &it->second;
}

Node* TopOf(HWND window) {
  Node* n = Find(window);
  while (n && n->parent) n = Find(n->parent);
  return n;
}

// The frame user reserves around a client area; on X the window manager
// draws the frame, so the X window is only the part inside it.
RECT InsetsOf(DWORD style, DWORD exStyle) {
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

// Where a window's client area starts inside its top-level's client area.
POINT ClientOrigin(const Node& n) {
  if (!n.parent) return POINT{0, 0};
  Node* parent = Find(n.parent);
  POINT origin = parent ? ClientOrigin(*parent) : POINT{0, 0};
  RECT in = InsetsOf(n.style, n.exStyle);
  origin.x += n.rect.left + in.left;
  origin.y += n.rect.top + in.top;
  return origin;
}

// The part of the top-level's client area a window may draw in: its client
// area cut by every ancestor's.
RECT ClientClip(const Node& n) {
  POINT origin = ClientOrigin(n);
  RECT in = InsetsOf(n.style, n.exStyle);
  RECT clip{origin.x, origin.y,
            origin.x + (n.rect.right - n.rect.left) - in.left - in.right,
            origin.y + (n.rect.bottom - n.rect.top) - in.top - in.bottom};
  if (!n.parent) {
    Node top = n;
    clip = RECT{0, 0, top.width, top.height};
    return clip;
  }
  Node* parent = Find(n.parent);
  if (parent) {
    RECT outer = ClientClip(*parent);
    clip.left = std::max(clip.left, outer.left);
    clip.top = std::max(clip.top, outer.top);
    clip.right = std::min(clip.right, outer.right);
    clip.bottom = std::min(clip.bottom, outer.bottom);
  }
  return clip;
}

bool IsPopupStyle(DWORD style) {
  return (style & WS_POPUP) && (style & WS_CAPTION) != WS_CAPTION;
}

Atom WindowTypeOf(const vt::platform::WindowInfo& info) {
  const Atoms& a = X().atoms;
  if (info.className == "#32768") return a.typePopupMenu;
  if (IsPopupStyle(info.style))
    return (info.exStyle & WS_EX_TOOLWINDOW) ? a.typeTooltip : a.typePopupMenu;
  if ((info.style & WS_CAPTION) == WS_CAPTION &&
      ((info.style & DS_MODALFRAME) || info.className == "#32770"))
    return a.typeDialog;
  if ((info.style & WS_CAPTION) != WS_CAPTION) return a.typeUtility;
  return a.typeNormal;
}

void SetName(Window window, std::string_view ansi) {
  Display* d = X().display;
  std::string utf8 = vt::platform::AnsiToUtf8(ansi);
  XTextProperty property;
  char* list[] = {utf8.data()};
  if (Xutf8TextListToTextProperty(d, list, 1, XStdICCTextStyle, &property) ==
      Success) {
    XSetWMName(d, window, &property);
    XFree(property.value);
  }
  XChangeProperty(d, window, X().atoms.netWmName, X().atoms.utf8String, 8,
                  PropModeReplace,
                  reinterpret_cast<const unsigned char*>(utf8.data()),
                  static_cast<int>(utf8.size()));
}

void SetSizeHints(const Node& n) {
  XSizeHints* hints = XAllocSizeHints();
  hints->flags = PPosition | USPosition;
  RECT in = InsetsOf(n.style, n.exStyle);
  hints->x = n.rect.left + in.left;
  hints->y = n.rect.top + in.top;
  if (!(n.style & WS_THICKFRAME)) {
    hints->flags |= PMinSize | PMaxSize;
    hints->min_width = hints->max_width = std::max(n.width, 1);
    hints->min_height = hints->max_height = std::max(n.height, 1);
  }
  XSetWMNormalHints(X().display, n.xwindow, hints);
  XFree(hints);
}

void SetIconProperty(Window window) {
  const vtres::Icon* icon = vt::platform::IconResource(W().programIcon);
  if (!icon) return;
  std::vector<unsigned long> value = NetWmIconValue(*icon);
  XChangeProperty(X().display, window, X().atoms.netWmIcon, XA_CARDINAL, 32,
                  PropModeReplace,
                  reinterpret_cast<const unsigned char*>(value.data()),
                  static_cast<int>(value.size()));
}

void FreeSurface(Node& n) {
  Display* d = X().display;
  if (n.draw) XftDrawDestroy(n.draw);
  if (n.gc) XFreeGC(d, n.gc);
  if (n.pixmap) XFreePixmap(d, n.pixmap);
  n.draw = nullptr;
  n.gc = nullptr;
  n.pixmap = 0;
}

// A pixmap the size of the client area; what was drawn is kept where the
// old and new sizes overlap.
void MakeSurface(Node& n) {
  Display* d = X().display;
  Pixmap pixmap = XCreatePixmap(d, n.xwindow, std::max(n.width, 1),
                                std::max(n.height, 1), X().depth);
  GC gc = XCreateGC(d, pixmap, 0, nullptr);
  XSetForeground(d, gc, PixelOf(RGB(0xC0, 0xC0, 0xC0)));
  XFillRectangle(d, pixmap, gc, 0, 0, std::max(n.width, 1),
                 std::max(n.height, 1));
  if (n.pixmap) {
    XCopyArea(d, n.pixmap, pixmap, gc, 0, 0, std::max(n.width, 1),
              std::max(n.height, 1), 0, 0);
  }
  FreeSurface(n);
  n.pixmap = pixmap;
  n.gc = gc;
  n.draw = XftDrawCreate(d, pixmap, X().visual, X().colormap);
}

void Present(Node& n) {
  if (!n.xwindow || !n.pixmap) return;
  XSetClipMask(X().display, n.gc, None);
  XCopyArea(X().display, n.pixmap, n.xwindow, n.gc, 0, 0, n.width, n.height, 0,
            0);
  n.dirty = false;
}

void Activate(Node& n) {
  const Connection& c = X();
  Display* d = c.display;
  if (!n.mapped) {
    n.activateOnMap = true;
    return;
  }
  XRaiseWindow(d, n.xwindow);
  Atom wmSelection =
      XInternAtom(d, ("WM_S" + std::to_string(c.screen)).c_str(), False);
  if (XGetSelectionOwner(d, wmSelection) == None) {
    // No window manager: nobody else will move the focus.
    XSetInputFocus(d, n.xwindow, RevertToParent, CurrentTime);
    return;
  }
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = n.xwindow;
  event.xclient.message_type = c.atoms.netActiveWindow;
  event.xclient.format = 32;
  // Source 2 (as a pager asks): the person chose this window through the
  // program (the tray icon), so the window manager should not refuse.
  event.xclient.data.l[0] = 2;
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, c.root, False,
             SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

// Drawing setup for one call into window: its top-level, the origin of
// its client area there, and the clip set on the GC and the Xft draw.
struct Target {
  Node* top = nullptr;
  POINT origin{};
  RECT clip{};
};

bool Prepare(HWND window, Target* t, const RECT* extraClip = nullptr) {
  Node* n = Find(window);
  if (!n) return false;
  t->top = TopOf(window);
  if (!t->top || !t->top->pixmap) return false;
  t->origin = ClientOrigin(*n);
  t->clip = ClientClip(*n);
  if (extraClip) {
    t->clip.left = std::max(t->clip.left, extraClip->left + t->origin.x);
    t->clip.top = std::max(t->clip.top, extraClip->top + t->origin.y);
    t->clip.right = std::min(t->clip.right, extraClip->right + t->origin.x);
    t->clip.bottom = std::min(t->clip.bottom, extraClip->bottom + t->origin.y);
  }
  if (t->clip.right <= t->clip.left || t->clip.bottom <= t->clip.top)
    return false;
  // A window never draws over its visible children, which paint
  // themselves: user may paint a parent after its children.
  Region region = XCreateRegion();
  XRectangle r{static_cast<short>(t->clip.left),
               static_cast<short>(t->clip.top),
               static_cast<unsigned short>(t->clip.right - t->clip.left),
               static_cast<unsigned short>(t->clip.bottom - t->clip.top)};
  XUnionRectWithRegion(&r, region, region);
  for (auto& [handle, child] : W().nodes) {
    if (child.parent != window || !child.visible) continue;
    POINT origin = ClientOrigin(child);
    RECT in = InsetsOf(child.style, child.exStyle);
    Region hole = XCreateRegion();
    XRectangle c{
        static_cast<short>(origin.x - in.left),
        static_cast<short>(origin.y - in.top),
        static_cast<unsigned short>(child.rect.right - child.rect.left),
        static_cast<unsigned short>(child.rect.bottom - child.rect.top)};
    XUnionRectWithRegion(&c, hole, hole);
    XSubtractRegion(region, hole, region);
    XDestroyRegion(hole);
  }
  XSetRegion(X().display, t->top->gc, region);
  XftDrawSetClip(t->top->draw, region);
  XDestroyRegion(region);
  return true;
}

void Drawn(Node& top) {
  top.dirty = true;
  top.lastDraw = NowMs();
  WakeEventThread();
}

// The deepest visible window under a point of the top-level's client area.
HWND HitTest(HWND top, int x, int y) {
  HWND best = top;
  bool descended = true;
  while (descended) {
    descended = false;
    // The last created child is on top, as user stacks them.
    for (auto it = W().nodes.rbegin(); it != W().nodes.rend(); ++it) {
      Node& child = it->second;
      if (child.parent != best || !child.visible) continue;
      POINT origin = ClientOrigin(child);
      RECT in = InsetsOf(child.style, child.exStyle);
      int left = origin.x - in.left;
      int topY = origin.y - in.top;
      int right = left + child.rect.right - child.rect.left;
      int bottom = topY + child.rect.bottom - child.rect.top;
      if (x >= left && x < right && y >= topY && y < bottom) {
        best = child.handle;
        descended = true;
        break;
      }
    }
  }
  return best;
}

// A point of a top-level's client area in the screen coordinates user
// keeps for it (which the window manager's placement may differ from).
POINT ToUserScreen(const Node& top, int x, int y) {
  RECT in = InsetsOf(top.style, top.exStyle);
  return POINT{top.rect.left + in.left + x, top.rect.top + in.top + y};
}

UINT ButtonMessage(unsigned button, bool press, bool doubled) {
  switch (button) {
    case Button1:
      return press ? (doubled ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN)
                   : WM_LBUTTONUP;
    case Button3:
      return press ? (doubled ? WM_RBUTTONDBLCLK : WM_RBUTTONDOWN)
                   : WM_RBUTTONUP;
    default:
      return 0;
  }
}

bool DoubleClick(Window window, unsigned button, int x, int y) {
  Windows& w = W();
  std::uint64_t now = NowMs();
  bool doubled = w.lastPressWindow == window && w.lastPressButton == button &&
                 now - w.lastPressTime <= kDoubleClickMs &&
                 std::abs(x - w.lastPressX) <= kDoubleClickDistance &&
                 std::abs(y - w.lastPressY) <= kDoubleClickDistance;
  // A third press starts a new pair.
  w.lastPressWindow = doubled ? 0 : window;
  w.lastPressButton = button;
  w.lastPressTime = now;
  w.lastPressX = x;
  w.lastPressY = y;
  return doubled;
}

void DeliverPointer(Node& top, UINT message, int x, int y, unsigned state) {
  vt::platform::InputEvent event;
  event.kind = vt::platform::InputKind::Mouse;
  event.scope = vt::platform::InputScope::Window;
  event.mouseMessage = message;
  event.point = ToUserScreen(top, x, y);
  event.modifiers = ModifiersOf(state);
  event.target = HitTest(top.handle, x, y);
  Defer(event);
}

bool HandleWindowEvent(XEvent& event) {
  auto found = W().byXWindow.find(event.xany.window);
  if (found == W().byXWindow.end()) return false;
  Node* n = Find(found->second);
  if (!n) return true;
  switch (event.type) {
    case Expose:
      if (n->pixmap) {
        XSetClipMask(X().display, n->gc, None);
        XCopyArea(X().display, n->pixmap, n->xwindow, n->gc, event.xexpose.x,
                  event.xexpose.y, event.xexpose.width, event.xexpose.height,
                  event.xexpose.x, event.xexpose.y);
      }
      return true;
    case MapNotify:
      n->mapped = true;
      if (n->overrideRedirect && IsPopupStyle(n->style) &&
          WindowTypeOf({n->handle, nullptr, n->style, n->exStyle, n->rect,
                        n->className, n->text}) == X().atoms.typePopupMenu) {
        // A menu takes the pointer and keyboard until it closes, so a click
        // anywhere else reaches it (and closes it).
        XGrabPointer(X().display, n->xwindow, False,
                     ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                     GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
        XGrabKeyboard(X().display, n->xwindow, False, GrabModeAsync,
                      GrabModeAsync, CurrentTime);
        W().grabbing = n->xwindow;
      }
      if (n->activateOnMap) {
        n->activateOnMap = false;
        Activate(*n);
      }
      return true;
    case UnmapNotify:
      n->mapped = false;
      return true;
    case ClientMessage:
      if (event.xclient.message_type == X().atoms.wmProtocols &&
          static_cast<Atom>(event.xclient.data.l[0]) ==
              X().atoms.wmDeleteWindow)
        DeferClose(n->handle);
      return true;
    case ButtonPress:
    case ButtonRelease: {
      bool press = event.type == ButtonPress;
      unsigned button = event.xbutton.button;
      // The wheel's turns need a delta the input event cannot carry yet;
      // they still count as activity through the desktop-wide input.
      if (button == Button4 || button == Button5) return true;
      bool doubled = press && DoubleClick(n->xwindow, button, event.xbutton.x,
                                          event.xbutton.y);
      UINT message = ButtonMessage(button, press, doubled);
      if (message)
        DeliverPointer(*n, message, event.xbutton.x, event.xbutton.y,
                       event.xbutton.state);
      return true;
    }
    case MotionNotify:
      DeliverPointer(*n, WM_MOUSEMOVE, event.xmotion.x, event.xmotion.y,
                     event.xmotion.state);
      return true;
    case KeyPress:
    case KeyRelease:
      HandleKey(event.xkey);
      return true;
    case EnterNotify:
      SetPointerInside(true);
      return true;
    case LeaveNotify:
      SetPointerInside(false);
      return true;
    case FocusIn:
      SetFocusInside(true);
      return true;
    case FocusOut:
      SetFocusInside(false);
      return true;
    default:
      return true;
  }
}

int PresentQuietWindows() {
  std::uint64_t now = NowMs();
  int wait = -1;
  for (auto& [handle, n] : W().nodes) {
    if (!n.dirty) continue;
    if (now - n.lastDraw >= kPresentQuietMs) {
      Present(n);
    } else {
      int left = static_cast<int>(kPresentQuietMs - (now - n.lastDraw));
      wait = wait < 0 ? left : std::min(wait, left);
    }
  }
  return wait;
}

void CreateTopLevel(Node& n, HWND owner) {
  const Connection& c = X();
  Display* d = c.display;
  RECT in = InsetsOf(n.style, n.exStyle);
  n.width = std::max<int>(1, n.rect.right - n.rect.left - in.left - in.right);
  n.height = std::max<int>(1, n.rect.bottom - n.rect.top - in.top - in.bottom);
  XSetWindowAttributes attributes{};
  attributes.background_pixmap = None;
  attributes.bit_gravity = NorthWestGravity;
  attributes.event_mask = ExposureMask | StructureNotifyMask | KeyPressMask |
                          KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                          PointerMotionMask | EnterWindowMask |
                          LeaveWindowMask | FocusChangeMask;
  n.overrideRedirect = IsPopupStyle(n.style);
  attributes.override_redirect = n.overrideRedirect ? True : False;
  n.xwindow = XCreateWindow(
      d, c.root, n.rect.left + in.left, n.rect.top + in.top,
      static_cast<unsigned>(n.width), static_cast<unsigned>(n.height), 0,
      c.depth, InputOutput, c.visual,
      CWBackPixmap | CWBitGravity | CWEventMask | CWOverrideRedirect,
      &attributes);
  W().byXWindow[n.xwindow] = n.handle;
  SetCommonProperties(n.xwindow, "velto");
  SetName(n.xwindow, n.text);
  vt::platform::WindowInfo info{n.handle, nullptr,     n.style, n.exStyle,
                                n.rect,   n.className, n.text};
  Atom type = WindowTypeOf(info);
  XChangeProperty(d, n.xwindow, c.atoms.netWmWindowType, XA_ATOM, 32,
                  PropModeReplace, reinterpret_cast<unsigned char*>(&type), 1);
  Atom protocols[] = {c.atoms.wmDeleteWindow};
  XSetWMProtocols(d, n.xwindow, protocols, 1);
  XWMHints* hints = XAllocWMHints();
  hints->flags = InputHint | StateHint;
  hints->input = True;
  hints->initial_state = NormalState;
  XSetWMHints(d, n.xwindow, hints);
  XFree(hints);
  if (Node* o = owner ? Find(owner) : nullptr; o && o->xwindow)
    XSetTransientForHint(d, n.xwindow, o->xwindow);
  SetSizeHints(n);
  SetIconProperty(n.xwindow);
  MakeSurface(n);
}

}  // namespace

void SetCommonProperties(Window window, const char* instanceName) {
  Display* d = X().display;
  XClassHint* hint = XAllocClassHint();
  std::string instance = instanceName;
  std::string className = "Vellumtide";
  hint->res_name = instance.data();
  hint->res_class = className.data();
  XSetClassHint(d, window, hint);
  XFree(hint);
  unsigned long pid = static_cast<unsigned long>(getpid());
  XChangeProperty(d, window, X().atoms.netWmPid, XA_CARDINAL, 32,
                  PropModeReplace, reinterpret_cast<unsigned char*>(&pid), 1);
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) == 0) {
    XTextProperty machine;
    char* list[] = {host};
    if (XStringListToTextProperty(list, 1, &machine)) {
      XSetWMClientMachine(d, window, &machine);
      XFree(machine.value);
    }
  }
}

bool IsOwnWindow(Window window) { return W().byXWindow.count(window) != 0; }

void WindowCreated(const vt::platform::WindowInfo& info) {
  // The owner is asked for before the lock: user answers from its own table.
  HWND owner = info.parent ? nullptr : GetWindow(info.window, GW_OWNER);
  XLock lock;
  Node& n = W().nodes[info.window];
  n.handle = info.window;
  n.parent = info.parent;
  n.style = info.style;
  n.exStyle = info.exStyle;
  n.rect = info.rect;
  n.className = info.className;
  n.text = info.text;
  n.visible = (info.style & WS_VISIBLE) != 0;
  if (!n.parent) CreateTopLevel(n, owner);
}

void WindowDestroyed(HWND window) {
  XLock lock;
  Node* n = Find(window);
  if (!n) return;
  if (n->xwindow) {
    if (W().grabbing == n->xwindow) {
      XUngrabPointer(X().display, CurrentTime);
      XUngrabKeyboard(X().display, CurrentTime);
      W().grabbing = 0;
    }
    FreeSurface(*n);
    XDestroyWindow(X().display, n->xwindow);
    W().byXWindow.erase(n->xwindow);
  }
  W().nodes.erase(window);
}

void WindowShown(HWND window, bool visible) {
  XLock lock;
  Node* n = Find(window);
  if (!n) return;
  n->visible = visible;
  if (!n->xwindow) return;
  if (visible) {
    // What was drawn while hidden goes up with the window.
    Present(*n);
    XMapRaised(X().display, n->xwindow);
  } else {
    if (W().grabbing == n->xwindow) {
      XUngrabPointer(X().display, CurrentTime);
      XUngrabKeyboard(X().display, CurrentTime);
      W().grabbing = 0;
    }
    XUnmapWindow(X().display, n->xwindow);
    // A managed window is withdrawn only after this synthetic unmap.
    XEvent event{};
    event.xunmap.type = UnmapNotify;
    event.xunmap.event = X().root;
    event.xunmap.window = n->xwindow;
    XSendEvent(X().display, X().root, False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
  }
}

void WindowMoved(HWND window, const RECT& rect) {
  XLock lock;
  Node* n = Find(window);
  if (!n) return;
  n->rect = rect;
  if (!n->xwindow) return;
  RECT in = InsetsOf(n->style, n->exStyle);
  int width = std::max<int>(1, rect.right - rect.left - in.left - in.right);
  int height = std::max<int>(1, rect.bottom - rect.top - in.top - in.bottom);
  bool sized = width != n->width || height != n->height;
  n->width = width;
  n->height = height;
  SetSizeHints(*n);
  XMoveResizeWindow(X().display, n->xwindow, rect.left + in.left,
                    rect.top + in.top, static_cast<unsigned>(width),
                    static_cast<unsigned>(height));
  if (sized) MakeSurface(*n);
}

void WindowTextChanged(HWND window, std::string_view text) {
  XLock lock;
  Node* n = Find(window);
  if (!n) return;
  n->text = text;
  if (n->xwindow) SetName(n->xwindow, text);
}

void WindowInvalidated(HWND) {}

void ForegroundChanged(HWND window) {
  XLock lock;
  Node* n = TopOf(window);
  if (n && n->xwindow) Activate(*n);
}

void FillRect(HWND window, const RECT& rect, COLORREF color) {
  XLock lock;
  Target t;
  if (!Prepare(window, &t)) return;
  int width = rect.right - rect.left;
  int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return;
  XSetForeground(X().display, t.top->gc, PixelOf(color));
  XFillRectangle(X().display, t.top->pixmap, t.top->gc, rect.left + t.origin.x,
                 rect.top + t.origin.y, static_cast<unsigned>(width),
                 static_cast<unsigned>(height));
  Drawn(*t.top);
}

void DrawLine(HWND window, int x0, int y0, int x1, int y1, COLORREF color) {
  XLock lock;
  Target t;
  if (!Prepare(window, &t)) return;
  // A line stops one pixel short of its end point, as LineTo draws it.
  int ex = x1, ey = y1;
  if (x0 == x1 && y0 != y1) ey += y1 > y0 ? -1 : 1;
  if (y0 == y1 && x0 != x1) ex += x1 > x0 ? -1 : 1;
  if (x0 == x1 && y0 == y1) return;
  XSetForeground(X().display, t.top->gc, PixelOf(color));
  XDrawLine(X().display, t.top->pixmap, t.top->gc, x0 + t.origin.x,
            y0 + t.origin.y, ex + t.origin.x, ey + t.origin.y);
  Drawn(*t.top);
}

void DrawTextIn(HWND window, const OpenedFont* font, int x, int y,
                std::string_view text, COLORREF color, const RECT& clip) {
  XLock lock;
  Target t;
  if (!font) font = DefaultFont();
  if (!font || !Prepare(window, &t, &clip)) return;
  std::string utf8 = vt::platform::AnsiToUtf8(text);
  XRenderColor render{static_cast<unsigned short>((color & 0xFF) * 257),
                      static_cast<unsigned short>(((color >> 8) & 0xFF) * 257),
                      static_cast<unsigned short>(((color >> 16) & 0xFF) * 257),
                      0xFFFF};
  XftColor xftColor;
  if (!XftColorAllocValue(X().display, X().visual, X().colormap, &render,
                          &xftColor))
    return;
  XftDrawStringUtf8(t.top->draw, &xftColor, font->font, x + t.origin.x,
                    y + t.origin.y + font->font->ascent,
                    reinterpret_cast<const FcChar8*>(utf8.data()),
                    static_cast<int>(utf8.size()));
  XftColorFree(X().display, X().visual, X().colormap, &xftColor);
  Drawn(*t.top);
}

void DrawText(HWND window, int x, int y, std::string_view text, COLORREF color,
              const RECT& clip) {
  DrawTextIn(window, nullptr, x, y, text, color, clip);
}

void DrawIcon(HWND window, int x, int y, HICON icon) {
  const vtres::Icon* art = vt::platform::IconResource(icon);
  if (!art) return;
  std::vector<std::uint32_t> pixels = ScaledIcon(*art, 32, 32);
  XLock lock;
  Target t;
  if (!Prepare(window, &t)) return;
  CompositeArgb(t.top->pixmap, x + t.origin.x, y + t.origin.y, 32, 32, pixels);
  Drawn(*t.top);
}

void DrawBitmap(HWND window, int x, int y, HBITMAP bitmap) {
  const vtres::Bitmap* art = vt::platform::BitmapResource(bitmap);
  if (!art || art->width <= 0 || art->height <= 0) return;
  XLock lock;
  Target t;
  if (!Prepare(window, &t)) return;
  Display* d = X().display;
  for (int row = 0; row < art->height; ++row) {
    for (int column = 0; column < art->width; ++column) {
      BYTE index = art->indices[row * art->width + column];
      COLORREF color = index < art->paletteSize ? art->palette[index] : 0;
      XSetForeground(d, t.top->gc, PixelOf(color));
      XDrawPoint(d, t.top->pixmap, t.top->gc, x + t.origin.x + column,
                 y + t.origin.y + row);
    }
  }
  Drawn(*t.top);
}

void SetProgramIcon(HICON icon) {
  XLock lock;
  if (W().programIcon) return;
  W().programIcon = icon;
  for (auto& [handle, n] : W().nodes)
    if (n.xwindow) SetIconProperty(n.xwindow);
}

void InstallWindowHandlers() {
  AddEventHandler(HandleWindowEvent);
  AddIdleHandler(PresentQuietWindows);
}

}  // namespace vt::x11
