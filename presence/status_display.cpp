// The status shown to the person: the configuration window's caption and the
// notification-area icon. The caption follows every change of presence; the
// tip follows only the away lock, which SetAwayLock sets together with both.
#include "presence/status_display.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include "app/app_globals.h"
#include "resources/resource.h"
#include "service/presence_state.h"

char trayTip[256] = "Velto (Status: Here)";

namespace {

constexpr char kVersionLine[] = "Vellumtide v1.01 (beta)";
constexpr char kTipHere[] = "Velto (Status: Here)";
constexpr char kTipAway[] = "Velto (Status: Away)";

// Copies at most size - 1 characters of text into buffer and terminates it.
void CopyCut(char* buffer, std::size_t size, const char* text) {
  std::size_t length = text != nullptr ? std::strlen(text) : 0;
  if (length > size - 1) length = size - 1;
  if (length > 0) std::memcpy(buffer, text, length);
  buffer[length] = '\0';
}

}  // namespace

void SetStatusCaption(const char* status) {
  char login[sizeof presence.loginName];
  {
    std::lock_guard<std::mutex> hold(presenceTextLock);
    std::memcpy(login, presence.loginName, sizeof login);
  }
  login[sizeof login - 1] = '\0';
  // With the longest login name the caption needs 66 characters; the bound
  // keeps a longer status word from running past the buffer all the same.
  char caption[80];
  std::snprintf(caption, sizeof caption, "%s - %s %s", kVersionLine, login,
                status != nullptr ? status : "");
  SetWindowTextA(configWindow, caption);
}

void SetTrayIcon(int operation, const char* tip) {
  DWORD message;
  switch (operation) {
    case 0:
      message = NIM_ADD;
      break;
    case 1:
      message = NIM_MODIFY;
      break;
    case 2:
      message = NIM_DELETE;
      break;
    default:
      return;
  }
  NOTIFYICONDATAA data;
  std::memset(&data, 0, sizeof data);
  data.cbSize = NOTIFYICONDATAA_V1_SIZE;
  data.hWnd = configWindow;
  data.uID = TRAY_ICON_ID;
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = WM_TRAY_ICON;
  data.hIcon = appIcon;
  CopyCut(data.szTip, sizeof data.szTip, tip);
  Shell_NotifyIconA(message, &data);
}

void SetAwayLock(int locked) {
  // Any non-zero value locks: the flags are tested against 1 elsewhere.
  const int value = locked != 0 ? 1 : 0;
  CopyCut(trayTip, sizeof trayTip, value ? kTipAway : kTipHere);
  // autoAway follows the lock both ways, so clearing the lock also ends an
  // away that idleness had caused.
  presence.awayLocked.store(value);
  presence.autoAway.store(value);
  SetStatusCaption(value ? "set away" : "is here");
  SetTrayIcon(1, trayTip);
}
