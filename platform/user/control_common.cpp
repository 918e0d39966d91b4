// What the built-in controls share: telling the parent what happened, and
// painting a control's text.
//
// Each control (button.cpp, static.cpp, edit.cpp, list_box.cpp) is a window
// procedure with one switch over messages, each case a small function.
// Their state (ControlState) is touched only on the control's own thread;
// the text lives in the window record, so another thread can read it. They
// paint through gdi like any window, and tell their parent what happened
// with WM_COMMAND notifications.
#include <algorithm>
#include <cstring>

#include "platform/gdi/gdi_internal.h"
#include "platform/user/user_internal.h"

namespace vt::user {

void NotifyParent(HWND control, WORD code) {
  HWND parent = ParentOf(control);
  if (!parent) return;
  SendMessageA(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code),
               reinterpret_cast<LPARAM>(control));
}

void DrawControlText(HDC dc, const std::string& text, RECT rect, UINT format,
                     bool enabled) {
  SetBkMode(dc, TRANSPARENT);
  if (!enabled) {
    RECT below =
        RECT{rect.left + 1, rect.top + 1, rect.right + 1, rect.bottom + 1};
    SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &below, format);
  }
  SetTextColor(dc, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &rect, format);
}

void PaintText(HWND window, UINT format, bool edged) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  RECT r;
  GetClientRect(window, &r);
  if (edged) DrawEdge(dc, &r, EDGE_RAISED, BF_RECT);
  DrawControlText(dc, TextOfWindow(window), r, format,
                  IsWindowEnabled(window) != FALSE);
  EndPaint(window, &ps);
}

}  // namespace vt::user
