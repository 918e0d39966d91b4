// The built-in controls: BUTTON, EDIT, STATIC and LISTBOX.
//
// Each is a window procedure with one switch over messages, each case a
// small function. Their state (ControlState) is touched only on the
// control's own thread; the text lives in the window record, so another
// thread can read it. They paint through gdi like any window, and tell their
// parent what happened with WM_COMMAND notifications.
#include <algorithm>
#include <cstring>

#include "platform/gdi/gdi_internal.h"
#include "platform/user/user_internal.h"

namespace vt::user {

namespace {

DWORD TypeOf(HWND window) { return StyleOf(window) & BS_TYPEMASK; }

void PaintText(HWND window, UINT format, bool edged) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  RECT r;
  GetClientRect(window, &r);
  if (edged) DrawEdge(dc, &r, EDGE_RAISED, BF_RECT);
  std::string text = TextOfWindow(window);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(IsWindowEnabled(window) ? COLOR_BTNTEXT
                                                       : COLOR_GRAYTEXT));
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r, format);
  EndPaint(window, &ps);
}

// --- button -----------------------------------------------------------------

void ButtonClicked(HWND button) {
  if (!IsWindowEnabled(button)) return;
  auto state = Control(button);
  if (!state) return;
  if (TypeOf(button) == BS_AUTOCHECKBOX) {
    state->check = state->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
    InvalidateRect(button, nullptr, TRUE);
  }
  NotifyParent(button, BN_CLICKED);
}

LRESULT ButtonDlgCode(HWND button) {
  switch (TypeOf(button)) {
    case BS_DEFPUSHBUTTON:
      return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
    case BS_PUSHBUTTON:
      return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
      return DLGC_BUTTON | DLGC_RADIOBUTTON;
    case BS_GROUPBOX:
      return DLGC_STATIC;
    default:
      return DLGC_BUTTON;
  }
}

LRESULT ButtonSetState(HWND button, bool pushed) {
  auto state = Control(button);
  if (state && state->pushed != pushed) {
    state->pushed = pushed;
    InvalidateRect(button, nullptr, TRUE);
  }
  return 0;
}

LRESULT ButtonGetState(HWND button) {
  auto state = Control(button);
  if (!state) return 0;
  LRESULT s = state->check;
  if (state->pushed) s |= BST_PUSHED;
  if (GetFocus() == button) s |= BST_FOCUS;
  return s;
}

LRESULT ButtonSetStyle(HWND button, WPARAM style, LPARAM redraw) {
  {
    Lock lock(S().mutex);
    auto w = Find(button);
    if (!w) return 0;
    w->style = (w->style & ~0xFFFFu) | (static_cast<DWORD>(style) & 0xFFFFu);
  }
  if (redraw) InvalidateRect(button, nullptr, TRUE);
  return 0;
}

LRESULT ButtonSetCheck(HWND button, WPARAM check) {
  auto state = Control(button);
  if (!state) return 0;
  DWORD type = TypeOf(button);
  if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_GROUPBOX)
    return 0;
  state->check = static_cast<UINT>(check) & (BST_CHECKED | BST_INDETERMINATE);
  InvalidateRect(button, nullptr, TRUE);
  return 0;
}

LRESULT ButtonMouseDown(HWND button) {
  if (TypeOf(button) == BS_GROUPBOX) return 0;
  SetFocus(button);
  SetCapture(button);
  return ButtonSetState(button, true);
}

LRESULT ButtonMouseUp(HWND button) {
  auto state = Control(button);
  bool was = state && state->pushed;
  ReleaseCapture();
  ButtonSetState(button, false);
  if (was) ButtonClicked(button);
  return 0;
}

LRESULT ButtonKey(HWND button, UINT message, WPARAM key) {
  if (key != VK_SPACE) return 0;
  if (message == WM_KEYDOWN) return ButtonSetState(button, true);
  return ButtonMouseUp(button);
}

LRESULT ButtonPaint(HWND button) {
  DWORD type = TypeOf(button);
  bool push = type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
  PaintText(button,
            push ? DT_CENTER | DT_VCENTER | DT_SINGLELINE
                 : DT_LEFT | DT_VCENTER | DT_SINGLELINE,
            push);
  return 0;
}

