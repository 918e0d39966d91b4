// Menus, popup menus, accelerator tables and the translation of key
// messages into characters.
//
// Menus are records in S().menus; a template (vtres::Menu) is flat, with
// MF_POPUP opening a level and MF_END closing it, and LoadMenuA rebuilds the
// tree from it. TrackPopupMenu is a modal loop: it runs the thread's pending
// messages, lets the driver choose, and posts the command to the owner.
#include <algorithm>
#include <cstring>

#include "platform/internal/driver.h"
#include "platform/user/user_internal.h"

namespace vt::user {

namespace {

Menu* FindMenu(HMENU menu) {
  auto it = S().menus.find(reinterpret_cast<std::uintptr_t>(menu));
  return it == S().menus.end() ? nullptr : &it->second;
}

HMENU NewMenu() {
  auto handle = S().nextMenu;
  S().nextMenu += 4;
  S().menus[handle] = Menu{};
  return reinterpret_cast<HMENU>(handle);
}

// Builds one level from items starting at *index; returns at the item
// flagged MF_END (inclusive) or at the end of the table.
void BuildLevel(HMENU menu, const vtres::Menu& source, int* index) {
  while (*index < source.itemCount) {
    const vtres::MenuItem& item = source.items[*index];
    ++*index;
    MenuItem built;
    built.flags = item.flags & ~MF_END;
    built.id = item.id;
    built.text = item.text ? item.text : "";
    if (item.flags & MF_POPUP) {
      built.submenu = NewMenu();
      BuildLevel(built.submenu, source, index);
    }
    FindMenu(menu)->items.push_back(std::move(built));
    if (item.flags & MF_END) return;
  }
}

// The item by command (searching submenus) or by position.
MenuItem* FindItem(HMENU menu, UINT item, UINT flags) {
  Menu* m = FindMenu(menu);
  if (!m) return nullptr;
  if (flags & MF_BYPOSITION) {
    return item < m->items.size() ? &m->items[item] : nullptr;
  }
  for (auto& entry : m->items) {
    if (entry.submenu) {
      if (MenuItem* found = FindItem(entry.submenu, item, flags)) return found;
    } else if (!(entry.flags & MF_SEPARATOR) && entry.id == item) {
      return &entry;
    }
  }
  return nullptr;
}

void DestroyTree(HMENU menu) {
  Menu* m = FindMenu(menu);
  if (!m) return;
  std::vector<HMENU> subs;
  for (auto& entry : m->items) {
    if (entry.submenu) subs.push_back(entry.submenu);
  }
  S().menus.erase(reinterpret_cast<std::uintptr_t>(menu));
  for (HMENU sub : subs) DestroyTree(sub);
}

}  // namespace

}  // namespace vt::user

using namespace vt::user;

// --- menus -----------------------------------------------------------------

HMENU LoadMenuA(HINSTANCE, LPCSTR menuName) {
  int id = ResourceId(menuName);
  auto* source = id < 0 ? nullptr
                        : static_cast<const vtres::Menu*>(
                              vtres::FindResource(vtres::Type::Menu, id));
  if (!source) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  Lock lock(S().mutex);
  HMENU menu = NewMenu();
  int index = 0;
  BuildLevel(menu, *source, &index);
  return menu;
}

HMENU GetSubMenu(HMENU menu, int position) {
  Lock lock(S().mutex);
  Menu* m = FindMenu(menu);
  if (!m || position < 0 ||
      static_cast<std::size_t>(position) >= m->items.size())
    return nullptr;
  return m->items[position].submenu;
}

