// The EDIT control: one line or many, with a selection, a length limit,
// read-only and password styles.
#include <algorithm>
#include <cstring>

#include "platform/gdi/gdi_internal.h"
#include "platform/internal/driver.h"
#include "platform/user/user_internal.h"

namespace vt::user {

namespace {

bool Multiline(HWND edit) { return (StyleOf(edit) & ES_MULTILINE) != 0; }

void NormaliseSelection(ControlState& state, std::size_t length) {
  state.selStart = std::min<DWORD>(state.selStart, static_cast<DWORD>(length));
  state.selEnd = std::min<DWORD>(state.selEnd, static_cast<DWORD>(length));
}

// The caret blinks by this timer, at the half second a desktop uses.
constexpr UINT_PTR kCaretTimer = 0xCA7E;
constexpr UINT kCaretBlinkMs = 500;

struct LineSpan {
  std::size_t begin;
  std::size_t end;  // before the line's CR LF
};

// The lines as drawn: a single-line edit is one line whatever it holds.
std::vector<LineSpan> LinesOf(HWND edit, std::string_view text) {
  std::vector<LineSpan> lines;
  if (!Multiline(edit)) return {{0, text.size()}};
  std::size_t begin = 0;
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] == '\r' && text[i + 1] == '\n') {
      lines.push_back({begin, i});
      begin = i + 2;
      ++i;
    }
  }
  lines.push_back({begin, text.size()});
  return lines;
}

// What the edit shows for its text: a password edit shows stars.
std::string ShownText(HWND edit) {
  std::string text = TextOfWindow(edit);
  if (StyleOf(edit) & ES_PASSWORD) text.assign(text.size(), '*');
  return text;
}

int Width(HDC dc, std::string_view text) {
  SIZE size{0, 0};
  GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &size);
  return size.cx;
}

int LineHeight(HDC dc) {
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  return metrics.tmHeight > 0 ? metrics.tmHeight : 13;
}

// Where the caret at offset stands, in client pixels before scrolling.
POINT PlaceOf(HWND edit, HDC dc, std::string_view text, std::size_t offset) {
  auto lines = LinesOf(edit, text);
  int height = LineHeight(dc);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (offset <= lines[i].end || i + 1 == lines.size()) {
      std::size_t at = std::clamp(offset, lines[i].begin, lines[i].end);
      return POINT{
          1 + Width(dc, text.substr(lines[i].begin, at - lines[i].begin)),
          1 + static_cast<int>(i) * height};
    }
  }
  return POINT{1, 1};
}

// The offset nearest to a point of the client area, for the mouse.
DWORD OffsetAt(HWND edit, POINT point) {
  auto state = Control(edit);
  std::string text = ShownText(edit);
  // A scrolled multi-line text lies above and left of the client area.
  POINT scrolled = EditScrollOffset(edit);
  point.x += scrolled.x;
  point.y += scrolled.y;
  HDC dc = GetDC(edit);
  auto lines = LinesOf(edit, text);
  int height = LineHeight(dc);
  int row =
      std::clamp((point.y - 1) / height, 0, static_cast<int>(lines.size()) - 1);
  if (point.y < 1) row = 0;
  const LineSpan& line = lines[static_cast<std::size_t>(row)];
  int x = point.x - 1 + (state ? state->scrollX : 0);
  std::size_t best = line.begin;
  int before = 0;
  for (std::size_t i = line.begin; i < line.end; ++i) {
    int after = Width(
        dc, std::string_view(text).substr(line.begin, i + 1 - line.begin));
    // Past a character's middle the caret goes after it.
    if (x < (before + after + 1) / 2) break;
    best = i + 1;
    before = after;
  }
  ReleaseDC(edit, dc);
  return static_cast<DWORD>(best);
}

// Scrolls a single-line edit sideways just enough that the caret is seen.
void KeepCaretVisible(HWND edit) {
  auto state = Control(edit);
  if (!state || Multiline(edit)) return;
  std::string text = ShownText(edit);
  HDC dc = GetDC(edit);
  int caretX =
      PlaceOf(edit, dc, text, std::min<std::size_t>(state->selEnd, text.size()))
          .x;
  int textWidth = Width(dc, text) + 2;
  ReleaseDC(edit, dc);
  RECT r;
  GetClientRect(edit, &r);
  int width = std::max<int>(r.right - r.left - 2, 1);
  if (caretX - state->scrollX > width) state->scrollX = caretX - width;
  if (caretX - 1 < state->scrollX)
    state->scrollX = std::max(caretX - 1 - width / 3, 0);
  // Text that fits needs no scrolling, whatever came before.
  if (textWidth <= width + 2) state->scrollX = 0;
}

