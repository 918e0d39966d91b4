// Velto.dll: the keyboard and mouse hook procedures that tell the daemon
// about activity anywhere on the desktop.
//
// Both procedures do the same three things (OnInput): find the daemon's
// hidden main window (class VeltoClass), post it an activity notice
// (command 1025), and pass the event on with CallNextHookEx, using the hook
// handle the window gives out for command 1026 or 1027. They run on the
// input thread of whatever receives the input, so they take no locks, wait
// for nothing but the one question for each hook handle, and keep their
// little state in atomics.
//
// Notices are coalesced so that a moving mouse cannot flood the daemon's
// queue or keep its thread busy. Each notice carries a sequence number in
// lParam; the window keeps the number of the last notice it handled in its
// user data; a new notice is posted only once the window has caught up with
// the last one posted, and no sooner than kNoticeIntervalMs after it.
// Reading the user data is a cheap look that never waits for the daemon's
// thread. The idle clock loses nothing it can show: it counts in 3-second
// ticks, and input that was not told came either while a notice still
// waited (whose handling resets the clock later still) or within 50 ms of
// one. Should the window not catch up within a second (its user data was
// changed by someone else, or another copy of this library posts too) the
// library posts again, so activity is never withheld for long.
//
// Each time the daemon turns its monitor on it sets the user data to a new
// negative number: the hooks are new, and the handles asked for before are
// stale.
#include <windows.h>

#include <atomic>

#include "resources/resource.h"

#define VELTO_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr const char* kMainClass = "VeltoClass";
// The least time between two notices.
constexpr DWORD kNoticeIntervalMs = 50;
// How long a posted notice may stay unhandled before another is posted.
constexpr DWORD kStaleNoticeMs = 1000;
// How long to wait before looking for a daemon window again when there was
// none: looking means reading every running program's entries.
constexpr DWORD kLookupRetryMs = 1000;
// Sequence numbers run from 1 to kMaxSequence and start again.
constexpr LONG_PTR kMaxSequence = 0x3FFFFFFF;

std::atomic<HWND> daemonWindow{nullptr};
std::atomic<bool> lookedUp{false};
std::atomic<DWORD> lastLookupAt{0};
std::atomic<HHOOK> nextMouseHook{nullptr};
std::atomic<HHOOK> nextKeyboardHook{nullptr};
std::atomic<LONG_PTR> lastPosted{0};
std::atomic<DWORD> lastPostedAt{0};
// The last mark of a monitor start that has been acted on.
std::atomic<LONG_PTR> startSeen{0};

// Starts afresh with a window whose hooks are new: ask for their handles
// again, count nothing as waiting in its queue, and tell the next input at
// once.
void Forget(LONG_PTR handled) {
  nextMouseHook.store(nullptr);
  nextKeyboardHook.store(nullptr);
  lastPosted.store(handled);
  lastPostedAt.store(GetTickCount() - kStaleNoticeMs);
}

HWND DaemonWindow() {
  HWND window = daemonWindow.load();
  if (window != nullptr && IsWindow(window)) return window;
  const DWORD now = GetTickCount();
  if (window == nullptr && lookedUp.load() &&
      now - lastLookupAt.load() < kLookupRetryMs) {
    return nullptr;
  }
  lastLookupAt.store(now);
  lookedUp.store(true);
  HWND found = FindWindowA(kMainClass, nullptr);
  if (found != window) {
    const LONG_PTR handled =
        found != nullptr ? GetWindowLongPtrA(found, GWLP_USERDATA) : 0;
    Forget(handled);
    startSeen.store(handled < 0 ? handled : 0);
    daemonWindow.store(found);
  }
  return found;
}

// Reads what the window has handled, and notices a monitor that was turned
// on again since the last look.
LONG_PTR HandledNotice(HWND window) {
  const LONG_PTR handled = GetWindowLongPtrA(window, GWLP_USERDATA);
  if (handled < 0 && startSeen.exchange(handled) != handled) Forget(handled);
  return handled;
}

// The handle to pass events on with, asked for once per installation. The
// question is a cross-thread send, made with no lock of ours held.
HHOOK NextHook(std::atomic<HHOOK>& cache, HWND window, UINT command) {
  HHOOK hook = cache.load();
  if (hook == nullptr && window != nullptr) {
    hook =
        reinterpret_cast<HHOOK>(SendMessageA(window, WM_COMMAND, command, 0));
    // A window without a handle yet is asked again on the next event.
    cache.store(hook);
  }
  return hook;
}

void PostNotice(HWND window, LONG_PTR handled) {
  LONG_PTR posted = lastPosted.load();
  const DWORD now = GetTickCount();
  const DWORD since = now - lastPostedAt.load();
  if (handled != posted ? since < kStaleNoticeMs : since < kNoticeIntervalMs) {
    return;  // the last notice still waits, or was posted just now
  }
  const LONG_PTR next = posted <= 0 || posted >= kMaxSequence ? 1 : posted + 1;
  // Another input thread may be posting at this moment; one notice will do.
  if (!lastPosted.compare_exchange_strong(posted, next)) return;
  lastPostedAt.store(now);
  if (!PostMessageA(window, WM_COMMAND, CMD_ACTIVITY, next)) {
    daemonWindow.store(nullptr);  // gone: look for it again
  }
}

LRESULT OnInput(std::atomic<HHOOK>& cache, UINT command, int code,
                WPARAM wParam, LPARAM lParam) {
  HWND window = DaemonWindow();
  HHOOK next = nullptr;
  if (window != nullptr) {
    const LONG_PTR handled = HandledNotice(window);
    next = NextHook(cache, window, command);
    // A negative code asks only that the event be passed on.
    if (code >= 0) PostNotice(window, handled);
  }
  return CallNextHookEx(next, code, wParam, lParam);
}

}  // namespace

VELTO_EXPORT LRESULT CALLBACK MouseProc(int code, WPARAM wParam,
                                        LPARAM lParam) {
  return OnInput(nextMouseHook, CMD_GET_MOUSE_HOOK, code, wParam, lParam);
}

VELTO_EXPORT LRESULT CALLBACK KeyboardProc(int code, WPARAM wParam,
                                           LPARAM lParam) {
  return OnInput(nextKeyboardHook, CMD_GET_KEYBOARD_HOOK, code, wParam, lParam);
}
