// TrackPopupMenu: a popup window of user's own, drawn through gdi, and a
// modal loop that reads the keyboard and the pointer for it.
//
// The menu is placed by the TPM_ alignment flags and kept on the screen. It
// captures the pointer while it is open, so a click outside any of the
// program's windows still reaches it and dismisses it; a popup menu that
// holds the capture takes the keyboard too (see DeliverInput). Messages
// sent to the thread are answered while it waits, as in every modal loop.
// On a desktop nobody sees, a script chooses by selecting its item and
// pressing Enter; without one the menu is dismissed.
#include <algorithm>
#include <string>
#include <vector>

#include "platform/gdi/gdi_internal.h"
#include "platform/internal/scripts.h"
#include "platform/user/user_internal.h"

namespace vt::user {

const char kPopupMenuClass[] = "#32768";

namespace {

// Pixels of the menu's layout.
constexpr int kBorder = 2;
constexpr int kCheckColumn = 18;
constexpr int kArrowColumn = 16;
constexpr int kSeparatorHeight = 8;
constexpr int kItemPadding = 4;

struct ShownItem {
  UINT id = 0;
  std::string text;  // with its "&" mnemonic mark
  bool separator = false;
  bool checked = false;
  bool grayed = false;
  bool popup = false;
  RECT rect{};  // client pixels
};

// One open popup menu; lives on the stack of TrackPopupMenu, found by its
// window through GWLP_USERDATA.
struct MenuLoop {
  HWND window = nullptr;
  std::vector<ShownItem> items;
  int selected = -1;
  bool ended = false;
  UINT command = 0;
  bool buttonWentDownInside = false;
};

MenuLoop* LoopOf(HWND window) {
  return reinterpret_cast<MenuLoop*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

bool Choosable(const ShownItem& item) {
  return !item.separator && !item.grayed && !item.popup;
}

bool Selectable(const ShownItem& item) {
  return !item.separator && !item.grayed;
}

std::string WithoutMark(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size()) ++i;
    out += text[i];
  }
  return out;
}

void Select(MenuLoop& loop, int index) {
  if (index == loop.selected) return;
  loop.selected = index;
  InvalidateRect(loop.window, nullptr, TRUE);
}

void End(MenuLoop& loop, UINT command) {
  loop.command = command;
  loop.ended = true;
}

void ChooseSelected(MenuLoop& loop) {
  if (loop.selected < 0) return;
  const ShownItem& item = loop.items[static_cast<std::size_t>(loop.selected)];
  if (Choosable(item)) End(loop, item.id);
}

// The next selectable item from the selection in direction step (+1 or -1),
// wrapping around; separators and grayed items are skipped.
void Step(MenuLoop& loop, int step) {
  const int count = static_cast<int>(loop.items.size());
  int at = loop.selected;
  for (int n = 0; n < count; ++n) {
    at = at < 0 ? (step > 0 ? 0 : count - 1) : (at + step + count) % count;
    if (Selectable(loop.items[static_cast<std::size_t>(at)])) {
      Select(loop, at);
      return;
    }
  }
}

void SelectEnd(MenuLoop& loop, bool last) {
  loop.selected = -1;
  Step(loop, last ? -1 : 1);
}

// A letter chooses the one item whose mnemonic it is; with several, it
// moves the selection to the next of them.
void Mnemonic(MenuLoop& loop, char letter) {
  letter = LowerWindows1252(letter);
  std::vector<int> matches;
  for (std::size_t i = 0; i < loop.items.size(); ++i) {
    const auto& item = loop.items[i];
    if (Selectable(item) && MnemonicOf(item.text) == letter)
      matches.push_back(static_cast<int>(i));
  }
  if (matches.empty()) return;
  if (matches.size() == 1) {
    Select(loop, matches.front());
    ChooseSelected(loop);
    return;
  }
  auto next = std::upper_bound(matches.begin(), matches.end(), loop.selected);
  Select(loop, next == matches.end() ? matches.front() : *next);
}

void Key(MenuLoop& loop, WPARAM key) {
  switch (key) {
    case VK_UP:
      Step(loop, -1);
      break;
    case VK_DOWN:
      Step(loop, 1);
      break;
    case VK_HOME:
      SelectEnd(loop, false);
      break;
    case VK_END:
      SelectEnd(loop, true);
      break;
    case VK_RETURN:
      ChooseSelected(loop);
      break;
    case VK_ESCAPE:
    case VK_MENU:
      End(loop, 0);
      break;
    default:
      break;
  }
}

int ItemAt(const MenuLoop& loop, POINT client) {
  for (std::size_t i = 0; i < loop.items.size(); ++i) {
    const RECT& r = loop.items[i].rect;
    if (client.x >= r.left && client.x < r.right && client.y >= r.top &&
        client.y < r.bottom)
      return static_cast<int>(i);
  }
  return -1;
}

// Pointer input arrives at the menu window however far outside it the
// pointer is, as the menu holds the capture.
void Pointer(MenuLoop& loop, const MSG& msg) {
  POINT client = msg.pt;
  ScreenToClient(loop.window, &client);
  RECT inside{};
  GetClientRect(loop.window, &inside);
  bool within = client.x >= inside.left && client.x < inside.right &&
                client.y >= inside.top && client.y < inside.bottom;
  int at = within ? ItemAt(loop, client) : -1;
  switch (msg.message) {
    case WM_MOUSEMOVE:
      if (at >= 0 && Selectable(loop.items[static_cast<std::size_t>(at)]))
        Select(loop, at);
      else if (!within)
        Select(loop, -1);
      break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
      if (!within) {
        End(loop, 0);
        break;
      }
      loop.buttonWentDownInside = true;
      if (at >= 0 && Selectable(loop.items[static_cast<std::size_t>(at)]))
        Select(loop, at);
      break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      // An item is chosen where the button comes up over it.
      if (within && at >= 0 &&
          Choosable(loop.items[static_cast<std::size_t>(at)])) {
        Select(loop, at);
        ChooseSelected(loop);
      }
      break;
    case WM_MOUSELEAVE:
      Select(loop, -1);
      break;
    default:
      break;
  }
}

// Lays the items out and sizes the window's client area to them.
SIZE Measure(MenuLoop& loop) {
  HFONT font = gdi::SystemFont();
  int itemHeight = std::max(gdi::MetricsOf(font).height + kItemPadding,
                            GetSystemMetrics(SM_CYMENU));
  HDC dc = GetDC(nullptr);
  SelectObject(dc, font);
  int widest = 0;
  for (const auto& item : loop.items) {
    if (item.separator) continue;
    std::string shown = WithoutMark(item.text);
    SIZE size{};
    GetTextExtentPoint32A(dc, shown.c_str(), static_cast<int>(shown.size()),
                          &size);
    widest = std::max<int>(widest, size.cx);
  }
  ReleaseDC(nullptr, dc);
  int width = kCheckColumn + widest + kArrowColumn;
  int y = 0;
  for (auto& item : loop.items) {
    int height = item.separator ? kSeparatorHeight : itemHeight;
    item.rect = RECT{0, y, width, y + height};
    y += height;
  }
  return SIZE{width, y};
}

// Where the menu goes: (x, y) is the corner or edge the flags name, and
// the menu is moved back onto the screen where it would leave it.
POINT Place(UINT flags, int x, int y, SIZE size) {
  if (flags & TPM_RIGHTALIGN)
    x -= size.cx;
  else if (flags & TPM_CENTERALIGN)
    x -= size.cx / 2;
  if (flags & TPM_BOTTOMALIGN)
    y -= size.cy;
  else if (flags & TPM_VCENTERALIGN)
    y -= size.cy / 2;
  int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  x = std::clamp(x, 0, std::max(0, screenWidth - static_cast<int>(size.cx)));
  y = std::clamp(y, 0, std::max(0, screenHeight - static_cast<int>(size.cy)));
  return POINT{x, y};
}

void DrawItem(HDC dc, const ShownItem& item, bool selected) {
  RECT r = item.rect;
  if (item.separator) {
    RECT line{r.left + 1, (r.top + r.bottom) / 2 - 1, r.right - 1,
              (r.top + r.bottom) / 2 + 1};
    DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
    return;
  }
  bool lit = selected;
  FillRect(dc, &r, GetSysColorBrush(lit ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
  COLORREF ink = GetSysColor(item.grayed ? COLOR_GRAYTEXT
                             : lit       ? COLOR_HIGHLIGHTTEXT
                                         : COLOR_BTNTEXT);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ink);
  if (item.checked) {
    // A check mark of two strokes in the left column.
    int cx = r.left + kCheckColumn / 2;
    int cy = (r.top + r.bottom) / 2;
    MoveToEx(dc, cx - 4, cy, nullptr);
    LineTo(dc, cx - 1, cy + 3);
    LineTo(dc, cx + 5, cy - 3);
  }
  RECT text{r.left + kCheckColumn, r.top, r.right - kArrowColumn, r.bottom};
  // DrawTextA underlines the mnemonic's letter.
  DrawTextA(dc, item.text.c_str(), static_cast<int>(item.text.size()), &text,
            DT_SINGLELINE | DT_VCENTER | DT_LEFT);
  if (item.popup) {
    // A small triangle pointing right.
    int ax = r.right - kArrowColumn / 2 - 2;
    int ay = (r.top + r.bottom) / 2;
    for (int i = 0; i < 4; ++i) {
      MoveToEx(dc, ax + i, ay - 3 + i, nullptr);
      LineTo(dc, ax + i, ay + 4 - i);
    }
  }
}

void Paint(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  if (MenuLoop* loop = LoopOf(window)) {
    for (std::size_t i = 0; i < loop->items.size(); ++i)
      DrawItem(dc, loop->items[i], static_cast<int>(i) == loop->selected);
  }
  EndPaint(window, &ps);
}

// A script chooses as a person would: it selects the item and presses
// Enter, or presses Esc, once the menu is up and idle.
void DriveByScript(MenuLoop& loop, UINT command) {
  auto queue = MyQueue();
  MenuLoop* target = &loop;
  Lock lock(S().mutex);
  queue->idle.push_back([target, command] {
    if (target->ended) return;
    if (command) {
      for (std::size_t i = 0; i < target->items.size(); ++i) {
        if (target->items[i].id == command && !target->items[i].separator)
          Select(*target, static_cast<int>(i));
      }
      if (target->selected >= 0 &&
          target->items[static_cast<std::size_t>(target->selected)].id ==
              command) {
        Key(*target, VK_RETURN);
        if (target->ended) return;
      }
    }
    Key(*target, VK_ESCAPE);
  });
}

bool IsKeyboard(UINT message) {
  return message == WM_KEYDOWN || message == WM_SYSKEYDOWN ||
         message == WM_KEYUP || message == WM_SYSKEYUP || message == WM_CHAR ||
         message == WM_SYSCHAR;
}

bool IsPointer(UINT message) {
  return (message >= WM_MOUSEMOVE && message <= WM_MBUTTONDBLCLK) ||
         message == WM_MOUSELEAVE;
}

// The menu's own loop: keys and the pointer are the menu's, everything
// else is dispatched as usual. A WM_QUIT dismisses the menu and is put
// back for the thread's own loop.
void RunMenuLoop(MenuLoop& loop) {
  std::function<bool()> ended = [&loop] { return loop.ended; };
  while (!loop.ended) {
    MSG msg{};
    RetrieveOptions options;
    options.wait = true;
    options.stop = &ended;
    options.runIdle = true;
    if (Retrieve(&msg, options) != Retrieved::Message) continue;
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      End(loop, 0);
      break;
    }
    if (IsKeyboard(msg.message)) {
      if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
        TranslateMessage(&msg);
        Key(loop, msg.wParam);
      } else if (msg.message == WM_CHAR || msg.message == WM_SYSCHAR) {
        Mnemonic(loop, static_cast<char>(msg.wParam));
      }
      continue;
    }
    if (IsPointer(msg.message) && msg.hwnd == loop.window) {
      Pointer(loop, msg);
      continue;
    }
    DispatchMessageA(&msg);
  }
}

