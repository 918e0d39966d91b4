// The United States keyboard layout, which the headless driver gives its
// keys: what a key types, and which key types a character.
#pragma once

#include <windows.h>

#include <utility>

#include "platform/internal/driver.h"

namespace vt::null_driver {

// The characters key gives with modifiers held (ModifierBits): letters,
// digits and punctuation, with Shift; control characters with Control.
platform::KeyCharacters UsLayoutCharacters(UINT virtualKey, unsigned modifiers);

// The key (and whether Shift is needed) that types c; key 0 when no key
// does.
std::pair<UINT, bool> UsLayoutKeyFor(char c);

}  // namespace vt::null_driver
