// The program's one message loop and its shut-down.
//
// Every message of the main thread passes the configuration window's
// accelerator table first: that window is a modeless dialog without the
// dialog manager's keyboard handling, so its keys exist only as accelerator
// commands. A message the table did translate is still dispatched, as the
// loop has always done, so its window sees the key as well.
#include <windows.h>

#include "app/app_globals.h"
#include "app/velto_app.h"
#include "presence/idle_monitor.h"
#include "presence/status_display.h"

void ProcessLoopMessage(MSG* msg) {
  if (!TranslateAcceleratorA(configWindow, appAccelerators, msg)) {
    TranslateMessage(msg);
  }
  DispatchMessageA(msg);
}

void RunMessageLoop() {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) ProcessLoopMessage(&msg);
}

void ShutDown(ShutdownFrom from) {
  if (from == ShutdownFrom::MonitorOn) SetActivityMonitor(0);
  DestroyMenu(appMenu);
  // The popup lived inside the menu.
  appMenu = nullptr;
  popupMenu = nullptr;
  SetTrayIcon(2, "Vellumtide Status");
}
