// The standard scroll bars of a window with WS_VSCROLL or WS_HSCROLL: their
// range, page and position; where they lie in the frame, beside and below
// the client area; how they are drawn; and what a click, a drag or the
// wheel on them sends the window (WM_VSCROLL, WM_HSCROLL). The bar only
// reports; the window moves its content and sets the new position.
#include <algorithm>

#include "platform/gdi/gdi_internal.h"
#include "platform/internal/driver.h"
#include "platform/user/user_internal.h"

namespace vt::user {

namespace {

enum class BarPart { None, LineUp, PageUp, Thumb, PageDown, LineDown };

// Where one bar lies, client pixels (the bar itself lies outside the
// client area), and the extent of its track and thumb along its length.
struct BarLayout {
  bool vertical = true;
  RECT rect{};
  int trackStart = 0;
  int trackEnd = 0;
  int thumbStart = 0;
  int thumbEnd = 0;
  // False when the whole content shows: the arrows are greyed and there is
  // no thumb.
  bool scrollable = false;
  int lastPosition = 0;
};

// The bar that holds the pointer while the left button is down on it. Bars
// are handled on their window's thread, so each thread has at most one.
struct BarPress {
  HWND window = nullptr;
  bool vertical = true;
  BarPart part = BarPart::None;
  // Where on the thumb it was grabbed, pixels from the thumb's start.
  int grab = 0;
};

thread_local BarPress Pressed;

int BarWidth() { return vt::platform::TheDriver().systemMetrics().scrollBar; }

// The highest position a bar can take: with a page, the last page just
// shows.
int LastPosition(const ScrollBarState& s) {
  int page = static_cast<int>(std::min<UINT>(s.page, 0x7FFFFFFF));
  return std::max(s.minimum, s.maximum - std::max(page - 1, 0));
}

bool ReadBar(HWND window, bool vertical, ScrollBarState* out,
             DWORD* style = nullptr) {
  Lock lock(S().mutex);
  auto w = Find(window);
  if (!w) return false;
  *out = vertical ? w->vertical : w->horizontal;
  if (style) *style = w->style;
  return true;
}

bool HasBar(DWORD style, bool vertical) {
  return (style & (vertical ? WS_VSCROLL : WS_HSCROLL)) != 0;
}

bool LayoutBar(HWND window, bool vertical, BarLayout* out) {
  ScrollBarState s;
  DWORD style = 0;
  if (!ReadBar(window, vertical, &s, &style) || !HasBar(style, vertical))
    return false;
  RECT client{};
  GetClientRect(window, &client);
  int bar = BarWidth();
  BarLayout l;
  l.vertical = vertical;
  l.rect = vertical ? RECT{client.right, 0, client.right + bar, client.bottom}
                    : RECT{0, client.bottom, client.right, client.bottom + bar};
  int start = vertical ? l.rect.top : l.rect.left;
  int end = vertical ? l.rect.bottom : l.rect.right;
  // The arrows share a bar too short for both at full size.
  int arrow = std::min(bar, (end - start) / 2);
  l.trackStart = start + arrow;
  l.trackEnd = end - arrow;
  l.lastPosition = LastPosition(s);
  l.scrollable = l.lastPosition > s.minimum;
  int track = l.trackEnd - l.trackStart;
  if (l.scrollable && track > 0) {
    // The thumb shows how much of the content the page is, but never so
    // small it cannot be grabbed.
    long long range = static_cast<long long>(s.maximum) - s.minimum + 1;
    int thumb =
        s.page
            ? static_cast<int>(track * static_cast<long long>(s.page) / range)
            : bar;
    thumb = std::clamp(thumb, std::min(8, track), track);
    int travel = track - thumb;
    int offset = static_cast<int>(static_cast<long long>(travel) *
                                  (s.position - s.minimum) /
                                  (l.lastPosition - s.minimum));
    l.thumbStart = l.trackStart + offset;
    l.thumbEnd = l.thumbStart + thumb;
  } else {
    l.scrollable = l.scrollable && track > 0;
    l.thumbStart = l.thumbEnd = l.trackStart;
  }
  *out = l;
  return true;
}

bool Inside(const RECT& r, int x, int y) {
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

BarPart PartAt(const BarLayout& l, int x, int y) {
  if (!Inside(l.rect, x, y)) return BarPart::None;
  int along = l.vertical ? y : x;
  if (along < l.trackStart) return BarPart::LineUp;
  if (along >= l.trackEnd) return BarPart::LineDown;
  if (!l.scrollable) return BarPart::None;
  if (along < l.thumbStart) return BarPart::PageUp;
  if (along >= l.thumbEnd) return BarPart::PageDown;
  return BarPart::Thumb;
}

void Send(HWND window, bool vertical, WORD code, int position = 0) {
  SendMessageA(window, vertical ? WM_VSCROLL : WM_HSCROLL,
               MAKEWPARAM(code, static_cast<WORD>(position)), 0);
}

WORD CodeOf(BarPart part) {
  switch (part) {
    case BarPart::LineUp:
      return SB_LINEUP;
    case BarPart::LineDown:
      return SB_LINEDOWN;
    case BarPart::PageUp:
      return SB_PAGEUP;
    default:
      return SB_PAGEDOWN;
  }
}

// The position the thumb stands for when its start is at along.
int PositionForThumb(HWND window, const BarLayout& l, int thumbStart) {
  ScrollBarState s;
  if (!ReadBar(window, l.vertical, &s)) return 0;
  int travel = (l.trackEnd - l.trackStart) - (l.thumbEnd - l.thumbStart);
  if (travel <= 0) return s.minimum;
  int offset = std::clamp(thumbStart - l.trackStart, 0, travel);
  long long span = static_cast<long long>(l.lastPosition) - s.minimum;
  return s.minimum + static_cast<int>((offset * span + travel / 2) / travel);
}

void SetTrackPosition(HWND window, bool vertical, int position) {
  Lock lock(S().mutex);
  if (auto w = Find(window))
    (vertical ? w->vertical : w->horizontal).trackPosition = position;
}

bool Press(HWND window, int x, int y) {
  for (bool vertical : {true, false}) {
    BarLayout l;
    if (!LayoutBar(window, vertical, &l) || !Inside(l.rect, x, y)) continue;
    BarPart part = PartAt(l, x, y);
    // A bar with nothing to scroll takes the click and does nothing.
    if (part == BarPart::None || !l.scrollable) return true;
    Pressed = BarPress{window, vertical, part, 0};
    SetCapture(window);
    if (part == BarPart::Thumb) {
      Pressed.grab = (vertical ? y : x) - l.thumbStart;
      ScrollBarState s;
      if (ReadBar(window, vertical, &s))
        SetTrackPosition(window, vertical, s.position);
    } else {
      Send(window, vertical, CodeOf(part));
    }
    return true;
  }
  // The corner between two bars belongs to neither.
  RECT client{};
  GetClientRect(window, &client);
  return x >= client.right || y >= client.bottom;
}

void Drag(HWND window, int x, int y) {
  if (Pressed.part != BarPart::Thumb) return;
  BarLayout l;
  if (!LayoutBar(window, Pressed.vertical, &l)) return;
  ScrollBarState s;
  if (!ReadBar(window, Pressed.vertical, &s)) return;
  int position =
      PositionForThumb(window, l, (Pressed.vertical ? y : x) - Pressed.grab);
  if (position == s.trackPosition) return;
  SetTrackPosition(window, Pressed.vertical, position);
  Send(window, Pressed.vertical, SB_THUMBTRACK, position);
}

void Release(HWND window) {
  BarPress done = Pressed;
  Pressed = BarPress{};
  ReleaseCapture();
  if (done.part == BarPart::Thumb) {
    ScrollBarState s;
    if (ReadBar(window, done.vertical, &s))
      Send(window, done.vertical, SB_THUMBPOSITION, s.trackPosition);
  }
  Send(window, done.vertical, SB_ENDSCROLL);
}

// --- drawing ----------------------------------------------------------------

// A small filled triangle pointing along the bar, centred in box.
void DrawArrow(HDC dc, const RECT& box, bool vertical, bool forward,
               HBRUSH brush) {
  int w = box.right - box.left;
  int h = box.bottom - box.top;
  int size = std::max(2, std::min(w, h) / 4);
  int cx = box.left + w / 2;
  int cy = box.top + h / 2;
  for (int i = 0; i < size; ++i) {
    // Row i is i pixels from the tip, which points the way the button
    // scrolls: up or left backward, down or right forward.
    int along = forward ? size / 2 - i : i - size / 2;
    RECT row = vertical ? RECT{cx - i, cy + along, cx + i + 1, cy + along + 1}
                        : RECT{cx + along, cy - i, cx + along + 1, cy + i + 1};
    FillRect(dc, &row, brush);
  }
}

void DrawButton(HDC dc, RECT box, bool vertical, bool forward, bool enabled) {
  FillRect(dc, &box, GetSysColorBrush(COLOR_BTNFACE));
  DrawEdge(dc, &box, EDGE_RAISED, BF_RECT);
  if (enabled) {
    DrawArrow(dc, box, vertical, forward, GetSysColorBrush(COLOR_BTNTEXT));
    return;
  }
  // A greyed arrow is embossed: a white arrow under a grey one.
  RECT shadow{box.left + 1, box.top + 1, box.right + 1, box.bottom + 1};
  DrawArrow(dc, shadow, vertical, forward,
            GetSysColorBrush(COLOR_BTNHIGHLIGHT));
  DrawArrow(dc, box, vertical, forward, GetSysColorBrush(COLOR_BTNSHADOW));
}

void DrawBar(HDC dc, const BarLayout& l) {
  RECT first = l.rect;
  RECT last = l.rect;
  RECT track = l.rect;
  RECT thumb = l.rect;
  if (l.vertical) {
    first.bottom = l.trackStart;
    last.top = l.trackEnd;
    track.top = l.trackStart;
    track.bottom = l.trackEnd;
    thumb.top = l.thumbStart;
    thumb.bottom = l.thumbEnd;
  } else {
    first.right = l.trackStart;
    last.left = l.trackEnd;
    track.left = l.trackStart;
    track.right = l.trackEnd;
    thumb.left = l.thumbStart;
    thumb.right = l.thumbEnd;
  }
  // The track is the checkered grey of white and button face; the driver
  // draws no patterns, so it gets the colour the checker shows from afar.
  COLORREF face = GetSysColor(COLOR_BTNFACE);
  COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT);
  auto half = [&](int shift) {
    return static_cast<BYTE>(
        (((face >> shift) & 0xFF) + ((light >> shift) & 0xFF)) / 2);
  };
  HBRUSH trackBrush = CreateSolidBrush(RGB(half(0), half(8), half(16)));
  FillRect(dc, &track, trackBrush);
  DeleteObject(trackBrush);
  DrawButton(dc, first, l.vertical, false, l.scrollable);
  DrawButton(dc, last, l.vertical, true, l.scrollable);
  if (l.scrollable && l.thumbEnd > l.thumbStart) {
    FillRect(dc, &thumb, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(dc, &thumb, EDGE_RAISED, BF_RECT);
  }
}

void InvalidateBar(HWND window) {
  // The bars are drawn when the window paints.
  InvalidateRect(window, nullptr, FALSE);
}

ScrollBarState* BarOf(Window& w, int bar) {
  if (bar == SB_VERT) return &w.vertical;
  if (bar == SB_HORZ) return &w.horizontal;
  return nullptr;
}

}  // namespace

bool ScrollBarMouse(HWND window, UINT message, LPARAM lParam) {
  bool pressed = Pressed.window == window;
  int x = static_cast<SHORT>(LOWORD(lParam));
  int y = static_cast<SHORT>(HIWORD(lParam));
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      if (pressed) return true;
      DWORD style = 0;
      {
        Lock lock(S().mutex);
        auto w = Find(window);
        if (!w) return false;
        style = w->style;
      }
      if (!(style & (WS_VSCROLL | WS_HSCROLL))) return false;
      return Press(window, x, y);
    }
    case WM_MOUSEMOVE:
      if (pressed) Drag(window, x, y);
      return pressed;
    case WM_LBUTTONUP:
      if (pressed) Release(window);
      return pressed;
    default:
      return false;
  }
}

