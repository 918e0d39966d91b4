// What the kernel's own sources share and no other module needs.
#pragma once

#include <string>
#include <string_view>

namespace vt::platform {

// A name folded for comparison without regard to case, as the target file
// system compares: ASCII and the letters of Windows-1252, in UTF-8.
std::string FoldUtf8(std::string_view name);

enum class PathState { Found, NotFound, FolderMissing };
struct ResolvedPath {
  std::string path;  // the name as it exists, or as given when it does not
  PathState state;
};
// Finds a UTF-8 path as it is or, failing that, its last part without
// regard to case in its folder.
ResolvedPath ResolvePath(const std::string& utf8);

}  // namespace vt::platform
