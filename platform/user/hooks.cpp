// Global hooks and the road of one input event.
//
// A driver hands each event to DeliverInput on its input thread. The hook
// chain for the event's kind runs there first, newest hook first, each
// procedure called with no lock held; CallNextHookEx walks on along the
// chain that is running. Unless a hook swallows the event, it is then
// queued as input for its target: keys for the focused window of the
// foreground window's thread, mouse buttons for the window under the
// pointer. The keyboard state a thread sees (GetKeyState) is the state at
// the last input message it took from its queue.
#include <algorithm>
#include <cstdlib>

#include "platform/internal/driver.h"
#include "platform/user/user_internal.h"

namespace vt::user {

namespace {

// The chain being run on this thread, and the position of the procedure
// running in it, so CallNextHookEx knows what is next even when the caller
// passes a handle it never learnt (the target system ignores that argument).
thread_local const std::vector<Hook>* t_chain = nullptr;
thread_local std::size_t t_position = 0;

bool StillInstalled(HHOOK hook) {
  Lock lock(S().mutex);
  for (auto& h : S().hooks) {
    if (h.handle == hook) return true;
  }
  return false;
}

LRESULT CallFrom(const std::vector<Hook>& chain, std::size_t start, int code,
                 WPARAM wParam, LPARAM lParam) {
  for (std::size_t i = start; i < chain.size(); ++i) {
    if (!StillInstalled(chain[i].handle)) continue;
    const std::size_t outer = t_position;
    t_position = i;
    const LRESULT result = chain[i].proc(code, wParam, lParam);
    t_position = outer;
    return result;
  }
  return 0;
}

unsigned AsyncModifiers = 0;  // guarded by S().mutex

}  // namespace

LRESULT RunHooks(int type, int code, WPARAM wParam, LPARAM lParam,
                 DWORD targetThread) {
  std::vector<Hook> chain;
  {
    Lock lock(S().mutex);
    for (auto& h : S().hooks) {
      if (h.type == type && (h.threadId == 0 || h.threadId == targetThread))
        chain.push_back(h);
    }
  }
  if (chain.empty()) return 0;
  const std::vector<Hook>* outer = t_chain;
  t_chain = &chain;
  LRESULT result = CallFrom(chain, 0, code, wParam, lParam);
  t_chain = outer;
  return result;
}

}  // namespace vt::user

using namespace vt::user;

namespace vt::user {

namespace {

// The last button press delivered, for making a double click of the next.
struct LastPress {
  UINT message = 0;
  HWND window = nullptr;
  DWORD time = 0;
  POINT point{};
};
LastPress LastButtonPress;  // guarded by S().mutex

bool ContainsPoint(const RECT& r, POINT p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

// The deepest visible child of window under point (screen pixels), or
// window itself. Lock held.
HWND ChildUnder(HWND window, POINT point) {
  for (;;) {
    auto w = Find(window);
    if (!w) return window;
    HWND next = nullptr;
    // Later children lie above earlier ones.
    for (auto it = w->children.rbegin(); it != w->children.rend(); ++it) {
      auto c = Find(*it);
      if (c && (c->style & WS_VISIBLE) &&
          ContainsPoint(ScreenRectOf(*c), point)) {
        next = *it;
        break;
      }
    }
    if (!next) return window;
    window = next;
  }
}

// The window that has captured the pointer: the foreground thread's first,
// else any thread's. Lock held.
HWND CaptureWindow() {
  if (auto fg = Find(S().foreground)) {
    if (HWND c = IfAlive(fg->queue->capture)) return c;
  }
  for (auto& [id, queue] : S().queues) {
    if (HWND c = IfAlive(queue->capture)) return c;
  }
  return nullptr;
}

bool IsPress(UINT message) {
  return message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN ||
         message == WM_MBUTTONDOWN;
}

UINT DoubleClickOf(UINT press) {
  switch (press) {
    case WM_LBUTTONDOWN:
      return WM_LBUTTONDBLCLK;
    case WM_RBUTTONDOWN:
      return WM_RBUTTONDBLCLK;
    default:
      return WM_MBUTTONDBLCLK;
  }
}

// A second press of the same button on the same window of a class that
// asks for it, soon enough and near enough, is a double click; a third
// starts over. Lock held.
UINT WithDoubleClick(UINT message, HWND window, DWORD time, POINT point) {
  if (!IsPress(message)) return message;
  const auto metrics = platform::TheDriver().systemMetrics();
  LastPress& last = LastButtonPress;
  auto w = Find(window);
  bool wants = w && w->cls && (w->cls->style & CS_DBLCLKS);
  bool pair = wants && last.message == message && last.window == window &&
              time - last.time <= metrics.doubleClickTime &&
              std::abs(point.x - last.point.x) <= metrics.doubleClickSlop &&
              std::abs(point.y - last.point.y) <= metrics.doubleClickSlop;
  if (pair) {
    last = LastPress{};
    return DoubleClickOf(message);
  }
  last = LastPress{message, window, time, point};
  return message;
}

WPARAM MouseKeys(const platform::InputEvent& event) {
  WPARAM keys = event.buttons & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON);
  // A press is reported before the driver's button mask knows of it.
  switch (event.mouseMessage) {
    case WM_LBUTTONDOWN:
      keys |= MK_LBUTTON;
      break;
    case WM_RBUTTONDOWN:
      keys |= MK_RBUTTON;
      break;
    case WM_MBUTTONDOWN:
      keys |= MK_MBUTTON;
      break;
    case WM_LBUTTONUP:
      keys &= ~static_cast<WPARAM>(MK_LBUTTON);
      break;
    case WM_RBUTTONUP:
      keys &= ~static_cast<WPARAM>(MK_RBUTTON);
      break;
    case WM_MBUTTONUP:
      keys &= ~static_cast<WPARAM>(MK_MBUTTON);
      break;
    default:
      break;
  }
  if (event.modifiers & platform::kShiftBit) keys |= MK_SHIFT;
  if (event.modifiers & platform::kControlBit) keys |= MK_CONTROL;
  return keys;
}

}  // namespace

}  // namespace vt::user

