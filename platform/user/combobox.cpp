// The drop-down list control (COMBOBOX with CBS_DROPDOWNLIST): a field that
// shows the chosen item, with a list that drops below it.
//
// The list is drawn inside the control itself: a dialog template gives the
// control the height of field and list together, the control keeps only
// the field's height while closed and grows to the template's height while
// the list is dropped. That keeps every part on the dialog's own thread and
// in one window, so it works the same on every driver. The items and the
// current one are the list box's ControlState fields; whether the list is
// dropped, the full height and the item chosen when it dropped live in the
// window's extra words. Start reading at ComboBoxProc.
#include <algorithm>
#include <cstring>

#include "platform/user/combobox.h"
#include "platform/user/user_internal.h"

namespace vt::user {

namespace {

enum ExtraWord : int { kDropped = 0, kFullHeight = 1, kChosenAtDrop = 2 };
constexpr int kItemHeight = 13;
constexpr int kFieldHeight = kItemHeight + 8;

LONG_PTR Word(HWND combo, ExtraWord word) {
  return GetWindowLongPtrA(combo, word * static_cast<int>(sizeof(LONG_PTR)));
}
void SetWord(HWND combo, ExtraWord word, LONG_PTR value) {
  SetWindowLongPtrA(combo, word * static_cast<int>(sizeof(LONG_PTR)), value);
}

void DropScrollStyles(HWND combo) {
  Lock lock(S().mutex);
  if (auto w = Find(combo)) w->style &= ~(WS_VSCROLL | WS_HSCROLL);
}

bool Dropped(HWND combo) { return Word(combo, kDropped) != 0; }

void Resize(HWND combo, int height) {
  RECT r{};
  GetWindowRect(combo, &r);
  POINT origin{r.left, r.top};
  if (HWND parent = ParentOf(combo)) ScreenToClient(parent, &origin);
  MoveWindow(combo, origin.x, origin.y, r.right - r.left, height, TRUE);
}

// The field shows the current item; its text is the control's text, so
// GetWindowTextA reads the choice.
void ShowCurrent(HWND combo) {
  auto state = Control(combo);
  std::string text;
  if (state && state->current >= 0 &&
      state->current < static_cast<int>(state->items.size()))
    text = state->items[static_cast<std::size_t>(state->current)];
  DefWindowProcA(combo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  InvalidateRect(combo, nullptr, TRUE);
}

// Moves the choice to index, telling the parent when it changed.
void Choose(HWND combo, int index) {
  auto state = Control(combo);
  if (!state || index < 0 || index >= static_cast<int>(state->items.size()) ||
      index == state->current)
    return;
  state->current = index;
  ShowCurrent(combo);
  NotifyParent(combo, CBN_SELCHANGE);
}

void Drop(HWND combo) {
  if (Dropped(combo)) return;
  NotifyParent(combo, CBN_DROPDOWN);
  auto state = Control(combo);
  SetWord(combo, kChosenAtDrop, state ? state->current : -1);
  SetWord(combo, kDropped, 1);
  const int full = static_cast<int>(Word(combo, kFullHeight));
  Resize(combo, std::max(full, kFieldHeight + kItemHeight));
  if (GetFocus() != combo) SetFocus(combo);
}

// Closes the list; a cancelled list puts back the item it dropped with.
void CloseUp(HWND combo, bool accepted) {
  if (!Dropped(combo)) return;
  SetWord(combo, kDropped, 0);
  Resize(combo, kFieldHeight);
  if (!accepted) Choose(combo, static_cast<int>(Word(combo, kChosenAtDrop)));
  NotifyParent(combo, CBN_CLOSEUP);
  NotifyParent(combo, accepted ? CBN_SELENDOK : CBN_SELENDCANCEL);
}

LRESULT Create(HWND combo, const CREATESTRUCTA* cs) {
  SetWord(combo, kFullHeight, cs ? cs->cy : kFieldHeight);
  Resize(combo, kFieldHeight);
  return 0;
}

LRESULT Add(HWND combo, LPARAM text) {
  auto state = Control(combo);
  if (!state) return CB_ERR;
  state->items.emplace_back(text ? reinterpret_cast<LPCSTR>(text) : "");
  InvalidateRect(combo, nullptr, TRUE);
  return static_cast<LRESULT>(state->items.size() - 1);
}

LRESULT Delete(HWND combo, WPARAM index) {
  auto state = Control(combo);
  if (!state || index >= state->items.size()) return CB_ERR;
  state->items.erase(state->items.begin() + static_cast<LONG_PTR>(index));
  if (state->current == static_cast<int>(index)) {
    state->current = -1;
  } else if (state->current > static_cast<int>(index)) {
    --state->current;
  }
  ShowCurrent(combo);
  return static_cast<LRESULT>(state->items.size());
}

LRESULT Reset(HWND combo) {
  if (auto state = Control(combo)) {
    state->items.clear();
    state->current = -1;
  }
  ShowCurrent(combo);
  return CB_OKAY;
}

LRESULT ItemText(HWND combo, WPARAM index, LPARAM buffer) {
  auto state = Control(combo);
  if (!state || index >= state->items.size()) return CB_ERR;
  const std::string& item = state->items[index];
  if (buffer)
    std::memcpy(reinterpret_cast<char*>(buffer), item.c_str(), item.size() + 1);
  return static_cast<LRESULT>(item.size());
}

LRESULT SetCurrent(HWND combo, WPARAM wParam) {
  auto state = Control(combo);
  if (!state) return CB_ERR;
  const auto index = static_cast<int>(wParam);
  const bool valid =
      index >= 0 && index < static_cast<int>(state->items.size());
  state->current = valid ? index : -1;
  ShowCurrent(combo);
  return valid ? index : CB_ERR;
}

// Up, Down, Home and End move the choice whether or not the list is
// dropped; F4 and Alt+Down open and close it; Enter and Esc close it,
// keeping or putting back the choice.
LRESULT Key(HWND combo, UINT message, WPARAM key) {
  auto state = Control(combo);
  if (!state) return 0;
  const bool alt = message == WM_SYSKEYDOWN;
  if (key == VK_F4 || (alt && (key == VK_DOWN || key == VK_UP))) {
    if (Dropped(combo)) {
      CloseUp(combo, true);
    } else {
      Drop(combo);
    }
    return 0;
  }
  if (alt) return DefWindowProcA(combo, message, key, 0);
  const int last = static_cast<int>(state->items.size()) - 1;
  switch (key) {
    case VK_UP:
      Choose(combo, std::max(state->current - 1, 0));
      break;
    case VK_DOWN:
      Choose(combo, std::min(state->current + 1, last));
      break;
    case VK_HOME:
      Choose(combo, 0);
      break;
    case VK_END:
      Choose(combo, last);
      break;
    case VK_RETURN:
      CloseUp(combo, true);
      break;
    case VK_ESCAPE:
      CloseUp(combo, false);
      break;
    default:
      break;
  }
  return 0;
}

// A press on the field opens or closes the list; a press on an item of the
// dropped list chooses it and closes the list.
LRESULT MouseDown(HWND combo, LPARAM lParam) {
  if (GetFocus() != combo) SetFocus(combo);
  const int y = static_cast<SHORT>(HIWORD(lParam));
  if (!Dropped(combo) || y < kFieldHeight) {
    if (Dropped(combo)) {
      CloseUp(combo, true);
    } else {
      Drop(combo);
    }
    return 0;
  }
  Choose(combo, (y - kFieldHeight) / kItemHeight);
  CloseUp(combo, true);
  return 0;
}

LRESULT DlgCode(HWND combo) {
  // While the list is dropped, Enter and Esc close it rather than the
  // dialog.
  return DLGC_WANTARROWS | (Dropped(combo) ? DLGC_WANTALLKEYS : 0);
}

LRESULT Paint(HWND combo) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(combo, &ps);
  RECT client;
  GetClientRect(combo, &client);
  RECT field{0, 0, client.right, kFieldHeight};
  FillRect(dc, &field, GetSysColorBrush(COLOR_WINDOW));
  DrawEdge(dc, &field, EDGE_SUNKEN, BF_RECT);
  RECT button{client.right - kFieldHeight + 2, 2, client.right - 2,
              kFieldHeight - 2};
  FillRect(dc, &button, GetSysColorBrush(COLOR_BTNFACE));
  DrawEdge(dc, &button, EDGE_RAISED, BF_RECT);
  // The arrow: a small downward triangle drawn line by line.
  const int cx = (button.left + button.right) / 2;
  const int cy = (button.top + button.bottom) / 2 - 1;
  for (int row = 0; row < 4; ++row) {
    MoveToEx(dc, cx - 3 + row, cy + row, nullptr);
    LineTo(dc, cx + 4 - row, cy + row);
  }
  SetBkMode(dc, TRANSPARENT);
  const std::string text = TextOfWindow(combo);
  SetTextColor(dc, GetSysColor(IsWindowEnabled(combo) ? COLOR_WINDOWTEXT
                                                      : COLOR_GRAYTEXT));
  TextOutA(dc, 4, 4, text.c_str(), static_cast<int>(text.size()));
  if (Dropped(combo)) {
    RECT list{0, kFieldHeight, client.right, client.bottom};
    FillRect(dc, &list, GetSysColorBrush(COLOR_WINDOW));
    DrawEdge(dc, &list, EDGE_SUNKEN, BF_RECT);
    if (auto state = Control(combo)) {
      int y = kFieldHeight;
      for (std::size_t i = 0; i < state->items.size() && y < client.bottom;
           ++i, y += kItemHeight) {
        const bool current = static_cast<int>(i) == state->current;
        if (current) {
          RECT bar{2, y, client.right - 2, y + kItemHeight};
          FillRect(dc, &bar, GetSysColorBrush(COLOR_HIGHLIGHT));
        }
        SetTextColor(
            dc, GetSysColor(current ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        const std::string& item = state->items[i];
        TextOutA(dc, 4, y, item.c_str(), static_cast<int>(item.size()));
      }
    }
  }
  EndPaint(combo, &ps);
  return 0;
}

}  // namespace

LRESULT CALLBACK ComboBoxProc(HWND combo, UINT message, WPARAM wParam,
                              LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return Create(combo, reinterpret_cast<const CREATESTRUCTA*>(lParam));
    case WM_GETDLGCODE:
      return DlgCode(combo);
    case CB_ADDSTRING:
      return Add(combo, lParam);
    case CB_DELETESTRING:
      return Delete(combo, wParam);
    case CB_RESETCONTENT:
      return Reset(combo);
    case CB_GETCOUNT: {
      auto state = Control(combo);
      return state ? static_cast<LRESULT>(state->items.size()) : 0;
    }
    case CB_GETLBTEXT:
      return ItemText(combo, wParam, lParam);
    case CB_GETLBTEXTLEN:
      return ItemText(combo, wParam, 0);
    case CB_SETCURSEL:
      return SetCurrent(combo, wParam);
    case CB_GETCURSEL: {
      auto state = Control(combo);
      return state && state->current >= 0 ? state->current : CB_ERR;
    }
    case CB_SHOWDROPDOWN:
      if (wParam) {
        Drop(combo);
      } else {
        CloseUp(combo, true);
      }
      return TRUE;
    case CB_GETDROPPEDSTATE:
      return Dropped(combo) ? TRUE : FALSE;
    case WM_NCCREATE:
      // The scroll styles are meant for the dropped list, which is drawn
      // inside the control; the field itself has no bars beside it.
      DropScrollStyles(combo);
      return DefWindowProcA(combo, message, wParam, lParam);
    case WM_SETTEXT:
      // A drop-down list shows only its items; a text of its own is
      // refused, as on the target.
      return CB_ERR;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      return MouseDown(combo, lParam);
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      return Key(combo, message, wParam);
    case WM_KILLFOCUS:
      CloseUp(combo, false);
      return 0;
    case WM_SETFOCUS:
      InvalidateRect(combo, nullptr, TRUE);
      return 0;
    case WM_PAINT:
      return Paint(combo);
    default:
      return DefWindowProcA(combo, message, wParam, lParam);
  }
}

}  // namespace vt::user
