// The display driver: the one narrow table through which the platform draws,
// measures text and reaches the desktop.
//
// user fills the table once at start (StartDriver): first every entry with a
// harmless default, then the chosen driver overwrites what it has. Callers
// therefore never test an entry for null. A driver reports input by calling
// DeliverInput on a thread of its own (its input thread), which runs the
// global hooks and then queues the event for its target window.
#pragma once

#include <windows.h>

#include "vtresource.h"

#include <string>
#include <string_view>
#include <vector>

namespace vt::platform {

struct FontMetrics {
  int height = 13;
  int ascent = 11;
  int descent = 2;
  int averageCharWidth = 6;
  int maxCharWidth = 12;
  bool fixedPitch = false;
};

struct MessageBoxRequest {
  HWND owner = nullptr;
  std::string text;
  std::string caption;
  UINT type = 0;
  DWORD threadId = 0;
  bool ownerWasDisabled = false;
  int defaultAnswer = IDOK;
};

struct PopupItem {
  UINT id = 0;
  std::string text;
  bool separator = false;
  bool checked = false;
  bool grayed = false;
  bool popup = false;
};

struct PopupRequest {
  HMENU menu = nullptr;
  UINT flags = 0;
  int x = 0;
  int y = 0;
  HWND owner = nullptr;
  HWND foregroundAtOpen = nullptr;
  std::vector<PopupItem> items;
};

// What the driver is told about a window; coordinates are screen pixels.
struct WindowInfo {
  HWND window = nullptr;
  HWND parent = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  RECT rect{};
  std::string className;
  std::string text;
};

struct Driver {
  const char* name;

  // Window life: a driver with real windows mirrors these.
  void (*windowCreated)(const WindowInfo& info);
  void (*windowDestroyed)(HWND window);
  void (*windowShown)(HWND window, bool visible);
  void (*windowMoved)(HWND window, const RECT& rect);
  void (*windowTextChanged)(HWND window, std::string_view text);
  void (*windowInvalidated)(HWND window);
  void (*foregroundChanged)(HWND window);

  // Text and drawing. Coordinates are client pixels of window.
  FontMetrics (*fontMetrics)(std::string_view face, int pointSize, int weight);
  int (*textWidth)(const FontMetrics& font, std::string_view face,
                   std::string_view text);
  void (*fillRect)(HWND window, const RECT& rect, COLORREF color);
  void (*drawLine)(HWND window, int x0, int y0, int x1, int y1, COLORREF color);
  void (*drawText)(HWND window, int x, int y, std::string_view text,
                   COLORREF color, const RECT& clip);
  void (*drawIcon)(HWND window, int x, int y, HICON icon);
  void (*drawBitmap)(HWND window, int x, int y, HBITMAP bitmap);

  // The desktop.
  SIZE (*screenSize)();
  POINT (*cursorPosition)();
  void (*setCursorPosition)(int x, int y);
  // Seconds, or false when the driver does not know.
  bool (*screenSaverTimeout)(UINT* seconds);
  void (*beep)(UINT type);

  // Modal interaction. user has disabled the owner and run the thread's
  // pending messages before calling; the driver answers with the button or
  // the chosen command (0 when dismissed).
  int (*messageBox)(const MessageBoxRequest& request);
  UINT (*trackPopup)(const PopupRequest& request);
};

// The pictures behind icon and bitmap handles, for a driver that draws
// them (null for a system icon or cursor).
const vtres::Icon* IconResource(HICON icon);
const vtres::Bitmap* BitmapResource(HBITMAP bitmap);

// The table in use; brings the driver up on first use.
const Driver& TheDriver();

// Installs the null driver's entries over the defaults.
void InstallNullDriver(Driver& driver);
// The X11 driver, when it is linked in, installs itself here and answers
// whether a display could be opened.
bool InstallX11Driver(Driver& driver) __attribute__((weak));

// --- input, from the driver's input thread ---------------------------------

enum class InputKind { Key, Mouse, Char };
enum class InputScope { Window, Desktop };

struct InputEvent {
  InputKind kind = InputKind::Key;
  InputScope scope = InputScope::Window;
  // Key: the virtual key, whether it goes up, and the modifiers held
  // (bit 1 Shift, 2 Control, 4 Alt). Char: the character in wParam.
  UINT virtualKey = 0;
  bool keyUp = false;
  unsigned modifiers = 0;
  // Mouse: the message and the screen position; target is the window
  // clicked (null for the desktop).
  UINT mouseMessage = 0;
  POINT point{};
  HWND target = nullptr;
};

// Runs the global hook chain for event (without any platform lock), then,
// unless a hook swallowed it, queues it for its target: keys and characters
// for the focused window of the foreground thread, mouse messages for
// target. Returns whether the event reached a queue.
bool DeliverInput(const InputEvent& event);

}  // namespace vt::platform
