// The BUTTON control: push buttons, check boxes, radio buttons and group
// boxes.
#include <algorithm>
#include <cstring>

#include "platform/gdi/gdi_internal.h"
#include "platform/user/user_internal.h"

namespace vt::user {

namespace {

DWORD TypeOf(HWND window) { return StyleOf(window) & BS_TYPEMASK; }

void ButtonClicked(HWND button) {
  if (!IsWindowEnabled(button)) return;
  auto state = Control(button);
  if (!state) return;
  if (TypeOf(button) == BS_AUTOCHECKBOX) {
    state->check = state->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
    InvalidateRect(button, nullptr, TRUE);
  }
  NotifyParent(button, BN_CLICKED);
}

LRESULT ButtonDlgCode(HWND button) {
  switch (TypeOf(button)) {
    case BS_DEFPUSHBUTTON:
      return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
    case BS_PUSHBUTTON:
      return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
      return DLGC_BUTTON | DLGC_RADIOBUTTON;
    case BS_GROUPBOX:
      return DLGC_STATIC;
    default:
      return DLGC_BUTTON;
  }
}

LRESULT ButtonSetState(HWND button, bool pushed) {
  auto state = Control(button);
  if (state && state->pushed != pushed) {
    state->pushed = pushed;
    InvalidateRect(button, nullptr, TRUE);
  }
  return 0;
}

LRESULT ButtonGetState(HWND button) {
  auto state = Control(button);
  if (!state) return 0;
  LRESULT s = state->check;
  if (state->pushed) s |= BST_PUSHED;
  if (GetFocus() == button) s |= BST_FOCUS;
  return s;
}

LRESULT ButtonSetStyle(HWND button, WPARAM style, LPARAM redraw) {
  {
    Lock lock(S().mutex);
    auto w = Find(button);
    if (!w) return 0;
    w->style = (w->style & ~0xFFFFu) | (static_cast<DWORD>(style) & 0xFFFFu);
  }
  if (redraw) InvalidateRect(button, nullptr, TRUE);
  return 0;
}

LRESULT ButtonSetCheck(HWND button, WPARAM check) {
  auto state = Control(button);
  if (!state) return 0;
  DWORD type = TypeOf(button);
  if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_GROUPBOX)
    return 0;
  state->check = static_cast<UINT>(check) & (BST_CHECKED | BST_INDETERMINATE);
  InvalidateRect(button, nullptr, TRUE);
  return 0;
}

LRESULT ButtonMouseDown(HWND button) {
  if (TypeOf(button) == BS_GROUPBOX) return 0;
  SetFocus(button);
  SetCapture(button);
  return ButtonSetState(button, true);
}

LRESULT ButtonMouseUp(HWND button) {
  auto state = Control(button);
  bool was = state && state->pushed;
  ReleaseCapture();
  ButtonSetState(button, false);
  if (was) ButtonClicked(button);
  return 0;
}

LRESULT ButtonKey(HWND button, UINT message, WPARAM key) {
  if (key != VK_SPACE) return 0;
  if (message == WM_KEYDOWN) return ButtonSetState(button, true);
  return ButtonMouseUp(button);
}

LRESULT ButtonPaint(HWND button) {
  DWORD type = TypeOf(button);
  bool push = type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
  PaintText(button,
            push ? DT_CENTER | DT_VCENTER | DT_SINGLELINE
                 : DT_LEFT | DT_VCENTER | DT_SINGLELINE,
            push);
  return 0;
}

}  // namespace

LRESULT CALLBACK ButtonProc(HWND button, UINT message, WPARAM wParam,
                            LPARAM lParam) {
  switch (message) {
    case WM_GETDLGCODE:
      return ButtonDlgCode(button);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      return ButtonMouseDown(button);
    case WM_LBUTTONUP:
      return ButtonMouseUp(button);
    case WM_KEYDOWN:
    case WM_KEYUP:
      return ButtonKey(button, message, wParam);
    case WM_KILLFOCUS:
      return ButtonSetState(button, false);
    case WM_SETFOCUS:
      InvalidateRect(button, nullptr, TRUE);
      return 0;
    case BM_GETCHECK: {
      auto state = Control(button);
      return state ? state->check : 0;
    }
    case BM_SETCHECK:
      return ButtonSetCheck(button, wParam);
    case BM_GETSTATE:
      return ButtonGetState(button);
    case BM_SETSTATE:
      return ButtonSetState(button, wParam != 0);
    case BM_SETSTYLE:
      return ButtonSetStyle(button, wParam, lParam);
    case BM_CLICK:
      ButtonClicked(button);
      return 0;
    case WM_ENABLE:
      InvalidateRect(button, nullptr, TRUE);
      return 0;
    case WM_PAINT:
      return ButtonPaint(button);
    default:
      return DefWindowProcA(button, message, wParam, lParam);
  }
}

}  // namespace vt::user
