// The program's icons in the desktop's notification area.
//
// An icon docks in the tray host named by the _NET_SYSTEM_TRAY_Sn
// selection, through XEmbed: a small window of ours that the host
// reparents into its panel and sizes; we draw the icon centred in it at
// that size. A host that starts, restarts or goes away is followed: its
// MANAGER announcement on the root window makes every icon dock afresh,
// and when the selection's owner is destroyed each icon moves to a small
// always-on-top window of its own, which takes the same clicks, so the
// program never gets out of reach.
//
// A click or double click on an icon becomes its callback message; resting
// the pointer on it for half a second shows its tip.
#include <X11/Xatom.h>

#include <algorithm>
#include <map>
#include <utility>

#include "platform/drivers/x11/x11_internal.h"
#include "platform/internal/no_destroy.h"

namespace vt::x11 {
namespace {

constexpr std::uint64_t kTipDelayMs = 500;
constexpr std::uint64_t kDoubleClickMs = 500;
// The fallback window's side and its distance from the screen's corner.
constexpr int kFallbackSize = 32;
constexpr int kFallbackMargin = 8;
// The size an icon asks of a tray host, which may give it another.
constexpr int kDockedSize = 22;
constexpr long kDockRequest = 0;
constexpr long kXembedMapped = 1;

struct Icon {
  HWND owner = nullptr;
  UINT id = 0;
  HICON icon = nullptr;
  std::string tip;
  Window window = 0;
  bool fallback = false;
  int width = kFallbackSize;
  int height = kFallbackSize;
  // Hover and clicks.
  std::uint64_t hoverSince = 0;  // 0: the pointer is not resting on it
  bool tipShown = false;
  unsigned lastButton = 0;
  std::uint64_t lastPress = 0;
};

struct TrayState {
  std::vector<Icon> icons;
  Window host = 0;  // the selection owner we docked with
  Window tipWindow = 0;
};

TrayState& T() {
  static vt::platform::NoDestroy<TrayState> state;
  return state.get();
}

Icon* FindIcon(HWND owner, UINT id) {
  for (Icon& icon : T().icons)
    if (icon.owner == owner && icon.id == id) return &icon;
  return nullptr;
}

Icon* FindByWindow(Window window) {
  for (Icon& icon : T().icons)
    if (icon.window && icon.window == window) return &icon;
  return nullptr;
}

void Draw(Icon& icon) {
  if (!icon.window) return;
  Display* d = X().display;
  if (icon.fallback) {
    GC gc = XCreateGC(d, icon.window, 0, nullptr);
    XSetForeground(d, gc, PixelOf(RGB(0xC0, 0xC0, 0xC0)));
    XFillRectangle(d, icon.window, gc, 0, 0, icon.width, icon.height);
    XFreeGC(d, gc);
  } else {
    XClearWindow(d, icon.window);
  }
  const vtres::Icon* art = vt::platform::IconResource(icon.icon);
  if (!art) return;
  // The largest square that fits, centred, keeping a pixel of air where
  // the host's slot allows it.
  int side = std::min(icon.width, icon.height);
  if (side > 18) side -= 2;
  std::vector<std::uint32_t> pixels = ScaledIcon(*art, side, side);
  CompositeArgb(icon.window, (icon.width - side) / 2, (icon.height - side) / 2,
                side, side, pixels);
}

void HideTip() {
  if (T().tipWindow) XDestroyWindow(X().display, T().tipWindow);
  T().tipWindow = 0;
}

void DrawTip(const Icon& icon) {
  Window tip = T().tipWindow;
  const OpenedFont* font = DefaultFont();
  if (!tip || !font) return;
  Display* d = X().display;
  XWindowAttributes attributes;
  XGetWindowAttributes(d, tip, &attributes);
  GC gc = XCreateGC(d, tip, 0, nullptr);
  XSetForeground(d, gc, PixelOf(RGB(0xFF, 0xFF, 0xE1)));
  XFillRectangle(d, tip, gc, 0, 0, attributes.width, attributes.height);
  XSetForeground(d, gc, PixelOf(RGB(0, 0, 0)));
  XDrawRectangle(d, tip, gc, 0, 0, attributes.width - 1, attributes.height - 1);
  XFreeGC(d, gc);
  XftDraw* draw = XftDrawCreate(d, tip, X().visual, X().colormap);
  XRenderColor black{0, 0, 0, 0xFFFF};
  XftColor color;
  XftColorAllocValue(d, X().visual, X().colormap, &black, &color);
  std::string utf8 = vt::platform::AnsiToUtf8(icon.tip);
  XftDrawStringUtf8(draw, &color, font->font, 3, 2 + font->font->ascent,
                    reinterpret_cast<const FcChar8*>(utf8.data()),
                    static_cast<int>(utf8.size()));
  XftColorFree(d, X().visual, X().colormap, &color);
  XftDrawDestroy(draw);
}

void ShowTip(Icon& icon) {
  HideTip();
  const OpenedFont* font = DefaultFont();
  if (icon.tip.empty() || !font) return;
  Display* d = X().display;
  Window root, child;
  int x = 0, y = 0, wx = 0, wy = 0;
  unsigned mask = 0;
  XQueryPointer(d, X().root, &root, &child, &x, &y, &wx, &wy, &mask);
  int width = MeasureAnsi(*font, icon.tip) + 6;
  int height = font->metrics.height + 4;
  int screenWidth = DisplayWidth(d, X().screen);
  int screenHeight = DisplayHeight(d, X().screen);
  // Below the pointer, or above it near the bottom where the tray usually is.
  int left = std::clamp(x, 0, std::max(0, screenWidth - width));
  int top = y + 20 + height <= screenHeight ? y + 20 : y - height - 4;
  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  attributes.event_mask = ExposureMask;
  Window tip = XCreateWindow(
      d, X().root, left, std::max(0, top), static_cast<unsigned>(width),
      static_cast<unsigned>(height), 0, X().depth, InputOutput, X().visual,
      CWOverrideRedirect | CWEventMask, &attributes);
  SetCommonProperties(tip, "velto");
  // Named after its text, so desktop tools (and tests) can read it.
  std::string text = vt::platform::AnsiToUtf8(icon.tip);
  XChangeProperty(d, tip, X().atoms.netWmName, X().atoms.utf8String, 8,
                  PropModeReplace,
                  reinterpret_cast<const unsigned char*>(text.data()),
                  static_cast<int>(text.size()));
  Atom type = X().atoms.typeTooltip;
  XChangeProperty(d, tip, X().atoms.netWmWindowType, XA_ATOM, 32,
                  PropModeReplace, reinterpret_cast<unsigned char*>(&type), 1);
  XMapRaised(d, tip);
  T().tipWindow = tip;
  icon.tipShown = true;
  DrawTip(icon);
}

Window CreateIconWindow(bool fallback) {
  const Connection& c = X();
  Display* d = c.display;
  XSetWindowAttributes attributes{};
  attributes.background_pixmap = ParentRelative;
  attributes.event_mask = ExposureMask | StructureNotifyMask | ButtonPressMask |
                          ButtonReleaseMask | PointerMotionMask |
                          EnterWindowMask | LeaveWindowMask;
  int x = 0, y = 0;
  if (fallback) {
    x = DisplayWidth(d, c.screen) - kFallbackSize - kFallbackMargin;
    y = DisplayHeight(d, c.screen) - kFallbackSize - kFallbackMargin;
  }
  Window window = XCreateWindow(d, c.root, x, y, kFallbackSize, kFallbackSize,
                                0, c.depth, InputOutput, c.visual,
                                CWBackPixmap | CWEventMask, &attributes);
  SetCommonProperties(window, "velto-tray");
  std::string name = "Vellumtide";
  XStoreName(d, window, name.c_str());
  XChangeProperty(d, window, c.atoms.netWmName, c.atoms.utf8String, 8,
                  PropModeReplace,
                  reinterpret_cast<const unsigned char*>(name.data()),
                  static_cast<int>(name.size()));
  if (fallback) {
    Atom type = c.atoms.typeDock;
    XChangeProperty(d, window, c.atoms.netWmWindowType, XA_ATOM, 32,
                    PropModeReplace, reinterpret_cast<unsigned char*>(&type),
                    1);
    Atom states[] = {c.atoms.netWmStateAbove, c.atoms.netWmStateSkipTaskbar,
                     c.atoms.netWmStateSkipPager};
    XChangeProperty(d, window, c.atoms.netWmState, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(states), 3);
    XSizeHints* hints = XAllocSizeHints();
    hints->flags = USPosition | PPosition | PMinSize | PMaxSize;
    hints->x = x;
    hints->y = y;
    hints->min_width = hints->max_width = kFallbackSize;
    hints->min_height = hints->max_height = kFallbackSize;
    XSetWMNormalHints(d, window, hints);
    XFree(hints);
  } else {
    // GTK hosts such as trayer size the slot from the icon's size hints;
    // without them it gets a width of one pixel.
    XSizeHints* hints = XAllocSizeHints();
    hints->flags = PMinSize | PBaseSize;
    hints->min_width = hints->base_width = kDockedSize;
    hints->min_height = hints->base_height = kDockedSize;
    XSetWMNormalHints(d, window, hints);
    XFree(hints);
    long info[2] = {0, kXembedMapped};
    XChangeProperty(d, window, c.atoms.xembedInfo, c.atoms.xembedInfo, 32,
                    PropModeReplace, reinterpret_cast<unsigned char*>(info), 2);
  }
  return window;
}

// Puts icon in the tray when a host owns the selection, else in a window
// of its own. Any window it had is destroyed first (a host that died may
// have left it on the root window).
void Place(Icon& icon) {
  Display* d = X().display;
  if (icon.window) {
    if (icon.tipShown) HideTip();
    XDestroyWindow(d, icon.window);
    icon.window = 0;
  }
  icon.hoverSince = 0;
  icon.tipShown = false;
  Window host = XGetSelectionOwner(d, X().atoms.traySelection);
  if (host != None) {
    if (host != T().host) {
      // Its destruction tells us the host went away.
      XSelectInput(d, host, StructureNotifyMask);
      T().host = host;
    }
    icon.fallback = false;
    icon.window = CreateIconWindow(false);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = host;
    event.xclient.message_type = X().atoms.trayOpcode;
    event.xclient.format = 32;
    event.xclient.data.l[0] = CurrentTime;
    event.xclient.data.l[1] = kDockRequest;
    event.xclient.data.l[2] = static_cast<long>(icon.window);
    XSendEvent(d, host, False, NoEventMask, &event);
  } else {
    icon.fallback = true;
    icon.width = icon.height = kFallbackSize;
    icon.window = CreateIconWindow(true);
    XMapRaised(d, icon.window);
  }
  XSync(d, False);
}

void PlaceAll() {
  for (Icon& icon : T().icons) Place(icon);
}

UINT ClickMessage(Icon& icon, unsigned button, bool press) {
  if (button != Button1 && button != Button3) return 0;
  bool left = button == Button1;
  if (!press) return left ? WM_LBUTTONUP : WM_RBUTTONUP;
  std::uint64_t now = NowMs();
  bool doubled =
      icon.lastButton == button && now - icon.lastPress <= kDoubleClickMs;
  icon.lastButton = doubled ? 0 : button;
  icon.lastPress = now;
  if (left) return doubled ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN;
  return doubled ? WM_RBUTTONDBLCLK : WM_RBUTTONDOWN;
}

bool HandleTrayEvent(XEvent& event) {
  const Atoms& a = X().atoms;
  if (event.type == ClientMessage && event.xclient.window == X().root &&
      event.xclient.message_type == a.manager &&
      static_cast<Atom>(event.xclient.data.l[1]) == a.traySelection) {
    // A tray host started (or restarted): dock there.
    T().host = 0;
    PlaceAll();
    return true;
  }
  if (event.type == DestroyNotify && T().host &&
      event.xdestroywindow.window == T().host) {
    T().host = 0;
    PlaceAll();
    return true;
  }
  if (T().tipWindow && event.xany.window == T().tipWindow) {
    if (event.type == Expose)
      for (Icon& icon : T().icons)
        if (icon.tipShown) DrawTip(icon);
    return true;
  }
  Icon* icon = FindByWindow(event.xany.window);
  if (!icon) return false;
  switch (event.type) {
    case Expose:
      if (event.xexpose.count == 0) Draw(*icon);
      break;
    case ConfigureNotify:
      if (event.xconfigure.width != icon->width ||
          event.xconfigure.height != icon->height) {
        icon->width = event.xconfigure.width;
        icon->height = event.xconfigure.height;
        Draw(*icon);
      }
      break;
    case ButtonPress:
    case ButtonRelease: {
      bool press = event.type == ButtonPress;
      if (press && icon->tipShown) HideTip();
      icon->hoverSince = 0;
      UINT message = ClickMessage(*icon, event.xbutton.button, press);
      if (message) DeferTray(icon->owner, icon->id, message);
      break;
    }
    case MotionNotify:
      if (!icon->tipShown) icon->hoverSince = NowMs();
      DeferTray(icon->owner, icon->id, WM_MOUSEMOVE);
      WakeEventThread();
      break;
    case EnterNotify:
      icon->hoverSince = NowMs();
      WakeEventThread();
      break;
    case LeaveNotify:
      icon->hoverSince = 0;
      if (icon->tipShown) HideTip();
      icon->tipShown = false;
      break;
    default:
      break;
  }
  return true;
}

// Shows a tip once the pointer has rested long enough; asks to be called
// again when the next one is due.
int ShowDueTips() {
  std::uint64_t now = NowMs();
  int wait = -1;
  for (Icon& icon : T().icons) {
    if (!icon.hoverSince || icon.tipShown) continue;
    if (now - icon.hoverSince >= kTipDelayMs) {
      ShowTip(icon);
    } else {
      int left = static_cast<int>(kTipDelayMs - (now - icon.hoverSince));
      wait = wait < 0 ? left : std::min(wait, left);
    }
  }
  return wait;
}

}  // namespace

void TrayIconAdded(const vt::platform::TrayIconState& state) {
  SetProgramIcon(state.icon);
  XLock lock;
  if (FindIcon(state.owner, state.id)) return;
  T().icons.push_back(Icon{});
  Icon& icon = T().icons.back();
  icon.owner = state.owner;
  icon.id = state.id;
  icon.icon = state.icon;
  icon.tip = state.tip;
  Place(icon);
}

void TrayIconModified(const vt::platform::TrayIconState& state) {
  XLock lock;
  Icon* icon = FindIcon(state.owner, state.id);
  if (!icon) return;
  bool newPicture = icon->icon != state.icon;
  icon->icon = state.icon;
  icon->tip = state.tip;
  if (newPicture) Draw(*icon);
  if (icon->tipShown) {
    HideTip();
    ShowTip(*icon);
  }
}

void TrayIconDeleted(HWND owner, UINT id) {
  XLock lock;
  auto& icons = T().icons;
  for (auto it = icons.begin(); it != icons.end(); ++it) {
    if (it->owner != owner || it->id != id) continue;
    if (it->tipShown) HideTip();
    // Destroying the embedded window is how a client leaves the tray.
    if (it->window) XDestroyWindow(X().display, it->window);
    icons.erase(it);
    XSync(X().display, False);
    return;
  }
}

void InstallTray() {
  AddEventHandler(HandleTrayEvent);
  AddIdleHandler(ShowDueTips);
}

}  // namespace vt::x11