// --- static ----------------------------------------------------------------

LRESULT StaticCreate(HWND control, const CREATESTRUCTA* cs) {
  DWORD type = StyleOf(control) & SS_TYPEMASK;
  if (type != SS_ICON && type != SS_BITMAP) return 0;
  auto state = Control(control);
  if (!state || !cs || !cs->lpszName) return 0;
  if (type == SS_ICON)
    state->icon = LoadIconA(cs->hInstance, cs->lpszName);
  else
    state->bitmap = LoadBitmapA(cs->hInstance, cs->lpszName);
  return 0;
}

LRESULT StaticPaint(HWND control) {
  DWORD style = StyleOf(control);
  DWORD type = style & SS_TYPEMASK;
  auto state = Control(control);
  if (type == SS_ICON || type == SS_BITMAP) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(control, &ps);
    if (state && state->icon) DrawIcon(dc, 0, 0, state->icon);
    if (state && state->bitmap) {
      vt::gdi::DrawBitmapAt(dc, 0, 0, state->bitmap);
    }
    EndPaint(control, &ps);
    return 0;
  }
  if (type == SS_ETCHEDHORZ || type == SS_ETCHEDVERT ||
      type == SS_ETCHEDFRAME || (style & SS_SUNKEN)) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(control, &ps);
    RECT r;
    GetClientRect(control, &r);
    UINT edges = type == SS_ETCHEDHORZ   ? BF_TOP | BF_BOTTOM
                 : type == SS_ETCHEDVERT ? BF_LEFT | BF_RIGHT
                                         : BF_RECT;
    DrawEdge(dc, &r, (style & SS_SUNKEN) ? BDR_SUNKENOUTER : EDGE_ETCHED,
             edges);
    EndPaint(control, &ps);
    return 0;
  }
  UINT format = DT_WORDBREAK | DT_EXPANDTABS;
  if (type == SS_CENTER) format |= DT_CENTER;
  if (type == SS_RIGHT) format |= DT_RIGHT;
  if (style & SS_NOPREFIX) format |= DT_NOPREFIX;
  PaintText(control, format, false);
  return 0;
}

LRESULT StaticSetImage(HWND control, UINT message, WPARAM wParam,
                       LPARAM lParam) {
  auto state = Control(control);
  if (!state) return 0;
  LRESULT previous = 0;
  if (message == STM_SETICON ||
      (message == STM_SETIMAGE && wParam == IMAGE_ICON)) {
    previous = reinterpret_cast<LRESULT>(state->icon);
    state->icon =
        reinterpret_cast<HICON>(message == STM_SETICON ? wParam : lParam);
  } else if (message == STM_SETIMAGE && wParam == IMAGE_BITMAP) {
    previous = reinterpret_cast<LRESULT>(state->bitmap);
    state->bitmap = reinterpret_cast<HBITMAP>(lParam);
  }
  InvalidateRect(control, nullptr, TRUE);
  return previous;
}

LRESULT StaticGetImage(HWND control, UINT message, WPARAM wParam) {
  auto state = Control(control);
  if (!state) return 0;
  if (message == STM_GETICON || wParam == IMAGE_ICON)
    return reinterpret_cast<LRESULT>(state->icon);
  return reinterpret_cast<LRESULT>(state->bitmap);
}

// --- edit
// ---------------------------------------------------------------------

bool Multiline(HWND edit) { return (StyleOf(edit) & ES_MULTILINE) != 0; }

void NormaliseSelection(ControlState& state, std::size_t length) {
  state.selStart = std::min<DWORD>(state.selStart, static_cast<DWORD>(length));
  state.selEnd = std::min<DWORD>(state.selEnd, static_cast<DWORD>(length));
}

std::string Converted(HWND edit, std::string_view text) {
  DWORD style = StyleOf(edit);
  std::string out(text);
  if (style & ES_LOWERCASE)
    for (char& c : out) c = ToLowerAnsi(c);
  else if (style & ES_UPPERCASE)
    for (char& c : out) c = ToUpperAnsi(c);
  return out;
}

