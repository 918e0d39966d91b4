// Names and files: the user name, the Windows folder, the current folder,
// file attributes and deletion.
//
// Every path arrives in ANSI and is converted to UTF-8 for the OS. The
// target file system ignores case, so a name that does not exist exactly is
// looked for in its folder without regard to case (ResolvePath); only the
// last part of a path is matched that way.
#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/internal/platform.h"
#include "platform/kernel/kernel_internal.h"

namespace vt::platform {
namespace {

// A name folded for comparison without regard to case, as the target file
// system compares: ASCII and the letters of Windows-1252, in UTF-8.
std::string FoldUtf8(std::string_view name) {
  std::string out(name);
  for (std::size_t i = 0; i < out.size(); ++i) {
    auto c = static_cast<unsigned char>(out[i]);
    if (c >= 'A' && c <= 'Z') {
      out[i] = static_cast<char>(c + 32);
    } else if (i + 1 < out.size() && (c == 0xC3 || c == 0xC5)) {
      // The capitals of Windows-1252 outside ASCII: U+00C0..U+00DE but the
      // multiplication sign, and the four of U+0152..U+0178.
      auto& next = reinterpret_cast<unsigned char&>(out[i + 1]);
      if (c == 0xC3 && next >= 0x80 && next <= 0x9E && next != 0x97) {
        next = static_cast<unsigned char>(next + 0x20);
      } else if (c == 0xC5 && (next == 0xA0 || next == 0x92 || next == 0xBD)) {
        next = static_cast<unsigned char>(next + 1);
      } else if (c == 0xC5 && next == 0xB8) {
        out[i] = static_cast<char>(0xC3);
        next = 0xBF;
      }
      ++i;
    }
  }
  return out;
}

}  // namespace

std::optional<std::string> FindFileNoCase(const std::string& folder,
                                          const std::string& name) {
  const std::string base = folder.empty() ? "." : folder;
  const std::string prefix = base == "/" ? "/" : base + "/";
  struct stat info {};
  if (lstat((prefix + name).c_str(), &info) == 0) return prefix + name;
  DIR* directory = opendir(base.c_str());
  if (directory == nullptr) return std::nullopt;
  const std::string wanted = FoldUtf8(name);
  // A name with characters the ANSI code page lacks reaches a program with
  // '?' in their place (the open-file dialog hands it back so); that form
  // still finds its file, when no name matches outright.
  const bool mayBeLossy = name.find('?') != std::string::npos;
  std::optional<std::string> best;
  std::optional<std::string> bestLossy;
  while (const dirent* entry = readdir(directory)) {
    const std::string candidate = entry->d_name;
    // Several names may differ only in case; the smallest wins, so the
    // choice does not depend on the order the folder lists them in.
    if (FoldUtf8(candidate) == wanted && (!best || candidate < *best)) {
      best = candidate;
    } else if (mayBeLossy &&
               FoldUtf8(AnsiToUtf8(Utf8ToAnsi(candidate))) == wanted &&
               (!bestLossy || candidate < *bestLossy)) {
      bestLossy = candidate;
    }
  }
  closedir(directory);
  if (!best) best = bestLossy;
  if (!best) return std::nullopt;
  return prefix + *best;
}

ResolvedPath ResolvePath(const std::string& utf8) {
  struct stat info {};
  if (utf8.empty()) return {utf8, PathState::FolderMissing};
  if (lstat(utf8.c_str(), &info) == 0) return {utf8, PathState::Found};
  const auto slash = utf8.rfind('/');
  // A name straight under the root has "/" as its folder.
  const std::string folder = slash == std::string::npos ? std::string(".")
                             : slash == 0               ? std::string("/")
                                                        : utf8.substr(0, slash);
  const std::string name =
      slash == std::string::npos ? utf8 : utf8.substr(slash + 1);
  if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    return {utf8, PathState::FolderMissing};
  }
  if (name.empty()) return {utf8, PathState::NotFound};
  if (auto found = FindFileNoCase(folder, name)) {
    // Keep a relative path relative.
    if (slash == std::string::npos && found->rfind("./", 0) == 0) {
      found->erase(0, 2);
    }
    return {*found, PathState::Found};
  }
  return {utf8, PathState::NotFound};
}

}  // namespace vt::platform

