// Threads, their handles, the thread identifier and the last error.
//
// A thread is a detached pthread that shares one ThreadState with its
// handle. The state, not the pthread, is what a handle names: waiting,
// reading the exit code and closing all work on it, so a handle may be
// closed while the thread still runs and whichever of the two lets go last
// frees it. Handles are small numbers in a table, never pointers, so a stale
// or foreign handle is answered with ERROR_INVALID_HANDLE instead of being
// followed.
#include <pthread.h>
#include <sched.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/internal/no_destroy.h"
#include "platform/internal/platform.h"

namespace {

struct ThreadState {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  DWORD exitCode = STILL_ACTIVE;
  DWORD id = 0;
  LPTHREAD_START_ROUTINE start = nullptr;
  LPVOID parameter = nullptr;
};

class HandleTable {
 public:
  HANDLE Add(std::shared_ptr<ThreadState> state) {
    std::lock_guard lock(mutex_);
    next_ += 4;
    handles_.emplace(next_, std::move(state));
    return reinterpret_cast<HANDLE>(next_);
  }
  std::shared_ptr<ThreadState> Find(HANDLE handle) {
    std::lock_guard lock(mutex_);
    const auto it = handles_.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == handles_.end() ? nullptr : it->second;
  }
  bool Remove(HANDLE handle) {
    std::lock_guard lock(mutex_);
    return handles_.erase(reinterpret_cast<std::uintptr_t>(handle)) != 0;
  }

 private:
  std::mutex mutex_;
  // Handles start above the first page so that none is mistaken for a small
  // integer or a null pointer.
  std::uintptr_t next_ = 0x1000;
  std::unordered_map<std::uintptr_t, std::shared_ptr<ThreadState>> handles_;
};

HandleTable& Handles() {
  // A thread may still close its handle while the process runs its exit
  // handlers.
  static vt::platform::NoDestroy<HandleTable> table;
  return table.get();
}

std::atomic<DWORD> nextThreadId{1};
thread_local DWORD currentThreadId = 0;
thread_local DWORD lastError = 0;

DWORD NewThreadId() { return nextThreadId.fetch_add(1); }

void* ThreadMain(void* argument) {
  // Take back ownership of the reference CreateThread passed across.
  std::unique_ptr<std::shared_ptr<ThreadState>> owned(
      static_cast<std::shared_ptr<ThreadState>*>(argument));
  std::shared_ptr<ThreadState> state = std::move(*owned);
  owned.reset();
  currentThreadId = state->id;
  const DWORD result = state->start(state->parameter);
  // Its windows and queue end before anyone waiting on the handle wakes.
  vt::platform::EndThreadQueue();
  {
    std::lock_guard lock(state->mutex);
    state->exitCode = result;
    state->done = true;
  }
  state->finished.notify_all();
  return nullptr;
}

}  // namespace

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T stackSize,
                    LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD,
                    LPDWORD threadId) {
  if (start == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto state = std::make_shared<ThreadState>();
  state->start = start;
  state->parameter = parameter;
  state->id = NewThreadId();

  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  if (stackSize != 0) {
    // The target system rounds a requested size up as well; a size below
    // the minimum would make pthread_create fail.
    const auto page = static_cast<SIZE_T>(sysconf(_SC_PAGESIZE));
    const auto minimum = static_cast<SIZE_T>(PTHREAD_STACK_MIN);
    SIZE_T size = stackSize < minimum ? minimum : stackSize;
    size = (size + page - 1) / page * page;
    pthread_attr_setstacksize(&attributes, size);
  }
  auto passed = std::make_unique<std::shared_ptr<ThreadState>>(state);
  pthread_t thread;
  const int error =
      pthread_create(&thread, &attributes, ThreadMain, passed.get());
  pthread_attr_destroy(&attributes);
  if (error != 0) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  passed.release();  // ThreadMain owns it now.
  if (threadId != nullptr) *threadId = state->id;
  return Handles().Add(std::move(state));
}

BOOL CloseHandle(HANDLE handle) {
  if (!Handles().Remove(handle)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  const auto state = Handles().Find(handle);
  if (!state) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  std::unique_lock lock(state->mutex);
  if (milliseconds == INFINITE) {
    state->finished.wait(lock, [&] { return state->done; });
    return WAIT_OBJECT_0;
  }
  const bool done =
      state->finished.wait_for(lock, std::chrono::milliseconds(milliseconds),
                               [&] { return state->done; });
  return done ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode) {
  const auto state = Handles().Find(thread);
  if (!state || exitCode == nullptr) {
    SetLastError(state ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::lock_guard lock(state->mutex);
  *exitCode = state->exitCode;
  return TRUE;
}

DWORD GetCurrentThreadId() {
  if (currentThreadId == 0) currentThreadId = NewThreadId();
  return currentThreadId;
}

DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

void Sleep(DWORD milliseconds) {
  if (milliseconds == 0) {
    sched_yield();
    return;
  }
  if (milliseconds == INFINITE) {
    for (;;) pause();
  }
  timespec remaining{static_cast<time_t>(milliseconds / 1000),
                     static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

DWORD GetTickCount() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                  static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<DWORD>(ms);
}

DWORD GetLastError() { return lastError; }

void SetLastError(DWORD error) { lastError = error; }
