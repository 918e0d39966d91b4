// The text helpers several platform modules share, among them the two
// rules for comparing names without regard to case: ASCII only (service
// names, help topics, registry roots, font faces), and the letters of
// Windows-1252 (window classes and titles, mnemonics, list-box search), as
// the target system's user interface folds its ANSI text.
#pragma once

#include <string>
#include <string_view>

namespace vt::platform {

// --- ASCII ------------------------------------------------------------------

inline char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string LowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = LowerAscii(c);
  return out;
}

inline bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

// --- Windows-1252 -----------------------------------------------------------

// The letters are ASCII's, the Latin-1 range (without the multiplication
// and division signs), and the five the code page adds in 0x80-0x9F.
inline char LowerWindows1252(char c) {
  auto u = static_cast<unsigned char>(c);
  if (u >= 'A' && u <= 'Z') return static_cast<char>(u + 0x20);
  if (u >= 0xC0 && u <= 0xDE && u != 0xD7) return static_cast<char>(u + 0x20);
  switch (u) {
    case 0x8A:  // Š
    case 0x8C:  // Œ
    case 0x8E:  // Ž
      return static_cast<char>(u + 0x10);
    case 0x9F:  // Ÿ
      return static_cast<char>(0xFF);
    default:
      return c;
  }
}

inline char UpperWindows1252(char c) {
  auto u = static_cast<unsigned char>(c);
  if (u >= 'a' && u <= 'z') return static_cast<char>(u - 0x20);
  if (u >= 0xE0 && u <= 0xFE && u != 0xF7) return static_cast<char>(u - 0x20);
  switch (u) {
    case 0x9A:
    case 0x9C:
    case 0x9E:
      return static_cast<char>(u - 0x10);
    case 0xFF:
      return static_cast<char>(0x9F);
    default:
      return c;
  }
}

inline bool EqualNoCaseWindows1252(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerWindows1252(a[i]) != LowerWindows1252(b[i])) return false;
  }
  return true;
}

}  // namespace vt::platform
