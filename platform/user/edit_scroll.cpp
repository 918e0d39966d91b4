// Scrolling a multi-line edit control by its standard bars: the vertical
// bar counts lines, the horizontal one pixels of the widest line. The bars'
// positions are where the text stands, so painting reads them back.
#include <algorithm>
#include <string>
#include <string_view>

#include "platform/user/user_internal.h"

namespace vt::user {

namespace {

struct TextExtent {
  int lines = 1;
  int lineHeight = 13;
  int widest = 0;
};

TextExtent Measure(HWND edit) {
  TextExtent extent;
  std::string text = TextOfWindow(edit);
  HDC dc = GetDC(edit);
  if (!dc) return extent;
  HGDIOBJ previous = nullptr;
  if (auto font = reinterpret_cast<HFONT>(SendMessageA(edit, WM_GETFONT, 0, 0)))
    previous = SelectObject(dc, font);
  TEXTMETRICA tm{};
  if (GetTextMetricsA(dc, &tm) && tm.tmHeight > 0)
    extent.lineHeight = tm.tmHeight;
  extent.lines = 0;
  std::string_view rest = text;
  for (;;) {
    std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    SIZE size{};
    if (!line.empty() &&
        GetTextExtentPoint32A(dc, line.data(), static_cast<int>(line.size()),
                              &size))
      extent.widest = std::max(extent.widest, static_cast<int>(size.cx));
    ++extent.lines;
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  if (previous) SelectObject(dc, previous);
  ReleaseDC(edit, dc);
  return extent;
}

void SetBar(HWND edit, int bar, int count, int page) {
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_RANGE | SIF_PAGE;
  info.nMin = 0;
  info.nMax = std::max(0, count - 1);
  info.nPage = static_cast<UINT>(std::max(1, page));
  SetScrollInfo(edit, bar, &info, TRUE);
}

}  // namespace

void EditUpdateScroll(HWND edit) {
  DWORD style = StyleOf(edit);
  if (!(style & ES_MULTILINE) || !(style & (WS_VSCROLL | WS_HSCROLL))) return;
  TextExtent extent = Measure(edit);
  RECT client{};
  GetClientRect(edit, &client);
  // The text keeps a pixel's margin above and on the left.
  int height = std::max(0, static_cast<int>(client.bottom) - 1);
  int width = std::max(0, static_cast<int>(client.right) - 1);
  if (style & WS_VSCROLL)
    SetBar(edit, SB_VERT, extent.lines,
           std::max(1, height / extent.lineHeight));
  if (style & WS_HSCROLL) SetBar(edit, SB_HORZ, extent.widest, width);
}

LRESULT EditScroll(HWND edit, int bar, WPARAM wParam) {
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL;
  if (!GetScrollInfo(edit, bar, &info)) return 0;
  // A line of the vertical bar is a line of text; of the horizontal one, a
  // few pixels, about a character.
  int line = bar == SB_VERT ? 1 : 8;
  int page = std::max(1, static_cast<int>(info.nPage));
  int position = info.nPos;
  switch (LOWORD(wParam)) {
    case SB_LINEUP:
      position -= line;
      break;
    case SB_LINEDOWN:
      position += line;
      break;
    case SB_PAGEUP:
      position -= page;
      break;
    case SB_PAGEDOWN:
      position += page;
      break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
      position = info.nTrackPos;
      break;
    case SB_TOP:
      position = info.nMin;
      break;
    case SB_BOTTOM:
      position = info.nMax;
      break;
    default:
      return 0;
  }
  // The bar keeps the position within its range.
  if (SetScrollPos(edit, bar, position, TRUE) != GetScrollPos(edit, bar))
    InvalidateRect(edit, nullptr, TRUE);
  return 0;
}

POINT EditScrollOffset(HWND edit) {
  DWORD style = StyleOf(edit);
  if (!(style & ES_MULTILINE)) return POINT{0, 0};
  int lineHeight = 13;
  if (style & WS_VSCROLL) lineHeight = Measure(edit).lineHeight;
  return POINT{
      (style & WS_HSCROLL) ? GetScrollPos(edit, SB_HORZ) : 0,
      (style & WS_VSCROLL) ? GetScrollPos(edit, SB_VERT) * lineHeight : 0};
}

}  // namespace vt::user
