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

namespace vt::platform {

bool DeliverInput(const InputEvent& event) {
  std::shared_ptr<Queue> queue;
  HWND target = nullptr;
  DWORD targetThread = 0;
  {
    Lock lock(S().mutex);
    if (event.scope == InputScope::Window) {
      target =
          InputTarget(event.kind != InputKind::Mouse, event.target, &queue);
      if (queue) targetThread = queue->threadId;
    }
    AsyncModifiers = event.modifiers;
  }
  const bool alt = (event.modifiers & 4) != 0;
  MSG msg{};
  msg.time = GetTickCount();
  msg.pt = TheDriver().cursorPosition();
  switch (event.kind) {
    case InputKind::Key: {
      LPARAM lParam = 1;
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
      POINT client = event.point;
      ScreenToClient(target, &client);
      msg.message = event.mouseMessage;
      WPARAM buttons = 0;
      if (event.mouseMessage == WM_LBUTTONDOWN ||
          event.mouseMessage == WM_LBUTTONDBLCLK)
        buttons |= MK_LBUTTON;
      if (event.mouseMessage == WM_RBUTTONDOWN ||
          event.mouseMessage == WM_RBUTTONDBLCLK)
        buttons |= MK_RBUTTON;
      if (event.modifiers & 1) buttons |= MK_SHIFT;
      if (event.modifiers & 2) buttons |= MK_CONTROL;
      msg.wParam = buttons;
      msg.lParam = MAKELPARAM(client.x, client.y);
      break;
    }
  }
  Lock lock(S().mutex);
  AsyncModifiers = 0;
  // The target may have changed while the hooks ran.
  if (event.kind != InputKind::Mouse) {
    queue.reset();
    target = InputTarget(true, nullptr, &queue);
  } else if (!Find(target)) {
    return false;
  }
  if (!target || !queue) return false;
  msg.hwnd = target;
  queue->input.push_back(InputMessage{msg, event.modifiers});
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
    SetLastError(1404);  // not a hook handle
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
      down = m & 1;
      break;
    case VK_CONTROL:
      down = m & 2;
      break;
    case VK_MENU:
      down = m & 4;
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
  bool down = (virtualKey == VK_SHIFT && (m & 1)) ||
              (virtualKey == VK_CONTROL && (m & 2)) ||
              (virtualKey == VK_MENU && (m & 4));
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