// Puts text in place of the selection; false when the limit refuses it.
bool ReplaceSelection(HWND edit, std::string_view insert, bool typed) {
  auto state = Control(edit);
  if (!state) return false;
  std::string text = TextOfWindow(edit);
  NormaliseSelection(*state, text.size());
  DWORD from = std::min(state->selStart, state->selEnd);
  DWORD to = std::max(state->selStart, state->selEnd);
  std::string piece = Converted(edit, insert);
  std::size_t after = text.size() - (to - from) + piece.size();
  if (typed && after > state->limit) {
    NotifyParent(edit, EN_MAXTEXT);
    return false;
  }
  if (from == to && piece.empty()) return true;
  text.replace(from, to - from, piece);
  state->selStart = state->selEnd = from + static_cast<DWORD>(piece.size());
  state->modified = true;
  SetInternalText(edit, text);
  InvalidateRect(edit, nullptr, TRUE);
  NotifyParent(edit, EN_UPDATE);
  NotifyParent(edit, EN_CHANGE);
  return true;
}

LRESULT EditChar(HWND edit, WPARAM wParam) {
  DWORD style = StyleOf(edit);
  auto c = static_cast<unsigned char>(wParam);
  if (style & ES_READONLY) {
    if (c >= 0x20 || c == '\b') MessageBeep(0);
    return 0;
  }
  auto state = Control(edit);
  if (!state) return 0;
  if (c == '\b') {
    std::string text = TextOfWindow(edit);
    NormaliseSelection(*state, text.size());
    if (state->selStart == state->selEnd) {
      if (state->selStart == 0) return 0;
      state->selStart -= 1;
      if (state->selStart > 0 && text[state->selStart] == '\n' &&
          text[state->selStart - 1] == '\r')
        state->selStart -= 1;
    }
    ReplaceSelection(edit, "", false);
    return 0;
  }
  if (c == '\r') {
    if ((style & ES_MULTILINE) && (style & ES_WANTRETURN))
      ReplaceSelection(edit, "\r\n", true);
    return 0;
  }
  if (c < 0x20 || c == 0x7F) return 0;
  if ((style & ES_NUMBER) && (c < '0' || c > '9')) {
    MessageBeep(0);
    return 0;
  }
  char one = static_cast<char>(c);
  ReplaceSelection(edit, std::string_view(&one, 1), true);
  return 0;
}

LRESULT EditKeyDown(HWND edit, WPARAM key) {
  auto state = Control(edit);
  if (!state) return 0;
  std::string text = TextOfWindow(edit);
  NormaliseSelection(*state, text.size());
  bool shift = GetKeyState(VK_SHIFT) < 0;
  DWORD caret = state->selEnd;
  switch (key) {
    case VK_LEFT:
      if (caret > 0) --caret;
      break;
    case VK_RIGHT:
      if (caret < text.size()) ++caret;
      break;
    case VK_HOME:
      caret = 0;
      break;
    case VK_END:
      caret = static_cast<DWORD>(text.size());
      break;
    case VK_DELETE:
      if (StyleOf(edit) & ES_READONLY) return 0;
      if (state->selStart == state->selEnd) {
        if (caret >= text.size()) return 0;
        state->selEnd = caret + 1;
      }
      ReplaceSelection(edit, "", false);
      return 0;
    default:
      return 0;
  }
  state->selEnd = caret;
  if (!shift) state->selStart = caret;
  InvalidateRect(edit, nullptr, TRUE);
  return 0;
}

LRESULT EditSetText(HWND edit, LPARAM lParam) {
  auto state = Control(edit);
  if (!state) return FALSE;
  std::string text =
      Converted(edit, lParam ? reinterpret_cast<LPCSTR>(lParam) : "");
  SetInternalText(edit, text);
  state->selStart = state->selEnd = 0;
  state->modified = false;
  InvalidateRect(edit, nullptr, TRUE);
  // A single-line edit tells its parent of every change, this one too.
  if (!Multiline(edit)) {
    NotifyParent(edit, EN_UPDATE);
    NotifyParent(edit, EN_CHANGE);
  }
  return TRUE;
}

