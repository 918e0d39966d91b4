// A test fixture with the configuration window set up as start-up sets it
// up, but without the hooks or the listener: a hidden owner window in place
// of the main window, menu 105, accelerator table 111, the window itself
// (hidden, Apply disabled) and the icon. Used by the configuration window's
// tests and by the message loop's keyboard tests.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "app/app_globals.h"
#include "app/velto_app.h"
#include "presence/status_display.h"
#include "resources/resource.h"
#include "service/presence_state.h"
#include "service/presence_test_support.h"
#include "settings/config_window.h"
#include "settings/settings_store.h"
#include "vttest.h"

namespace configtest {

inline constexpr const char* kSettingsKey = "Software\\Tollerbay\\Vellumtide";

inline void ResetPresence() { ResetPresenceRecord(); }

inline void StoreText(const char* name, const char* text) {
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr,
                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                  nullptr);
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                 static_cast<DWORD>(std::strlen(text) + 1));
  RegCloseKey(key);
}

inline void StoreMinutes(DWORD minutes) {
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr,
                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                  nullptr);
  RegSetValueExA(key, "Set Away After", 0, REG_DWORD,
                 reinterpret_cast<const BYTE*>(&minutes), sizeof minutes);
  RegCloseKey(key);
}

// The stored text of a value, or "<none>" when the key or value is missing.
inline std::string StoredText(const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return "<none>";
  }
  char data[512] = {};
  DWORD size = sizeof data - 1;
  LONG result = RegQueryValueExA(key, name, nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  return result == ERROR_SUCCESS ? std::string(data) : "<none>";
}

inline DWORD StoredMinutes() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return 0xFFFFFFFFu;
  }
  DWORD minutes = 0xFFFFFFFFu;
  DWORD size = sizeof minutes;
  RegQueryValueExA(key, "Set Away After", nullptr, nullptr,
                   reinterpret_cast<BYTE*>(&minutes), &size);
  RegCloseKey(key);
  return minutes;
}

inline bool KeyExists() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

class ConfigWindowTest : public ::testing::Test {
 public:
  void SetUp() override {
    ResetPresence();
    std::strcpy(presence.loginName, "bob");
    WNDCLASSA owner;
    std::memset(&owner, 0, sizeof owner);
    owner.lpfnWndProc = DefWindowProcA;
    owner.lpszClassName = "VtConfigTestOwner";
    RegisterClassA(&owner);
    mainWindow =
        CreateWindowExA(0, "VtConfigTestOwner", "owner", WS_OVERLAPPEDWINDOW,
                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(mainWindow, nullptr);
    appMenu = LoadMenuA(nullptr, MAKEINTRESOURCEA(IDR_POPUP_MENU));
    ASSERT_NE(appMenu, nullptr);
    appAccelerators =
        LoadAcceleratorsA(nullptr, MAKEINTRESOURCEA(IDR_ACCELERATORS));
    ASSERT_NE(appAccelerators, nullptr);
    configWindow = CreateDialogParamA(nullptr, MAKEINTRESOURCEA(IDD_CONFIG),
                                      mainWindow, ConfigDialogProc, 0);
    ASSERT_NE(configWindow, nullptr);
    SetStatusCaption("is here");
    LoadSettings(configWindow);
    EnableWindow(Item(IDC_APPLY), FALSE);
    SetTrayIcon(0, "Velto (Status: Here)");
  }

  void TearDown() override {
    SetTrayIcon(2, "Vellumtide Status");
    DestroyWindow(configWindow);
    DestroyAcceleratorTable(appAccelerators);
    DestroyMenu(appMenu);
    DestroyWindow(mainWindow);
    UnregisterClassA("VtConfigTestOwner", nullptr);
    configWindow = nullptr;
    mainWindow = nullptr;
    appMenu = nullptr;
    popupMenu = nullptr;
    appAccelerators = nullptr;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    ResetPresence();
  }

  HWND Item(int id) const { return GetDlgItem(configWindow, id); }
  bool ApplyEnabled() const { return IsWindowEnabled(Item(IDC_APPLY)) != 0; }
  bool Visible() const { return IsWindowVisible(configWindow) != 0; }
  bool LockBoxChecked() const {
    return IsDlgButtonChecked(configWindow, IDC_AWAY_LOCKED) == BST_CHECKED;
  }
  std::string Text(int id) const {
    char text[512] = {};
    GetDlgItemTextA(configWindow, id, text, sizeof text);
    return text;
  }
  void SetText(int id, const char* text) const {
    SetDlgItemTextA(configWindow, id, text);
  }
  // A command as a click or the menu gives it.
  void Command(int id) const {
    SendMessageA(configWindow, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
  }
  void ShowIt() const { Command(IDM_CONFIGURE); }

  // Runs the main loop's handling (ProcessLoopMessage) over everything the
  // thread has pending, until nothing is left or quit arrives; bounded, so a
  // message that keeps reposting itself fails the test instead of hanging.
  // Returns true when the quit message arrived, with its code.
  bool PumpLoop(int* quitCode = nullptr) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int idleRounds = 0;
    while (std::chrono::steady_clock::now() < deadline) {
      MSG msg;
      if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        // Posted work may arrive from a message just handled; give it a
        // couple of empty rounds before calling the queue drained.
        if (++idleRounds > 2) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        continue;
      }
      idleRounds = 0;
      if (msg.message == WM_QUIT) {
        if (quitCode != nullptr) *quitCode = static_cast<int>(msg.wParam);
        return true;
      }
      ProcessLoopMessage(&msg);
    }
    ADD_FAILURE() << "the message loop did not settle";
    return false;
  }
};

}  // namespace configtest
