// The notification area as the platform's modules see it: the icons the
// program has added, the host that shows them on a desktop, and the way a
// person's click on an icon reaches the program.
//
// Shell_NotifyIconA keeps the state and records every call; the host is told
// of each change afterwards. With no host installed (the null driver) the
// icon is only recorded; the X11 driver installs a host that docks it in the
// freedesktop tray and calls DeliverTrayMouse when the icon is used.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vt::platform {

struct TrayIconState {
  HWND owner = nullptr;
  UINT id = 0;
  UINT flags = 0;  // NIF_* of the fields ever set
  UINT callbackMessage = 0;
  HICON icon = nullptr;
  std::string tip;
};

// Told of every change after it took effect, in the order of the calls and
// outside the icon table's lock, so a host may read TrayIcons() from inside
// (but not call Shell_NotifyIconA, whose calls it is being told of).
// Entries left null keep a default that does nothing.
struct TrayHost {
  void (*iconAdded)(const TrayIconState& icon) = nullptr;
  void (*iconModified)(const TrayIconState& icon) = nullptr;
  void (*iconDeleted)(HWND owner, UINT id) = nullptr;
};

// Installs host (copied); nullptr goes back to recording only.
void SetTrayHost(const TrayHost* host);

// The icons present now, in the order they were added (for re-docking when
// the desktop's tray comes back).
std::vector<TrayIconState> TrayIcons();

// The person used the icon (owner, id): its callback message is posted to
// the owner with id in wParam and mouseMessage in lParam, as the real tray
// posts it without waiting for the program. False when there is no such
// icon or it has no callback message.
bool DeliverTrayMouse(HWND owner, UINT id, UINT mouseMessage);

// Forgets the icons and the call record, without telling the host (tests).
void ResetTrayState();

}  // namespace vt::platform
