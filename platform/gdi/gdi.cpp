// The drawing interface: device contexts, fonts, brushes, text layout, and
// the drawing calls, each passed on to the driver.
//
// gdi keeps no pixels. A device context remembers its window and its
// colours, font and pen position; every drawing call works out what to draw
// (text lines, the two bevels of an edge, a rectangle's colour) and hands it
// to the driver in the window's client coordinates. The headless driver
// draws nothing, so what matters there are the metrics, which dialogs use
// for their base units.
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/gdi/gdi_internal.h"
#include "platform/internal/no_destroy.h"
#include "platform/internal/text.h"

namespace vt::gdi {

namespace {

enum class Kind { Font, Brush, Pen };

struct Object {
  explicit Object(Kind k) : kind(k) {}
  Kind kind;
};

struct Font : Object {
  Font() : Object(Kind::Font) {}
  platform::FontSpec fontSpec;
  platform::FontMetrics metrics;
};

struct Brush : Object {
  Brush() : Object(Kind::Brush) {}
  COLORREF color = 0;
  bool stock = false;
};

struct DeviceContext {
  HWND window = nullptr;
  COLORREF text = RGB(0, 0, 0);
  COLORREF background = RGB(0xFF, 0xFF, 0xFF);
  int backgroundMode = OPAQUE;
  HFONT font = nullptr;
  HBRUSH brush = nullptr;
  HPEN pen = nullptr;
  POINT position{0, 0};
  // Client pixels drawing may touch: the update area between BeginPaint
  // and EndPaint, else the whole client area.
  RECT clip{};
  bool painting = false;
  bool frame = false;
};

struct Tables {
  std::mutex mutex;
  std::map<std::string, std::unique_ptr<Font>> fonts;
  std::set<Object*> live;
  std::vector<std::unique_ptr<Brush>> brushes;
  std::map<int, std::unique_ptr<Brush>> systemBrushes;
  std::map<std::uintptr_t, DeviceContext> dcs;
  std::uintptr_t nextDc = 0x4000;
};

Tables& T() {
  static platform::NoDestroy<Tables> tables;
  return tables.get();
}

using Lock = std::lock_guard<std::mutex>;

DeviceContext* FindDc(HDC dc) {
  auto it = T().dcs.find(reinterpret_cast<std::uintptr_t>(dc));
  return it == T().dcs.end() ? nullptr : &it->second;
}

// Sets one field of a context and returns what it held, or failed when dc
// is no context.
template <typename Value>
Value Exchange(HDC dc, Value DeviceContext::*field, Value value, Value failed) {
  Lock lock(T().mutex);
  DeviceContext* d = FindDc(dc);
  if (!d) return failed;
  return std::exchange(d->*field, value);
}

// What the colour setters return for a bad context.
constexpr COLORREF kInvalidColor = 0xFFFFFFFFu;

// A copy of the context, so the driver is called without gdi's lock.
bool Snapshot(HDC dc, DeviceContext* out) {
  Lock lock(T().mutex);
  DeviceContext* found = FindDc(dc);
  if (!found) return false;
  *out = *found;
  return true;
}

// A brush handle may also be a system colour index plus one, as class
// backgrounds give it.
bool BrushColor(HBRUSH brush, COLORREF* color) {
  auto value = reinterpret_cast<std::uintptr_t>(brush);
  if (value > 0 && value <= 64) {
    *color = GetSysColor(static_cast<int>(value - 1));
    return true;
  }
  Lock lock(T().mutex);
  auto* object = reinterpret_cast<Object*>(brush);
  if (!T().live.count(object) || object->kind != Kind::Brush) return false;
  *color = static_cast<Brush*>(object)->color;
  return true;
}

int TextWidth(HFONT font, std::string_view text) {
  return platform::TheDriver().textWidth(SpecOf(font), text);
}

platform::DrawTarget TargetOf(const DeviceContext& d) {
  return platform::DrawTarget{d.window, d.clip, d.frame};
}

RECT Intersection(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top),
         std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

HDC NewContext(HWND window, const RECT* update, bool frame = false) {
  HFONT font =
      window ? reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0))
             : nullptr;
  DeviceContext dc;
  dc.window = window;
  dc.font = font;
  dc.frame = frame;
  if (update) {
    dc.clip = *update;
    // A frame context is drawn inside its window's paint, which ends it.
    dc.painting = !frame;
  } else if (window) {
    GetClientRect(window, &dc.clip);
  } else {
    dc.clip = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN),
                   GetSystemMetrics(SM_CYSCREEN)};
  }
  Lock lock(T().mutex);
  auto handle = T().nextDc;
  T().nextDc += 4;
  T().dcs[handle] = dc;
  return reinterpret_cast<HDC>(handle);
}

