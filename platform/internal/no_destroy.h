// A static object that is built on first use and never destroyed.
//
// The process ends at once (ExitProcessNow) with other threads possibly still
// inside platform calls, and a test main may return while a thread waits in
// accept; a table torn down by a static destructor under such a thread would
// be used after its end. Objects that live for the whole process therefore
// sit in NoDestroy storage. Whatever they own stays reachable from static
// storage, so the leak checker does not count it.
#pragma once

#include <new>
#include <utility>

namespace vt::platform {

template <typename T>
class NoDestroy {
 public:
  template <typename... Args>
  explicit NoDestroy(Args&&... args) {
    ::new (static_cast<void*>(storage_)) T(std::forward<Args>(args)...);
  }
  NoDestroy(const NoDestroy&) = delete;
  NoDestroy& operator=(const NoDestroy&) = delete;

  T& get() { return *std::launder(reinterpret_cast<T*>(storage_)); }
  T* operator->() { return &get(); }

 private:
  alignas(T) unsigned char storage_[sizeof(T)];
};

}  // namespace vt::platform
