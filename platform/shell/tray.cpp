// Shell_NotifyIconA: the notification-area icons, one per (owner, id).
//
// A call is checked, applied to the icon table under the lock and recorded;
// then, outside the lock, the driver is told, so that a desktop driver
// may call back into the table. Start reading at Shell_NotifyIconA.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "platform/internal/no_destroy.h"
#include "platform/shell/tray.h"
#include "platform/shell/tray_records.h"

namespace vt::platform {
namespace {

// The tip field holds 64 bytes; one is the terminator.
constexpr std::size_t kMaxTip = 63;

using IconKey = std::pair<HWND, UINT>;

struct StoredIcon {
  TrayIconState state;
  DWORD structSize = 0;
  unsigned long long addedOrder = 0;
};

vt::testing::TrayIconRecord ToRecord(const StoredIcon& icon, bool present) {
  vt::testing::TrayIconRecord record;
  record.present = present;
  record.structSize = icon.structSize;
  record.owner = icon.state.owner;
  record.id = icon.state.id;
  record.flags = icon.state.flags;
  record.callbackMessage = icon.state.callbackMessage;
  record.icon = icon.state.icon;
  record.tip = icon.state.tip;
  return record;
}

// The tip as the caller gave it, cut to what the field can hold; a field
// without a terminator is never read past its end.
std::string TipOf(const NOTIFYICONDATAA& data) {
  const char* end =
      static_cast<const char*>(std::memchr(data.szTip, '\0', kMaxTip));
  return std::string(data.szTip, end != nullptr ? end - data.szTip : kMaxTip);
}

void ApplyFields(const NOTIFYICONDATAA& data, TrayIconState& state) {
  if (data.uFlags & NIF_MESSAGE) state.callbackMessage = data.uCallbackMessage;
  if (data.uFlags & NIF_ICON) state.icon = data.hIcon;
  if (data.uFlags & NIF_TIP) state.tip = TipOf(data);
  state.flags |= data.uFlags & (NIF_MESSAGE | NIF_ICON | NIF_TIP);
}

enum class Change { None, Added, Modified, Deleted };

class Tray {
 public:
  // Applies one call; returns what changed and the icon's state after it.
  std::pair<Change, TrayIconState> Apply(DWORD message,
                                         const NOTIFYICONDATAA& data) {
    std::lock_guard lock(mutex_);
    const IconKey key{data.hWnd, data.uID};
    auto found = icons_.find(key);
    Change change = Change::None;
    switch (message) {
      case NIM_ADD:
        if (found == icons_.end()) {
          StoredIcon icon;
          icon.state.owner = data.hWnd;
          icon.state.id = data.uID;
          icon.addedOrder = ++addCount_;
          found = icons_.emplace(key, std::move(icon)).first;
          change = Change::Added;
        }
        break;
      case NIM_MODIFY:
        if (found != icons_.end()) change = Change::Modified;
        break;
      case NIM_DELETE:
        if (found != icons_.end()) change = Change::Deleted;
        break;
      default:
        break;
    }
    TrayIconState after;
    if (change == Change::Added || change == Change::Modified) {
      ApplyFields(data, found->second.state);
      found->second.structSize = data.cbSize;
      after = found->second.state;
    } else if (change == Change::Deleted) {
      after = found->second.state;
      removed_ = found->second;
      icons_.erase(found);
    }
    Record(message, data, change != Change::None, icons_.count(key) == 1);
    return {change, after};
  }

  void RecordRefused(DWORD message, const NOTIFYICONDATAA* data) {
    std::lock_guard lock(mutex_);
    vt::testing::TrayCallRecord call;
    call.message = message;
    if (data != nullptr) {
      call.data = PassedRecord(*data);
      call.data.present = icons_.count({data->hWnd, data->uID}) == 1;
    }
    calls_.push_back(std::move(call));
  }

  std::vector<TrayIconState> Present() {
    std::lock_guard lock(mutex_);
    std::vector<const StoredIcon*> ordered;
    for (const auto& [key, icon] : icons_) ordered.push_back(&icon);
    std::sort(ordered.begin(), ordered.end(),
              [](const StoredIcon* a, const StoredIcon* b) {
                return a->addedOrder < b->addedOrder;
              });
    std::vector<TrayIconState> states;
    for (const StoredIcon* icon : ordered) states.push_back(icon->state);
    return states;
  }

