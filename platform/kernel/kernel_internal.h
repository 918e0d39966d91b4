// What the kernel's own sources share and no other module needs.
#pragma once

#include <string>

namespace vt::platform {

enum class PathState { Found, NotFound, FolderMissing };
struct ResolvedPath {
  std::string path;  // the name as it exists, or as given when it does not
  PathState state;
};
// Finds a UTF-8 path as it is or, failing that, its last part without
// regard to case in its folder.
ResolvedPath ResolvePath(const std::string& utf8);

}  // namespace vt::platform