// After the caret moved: it shows at once (a new blink period) and stays in
// view.
void CaretMoved(HWND edit) {
  if (auto state = Control(edit)) {
    if (GetFocus() == edit) {
      state->caretShown = true;
      SetTimer(edit, kCaretTimer, kCaretBlinkMs, nullptr);
    }
  }
  KeepCaretVisible(edit);
  InvalidateRect(edit, nullptr, TRUE);
}

std::string SelectedText(HWND edit) {
  auto state = Control(edit);
  if (!state) return {};
  std::string text = TextOfWindow(edit);
  NormaliseSelection(*state, text.size());
  DWORD from = std::min(state->selStart, state->selEnd);
  DWORD to = std::max(state->selStart, state->selEnd);
  return text.substr(from, to - from);
}

// Offers the selection to other programs; a password is never offered.
void OfferSelection(HWND edit, bool primarySelection) {
  if (StyleOf(edit) & ES_PASSWORD) return;
  std::string selected = SelectedText(edit);
  if (selected.empty()) return;
  platform::TheDriver().setClipboardText(selected, primarySelection);
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
  CaretMoved(edit);
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
  bool control = GetKeyState(VK_CONTROL) < 0;
  DWORD caret = state->selEnd;
  if (control && key == 'C') {
    OfferSelection(edit, false);
    return 0;
  }
  if (control && key == 'A') {
    state->selStart = 0;
    state->selEnd = static_cast<DWORD>(text.size());
    CaretMoved(edit);
    return 0;
  }
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
  CaretMoved(edit);
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
  state->scrollX = 0;
  CaretMoved(edit);
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
  CaretMoved(edit);
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

// One line of text in up to three runs: before, in and after the
// selection, the selected run on the highlight colour.
void PaintLine(HDC dc, std::string_view text, const LineSpan& line, int x,
               int y, DWORD from, DWORD to, bool enabled) {
  std::size_t cuts[4] = {
      line.begin, std::clamp<std::size_t>(from, line.begin, line.end),
      std::clamp<std::size_t>(to, line.begin, line.end), line.end};
  for (int run = 0; run < 3; ++run) {
    std::string_view piece = text.substr(cuts[run], cuts[run + 1] - cuts[run]);
    if (piece.empty()) continue;
    int left = x + Width(dc, text.substr(line.begin, cuts[run] - line.begin));
    bool selected = run == 1;
    if (selected) {
      SetBkMode(dc, OPAQUE);
      SetBkColor(dc, GetSysColor(COLOR_HIGHLIGHT));
      SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    } else {
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc,
                   GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
    }
    TextOutA(dc, left, y, piece.data(), static_cast<int>(piece.size()));
  }
}

LRESULT EditPaint(HWND edit) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(edit, &ps);
  RECT r;
  GetClientRect(edit, &r);
  bool enabled = IsWindowEnabled(edit) != FALSE;
  bool white = enabled && !(StyleOf(edit) & ES_READONLY);
  FillRect(dc, &r, GetSysColorBrush(white ? COLOR_WINDOW : COLOR_BTNFACE));
  auto state = Control(edit);
  std::string text = ShownText(edit);
  DWORD from = 0, to = 0, caret = 0;
  int scrollX = 0;
  bool caretShown = false;
  if (state) {
    NormaliseSelection(*state, text.size());
    from = std::min(state->selStart, state->selEnd);
    to = std::max(state->selStart, state->selEnd);
    caret = state->selEnd;
    scrollX = state->scrollX;
    caretShown = state->caretShown && GetFocus() == edit;
  }
  // The selection shows only while the edit has the focus, as a person
  // expects of an edit that is not being used.
  if (GetFocus() != edit) from = to = 0;
  int height = LineHeight(dc);
  auto lines = LinesOf(edit, text);
  // The text keeps a pixel's margin from the edge, above and on the left.
  // A scrolled multi-line text starts above and left of the client area.
  POINT scrolled = EditScrollOffset(edit);
  int left = 1 - scrollX - scrolled.x;
  int top = 1 - scrolled.y;
  for (std::size_t i = 0; i < lines.size(); ++i)
    PaintLine(dc, text, lines[i], left, top + static_cast<int>(i) * height,
              from, to, enabled);
  if (caretShown) {
    POINT at = PlaceOf(edit, dc, text, caret);
    int x = at.x - scrollX - scrolled.x;
    int y = at.y - scrolled.y;
    RECT line{x, y, x + 1, y + height};
    FillRect(dc, &line, GetSysColorBrush(COLOR_WINDOWTEXT));
  }
  EndPaint(edit, &ps);
  return 0;
}

