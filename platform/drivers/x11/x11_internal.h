// What the X11 driver's files share: the one display connection and its
// lock, the atoms, the event thread's dispatch, fonts, pictures, windows,
// the keyboard, the tray and the desktop-wide input.
//
// Every Xlib and Xft call, on any thread, is made while holding XLock; see
// x11_connection.cpp for why one connection with one lock.
#pragma once

#include <X11/Xft/Xft.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <windows.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/internal/driver.h"
#include "platform/internal/platform.h"
#include "vtresource.h"

namespace vt::x11 {

// --- the connection (x11_connection.cpp) -----------------------------------

struct Atoms {
  Atom wmProtocols, wmDeleteWindow, wmState, wmTransientFor;
  Atom netWmName, netWmPid, netWmIcon, netWmWindowType, netWmState;
  Atom netWmStateAbove, netWmStateSkipTaskbar, netWmStateSkipPager;
  Atom motifWmHints;
  Atom typeNormal, typeDialog, typeUtility, typePopupMenu, typeTooltip;
  Atom typeDock;
  Atom netActiveWindow, netWorkarea, utf8String;
  Atom manager, trayOpcode, traySelection, trayOrientation, xembed, xembedInfo;
};

struct Connection {
  Display* display = nullptr;
  int screen = 0;
  Window root = 0;
  Visual* visual = nullptr;
  Colormap colormap = 0;
  int depth = 0;
  Atoms atoms{};
  int xiOpcode = -1;  // the XInput extension's major opcode, or -1
};

// Opens the display named by DISPLAY and starts the event thread; false
// when no display can be opened.
bool OpenConnection();
// Starts reading events, once every handler is installed.
void StartEventThread();
const Connection& X();

// Held around every Xlib or Xft call. On release it wakes the event thread
// when replies read meanwhile left events in Xlib's queue, which the event
// thread's poll on the socket would otherwise not notice.
class XLock {
 public:
  XLock();
  ~XLock();
  XLock(const XLock&) = delete;
  XLock& operator=(const XLock&) = delete;

 private:
  std::unique_lock<std::mutex> lock_;
};

// Wakes the event thread (after a drawing call, a new tooltip deadline ...).
void WakeEventThread();

// Handlers the event thread calls, with XLock held, for each event; each
// returns whether it took the event.
using EventHandler = bool (*)(XEvent& event);
void AddEventHandler(EventHandler handler);
// Called by the event thread at every turn with XLock held; returns the
// milliseconds until it wants to be called again, or -1 for no wish.
using IdleHandler = int (*)();
void AddIdleHandler(IdleHandler handler);

// Milliseconds from a steady clock.
std::uint64_t NowMs();

// --- fonts (x11_fonts.cpp) -------------------------------------------------

struct OpenedFont {
  XftFont* font = nullptr;
  vt::platform::FontMetrics metrics;
};
// The Xft font for a face at a point size (XLock held); cached, never null
// unless fontconfig has no font at all.
const OpenedFont* OpenFont(const vt::platform::FontSpec& fontSpec);
const OpenedFont* DefaultFont();
// Width in pixels of ANSI text (XLock held).
int MeasureAnsi(const OpenedFont& font, std::string_view ansi);
vt::platform::FontMetrics MetricsOf(XftFont* font);

// --- pictures (x11_pictures.cpp) --------------------------------------------

// An icon's art scaled to width × height as premultiplied ARGB rows, from
// the image nearest in size (the larger one when between).
std::vector<std::uint32_t> ScaledIcon(const vtres::Icon& icon, int width,
                                      int height);
// Composites premultiplied ARGB pixels onto drawable at x, y (XLock held).
void CompositeArgb(Drawable target, int x, int y, int width, int height,
                   const std::vector<std::uint32_t>& argb);
// The _NET_WM_ICON property value for an icon: every image, as
// width, height, then non-premultiplied ARGB longs.
std::vector<unsigned long> NetWmIconValue(const vtres::Icon& icon);
// Pixel value of a COLORREF in the default visual.
unsigned long PixelOf(COLORREF color);

// --- windows (x11_windows.cpp) ---------------------------------------------

void WindowCreated(const vt::platform::WindowInfo& info);
void WindowDestroyed(HWND window);
void WindowShown(HWND window, bool visible);
void WindowMoved(HWND window, const RECT& rect, const RECT& client);
void WindowTextChanged(HWND window, std::string_view text);
void ForegroundChanged(HWND window);
void CaptureChanged(HWND window);
void BeginPaint(HWND window, const RECT& update);
void EndPaint(HWND window);
void FillRect(const vt::platform::DrawTarget& target, const RECT& rect,
              COLORREF color);
void DrawLine(const vt::platform::DrawTarget& target, int x0, int y0, int x1,
              int y1, COLORREF color);
void DrawText(const vt::platform::DrawTarget& target, int x, int y,
              std::string_view text, const vt::platform::FontSpec& font,
              COLORREF color, bool opaque, COLORREF background);
void DrawIcon(const vt::platform::DrawTarget& target, int x, int y, HICON icon);
void DrawBitmap(const vt::platform::DrawTarget& target, int x, int y,
                HBITMAP bitmap);
// Gives every top-level window the program's icon (the first one the
// program puts in the tray).
void SetProgramIcon(HICON icon);
// Sets the properties every X window of the program carries: WM_CLASS,
// _NET_WM_PID, the client machine (XLock held).
void SetCommonProperties(Window window, const char* instanceName);
// Whether window is one of the program's X windows (XLock held).
bool IsOwnWindow(Window window);
void InstallWindowHandlers();

// --- keyboard and desktop input (x11_input.cpp) ----------------------------

void StartInput();
// A key event of one of the program's windows, to virtual key and
// characters, delivered to the program (XLock held; the delivery happens
// after the lock is released, through the queue of deferred deliveries).
void HandleKey(XKeyEvent& event);
// The virtual key for a keysym, or 0.
UINT VirtualKeyOf(KeySym keysym);
// The characters a key gives with modifiers held, for a key message the
// program made itself (XLock held).
vt::platform::KeyCharacters KeyCharactersOf(UINT virtualKey, UINT scanCode,
                                            unsigned modifiers);
// Modifier bits as DeliverInput takes them (1 Shift, 2 Control, 4 Alt).
unsigned ModifiersOf(unsigned state);
// The pointer or the keyboard focus is inside one of the program's windows,
// where core events reach the hooks, so raw events would count twice.
void SetPointerInside(bool inside);
void SetFocusInside(bool inside);
void SetKeyboardGrabbed(bool grabbed);
// Whether the calling thread is the event thread.
bool OnEventThread();

// Deliveries gathered while XLock is held and made after it is released, so
// no hook procedure ever runs with the display locked.
void Defer(const vt::platform::InputEvent& event);
void DeferTray(HWND owner, UINT id, UINT mouseMessage);
void DeferWindowEvent(const vt::platform::WindowEvent& event);
void RunDeferred();

// --- the notification area (x11_tray.cpp) ----------------------------------

void TrayIconAdded(const vt::platform::TrayIconState& icon);
void TrayIconModified(const vt::platform::TrayIconState& icon);
void TrayIconDeleted(HWND owner, UINT id);
void InstallTray();

// The clipboard and primary selection: owned while the program offers text.
void InstallClipboard();
void SetClipboardText(std::string_view ansiText, bool primarySelection);

}  // namespace vt::x11