LRESULT EditSetSel(HWND edit, WPARAM wParam, LPARAM lParam) {
  auto state = Control(edit);
  if (!state) return 0;
  auto length = static_cast<LONG_PTR>(TextOfWindow(edit).size());
  auto start = static_cast<LONG_PTR>(static_cast<int>(wParam));
  auto end = static_cast<LONG_PTR>(static_cast<int>(lParam));
  if (start < 0) {
    // A start of -1 removes the selection and leaves the caret.
    state->selStart = state->selEnd;
  } else {
    if (end < 0 || end > length) end = length;
    if (start > length) start = length;
    state->selStart = static_cast<DWORD>(start);
    state->selEnd = static_cast<DWORD>(end);
  }
  InvalidateRect(edit, nullptr, TRUE);
  return 0;
}

LRESULT EditGetSel(HWND edit, WPARAM wParam, LPARAM lParam) {
  auto state = Control(edit);
  if (!state) return 0;
  NormaliseSelection(*state, TextOfWindow(edit).size());
  DWORD from = std::min(state->selStart, state->selEnd);
  DWORD to = std::max(state->selStart, state->selEnd);
  if (wParam) *reinterpret_cast<DWORD*>(wParam) = from;
  if (lParam) *reinterpret_cast<DWORD*>(lParam) = to;
  return MAKELRESULT(std::min<DWORD>(from, 0xFFFF),
                     std::min<DWORD>(to, 0xFFFF));
}

LRESULT EditLineCount(HWND edit) {
  if (!Multiline(edit)) return 1;
  std::string text = TextOfWindow(edit);
  LRESULT lines = 1;
  for (std::size_t i = 0; i + 1 < text.size() + 1; ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      ++lines;
      ++i;
    }
  }
  return lines;
}

LRESULT EditSetReadOnly(HWND edit, WPARAM on) {
  Lock lock(S().mutex);
  auto w = Find(edit);
  if (!w) return FALSE;
  if (on)
    w->style |= ES_READONLY;
  else
    w->style &= ~ES_READONLY;
  return TRUE;
}

LRESULT EditPaint(HWND edit) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(edit, &ps);
  RECT r;
  GetClientRect(edit, &r);
  FillRect(dc, &r,
           GetSysColorBrush((StyleOf(edit) & ES_READONLY) ? COLOR_BTNFACE
                                                          : COLOR_WINDOW));
  std::string text = TextOfWindow(edit);
  if (StyleOf(edit) & ES_PASSWORD) text.assign(text.size(), '*');
  SetBkMode(dc, TRANSPARENT);
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r,
            Multiline(edit) ? DT_LEFT | DT_NOPREFIX
                            : DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
  EndPaint(edit, &ps);
  return 0;
}

// --- list box -------------------------------------------------------------

void ListNotify(HWND list, WORD code) {
  if (StyleOf(list) & LBS_NOTIFY) NotifyParent(list, code);
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
  return index;
}

LRESULT ListAdd(HWND list, LPARAM text) {
  auto state = Control(list);
  if (!state) return LB_ERR;
  if (!(StyleOf(list) & LBS_SORT)) return ListInsert(list, -1, text);
  std::string item = text ? reinterpret_cast<LPCSTR>(text) : "";
  auto lower = [](std::string s) {
    for (char& c : s) c = ToLowerAnsi(c);
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

int ItemHeight(HWND list) {
  (void)list;
  return 13;
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
    for (std::size_t i = static_cast<std::size_t>(std::max(state->top, 0));
         i < state->items.size() && y < r.bottom; ++i, y += ItemHeight(list)) {
      const std::string& item = state->items[i];
      TextOutA(dc, 2, y, item.c_str(), static_cast<int>(item.size()));
    }
  }
  EndPaint(list, &ps);
  return 0;
}

}  // namespace

void NotifyParent(HWND control, WORD code) {
  HWND parent = ParentOf(control);
  if (!parent) return;
  SendMessageA(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code),
               reinterpret_cast<LPARAM>(control));
}

