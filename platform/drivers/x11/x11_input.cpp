// Keyboard and pointer input: key events of the program's windows to
// virtual keys and ANSI characters, and the desktop-wide input for the
// global hooks.
//
// The virtual key comes from the key's unshifted symbol in the server's
// layout (XKB), so the key marked A is VK 'A' on any layout that has one.
// The characters come from the input method (Xutf8LookupString), which
// knows dead keys and compose sequences; they are converted to the ANSI
// code page, and a character the code page cannot hold is not typed at
// all rather than typed as '?'.
//
// Desktop-wide input comes from XInput2 raw events on the root window,
// which report every key, button and motion of every client, synthetic
// (XTEST) input included. While the pointer or the keyboard focus is in one
// of the program's own windows, its core events already pass the hooks on
// their way to the window, so the raw ones are left out there, and every
// event reaches a hook once.
#include <X11/XKBlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>

#include <atomic>
#include <functional>

#include "platform/drivers/x11/x11_internal.h"
#include "platform/internal/no_destroy.h"

namespace vt::x11 {
namespace {

struct InputState {
  XIM im = nullptr;
  XIC ic = nullptr;
  bool pointerInside = false;
  bool focusInside = false;
  bool keyboardGrabbed = false;
  bool motionPending = false;
  std::vector<std::function<void()>> deferred;
};

InputState& I() {
  static vt::platform::NoDestroy<InputState> state;
  return state.get();
}

struct KeyName {
  KeySym keysym;
  UINT vk;
};

// Columns: the X key symbol, the virtual key. Letters, digits and function
// keys are ranges, handled in VirtualKeyOf.
constexpr KeyName kKeys[] = {
    {XK_BackSpace, VK_BACK},
    {XK_Tab, VK_TAB},
    {XK_ISO_Left_Tab, VK_TAB},
    {XK_Return, VK_RETURN},
    {XK_KP_Enter, VK_RETURN},
    {XK_Escape, VK_ESCAPE},
    {XK_space, VK_SPACE},
    {XK_Prior, VK_PRIOR},
    {XK_Next, VK_NEXT},
    {XK_End, VK_END},
    {XK_Home, VK_HOME},
    {XK_Left, VK_LEFT},
    {XK_Up, VK_UP},
    {XK_Right, VK_RIGHT},
    {XK_Down, VK_DOWN},
    {XK_Insert, VK_INSERT},
    {XK_Delete, VK_DELETE},
    {XK_Shift_L, VK_SHIFT},
    {XK_Shift_R, VK_SHIFT},
    {XK_Control_L, VK_CONTROL},
    {XK_Control_R, VK_CONTROL},
    {XK_Alt_L, VK_MENU},
    {XK_Alt_R, VK_MENU},
    {XK_Meta_L, VK_MENU},
    {XK_ISO_Level3_Shift, VK_MENU},
    {XK_Pause, VK_PAUSE},
    {XK_Caps_Lock, VK_CAPITAL},
    {XK_KP_Home, VK_HOME},
    {XK_KP_End, VK_END},
    {XK_KP_Left, VK_LEFT},
    {XK_KP_Right, VK_RIGHT},
    {XK_KP_Up, VK_UP},
    {XK_KP_Down, VK_DOWN},
    {XK_KP_Prior, VK_PRIOR},
    {XK_KP_Next, VK_NEXT},
    {XK_KP_Delete, VK_DELETE},
    {XK_KP_Insert, VK_INSERT},
    {XK_semicolon, 0xBA},
    {XK_equal, 0xBB},
    {XK_comma, 0xBC},
    {XK_minus, 0xBD},
    {XK_period, 0xBE},
    {XK_slash, 0xBF},
    {XK_grave, 0xC0},
    {XK_bracketleft, 0xDB},
    {XK_backslash, 0xDC},
    {XK_bracketright, 0xDD},
    {XK_apostrophe, 0xDE},
};

// The characters of a key press, in ANSI; empty when the code page cannot
// hold one of them.
std::string CharactersOf(XKeyEvent& event) {
  char buffer[64];
  KeySym keysym = NoSymbol;
  int length = 0;
  std::string utf8;
  if (I().ic) {
    Status status = 0;
    XSetICValues(I().ic, XNFocusWindow, event.window, nullptr);
    length = Xutf8LookupString(I().ic, &event, buffer, sizeof buffer - 1,
                               &keysym, &status);
    if (status != XLookupChars && status != XLookupBoth) length = 0;
    utf8.assign(buffer, static_cast<std::size_t>(std::max(length, 0)));
  } else {
    length = XLookupString(&event, buffer, sizeof buffer - 1, &keysym, nullptr);
    // Without an input method the bytes are Latin-1, which is 1252's upper
    // half but for 0x80-0x9F; those keysyms carry no such characters.
    return std::string(buffer, static_cast<std::size_t>(std::max(length, 0)));
  }
  std::string ansi = vt::platform::Utf8ToAnsi(utf8);
  // The conversion writes '?' for what 1252 lacks; such a key types nothing.
  std::size_t questions = 0;
  for (char c : utf8) questions += c == '?';
  std::size_t ansiQuestions = 0;
  for (char c : ansi) ansiQuestions += c == '?';
  if (ansiQuestions != questions) return {};
  return ansi;
}

void DeliverKey(UINT vk, bool up, unsigned modifiers,
                vt::platform::InputScope scope) {
  vt::platform::InputEvent event;
  event.kind = vt::platform::InputKind::Key;
  event.scope = scope;
  event.virtualKey = vk;
  event.keyUp = up;
  event.modifiers = modifiers;
  Defer(event);
}

void DeliverDesktopPointer(UINT message, int wheel) {
  Window root, child;
  int rootX = 0, rootY = 0, x = 0, y = 0;
  unsigned mask = 0;
  XQueryPointer(X().display, X().root, &root, &child, &rootX, &rootY, &x, &y,
                &mask);
  vt::platform::InputEvent event;
  event.kind = vt::platform::InputKind::Mouse;
  event.scope = vt::platform::InputScope::Desktop;
  event.point = POINT{rootX, rootY};
  event.mouseMessage = message;
  event.wheelDelta = wheel;
  event.modifiers = ModifiersOf(mask);
  Defer(event);
}

void HandleRaw(XGenericEventCookie& cookie) {
  auto* raw = static_cast<XIRawEvent*>(cookie.data);
  Display* d = X().display;
  switch (cookie.evtype) {
    case XI_RawKeyPress:
    case XI_RawKeyRelease: {
      if (I().focusInside || I().keyboardGrabbed) return;
      KeySym keysym =
          XkbKeycodeToKeysym(d, static_cast<KeyCode>(raw->detail), 0, 0);
      UINT vk = VirtualKeyOf(keysym);
      // A key without a virtual key of its own still shows a person is there.
      DeliverKey(vk ? vk : 0xFF, cookie.evtype == XI_RawKeyRelease, 0,
                 vt::platform::InputScope::Desktop);
      return;
    }
    case XI_RawMotion:
      // Motion comes in floods; one report a turn of the event loop is
      // plenty for the hooks, and spares a pointer query per event.
      if (!I().pointerInside) I().motionPending = true;
      return;
    case XI_RawButtonPress:
    case XI_RawButtonRelease: {
      if (I().pointerInside) return;
      bool press = cookie.evtype == XI_RawButtonPress;
      UINT message = 0;
      if (raw->detail == 1)
        message = press ? WM_LBUTTONDOWN : WM_LBUTTONUP;
      else if (raw->detail == 3)
        message = press ? WM_RBUTTONDOWN : WM_RBUTTONUP;
      else if (raw->detail == 2)
        message = press ? WM_MBUTTONDOWN : WM_MBUTTONUP;
      else if (press && (raw->detail == 4 || raw->detail == 5))
        message = WM_MOUSEWHEEL;
      if (message)
        DeliverDesktopPointer(message, raw->detail == 4   ? 120
                                       : raw->detail == 5 ? -120
                                                          : 0);
      return;
    }
    default:
      return;
  }
}

int FlushMotion() {
  if (I().motionPending) {
    I().motionPending = false;
    DeliverDesktopPointer(WM_MOUSEMOVE, 0);
  }
  return -1;
}

bool HandleInputEvent(XEvent& event) {
  if (event.type != GenericEvent || event.xcookie.extension != X().xiOpcode)
    return false;
  if (XGetEventData(X().display, &event.xcookie)) {
    HandleRaw(event.xcookie);
    XFreeEventData(X().display, &event.xcookie);
  }
  return true;
}

void OpenInputMethod() {
  Display* d = X().display;
  XSetLocaleModifiers("");
  I().im = XOpenIM(d, nullptr, nullptr, nullptr);
  if (!I().im) return;
  I().ic = XCreateIC(I().im, XNInputStyle, XIMPreeditNothing | XIMStatusNothing,
                     nullptr);
}

void SelectRawEvents() {
  if (X().xiOpcode < 0) return;
  int major = 2, minor = 0;
  if (XIQueryVersion(X().display, &major, &minor) != Success) return;
  unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
  XISetMask(bits, XI_RawKeyPress);
  XISetMask(bits, XI_RawKeyRelease);
  XISetMask(bits, XI_RawButtonPress);
  XISetMask(bits, XI_RawButtonRelease);
  XISetMask(bits, XI_RawMotion);
  XIEventMask mask{XIAllMasterDevices, sizeof bits, bits};
  XISelectEvents(X().display, X().root, &mask, 1);
}

}  // namespace

UINT VirtualKeyOf(KeySym keysym) {
  if (keysym >= XK_a && keysym <= XK_z) return 'A' + (keysym - XK_a);
  if (keysym >= XK_A && keysym <= XK_Z) return 'A' + (keysym - XK_A);
  if (keysym >= XK_0 && keysym <= XK_9) return '0' + (keysym - XK_0);
  if (keysym >= XK_KP_0 && keysym <= XK_KP_9) return 0x60 + (keysym - XK_KP_0);
  if (keysym >= XK_F1 && keysym <= XK_F24) return VK_F1 + (keysym - XK_F1);
  for (const KeyName& key : kKeys)
    if (key.keysym == keysym) return key.vk;
  return 0;
}

unsigned ModifiersOf(unsigned state) {
  unsigned modifiers = 0;
  if (state & ShiftMask) modifiers |= 1;
  if (state & ControlMask) modifiers |= 2;
  if (state & Mod1Mask) modifiers |= 4;
  return modifiers;
}

void HandleKey(XKeyEvent& event) {
  bool up = event.type == KeyRelease;
  UINT vk = VirtualKeyOf(XLookupKeysym(&event, 0));
  unsigned modifiers = ModifiersOf(event.state);
  // The state is from before the event; a modifier key's own press counts.
  if (vk == VK_SHIFT) modifiers = up ? modifiers & ~1u : modifiers | 1u;
  if (vk == VK_CONTROL) modifiers = up ? modifiers & ~2u : modifiers | 2u;
  if (vk == VK_MENU) modifiers = up ? modifiers & ~4u : modifiers | 4u;
  vt::platform::InputEvent key;
  key.kind = vt::platform::InputKind::Key;
  key.scope = vt::platform::InputScope::Window;
  key.virtualKey = vk;
  // Evdev key codes, which X numbers from 8, are the PC's scan codes.
  key.scanCode = event.keycode >= 8 ? event.keycode - 8 : 0;
  key.keyUp = up;
  key.modifiers = modifiers;
  key.time = static_cast<DWORD>(event.time);
  if (!up) key.characters.text = CharactersOf(event);
  if (vk) {
    Defer(key);
    return;
  }
  // A key with no virtual key of its own (é on a key of its own, a symbol
  // the layout adds) still types what it gives.
  for (char c : key.characters.text) {
    vt::platform::InputEvent typed;
    typed.kind = vt::platform::InputKind::Char;
    typed.virtualKey = static_cast<unsigned char>(c);
    typed.modifiers = modifiers;
    Defer(typed);
  }
}

vt::platform::KeyCharacters KeyCharactersOf(UINT virtualKey, UINT scanCode,
                                            unsigned modifiers) {
  Display* d = X().display;
  KeyCode code = 0;
  if (scanCode) {
    code = static_cast<KeyCode>(scanCode + 8);
  } else {
    for (KeySym keysym = 0x20; keysym < 0x100 && !code; ++keysym)
      if (VirtualKeyOf(keysym) == virtualKey)
        code = XKeysymToKeycode(d, keysym);
    for (KeySym keysym = 0xFF00; keysym <= 0xFFFF && !code; ++keysym)
      if (VirtualKeyOf(keysym) == virtualKey)
        code = XKeysymToKeycode(d, keysym);
  }
  vt::platform::KeyCharacters result;
  if (!code) return result;
  XKeyEvent event{};
  event.type = KeyPress;
  event.display = d;
  event.keycode = code;
  if (modifiers & 1) event.state |= ShiftMask;
  if (modifiers & 2) event.state |= ControlMask;
  if (modifiers & 4) event.state |= Mod1Mask;
  char buffer[16];
  int length = XLookupString(&event, buffer, sizeof buffer, nullptr, nullptr);
  // XLookupString gives Latin-1, which is 1252 wherever it has characters.
  result.text.assign(buffer, static_cast<std::size_t>(std::max(length, 0)));
  return result;
}

void SetPointerInside(bool inside) { I().pointerInside = inside; }
void SetFocusInside(bool inside) { I().focusInside = inside; }
void SetKeyboardGrabbed(bool grabbed) { I().keyboardGrabbed = grabbed; }

void Defer(const vt::platform::InputEvent& event) {
  I().deferred.push_back([event] { vt::platform::DeliverInput(event); });
}

void DeferTray(HWND owner, UINT id, UINT mouseMessage) {
  I().deferred.push_back([owner, id, mouseMessage] {
    vt::platform::DeliverTrayMouse(owner, id, mouseMessage);
  });
}

void DeferWindowEvent(const vt::platform::WindowEvent& event) {
  I().deferred.push_back([event] { vt::platform::DeliverWindowEvent(event); });
}

void RunDeferred() {
  std::vector<std::function<void()>> work;
  {
    XLock lock;
    work.swap(I().deferred);
  }
  for (auto& step : work) step();
}

void StartInput() {
  {
    XLock lock;
    OpenInputMethod();
    SelectRawEvents();
  }
  AddEventHandler(HandleInputEvent);
  AddIdleHandler(FlushMotion);
}

}  // namespace vt::x11
