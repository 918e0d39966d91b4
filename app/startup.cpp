// Start-up of Velto.exe: one copy only, the hidden main window, the
// configuration window, the presence record, the icon, the activity monitor
// and the finger listener, in that order (see StartUp). RunVellumtide at the
// bottom is the whole life of the program.
#include "app/velto_app.h"

#include <cstring>
#include <mutex>

#include "app/app_globals.h"
#include "presence/idle_monitor.h"
#include "presence/status_display.h"
#include "resources/resource.h"
#include "service/finger_listener.h"
#include "service/presence_state.h"
#include "settings/config_window.h"
#include "settings/settings_store.h"

namespace {

constexpr const char* kMainClass = "VeltoClass";
constexpr UINT kWarning = MB_OK | MB_ICONWARNING | MB_SETFOREGROUND;

void ShowStartupError(const char* text) {
  MessageBoxA(nullptr, text, "Velto Error", kWarning);
}

bool AnotherCopyRuns() { return FindWindowA(kMainClass, nullptr) != nullptr; }

// The icon, the hidden main window's class and window, and the menu. Any
// failure here means the class or window already exists in some form, which
// is why the message speaks of one copy.
bool CreateMainWindow() {
  appIcon = LoadIconA(appInstance, MAKEINTRESOURCEA(IDI_VELTO));
  if (appIcon == nullptr) return false;

  WNDCLASSA windowClass;
  std::memset(&windowClass, 0, sizeof windowClass);
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = appInstance;
  windowClass.hIcon = appIcon;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  // A system colour brush (colour index 11, plus one); the window is never
  // shown, so it is never painted with it.
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(12);
  windowClass.lpszClassName = kMainClass;
  if (RegisterClassA(&windowClass) == 0) return false;

  mainWindow =
      CreateWindowExA(0, kMainClass, "Vellumtide", WS_OVERLAPPEDWINDOW,
                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                      CW_USEDEFAULT, nullptr, nullptr, appInstance, nullptr);
  if (mainWindow == nullptr) return false;

  appMenu = LoadMenuA(appInstance, MAKEINTRESOURCEA(IDR_POPUP_MENU));
  return appMenu != nullptr;
}

void ReadLoginName() {
  char name[sizeof presence.loginName] = {};
  DWORD size = sizeof name;
  GetUserNameA(name, &size);
  name[sizeof name - 1] = '\0';
  std::lock_guard<std::mutex> hold(presenceTextLock);
  std::memcpy(presence.loginName, name, sizeof presence.loginName);
}

void ReadScreenSaverTimeout() {
  UINT seconds = 0;
  if (SystemParametersInfoA(SPI_GETSCREENSAVETIMEOUT, 0, &seconds, 0)) {
    screenSaverTimeout = seconds;
  }
}

}  // namespace

StartupResult StartUp(HINSTANCE instance, HINSTANCE previous) {
  appInstance = instance;
  if (AnotherCopyRuns()) {
    ShowStartupError("Vellumtide is already running");
    return StartupResult::EndAtOnce;
  }
  if (previous == nullptr && !CreateMainWindow()) {
    ShowStartupError("Only one copy of Vellumtide is allowed");
    return StartupResult::EndAtOnce;
  }
  appAccelerators =
      LoadAcceleratorsA(appInstance, MAKEINTRESOURCEA(IDR_ACCELERATORS));
  if (appAccelerators == nullptr) return StartupResult::EndAtOnce;

  // The window's own initialisation loads the settings once already; the
  // second load below also fills in the login name, known only after it.
  configWindow = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(IDD_CONFIG),
                                    mainWindow, ConfigDialogProc, 0);
  ReadLoginName();
  SetStatusCaption("is here");
  LoadSettings(configWindow);
  EnableWindow(GetDlgItem(configWindow, IDC_APPLY), FALSE);
  SetTrayIcon(0, "Velto (Status: Here)");
  ReadScreenSaverTimeout();
  if (SetActivityMonitor(1) == 0) {
    ShowStartupError(
        "Could not set up to monitor mouse\nand/or keyboard messages");
    return StartupResult::EndWithoutMonitor;
  }
  return StartupResult::Running;
}

void StartFingerListener() {
  // If the thread cannot start, the program runs on without the finger
  // service; the handle is not needed, since the thread is never joined.
  HANDLE thread =
      CreateThread(nullptr, 0, FingerListenerThread, nullptr, 0, nullptr);
  if (thread != nullptr) CloseHandle(thread);
}

int RunVellumtide(HINSTANCE instance, HINSTANCE previous) {
  switch (StartUp(instance, previous)) {
    case StartupResult::EndAtOnce:
      return 0;
    case StartupResult::EndWithoutMonitor:
      ShutDown(ShutdownFrom::MonitorOff);
      return 0;
    case StartupResult::Running:
      break;
  }
  StartFingerListener();
  RunMessageLoop();
  ShutDown(ShutdownFrom::MonitorOn);
  return 0;
}
