// What a window holds for its program: its text and its window words
// (procedure, styles, identifier, user data and the class's extra bytes).
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/user/user_internal.h"

namespace vt::user {

std::string TextOfWindow(HWND window) {
  Lock lock(S().mutex);
  auto w = FindAny(window);
  return w ? w->text : std::string();
}

void SetInternalText(HWND window, std::string_view text) {
  {
    Lock lock(S().mutex);
    auto w = Find(window);
    if (!w) return;
    w->text.assign(text.data(), text.size());
    if (!w->parent) UpdateRunEntryTitle(*w);
  }
  platform::TheDriver().windowTextChanged(window, text);
}

}  // namespace vt::user

using namespace vt::user;

// --- text -------------------------------------------------------------------

BOOL SetWindowTextA(HWND window, LPCSTR text) {
  {
    Lock lock(S().mutex);
    if (!Checked(window)) return FALSE;
  }
  return SendMessageA(window, WM_SETTEXT, 0,
                      reinterpret_cast<LPARAM>(text ? text : ""))
             ? TRUE
             : FALSE;
}

int GetWindowTextA(HWND window, LPSTR text, int size) {
  if (!text || size <= 0) return 0;
  bool sameThread;
  {
    Lock lock(S().mutex);
    auto w = FindAny(window);
    if (!w) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      text[0] = '\0';
      return 0;
    }
    sameThread = !w->remote && IsMine(w->queue);
  }
  if (sameThread) {
    return static_cast<int>(SendMessageA(window, WM_GETTEXT,
                                         static_cast<WPARAM>(size),
                                         reinterpret_cast<LPARAM>(text)));
  }
  // Another thread's window is read from its record rather than by a
  // message, so a busy thread cannot stall the caller.
  std::string s = TextOfWindow(window);
  int n = std::min<int>(static_cast<int>(s.size()), size - 1);
  std::memcpy(text, s.data(), n);
  text[n] = '\0';
  return n;
}

int GetWindowTextLengthA(HWND window) {
  bool sameThread;
  {
    Lock lock(S().mutex);
    auto w = FindAny(window);
    if (!w) return 0;
    sameThread = !w->remote && IsMine(w->queue);
  }
  if (sameThread)
    return static_cast<int>(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0));
  return static_cast<int>(TextOfWindow(window).size());
}

// --- window words -----------------------------------------------------------

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
  Lock lock(S().mutex);
  auto w = Checked(window);
  if (!w) return 0;
  switch (index) {
    case GWL_STYLE:
      return static_cast<LONG_PTR>(w->style);
    case GWL_EXSTYLE:
      return static_cast<LONG_PTR>(w->exStyle);
    case GWLP_WNDPROC:
      return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE:
      return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_ID:
      return w->id;
    case GWLP_USERDATA:
      return w->userData;
    default:
      break;
  }
  if (index < 0 ||
      static_cast<std::size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  LONG_PTR value;
  std::memcpy(&value, w->extra.data() + index, sizeof value);
  return value;
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
  Lock lock(S().mutex);
  auto w = Checked(window);
  if (!w) return 0;
  LONG_PTR previous = 0;
  switch (index) {
    case GWL_STYLE:
      previous = static_cast<LONG_PTR>(w->style);
      w->style = static_cast<DWORD>(value);
      return previous;
    case GWL_EXSTYLE:
      previous = static_cast<LONG_PTR>(w->exStyle);
      w->exStyle = static_cast<DWORD>(value);
      return previous;
    case GWLP_WNDPROC:
      previous = reinterpret_cast<LONG_PTR>(w->proc);
      w->proc = reinterpret_cast<WNDPROC>(value);
      return previous;
    case GWLP_HINSTANCE:
      previous = reinterpret_cast<LONG_PTR>(w->instance);
      w->instance = reinterpret_cast<HINSTANCE>(value);
      return previous;
    case GWLP_ID:
      previous = w->id;
      w->id = value;
      return previous;
    case GWLP_USERDATA:
      previous = w->userData;
      w->userData = value;
      return previous;
    default:
      break;
  }
  if (index < 0 ||
      static_cast<std::size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  std::memcpy(&previous, w->extra.data() + index, sizeof previous);
  std::memcpy(w->extra.data() + index, &value, sizeof value);
  return previous;
}

LRESULT CallWindowProcA(WNDPROC procedure, HWND window, UINT message,
                        WPARAM wParam, LPARAM lParam) {
  if (!procedure) return 0;
  return procedure(window, message, wParam, lParam);
}