// Where the mnemonic (the letter after a single &) falls in the text with
// its prefixes removed, or npos when it has none.
std::size_t MnemonicIndex(std::string_view text) {
  std::size_t shown = 0;
  for (std::size_t i = 0; i < text.size(); ++i, ++shown) {
    if (text[i] != '&') continue;
    if (i + 1 < text.size() && text[i + 1] == '&') {
      ++i;
      continue;
    }
    return i + 1 < text.size() ? shown : std::string_view::npos;
  }
  return std::string_view::npos;
}

// Removes the & prefixes ("&&" stays as one "&").
std::string WithoutPrefixes(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&') {
      if (i + 1 < text.size() && text[i + 1] == '&') {
        out += '&';
        ++i;
      }
      continue;
    }
    out += text[i];
  }
  return out;
}

// Splits text into lines as DrawTextA lays it out.
std::vector<std::string> Lines(HFONT font, std::string_view text, UINT format,
                               int width) {
  std::vector<std::string> lines;
  if (format & DT_SINGLELINE) {
    std::string line;
    for (char c : text)
      if (c != '\r' && c != '\n') line += c;
    lines.push_back(line);
    return lines;
  }
  std::string current;
  auto flush = [&] {
    lines.push_back(current);
    current.clear();
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r') continue;
    if (c == '\n') {
      flush();
      continue;
    }
    if (c == '\t' && (format & DT_EXPANDTABS)) {
      current.append(8 - current.size() % 8, ' ');
      continue;
    }
    current += c;
    if ((format & DT_WORDBREAK) && width > 0 &&
        TextWidth(font, current) > width) {
      auto space = current.rfind(' ');
      if (space != std::string::npos && space > 0) {
        std::string rest = current.substr(space + 1);
        current.resize(space);
        flush();
        current = rest;
      }
    }
  }
  flush();
  return lines;
}

}  // namespace

HFONT CreateFontObject(std::string_view face, int pointSize, int weight) {
  std::string key = platform::LowerAscii(face) + "/" +
                    std::to_string(pointSize) + "/" + std::to_string(weight);
  {
    Lock lock(T().mutex);
    auto it = T().fonts.find(key);
    if (it != T().fonts.end()) return reinterpret_cast<HFONT>(it->second.get());
  }
  auto font = std::make_unique<Font>();
  font->fontSpec.face = std::string(face);
  font->fontSpec.pointSize = pointSize;
  font->fontSpec.weight = weight;
  font->metrics = platform::TheDriver().fontMetrics(font->fontSpec);
  Lock lock(T().mutex);
  auto& slot = T().fonts[key];
  if (!slot) {
    T().live.insert(font.get());
    slot = std::move(font);
  }
  return reinterpret_cast<HFONT>(slot.get());
}

HFONT SystemFont() { return CreateFontObject("MS Sans Serif", 8, 400); }

platform::FontMetrics MetricsOf(HFONT font) {
  if (!font) font = SystemFont();
  Lock lock(T().mutex);
  auto* object = reinterpret_cast<Object*>(font);
  if (!T().live.count(object) || object->kind != Kind::Font) {
    return platform::FontMetrics{};
  }
  return static_cast<Font*>(object)->metrics;
}

platform::FontSpec SpecOf(HFONT font) {
  if (!font) return platform::FontSpec{};
  Lock lock(T().mutex);
  auto* object = reinterpret_cast<Object*>(font);
  if (!T().live.count(object) || object->kind != Kind::Font)
    return platform::FontSpec{};
  return static_cast<Font*>(object)->fontSpec;
}

