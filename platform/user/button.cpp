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

// The side of a check box's square, in pixels.
constexpr int kCheckBoxSide = 13;

RECT Inset(RECT r, int by) {
  return RECT{r.left + by, r.top + by, r.right - by, r.bottom - by};
}

// A push button: raised, sunken while pushed; the default button inside a
// one-pixel black frame; the focus as a dotted rectangle within.
void PaintPushButton(HWND button, HDC dc, const RECT& client, bool focused) {
  auto state = Control(button);
  bool pushed = state && state->pushed;
  RECT r = client;
  FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
  if (TypeOf(button) == BS_DEFPUSHBUTTON) {
    RECT sides[] = {{r.left, r.top, r.right, r.top + 1},
                    {r.left, r.bottom - 1, r.right, r.bottom},
                    {r.left, r.top, r.left + 1, r.bottom},
                    {r.right - 1, r.top, r.right, r.bottom}};
    for (const RECT& side : sides)
      FillRect(dc, &side, GetSysColorBrush(COLOR_3DDKSHADOW));
    r = Inset(r, 1);
  }
  if (pushed) {
    // Pushed, a button lies flat in a shadow line, its text moved down.
    RECT shadow = r;
    DrawEdge(dc, &shadow, BDR_SUNKENOUTER, BF_RECT);
  } else {
    DrawEdge(dc, &r, EDGE_RAISED, BF_RECT);
  }
  RECT text = r;
  if (pushed) text = RECT{r.left + 1, r.top + 1, r.right + 1, r.bottom + 1};
  DrawControlText(dc, TextOfWindow(button), text,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE,
                  IsWindowEnabled(button) != FALSE);
  if (focused) {
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    RECT dots = Inset(r, 3);
    DrawFocusRect(dc, &dots);
  }
}

// A check mark of three strokes, each a pixel lower than the last, in the
// square's white interior.
void DrawCheckMark(HDC dc, int x, int y, COLORREF ink) {
  SetTextColor(dc, ink);
  for (int i = 0; i < 3; ++i) {
    MoveToEx(dc, x + 3, y + 5 + i, nullptr);
    LineTo(dc, x + 5, y + 7 + i);
    LineTo(dc, x + 10, y + 2 + i);
  }
}

// A check box (or radio button): the sunken white square, its mark, the
// text beside it and, with the focus, a dotted rectangle around the text.
void PaintCheckBox(HWND button, HDC dc, const RECT& client, bool focused) {
  auto state = Control(button);
  bool enabled = IsWindowEnabled(button) != FALSE;
  bool pushed = state && state->pushed;
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  int top = (client.top + client.bottom - kCheckBoxSide) / 2;
  RECT box{client.left, top, client.left + kCheckBoxSide, top + kCheckBoxSide};
  // The square greys while pushed or disabled, as a person expects.
  RECT inside = Inset(box, 2);
  FillRect(dc, &inside,
           GetSysColorBrush(enabled && !pushed ? COLOR_WINDOW : COLOR_BTNFACE));
  DrawEdge(dc, &box, EDGE_SUNKEN, BF_RECT);
  UINT check = state ? state->check : BST_UNCHECKED;
  if (check != BST_UNCHECKED)
    DrawCheckMark(
        dc, box.left, box.top,
        GetSysColor(enabled && check == BST_CHECKED ? COLOR_BTNTEXT
                                                    : COLOR_GRAYTEXT));
  std::string text = TextOfWindow(button);
  RECT label{client.left + kCheckBoxSide + 4, client.top, client.right,
             client.bottom};
  DrawControlText(dc, text, label, DT_LEFT | DT_VCENTER | DT_SINGLELINE,
                  enabled);
  if (focused && !text.empty()) {
    RECT measured = label;
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &measured,
              DT_LEFT | DT_SINGLELINE | DT_CALCRECT);
    int height = measured.bottom - measured.top;
    int y = (client.top + client.bottom - height) / 2;
    RECT dots{label.left - 1, y - 1,
              std::min(measured.right + 2, static_cast<int>(client.right)),
              std::min(y + height + 1, static_cast<int>(client.bottom))};
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawFocusRect(dc, &dots);
  }
}

// A group box: its caption at the top left over an etched frame whose top
// line runs through the caption's middle. It paints nothing inside, so the
// controls it frames show through whenever it paints.
void PaintGroupBox(HWND button, HDC dc, const RECT& client) {
  std::string text = TextOfWindow(button);
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  RECT frame{client.left, client.top + tm.tmHeight / 2, client.right,
             client.bottom};
  DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
  if (text.empty()) return;
  RECT caption{client.left + 8, client.top, client.right - 8,
               client.top + tm.tmHeight};
  RECT measured = caption;
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &measured,
            DT_LEFT | DT_SINGLELINE | DT_CALCRECT);
  // The frame's line stops a little before and after the caption.
  RECT gap{caption.left - 2, caption.top,
           std::min(measured.right + 2, static_cast<int>(caption.right)),
           caption.bottom};
  FillRect(dc, &gap, GetSysColorBrush(COLOR_BTNFACE));
  DrawControlText(dc, text, caption, DT_LEFT | DT_SINGLELINE,
                  IsWindowEnabled(button) != FALSE);
}

LRESULT ButtonPaint(HWND button) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(button, &ps);
  RECT client;
  GetClientRect(button, &client);
  bool focused = GetFocus() == button;
  switch (TypeOf(button)) {
    case BS_PUSHBUTTON:
    case BS_DEFPUSHBUTTON:
      PaintPushButton(button, dc, client, focused);
      break;
    case BS_GROUPBOX:
      PaintGroupBox(button, dc, client);
      break;
    default:
      PaintCheckBox(button, dc, client, focused);
      break;
  }
  EndPaint(button, &ps);
  return 0;
}

// A group box erases nothing: its rectangle holds other controls.
LRESULT ButtonEraseBackground(HWND button, WPARAM dc) {
  if (TypeOf(button) == BS_GROUPBOX) return 1;
  return DefWindowProcA(button, WM_ERASEBKGND, dc, 0);
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
      // Repainted without the focus rectangle.
      InvalidateRect(button, nullptr, TRUE);
      return ButtonSetState(button, false);
    case WM_ERASEBKGND:
      return ButtonEraseBackground(button, wParam);
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