namespace vt::platform {

bool DeliverInput(const InputEvent& event) {
  std::shared_ptr<Queue> queue;
  HWND target = nullptr;
  DWORD targetThread = 0;
  const bool pointer = event.kind == InputKind::Mouse;
  {
    Lock lock(S().mutex);
    if (event.scope == InputScope::Window) {
      HWND aimed = nullptr;
      if (pointer) {
        aimed = CaptureWindow();
        if (!aimed && event.target)
          aimed = ChildUnder(event.target, event.point);
      }
      target = InputTarget(!pointer, aimed, &queue);
      if (queue) targetThread = queue->threadId;
    }
    AsyncModifiers = event.modifiers;
  }
  const bool alt = (event.modifiers & kAltBit) != 0;
  MSG msg{};
  msg.time = GetTickCount();
  msg.pt = TheDriver().cursorPosition();
  switch (event.kind) {
    case InputKind::Key: {
      LPARAM lParam = 1 | static_cast<LPARAM>(event.scanCode & 0xFF) << 16;
      if (alt) lParam |= static_cast<LPARAM>(KF_ALTDOWN) << 16;
      if (event.keyUp) lParam |= static_cast<LPARAM>(0xC0000000u);
      LRESULT swallowed = RunHooks(WH_KEYBOARD, HC_ACTION, event.virtualKey,
                                   lParam, targetThread);
      if (swallowed || event.scope == InputScope::Desktop) return false;
      msg.message = alt ? (event.keyUp ? WM_SYSKEYUP : WM_SYSKEYDOWN)
                        : (event.keyUp ? WM_KEYUP : WM_KEYDOWN);
      msg.wParam = event.virtualKey;
      msg.lParam = lParam;
      break;
    }
    case InputKind::Char:
      msg.message = WM_CHAR;
      msg.wParam = event.virtualKey;
      msg.lParam = 1;
      break;
    case InputKind::Mouse: {
      TheDriver().setCursorPosition(event.point.x, event.point.y);
      msg.pt = event.point;
      MOUSEHOOKSTRUCT info{event.point, target, target ? 1u : 0u, 0};
      LRESULT swallowed =
          RunHooks(WH_MOUSE, HC_ACTION, event.mouseMessage,
                   reinterpret_cast<LPARAM>(&info), targetThread);
      if (swallowed || event.scope == InputScope::Desktop || !target)
        return false;
      msg.message = event.mouseMessage;
      WPARAM keys = MouseKeys(event);
      if (event.mouseMessage == WM_MOUSEWHEEL) {
        // The wheel reports where the pointer is on the screen.
        msg.wParam =
            MAKEWPARAM(static_cast<WORD>(keys),
                       static_cast<WORD>(static_cast<short>(event.wheelDelta)));
        msg.lParam = MAKELPARAM(event.point.x, event.point.y);
      } else {
        POINT client = event.point;
        ScreenToClient(target, &client);
        msg.wParam = keys;
        msg.lParam = MAKELPARAM(client.x, client.y);
      }
      break;
    }
  }
  Lock lock(S().mutex);
  AsyncModifiers = 0;
  // The target may have changed while the hooks ran.
  if (!pointer) {
    queue.reset();
    target = InputTarget(true, nullptr, &queue);
  } else if (!Find(target)) {
    return false;
  } else {
    msg.message = WithDoubleClick(
        msg.message, target, event.time ? event.time : msg.time, event.point);
  }
  if (!target || !queue) return false;
  msg.hwnd = target;
  InputMessage input{msg, event.modifiers, {}};
  if (event.kind == InputKind::Key && !event.keyUp)
    input.characters = event.characters;
  queue->input.push_back(std::move(input));
  Wake(*queue);
  return true;
}

}  // namespace vt::platform

