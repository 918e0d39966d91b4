#include <gtest/gtest.h>

#include <string>

#include "platform/internal/platform.h"

namespace {

using vt::platform::AnsiToUtf8;
using vt::platform::Utf8ToAnsi;

TEST(CodePage, IsWindows1252) { EXPECT_EQ(GetACP(), 1252u); }

TEST(CodePage, EveryByteSurvivesTheRoundTrip) {
  std::string all;
  for (int byte = 0; byte < 256; ++byte) all += static_cast<char>(byte);
  const std::string utf8 = AnsiToUtf8(all);
  EXPECT_EQ(Utf8ToAnsi(utf8), all);
  // Each byte is one character: the UTF-8 form decodes back byte for byte
  // also when converted one character at a time.
  for (int byte = 0; byte < 256; ++byte) {
    const std::string one(1, static_cast<char>(byte));
    EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(one)), one) << "byte " << byte;
  }
}

TEST(CodePage, MapsTheBytesThatDifferFromLatin1) {
  // Columns: ANSI byte, its UTF-8 form.
  const struct {
    unsigned char ansi;
    const char* utf8;
  } cases[] = {
      {0x80, "\xE2\x82\xAC"},  // euro sign
      {0x81, "\xC2\x81"},      // the five bytes 1252 leaves undefined
      {0x8D, "\xC2\x8D"},     {0x8F, "\xC2\x8F"}, {0x90, "\xC2\x90"},
      {0x9D, "\xC2\x9D"},     {0x8A, "\xC5\xA0"},  // S with caron
      {0x93, "\xE2\x80\x9C"},                      // left double quotation mark
      {0x99, "\xE2\x84\xA2"},                      // trade mark sign
      {0x9F, "\xC5\xB8"},                          // Y with diaeresis
      {0xA0, "\xC2\xA0"},     {0xE9, "\xC3\xA9"},  // e with acute
      {0xFF, "\xC3\xBF"},     {'A', "A"},
  };
  for (const auto& c : cases) {
    const std::string ansi(1, static_cast<char>(c.ansi));
    EXPECT_EQ(AnsiToUtf8(ansi), c.utf8) << std::hex << int{c.ansi};
    EXPECT_EQ(Utf8ToAnsi(c.utf8), ansi) << std::hex << int{c.ansi};
  }
}

TEST(CodePage, WhatCannotBeShownBecomesAQuestionMark) {
  // Columns: UTF-8 input, ANSI result.
  const struct {
    const char* utf8;
    const char* ansi;
  } cases[] = {
      {"\xCE\xA9", "?"},             // Greek capital omega
      {"\xE6\x97\xA5x", "?x"},       // a CJK character
      {"\xF0\x9F\x98\x80!", "?!"},   // an emoji, four bytes
      {"\xC2\x80", "?"},             // U+0080 has no byte in 1252
      {"a\xC3", "a?"},               // cut short at the end
      {"\xC3(", "?("},               // lead byte without continuation
      {"\xFF\xFE", "??"},            // never valid in UTF-8
      {"\xC0\xAF", "??"},            // overlong slash
      {"\xED\xA0\x80", "???"},       // a surrogate
      {"\xF4\x90\x80\x80", "????"},  // beyond U+10FFFF
      {"caf\xC3\xA9", "caf\xE9"},    // valid text is untouched
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8ToAnsi(c.utf8), c.ansi) << c.utf8;
  }
}

TEST(CodePage, ZeroBytesPassThrough) {
  const std::string text("a\0b", 3);
  EXPECT_EQ(AnsiToUtf8(text), text);
  EXPECT_EQ(Utf8ToAnsi(text), text);
}

}  // namespace
