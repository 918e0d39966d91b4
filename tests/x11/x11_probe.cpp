// What the X11 tests ask the X server, as a desktop tool would see it:
//
//   x11_probe owner SELECTION      the selection has an owner (exit 0)
//   x11_probe window NAME          "ID X Y WIDTH HEIGHT" of the viewable
//                                  window whose title starts with NAME (UTF-8),
//                                  position on the screen, size of the window
//                                  itself
//   x11_probe icon                 "docked|fallback X Y PID" of the
//                                  program's tray icon: where it is, the
//                                  centre on the screen, its _NET_WM_PID
//   x11_probe menu                 "ID X Y WIDTH HEIGHT" of the program's
//                                  popup menu shown
//   x11_probe tip                  the text of the program's tooltip shown
//   x11_probe props ID             WM_CLASS, _NET_WM_PID and window type
//   x11_probe pixels X Y W H       the screen's pixels there, one RRGGBB a
//                                  line, row by row
//
// Exit 1 when what was asked for is not there.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

Display* d = nullptr;

std::string Utf8Name(Window w) {
  Atom name = XInternAtom(d, "_NET_WM_NAME", False);
  Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  std::string out;
  if (XGetWindowProperty(d, w, name, 0, 1024, False, utf8, &type, &format,
                         &count, &after, &data) == Success &&
      data) {
    out.assign(reinterpret_cast<char*>(data), count);
    XFree(data);
  }
  return out;
}

std::string ClassOf(Window w) {
  XClassHint hint{};
  std::string out;
  if (XGetClassHint(d, w, &hint)) {
    out = std::string(hint.res_name) + "." + hint.res_class;
    XFree(hint.res_name);
    XFree(hint.res_class);
  }
  return out;
}

long CardinalOf(Window w, const char* property) {
  Atom atom = XInternAtom(d, property, False);
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  long value = -1;
  if (XGetWindowProperty(d, w, atom, 0, 1, False, AnyPropertyType, &type,
                         &format, &count, &after, &data) == Success &&
      data) {
    if (count)
      value = static_cast<long>(*reinterpret_cast<unsigned long*>(data));
    XFree(data);
  }
  return value;
}

// Every 32-bit item of a property (empty when it is missing).
std::vector<unsigned long> ItemsOf(Window w, const char* property) {
  Atom atom = XInternAtom(d, property, False);
  Atom type;
  int format;
  unsigned long count = 0, after;
  unsigned char* data = nullptr;
  std::vector<unsigned long> items;
  if (XGetWindowProperty(d, w, atom, 0, 64, False, AnyPropertyType, &type,
                         &format, &count, &after, &data) == Success &&
      data) {
    if (format == 32) {
      auto* values = reinterpret_cast<unsigned long*>(data);
      items.assign(values, values + count);
    }
    XFree(data);
  }
  return items;
}

// Visits every window below root, depth first.
bool Walk(Window w, const std::function<bool(Window)>& visit) {
  if (visit(w)) return true;
  Window root, parent, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(d, w, &root, &parent, &children, &count)) return false;
  bool found = false;
  for (unsigned i = 0; i < count && !found; ++i)
    found = Walk(children[i], visit);
  if (children) XFree(children);
  return found;
}

bool Viewable(Window w) {
  XWindowAttributes a;
  return XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable;
}