int GetMenuItemCount(HMENU menu) {
  Lock lock(S().mutex);
  Menu* m = FindMenu(menu);
  return m ? static_cast<int>(m->items.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int position) {
  Lock lock(S().mutex);
  Menu* m = FindMenu(menu);
  if (!m || position < 0 ||
      static_cast<std::size_t>(position) >= m->items.size())
    return static_cast<UINT>(-1);
  const MenuItem& item = m->items[position];
  return item.submenu ? static_cast<UINT>(-1) : item.id;
}

int GetMenuStringA(HMENU menu, UINT item, LPSTR text, int size, UINT flags) {
  Lock lock(S().mutex);
  MenuItem* entry = FindItem(menu, item, flags);
  if (!entry) return 0;
  int n = static_cast<int>(entry->text.size());
  if (!text || size <= 0) return n;
  n = std::min(n, size - 1);
  std::memcpy(text, entry->text.data(), n);
  text[n] = '\0';
  return n;
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
  Lock lock(S().mutex);
  MenuItem* entry = FindItem(menu, item, flags);
  if (!entry) return static_cast<UINT>(-1);
  UINT state = entry->flags &
               (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_SEPARATOR | MF_POPUP);
  if (entry->submenu) {
    Menu* sub = FindMenu(entry->submenu);
    state |= static_cast<UINT>(sub ? sub->items.size() : 0) << 8;
  }
  return state;
}

DWORD CheckMenuItem(HMENU menu, UINT item, UINT check) {
  Lock lock(S().mutex);
  MenuItem* entry = FindItem(menu, item, check);
  if (!entry) return static_cast<DWORD>(-1);
  DWORD previous = entry->flags & MF_CHECKED;
  if (check & MF_CHECKED)
    entry->flags |= MF_CHECKED;
  else
    entry->flags &= ~MF_CHECKED;
  return previous;
}

BOOL EnableMenuItem(HMENU menu, UINT item, UINT enable) {
  Lock lock(S().mutex);
  MenuItem* entry = FindItem(menu, item, enable);
  if (!entry) return -1;
  BOOL previous = static_cast<BOOL>(entry->flags & (MF_GRAYED | MF_DISABLED));
  entry->flags = (entry->flags & ~(MF_GRAYED | MF_DISABLED)) |
                 (enable & (MF_GRAYED | MF_DISABLED));
  return previous;
}

BOOL DestroyMenu(HMENU menu) {
  Lock lock(S().mutex);
  if (!FindMenu(menu)) return FALSE;
  DestroyTree(menu);
  return TRUE;
}

BOOL IsMenu(HMENU menu) {
  Lock lock(S().mutex);
  return FindMenu(menu) ? TRUE : FALSE;
}

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner,
                    const RECT*) {
  vt::platform::PopupRequest request;
  {
    Lock lock(S().mutex);
    Menu* m = FindMenu(menu);
    if (!m || !Find(owner)) {
      SetLastError(m ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_MENU_HANDLE);
      return FALSE;
    }
    request.menu = menu;
    request.flags = flags;
    request.x = x;
    request.y = y;
    request.owner = owner;
  }
  if (!(flags & TPM_NONOTIFY))
    SendMessageA(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
  {
    // Read the items after WM_INITMENUPOPUP, which may have changed them.
    Lock lock(S().mutex);
    Menu* m = FindMenu(menu);
    if (!m) return FALSE;
    request.foregroundAtOpen = IfAlive(S().foreground);
    for (auto& item : m->items) {
      vt::platform::PopupItem p;
      p.id = item.submenu ? 0 : item.id;
      p.text = item.text;
      p.separator = (item.flags & MF_SEPARATOR) != 0;
      p.checked = (item.flags & MF_CHECKED) != 0;
      p.grayed = (item.flags & (MF_GRAYED | MF_DISABLED)) != 0;
      p.popup = item.submenu != nullptr;
      request.items.push_back(std::move(p));
    }
  }
  // The menu is modal: what is pending for this thread runs while it is up.
  PumpModalIdle();
  UINT command = vt::platform::TheDriver().trackPopup(request);
  if (command) {
    // Only an item that could be chosen counts.
    Lock lock(S().mutex);
    MenuItem* item = FindItem(menu, command, MF_BYCOMMAND);
    if (!item || (item->flags & (MF_GRAYED | MF_DISABLED | MF_SEPARATOR)))
      command = 0;
  }
  if (flags & TPM_RETURNCMD) return static_cast<BOOL>(command);
  if (command) PostMessageA(owner, WM_COMMAND, MAKEWPARAM(command, 0), 0);
  return TRUE;
}

// --- accelerators ------------------------------------------------------------

HACCEL LoadAcceleratorsA(HINSTANCE, LPCSTR tableName) {
  int id = ResourceId(tableName);
  auto* source = id < 0
                     ? nullptr
                     : static_cast<const vtres::Accelerators*>(
                           vtres::FindResource(vtres::Type::Accelerator, id));
  if (!source) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  Lock lock(S().mutex);
  auto handle = S().nextAccel;
  S().nextAccel += 4;
  S().accelerators[handle] =
      std::vector<ACCEL>(source->entries, source->entries + source->count);
  return reinterpret_cast<HACCEL>(handle);
}

BOOL DestroyAcceleratorTable(HACCEL table) {
  Lock lock(S().mutex);
  return S().accelerators.erase(reinterpret_cast<std::uintptr_t>(table))
             ? TRUE
             : FALSE;
}

int TranslateAcceleratorA(HWND window, HACCEL table, LPMSG msg) {
  if (!msg || !window) return 0;
  UINT message = msg->message;
  bool keyMessage = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
  bool charMessage = message == WM_CHAR || message == WM_SYSCHAR;
  if (!keyMessage && !charMessage) return 0;
  std::vector<ACCEL> entries;
  unsigned modifiers;
  {
    auto queue = MyQueue();
    Lock lock(S().mutex);
    auto it = S().accelerators.find(reinterpret_cast<std::uintptr_t>(table));
    if (it == S().accelerators.end() || !Find(window)) return 0;
    entries = it->second;
    modifiers = queue->modifiers;
  }
  // The modifiers are those of the key message itself; Alt is also told by
  // the message (a system key) and its lParam.
  if (message == WM_SYSKEYDOWN || message == WM_SYSCHAR ||
      (msg->lParam & (static_cast<LPARAM>(KF_ALTDOWN) << 16)))
    modifiers |= 4;
  BYTE held = 0;
  if (modifiers & vt::platform::kShiftBit) held |= FSHIFT;
  if (modifiers & vt::platform::kControlBit) held |= FCONTROL;
  if (modifiers & vt::platform::kAltBit) held |= FALT;
  for (const ACCEL& entry : entries) {
    bool match;
    if (entry.fVirt & FVIRTKEY) {
      match = keyMessage && entry.key == msg->wParam &&
              (entry.fVirt & (FSHIFT | FCONTROL | FALT)) == held;
    } else {
      match = charMessage && entry.key == msg->wParam &&
              (entry.fVirt & FALT) == (held & FALT);
    }
    if (!match) continue;
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(entry.cmd, 1), 0);
    return 1;
  }
  return 0;
}

