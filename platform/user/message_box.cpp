// MessageBoxA: a dialog built of the platform's own controls, run in the
// same modal loop as DialogBoxParamA, so that messages sent to the waiting
// thread are answered while the box is up.
//
// The box is sized around its text, measured through gdi and wrapped at
// half the screen's width, with the icon on the left and the buttons
// centred below; it is centred on its owner, or on the screen without one,
// and kept on the screen. On a desktop nobody sees (the headless driver), a
// script answers by clicking the button it names; without a script the
// question goes to the terminal instead (headless_question.cpp).
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/gdi/gdi_internal.h"
#include "platform/internal/scripts.h"
#include "platform/user/user_internal.h"

namespace vt::user {

namespace {

// Dialog units of the box's layout.
constexpr short kMargin = 7;
constexpr short kButtonWidth = 50;
constexpr short kButtonHeight = 14;
constexpr short kButtonGap = 4;
constexpr int kIconPixels = 32;

constexpr int kIconControlId = 20;
constexpr int kTextControlId = 0xFFFF;

const MessageBoxButton kOk{IDOK, "OK"};
const MessageBoxButton kCancel{IDCANCEL, "Cancel"};
const MessageBoxButton kAbort{IDABORT, "&Abort"};
const MessageBoxButton kRetry{IDRETRY, "&Retry"};
const MessageBoxButton kIgnore{IDIGNORE, "&Ignore"};
const MessageBoxButton kYes{IDYES, "&Yes"};
const MessageBoxButton kNo{IDNO, "&No"};

// The system icon each MB_ICON* shows, as a resource name ("#id").
const char* IconNameOf(UINT type) {
  switch (type & MB_ICONMASK) {
    case MB_ICONHAND:
      return "#32513";
    case MB_ICONQUESTION:
      return "#32514";
    case MB_ICONEXCLAMATION:
      return "#32515";
    case MB_ICONASTERISK:
      return "#32516";
    default:
      return nullptr;
  }
}

// What one box needs while it is up.
struct OpenBox {
  const MessageBoxLayout* layout = nullptr;
  HWND ownerTop = nullptr;
  int scripted = 0;
};

bool HasButton(const MessageBoxLayout& layout, int id) {
  return std::any_of(layout.buttons.begin(), layout.buttons.end(),
                     [id](const MessageBoxButton& b) { return b.id == id; });
}

// Esc and closing the box answer Cancel, else No, else the OK of a box with
// one button; a box with neither (Abort, Retry, Ignore) stays.
int EscapeAnswer(const MessageBoxLayout& layout) {
  if (HasButton(layout, IDCANCEL)) return IDCANCEL;
  if (HasButton(layout, IDNO)) return IDNO;
  if (layout.buttons.size() == 1) return layout.buttons.front().id;
  return 0;
}

// Centred on the owner's window, or on the screen, and kept on the screen.
void PlaceBox(HWND box, HWND ownerTop) {
  RECT r{};
  GetWindowRect(box, &r);
  int width = r.right - r.left;
  int height = r.bottom - r.top;
  RECT around{0, 0, GetSystemMetrics(SM_CXSCREEN),
              GetSystemMetrics(SM_CYSCREEN)};
  if (ownerTop && IsWindowVisible(ownerTop)) GetWindowRect(ownerTop, &around);
  int x = around.left + (around.right - around.left - width) / 2;
  int y = around.top + (around.bottom - around.top - height) / 2;
  x = std::clamp(x, 0, std::max(0, GetSystemMetrics(SM_CXSCREEN) - width));
  y = std::clamp(y, 0, std::max(0, GetSystemMetrics(SM_CYSCREEN) - height));
  SetWindowPos(box, nullptr, x, y, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// A script answers as a person would: by clicking the button it names,
// once the box is up and its thread has nothing else to do (after the idle
// actions a test queued to look at the open box).
void DriveByScript(HWND box, int answer) {
  auto queue = MyQueue();
  Lock lock(S().mutex);
  queue->idle.push_back([box, answer] {
    if (!IsWindow(box)) return;
    if (HWND button = GetDlgItem(box, answer)) {
      SendMessageA(button, BM_CLICK, 0, 0);
    } else {
      // The script asked for a button this box does not have; the box
      // still gives what the script said, as a person's answer would be
      // one of its buttons and the caller must not wait for ever.
      EndDialog(box, answer);
    }
  });
}

INT_PTR CALLBACK BoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(box, DWLP_USER, lParam);
      auto* open = reinterpret_cast<OpenBox*>(lParam);
      PlaceBox(box, open->ownerTop);
      const auto& layout = *open->layout;
      SendMessageA(box, DM_SETDEFID, layout.defaultId, 0);
      if (HWND button = GetDlgItem(box, layout.defaultId)) SetFocus(button);
      if (layout.type & MB_SETFOREGROUND) SetForegroundWindow(box);
      if (open->scripted) DriveByScript(box, open->scripted);
      MessageBeep(layout.type & MB_ICONMASK);
      return FALSE;
    }
    case WM_COMMAND: {
      auto* open =
          reinterpret_cast<OpenBox*>(GetWindowLongPtrA(box, DWLP_USER));
      if (!open || HIWORD(wParam) != BN_CLICKED) return FALSE;
      int id = LOWORD(wParam);
      if (id == IDCANCEL && !HasButton(*open->layout, IDCANCEL))
        id = EscapeAnswer(*open->layout);
      if (id && HasButton(*open->layout, id)) EndDialog(box, id);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

// Pixels to dialog units, rounding up so that nothing measured is cut.
short UnitsX(int pixels, int baseX) {
  return static_cast<short>((pixels * 4 + baseX - 1) / baseX);
}
short UnitsY(int pixels, int baseY) {
  return static_cast<short>((pixels * 8 + baseY - 1) / baseY);
}

// The template of one box, with the strings it points into.
struct BoxTemplate {
  std::vector<vtres::DialogItem> items;
  vtres::Dialog dialog{};
};

void BuildTemplate(const MessageBoxLayout& layout, BoxTemplate* out) {
  HFONT font = gdi::SystemFont();
  auto metrics = gdi::MetricsOf(font);
  const int baseX = metrics.averageCharWidth;
  const int baseY = metrics.height;

  // The text, wrapped at half the screen.
  RECT text{0, 0, std::max(GetSystemMetrics(SM_CXSCREEN) / 2, 8 * baseX), 0};
  HDC dc = GetDC(nullptr);
  SelectObject(dc, font);
  DrawTextA(dc, layout.text.c_str(), static_cast<int>(layout.text.size()),
            &text, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
  ReleaseDC(nullptr, dc);
  short textWidth = UnitsX(text.right - text.left, baseX);
  short textHeight =
      UnitsY(std::max<LONG>(text.bottom - text.top, baseY), baseY);

  const char* icon = IconNameOf(layout.type);
  short iconWidth = icon ? UnitsX(kIconPixels, baseX) : 0;
  short iconHeight = icon ? UnitsY(kIconPixels, baseY) : 0;
  short textLeft =
      static_cast<short>(kMargin + (icon ? iconWidth + kMargin : 0));
  // A short text sits level with the middle of the icon.
  short textTop = static_cast<short>(
      kMargin +
      (icon && textHeight < iconHeight ? (iconHeight - textHeight) / 2 : 0));

  const auto count = static_cast<short>(layout.buttons.size());
  short buttonsWidth =
      static_cast<short>(count * kButtonWidth + (count - 1) * kButtonGap);
  short width = static_cast<short>(std::max<int>(textLeft + textWidth + kMargin,
                                                 buttonsWidth + 2 * kMargin));
  short buttonsTop = static_cast<short>(
      std::max<int>(textTop + textHeight, kMargin + iconHeight) + kMargin);
  short height = static_cast<short>(buttonsTop + kButtonHeight + kMargin);

  if (icon) {
    out->items.push_back(vtres::DialogItem{
        "STATIC", icon, kIconControlId, WS_CHILD | WS_VISIBLE | SS_ICON, 0,
        kMargin, kMargin, iconWidth, iconHeight});
  }
  out->items.push_back(
      vtres::DialogItem{"STATIC", layout.text.c_str(), kTextControlId,
                        WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0,
                        textLeft, textTop, textWidth, textHeight});
  short x = static_cast<short>((width - buttonsWidth) / 2);
  for (const auto& button : layout.buttons) {
    DWORD style =
        WS_CHILD | WS_VISIBLE | WS_TABSTOP |
        (button.id == layout.defaultId ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    out->items.push_back(vtres::DialogItem{"BUTTON", button.label, button.id,
                                           style, 0, x, buttonsTop,
                                           kButtonWidth, kButtonHeight});
    x = static_cast<short>(x + kButtonWidth + kButtonGap);
  }
  out->dialog.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME |
                      (layout.type & MB_SETFOREGROUND ? DS_SETFOREGROUND : 0);
  out->dialog.exStyle = (layout.type & MB_TOPMOST) ? WS_EX_TOPMOST : 0;
  out->dialog.cx = width;
  out->dialog.cy = height;
  out->dialog.caption = layout.caption.c_str();
  out->dialog.font = "MS Sans Serif";
  out->dialog.pointSize = 8;
  out->dialog.items = out->items.data();
  out->dialog.itemCount = static_cast<int>(out->items.size());
}

HWND TopLevelOwner(HWND owner) {
  if (!owner) return nullptr;
  Lock lock(S().mutex);
  auto w = Find(owner);
  return w ? TopLevelOf(*w) : nullptr;
}

bool IdleActionsWaiting() {
  auto queue = MyQueue();
  Lock lock(S().mutex);
  return !queue->idle.empty();
}

}  // namespace

MessageBoxLayout LayoutOf(std::string_view text, std::string_view caption,
                          UINT type) {
  MessageBoxLayout layout;
  layout.text = std::string(text);
  layout.caption = std::string(caption);
  layout.type = type;
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
      layout.buttons = {kOk, kCancel};
      break;
    case MB_ABORTRETRYIGNORE:
      layout.buttons = {kAbort, kRetry, kIgnore};
      break;
    case MB_YESNOCANCEL:
      layout.buttons = {kYes, kNo, kCancel};
      break;
    case MB_YESNO:
      layout.buttons = {kYes, kNo};
      break;
    case MB_RETRYCANCEL:
      layout.buttons = {kRetry, kCancel};
      break;
    default:
      layout.buttons = {kOk};
      break;
  }
  std::size_t which = (type & MB_DEFMASK) >> 8;
  if (which >= layout.buttons.size()) which = 0;
  layout.defaultId = layout.buttons[which].id;
  return layout;
}

int EscapeAnswerOf(const MessageBoxLayout& layout) {
  return EscapeAnswer(layout);
}

}  // namespace vt::user

using namespace vt::user;

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  MessageBoxLayout layout =
      LayoutOf(text ? text : "", caption ? caption : "Error", type);
  vt::platform::ShownMessageBox shown;
  shown.owner = owner;
  shown.text = layout.text;
  shown.caption = layout.caption;
  shown.type = type;
  shown.threadId = GetCurrentThreadId();
  HWND ownerTop = TopLevelOwner(owner);
  shown.ownerWasDisabled = ownerTop != nullptr;

  const int scripted = vt::platform::NextScriptedMessageBoxAnswer();
  const bool seen = vt::platform::TheDriver().display;
  if (!seen) {
    // Nobody sees the desktop; the terminal does.
    std::fprintf(stderr, "%s: %s\n", layout.caption.c_str(),
                 layout.text.c_str());
    std::fflush(stderr);
  }
  // Headless without a script, nobody could press a button, so the box is
  // not shown at all, unless the thread has idle actions waiting: those are
  // a test at the keyboard.
  if (!seen && !scripted && !IdleActionsWaiting()) {
    bool disabledHere = ownerTop && IsWindowEnabled(ownerTop);
    if (disabledHere) EnableWindow(ownerTop, FALSE);
    PumpModalIdle();
    shown.answer = layout.buttons.size() == 1 ? layout.defaultId
                                              : AskWithoutDisplay(layout);
    if (disabledHere && IsWindow(ownerTop)) EnableWindow(ownerTop, TRUE);
    vt::platform::RecordMessageBox(shown);
    return shown.answer;
  }
  BoxTemplate tpl;
  BuildTemplate(layout, &tpl);
  OpenBox open;
  open.layout = &layout;
  open.ownerTop = ownerTop;
  open.scripted = scripted;
  INT_PTR answer = RunModalDialog(&tpl.dialog, ownerTop, BoxProc,
                                  reinterpret_cast<LPARAM>(&open));
  // A box ended by a WM_QUIT, or destroyed under it, answers as Esc would.
  if (answer <= 0)
    answer = EscapeAnswer(layout) ? EscapeAnswer(layout) : layout.defaultId;
  shown.answer = static_cast<int>(answer);
  vt::platform::RecordMessageBox(shown);
  return shown.answer;
}
