// What the user tests share: message rows and a recording window class, a
// fixture that leaves no window or message behind, and helpers to wait for
// another thread without a fixed sleep.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <ostream>
#include <set>
#include <thread>
#include <vector>

#include "vttest.h"

namespace vt::user_test {

// One message as a window procedure saw it.
struct Row {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  bool operator==(const Row& other) const {
    return message == other.message && wParam == other.wParam &&
           lParam == other.lParam;
  }
};

inline void PrintTo(const Row& row, std::ostream* out) {
  *out << "{0x" << std::hex << row.message << ", " << std::dec << row.wParam
       << ", " << row.lParam << "}";
}

// Rows seen by windows of the "VtRecorder" class, for the messages a test
// asks to watch. Any thread may record.
class Log {
 public:
  static Log& Get() {
    static Log log;
    return log;
  }
  void Watch(std::set<UINT> messages) {
    std::lock_guard<std::mutex> lock(mutex_);
    watched_ = std::move(messages);
    rows_.clear();
  }
  void Add(UINT message, WPARAM wParam, LPARAM lParam) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (watched_.count(message)) rows_.push_back(Row{message, wParam, lParam});
  }
  std::vector<Row> Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    auto rows = std::move(rows_);
    rows_.clear();
    return rows;
  }
  std::size_t Size() {
    std::lock_guard<std::mutex> lock(mutex_);
    return rows_.size();
  }

 private:
  std::mutex mutex_;
  std::set<UINT> watched_;
  std::vector<Row> rows_;
};

// What a recorder window does beyond recording, per message; set by a test
// before it sends. Returning true means handled, with *result the answer.
using Behaviour = std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT*)>;
inline std::mutex& BehaviourMutex() {
  static std::mutex m;
  return m;
}
inline Behaviour& CurrentBehaviour() {
  static Behaviour b;
  return b;
}
inline void SetBehaviour(Behaviour b) {
  std::lock_guard<std::mutex> lock(BehaviourMutex());
  CurrentBehaviour() = std::move(b);
}

inline LRESULT CALLBACK RecorderProc(HWND window, UINT message, WPARAM wParam,
                                     LPARAM lParam) {
  Log::Get().Add(message, wParam, lParam);
  Behaviour b;
  {
    std::lock_guard<std::mutex> lock(BehaviourMutex());
    b = CurrentBehaviour();
  }
  LRESULT result = 0;
  if (b && b(window, message, wParam, lParam, &result)) return result;
  return DefWindowProcA(window, message, wParam, lParam);
}

inline void RegisterRecorder() {
  WNDCLASSA wc{};
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = RecorderProc;
  wc.lpszClassName = "VtRecorder";
  RegisterClassA(&wc);  // once per process; later calls fail harmlessly
}

inline HWND NewRecorder(const char* title = "recorder",
                        DWORD style = WS_OVERLAPPEDWINDOW,
                        HWND parent = nullptr, int id = 0) {
  RegisterRecorder();
  return CreateWindowExA(
      0, "VtRecorder", title, style, 10, 10, 200, 100, parent,
      reinterpret_cast<HMENU>(static_cast<LONG_PTR>(id)), nullptr, nullptr);
}

// Waits, without pumping, until done() or about five seconds pass.
inline bool WaitFor(const std::function<bool()>& done) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// Destroys the thread's windows and drops whatever is still queued, so
// the next test starts clean.
class UserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetBehaviour(nullptr);
    Log::Get().Watch({});
  }
  void TearDown() override {
    SetBehaviour(nullptr);
    for (HWND w : vt::testing::TopLevelWindows()) {
      if (GetWindowThreadProcessId(w, nullptr) == GetCurrentThreadId() &&
          !GetParent(w))
        DestroyWindow(w);
    }
    for (HWND w : vt::testing::TopLevelWindows()) {
      if (GetWindowThreadProcessId(w, nullptr) == GetCurrentThreadId())
        DestroyWindow(w);
    }
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }
};

}  // namespace vt::user_test
