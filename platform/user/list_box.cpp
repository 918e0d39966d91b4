// The LISTBOX control: a list of strings with one current item, chosen by
// click, double click and keys.
#include <algorithm>
#include <cstring>

#include "platform/gdi/gdi_internal.h"
#include "platform/user/user_internal.h"

namespace vt::user {

namespace {

void ListNotify(HWND list, WORD code) {
  if (StyleOf(list) & LBS_NOTIFY) NotifyParent(list, code);
}

int ItemHeight(HWND list) {
  (void)list;
  return 13;
}

// How many whole items the client area shows (at least one).
int VisibleItems(HWND list) {
  RECT r{};
  GetClientRect(list, &r);
  return std::max(1, static_cast<int>(r.bottom) / ItemHeight(list));
}

// The vertical bar shows the items as its range, the visible ones as its
// page and the top item as its position; it is kept so after every change
// of the items, the top or the size.
void ListUpdateScroll(HWND list) {
  auto state = Control(list);
  if (!state) return;
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  info.nMin = 0;
  info.nMax = std::max(0, static_cast<int>(state->items.size()) - 1);
  info.nPage = static_cast<UINT>(VisibleItems(list));
  info.nPos = state->top;
  SetScrollInfo(list, SB_VERT, &info, TRUE);
}

// The top item, kept where the last page just fills the list.
void ListSetTop(HWND list, int top) {
  auto state = Control(list);
  if (!state) return;
  int count = static_cast<int>(state->items.size());
  top = std::clamp(top, 0, std::max(0, count - VisibleItems(list)));
  if (top != state->top) {
    state->top = top;
    InvalidateRect(list, nullptr, TRUE);
  }
  ListUpdateScroll(list);
}

LRESULT ListScroll(HWND list, WPARAM wParam) {
  auto state = Control(list);
  if (!state) return 0;
  int page = VisibleItems(list);
  int top = state->top;
  switch (LOWORD(wParam)) {
    case SB_LINEUP:
      --top;
      break;
    case SB_LINEDOWN:
      ++top;
      break;
    case SB_PAGEUP:
      top -= page;
      break;
    case SB_PAGEDOWN:
      top += page;
      break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
      // The position in wParam has only 16 bits; the bar keeps all of it.
      SCROLLINFO info{};
      info.cbSize = sizeof info;
      info.fMask = SIF_TRACKPOS;
      GetScrollInfo(list, SB_VERT, &info);
      top = info.nTrackPos;
      break;
    }
    case SB_TOP:
      top = 0;
      break;
    case SB_BOTTOM:
      top = static_cast<int>(state->items.size());
      break;
    default:
      return 0;
  }
  ListSetTop(list, top);
  return 0;
}

LRESULT ListInsert(HWND list, LONG_PTR index, LPARAM text) {
  auto state = Control(list);
  if (!state) return LB_ERR;
  std::string item = text ? reinterpret_cast<LPCSTR>(text) : "";
  auto count = static_cast<LONG_PTR>(state->items.size());
  if (index == -1) index = count;
  if (index < 0 || index > count) return LB_ERR;
  state->items.insert(state->items.begin() + index, std::move(item));
  if (state->current >= index) ++state->current;
  InvalidateRect(list, nullptr, TRUE);
  ListUpdateScroll(list);
  return index;
}

LRESULT ListAdd(HWND list, LPARAM text) {
  auto state = Control(list);
  if (!state) return LB_ERR;
  if (!(StyleOf(list) & LBS_SORT)) return ListInsert(list, -1, text);
  std::string item = text ? reinterpret_cast<LPCSTR>(text) : "";
  auto lower = [](std::string s) {
    for (char& c : s) c = LowerWindows1252(c);
    return s;
  };
  std::string key = lower(item);
  LONG_PTR index = 0;
  while (index < static_cast<LONG_PTR>(state->items.size()) &&
         lower(state->items[index]) <= key)
    ++index;
  return ListInsert(list, index, text);
}

LRESULT ListDelete(HWND list, WPARAM index) {
  auto state = Control(list);
  if (!state || index >= state->items.size()) return LB_ERR;
  state->items.erase(state->items.begin() + static_cast<LONG_PTR>(index));
  if (state->current == static_cast<int>(index))
    state->current = -1;
  else if (state->current > static_cast<int>(index))
    --state->current;
  InvalidateRect(list, nullptr, TRUE);
  // A deletion near the end may leave the top past the last page.
  ListSetTop(list, state->top);
  return static_cast<LRESULT>(state->items.size());
}

LRESULT ListGetText(HWND list, WPARAM index, LPARAM buffer) {
  auto state = Control(list);
  if (!state || index >= state->items.size()) return LB_ERR;
  const std::string& item = state->items[index];
  if (buffer) {
    std::memcpy(reinterpret_cast<char*>(buffer), item.c_str(), item.size() + 1);
  }
  return static_cast<LRESULT>(item.size());
}

LRESULT ListSetCurrent(HWND list, WPARAM wParam) {
  auto state = Control(list);
  if (!state) return LB_ERR;
  auto index = static_cast<int>(wParam);
  if (index < -1 || index >= static_cast<int>(state->items.size())) {
    state->current = -1;
    return LB_ERR;
  }
  state->current = index;
  InvalidateRect(list, nullptr, TRUE);
  return index == -1 ? LB_ERR : index;
}

LRESULT ListClick(HWND list, LPARAM lParam, bool twice) {
  SetFocus(list);
  auto state = Control(list);
  if (!state) return 0;
  int index =
      state->top + static_cast<SHORT>(HIWORD(lParam)) / ItemHeight(list);
  if (index < 0 || index >= static_cast<int>(state->items.size())) return 0;
  if (state->current != index) {
    state->current = index;
    InvalidateRect(list, nullptr, TRUE);
    ListNotify(list, LBN_SELCHANGE);
  }
  if (twice) ListNotify(list, LBN_DBLCLK);
  return 0;
}

LRESULT ListKey(HWND list, WPARAM key) {
  auto state = Control(list);
  if (!state || state->items.empty()) return 0;
  int last = static_cast<int>(state->items.size()) - 1;
  int index = state->current;
  switch (key) {
    case VK_UP:
      index = std::max(index - 1, 0);
      break;
    case VK_DOWN:
      index = std::min(index + 1, last);
      break;
    case VK_HOME:
      index = 0;
      break;
    case VK_END:
      index = last;
      break;
    default:
      return 0;
  }
  if (index != state->current) {
    state->current = index;
    InvalidateRect(list, nullptr, TRUE);
    ListNotify(list, LBN_SELCHANGE);
  }
  return 0;
}

LRESULT ListPaint(HWND list) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(list, &ps);
  RECT r;
  GetClientRect(list, &r);
  FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOW));
  auto state = Control(list);
  if (state) {
    int y = 0;
    int height = ItemHeight(list);
    bool focused = GetFocus() == list;
    SetBkMode(dc, TRANSPARENT);
    for (std::size_t i = static_cast<std::size_t>(std::max(state->top, 0));
         i < state->items.size() && y < r.bottom; ++i, y += height) {
      const std::string& item = state->items[i];
      RECT line{r.left, y, r.right, y + height};
      // The current item stands out in the highlight colour; with the
      // focus it also has the dotted rectangle.
      bool current = static_cast<int>(i) == state->current;
      if (current) FillRect(dc, &line, GetSysColorBrush(COLOR_HIGHLIGHT));
      SetTextColor(
          dc, GetSysColor(current ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
      TextOutA(dc, 2, y, item.c_str(), static_cast<int>(item.size()));
      if (current && focused) {
        SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        DrawFocusRect(dc, &line);
      }
    }
  }
  EndPaint(list, &ps);
  return 0;
}

}  // namespace

