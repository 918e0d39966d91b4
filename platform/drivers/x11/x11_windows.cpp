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
// screen when the outermost paint of that window ends, and again on every
// Expose, so a repaint never shows its half-drawn state and a window
// uncovered by another needs no repaint from the program at all.
//
// The driver speaks to user only through the delivery functions, and it
// always reports pointer positions in the screen coordinates user keeps
// for the window; a move by the window manager is reported first, so the
// two agree.
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

using vt::platform::DrawTarget;
using vt::platform::WindowEvent;
using vt::platform::WindowEventKind;

struct Node {
  HWND handle = nullptr;
  HWND parent = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  std::string className;
  std::string text;
  bool visible = false;
  // A child: its window and client rectangles relative to its parent's
  // client area. A top-level window: both in screen pixels, as user keeps
  // them.
  RECT window{};
  RECT client{};
  // Top-level windows only.
  Window xwindow = 0;
  Pixmap pixmap = 0;
  int width = 0;
  int height = 0;
  GC gc = nullptr;
  XftDraw* draw = nullptr;
  bool popupMenu = false;
  // Menus and tips have no window manager's frame: their X window is the
  // whole window, and the driver draws the frame around the client area.
  bool drawsFrame = false;
  bool mapped = false;
  bool activateOnMap = false;
  bool captureOnMap = false;
  int painting = 0;  // nesting of paint brackets in this window's tree
};

