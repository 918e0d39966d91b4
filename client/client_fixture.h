// What the finger client's tests share: Windows Sockets started, stand-ins
// for the hidden main window and the configuration window (the owners of
// the client's windows and message boxes), and helpers that run a query on
// its own thread and read back what it showed.
#pragma once

#include <gtest/gtest.h>
#include <vttest.h>
#include <windows.h>
#include <winsock.h>

#include <string>
#include <vector>

#include "app/app_globals.h"
#include "client/finger_query.h"
#include "client/query_windows.h"
#include "resources/resource.h"
#include "service/finger_test_sockets.h"

namespace clienttest {

// Long enough for a query's three pauses and a loaded sanitizer build,
// short enough that a hang fails long before the test's watchdog.
inline constexpr DWORD kQueryWaitMs = 20000;

inline LRESULT CALLBACK OwnerProc(HWND window, UINT msg, WPARAM wParam,
                                  LPARAM lParam) {
  return DefWindowProcA(window, msg, wParam, lParam);
}

// The response windows that are open and filled (a modal dialog is shown
// once its WM_INITDIALOG has run).
inline std::vector<HWND> ResponseWindows() {
  std::vector<HWND> found;
  for (HWND window : vt::testing::TopLevelWindows()) {
    if (IsWindow(window) && IsWindowVisible(window) &&
        vt::testing::TextOf(window) == "Finger Response" &&
        GetDlgItem(window, IDC_RESPONSE_TEXT) != nullptr) {
      found.push_back(window);
    }
  }
  return found;
}

inline std::string ShownText(HWND response) {
  return vt::testing::TextOf(GetDlgItem(response, IDC_RESPONSE_TEXT));
}

inline bool ThreadEnded(HANDLE thread) {
  return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
}

inline std::vector<std::string> MessageTexts() {
  std::vector<std::string> texts;
  for (const auto& box : vt::testing::MessageBoxes()) texts.push_back(box.text);
  return texts;
}

// What one query showed, run through its thread as the query window runs it.
struct Outcome {
  bool responseShown = false;
  std::string shown;                  // the response window's text
  std::vector<std::string> messages;  // message boxes, in order
  bool threadEnded = false;
};

class ClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vt::testing::Reset();
    finger_test::StartWinsock();
    WNDCLASSA owner{};
    owner.lpfnWndProc = OwnerProc;
    owner.lpszClassName = "ClientTestOwner";
    RegisterClassA(&owner);
    mainWindow = CreateWindowExA(0, "ClientTestOwner", "", WS_OVERLAPPED, 0, 0,
                                 10, 10, nullptr, nullptr, nullptr, nullptr);
    configWindow =
        CreateWindowExA(0, "ClientTestOwner", "Velto", WS_OVERLAPPED, 0, 0, 10,
                        10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(mainWindow, nullptr);
    ASSERT_NE(configWindow, nullptr);
    SetFingerQueryPort(79);
    SetFingerQueryBound(kFingerQueryBoundMs);
  }

  void TearDown() override {
    vt::testing::ClearSocketFailures();
    SetFingerQueryPort(79);
    SetFingerQueryBound(kFingerQueryBoundMs);
    DestroyWindow(configWindow);
    DestroyWindow(mainWindow);
    configWindow = nullptr;
    mainWindow = nullptr;
    queryUser[0] = '\0';
    queryHost[0] = '\0';
  }

  // Pumps this thread (the owners' thread) until the query thread ends.
  static bool WaitForThread(HANDLE thread) {
    bool ended = vt::testing::PumpUntil([&] { return ThreadEnded(thread); },
                                        kQueryWaitMs);
    CloseHandle(thread);
    return ended;
  }

  // Starts a query on its own thread, waits for its response window or its
  // end, reads and closes the window, and waits for the thread to end.
  static Outcome QueryThroughThread(const char* user, const char* host) {
    Outcome outcome;
    HANDLE thread = StartFingerQuery(user, host);
    if (thread == nullptr) return outcome;
    vt::testing::PumpUntil(
        [&] { return !ResponseWindows().empty() || ThreadEnded(thread); },
        kQueryWaitMs);
    std::vector<HWND> windows = ResponseWindows();
    if (!windows.empty()) {
      outcome.responseShown = true;
      outcome.shown = ShownText(windows[0]);
      PostMessageA(windows[0], WM_COMMAND, IDOK, 0);
    }
    outcome.threadEnded = WaitForThread(thread);
    outcome.messages = MessageTexts();
    return outcome;
  }
};

}  // namespace clienttest
