// The EDIT control: one line or many, with a selection, a length limit,
// read-only and password styles.
#include <algorithm>
#include <cstring>

#include "platform/gdi/gdi_internal.h"
#include "platform/user/user_internal.h"

namespace vt::user {

namespace {

bool Multiline(HWND edit) { return (StyleOf(edit) & ES_MULTILINE) != 0; }

void NormaliseSelection(ControlState& state, std::size_t length) {
  state.selStart = std::min<DWORD>(state.selStart, static_cast<DWORD>(length));
  state.selEnd = std::min<DWORD>(state.selEnd, static_cast<DWORD>(length));
}

std::string Converted(HWND edit, std::string_view text) {
  DWORD style = StyleOf(edit);
  std::string out(text);
  if (style & ES_LOWERCASE)
    for (char& c : out) c = LowerWindows1252(c);
  else if (style & ES_UPPERCASE)
    for (char& c : out) c = UpperWindows1252(c);
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
  EditUpdateScroll(edit);
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

// The dialog a multi-line edit sits in, or null. Such an edit takes every
// key from the dialog, so it does itself what the dialog would have done
// with Esc and, unless it keeps Enter, with Enter.
HWND DialogAround(HWND edit) {
  if (!Multiline(edit)) return nullptr;
  HWND parent = ParentOf(edit);
  return parent && ClassNameOf(parent) == kDialogClass ? parent : nullptr;
}

LRESULT EditDialogKey(HWND dialog, WPARAM key) {
  if (key == VK_ESCAPE) {
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    return 0;
  }
  LRESULT def = SendMessageA(dialog, DM_GETDEFID, 0, 0);
  int id = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK;
  HWND button = GetDlgItem(dialog, id);
  if (button && !IsWindowEnabled(button)) {
    MessageBeep(0);
    return 0;
  }
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
  return 0;
}

LRESULT EditKeyDown(HWND edit, WPARAM key) {
  if (HWND dialog = DialogAround(edit)) {
    bool keepsEnter = (StyleOf(edit) & ES_WANTRETURN) != 0;
    if (key == VK_ESCAPE || (key == VK_RETURN && !keepsEnter))
      return EditDialogKey(dialog, key);
  }
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
  EditUpdateScroll(edit);
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
  bool enabled = IsWindowEnabled(edit) != FALSE;
  bool white = enabled && !(StyleOf(edit) & ES_READONLY);
  FillRect(dc, &r, GetSysColorBrush(white ? COLOR_WINDOW : COLOR_BTNFACE));
  std::string text = TextOfWindow(edit);
  if (StyleOf(edit) & ES_PASSWORD) text.assign(text.size(), '*');
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
  // The text keeps a pixel's margin from the edge, above and on the left.
  r.left += 1;
  r.top += 1;
  // A scrolled text starts above and left of the client area.
  POINT scrolled = EditScrollOffset(edit);
  r.left -= scrolled.x;
  r.top -= scrolled.y;
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r,
            Multiline(edit) ? DT_LEFT | DT_NOPREFIX
                            : DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
  EndPaint(edit, &ps);
  return 0;
}

}  // namespace

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
    case WM_VSCROLL:
      return EditScroll(edit, SB_VERT, wParam);
    case WM_HSCROLL:
      return EditScroll(edit, SB_HORZ, wParam);
    case WM_CREATE:
    case WM_SIZE:
    case WM_SETFONT:
      DefWindowProcA(edit, message, wParam, lParam);
      EditUpdateScroll(edit);
      return 0;
    case WM_ENABLE:
      // Disabled, the text greys on the face colour.
      InvalidateRect(edit, nullptr, TRUE);
      return 0;
    default:
      return DefWindowProcA(edit, message, wParam, lParam);
  }
}

}  // namespace vt::user
