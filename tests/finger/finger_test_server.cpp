// A finger server for process-level tests: the daemon's service without its
// tray icon and hooks. It takes the login name from the system and the
// profile from the registry, creates the configuration window's template
// hidden with a minimal procedure, and runs the listener thread until the
// process is asked to end (SIGTERM closes the window) or the listener quits.
// On the way out it prints the connection log, newest first, one "log: "
// line per entry, and exits with the quit code.
#include <windows.h>

#include <cstdio>
#include <mutex>

#include "app/app_globals.h"
#include "resources/resource.h"
#include "service/finger_listener.h"
#include "service/presence_state.h"
#include "settings/settings_store.h"

namespace {

INT_PTR CALLBACK ServerDialogProc(HWND, UINT msg, WPARAM, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_CLOSE:
      PostQuitMessage(0);
      return TRUE;
    default:
      return FALSE;
  }
}

void PrintLog(HWND dialog) {
  LRESULT count =
      SendDlgItemMessageA(dialog, IDC_CONNECTION_LOG, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    char entry[512] = {};
    SendDlgItemMessageA(dialog, IDC_CONNECTION_LOG, LB_GETTEXT,
                        static_cast<WPARAM>(i),
                        reinterpret_cast<LPARAM>(entry));
    std::printf("log: %s\n", entry);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  {
    std::lock_guard<std::mutex> guard(presenceTextLock);
    DWORD size = sizeof presence.loginName;
    GetUserNameA(presence.loginName, &size);
  }
  HWND dialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_CONFIG),
                                   nullptr, ServerDialogProc, 0);
  if (dialog == nullptr) {
    std::fprintf(stderr, "finger_test_server: no dialog 101\n");
    return 100;
  }
  configWindow = dialog;
  LoadSettings(dialog);
  std::printf("login: %s\n", presence.loginName);
  std::fflush(stdout);
  HANDLE listener =
      CreateThread(nullptr, 0, FingerListenerThread, nullptr, 0, nullptr);
  if (listener == nullptr) return 101;
  MSG msg = {};
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    DispatchMessageA(&msg);
  }
  PrintLog(dialog);
  std::fflush(stdout);
  return static_cast<int>(msg.wParam);
}
