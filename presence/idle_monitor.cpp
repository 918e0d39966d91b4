// The idle monitor. Start reading at MainWindowProc: the hidden main window
// (class VeltoClass) counts 3-second ticks in presence.idleTicks and hears
// of keyboard and mouse activity from the hook library (command 1025),
// which also asks it for the hook handles (1026, 1027) so it can pass every
// event on. SetActivityMonitor loads the library, installs its two hook
// procedures desktop-wide and starts the tick.
//
// The library coalesces its notices: it posts a new one only when the
// previous one has been handled (and at most one per 50 ms). It learns that
// from the window's user data, where OnActivity leaves the sequence number
// the library put in the notice's lParam; notices without one (lParam 0)
// leave it alone. Turning the monitor on sets the user data to a negative
// number of its own, which tells the library that the hook handles it holds
// are no longer the ones installed.
#include "presence/idle_monitor.h"

#include <cstdint>

#include "app/app_globals.h"
#include "presence/status_display.h"
#include "resources/resource.h"
#include "service/presence_state.h"

UINT screenSaverTimeout = 0;
HHOOK mouseHook = nullptr;
HHOOK keyboardHook = nullptr;
int mouseHookInstalled = 0;
int keyboardHookInstalled = 0;
HookInstaller installHook = SetWindowsHookExA;

namespace {

constexpr UINT_PTR kTickTimerId = 1;
constexpr UINT kTickMs = 3000;
constexpr std::int32_t kTicksPerMinute = 20;

// The library is never freed: a hook procedure may still be running in it on
// the input thread when its hook is removed.
HMODULE hookLibrary = nullptr;
UINT_PTR tickTimer = 0;
// How often the monitor was turned on; its negation marks each start in the
// main window's user data, never a notice's number (those count from 1).
LONG_PTR monitorStarts = 0;

void StartTick() {
  tickTimer = SetTimer(mainWindow, kTickTimerId, kTickMs, nullptr);
}

// Turning away by idleness changes only the caption; the tip shows the lock
// alone.
void OnTick() {
  std::int32_t ticks = presence.idleTicks.load();
  // Two hundred years of idleness are not expected, but the count must
  // never wrap to a negative number.
  if (ticks < INT32_MAX) ++ticks;
  presence.idleTicks.store(ticks);
  // The minutes are stored unsigned and compared so: a value of 2^31 or
  // more means "practically never", not a negative threshold that every
  // tick exceeds.
  const std::uint32_t minutes = presence.awayAfterMinutes.load();
  const auto idleMinutes = static_cast<std::uint32_t>(ticks / kTicksPerMinute);
  if (minutes != 0 && idleMinutes >= minutes && presence.autoAway.load() == 0) {
    SetStatusCaption("set away");
    presence.autoAway.store(1);
  }
}

// A notice that arrives while the idle count equals the screen-saver
// time-out is ignored: the count is compared with the stored value as it
// stands, whatever its unit.
LRESULT OnActivity(HWND window, LPARAM sequence) {
  if (sequence > 0) SetWindowLongPtrA(window, GWLP_USERDATA, sequence);
  if (static_cast<UINT>(presence.idleTicks.load()) == screenSaverTimeout)
    return 1;
  presence.idleTicks.store(0);
  // Restarting the timer puts the next tick a full period after the
  // activity, so a tick never counts a part of a period as idle.
  KillTimer(mainWindow, tickTimer);
  StartTick();
  if (presence.autoAway.load() == 1 && presence.awayLocked.load() == 0) {
    SetStatusCaption("is here");
    presence.autoAway.store(0);
  }
  return 1;
}

LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam) {
  switch (LOWORD(wParam)) {
    case CMD_ACTIVITY:
      return OnActivity(window, lParam);
    case CMD_GET_MOUSE_HOOK:
      return reinterpret_cast<LRESULT>(mouseHook);
    case CMD_GET_KEYBOARD_HOOK:
      return reinterpret_cast<LRESULT>(keyboardHook);
    default:
      return 0;
  }
}

HHOOK InstallExport(int hookType, const char* name) {
  auto procedure =
      reinterpret_cast<HOOKPROC>(GetProcAddress(hookLibrary, name));
  if (procedure == nullptr) return nullptr;
  return installHook(hookType, procedure, hookLibrary, 0);
}

int TurnMonitorOn() {
  if (mouseHookInstalled || keyboardHookInstalled) return 0;
  // Looked for afresh each time, so a library that has gone from the
  // folders is reported rather than taken from an earlier run of the
  // monitor; a library loaded before stays loaded all the same.
  hookLibrary = LoadLibraryA("Velto.DLL");
  if (hookLibrary == nullptr) {
    MessageBoxA(configWindow, "Cannot find Velto.DLL\nIn the current directory",
                "Velto Error", MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
    return 0;
  }
  // Marked before the hooks exist, so the first event they see already
  // tells the library to ask for the new handles.
  SetWindowLongPtrA(mainWindow, GWLP_USERDATA, -++monitorStarts);
  mouseHook = InstallExport(WH_MOUSE, "MouseProc");
  if (mouseHook == nullptr) return 0;
  mouseHookInstalled = 1;
  keyboardHook = InstallExport(WH_KEYBOARD, "KeyboardProc");
  if (keyboardHook == nullptr) {
    // The mouse hook goes again but stays marked installed: start-up gives
    // up after this failure, and a later attempt in the same run is refused.
    UnhookWindowsHookEx(mouseHook);
    return 0;
  }
  keyboardHookInstalled = 1;
  StartTick();
  return 1;
}

int TurnMonitorOff() {
  if (!mouseHookInstalled || !keyboardHookInstalled) return 0;
  const BOOL mouseRemoved = UnhookWindowsHookEx(mouseHook);
  const BOOL keyboardRemoved = UnhookWindowsHookEx(keyboardHook);
  mouseHookInstalled = 0;
  keyboardHookInstalled = 0;
  KillTimer(mainWindow, tickTimer);
  return mouseRemoved && keyboardRemoved ? 1 : 0;
}

}  // namespace

int SetActivityMonitor(int on) {
  return on ? TurnMonitorOn() : TurnMonitorOff();
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam,
                                LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return 0;
    case WM_TIMER:
      OnTick();
      return 0;
    case WM_COMMAND:
      return OnCommand(window, wParam, lParam);
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}