struct Windows {
  std::map<HWND, Node> nodes;
  std::map<Window, HWND> byXWindow;
  HICON programIcon = nullptr;
  // The window user last made the foreground one, and when: focus changes
  // the window manager reports are echoes of such requests until it has
  // done what was asked.
  HWND requested = nullptr;
  std::uint64_t requestedAt = 0;
  // The top-level window holding the pointer (and for menus the keyboard)
  // grab, for the capture user asked for.
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

RECT Offset(const RECT& r, int dx, int dy) {
  return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

RECT Intersect(const RECT& a, const RECT& b) {
  return RECT{std::max(a.left, b.left), std::max(a.top, b.top),
              std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
}

bool Empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

// A top-level's X window on the screen, as user places it.
RECT XRect(const Node& n) { return n.drawsFrame ? n.window : n.client; }

// Where a window's client area starts inside its top-level's X window.
POINT ClientOrigin(const Node& n) {
  if (!n.parent) {
    RECT x = XRect(n);
    return POINT{n.client.left - x.left, n.client.top - x.top};
  }
  Node* parent = Find(n.parent);
  POINT origin = parent ? ClientOrigin(*parent) : POINT{0, 0};
  return POINT{origin.x + n.client.left, origin.y + n.client.top};
}

// A window's client area on the screen, as user sees it.
POINT ScreenClientOrigin(const Node& n) {
  Node* top = TopOf(n.handle);
  POINT origin = ClientOrigin(n);
  if (top) {
    RECT x = XRect(*top);
    origin.x += x.left;
    origin.y += x.top;
  }
  return origin;
}

// The part of the top-level's client area a window may draw in: its client
// area cut by every ancestor's.
RECT ClientClip(const Node& n) {
  if (!n.parent) {
    POINT origin = ClientOrigin(n);
    return RECT{origin.x, origin.y, origin.x + (n.client.right - n.client.left),
                origin.y + (n.client.bottom - n.client.top)};
  }
  POINT origin = ClientOrigin(n);
  RECT own{origin.x, origin.y, origin.x + (n.client.right - n.client.left),
           origin.y + (n.client.bottom - n.client.top)};
  Node* parent = Find(n.parent);
  return parent ? Intersect(own, ClientClip(*parent)) : own;
}

// The part of the top-level's client area a child's frame may be drawn in:
// its whole window rectangle, cut by its ancestors' client areas.
RECT FrameClip(const Node& n) {
  Node* parent = n.parent ? Find(n.parent) : nullptr;
  if (!parent) return ClientClip(n);
  POINT origin = ClientOrigin(*parent);
  return Intersect(Offset(n.window, origin.x, origin.y), ClientClip(*parent));
}

Atom WindowTypeOf(const Node& n) {
  const Atoms& a = X().atoms;
  bool popup = (n.style & WS_POPUP) && (n.style & WS_CAPTION) != WS_CAPTION;
  if (n.className == "#32768") return a.typePopupMenu;
  if (popup)
    return (n.exStyle & WS_EX_TOOLWINDOW) ? a.typeTooltip : a.typePopupMenu;
  if ((n.style & WS_CAPTION) == WS_CAPTION &&
      ((n.style & DS_MODALFRAME) || n.className == "#32770"))
    return a.typeDialog;
  // The hidden main window, which is never shown.
  if ((n.style & WS_CAPTION) != WS_CAPTION) return a.typeUtility;
  return a.typeNormal;
}

// Menus and tips are drawn whole by user, with no frame of the window
// manager around them.
bool IsOverrideRedirect(const Node& n) {
  Atom type = WindowTypeOf(n);
  return type == X().atoms.typePopupMenu || type == X().atoms.typeTooltip;
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
  hints->x = n.client.left;
  hints->y = n.client.top;
  // Without a sizing border the window keeps the size its template gave.
  if (!(n.style & WS_THICKFRAME)) {
    hints->flags |= PMinSize | PMaxSize;
    hints->min_width = hints->max_width = std::max(n.width, 1);
    hints->min_height = hints->max_height = std::max(n.height, 1);
  }
  XSetWMNormalHints(X().display, n.xwindow, hints);
  XFree(hints);
}

// What the window manager offers for the window, as its frame would on
// the target: a dialog without a sizing border or minimize and maximize
// boxes can be moved and closed, nothing more. The window manager reads
// _MOTIF_WM_HINTS (five longs: which fields count, the functions, the
// decorations, the input mode, a status) and keeps _NET_WM_ALLOWED_ACTIONS
// from it.
void SetFrameHints(const Node& n) {
  enum : unsigned long {
    kFunctionsGiven = 1,
    kDecorationsGiven = 2,
    kFunctionResize = 2,
    kFunctionMove = 4,
    kFunctionMinimize = 8,
    kFunctionMaximize = 16,
    kFunctionClose = 32,
    kDecorBorder = 2,
    kDecorResizeHandles = 4,
    kDecorTitle = 8,
    kDecorMenu = 16,
    kDecorMinimize = 32,
    kDecorMaximize = 64,
  };
  unsigned long functions = kFunctionMove | kFunctionClose;
  unsigned long decorations = kDecorBorder | kDecorTitle | kDecorMenu;
  if (n.style & WS_THICKFRAME) {
    functions |= kFunctionResize;
    decorations |= kDecorResizeHandles;
  }
  if (n.style & WS_MINIMIZEBOX) {
    functions |= kFunctionMinimize;
    decorations |= kDecorMinimize;
  }
  if ((n.style & WS_MAXIMIZEBOX) && (n.style & WS_THICKFRAME)) {
    functions |= kFunctionMaximize;
    decorations |= kDecorMaximize;
  }
  unsigned long value[5] = {kFunctionsGiven | kDecorationsGiven, functions,
                            decorations, 0, 0};
  XChangeProperty(X().display, n.xwindow, X().atoms.motifWmHints,
                  X().atoms.motifWmHints, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(value), 5);
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

// A pixmap the size of the client area, in the face colour until painted;
// what was drawn is kept where the old and new sizes overlap.
void MakeSurface(Node& n) {
  Display* d = X().display;
  unsigned width = static_cast<unsigned>(std::max(n.width, 1));
  unsigned height = static_cast<unsigned>(std::max(n.height, 1));
  Pixmap pixmap = XCreatePixmap(d, n.xwindow, width, height,
                                static_cast<unsigned>(X().depth));
  GC gc = XCreateGC(d, pixmap, 0, nullptr);
  XSetForeground(d, gc, PixelOf(RGB(0xC0, 0xC0, 0xC0)));
  XFillRectangle(d, pixmap, gc, 0, 0, width, height);
  if (n.pixmap) XCopyArea(d, n.pixmap, pixmap, gc, 0, 0, width, height, 0, 0);
  FreeSurface(n);
  n.pixmap = pixmap;
  n.gc = gc;
  n.draw = XftDrawCreate(d, pixmap, X().visual, X().colormap);
}

// The frame of a window without the window manager's: the target's raised
// edge for a dialog frame (menus), a black line for a plain border (tips).
void DrawFrame(Node& n) {
  Display* d = X().display;
  XSetClipMask(d, n.gc, None);
  int w = n.width, h = n.height;
  auto line = [&](int x0, int y0, int x1, int y1, COLORREF color) {
    XSetForeground(d, n.gc, PixelOf(color));
    XDrawLine(d, n.pixmap, n.gc, x0, y0, x1, y1);
  };
  // Each ring: its colour above and left, then below and right.
  auto ring = [&](int i, COLORREF light, COLORREF dark) {
    line(i, i, w - 1 - i, i, light);
    line(i, i, i, h - 1 - i, light);
    line(i, h - 1 - i, w - 1 - i, h - 1 - i, dark);
    line(w - 1 - i, i, w - 1 - i, h - 1 - i, dark);
  };
  POINT inset = ClientOrigin(n);
  if (inset.x <= 1) {
    if (inset.x == 1) ring(0, RGB(0, 0, 0), RGB(0, 0, 0));
    return;
  }
  ring(0, RGB(0xC0, 0xC0, 0xC0), RGB(0, 0, 0));
  ring(1, RGB(0xFF, 0xFF, 0xFF), RGB(0x80, 0x80, 0x80));
  for (int i = 2; i < inset.x; ++i)
    ring(i, RGB(0xC0, 0xC0, 0xC0), RGB(0xC0, 0xC0, 0xC0));
}

void Present(Node& n) {
  if (!n.xwindow || !n.pixmap) return;
  if (n.drawsFrame) DrawFrame(n);
  XSetClipMask(X().display, n.gc, None);
  XCopyArea(X().display, n.pixmap, n.xwindow, n.gc, 0, 0,
            static_cast<unsigned>(n.width), static_cast<unsigned>(n.height), 0,
            0);
}

bool WindowManagerRuns() {
  Display* d = X().display;
  std::string name = "WM_S" + std::to_string(X().screen);
  return XGetSelectionOwner(d, XInternAtom(d, name.c_str(), False)) != None;
}

void Activate(Node& n) {
  const Connection& c = X();
  Display* d = c.display;
  if (!n.mapped) {
    n.activateOnMap = true;
    return;
  }
  XRaiseWindow(d, n.xwindow);
  if (!WindowManagerRuns()) {
    // Nobody else will move the keyboard focus.
    XSetInputFocus(d, n.xwindow, RevertToParent, CurrentTime);
    return;
  }
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = n.xwindow;
  event.xclient.message_type = c.atoms.netActiveWindow;
  event.xclient.format = 32;
  // Source 2, as a pager asks: the person chose the window through the
  // program (its tray icon), so the window manager should not refuse.
  event.xclient.data.l[0] = 2;
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, c.root, False,
             SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

void Ungrab() {
  if (!W().grabbing) return;
  XUngrabPointer(X().display, CurrentTime);
  XUngrabKeyboard(X().display, CurrentTime);
  W().grabbing = 0;
  SetPointerInside(false);
  SetKeyboardGrabbed(false);
}

void Grab(Node& n) {
  if (!n.mapped) {
    n.captureOnMap = true;
    return;
  }
  Display* d = X().display;
  XGrabPointer(d, n.xwindow, False,
               ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
               GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
  // A menu takes the keyboard too, so its arrows and Esc work wherever the
  // focus was.
  if (n.popupMenu) {
    XGrabKeyboard(d, n.xwindow, False, GrabModeAsync, GrabModeAsync,
                  CurrentTime);
    SetKeyboardGrabbed(true);
  }
  W().grabbing = n.xwindow;
  // Every pointer event now reaches the hooks through the grab.
  SetPointerInside(true);
}

// Drawing setup for one call: the top-level, the origin of the window's
// client area there, and the clip (the call's own, the window's client area
// and its ancestors', less its visible children) set on the GC and the Xft
// draw.
struct Target {
  Node* top = nullptr;
  POINT origin{};
};

bool Prepare(const DrawTarget& target, Target* t) {
  Node* n = Find(target.window);
  if (!n) return false;
  t->top = TopOf(target.window);
  if (!t->top || !t->top->pixmap) return false;
  t->origin = ClientOrigin(*n);
  RECT clip = Intersect(target.frame ? FrameClip(*n) : ClientClip(*n),
                        Offset(target.clip, t->origin.x, t->origin.y));
  if (Empty(clip)) return false;
  Region region = XCreateRegion();
  XRectangle r{static_cast<short>(clip.left), static_cast<short>(clip.top),
               static_cast<unsigned short>(clip.right - clip.left),
               static_cast<unsigned short>(clip.bottom - clip.top)};
  XUnionRectWithRegion(&r, region, region);
  // A window never draws over its visible children, frames included,
  // which paint themselves.
  for (auto& [handle, other] : W().nodes) {
    if (!other.visible || other.parent != target.window) continue;
    RECT area = Offset(other.window, t->origin.x, t->origin.y);
    Region hole = XCreateRegion();
    XRectangle c{static_cast<short>(area.left), static_cast<short>(area.top),
                 static_cast<unsigned short>(area.right - area.left),
                 static_cast<unsigned short>(area.bottom - area.top)};
    XUnionRectWithRegion(&c, hole, hole);
    XSubtractRegion(region, hole, region);
    XDestroyRegion(hole);
  }
  XSetRegion(X().display, t->top->gc, region);
  XftDrawSetClip(t->top->draw, region);
  XDestroyRegion(region);
  return true;
}

// Drawing outside a paint (through GetDC) shows at once.
void Drawn(Node& top) {
  if (top.painting == 0) Present(top);
}

unsigned ButtonsOf(unsigned state) {
  unsigned buttons = 0;
  if (state & Button1Mask) buttons |= MK_LBUTTON;
  if (state & Button3Mask) buttons |= MK_RBUTTON;
  if (state & Button2Mask) buttons |= MK_MBUTTON;
  return buttons;
}

void DeliverPointer(const Node& top, UINT message, int x, int y, unsigned state,
                    Time time, int wheel = 0) {
  vt::platform::InputEvent event;
  event.kind = vt::platform::InputKind::Mouse;
  event.scope = vt::platform::InputScope::Window;
  event.mouseMessage = message;
  RECT placed = XRect(top);
  event.point = POINT{placed.left + x, placed.top + y};
  event.modifiers = ModifiersOf(state);
  event.buttons = ButtonsOf(state);
  event.wheelDelta = wheel;
  event.target = top.handle;
  event.time = static_cast<DWORD>(time);
  Defer(event);
}

UINT ButtonMessage(unsigned button, bool press) {
  switch (button) {
    case Button1:
      return press ? WM_LBUTTONDOWN : WM_LBUTTONUP;
    case Button2:
      return press ? WM_MBUTTONDOWN : WM_MBUTTONUP;
    case Button3:
      return press ? WM_RBUTTONDOWN : WM_RBUTTONUP;
    default:
      return 0;
  }
}

// The window manager moved or sized the window: user is told, unless it is
// where user put it.
void Configured(Node& n, const XConfigureEvent& event) {
  // Nobody but the program places a window without a frame.
  if (n.drawsFrame) return;
  int x = event.x, y = event.y;
  if (!event.send_event && !n.popupMenu) {
    // A real event under a frame gives the place in the frame.
    Window child;
    XTranslateCoordinates(X().display, n.xwindow, X().root, 0, 0, &x, &y,
                          &child);
  }
  if (event.width != n.width || event.height != n.height) {
    n.width = event.width;
    n.height = event.height;
    MakeSurface(n);
  }
  RECT client{x, y, x + event.width, y + event.height};
  if (client.left == n.client.left && client.top == n.client.top &&
      client.right == n.client.right && client.bottom == n.client.bottom)
    return;
  WindowEvent moved;
  moved.kind = WindowEventKind::Moved;
  moved.window = n.handle;
  moved.rect = RECT{n.window.left + (client.left - n.client.left),
                    n.window.top + (client.top - n.client.top),
                    n.window.right + (client.right - n.client.right),
                    n.window.bottom + (client.bottom - n.client.bottom)};
  n.window = moved.rect;
  n.client = client;
  DeferWindowEvent(moved);
}

void Focus(const Node& n, const XFocusChangeEvent& event) {
  // Grabs (our own menus') and the pointer's wanderings are no change of
  // the active window.
  if (event.mode != NotifyNormal && event.mode != NotifyWhileGrabbed) return;
  if (event.detail == NotifyPointer || event.detail == NotifyInferior) return;
  SetFocusInside(event.type == FocusIn);
  // Within this time of a request, focus changes of other windows are the
  // window manager catching up with earlier ones; telling user of them
  // would take the foreground back from the window it just chose.
  constexpr std::uint64_t kRequestSettleMs = 1000;
  Windows& w = W();
  bool pending = w.requested && NowMs() - w.requestedAt < kRequestSettleMs;
  if (event.type == FocusIn && n.handle == w.requested) {
    w.requested = nullptr;
    return;
  }
  if (pending && n.handle != w.requested) return;
  WindowEvent change;
  change.window = n.handle;
  change.kind = event.type == FocusIn ? WindowEventKind::Activated
                                      : WindowEventKind::Deactivated;
  DeferWindowEvent(change);
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
                  event.xexpose.y, static_cast<unsigned>(event.xexpose.width),
                  static_cast<unsigned>(event.xexpose.height), event.xexpose.x,
                  event.xexpose.y);
      }
      break;
    case MapNotify:
      n->mapped = true;
      if (n->captureOnMap || n->popupMenu) {
        n->captureOnMap = false;
        Grab(*n);
      }
      if (n->activateOnMap) {
        n->activateOnMap = false;
        Activate(*n);
      }
      break;
    case UnmapNotify:
      n->mapped = false;
      if (W().grabbing == n->xwindow) Ungrab();
      break;
    case ConfigureNotify:
      Configured(*n, event.xconfigure);
      break;
    case ClientMessage:
      if (event.xclient.message_type == X().atoms.wmProtocols &&
          static_cast<Atom>(event.xclient.data.l[0]) ==
              X().atoms.wmDeleteWindow) {
        DeferWindowEvent(
            WindowEvent{WindowEventKind::CloseRequested, n->handle, RECT{}});
      }
      break;
    case ButtonPress:
    case ButtonRelease: {
      bool press = event.type == ButtonPress;
      unsigned button = event.xbutton.button;
      if (button == Button4 || button == Button5) {
        // One notch a press, away from the person being up.
        if (press)
          DeliverPointer(*n, WM_MOUSEWHEEL, event.xbutton.x, event.xbutton.y,
                         event.xbutton.state, event.xbutton.time,
                         button == Button4 ? 120 : -120);
        break;
      }
      UINT message = ButtonMessage(button, press);
      if (message)
        DeliverPointer(*n, message, event.xbutton.x, event.xbutton.y,
                       event.xbutton.state, event.xbutton.time);
      break;
    }
    case MotionNotify:
      DeliverPointer(*n, WM_MOUSEMOVE, event.xmotion.x, event.xmotion.y,
                     event.xmotion.state, event.xmotion.time);
      break;
    case KeyPress:
    case KeyRelease:
      HandleKey(event.xkey);
      break;
    case EnterNotify:
      SetPointerInside(true);
      break;
    case LeaveNotify:
      if (W().grabbing) break;
      SetPointerInside(false);
      if (event.xcrossing.mode == NotifyNormal)
        DeferWindowEvent(
            WindowEvent{WindowEventKind::PointerLeft, n->handle, RECT{}});
      break;
    case FocusIn:
    case FocusOut:
      Focus(*n, event.xfocus);
      break;
    default:
      break;
  }
  return true;
}

void CreateTopLevel(Node& n, HWND owner) {
  const Connection& c = X();
  Display* d = c.display;
  n.drawsFrame = IsOverrideRedirect(n);
  RECT placed = XRect(n);
  n.width = std::max<int>(1, placed.right - placed.left);
  n.height = std::max<int>(1, placed.bottom - placed.top);
  n.popupMenu = WindowTypeOf(n) == c.atoms.typePopupMenu;
  XSetWindowAttributes attributes{};
  attributes.background_pixmap = None;
  attributes.bit_gravity = NorthWestGravity;
  attributes.event_mask = ExposureMask | StructureNotifyMask | KeyPressMask |
                          KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                          PointerMotionMask | EnterWindowMask |
                          LeaveWindowMask | FocusChangeMask;
  attributes.override_redirect = n.drawsFrame ? True : False;
  n.xwindow = XCreateWindow(
      d, c.root, placed.left, placed.top, static_cast<unsigned>(n.width),
      static_cast<unsigned>(n.height), 0, c.depth, InputOutput, c.visual,
      CWBackPixmap | CWBitGravity | CWEventMask | CWOverrideRedirect,
      &attributes);
  W().byXWindow[n.xwindow] = n.handle;
  SetCommonProperties(n.xwindow, "velto");
  SetName(n.xwindow, n.text);
  Atom type = WindowTypeOf(n);
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
  if (Node* o = owner ? TopOf(owner) : nullptr; o && o->xwindow)
    XSetTransientForHint(d, n.xwindow, o->xwindow);
  SetSizeHints(n);
  if (!n.drawsFrame) SetFrameHints(n);
  SetIconProperty(n.xwindow);
  MakeSurface(n);
}

// A child's rectangles, given on the screen, relative to its parent's
// client area.
void PlaceChild(Node& n, const RECT& window, const RECT& client) {
  Node* parent = Find(n.parent);
  POINT origin = parent ? ScreenClientOrigin(*parent) : POINT{0, 0};
  n.window = Offset(window, -origin.x, -origin.y);
  n.client = Offset(client, -origin.x, -origin.y);
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
  XLock lock;
  Node& n = W().nodes[info.window];
  n.handle = info.window;
  n.parent = info.parent;
  n.style = info.style;
  n.exStyle = info.exStyle;
  n.className = info.className;
  n.text = info.text;
  n.visible = (info.style & WS_VISIBLE) != 0;
  if (n.parent) {
    PlaceChild(n, info.rect, info.client);
  } else {
    n.window = info.rect;
    n.client = info.client;
    CreateTopLevel(n, info.owner);
  }
}

void WindowDestroyed(HWND window) {
  XLock lock;
  Node* n = Find(window);
  if (!n) return;
  if (n->xwindow) {
    if (W().grabbing == n->xwindow) Ungrab();
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
    return;
  }
  if (W().grabbing == n->xwindow) Ungrab();
  XUnmapWindow(X().display, n->xwindow);
  if (!IsOverrideRedirect(*n)) {
    // A managed window is withdrawn only with this synthetic unmap.
    XEvent event{};
    event.xunmap.type = UnmapNotify;
    event.xunmap.event = X().root;
    event.xunmap.window = n->xwindow;
    XSendEvent(X().display, X().root, False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
  }
}

void WindowMoved(HWND window, const RECT& rect, const RECT& client) {
  XLock lock;
  Node* n = Find(window);
  if (!n) return;
  if (n->parent) {
    PlaceChild(*n, rect, client);
    return;
  }
  RECT before = XRect(*n);
  n->window = rect;
  n->client = client;
  RECT placed = XRect(*n);
  if (placed.left == before.left && placed.top == before.top &&
      placed.right == before.right && placed.bottom == before.bottom)
    return;
  int width = std::max<int>(1, placed.right - placed.left);
  int height = std::max<int>(1, placed.bottom - placed.top);
  bool sized = width != n->width || height != n->height;
  n->width = width;
  n->height = height;
  SetSizeHints(*n);
  XMoveResizeWindow(X().display, n->xwindow, placed.left, placed.top,
                    static_cast<unsigned>(width),
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

void ForegroundChanged(HWND window) {
  XLock lock;
  Node* n = TopOf(window);
  if (!n || !n->xwindow) return;
  W().requested = n->handle;
  W().requestedAt = NowMs();
  Activate(*n);
}

void CaptureChanged(HWND window) {
  XLock lock;
  Ungrab();
  Node* n = window ? TopOf(window) : nullptr;
  if (n && n->xwindow) Grab(*n);
}

void BeginPaint(HWND window, const RECT&) {
  XLock lock;
  if (Node* top = TopOf(window)) ++top->painting;
}

void EndPaint(HWND window) {
  XLock lock;
  Node* top = TopOf(window);
  if (!top || top->painting == 0) return;
  if (--top->painting == 0) Present(*top);
}

void FillRect(const DrawTarget& target, const RECT& rect, COLORREF color) {
  XLock lock;
  Target t;
  if (Empty(rect) || !Prepare(target, &t)) return;
  XSetForeground(X().display, t.top->gc, PixelOf(color));
  XFillRectangle(X().display, t.top->pixmap, t.top->gc, rect.left + t.origin.x,
                 rect.top + t.origin.y,
                 static_cast<unsigned>(rect.right - rect.left),
                 static_cast<unsigned>(rect.bottom - rect.top));
  Drawn(*t.top);
}

void DrawLine(const DrawTarget& target, int x0, int y0, int x1, int y1,
              COLORREF color) {
  if (x0 == x1 && y0 == y1) return;
  XLock lock;
  Target t;
  if (!Prepare(target, &t)) return;
  // A line stops one pixel short of its end point, as LineTo draws it.
  int ex = x1, ey = y1;
  if (x0 == x1) ey += y1 > y0 ? -1 : 1;
  if (y0 == y1) ex += x1 > x0 ? -1 : 1;
  XSetForeground(X().display, t.top->gc, PixelOf(color));
  XDrawLine(X().display, t.top->pixmap, t.top->gc, x0 + t.origin.x,
            y0 + t.origin.y, ex + t.origin.x, ey + t.origin.y);
  Drawn(*t.top);
}

void DrawText(const DrawTarget& target, int x, int y, std::string_view text,
              const vt::platform::FontSpec& fontSpec, COLORREF color,
              bool opaque, COLORREF background) {
  XLock lock;
  Target t;
  const OpenedFont* font = OpenFont(fontSpec);
  if (!font || !Prepare(target, &t)) return;
  Display* d = X().display;
  int width = MeasureAnsi(*font, text);
  int left = x + t.origin.x;
  int top = y + t.origin.y;
  if (opaque && width > 0) {
    XSetForeground(d, t.top->gc, PixelOf(background));
    XFillRectangle(d, t.top->pixmap, t.top->gc, left, top,
                   static_cast<unsigned>(width),
                   static_cast<unsigned>(font->metrics.height));
  }
  std::string utf8 = vt::platform::AnsiToUtf8(text);
  XRenderColor render{static_cast<unsigned short>((color & 0xFF) * 257),
                      static_cast<unsigned short>(((color >> 8) & 0xFF) * 257),
                      static_cast<unsigned short>(((color >> 16) & 0xFF) * 257),
                      0xFFFF};
  XftColor xftColor;
  if (!XftColorAllocValue(d, X().visual, X().colormap, &render, &xftColor))
    return;
  XftDrawStringUtf8(t.top->draw, &xftColor, font->font, left,
                    top + font->font->ascent,
                    reinterpret_cast<const FcChar8*>(utf8.data()),
                    static_cast<int>(utf8.size()));
  XftColorFree(d, X().visual, X().colormap, &xftColor);
  if (fontSpec.underline && width > 0) {
    XSetForeground(d, t.top->gc, PixelOf(color));
    int baseline = top + font->font->ascent + 1;
    XDrawLine(d, t.top->pixmap, t.top->gc, left, baseline, left + width - 1,
              baseline);
  }
  Drawn(*t.top);
}

void DrawIcon(const DrawTarget& target, int x, int y, HICON icon) {
  const vtres::Icon* art = vt::platform::IconResource(icon);
  if (!art) return;
  std::vector<std::uint32_t> pixels = ScaledIcon(*art, 32, 32);
  XLock lock;
  Target t;
  if (!Prepare(target, &t)) return;
  CompositeArgb(t.top->pixmap, x + t.origin.x, y + t.origin.y, 32, 32, pixels);
  Drawn(*t.top);
}

void DrawBitmap(const DrawTarget& target, int x, int y, HBITMAP bitmap) {
  const vtres::Bitmap* art = vt::platform::BitmapResource(bitmap);
  if (!art || art->width <= 0 || art->height <= 0) return;
  XLock lock;
  Target t;
  if (!Prepare(target, &t)) return;
  Display* d = X().display;
  // One image in the server's pixel format, put through the clipped GC.
  XImage* image =
      XCreateImage(d, X().visual, static_cast<unsigned>(X().depth), ZPixmap, 0,
                   nullptr, static_cast<unsigned>(art->width),
                   static_cast<unsigned>(art->height), 32, 0);
  if (!image) return;
  std::vector<char> data(static_cast<std::size_t>(image->bytes_per_line) *
                         art->height);
  image->data = data.data();
  for (int row = 0; row < art->height; ++row) {
    for (int column = 0; column < art->width; ++column) {
      BYTE index = art->indices[row * art->width + column];
      COLORREF color = index < art->paletteSize ? art->palette[index] : 0;
      XPutPixel(image, column, row, PixelOf(color));
    }
  }
  XPutImage(d, t.top->pixmap, t.top->gc, image, 0, 0, x + t.origin.x,
            y + t.origin.y, static_cast<unsigned>(art->width),
            static_cast<unsigned>(art->height));
  image->data = nullptr;
  XDestroyImage(image);
  Drawn(*t.top);
}

void SetProgramIcon(HICON icon) {
  XLock lock;
  if (W().programIcon || !vt::platform::IconResource(icon)) return;
  W().programIcon = icon;
  for (auto& [handle, n] : W().nodes)
    if (n.xwindow) SetIconProperty(n.xwindow);
}

void InstallWindowHandlers() { AddEventHandler(HandleWindowEvent); }

}  // namespace vt::x11
