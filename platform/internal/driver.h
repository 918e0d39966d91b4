// The display driver: the one narrow table through which the platform draws,
// measures text and reaches the desktop, and the delivery functions through
// which a driver reports what happened there.
//
// A driver only draws pixels and reports events. Everything a person
// interacts with (message boxes, popup menus, dialogs, controls) is built in
// user from windows, so a driver never runs a loop of its own on behalf of
// the program and never calls a window procedure.
//
// Filling the table. user fills it once at start (StartDriver): first every
// entry with a harmless default, then the chosen driver overwrites what it
// has. Callers therefore never test an entry for null.
//
// Which threads call what.
//  - Window entries (windowCreated ... captureChanged) and the painting
//    entries (beginPaint, the drawing entries, endPaint) are called on the
//    thread that owns the window, never with a platform lock held. Windows of
//    different threads may be drawn at the same time, so a driver keeps its
//    per-window state under its own lock.
//  - Measuring and desktop entries (fontMetrics, textWidth, systemMetrics,
//    screenSize, cursorPosition, keyCharacters, screenSaverTimeout, beep) may
//    be called on any thread, concurrently, sometimes with user's lock held:
//    they must answer from the driver's own state and call nothing of the
//    platform.
//  - The notification-area entries are called on the thread that called
//    Shell_NotifyIconA, in the order of the calls, outside the icon table's
//    lock.
//  - A driver reports only through the delivery functions at the end of this
//    file (DeliverInput, DeliverWindowEvent, DeliverTrayMouse), from a thread
//    of its own. They queue what they report for the thread that owns the
//    window and return; none of them runs a window procedure on the calling
//    thread. DeliverInput does run the global hooks there, as a desktop's
//    input thread does; a hook may send to an application thread, which
//    answers from whatever loop it is in, modal ones included.
//  - Besides the delivery functions a driver may read IconResource,
//    BitmapResource and TrayIcons from any thread. It calls no other platform
//    function (no SendMessageA, no window calls): those would run program
//    code on the driver's thread.
#pragma once

#include <windows.h>

#include "vtresource.h"

#include <string>
#include <string_view>
#include <vector>

namespace vt::platform {

// A font as the program asked for it; the driver picks what it has closest.
struct FontSpec {
  std::string face = "MS Sans Serif";
  int pointSize = 8;
  int weight = 400;  // FW_NORMAL; 700 is bold
  bool italic = false;
  bool underline = false;
};

struct FontMetrics {
  int height = 13;
  int ascent = 11;
  int descent = 2;
  int averageCharWidth = 6;
  int maxCharWidth = 12;
  bool fixedPitch = false;
};

// Sizes of the window furniture, in pixels, as the desktop draws them.
struct SystemMetrics {
  int border = 1;                  // SM_CXBORDER / SM_CYBORDER
  int dialogFrame = 3;             // SM_CXDLGFRAME / SM_CYDLGFRAME
  int sizingFrame = 4;             // SM_CXFRAME / SM_CYFRAME
  int caption = 18;                // SM_CYCAPTION
  int menuBar = 18;                // SM_CYMENU
  int scrollBar = 16;              // SM_CXVSCROLL / SM_CYHSCROLL
  int icon = 32;                   // SM_CXICON / SM_CYICON
  int smallIcon = 16;              // SM_CXSMICON / SM_CYSMICON
  int doubleClickSlop = 4;         // SM_CXDOUBLECLK / SM_CYDOUBLECLK
  unsigned doubleClickTime = 500;  // GetDoubleClickTime, ms
};

// What the driver is told about a window. Coordinates are screen pixels:
// rect is the whole window, client its client area inside it (the driver
// draws the frame and caption of a top-level window between the two, or
// leaves them to the desktop's window manager).
struct WindowInfo {
  HWND window = nullptr;
  HWND parent = nullptr;  // child windows
  HWND owner = nullptr;   // owned top-level windows (dialogs, menus)
  DWORD style = 0;
  DWORD exStyle = 0;
  RECT rect{};
  RECT client{};
  std::string className;
  std::string text;
};

// Where a drawing call lands: client pixels of window, clipped to clip (the
// update region inside BeginPaint/EndPaint, else the client area, narrowed
// by the call's own rectangle where it has one).
struct DrawTarget {
  HWND window = nullptr;
  RECT clip{};
  // Drawing of a child window's frame: still in its client coordinates
  // (the frame lies at negative ones and beyond the client size), but
  // bounded by the whole window rather than its client area.
  bool frame = false;
};

// A notification-area icon as the program set it.
struct TrayIconState {
  HWND owner = nullptr;
  UINT id = 0;
  UINT flags = 0;  // NIF_* of the fields ever set
  UINT callbackMessage = 0;
  HICON icon = nullptr;
  std::string tip;
};

// The characters a key gives in the person's layout (Windows-1252), and
// whether they are a dead key's, which combine with the next key.
struct KeyCharacters {
  std::string text;
  bool dead = false;
};

struct Driver {
  const char* name;
  // Whether a person sees what the driver draws and can answer it. Without
  // one (the headless driver), user asks its questions on the terminal.
  bool display;