LRESULT ScrollBarWheel(HWND window, WPARAM wParam) {
  DWORD style = 0;
  {
    Lock lock(S().mutex);
    auto w = Find(window);
    if (!w) return 0;
    style = w->style;
  }
  bool vertical = (style & WS_VSCROLL) != 0;
  if (!vertical && !(style & WS_HSCROLL)) {
    // A window without bars hands the wheel to its parent, whose content
    // may scroll.
    HWND parent = ParentOf(window);
    return parent ? SendMessageA(parent, WM_MOUSEWHEEL, wParam, 0) : 0;
  }
  // Each notch of the wheel is three lines.
  int delta = static_cast<SHORT>(HIWORD(wParam));
  int lines = delta / WHEEL_DELTA * 3;
  for (int i = 0; i < std::abs(lines); ++i)
    Send(window, vertical, lines > 0 ? SB_LINEUP : SB_LINEDOWN);
  if (lines) Send(window, vertical, SB_ENDSCROLL);
  return 0;
}

void PaintScrollBars(HWND window) {
  BarLayout layouts[2];
  int count = 0;
  for (bool vertical : {true, false})
    if (LayoutBar(window, vertical, &layouts[count])) ++count;
  if (!count) return;
  HDC dc = vt::gdi::CreateFrameDC(window);
  for (int i = 0; i < count; ++i) DrawBar(dc, layouts[i]);
  if (count == 2) {
    RECT corner{layouts[0].rect.left, layouts[1].rect.top,
                layouts[0].rect.right, layouts[1].rect.bottom};
    FillRect(dc, &corner, GetSysColorBrush(COLOR_BTNFACE));
  }
  vt::gdi::ReleaseWindowDC(dc);
}

}  // namespace vt::user

