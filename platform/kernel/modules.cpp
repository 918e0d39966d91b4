// Libraries: LoadLibraryA and its companions over dlopen.
//
// A plain name is looked for in the executable's folder, then in the
// current folder, without regard to case, as the target system finds
// "Velto.DLL" whatever the file's case. Every handle given out is counted
// here, so GetProcAddress never passes dlsym a handle it did not come from.
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/internal/no_destroy.h"
#include "platform/internal/platform.h"
#include "platform/kernel/kernel_internal.h"

namespace {

class ModuleTable {
 public:
  void Opened(void* handle) {
    std::lock_guard lock(mutex_);
    ++counts_[handle];
  }
  bool Known(void* handle) {
    std::lock_guard lock(mutex_);
    return handle == Self() || counts_.count(handle) != 0;
  }
  // True when handle was ours to release.
  bool Released(void* handle) {
    std::lock_guard lock(mutex_);
    const auto it = counts_.find(handle);
    if (it == counts_.end()) return false;
    if (--it->second == 0) counts_.erase(it);
    return true;
  }
  static void* Self() {
    static void* const self = dlopen(nullptr, RTLD_NOW);
    return self;
  }

 private:
  std::mutex mutex_;
  std::map<void*, int> counts_;
};

ModuleTable& Modules() {
  static vt::platform::NoDestroy<ModuleTable> table;
  return table.get();
}

// Where a library name leads: a name with a folder is found in that folder,
// a plain one beside the executable first, then in the current folder.
std::vector<std::string> Candidates(const std::string& utf8) {
  std::vector<std::string> found;
  const auto slash = utf8.rfind('/');
  if (slash != std::string::npos) {
    const auto resolved = vt::platform::ResolvePath(utf8);
    if (resolved.state == vt::platform::PathState::Found) {
      found.push_back(resolved.path);
    }
    return found;
  }
  char cwd[4096];
  std::vector<std::string> folders = {vt::platform::ExecutableDirectory()};
  if (getcwd(cwd, sizeof cwd) != nullptr) folders.emplace_back(cwd);
  for (const auto& folder : folders) {
    if (auto path = vt::platform::FindFileNoCase(folder, utf8)) {
      found.push_back(*path);
    }
  }
  return found;
}

}  // namespace

HMODULE LoadLibraryA(LPCSTR fileName) {
  if (fileName == nullptr || *fileName == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  for (const auto& path : Candidates(vt::platform::AnsiToUtf8(fileName))) {
    if (void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
      Modules().Opened(handle);
      return static_cast<HMODULE>(handle);
    }
  }
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

HMODULE GetModuleHandleA(LPCSTR moduleName) {
  if (moduleName == nullptr) return static_cast<HMODULE>(ModuleTable::Self());
  for (const auto& path : Candidates(vt::platform::AnsiToUtf8(moduleName))) {
    // RTLD_NOLOAD finds a library only when it is already loaded; the
    // reference it takes is given back at once, since this call does not
    // keep the library loaded.
    if (void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD)) {
      dlclose(handle);
      if (Modules().Known(handle)) return static_cast<HMODULE>(handle);
    }
  }
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

BOOL FreeLibrary(HMODULE module) {
  if (module == static_cast<HMODULE>(ModuleTable::Self())) return TRUE;
  if (module == nullptr || !Modules().Released(module)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  dlclose(module);
  return TRUE;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
  if (module == nullptr || !Modules().Known(module)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  // Exports by ordinal do not exist here.
  if (procName == nullptr || IS_INTRESOURCE(procName)) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  void* symbol = dlsym(module, procName);
  if (symbol == nullptr) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(symbol);
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
  std::string path;
  if (module == nullptr ||
      module == static_cast<HMODULE>(ModuleTable::Self())) {
    char buffer[4096];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length > 0) path.assign(buffer, static_cast<std::size_t>(length));
  } else if (Modules().Known(module)) {
    link_map* map = nullptr;
    if (dlinfo(module, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr &&
        map->l_name != nullptr) {
      path = map->l_name;
    }
  }
  if (path.empty()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  const std::string ansi = vt::platform::Utf8ToAnsi(path);
  if (fileName == nullptr || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  // Too small a buffer gets as much as fits, terminated, and the error.
  if (ansi.size() + 1 > size) {
    std::memcpy(fileName, ansi.data(), size - 1);
    fileName[size - 1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  std::memcpy(fileName, ansi.c_str(), ansi.size() + 1);
  return static_cast<DWORD>(ansi.size());
}
