// The X11 driver's table: what the platform asks of a desktop, answered by
// the X server. Chosen when DISPLAY names a display that opens.
#include <X11/Xlib.h>

#include "platform/drivers/x11/x11_internal.h"
#include "platform/internal/no_destroy.h"

namespace vt::x11 {
namespace {

vt::platform::FontMetrics FontMetricsOf(
    const vt::platform::FontSpec& fontSpec) {
  XLock lock;
  const OpenedFont* font = OpenFont(fontSpec);
  return font ? font->metrics : vt::platform::FontMetrics{};
}

int TextWidth(const vt::platform::FontSpec& fontSpec, std::string_view text) {
  XLock lock;
  const OpenedFont* font = OpenFont(fontSpec);
  return font ? MeasureAnsi(*font, text) : 0;
}

vt::platform::KeyCharacters CharactersOfKey(UINT virtualKey, UINT scanCode,
                                            unsigned modifiers) {
  XLock lock;
  return KeyCharactersOf(virtualKey, scanCode, modifiers);
}

SIZE ScreenSize() {
  XLock lock;
  Display* d = X().display;
  return SIZE{DisplayWidth(d, X().screen), DisplayHeight(d, X().screen)};
}

POINT CursorPosition() {
  XLock lock;
  Window root, child;
  int x = 0, y = 0, wx = 0, wy = 0;
  unsigned mask = 0;
  XQueryPointer(X().display, X().root, &root, &child, &x, &y, &wx, &wy, &mask);
  return POINT{x, y};
}

void SetCursorPosition(int x, int y) {
  // Every pointer event the event thread delivers is also reported here,
  // in the coordinates user keeps; the pointer is there already, and
  // warping it would fight the person moving it. Only a program's own
  // SetCursorPos moves it.
  if (OnEventThread()) return;
  XLock lock;
  XWarpPointer(X().display, None, X().root, 0, 0, 0, 0, x, y);
}

bool ScreenSaverTimeout(UINT* seconds) {
  XLock lock;
  int timeout = 0, interval = 0, blanking = 0, exposures = 0;
  XGetScreenSaver(X().display, &timeout, &interval, &blanking, &exposures);
  if (seconds) *seconds = static_cast<UINT>(std::max(timeout, 0));
  return true;
}

void Beep(UINT) {
  XLock lock;
  XBell(X().display, 0);
}

}  // namespace
}  // namespace vt::x11

namespace vt::platform {

bool InstallX11Driver(Driver& driver) {
  if (!vt::x11::OpenConnection()) return false;
  using namespace vt::x11;
  InstallWindowHandlers();
  StartInput();
  InstallTray();
  InstallClipboard();
  StartEventThread();
  driver.name = "x11";
  // A person sees the windows, so modal questions wait for a click.
  driver.display = true;
  driver.windowCreated = WindowCreated;
  driver.windowDestroyed = WindowDestroyed;
  driver.windowShown = WindowShown;
  driver.windowMoved = WindowMoved;
  driver.windowTextChanged = WindowTextChanged;
  driver.foregroundChanged = ForegroundChanged;
  driver.captureChanged = CaptureChanged;
  driver.beginPaint = vt::x11::BeginPaint;
  driver.endPaint = vt::x11::EndPaint;
  driver.fontMetrics = FontMetricsOf;
  driver.textWidth = TextWidth;
  driver.fillRect = vt::x11::FillRect;
  driver.drawLine = vt::x11::DrawLine;
  driver.drawText = vt::x11::DrawText;
  driver.drawIcon = vt::x11::DrawIcon;
  driver.drawBitmap = vt::x11::DrawBitmap;
  driver.screenSize = ScreenSize;
  driver.cursorPosition = CursorPosition;
  driver.setCursorPosition = SetCursorPosition;
  driver.screenSaverTimeout = ScreenSaverTimeout;
  driver.beep = Beep;
  driver.keyCharacters = CharactersOfKey;
  driver.setClipboardText = vt::x11::SetClipboardText;
  driver.trayIconAdded = TrayIconAdded;
  driver.trayIconModified = TrayIconModified;
  driver.trayIconDeleted = TrayIconDeleted;
  return true;
}

}  // namespace vt::platform
