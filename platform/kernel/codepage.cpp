// The ANSI code page, Windows-1252, and its conversion to and from UTF-8.
//
// A fixed 256-entry table rather than iconv: iconv refuses the five bytes
// that 1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D), and the program
// must be able to carry any byte through a file name or a user name. Those
// five map to the C1 control characters of the same value, so every byte
// survives a round trip. What 1252 cannot show becomes '?', as the target
// system's best-fit conversion does for a character it has no byte for.
#include <array>
#include <string>
#include <string_view>

#include "platform/internal/platform.h"

namespace vt::platform {
namespace {

// Columns: the code points of the bytes 0x80 to 0x9F; everything else in
// 1252 is the same as Latin-1.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char32_t CodePointOf(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
  return byte;
}

// The byte for a code point, or '?' when 1252 has none.
char ByteOf(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  for (std::size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == cp) return static_cast<char>(0x80 + i);
  }
  return '?';
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    // Nothing in 1252 lies beyond the Basic Multilingual Plane.
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes one well-formed UTF-8 sequence at text[i], advancing i past it.
// Overlong forms, surrogates and values beyond U+10FFFF are not well formed:
// then only the first byte is consumed, and the caller shows it as '?'.
bool DecodeUtf8(std::string_view text, std::size_t& i, char32_t& cp) {
  const auto lead = static_cast<unsigned char>(text[i]);
  int extra = 0;
  char32_t min = 0;
  if (lead < 0x80) {
    cp = lead;
    ++i;
    return true;
  } else if ((lead & 0xE0) == 0xC0) {
    extra = 1;
    cp = lead & 0x1F;
    min = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2;
    cp = lead & 0x0F;
    min = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3;
    cp = lead & 0x07;
    min = 0x10000;
  } else {
    ++i;
    return false;
  }
  if (i + static_cast<std::size_t>(extra) >= text.size()) {
    ++i;
    return false;
  }
  for (int k = 1; k <= extra; ++k) {
    const auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) {
      ++i;
      return false;
    }
    cp = (cp << 6) | (next & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return false;
  }
  i += static_cast<std::size_t>(extra) + 1;
  return true;
}

}  // namespace

std::string AnsiToUtf8(std::string_view ansi) {
  std::string out;
  out.reserve(ansi.size());
  for (const char c : ansi) {
    AppendUtf8(out, CodePointOf(static_cast<unsigned char>(c)));
  }
  return out;
}

std::string Utf8ToAnsi(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    char32_t cp = 0;
    out += DecodeUtf8(utf8, i, cp) ? ByteOf(cp) : '?';
  }
  return out;
}

}  // namespace vt::platform

UINT GetACP() { return 1252; }