void PrintPlace(Window w) {
  XWindowAttributes a;
  XGetWindowAttributes(d, w, &a);
  int x = 0, y = 0;
  Window child;
  XTranslateCoordinates(d, w, DefaultRootWindow(d), 0, 0, &x, &y, &child);
  std::printf("%lu %d %d %d %d\n", w, x, y, a.width, a.height);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  d = XOpenDisplay(nullptr);
  if (!d) return 1;
  std::string command = argv[1];
  Window root = DefaultRootWindow(d);
  if (command == "owner" && argc == 3) {
    return XGetSelectionOwner(d, XInternAtom(d, argv[2], False)) != None ? 0
                                                                         : 1;
  }
  if (command == "window" && argc == 3) {
    Window found = 0;
    Walk(root, [&](Window w) {
      if (Utf8Name(w).rfind(argv[2], 0) == 0 && Viewable(w)) found = w;
      return found != 0;
    });
    if (!found) return 1;
    PrintPlace(found);
    return 0;
  }
  if (command == "icon") {
    Window found = 0;
    Walk(root, [&](Window w) {
      if (ClassOf(w) == "velto-tray.Vellumtide" && Viewable(w)) found = w;
      return found != 0;
    });
    if (!found) return 1;
    Window r, parent, *children = nullptr;
    unsigned count = 0;
    XQueryTree(d, found, &r, &parent, &children, &count);
    if (children) XFree(children);
    XWindowAttributes a;
    XGetWindowAttributes(d, found, &a);
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(d, found, root, a.width / 2, a.height / 2, &x, &y,
                          &child);
    // A managed fallback window's parent is the window manager's frame;
    // a docked icon's parent belongs to the tray host.
    Atom type = XInternAtom(d, "_XEMBED_INFO", False);
    Atom actual;
    int format;
    unsigned long n, after;
    unsigned char* data = nullptr;
    XGetWindowProperty(d, found, type, 0, 2, False, AnyPropertyType, &actual,
                       &format, &n, &after, &data);
    bool embedded = data != nullptr;
    if (data) XFree(data);
    std::printf("%s %d %d %ld\n",
                embedded && parent != root ? "docked" : "fallback", x, y,
                CardinalOf(found, "_NET_WM_PID"));
    return 0;
  }
  if (command == "menu") {
    Atom menu = XInternAtom(d, "_NET_WM_WINDOW_TYPE_POPUP_MENU", False);
    Window found = 0;
    Walk(root, [&](Window w) {
      if (ClassOf(w) == "velto.Vellumtide" && Viewable(w) &&
          static_cast<Atom>(CardinalOf(w, "_NET_WM_WINDOW_TYPE")) == menu)
        found = w;
      return found != 0;
    });
    if (!found) return 1;
    PrintPlace(found);
    return 0;
  }
  if (command == "tip") {
    Atom tooltip = XInternAtom(d, "_NET_WM_WINDOW_TYPE_TOOLTIP", False);
    Window found = 0;
    Walk(root, [&](Window w) {
      if (ClassOf(w) == "velto.Vellumtide" && Viewable(w) &&
          static_cast<Atom>(CardinalOf(w, "_NET_WM_WINDOW_TYPE")) == tooltip)
        found = w;
      return found != 0;
    });
    if (!found) return 1;
    std::printf("%s\n", Utf8Name(found).c_str());
    return 0;
  }
  if (command == "props" && argc == 3) {
    Window w = std::strtoul(argv[2], nullptr, 0);
    Atom typeAtom = CardinalOf(w, "_NET_WM_WINDOW_TYPE");
    char* typeName = typeAtom > 0 ? XGetAtomName(d, typeAtom) : nullptr;
    Window transient = 0;
    XGetTransientForHint(d, w, &transient);
    std::printf("class=%s pid=%ld type=%s transient=%d\n", ClassOf(w).c_str(),
                CardinalOf(w, "_NET_WM_PID"), typeName ? typeName : "-",
                transient != 0);
    if (typeName) XFree(typeName);
    return 0;
  }
  // What the window asks of the window manager's frame (its Motif hints:
  // the functions offered) and what the window manager then allows.
  if (command == "frame" && argc == 3) {
    Window w = std::strtoul(argv[2], nullptr, 0);
    std::vector<unsigned long> hints = ItemsOf(w, "_MOTIF_WM_HINTS");
    std::printf("functions=%lu",
                hints.size() >= 2 && (hints[0] & 1) ? hints[1] : 1UL);
    for (unsigned long action : ItemsOf(w, "_NET_WM_ALLOWED_ACTIONS")) {
      char* name = XGetAtomName(d, static_cast<Atom>(action));
      std::printf(" %s", name ? name : "?");
      if (name) XFree(name);
    }
    std::printf("\n");
    return 0;
  }
  if (command == "pixels" && argc == 6) {
    int x = std::atoi(argv[2]), y = std::atoi(argv[3]);
    unsigned w = std::strtoul(argv[4], nullptr, 10),
             h = std::strtoul(argv[5], nullptr, 10);
    XImage* image = XGetImage(d, root, x, y, w, h, AllPlanes, ZPixmap);
    if (!image) return 1;
    for (unsigned row = 0; row < h; ++row)
      for (unsigned col = 0; col < w; ++col)
        std::printf("%06lx\n", XGetPixel(image, col, row) & 0xFFFFFF);
    XDestroyImage(image);
    return 0;
  }
  return 2;
}
