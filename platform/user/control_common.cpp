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

void PaintText(HWND window, UINT format, bool edged) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  RECT r;
  GetClientRect(window, &r);
  if (edged) DrawEdge(dc, &r, EDGE_RAISED, BF_RECT);
  std::string text = TextOfWindow(window);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(IsWindowEnabled(window) ? COLOR_BTNTEXT
                                                       : COLOR_GRAYTEXT));
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r, format);
  EndPaint(window, &ps);
}

}  // namespace vt::user
