// A system root of the test's own: a fresh folder that VELLUMTIDE_ROOT
// names while the object lives. Roots nest: each restores exactly what it
// found, so a test may make one inside the one the test main gave it.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "vttest.h"

namespace vt::testing {

ScopedSystemRoot::ScopedSystemRoot() {
  if (const char* previous = std::getenv("VELLUMTIDE_ROOT")) {
    previous_ = previous;
    hadPrevious_ = true;
  }
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern =
      std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/vt-root-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (mkdtemp(name.data()) == nullptr) {
    std::perror("ScopedSystemRoot: mkdtemp");
    std::abort();
  }
  path_ = name.data();
  setenv("VELLUMTIDE_ROOT", path_.c_str(), 1);
}

ScopedSystemRoot::~ScopedSystemRoot() {
  if (hadPrevious_) {
    setenv("VELLUMTIDE_ROOT", previous_.c_str(), 1);
  } else {
    unsetenv("VELLUMTIDE_ROOT");
  }
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void ScopedSystemRoot::WriteServices(const std::string& lines) const {
  std::ofstream out(path_ + "/services", std::ios::trunc);
  out << lines;
  if (!lines.empty() && lines.back() != '\n') out << '\n';
}

}  // namespace vt::testing