namespace {

using vt::platform::AnsiToUtf8;
using vt::platform::Utf8ToAnsi;

std::string LoginName() {
  passwd entry{};
  passwd* found = nullptr;
  char buffer[4096];
  if (getpwuid_r(geteuid(), &entry, buffer, sizeof buffer, &found) == 0 &&
      found != nullptr && found->pw_name != nullptr && *found->pw_name) {
    return found->pw_name;
  }
  for (const char* variable : {"USER", "LOGNAME"}) {
    if (const char* value = std::getenv(variable); value != nullptr && *value) {
      return value;
    }
  }
  return {};
}

// Copies text into a caller's buffer of size bytes when it fits with its
// terminator. Returns the length without the terminator, or the size needed
// with it when it does not fit: the rule of the target's directory calls.
DWORD CopyOut(const std::string& text, LPSTR buffer, DWORD size) {
  if (buffer == nullptr || size < text.size() + 1) {
    return static_cast<DWORD>(text.size() + 1);
  }
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<DWORD>(text.size());
}

DWORD ErrorForMissing(vt::platform::PathState state) {
  return state == vt::platform::PathState::FolderMissing ? ERROR_PATH_NOT_FOUND
                                                         : ERROR_FILE_NOT_FOUND;
}

}  // namespace

BOOL GetUserNameA(LPSTR buffer, LPDWORD size) {
  if (size == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::string name = Utf8ToAnsi(LoginName());
  if (name.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  const auto needed = static_cast<DWORD>(name.size() + 1);
  if (buffer == nullptr || *size < needed) {
    *size = needed;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(buffer, name.c_str(), needed);
  *size = needed;
  return TRUE;
}

UINT GetWindowsDirectoryA(LPSTR buffer, UINT size) {
  const std::string folder = vt::platform::SystemRoot() + "/Windows";
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0) mkdir(folder.c_str(), 0700);
  if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return 0;
  }
  return CopyOut(Utf8ToAnsi(folder), buffer, size);
}

DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer) {
  char path[4096];
  if (getcwd(path, sizeof path) == nullptr) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return 0;
  }
  return CopyOut(Utf8ToAnsi(path), buffer, size);
}

BOOL SetCurrentDirectoryA(LPCSTR path) {
  if (path == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const auto resolved = vt::platform::ResolvePath(AnsiToUtf8(path));
  if (resolved.state != vt::platform::PathState::Found) {
    SetLastError(ErrorForMissing(resolved.state));
    return FALSE;
  }
  if (chdir(resolved.path.c_str()) != 0) {
    SetLastError(errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return TRUE;
}

DWORD GetFileAttributesA(LPCSTR fileName) {
  if (fileName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_FILE_ATTRIBUTES;
  }
  const auto resolved = vt::platform::ResolvePath(AnsiToUtf8(fileName));
  struct stat info {};
  if (resolved.state != vt::platform::PathState::Found ||
      stat(resolved.path.c_str(), &info) != 0) {
    SetLastError(ErrorForMissing(resolved.state));
    return INVALID_FILE_ATTRIBUTES;
  }
  DWORD attributes = 0;
  if (S_ISDIR(info.st_mode)) attributes |= FILE_ATTRIBUTE_DIRECTORY;
  if ((info.st_mode & 0222) == 0) attributes |= FILE_ATTRIBUTE_READONLY;
  return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

BOOL DeleteFileA(LPCSTR fileName) {
  if (fileName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const auto resolved = vt::platform::ResolvePath(AnsiToUtf8(fileName));
  if (resolved.state != vt::platform::PathState::Found) {
    SetLastError(ErrorForMissing(resolved.state));
    return FALSE;
  }
  struct stat info {};
  if (lstat(resolved.path.c_str(), &info) != 0) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  // A folder is not a file; and a file without any write permission is
  // read-only, which the target system refuses to delete.
  if (S_ISDIR(info.st_mode) ||
      (S_ISREG(info.st_mode) && (info.st_mode & 0222) == 0)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (unlink(resolved.path.c_str()) != 0) {
    SetLastError(errno == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return TRUE;
}