bool IdleActionsWaiting() {
  auto queue = MyQueue();
  Lock lock(S().mutex);
  return !queue->idle.empty();
}

}  // namespace

LRESULT CALLBACK PopupMenuProc(HWND window, UINT message, WPARAM wParam,
                               LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_CAPTURECHANGED:
      // Someone else took the pointer: the menu goes, as a person could no
      // longer reach it.
      if (MenuLoop* loop = LoopOf(window);
          loop && !loop->ended && reinterpret_cast<HWND>(lParam) != window)
        End(*loop, 0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace vt::user

using namespace vt::user;

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner,
                    const RECT*) {
  {
    Lock lock(S().mutex);
    Menu* m = FindMenu(menu);
    if (!m || !Find(owner)) {
      SetLastError(m ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_MENU_HANDLE);
      return FALSE;
    }
  }
  if (!(flags & TPM_NONOTIFY))
    SendMessageA(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
  MenuLoop loop;
  vt::platform::ShownPopup shown;
  shown.menu = menu;
  shown.flags = flags;
  shown.x = x;
  shown.y = y;
  shown.owner = owner;
  {
    // The items as they are after WM_INITMENUPOPUP, which may change them.
    Lock lock(S().mutex);
    Menu* m = FindMenu(menu);
    if (!m) return FALSE;
    shown.foregroundAtOpen = IfAlive(S().foreground);
    for (auto& entry : m->items) {
      ShownItem item;
      item.id = entry.submenu ? 0 : entry.id;
      item.text = entry.text;
      item.separator = (entry.flags & MF_SEPARATOR) != 0;
      item.checked = (entry.flags & MF_CHECKED) != 0;
      item.grayed = (entry.flags & (MF_GRAYED | MF_DISABLED)) != 0;
      item.popup = entry.submenu != nullptr;
      loop.items.push_back(item);
      shown.items.push_back(vt::platform::ShownPopupItem{
          item.id, item.text, item.separator, item.checked, item.grayed});
    }
  }
  vt::platform::RecordPopup(shown);

  UINT scripted = 0;
  const bool hasScript = vt::platform::NextScriptedPopupChoice(&scripted);
  if (!vt::platform::TheDriver().display && !hasScript &&
      !IdleActionsWaiting()) {
    // Nobody could choose: the menu is dismissed as a click elsewhere
    // would, after what was pending has run.
    PumpModalIdle();
    return (flags & TPM_RETURNCMD) ? 0 : TRUE;
  }

  SIZE size = Measure(loop);
  SIZE outer{size.cx + 2 * kBorder, size.cy + 2 * kBorder};
  POINT at = Place(flags, x, y, outer);
  loop.window =
      CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kPopupMenuClass, "",
                      WS_POPUP | WS_DLGFRAME, at.x, at.y, outer.cx, outer.cy,
                      owner, nullptr, nullptr, nullptr);
  if (!loop.window) return FALSE;
  // The frame styles give the insets the layout assumed.
  RECT client{};
  GetClientRect(loop.window, &client);
  if (client.right != size.cx || client.bottom != size.cy) {
    RECT in = NonClientInsets(WS_POPUP | WS_DLGFRAME,
                              WS_EX_TOPMOST | WS_EX_TOOLWINDOW);
    outer = SIZE{size.cx + in.left + in.right, size.cy + in.top + in.bottom};
    at = Place(flags, x, y, outer);
    MoveWindow(loop.window, at.x, at.y, outer.cx, outer.cy, FALSE);
  }
  SetWindowLongPtrA(loop.window, GWLP_USERDATA,
                    reinterpret_cast<LONG_PTR>(&loop));
  ShowWindow(loop.window, SW_SHOWNA);
  HWND previousCapture = SetCapture(loop.window);
  if (hasScript) DriveByScript(loop, scripted);
  RunMenuLoop(loop);
  SetWindowLongPtrA(loop.window, GWLP_USERDATA, 0);
  if (GetCapture() == loop.window) ReleaseCapture();
  // A capture the thread held before the menu (a button being pressed)
  // was taken from it, as on the target; it is not given back.
  (void)previousCapture;
  DestroyWindow(loop.window);

  UINT command = loop.command;
  if (command) {
    // Only an item that can still be chosen counts.
    Lock lock(S().mutex);
    MenuItem* item = FindItem(menu, command, MF_BYCOMMAND);
    if (!item || (item->flags & (MF_GRAYED | MF_DISABLED | MF_SEPARATOR)))
      command = 0;
  }
  if (flags & TPM_RETURNCMD) return static_cast<BOOL>(command);
  if (command) PostMessageA(owner, WM_COMMAND, MAKEWPARAM(command, 0), 0);
  return TRUE;
}
