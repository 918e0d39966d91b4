// The STATIC control: text, icons, bitmaps and etched lines.
#include <algorithm>
#include <cstring>

#include "platform/gdi/gdi_internal.h"
#include "platform/user/user_internal.h"

namespace vt::user {

namespace {

LRESULT StaticCreate(HWND control, const CREATESTRUCTA* cs) {
  DWORD type = StyleOf(control) & SS_TYPEMASK;
  if (type != SS_ICON && type != SS_BITMAP) return 0;
  auto state = Control(control);
  if (!state || !cs || !cs->lpszName) return 0;
  if (type == SS_ICON)
    state->icon = LoadIconA(cs->hInstance, cs->lpszName);
  else
    state->bitmap = LoadBitmapA(cs->hInstance, cs->lpszName);
  return 0;
}

LRESULT StaticPaint(HWND control) {
  DWORD style = StyleOf(control);
  DWORD type = style & SS_TYPEMASK;
  auto state = Control(control);
  if (type == SS_ICON || type == SS_BITMAP) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(control, &ps);
    if (state && state->icon) DrawIcon(dc, 0, 0, state->icon);
    if (state && state->bitmap) {
      vt::gdi::DrawBitmapAt(dc, 0, 0, state->bitmap);
    }
    EndPaint(control, &ps);
    return 0;
  }
  if (type == SS_ETCHEDHORZ || type == SS_ETCHEDVERT ||
      type == SS_ETCHEDFRAME || (style & SS_SUNKEN)) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(control, &ps);
    RECT r;
    GetClientRect(control, &r);
    UINT edges = type == SS_ETCHEDHORZ   ? BF_TOP | BF_BOTTOM
                 : type == SS_ETCHEDVERT ? BF_LEFT | BF_RIGHT
                                         : BF_RECT;
    DrawEdge(dc, &r, (style & SS_SUNKEN) ? BDR_SUNKENOUTER : EDGE_ETCHED,
             edges);
    EndPaint(control, &ps);
    return 0;
  }
  UINT format = DT_WORDBREAK | DT_EXPANDTABS;
  if (type == SS_CENTER) format |= DT_CENTER;
  if (type == SS_RIGHT) format |= DT_RIGHT;
  if (style & SS_NOPREFIX) format |= DT_NOPREFIX;
  PaintText(control, format, false);
  return 0;
}

LRESULT StaticSetImage(HWND control, UINT message, WPARAM wParam,
                       LPARAM lParam) {
  auto state = Control(control);
  if (!state) return 0;
  LRESULT previous = 0;
  if (message == STM_SETICON ||
      (message == STM_SETIMAGE && wParam == IMAGE_ICON)) {
    previous = reinterpret_cast<LRESULT>(state->icon);
    state->icon =
        reinterpret_cast<HICON>(message == STM_SETICON ? wParam : lParam);
  } else if (message == STM_SETIMAGE && wParam == IMAGE_BITMAP) {
    previous = reinterpret_cast<LRESULT>(state->bitmap);
    state->bitmap = reinterpret_cast<HBITMAP>(lParam);
  }
  InvalidateRect(control, nullptr, TRUE);
  return previous;
}

LRESULT StaticGetImage(HWND control, UINT message, WPARAM wParam) {
  auto state = Control(control);
  if (!state) return 0;
  if (message == STM_GETICON || wParam == IMAGE_ICON)
    return reinterpret_cast<LRESULT>(state->icon);
  return reinterpret_cast<LRESULT>(state->bitmap);
}

}  // namespace

LRESULT CALLBACK StaticProc(HWND control, UINT message, WPARAM wParam,
                            LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return StaticCreate(control, reinterpret_cast<CREATESTRUCTA*>(lParam));
    case WM_GETDLGCODE:
      return DLGC_STATIC;
    case WM_LBUTTONDOWN:
      if (StyleOf(control) & SS_NOTIFY) NotifyParent(control, 0);
      return 0;
    case WM_LBUTTONDBLCLK:
      if (StyleOf(control) & SS_NOTIFY) NotifyParent(control, 1);
      return 0;
    case STM_SETICON:
    case STM_SETIMAGE:
      return StaticSetImage(control, message, wParam, lParam);
    case STM_GETICON:
    case STM_GETIMAGE:
      return StaticGetImage(control, message, wParam);
    case WM_PAINT:
      return StaticPaint(control);
    default:
      return DefWindowProcA(control, message, wParam, lParam);
  }
}

}  // namespace vt::user
