// The default window procedure: what a window does with a message its own
// procedure passes on.
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/user/user_internal.h"

namespace vt::user {}  // namespace vt::user

using namespace vt::user;

// --- the default procedure ---------------------------------------------------

LRESULT CALLBACK DefWindowProcA(HWND window, UINT message, WPARAM wParam,
                                LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
      if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName))
        SetInternalText(window, cs->lpszName);
      return TRUE;
    }
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(window, WM_CLOSE, 0, 0);
      return 0;
    case WM_SETTEXT:
      SetInternalText(window, lParam ? reinterpret_cast<LPCSTR>(lParam) : "");
      InvalidateRect(window, nullptr, TRUE);
      return TRUE;
    case WM_GETTEXT: {
      if (!lParam || wParam == 0) return 0;
      std::string s = TextOfWindow(window);
      auto* out = reinterpret_cast<char*>(lParam);
      std::size_t n = std::min<std::size_t>(s.size(), wParam - 1);
      std::memcpy(out, s.data(), n);
      out[n] = '\0';
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(TextOfWindow(window).size());
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(window, &ps);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_ERASEBKGND: {
      HBRUSH brush = nullptr;
      {
        Lock lock(S().mutex);
        if (auto w = Find(window)) brush = w->cls->background;
      }
      if (!brush) return 0;
      RECT r;
      GetClientRect(window, &r);
      FillRect(reinterpret_cast<HDC>(wParam), &r, brush);
      return 1;
    }
    case WM_SETFONT: {
      Lock lock(S().mutex);
      if (auto w = Find(window)) w->font = reinterpret_cast<HFONT>(wParam);
      return 0;
    }
    case WM_GETFONT: {
      Lock lock(S().mutex);
      auto w = Find(window);
      return w ? reinterpret_cast<LRESULT>(w->font) : 0;
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != window && !IsChild(window, focus)) SetFocus(window);
      }
      return 0;
    case WM_SYSKEYDOWN:
      if (wParam == VK_F4 && (lParam & (KF_ALTDOWN << 16))) {
        HWND top = window;
        while (HWND p = ParentOf(top)) top = p;
        SendMessageA(top, WM_SYSCOMMAND, SC_CLOSE, 0);
      }
      return 0;
    case WM_MOUSEWHEEL:
      return ScrollBarWheel(window, wParam);
    case WM_MOUSEACTIVATE:
      return 1;
    case WM_CTLCOLORSTATIC:
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    default:
      return 0;
  }
}
