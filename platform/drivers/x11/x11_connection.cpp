// The X11 driver's display connection and its event thread.
//
// Threads: Xlib is used by every thread that owns windows (the main thread,
// and each finger query thread with its response window), by the event
// thread that reads the server's events, and by whoever measures text. We
// keep ONE connection, opened after XInitThreads, and make every Xlib and
// Xft call under one lock of our own (XLock). One connection per GUI thread
// was the alternative, but the tray icon, the fallback window and the
// desktop-wide input belong to no GUI thread, pixmaps and fonts would be
// needed once per connection, and events for a window would have to be
// read from the connection of whichever thread created it. Xft and
// fontconfig keep caches that are not safe to use from two threads at
// once, so their calls need a lock anyway; Xlib's own display lock alone
// would not cover them. The lock is held only for the length of a drawing
// call or of one batch of events, never while a window procedure or hook
// runs: the event thread gathers deliveries while locked and makes them
// after unlocking (x11_input.cpp's Defer).
//
// The event thread sleeps in poll() on the connection's socket and on a
// pipe, not inside XNextEvent, so it holds no lock while asleep. A reply
// read by another thread can leave events in Xlib's queue without the
// socket becoming readable; XLock's release notices that and wakes it.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/drivers/x11/x11_internal.h"
#include "platform/internal/no_destroy.h"