LRESULT CALLBACK ButtonProc(HWND button, UINT message, WPARAM wParam,
                            LPARAM lParam) {
  switch (message) {
    case WM_GETDLGCODE:
      return ButtonDlgCode(button);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      return ButtonMouseDown(button);
    case WM_LBUTTONUP:
      return ButtonMouseUp(button);
    case WM_KEYDOWN:
    case WM_KEYUP:
      return ButtonKey(button, message, wParam);
    case WM_KILLFOCUS:
      return ButtonSetState(button, false);
    case WM_SETFOCUS:
      InvalidateRect(button, nullptr, TRUE);
      return 0;
    case BM_GETCHECK: {
      auto state = Control(button);
      return state ? state->check : 0;
    }
    case BM_SETCHECK:
      return ButtonSetCheck(button, wParam);
    case BM_GETSTATE:
      return ButtonGetState(button);
    case BM_SETSTATE:
      return ButtonSetState(button, wParam != 0);
    case BM_SETSTYLE:
      return ButtonSetStyle(button, wParam, lParam);
    case BM_CLICK:
      ButtonClicked(button);
      return 0;
    case WM_ENABLE:
      InvalidateRect(button, nullptr, TRUE);
      return 0;
    case WM_PAINT:
      return ButtonPaint(button);
    default:
      return DefWindowProcA(button, message, wParam, lParam);
  }
}

LRESULT CALLBACK StaticProc(HWND control, UINT message, WPARAM wParam,
                            LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return StaticCreate(control, reinterpret_cast<CREATESTRUCTA*>(lParam));
    case WM_GETDLGCODE:
      return DLGC_STATIC;
    case WM_LBUTTONDOWN:
      if (StyleOf(control) & SS_NOTIFY) NotifyParent(control, 0);
      return 0;
    case WM_LBUTTONDBLCLK:
      if (StyleOf(control) & SS_NOTIFY) NotifyParent(control, 1);
      return 0;
    case STM_SETICON:
    case STM_SETIMAGE:
      return StaticSetImage(control, message, wParam, lParam);
    case STM_GETICON:
    case STM_GETIMAGE:
      return StaticGetImage(control, message, wParam);
    case WM_PAINT:
      return StaticPaint(control);
    default:
      return DefWindowProcA(control, message, wParam, lParam);
  }
}

LRESULT CALLBACK EditProc(HWND edit, UINT message, WPARAM wParam,
                          LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
      if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName))
        SetInternalText(edit, Converted(edit, cs->lpszName));
      if (auto state = Control(edit); state && Multiline(edit))
        state->limit = 0x7FFFFFFE;
      return TRUE;
    }
    case WM_GETDLGCODE: {
      LRESULT code = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
      if (Multiline(edit)) code |= DLGC_WANTALLKEYS;
      return code;
    }
    case WM_CHAR:
      return EditChar(edit, wParam);
    case WM_KEYDOWN:
      return EditKeyDown(edit, wParam);
    case WM_LBUTTONDOWN:
      SetFocus(edit);
      return 0;
    case WM_SETTEXT:
      return EditSetText(edit, lParam);
    case WM_SETFOCUS:
      NotifyParent(edit, EN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      NotifyParent(edit, EN_KILLFOCUS);
      return 0;
    case EM_SETSEL:
      return EditSetSel(edit, wParam, lParam);
    case EM_GETSEL:
      return EditGetSel(edit, wParam, lParam);
    case EM_REPLACESEL:
      ReplaceSelection(edit, lParam ? reinterpret_cast<LPCSTR>(lParam) : "",
                       false);
      return 0;
    case EM_LIMITTEXT: {
      auto state = Control(edit);
      if (state)
        state->limit = wParam ? static_cast<DWORD>(wParam) : 0x7FFFFFFE;
      return 0;
    }
    case EM_GETMODIFY: {
      auto state = Control(edit);
      return state && state->modified ? TRUE : FALSE;
    }
    case EM_SETMODIFY: {
      auto state = Control(edit);
      if (state) state->modified = wParam != 0;
      return 0;
    }
    case EM_GETLINECOUNT:
      return EditLineCount(edit);
    case EM_SETREADONLY:
      return EditSetReadOnly(edit, wParam);
    case EM_SCROLLCARET:
      return TRUE;
    case WM_PAINT:
      return EditPaint(edit);
    default:
      return DefWindowProcA(edit, message, wParam, lParam);
  }
}

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
      state->top = static_cast<int>(wParam);
      InvalidateRect(list, nullptr, TRUE);
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
    default:
      return DefWindowProcA(list, message, wParam, lParam);
  }
}

}  // namespace vt::user
