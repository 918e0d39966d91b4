// The clipboard and the primary selection: the driver owns them while it
// holds text the program copied, and answers other programs' requests for
// it from the event thread, as a selection owner must.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <string>

#include "platform/drivers/x11/x11_internal.h"
#include "platform/internal/no_destroy.h"
#include "platform/internal/platform.h"

namespace vt::x11 {
namespace {

struct Selections {
  // An unmapped window that stands as the owner; requests name it.
  Window owner = 0;
  Atom clipboard = 0;
  Atom targets = 0;
  // The offered text as UTF-8, empty while another program owns it.
  std::string clipboardText;
  std::string primaryText;
};

// Read and written only with the X lock held.
Selections& Sel() {
  static vt::platform::NoDestroy<Selections> selections;
  return selections.get();
}

std::string* TextFor(Atom selection) {
  Selections& s = Sel();
  if (selection == s.clipboard) return &s.clipboardText;
  if (selection == XA_PRIMARY) return &s.primaryText;
  return nullptr;
}

// STRING is Latin-1; characters it lacks (the Windows-1252 extras such as
// the euro sign) become question marks rather than wrong letters.
std::string Latin1Of(std::string_view utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    auto c = static_cast<unsigned char>(utf8[i]);
    std::size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (length == 2 && i + 1 < utf8.size()) {
      unsigned code = ((c & 0x1Fu) << 6) |
                      (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
      out += code >= 0xA0 && code <= 0xFF ? static_cast<char>(code) : '?';
    } else {
      out += '?';
    }
    i += length;
  }
  return out;
}

// Puts the asked form of the text on the requestor's property; false when
// the target is one this owner cannot give.
bool Convert(const XSelectionRequestEvent& request, const std::string& text,
             Atom property) {
  Display* d = X().display;
  const Selections& s = Sel();
  Atom utf8 = X().atoms.utf8String;
  if (request.target == s.targets) {
    Atom offered[] = {s.targets, utf8, XA_STRING};
    XChangeProperty(d, request.requestor, property, XA_ATOM, 32,
                    PropModeReplace,
                    reinterpret_cast<const unsigned char*>(offered), 3);
    return true;
  }
  std::string data;
  Atom type = request.target;
  if (request.target == utf8)
    data = text;
  else if (request.target == XA_STRING)
    data = Latin1Of(text);
  else
    return false;
  XChangeProperty(d, request.requestor, property, type, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(data.data()),
                  static_cast<int>(data.size()));
  return true;
}

void Answer(const XSelectionRequestEvent& request) {
  XSelectionEvent reply{};
  reply.type = SelectionNotify;
  reply.display = request.display;
  reply.requestor = request.requestor;
  reply.selection = request.selection;
  reply.target = request.target;
  reply.time = request.time;
  // A requestor of the old kind names no property: the target stands for it.
  Atom property = request.property != None ? request.property : request.target;
  const std::string* text = TextFor(request.selection);
  bool given = text && !text->empty() && Convert(request, *text, property);
  reply.property = given ? property : None;
  XSendEvent(X().display, request.requestor, False, NoEventMask,
             reinterpret_cast<XEvent*>(&reply));
}

bool HandleSelectionEvent(XEvent& event) {
  Selections& s = Sel();
  if (event.type == SelectionRequest &&
      event.xselectionrequest.owner == s.owner) {
    Answer(event.xselectionrequest);
    return true;
  }
  if (event.type == SelectionClear && event.xselectionclear.window == s.owner) {
    // Another program took the selection; ours is no longer offered.
    if (std::string* text = TextFor(event.xselectionclear.selection))
      text->clear();
    return true;
  }
  return false;
}

}  // namespace

void SetClipboardText(std::string_view ansiText, bool primarySelection) {
  XLock lock;
  Selections& s = Sel();
  if (!s.owner) return;
  Atom selection = primarySelection ? XA_PRIMARY : s.clipboard;
  *TextFor(selection) = vt::platform::AnsiToUtf8(ansiText);
  XSetSelectionOwner(X().display, selection, s.owner, CurrentTime);
  XFlush(X().display);
}

void InstallClipboard() {
  Display* d = X().display;
  Selections& s = Sel();
  s.clipboard = XInternAtom(d, "CLIPBOARD", False);
  s.targets = XInternAtom(d, "TARGETS", False);
  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  s.owner = XCreateWindow(d, X().root, -10, -10, 1, 1, 0, 0, InputOnly,
                          CopyFromParent, CWOverrideRedirect, &attributes);
  AddEventHandler(HandleSelectionEvent);
}

}  // namespace vt::x11