  // Window life: a driver with real windows mirrors these.
  void (*windowCreated)(const WindowInfo& info);
  void (*windowDestroyed)(HWND window);
  void (*windowShown)(HWND window, bool visible);
  // rect: the whole window; client: its client area; both screen pixels.
  void (*windowMoved)(HWND window, const RECT& rect, const RECT& client);
  void (*windowTextChanged)(HWND window, std::string_view text);
  // Part of the window needs drawing (client pixels); user will paint it
  // when the window's thread next has nothing else to do.
  void (*windowInvalidated)(HWND window, const RECT& area);
  void (*foregroundChanged)(HWND window);
  // The window that receives all pointer input of the desktop until
  // released (nullptr); a driver grabs the pointer for it, so that a click
  // outside every window of the program still reaches it.
  void (*captureChanged)(HWND window);

  // Painting. Every WM_PAINT's drawing comes between beginPaint and
  // endPaint; update is the area being painted (client pixels), and every
  // drawing call in between is clipped to it, so a driver may draw into a
  // buffer and show it at endPaint. Drawing through GetDC comes without the
  // brackets and goes to the window directly.
  void (*beginPaint)(HWND window, const RECT& update);
  void (*endPaint)(HWND window);

  // Text and drawing.
  FontMetrics (*fontMetrics)(const FontSpec& font);
  int (*textWidth)(const FontSpec& font, std::string_view text);
  void (*fillRect)(const DrawTarget& target, const RECT& rect, COLORREF color);
  void (*drawLine)(const DrawTarget& target, int x0, int y0, int x1, int y1,
                   COLORREF color);
  // Text with its top-left at (x, y); background filled first when opaque.
  void (*drawText)(const DrawTarget& target, int x, int y,
                   std::string_view text, const FontSpec& font, COLORREF color,
                   bool opaque, COLORREF background);
  void (*drawIcon)(const DrawTarget& target, int x, int y, HICON icon);
  void (*drawBitmap)(const DrawTarget& target, int x, int y, HBITMAP bitmap);

  // The desktop.
  SIZE (*screenSize)();
  SystemMetrics (*systemMetrics)();
  POINT (*cursorPosition)();
  void (*setCursorPosition)(int x, int y);
  // Seconds, or false when the driver does not know.
  bool (*screenSaverTimeout)(UINT* seconds);
  void (*beep)(UINT type);
  // What the layout gives for a key that was not reported with its
  // characters (a key message a program posted itself); modifiers as in
  // InputEvent.
  KeyCharacters (*keyCharacters)(UINT virtualKey, UINT scanCode,
                                 unsigned modifiers);
  // Offers text (Windows-1252, as the program holds it) to other programs:
  // as the clipboard, or as the primary selection a middle click pastes. The
  // driver keeps its own copy; any thread may call it.
  void (*setClipboardText)(std::string_view ansiText, bool primarySelection);

