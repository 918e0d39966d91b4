// The process plumbing's own failure path: when no folder for a child's
// output can be made, nothing is started and nothing outside is touched.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "child_process.h"

namespace {

TEST(ChildProcess, WithoutAnOutputFolderNothingStarts) {
  const char* previous = std::getenv("TMPDIR");
  std::string saved = previous != nullptr ? previous : "";
  // No folder can be made in /proc, not even by root.
  setenv("TMPDIR", "/proc", 1);
  {
    vt::proctest::ChildOptions options;
    options.argv = {"/bin/true"};
    vt::proctest::Child child(options);
    EXPECT_FALSE(child.started());
    EXPECT_FALSE(child.Running());
    EXPECT_EQ(child.Stdout(), "");
  }
  if (previous != nullptr) {
    setenv("TMPDIR", saved.c_str(), 1);
  } else {
    unsetenv("TMPDIR");
  }
}

}  // namespace