HDC CreateWindowDC(HWND window) { return NewContext(window, nullptr); }

HDC CreateFrameDC(HWND window) {
  RECT whole{};
  GetClientRect(window, &whole);
  RECT outer{};
  GetWindowRect(window, &outer);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  RECT inFrame{outer.left - origin.x, outer.top - origin.y,
               outer.right - origin.x, outer.bottom - origin.y};
  return NewContext(window, &inFrame, true);
}

HDC CreatePaintDC(HWND window, const RECT& update) {
  platform::TheDriver().beginPaint(window, update);
  return NewContext(window, &update);
}

void ReleaseWindowDC(HDC dc) {
  DeviceContext released;
  {
    Lock lock(T().mutex);
    auto it = T().dcs.find(reinterpret_cast<std::uintptr_t>(dc));
    if (it == T().dcs.end()) return;
    released = it->second;
    T().dcs.erase(it);
  }
  if (released.painting) platform::TheDriver().endPaint(released.window);
}

HWND WindowOfDC(HDC dc) {
  Lock lock(T().mutex);
  DeviceContext* found = FindDc(dc);
  return found ? found->window : nullptr;
}

bool DrawBitmapAt(HDC dc, int x, int y, HBITMAP bitmap) {
  DeviceContext d;
  if (!bitmap || !Snapshot(dc, &d)) return false;
  platform::TheDriver().drawBitmap(TargetOf(d), x, y, bitmap);
  return true;
}

}  // namespace vt::gdi

using namespace vt::gdi;

BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics) {
  DeviceContext d;
  if (!metrics || !Snapshot(dc, &d)) return FALSE;
  auto m = MetricsOf(d.font);
  metrics->tmHeight = m.height;
  metrics->tmAscent = m.ascent;
  metrics->tmDescent = m.descent;
  metrics->tmInternalLeading = 0;
  metrics->tmExternalLeading = 0;
  metrics->tmAveCharWidth = m.averageCharWidth;
  metrics->tmMaxCharWidth = m.maxCharWidth;
  return TRUE;
}

BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int length, SIZE* size) {
  DeviceContext d;
  if (!size || !Snapshot(dc, &d) || (!text && length > 0) || length < 0)
    return FALSE;
  std::string_view s(text ? text : "", static_cast<std::size_t>(length));
  size->cx = TextWidth(d.font, s);
  size->cy = MetricsOf(d.font).height;
  return TRUE;
}

COLORREF SetTextColor(HDC dc, COLORREF color) {
  return Exchange(dc, &DeviceContext::text, color, kInvalidColor);
}

COLORREF SetBkColor(HDC dc, COLORREF color) {
  return Exchange(dc, &DeviceContext::background, color, kInvalidColor);
}

int SetBkMode(HDC dc, int mode) {
  if (mode != TRANSPARENT && mode != OPAQUE) return 0;
  return Exchange(dc, &DeviceContext::backgroundMode, mode, 0);
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
  DeviceContext d;
  COLORREF color;
  if (!rect || !Snapshot(dc, &d) || !BrushColor(brush, &color)) return 0;
  vt::platform::TheDriver().fillRect(TargetOf(d), *rect, color);
  return 1;
}

