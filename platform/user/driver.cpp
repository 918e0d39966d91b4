// Choosing the display driver and filling its table.
//
// Every entry first gets a harmless default here; the chosen driver then
// overwrites the entries it has. The defaults describe a headless desktop:
// a 1024 × 768 screen, fonts measured from their point size, and nobody
// watching.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/internal/driver.h"
#include "platform/internal/no_destroy.h"
#include "platform/internal/platform.h"
#include "platform/user/user_internal.h"

namespace vt::platform {

namespace {

struct DriverSlot {
  Driver driver{};
  std::once_flag once;
};

DriverSlot& Slot() {
  static NoDestroy<DriverSlot> slot;
  return slot.get();
}

FontMetrics DefaultFontMetrics(const FontSpec& font) {
  FontMetrics m;
  int pointSize = font.pointSize > 0 ? font.pointSize : 8;
  // Pixel height at 96 dots per inch, with the usual internal leading: 8
  // points give 13 pixels, the height of the dialog font.
  m.height = (pointSize * 96 * 12 / 72 + 5) / 10;
  m.ascent = m.height * 10 / 13;
  m.descent = m.height - m.ascent;
  m.averageCharWidth = (m.height * 6 + 6) / 13;
  m.maxCharWidth = m.averageCharWidth * 2;
  m.fixedPitch =
      vt::platform::EqualNoCaseWindows1252(font.face, "Courier New") ||
      vt::platform::EqualNoCaseWindows1252(font.face, "Courier") ||
      vt::platform::EqualNoCaseWindows1252(font.face, "Fixedsys");
  if (m.fixedPitch) m.maxCharWidth = m.averageCharWidth;
  return m;
}

void FillDefaults(Driver& d) {
  d.name = "none";
  d.display = false;
  d.windowCreated = [](const WindowInfo&) {};
  d.windowDestroyed = [](HWND) {};
  d.windowShown = [](HWND, bool) {};
  d.windowMoved = [](HWND, const RECT&, const RECT&) {};
  d.windowTextChanged = [](HWND, std::string_view) {};
  d.windowInvalidated = [](HWND, const RECT&) {};
  d.foregroundChanged = [](HWND) {};
  d.captureChanged = [](HWND) {};
  d.beginPaint = [](HWND, const RECT&) {};
  d.endPaint = [](HWND) {};
  d.fontMetrics = DefaultFontMetrics;
  d.textWidth = [](const FontSpec& font, std::string_view text) {
    return DefaultFontMetrics(font).averageCharWidth *
           static_cast<int>(text.size());
  };
  d.fillRect = [](const DrawTarget&, const RECT&, COLORREF) {};
  d.drawLine = [](const DrawTarget&, int, int, int, int, COLORREF) {};
  d.drawText = [](const DrawTarget&, int, int, std::string_view,
                  const FontSpec&, COLORREF, bool, COLORREF) {};
  d.drawIcon = [](const DrawTarget&, int, int, HICON) {};
  d.drawBitmap = [](const DrawTarget&, int, int, HBITMAP) {};
  d.screenSize = [] { return SIZE{1024, 768}; };
  d.systemMetrics = [] { return SystemMetrics{}; };
  d.cursorPosition = [] { return POINT{0, 0}; };
  d.setCursorPosition = [](int, int) {};
  d.screenSaverTimeout = [](UINT*) { return false; };
  d.beep = [](UINT) {};
  d.keyCharacters = [](UINT, UINT, unsigned) { return KeyCharacters{}; };
  d.setClipboardText = [](std::string_view, bool) {};
  d.trayIconAdded = [](const TrayIconState&) {};
  d.trayIconModified = [](const TrayIconState&) {};
  d.trayIconDeleted = [](HWND, UINT) {};
}

}  // namespace

void StartDriver() {
  auto& slot = Slot();
  std::call_once(slot.once, [&slot] {
    FillDefaults(slot.driver);
    const char* wanted = std::getenv("VELLUMTIDE_DRIVER");
    bool forceNull = wanted && std::strcmp(wanted, "null") == 0;
    bool forceX11 = wanted && std::strcmp(wanted, "x11") == 0;
    if (!forceNull && InstallX11Driver) {
      if (InstallX11Driver(slot.driver)) return;
      FillDefaults(slot.driver);
    }
    if (forceX11) {
      std::fprintf(stderr,
                   "Vellumtide: VELLUMTIDE_DRIVER=x11 asks for the X11 "
                   "driver, which %s; using the headless driver\n",
                   InstallX11Driver ? "could not open a display"
                                    : "is not part of this build");
    }
    InstallNullDriver(slot.driver);
  });
}

const Driver& TheDriver() {
  StartDriver();
  return Slot().driver;
}

}  // namespace vt::platform
