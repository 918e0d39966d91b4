// Top-level windows seen across processes: the run/ folder of the system
// root.
//
// Each top-level window keeps a file run/<class>.<pid>.<handle> open with
// an exclusive flock for as long as it lives; the file holds the owning
// thread's id and the window's title. A process that dies loses its locks
// with its descriptors, so an entry whose lock can be taken belongs to
// nobody and is removed by whoever notices. The class part is the class
// name in lower case with every byte outside [a-z0-9_-] written as %XX, so
// any class name makes a safe file name.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/internal/platform.h"
#include "platform/user/user_internal.h"

namespace vt::user {

namespace {

std::string EncodeClass(std::string_view name) {
  std::string out;
  for (char c : name) {
    c = LowerWindows1252(c);
    auto u = static_cast<unsigned char>(c);
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
        c == '-') {
      out += c;
    } else {
      char buffer[4];
      std::snprintf(buffer, sizeof buffer, "%%%02X", u);
      out += buffer;
    }
  }
  return out;
}

std::string RunFolder() {
  std::string folder = platform::SystemRoot() + "/run";
  ::mkdir(folder.c_str(), 0700);
  return folder;
}

std::string Content(const Window& window) {
  return std::to_string(window.threadId) + "\n" + window.text;
}

bool WriteAll(int fd, const std::string& text) {
  if (::ftruncate(fd, 0) != 0) return false;
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::pwrite(fd, text.data() + done, text.size() - done,
                         static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Whether someone still holds the entry's lock. An entry nobody holds is
// removed.
bool HeldByLiveProcess(const std::string& path, std::string* content) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool alive = false;
  if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
    alive = errno == EWOULDBLOCK;
  } else {
    ::unlink(path.c_str());
  }
  if (alive && content) {
    char buffer[1024];
    ssize_t n = ::pread(fd, buffer, sizeof buffer, 0);
    content->assign(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
  }
  ::close(fd);
  return alive;
}

}  // namespace

void RegisterRunEntry(Window& window) {
  std::string folder = RunFolder();
  char suffix[64];
  std::snprintf(suffix, sizeof suffix, ".%ld.%lx",
                static_cast<long>(::getpid()),
                static_cast<unsigned long>(
                    reinterpret_cast<std::uintptr_t>(window.handle)));
  std::string name = EncodeClass(window.cls->name) + suffix;
  std::string finalPath = folder + "/" + name;
  std::string temporary = folder + "/.new." + name;
  // The entry is locked before it gets its name, so nobody ever sees it
  // unlocked and takes it for a dead process's.
  int fd =
      ::open(temporary.c_str(), O_CREAT | O_RDWR | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || !WriteAll(fd, Content(window)) ||
      ::rename(temporary.c_str(), finalPath.c_str()) != 0) {
    ::unlink(temporary.c_str());
    ::close(fd);
    return;
  }
  window.runFd = fd;
  window.runPath = finalPath;
}

void UnregisterRunEntry(Window& window) {
  if (window.runFd < 0) return;
  ::unlink(window.runPath.c_str());
  ::close(window.runFd);
  window.runFd = -1;
  window.runPath.clear();
}

void UpdateRunEntryTitle(Window& window) {
  if (window.runFd >= 0) WriteAll(window.runFd, Content(window));
}

bool RemoteWindowAlive(const std::string& entry) {
  return HeldByLiveProcess(entry, nullptr);
}

HWND FindRemoteWindow(const char* className, const char* windowName) {
  std::string folder = RunFolder();
  std::string wanted = className ? EncodeClass(className) : std::string();
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return nullptr;
  long self = static_cast<long>(::getpid());
  std::string foundPath;
  std::string foundClass;
  std::string foundTitle;
  long foundPid = 0;
  DWORD foundThread = 0;
  while (dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name.empty() || name[0] == '.') continue;
    // <class>.<pid>.<handle>; the class part never holds a dot.
    auto first = name.find('.');
    auto second = name.find('.', first == std::string::npos ? 0 : first + 1);
    if (first == std::string::npos || second == std::string::npos) continue;
    std::string cls = name.substr(0, first);
    long pid = std::strtol(name.c_str() + first + 1, nullptr, 10);
    if (pid == self || pid <= 0) continue;
    if (className && cls != wanted) continue;
    std::string path = folder + "/" + name;
    std::string content;
    if (!HeldByLiveProcess(path, &content)) continue;
    auto newline = content.find('\n');
    std::string title = newline == std::string::npos
                            ? std::string()
                            : content.substr(newline + 1);
    if (windowName && !EqualNoCaseWindows1252(title, windowName)) continue;
    foundPath = path;
    foundClass = cls;
    foundTitle = title;
    foundPid = pid;
    foundThread =
        static_cast<DWORD>(std::strtoul(content.c_str(), nullptr, 10));
    break;
  }
  ::closedir(dir);
  if (foundPath.empty()) return nullptr;

  Lock lock(S().mutex);
  for (auto& [handle, w] : S().windows) {
    if (w->remote && w->remoteEntry == foundPath) {
      w->text = foundTitle;
      return w->handle;
    }
  }
  auto w = std::make_shared<Window>();
  w->remote = true;
  w->remotePid = static_cast<DWORD>(foundPid);
  w->remoteEntry = foundPath;
  w->threadId = foundThread;
  w->text = foundTitle;
  w->cls = std::make_shared<WindowClass>();
  w->cls->name = className ? className : foundClass;
  w->handle = reinterpret_cast<HWND>(S().nextHandle);
  S().nextHandle += 4;
  S().windows[reinterpret_cast<std::uintptr_t>(w->handle)] = w;
  return w->handle;
}

}  // namespace vt::user
