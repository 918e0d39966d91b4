// Text-mode reading, as the target runtime's "rt" streams read.
//
// Two layers: raw bytes come from the file through a fixed buffer (Fill),
// and NextChar turns them into text: CR LF becomes LF, a CR followed by
// anything else (or by nothing) stays, and a Ctrl-Z byte ends the text for
// good. A CR that is the last byte of one buffer load is resolved by loading
// the next before deciding, so where the reads fall never shows in the text.
// NUL bytes pass through unchanged; a caller that treats the text as C
// strings stops at them.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/internal/platform.h"
#include "platform/kernel/kernel_internal.h"

struct TEXTFILE {
  int fd = -1;
  std::size_t position = 0;
  std::size_t length = 0;
  bool ended = false;  // end of file, a read error, or Ctrl-Z seen
  char buffer[4096];

  ~TEXTFILE() {
    if (fd >= 0) close(fd);
  }

  // Makes at least one raw byte available unless the file has ended.
  bool Fill() {
    if (position < length) return true;
    if (ended) return false;
    position = 0;
    length = 0;
    for (;;) {
      const ssize_t got = read(fd, buffer, sizeof buffer);
      if (got > 0) {
        length = static_cast<std::size_t>(got);
        return true;
      }
      if (got < 0 && errno == EINTR) continue;
      ended = true;
      return false;
    }
  }

  // The next character of text, or -1 at its end.
  int NextChar() {
    if (!Fill()) return -1;
    const auto c = static_cast<unsigned char>(buffer[position]);
    if (c == 26) {
      ended = true;
      position = length;
      return -1;
    }
    ++position;
    if (c == '\r' && Fill() && buffer[position] == '\n') {
      ++position;
      return '\n';
    }
    return c;
  }
};

TEXTFILE* OpenTextFileA(LPCSTR path) {
  if (path == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const auto resolved =
      vt::platform::ResolvePath(vt::platform::AnsiToUtf8(path));
  if (resolved.state != vt::platform::PathState::Found) {
    SetLastError(resolved.state == vt::platform::PathState::FolderMissing
                     ? ERROR_PATH_NOT_FOUND
                     : ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  auto file = std::make_unique<TEXTFILE>();
  file->fd = open(resolved.path.c_str(), O_RDONLY | O_CLOEXEC);
  if (file->fd < 0) {
    SetLastError(errno == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED);
    return nullptr;
  }
  struct stat info {};
  // The target runtime does not open a folder as a file.
  if (fstat(file->fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  return file.release();
}

char* ReadTextLineA(char* buffer, int size, TEXTFILE* file) {
  if (buffer == nullptr || size <= 0 || file == nullptr) return nullptr;
  int count = 0;
  while (count < size - 1) {
    const int c = file->NextChar();
    if (c < 0) break;
    buffer[count++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  buffer[count] = '\0';
  if (count == 0 && size > 1) return nullptr;
  return buffer;
}

SIZE_T ReadTextA(char* buffer, SIZE_T size, TEXTFILE* file) {
  if (buffer == nullptr || file == nullptr) return 0;
  SIZE_T count = 0;
  while (count < size) {
    const int c = file->NextChar();
    if (c < 0) break;
    buffer[count++] = static_cast<char>(c);
  }
  return count;
}

void CloseTextFile(TEXTFILE* file) { std::unique_ptr<TEXTFILE> owned(file); }