LRESULT CALLBACK ListBoxProc(HWND list, UINT message, WPARAM wParam,
                             LPARAM lParam) {
  switch (message) {
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case LB_ADDSTRING:
      return ListAdd(list, lParam);
    case LB_INSERTSTRING:
      return ListInsert(list, static_cast<int>(wParam), lParam);
    case LB_DELETESTRING:
      return ListDelete(list, wParam);
    case LB_RESETCONTENT: {
      if (auto state = Control(list)) {
        state->items.clear();
        state->current = -1;
        state->top = 0;
      }
      InvalidateRect(list, nullptr, TRUE);
      ListUpdateScroll(list);
      return 0;
    }
    case LB_GETCOUNT: {
      auto state = Control(list);
      return state ? static_cast<LRESULT>(state->items.size()) : 0;
    }
    case LB_GETTEXT:
      return ListGetText(list, wParam, lParam);
    case LB_GETTEXTLEN:
      return ListGetText(list, wParam, 0);
    case LB_SETCURSEL:
      return ListSetCurrent(list, wParam);
    case LB_GETCURSEL: {
      auto state = Control(list);
      return state && state->current >= 0 ? state->current : LB_ERR;
    }
    case LB_GETTOPINDEX: {
      auto state = Control(list);
      return state ? state->top : 0;
    }
    case LB_SETTOPINDEX: {
      auto state = Control(list);
      if (!state || wParam >= std::max<std::size_t>(state->items.size(), 1))
        return LB_ERR;
      ListSetTop(list, static_cast<int>(wParam));
      return LB_OKAY;
    }
    case WM_LBUTTONDOWN:
      return ListClick(list, lParam, false);
    case WM_LBUTTONDBLCLK:
      return ListClick(list, lParam, true);
    case WM_KEYDOWN:
      return ListKey(list, wParam);
    case WM_PAINT:
      return ListPaint(list);
    case WM_VSCROLL:
      return ListScroll(list, wParam);
    case WM_SIZE:
      ListSetTop(list, Control(list) ? Control(list)->top : 0);
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      // The current item's focus rectangle comes and goes.
      InvalidateRect(list, nullptr, TRUE);
      return 0;
    default:
      return DefWindowProcA(list, message, wParam, lParam);
  }
}

}  // namespace vt::user