LRESULT EditMouseDown(HWND edit, WPARAM keys, LPARAM lParam) {
  if (GetFocus() != edit) SetFocus(edit);
  auto state = Control(edit);
  if (!state) return 0;
  POINT point{static_cast<short>(LOWORD(lParam)),
              static_cast<short>(HIWORD(lParam))};
  DWORD at = OffsetAt(edit, point);
  state->selEnd = at;
  if (!(keys & MK_SHIFT)) state->selStart = at;
  state->mouseSelecting = true;
  SetCapture(edit);
  CaretMoved(edit);
  return 0;
}

LRESULT EditMouseMove(HWND edit, LPARAM lParam) {
  auto state = Control(edit);
  if (!state || !state->mouseSelecting || GetCapture() != edit) return 0;
  POINT point{static_cast<short>(LOWORD(lParam)),
              static_cast<short>(HIWORD(lParam))};
  DWORD at = OffsetAt(edit, point);
  if (at == state->selEnd) return 0;
  state->selEnd = at;
  CaretMoved(edit);
  return 0;
}

LRESULT EditMouseUp(HWND edit) {
  auto state = Control(edit);
  if (!state || !state->mouseSelecting) return 0;
  state->mouseSelecting = false;
  if (GetCapture() == edit) ReleaseCapture();
  // What a person selects with the mouse is offered as the primary
  // selection, for a middle click in another program.
  OfferSelection(edit, true);
  return 0;
}

bool WordCharacter(char c) {
  return c != ' ' && c != '\t' && c != '\r' && c != '\n';
}

LRESULT EditDoubleClick(HWND edit, LPARAM lParam) {
  auto state = Control(edit);
  if (!state) return 0;
  POINT point{static_cast<short>(LOWORD(lParam)),
              static_cast<short>(HIWORD(lParam))};
  std::string text = TextOfWindow(edit);
  std::size_t at = std::min<std::size_t>(OffsetAt(edit, point), text.size());
  std::size_t begin = at;
  std::size_t end = at;
  // On a space between words the space itself is the word.
  bool word = (at < text.size() && WordCharacter(text[at])) ||
              (at > 0 && WordCharacter(text[at - 1]));
  while (begin > 0 && WordCharacter(text[begin - 1]) == word) --begin;
  while (end < text.size() && WordCharacter(text[end]) == word) ++end;
  state->selStart = static_cast<DWORD>(begin);
  state->selEnd = static_cast<DWORD>(end);
  CaretMoved(edit);
  OfferSelection(edit, true);
  return 0;
}

LRESULT EditFocus(HWND edit, bool gained) {
  auto state = Control(edit);
  if (state) {
    state->caretShown = gained;
    if (!gained) state->mouseSelecting = false;
  }
  if (gained)
    SetTimer(edit, kCaretTimer, kCaretBlinkMs, nullptr);
  else
    KillTimer(edit, kCaretTimer);
  InvalidateRect(edit, nullptr, TRUE);
  NotifyParent(edit, gained ? EN_SETFOCUS : EN_KILLFOCUS);
  return 0;
}

LRESULT EditBlink(HWND edit) {
  auto state = Control(edit);
  if (!state) return 0;
  state->caretShown = GetFocus() == edit && !state->caretShown;
  InvalidateRect(edit, nullptr, FALSE);
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
      return EditMouseDown(edit, wParam, lParam);
    case WM_MOUSEMOVE:
      return EditMouseMove(edit, lParam);
    case WM_LBUTTONUP:
      return EditMouseUp(edit);
    case WM_CAPTURECHANGED:
      if (auto state = Control(edit)) state->mouseSelecting = false;
      return 0;
    case WM_LBUTTONDBLCLK:
      return EditDoubleClick(edit, lParam);
    case WM_TIMER:
      if (wParam == kCaretTimer) return EditBlink(edit);
      return 0;
    case WM_COPY:
      OfferSelection(edit, false);
      return 0;
    case WM_SETTEXT:
      return EditSetText(edit, lParam);
    case WM_SETFOCUS:
      return EditFocus(edit, true);
    case WM_KILLFOCUS:
      return EditFocus(edit, false);
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
      KeepCaretVisible(edit);
      InvalidateRect(edit, nullptr, TRUE);
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