using namespace vt::user;

int SetScrollInfo(HWND window, int bar, LPCSCROLLINFO info, BOOL redraw) {
  if (!info) return 0;
  int position = 0;
  {
    Lock lock(S().mutex);
    auto w = Find(window);
    ScrollBarState* s = w ? BarOf(*w, bar) : nullptr;
    if (!s) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    if (info->fMask & SIF_RANGE) {
      s->minimum = info->nMin;
      s->maximum = std::max(info->nMin, info->nMax);
    }
    if (info->fMask & SIF_PAGE) s->page = info->nPage;
    if (info->fMask & SIF_POS) s->position = info->nPos;
    // The page is never more than the range, and the position stays where
    // the last page just shows.
    long long range = static_cast<long long>(s->maximum) - s->minimum + 1;
    if (static_cast<long long>(s->page) > range)
      s->page = static_cast<UINT>(range);
    s->position = std::clamp(s->position, s->minimum, LastPosition(*s));
    position = s->position;
  }
  if (redraw) InvalidateBar(window);
  return position;
}

BOOL GetScrollInfo(HWND window, int bar, LPSCROLLINFO info) {
  if (!info) return FALSE;
  Lock lock(S().mutex);
  auto w = Find(window);
  ScrollBarState* s = w ? BarOf(*w, bar) : nullptr;
  if (!s) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (info->fMask & SIF_RANGE) {
    info->nMin = s->minimum;
    info->nMax = s->maximum;
  }
  if (info->fMask & SIF_PAGE) info->nPage = s->page;
  if (info->fMask & SIF_POS) info->nPos = s->position;
  if (info->fMask & SIF_TRACKPOS) info->nTrackPos = s->trackPosition;
  return TRUE;
}