  // The notification area: a driver docks, updates and removes the icon,
  // and reports its use through DeliverTrayMouse.
  void (*trayIconAdded)(const TrayIconState& icon);
  void (*trayIconModified)(const TrayIconState& icon);
  void (*trayIconDeleted)(HWND owner, UINT id);
};

// The pictures behind icon and bitmap handles, for a driver that draws
// them (null for a system icon or cursor).
const vtres::Icon* IconResource(HICON icon);
const vtres::Bitmap* BitmapResource(HBITMAP bitmap);
// The icons present now, in the order they were added (for docking them
// again when the desktop's tray comes back).
std::vector<TrayIconState> TrayIcons();

// The table in use; brings the driver up on first use.
const Driver& TheDriver();

// Installs the null driver's entries over the defaults.
void InstallNullDriver(Driver& driver);
// The X11 driver, when it is linked in, installs itself here and answers
// whether a display could be opened.
bool InstallX11Driver(Driver& driver) __attribute__((weak));

// --- delivery, from the driver's own threads -------------------------------

// Modifier keys held, in InputEvent::modifiers.
enum ModifierBits : unsigned {
  kShiftBit = 1,
  kControlBit = 2,
  kAltBit = 4,
};

enum class InputKind { Key, Mouse, Char };
enum class InputScope { Window, Desktop };

struct InputEvent {
  InputKind kind = InputKind::Key;
  InputScope scope = InputScope::Window;
  // Key: the virtual key, the scan code, whether it goes up, and the
  // characters the person's layout gives for this press (empty for none;
  // dead keys and Caps Lock already applied by the driver). Char: a
  // character in virtualKey, queued as WM_CHAR without a key.
  UINT virtualKey = 0;
  UINT scanCode = 0;
  bool keyUp = false;
  KeyCharacters characters;
  // The modifier keys held (ModifierBits), for keys and the pointer alike.
  unsigned modifiers = 0;
  // Mouse: WM_MOUSEMOVE, WM_[LRM]BUTTONDOWN / UP or WM_MOUSEWHEEL (a driver
  // reports presses; user makes double clicks of them), the screen
  // position, the buttons held after the event (MK_LBUTTON, MK_RBUTTON,
  // MK_MBUTTON) and, for the wheel, the distance (WHEEL_DELTA a notch,
  // positive away from the person). target is the top-level window under
  // the pointer (null: none of the program's); user finds the child.
  UINT mouseMessage = 0;
  POINT point{};
  unsigned buttons = 0;
  int wheelDelta = 0;
  HWND target = nullptr;
  // When it happened, in milliseconds of the driver's own clock (0: now);
  // user compares two presses' times to make a double click.
  DWORD time = 0;
};

// Runs the global hook chain for event (without any platform lock), then,
// unless a hook swallowed it, queues it for its target: keys and characters
// for the focused window of the foreground thread; pointer input for the
// capture window when there is one, else the window under the pointer.
// Returns whether the event reached a queue.
bool DeliverInput(const InputEvent& event);

enum class WindowEventKind {
  // rect (client pixels) must be painted again.
  Exposed,
  // The desktop moved or sized the window to rect (window, screen pixels).
  Moved,
  // The person asked to close it (WM_SYSCOMMAND SC_CLOSE, then WM_CLOSE).
  CloseRequested,
  // The desktop made it the active window, or another program's.
  Activated,
  Deactivated,
  // Keyboard focus went to another program while the window stays active.
  FocusLost,
  // The pointer left the window.
  PointerLeft,
};

struct WindowEvent {
  WindowEventKind kind = WindowEventKind::Exposed;
  HWND window = nullptr;
  RECT rect{};
};

// Queues event for the thread that owns its window, where it is handled
// the next time that thread looks at its queue (modal loops included).
// False when the window is gone.
bool DeliverWindowEvent(const WindowEvent& event);

// The person used the notification-area icon (owner, id): its callback
// message is posted to the owner with id in wParam and mouseMessage in
// lParam, without waiting for the program. False when there is no such icon
// or it has no callback message.
bool DeliverTrayMouse(HWND owner, UINT id, UINT mouseMessage);

}  // namespace vt::platform