// --- characters ------------------------------------------------------------

BOOL TranslateMessage(const MSG* msg) {
  if (!msg) return FALSE;
  if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN) return FALSE;
  auto queue = MyQueue();
  vt::platform::KeyCharacters characters;
  {
    Lock lock(S().mutex);
    const MSG& last = queue->lastKey;
    if (last.message == msg->message && last.wParam == msg->wParam &&
        last.lParam == msg->lParam && last.time == msg->time &&
        last.hwnd == msg->hwnd) {
      characters = queue->lastKeyCharacters;
    } else {
      // A key message the program made itself: the layout answers for the
      // modifiers held now.
      unsigned modifiers = queue->modifiers;
      lock.unlock();
      characters = vt::platform::TheDriver().keyCharacters(
          static_cast<UINT>(msg->wParam),
          static_cast<UINT>((msg->lParam >> 16) & 0xFF), modifiers);
    }
  }
  if (characters.text.empty()) return FALSE;
  UINT charMessage;
  if (msg->message == WM_SYSKEYDOWN)
    charMessage = characters.dead ? WM_SYSDEADCHAR : WM_SYSCHAR;
  else
    charMessage = characters.dead ? WM_DEADCHAR : WM_CHAR;
  Lock lock(S().mutex);
  // The characters come next, before anything else already posted.
  for (auto it = characters.text.rbegin(); it != characters.text.rend(); ++it) {
    queue->posted.push_front(
        MSG{msg->hwnd, charMessage,
            static_cast<WPARAM>(static_cast<unsigned char>(*it)), msg->lParam,
            msg->time, msg->pt});
  }
  Wake(*queue);
  return TRUE;
}
