// Fonts through Xft and fontconfig.
//
// The program asks for the faces of its time; the desktop has metric
// twins of them. "MS Sans Serif" (and every other proportional face) opens
// as Liberation Sans, "Courier New" (and every fixed face) as Liberation
// Mono, at the pixel size the point size gives at 96 dots per inch: 8
// points are 11 pixels, where Liberation Sans has the same average
// character width (6) and height (13) as the original bitmap face, so
// dialogs laid out in dialog units come out the size they were designed.
#include <cmath>
#include <map>
#include <memory>
#include <tuple>

#include "platform/drivers/x11/x11_internal.h"
#include "platform/internal/no_destroy.h"
#include "platform/internal/text.h"

namespace vt::x11 {
namespace {

using Key = std::tuple<std::string, int, int, bool>;

struct Fonts {
  std::map<Key, std::unique_ptr<OpenedFont>> byRequest;
};

Fonts& F() {
  static vt::platform::NoDestroy<Fonts> fonts;
  return fonts.get();
}

bool IsFixedFace(std::string_view face) {
  for (std::string_view fixed :
       {"Courier New", "Courier", "Fixedsys", "Terminal", "Lucida Console"})
    if (vt::platform::EqualNoCase(face, fixed)) return true;
  return false;
}

// Text in the default font when no face is named.
constexpr std::string_view kDefaultFace = "MS Sans Serif";

}  // namespace

int PixelSizeOf(int pointSize) {
  // Negative sizes are character heights in pixels already.
  if (pointSize < 0) return -pointSize;
  return static_cast<int>(std::lround(pointSize * 96.0 / 72.0));
}

vt::platform::FontMetrics MetricsOf(XftFont* font) {
  vt::platform::FontMetrics m;
  m.ascent = font->ascent;
  m.descent = font->descent;
  m.height = font->ascent + font->descent;
  // The average width as the target measures it for dialog base units:
  // the 52 letters' width over 26, plus one, halved.
  static constexpr char kLetters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  XGlyphInfo extents;
  XftTextExtents8(X().display, font, reinterpret_cast<const FcChar8*>(kLetters),
                  52, &extents);
  m.averageCharWidth = (extents.xOff / 26 + 1) / 2;
  m.maxCharWidth = font->max_advance_width;
  int spacing = FC_PROPORTIONAL;
  FcPatternGetInteger(font->pattern, FC_SPACING, 0, &spacing);
  m.fixedPitch = spacing == FC_MONO;
  return m;
}

const OpenedFont* OpenFont(const vt::platform::FontSpec& fontSpec) {
  std::string_view face = fontSpec.face.empty() ? kDefaultFace : fontSpec.face;
  Key key{std::string(face), fontSpec.pointSize, fontSpec.weight,
          fontSpec.italic};
  auto& cache = F().byRequest;
  auto found = cache.find(key);
  if (found != cache.end()) return found->second.get();
  const char* family =
      IsFixedFace(face) ? "Liberation Mono" : "Liberation Sans";
  XftFont* font =
      XftFontOpen(X().display, X().screen, XFT_FAMILY, XftTypeString, family,
                  XFT_PIXEL_SIZE, XftTypeDouble,
                  static_cast<double>(PixelSizeOf(fontSpec.pointSize)),
                  XFT_WEIGHT, XftTypeInteger,
                  fontSpec.weight >= 600 ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR,
                  XFT_SLANT, XftTypeInteger,
                  fontSpec.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN, nullptr);
  if (!font) return nullptr;
  auto opened = std::make_unique<OpenedFont>();
  opened->font = font;
  opened->metrics = MetricsOf(font);
  const OpenedFont* result = opened.get();
  cache.emplace(std::move(key), std::move(opened));
  return result;
}

const OpenedFont* DefaultFont() { return OpenFont(vt::platform::FontSpec{}); }

int MeasureAnsi(const OpenedFont& font, std::string_view ansi) {
  if (ansi.empty()) return 0;
  std::string utf8 = vt::platform::AnsiToUtf8(ansi);
  XGlyphInfo extents;
  XftTextExtentsUtf8(X().display, font.font,
                     reinterpret_cast<const FcChar8*>(utf8.data()),
                     static_cast<int>(utf8.size()), &extents);
  return extents.xOff;
}

}  // namespace vt::x11
