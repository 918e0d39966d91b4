// Small text helpers that several platform modules share.
#pragma once

#include <cctype>
#include <string_view>

namespace vt::platform {

// Compares two names folding ASCII letters only, as service names, help
// topics and registry roots are compared.
inline bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace vt::platform