int SetScrollPos(HWND window, int bar, int position, BOOL redraw) {
  int previous = GetScrollPos(window, bar);
  SCROLLINFO info{sizeof info, SIF_POS, 0, 0, 0, position, 0};
  SetScrollInfo(window, bar, &info, redraw);
  return previous;
}

int GetScrollPos(HWND window, int bar) {
  SCROLLINFO info{sizeof info, SIF_POS, 0, 0, 0, 0, 0};
  return GetScrollInfo(window, bar, &info) ? info.nPos : 0;
}

BOOL SetScrollRange(HWND window, int bar, int minimum, int maximum,
                    BOOL redraw) {
  if (bar != SB_VERT && bar != SB_HORZ) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  SCROLLINFO info{sizeof info, SIF_RANGE, minimum, maximum, 0, 0, 0};
  SetScrollInfo(window, bar, &info, redraw);
  return IsWindow(window);
}

BOOL GetScrollRange(HWND window, int bar, LPINT minimum, LPINT maximum) {
  SCROLLINFO info{sizeof info, SIF_RANGE, 0, 0, 0, 0, 0};
  if (!GetScrollInfo(window, bar, &info)) return FALSE;
  if (minimum) *minimum = info.nMin;
  if (maximum) *maximum = info.nMax;
  return TRUE;
}

BOOL ShowScrollBar(HWND window, int bar, BOOL show) {
  DWORD bits = 0;
  if (bar == SB_VERT || bar == SB_BOTH) bits |= WS_VSCROLL;
  if (bar == SB_HORZ || bar == SB_BOTH) bits |= WS_HSCROLL;
  if (!bits) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  bool changed = false;
  {
    Lock lock(S().mutex);
    auto w = Find(window);
    if (!w) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    DWORD style = show ? (w->style | bits) : (w->style & ~bits);
    changed = style != w->style;
    w->style = style;
  }
  if (changed) {
    // The client area grew or shrank by the bar: the window lays itself out
    // again and paints it all.
    RECT client{};
    GetClientRect(window, &client);
    SendMessageA(window, WM_SIZE, 0, MAKELPARAM(client.right, client.bottom));
    InvalidateRect(window, nullptr, TRUE);
  }
  return TRUE;
}