BOOL DrawEdge(HDC dc, LPRECT rect, UINT edge, UINT flags) {
  DeviceContext d;
  if (!rect || !Snapshot(dc, &d)) return FALSE;
  const auto& driver = vt::platform::TheDriver();
  RECT r = *rect;
  // Outer bevel, then inner: each its colour above and left, then below
  // and right. A sunken bevel is not a raised one mirrored: its grey lies
  // outside its black, so a sunken edit and an etched line read as cut in.
  auto bevel = [&](COLORREF topLeft, COLORREF bottomRight) {
    if (flags & BF_TOP)
      driver.drawLine(TargetOf(d), r.left, r.top, r.right - 1, r.top, topLeft);
    if (flags & BF_LEFT)
      driver.drawLine(TargetOf(d), r.left, r.top, r.left, r.bottom - 1,
                      topLeft);
    // A line stops short of its end point, so the dark sides end one
    // beyond the rectangle to take in the bottom-right corner.
    if (flags & BF_BOTTOM)
      driver.drawLine(TargetOf(d), r.left, r.bottom - 1, r.right, r.bottom - 1,
                      bottomRight);
    if (flags & BF_RIGHT)
      driver.drawLine(TargetOf(d), r.right - 1, r.top, r.right - 1, r.bottom,
                      bottomRight);
    if (flags & BF_LEFT) ++r.left;
    if (flags & BF_TOP) ++r.top;
    if (flags & BF_RIGHT) --r.right;
    if (flags & BF_BOTTOM) --r.bottom;
  };
  if (edge & BDR_RAISEDOUTER)
    bevel(GetSysColor(COLOR_3DLIGHT), GetSysColor(COLOR_3DDKSHADOW));
  else if (edge & BDR_SUNKENOUTER)
    bevel(GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT));
  if (edge & BDR_RAISEDINNER)
    bevel(GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_BTNSHADOW));
  else if (edge & BDR_SUNKENINNER)
    bevel(GetSysColor(COLOR_3DDKSHADOW), GetSysColor(COLOR_3DLIGHT));
  return TRUE;
}

BOOL DrawFocusRect(HDC dc, const RECT* rect) {
  DeviceContext d;
  if (!rect || !Snapshot(dc, &d)) return FALSE;
  const auto& driver = vt::platform::TheDriver();
  // Every other pixel of the rectangle's outline, in the text colour, as
  // one-pixel squares: the driver draws no patterns.
  auto dot = [&](int x, int y) {
    driver.fillRect(TargetOf(d), RECT{x, y, x + 1, y + 1}, d.text);
  };
  const RECT& r = *rect;
  for (int x = r.left; x < r.right; x += 2) {
    dot(x, r.top);
    dot(x, r.bottom - 1);
  }
  for (int y = r.top + 2; y < r.bottom - 1; y += 2) {
    dot(r.left, y);
    dot(r.right - 1, y);
  }
  return TRUE;
}

int DrawTextA(HDC dc, LPCSTR text, int length, LPRECT rect, UINT format) {
  DeviceContext d;
  if (!rect || !Snapshot(dc, &d)) return 0;
  if (!text) text = "";
  std::size_t n =
      length < 0 ? std::strlen(text) : static_cast<std::size_t>(length);
  std::string shown(text, n);
  std::size_t mnemonic = std::string::npos;
  if (!(format & DT_NOPREFIX)) {
    mnemonic = MnemonicIndex(shown);
    shown = WithoutPrefixes(shown);
  }
  int width = rect->right - rect->left;
  auto lines = Lines(d.font, shown, format, width);
  int lineHeight = MetricsOf(d.font).height;
  int total = lineHeight * static_cast<int>(lines.size());
  if (format & DT_CALCRECT) {
    int widest = 0;
    for (auto& line : lines) widest = std::max(widest, TextWidth(d.font, line));
    rect->right = rect->left + widest;
    rect->bottom = rect->top + total;
    return total;
  }
  int y = rect->top;
  if (format & DT_SINGLELINE) {
    if (format & DT_VCENTER)
      y = rect->top + (rect->bottom - rect->top - lineHeight) / 2;
    if (format & DT_BOTTOM) y = rect->bottom - lineHeight;
  }
  const auto& driver = vt::platform::TheDriver();
  vt::platform::DrawTarget target = TargetOf(d);
  if (!(format & DT_NOCLIP)) target.clip = Intersection(target.clip, *rect);
  vt::platform::FontSpec fontSpec = SpecOf(d.font);
  for (auto& line : lines) {
    int w = TextWidth(d.font, line);
    int x = rect->left;
    if (format & DT_CENTER) x = rect->left + (width - w) / 2;
    if (format & DT_RIGHT) x = rect->right - w;
    driver.drawText(target, x, y, line, fontSpec, d.text,
                    d.backgroundMode == OPAQUE, d.background);
    // The mnemonic's letter is underlined, a pixel below the baseline, on
    // a line laid out whole.
    if (mnemonic < line.size() && lines.size() == 1 && line == shown) {
      int from =
          x + TextWidth(d.font, std::string_view(line).substr(0, mnemonic));
      int to =
          x + TextWidth(d.font, std::string_view(line).substr(0, mnemonic + 1));
      int under = y + MetricsOf(d.font).ascent + 1;
      driver.drawLine(target, from, under, to, under, d.text);
    }
    y += lineHeight;
  }
  return total;
}

BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int length) {
  DeviceContext d;
  if (!Snapshot(dc, &d) || (!text && length > 0) || length < 0) return FALSE;
  vt::platform::TheDriver().drawText(
      TargetOf(d), x, y,
      std::string_view(text ? text : "", static_cast<std::size_t>(length)),
      SpecOf(d.font), d.text, d.backgroundMode == OPAQUE, d.background);
  return TRUE;
}

BOOL DrawIcon(HDC dc, int x, int y, HICON icon) {
  DeviceContext d;
  if (!icon || !Snapshot(dc, &d)) return FALSE;
  vt::platform::TheDriver().drawIcon(TargetOf(d), x, y, icon);
  return TRUE;
}

BOOL MoveToEx(HDC dc, int x, int y, LPPOINT previous) {
  std::lock_guard<std::mutex> lock(T().mutex);
  DeviceContext* d = FindDc(dc);
  if (!d) return FALSE;
  if (previous) *previous = d->position;
  d->position = POINT{x, y};
  return TRUE;
}

BOOL LineTo(HDC dc, int x, int y) {
  DeviceContext d;
  {
    std::lock_guard<std::mutex> lock(T().mutex);
    DeviceContext* found = FindDc(dc);
    if (!found) return FALSE;
    d = *found;
    found->position = POINT{x, y};
  }
  vt::platform::TheDriver().drawLine(TargetOf(d), d.position.x, d.position.y, x,
                                     y, d.text);
  return TRUE;
}

HBRUSH CreateSolidBrush(COLORREF color) {
  auto brush = std::make_unique<Brush>();
  brush->color = color;
  std::lock_guard<std::mutex> lock(T().mutex);
  T().live.insert(brush.get());
  T().brushes.push_back(std::move(brush));
  return reinterpret_cast<HBRUSH>(T().brushes.back().get());
}

HBRUSH GetSysColorBrush(int index) {
  std::lock_guard<std::mutex> lock(T().mutex);
  auto& slot = T().systemBrushes[index];
  if (!slot) {
    slot = std::make_unique<Brush>();
    slot->color = GetSysColor(index);
    slot->stock = true;
    T().live.insert(slot.get());
  }
  return reinterpret_cast<HBRUSH>(slot.get());
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  std::lock_guard<std::mutex> lock(T().mutex);
  DeviceContext* d = FindDc(dc);
  auto* o = static_cast<Object*>(object);
  if (!d || !T().live.count(o)) return nullptr;
  HGDIOBJ previous = nullptr;
  switch (o->kind) {
    case Kind::Font:
      previous = d->font;
      d->font = static_cast<HFONT>(object);
      break;
    case Kind::Brush:
      previous = d->brush;
      d->brush = static_cast<HBRUSH>(object);
      break;
    case Kind::Pen:
      previous = d->pen;
      d->pen = static_cast<HPEN>(object);
      break;
  }
  return previous;
}

BOOL DeleteObject(HGDIOBJ object) {
  std::lock_guard<std::mutex> lock(T().mutex);
  auto* o = static_cast<Object*>(object);
  if (!T().live.count(o)) return FALSE;
  // Fonts are shared by every dialog of their face and size, and stock
  // brushes by everyone: both stay.
  if (o->kind != Kind::Brush || static_cast<Brush*>(o)->stock) return TRUE;
  auto& brushes = T().brushes;
  for (auto it = brushes.begin(); it != brushes.end(); ++it) {
    if (it->get() == o) {
      T().live.erase(o);
      brushes.erase(it);
      return TRUE;
    }
  }
  return FALSE;
}
