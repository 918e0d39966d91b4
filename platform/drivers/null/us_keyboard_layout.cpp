// The United States keyboard layout of the headless driver. A desktop driver
// reports each key with the characters its own layout gives; headless, this
// table stands in for that layout, so tests type as a person would.
#include "platform/drivers/null/us_keyboard_layout.h"

namespace vt::null_driver {

namespace {

// Punctuation keys (the OEM virtual keys) and what they type.
struct SymbolKey {
  char plain;
  char shifted;
  UINT key;
};
constexpr SymbolKey kSymbolKeys[] = {
    {';', ':', 0xBA},  {'=', '+', 0xBB}, {',', '<', 0xBC}, {'-', '_', 0xBD},
    {'.', '>', 0xBE},  {'/', '?', 0xBF}, {'`', '~', 0xC0}, {'[', '{', 0xDB},
    {'\\', '|', 0xDC}, {']', '}', 0xDD}, {'\'', '"', 0xDE}};

constexpr char kShiftedDigits[] = ")!@#$%^&*(";

char CharacterOf(UINT key, unsigned modifiers) {
  bool shift = modifiers & platform::kShiftBit;
  // Control with Alt is the layout's third level, which this layout leaves
  // as the plain character.
  bool control =
      (modifiers & platform::kControlBit) && !(modifiers & platform::kAltBit);
  if (key >= 'A' && key <= 'Z') {
    if (control) return static_cast<char>(key - 'A' + 1);
    return static_cast<char>(shift ? key : key + 32);
  }
  if (control) return 0;
  if (key >= '0' && key <= '9') {
    return shift ? kShiftedDigits[key - '0'] : static_cast<char>(key);
  }
  for (const auto& symbol : kSymbolKeys) {
    if (key == symbol.key) return shift ? symbol.shifted : symbol.plain;
  }
  switch (key) {
    case VK_SPACE:
      return ' ';
    case VK_RETURN:
      return '\r';
    case VK_BACK:
      return '\b';
    case VK_TAB:
      return '\t';
    case VK_ESCAPE:
      return 0x1B;
    default:
      return 0;
  }
}

}  // namespace

platform::KeyCharacters UsLayoutCharacters(UINT virtualKey,
                                           unsigned modifiers) {
  platform::KeyCharacters out;
  if (char c = CharacterOf(virtualKey, modifiers)) out.text.assign(1, c);
  return out;
}

std::pair<UINT, bool> UsLayoutKeyFor(char c) {
  if (c >= 'a' && c <= 'z') return {static_cast<UINT>(c - 32), false};
  if (c >= 'A' && c <= 'Z') return {static_cast<UINT>(c), true};
  if (c >= '0' && c <= '9') return {static_cast<UINT>(c), false};
  for (int i = 0; i < 10; ++i) {
    if (c == kShiftedDigits[i]) return {static_cast<UINT>('0' + i), true};
  }
  for (const auto& symbol : kSymbolKeys) {
    if (c == symbol.plain) return {symbol.key, false};
    if (c == symbol.shifted) return {symbol.key, true};
  }
  switch (c) {
    case ' ':
      return {VK_SPACE, false};
    case '\r':
    case '\n':
      return {VK_RETURN, false};
    case '\t':
      return {VK_TAB, false};
    case '\b':
      return {VK_BACK, false};
    default:
      return {0, false};
  }
}

}  // namespace vt::null_driver