HHOOK SetWindowsHookExA(int hookType, HOOKPROC procedure, HINSTANCE,
                        DWORD threadId) {
  if (!procedure || (hookType != WH_KEYBOARD && hookType != WH_MOUSE)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Lock lock(S().mutex);
  Hook hook;
  hook.handle = reinterpret_cast<HHOOK>(S().nextHook);
  S().nextHook += 4;
  hook.type = hookType;
  hook.proc = procedure;
  hook.threadId = threadId;
  S().hooks.insert(S().hooks.begin(), hook);
  return hook.handle;
}

BOOL UnhookWindowsHookEx(HHOOK hook) {
  Lock lock(S().mutex);
  auto& hooks = S().hooks;
  auto it = std::find_if(hooks.begin(), hooks.end(),
                         [&](const Hook& h) { return h.handle == hook; });
  if (it == hooks.end()) {
    SetLastError(ERROR_INVALID_HOOK_HANDLE);
    return FALSE;
  }
  hooks.erase(it);
  return TRUE;
}

LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam) {
  if (t_chain) {
    const auto& chain = *t_chain;
    for (std::size_t i = 0; i < chain.size(); ++i) {
      if (chain[i].handle == hook)
        return CallFrom(chain, i + 1, code, wParam, lParam);
    }
    return CallFrom(chain, t_position + 1, code, wParam, lParam);
  }
  // Outside a running chain: whatever follows the hook now.
  std::vector<Hook> rest;
  {
    Lock lock(S().mutex);
    auto& hooks = S().hooks;
    auto it = std::find_if(hooks.begin(), hooks.end(),
                           [&](const Hook& h) { return h.handle == hook; });
    if (it == hooks.end()) return 0;
    int type = it->type;
    for (++it; it != hooks.end(); ++it) {
      if (it->type == type) rest.push_back(*it);
    }
  }
  return CallFrom(rest, 0, code, wParam, lParam);
}

SHORT GetKeyState(int virtualKey) {
  auto queue = MyQueue();
  Lock lock(S().mutex);
  unsigned m = queue->modifiers;
  bool down = false;
  switch (virtualKey) {
    case VK_SHIFT:
      down = m & vt::platform::kShiftBit;
      break;
    case VK_CONTROL:
      down = m & vt::platform::kControlBit;
      break;
    case VK_MENU:
      down = m & vt::platform::kAltBit;
      break;
    default:
      down = std::find(queue->keysDown.begin(), queue->keysDown.end(),
                       static_cast<UINT>(virtualKey)) != queue->keysDown.end();
  }
  return down ? static_cast<SHORT>(0x8000) : SHORT{0};
}

SHORT GetAsyncKeyState(int virtualKey) {
  Lock lock(S().mutex);
  unsigned m = AsyncModifiers;
  bool down = (virtualKey == VK_SHIFT && (m & vt::platform::kShiftBit)) ||
              (virtualKey == VK_CONTROL && (m & vt::platform::kControlBit)) ||
              (virtualKey == VK_MENU && (m & vt::platform::kAltBit));
  return down ? static_cast<SHORT>(0x8000) : SHORT{0};
}

BOOL GetCursorPos(LPPOINT point) {
  if (!point) return FALSE;
  *point = vt::platform::TheDriver().cursorPosition();
  return TRUE;
}

BOOL SetCursorPos(int x, int y) {
  vt::platform::TheDriver().setCursorPosition(x, y);
  return TRUE;
}

HCURSOR SetCursor(HCURSOR cursor) {
  static HCURSOR current = nullptr;
  Lock lock(S().mutex);
  HCURSOR previous = current;
  current = cursor;
  return previous;
}