  std::optional<TrayIconState> Find(HWND owner, UINT id) {
    std::lock_guard lock(mutex_);
    const auto found = icons_.find({owner, id});
    if (found == icons_.end()) return std::nullopt;
    return found->second.state;
  }

  std::vector<vt::testing::TrayCallRecord> Calls() {
    std::lock_guard lock(mutex_);
    return calls_;
  }

  vt::testing::TrayIconRecord Current() {
    std::lock_guard lock(mutex_);
    const StoredIcon* newest = nullptr;
    for (const auto& [key, icon] : icons_) {
      if (newest == nullptr || icon.addedOrder > newest->addedOrder) {
        newest = &icon;
      }
    }
    if (newest != nullptr) return ToRecord(*newest, true);
    if (removed_) return ToRecord(*removed_, false);
    return {};
  }

  void Reset() {
    std::lock_guard lock(mutex_);
    icons_.clear();
    calls_.clear();
    removed_.reset();
  }

 private:
  static vt::testing::TrayIconRecord PassedRecord(const NOTIFYICONDATAA& data) {
    vt::testing::TrayIconRecord record;
    record.structSize = data.cbSize;
    record.owner = data.hWnd;
    record.id = data.uID;
    record.flags = data.uFlags;
    record.callbackMessage = data.uCallbackMessage;
    record.icon = data.hIcon;
    record.tip = TipOf(data);
    return record;
  }

  void Record(DWORD message, const NOTIFYICONDATAA& data, bool succeeded,
              bool present) {
    vt::testing::TrayCallRecord call;
    call.message = message;
    call.data = PassedRecord(data);
    call.data.present = present;
    call.succeeded = succeeded;
    calls_.push_back(std::move(call));
  }

  std::mutex mutex_;
  std::map<IconKey, StoredIcon> icons_;
  std::optional<StoredIcon> removed_;
  std::vector<vt::testing::TrayCallRecord> calls_;
  unsigned long long addCount_ = 0;
};

Tray& TheTray() {
  static NoDestroy<Tray> tray;
  return tray.get();
}

// The driver is told under a lock of its own, so that changes reach it in
// the order they were made even when several threads call
// Shell_NotifyIconA.
std::mutex& DriverOrder() {
  static NoDestroy<std::mutex> mutex;
  return mutex.get();
}

bool AcceptedSize(DWORD size) {
  return size == NOTIFYICONDATAA_V1_SIZE || size == sizeof(NOTIFYICONDATAA);
}

}  // namespace

std::vector<TrayIconState> TrayIcons() { return TheTray().Present(); }

bool DeliverTrayMouse(HWND owner, UINT id, UINT mouseMessage) {
  const auto icon = TheTray().Find(owner, id);
  if (!icon || !(icon->flags & NIF_MESSAGE)) return false;
  return PostMessageA(owner, icon->callbackMessage, static_cast<WPARAM>(id),
                      static_cast<LPARAM>(mouseMessage)) != FALSE;
}

void ResetTrayState() { TheTray().Reset(); }

std::vector<vt::testing::TrayCallRecord> TrayCallLog() {
  return TheTray().Calls();
}

vt::testing::TrayIconRecord CurrentTrayIcon() { return TheTray().Current(); }

}  // namespace vt::platform

BOOL Shell_NotifyIconA(DWORD message, PNOTIFYICONDATAA data) {
  using namespace vt::platform;
  if (data == nullptr || !AcceptedSize(data->cbSize)) {
    TheTray().RecordRefused(message, data);
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const Driver& driver = TheDriver();
  std::lock_guard order(DriverOrder());
  const auto [change, icon] = TheTray().Apply(message, *data);
  switch (change) {
    case Change::Added:
      driver.trayIconAdded(icon);
      return TRUE;
    case Change::Modified:
      driver.trayIconModified(icon);
      return TRUE;
    case Change::Deleted:
      driver.trayIconDeleted(icon.owner, icon.id);
      return TRUE;
    case Change::None:
      break;
  }
  return FALSE;
}
