// The presence tests' fixture: the hidden main window of class VeltoClass
// and the configuration window (template 101 with a dialog procedure that
// does nothing), set up as start-up sets them up, with the icon added and
// the caption at "is here", and helpers that drive and read them.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "app/app_globals.h"
#include "presence/idle_monitor.h"
#include "presence/status_display.h"
#include "resources/resource.h"
#include "service/presence_state.h"
#include "service/presence_test_support.h"
#include "vttest.h"

namespace presencetest {

inline constexpr char kCaptionPrefix[] = "Vellumtide v1.01 (beta) - bob ";
inline constexpr char kTipHere[] = "Velto (Status: Here)";
inline constexpr char kTipAway[] = "Velto (Status: Away)";

inline INT_PTR CALLBACK QuietDialogProc(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG ? TRUE : FALSE;
}

class PresenceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetPresenceRecord();
    {
      std::lock_guard<std::mutex> hold(presenceTextLock);
      std::strcpy(presence.loginName, "bob");
    }
    char directory[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof directory, directory);
    previousDirectory_ = directory;

    WNDCLASSA windowClass;
    std::memset(&windowClass, 0, sizeof windowClass);
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.lpszClassName = "VeltoClass";
    ASSERT_NE(RegisterClassA(&windowClass), 0);
    mainWindow = NewMainWindow();
    ASSERT_NE(mainWindow, nullptr);
    configWindow = CreateDialogParamA(nullptr, MAKEINTRESOURCEA(IDD_CONFIG),
                                      mainWindow, QuietDialogProc, 0);
    ASSERT_NE(configWindow, nullptr);
    appIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(IDI_VELTO));
    std::strcpy(trayTip, kTipHere);
    screenSaverTimeout = 600;
    SetStatusCaption("is here");
    SetTrayIcon(0, kTipHere);
  }

  void TearDown() override {
    if (mouseHookInstalled && keyboardHookInstalled) SetActivityMonitor(0);
    // A failed start leaves a hook marked that is no longer installed.
    mouseHookInstalled = 0;
    keyboardHookInstalled = 0;
    mouseHook = nullptr;
    keyboardHook = nullptr;
    installHook = SetWindowsHookExA;
    SetTrayIcon(2, "Vellumtide Status");
    DestroyWindow(configWindow);
    DestroyWindow(mainWindow);
    UnregisterClassA("VeltoClass", nullptr);
    configWindow = nullptr;
    mainWindow = nullptr;
    appIcon = nullptr;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    SetCurrentDirectoryA(previousDirectory_.c_str());
    screenSaverTimeout = 0;
    ResetPresenceRecord();
  }

  // A hidden main window of the registered class, as start-up makes it.
  static HWND NewMainWindow() {
    return CreateWindowExA(0, "VeltoClass", "Vellumtide", WS_OVERLAPPEDWINDOW,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
  }

  // Where Velto.dll is built, so that the monitor can load it.
  static void GoBesideTheHookLibrary() {
    const char* out = std::getenv("VT_OUT");
    ASSERT_NE(out, nullptr) << "VT_OUT names the output folder";
    ASSERT_TRUE(SetCurrentDirectoryA(out));
  }

  static void Tick(int times = 1) {
    for (int i = 0; i < times; ++i) {
      SendMessageA(mainWindow, WM_TIMER, 1, 0);
    }
  }
  static LRESULT Activity() {
    return SendMessageA(mainWindow, WM_COMMAND, CMD_ACTIVITY, 0);
  }
  // The status word of the caption, or the whole caption when it does not
  // start with the version line and the login name.
  static std::string CaptionStatus() {
    std::string caption = vt::testing::TextOf(configWindow);
    const std::string prefix = kCaptionPrefix;
    if (caption.compare(0, prefix.size(), prefix) == 0) {
      return caption.substr(prefix.size());
    }
    return caption;
  }
  static std::string Tip() { return vt::testing::TrayIcon().tip; }

  // Lets the timers run as if time had passed, then handles what is due.
  static void PassTime(DWORD milliseconds) {
    vt::testing::AdvanceTimers(milliseconds);
    vt::testing::PumpPending();
  }

  std::string previousDirectory_;
};

// The whole observable presence in one line of a test.
#define EXPECT_PRESENCE(idle, away, status, tip)                        \
  do {                                                                  \
    EXPECT_EQ(presence.idleTicks.load(), (idle));                       \
    EXPECT_EQ(presence.autoAway.load(), (away));                        \
    EXPECT_EQ(::presencetest::PresenceTest::CaptionStatus(), (status)); \
    EXPECT_EQ(::presencetest::PresenceTest::Tip(), (tip));              \
  } while (0)

}  // namespace presencetest
