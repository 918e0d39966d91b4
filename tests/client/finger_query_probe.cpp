// Runs one finger query the way the query window starts it, and prints what
// the response window shows, so that a script can set it beside what
// Debian's finger prints for the same query.
//
//   VT_PROBE_USER=alice VT_PROBE_HOST=127.0.0.1 finger_query_probe
//
// The edit control's text goes to standard output exactly as shown (CR LF
// line ends); message boxes go to standard error, as the headless driver
// writes them. Exit 0 when a response window was shown, 1 when the query
// ended without one, 2 when it did not end in time.
#include <vttest.h>
#include <windows.h>
#include <winsock.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/app_globals.h"
#include "client/query_windows.h"
#include "resources/resource.h"

namespace {

constexpr DWORD kWaitMs = 60000;

LRESULT CALLBACK OwnerProc(HWND window, UINT msg, WPARAM wParam,
                           LPARAM lParam) {
  return DefWindowProcA(window, msg, wParam, lParam);
}

HWND ShownResponseWindow() {
  for (HWND window : vt::testing::TopLevelWindows()) {
    if (IsWindow(window) && IsWindowVisible(window) &&
        vt::testing::TextOf(window) == "Finger Response") {
      return window;
    }
  }
  return nullptr;
}

const char* EnvironmentText(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  appInstance = instance;
  WSADATA data;
  if (WSAStartup(0x0101, &data) != 0) return 3;
  WNDCLASSA owner{};
  owner.lpfnWndProc = OwnerProc;
  owner.lpszClassName = "ProbeOwner";
  RegisterClassA(&owner);
  mainWindow = CreateWindowExA(0, "ProbeOwner", "", WS_OVERLAPPED, 0, 0, 10, 10,
                               nullptr, nullptr, instance, nullptr);
  configWindow = CreateWindowExA(0, "ProbeOwner", "Velto", WS_OVERLAPPED, 0, 0,
                                 10, 10, nullptr, nullptr, instance, nullptr);
  HANDLE thread = StartFingerQuery(EnvironmentText("VT_PROBE_USER"),
                                   EnvironmentText("VT_PROBE_HOST"));
  if (thread == nullptr) return 3;
  auto ended = [&] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; };
  vt::testing::PumpUntil([&] { return ShownResponseWindow() || ended(); },
                         kWaitMs);
  int result = 1;
  if (HWND window = ShownResponseWindow()) {
    std::string shown =
        vt::testing::TextOf(GetDlgItem(window, IDC_RESPONSE_TEXT));
    std::fwrite(shown.data(), 1, shown.size(), stdout);
    std::fflush(stdout);
    PostMessageA(window, WM_COMMAND, IDOK, 0);
    result = 0;
  }
  if (!vt::testing::PumpUntil(ended, kWaitMs)) return 2;
  CloseHandle(thread);
  return result;
}
