// Armed failures are kept by function name; the common unarmed case is one
// acquire atomic load so the seam costs nothing in production.
#include "platform/winsock/socket_seam.h"

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "platform/internal/no_destroy.h"

namespace vt::platform {
namespace {

struct Armed {
  int error = 0;
  int remaining = 0;  // < 0: without end
};

class FailureTable {
 public:
  void Arm(const char* function, int error, int times) {
    if (function == nullptr) return;
    std::lock_guard lock(mutex_);
    if (times == 0 || error == 0) {
      entries_.erase(function);
    } else {
      entries_[function] = Armed{error, times};
    }
    armed_.store(!entries_.empty(), std::memory_order_release);
  }

  void Clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
    armed_.store(false, std::memory_order_release);
  }

  int Take(const char* function) {
    if (!armed_.load(std::memory_order_acquire)) return 0;
    std::lock_guard lock(mutex_);
    auto found = entries_.find(function);
    if (found == entries_.end()) return 0;
    const int error = found->second.error;
    if (found->second.remaining > 0 && --found->second.remaining == 0) {
      entries_.erase(found);
      armed_.store(!entries_.empty(), std::memory_order_release);
    }
    return error;
  }

 private:
  std::mutex mutex_;
  std::map<std::string, Armed, std::less<>> entries_;
  std::atomic<bool> armed_{false};
};

FailureTable& CallFailures() {
  static NoDestroy<FailureTable> table;
  return table.get();
}

FailureTable& OsFailures() {
  static NoDestroy<FailureTable> table;
  return table.get();
}

struct OsCallGate {
  std::mutex mutex;
  std::function<void(const char*)> gate;
  std::atomic<bool> set{false};
};

OsCallGate& Gate() {
  static NoDestroy<OsCallGate> gate;
  return gate.get();
}

}  // namespace

void ArmCallFailure(const char* function, int wsaError, int times) {
  CallFailures().Arm(function, wsaError, times);
}

void ArmOsFailure(const char* function, int posixErrno, int times) {
  OsFailures().Arm(function, posixErrno, times);
}

void SetOsCallGate(std::function<void(const char* function)> gate) {
  OsCallGate& held = Gate();
  std::lock_guard lock(held.mutex);
  held.gate = std::move(gate);
  held.set.store(static_cast<bool>(held.gate), std::memory_order_release);
}

void PassOsCallGate(const char* function) {
  OsCallGate& held = Gate();
  if (!held.set.load(std::memory_order_acquire)) return;
  std::function<void(const char*)> gate;
  {
    std::lock_guard lock(held.mutex);
    gate = held.gate;
  }
  // Run outside the lock: a gate that waits must not stop other threads
  // from passing it or a test from removing it.
  if (gate) gate(function);
}

void ClearSocketSeam() {
  CallFailures().Clear();
  OsFailures().Clear();
  SetOsCallGate(nullptr);
}

int TakeCallFailure(const char* function) {
  return CallFailures().Take(function);
}

int TakeOsFailure(const char* function) { return OsFailures().Take(function); }

}  // namespace vt::platform