namespace vt::x11 {
namespace {

struct State {
  Connection connection;
  std::mutex mutex;
  int wakePipe[2] = {-1, -1};
  std::vector<EventHandler> handlers;
  std::vector<IdleHandler> idlers;
  std::atomic<bool> wakePending{false};
};

State& S() {
  static vt::platform::NoDestroy<State> state;
  return state.get();
}

Atom Intern(Display* display, const char* name) {
  return XInternAtom(display, name, False);
}

void InternAtoms(Connection& c) {
  Display* d = c.display;
  Atoms& a = c.atoms;
  a.wmProtocols = Intern(d, "WM_PROTOCOLS");
  a.wmDeleteWindow = Intern(d, "WM_DELETE_WINDOW");
  a.wmState = Intern(d, "WM_STATE");
  a.wmTransientFor = Intern(d, "WM_TRANSIENT_FOR");
  a.netWmName = Intern(d, "_NET_WM_NAME");
  a.netWmPid = Intern(d, "_NET_WM_PID");
  a.netWmIcon = Intern(d, "_NET_WM_ICON");
  a.netWmWindowType = Intern(d, "_NET_WM_WINDOW_TYPE");
  a.netWmState = Intern(d, "_NET_WM_STATE");
  a.motifWmHints = Intern(d, "_MOTIF_WM_HINTS");
  a.netWmStateAbove = Intern(d, "_NET_WM_STATE_ABOVE");
  a.netWmStateSkipTaskbar = Intern(d, "_NET_WM_STATE_SKIP_TASKBAR");
  a.netWmStateSkipPager = Intern(d, "_NET_WM_STATE_SKIP_PAGER");
  a.typeNormal = Intern(d, "_NET_WM_WINDOW_TYPE_NORMAL");
  a.typeDialog = Intern(d, "_NET_WM_WINDOW_TYPE_DIALOG");
  a.typeUtility = Intern(d, "_NET_WM_WINDOW_TYPE_UTILITY");
  a.typePopupMenu = Intern(d, "_NET_WM_WINDOW_TYPE_POPUP_MENU");
  a.typeTooltip = Intern(d, "_NET_WM_WINDOW_TYPE_TOOLTIP");
  a.typeDock = Intern(d, "_NET_WM_WINDOW_TYPE_DOCK");
  a.netActiveWindow = Intern(d, "_NET_ACTIVE_WINDOW");
  a.netWorkarea = Intern(d, "_NET_WORKAREA");
  a.utf8String = Intern(d, "UTF8_STRING");
  a.manager = Intern(d, "MANAGER");
  a.trayOpcode = Intern(d, "_NET_SYSTEM_TRAY_OPCODE");
  std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(c.screen);
  a.traySelection = Intern(d, selection.c_str());
  a.trayOrientation = Intern(d, "_NET_SYSTEM_TRAY_ORIENTATION");
  a.xembed = Intern(d, "_XEMBED");
  a.xembedInfo = Intern(d, "_XEMBED_INFO");
}

// A failed request (a window the tray host destroyed under us, a property
// on a window already gone) must not end the process, as Xlib's default
// handler would.
int IgnoreError(Display*, XErrorEvent*) { return 0; }

// Losing the server is the end of the desktop session; the program cannot
// go on showing windows, so it ends as a logged-off program would.
int ConnectionLost(Display*) {
  std::fprintf(stderr, "Vellumtide: the X server went away\n");
  vt::platform::ExitProcessNow(1);
}

void DrainWakePipe() {
  char buffer[64];
  while (read(S().wakePipe[0], buffer, sizeof buffer) > 0) {
  }
  S().wakePending.store(false);
}

// Set on the event thread only, so asking needs no lock.
thread_local bool t_onEventThread = false;

void EventLoop() {
  t_onEventThread = true;
  State& s = S();
  int fd = ConnectionNumber(s.connection.display);
  for (;;) {
    int timeout = -1;
    {
      XLock lock;
      Display* d = s.connection.display;
      while (XPending(d) > 0) {
        XEvent event;
        XNextEvent(d, &event);
        // The input method sees key events first and may keep them.
        if (XFilterEvent(&event, None)) continue;
        for (EventHandler handler : s.handlers)
          if (handler(event)) break;
      }
      for (IdleHandler idler : s.idlers) {
        int wish = idler();
        if (wish >= 0) timeout = timeout < 0 ? wish : std::min(timeout, wish);
      }
      XFlush(d);
    }
    RunDeferred();
    pollfd fds[2] = {{fd, POLLIN, 0}, {s.wakePipe[0], POLLIN, 0}};
    poll(fds, 2, timeout);
    if (fds[1].revents & POLLIN) DrainWakePipe();
  }
}

}  // namespace

XLock::XLock() : lock_(S().mutex) {}

XLock::~XLock() {
  Display* d = S().connection.display;
  bool queued = d && XEventsQueued(d, QueuedAlready) > 0;
  if (d) XFlush(d);
  lock_.unlock();
  if (queued) WakeEventThread();
}

void WakeEventThread() {
  if (S().wakePending.exchange(true)) return;
  char byte = 1;
  [[maybe_unused]] ssize_t written = write(S().wakePipe[1], &byte, 1);
}

void AddEventHandler(EventHandler handler) {
  XLock lock;
  S().handlers.push_back(handler);
}

void AddIdleHandler(IdleHandler handler) {
  XLock lock;
  S().idlers.push_back(handler);
}

std::uint64_t NowMs() {
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(
          std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

const Connection& X() { return S().connection; }

bool OpenConnection() {
  const char* name = std::getenv("DISPLAY");
  if (!name || !*name) return false;
  XInitThreads();
  Display* display = XOpenDisplay(name);
  if (!display) return false;
  State& s = S();
  if (pipe2(s.wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    XCloseDisplay(display);
    return false;
  }
  fcntl(ConnectionNumber(display), F_SETFD, FD_CLOEXEC);
  XSetErrorHandler(IgnoreError);
  XSetIOErrorHandler(ConnectionLost);
  {
    XLock lock;
    Connection& c = s.connection;
    c.display = display;
    c.screen = DefaultScreen(display);
    c.root = RootWindow(display, c.screen);
    c.visual = DefaultVisual(display, c.screen);
    c.colormap = DefaultColormap(display, c.screen);
    c.depth = DefaultDepth(display, c.screen);
    InternAtoms(c);
    int event = 0, error = 0;
    if (!XQueryExtension(display, "XInputExtension", &c.xiOpcode, &event,
                         &error))
      c.xiOpcode = -1;
    // The root's structure events carry the tray host's MANAGER message.
    XSelectInput(display, c.root, StructureNotifyMask);
  }
  return true;
}

void StartEventThread() { std::thread(EventLoop).detach(); }

bool OnEventThread() { return t_onEventThread; }

}  // namespace vt::x11
