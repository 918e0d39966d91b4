// Dialogs from templates, the dialog window procedure and the dialog
// manager's keyboard handling.
//
// CreateDialogParamA and DialogBoxParamA share CreateFromTemplate: the
// dialog window (class "#32770"), then its items in template order, which is
// also the tab order, then WM_INITDIALOG. The dialog procedure lives in
// DWLP_DLGPROC and answers TRUE for what it handled; DialogProc (the class's
// window procedure) falls back to the default dialog behaviour otherwise.
// Keyboard handling (Tab, Enter, Esc, mnemonics) is IsDialogMessageA, which
// only the modal loop calls: a modeless dialog gets what its program's loop
// gives it.
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/gdi/gdi_internal.h"
#include "platform/user/user_internal.h"

namespace vt::user {

namespace {

const vtres::Dialog* FindTemplate(LPCSTR name) {
  int id = ResourceId(name);
  if (id < 0) return nullptr;
  return static_cast<const vtres::Dialog*>(
      vtres::FindResource(vtres::Type::Dialog, id));
}

std::shared_ptr<Window> DialogRecord(HWND dialog) {
  Lock lock(S().mutex);
  auto w = Find(dialog);
  return w && w->dialog ? w : nullptr;
}

// Messages whose answer is the dialog procedure's own return value rather
// than DWLP_MSGRESULT.
bool AnswersDirectly(UINT message) {
  switch (message) {
    case WM_INITDIALOG:
    case WM_CTLCOLORSTATIC:
      return true;
    default:
      return false;
  }
}

LRESULT DlgCode(HWND control, const MSG* msg) {
  return SendMessageA(control, WM_GETDLGCODE, msg ? msg->wParam : 0,
                      reinterpret_cast<LPARAM>(msg));
}

// Focus to a control the way the dialog manager moves it: an edit gets
// its whole text selected.
void FocusControl(HWND control) {
  SetFocus(control);
  if (DlgCode(control, nullptr) & DLGC_HASSETSEL)
    SendMessageA(control, EM_SETSEL, 0, -1);
}

bool Usable(HWND control) {
  DWORD style = StyleOf(control);
  return (style & WS_VISIBLE) && !(style & WS_DISABLED);
}

void RestoreFocus(HWND dialog) {
  HWND focus = GetFocus();
  if (focus && IsChild(dialog, focus)) return;
  HWND target = nullptr;
  bool defaultFocus = false;
  {
    Lock lock(S().mutex);
    auto w = Find(dialog);
    if (w && w->dialog) {
      target = w->dialog->savedFocus;
      defaultFocus = w->dialog->defaultFocus;
    }
  }
  if (!target || !IsChild(dialog, target) || !Usable(target))
    target = defaultFocus ? GetNextDlgTabItem(dialog, nullptr, FALSE) : nullptr;
  if (target) SetFocus(target);
}

void NextControl(HWND dialog, WPARAM wParam, LPARAM lParam) {
  HWND target;
  if (LOWORD(lParam))
    target = reinterpret_cast<HWND>(wParam);
  else
    target = GetNextDlgTabItem(dialog, GetFocus(), wParam != 0 ? TRUE : FALSE);
  if (target && IsWindow(target)) FocusControl(target);
}

void SetDefaultId(HWND dialog, int id) {
  int previous = 0;
  {
    Lock lock(S().mutex);
    auto w = Find(dialog);
    if (!w || !w->dialog) return;
    previous = w->dialog->defId;
    w->dialog->defId = id;
  }
  if (previous && previous != id) {
    HWND old = GetDlgItem(dialog, previous);
    if (old && (DlgCode(old, nullptr) & DLGC_DEFPUSHBUTTON))
      SendMessageA(old, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
  }
  HWND now = GetDlgItem(dialog, id);
  if (now && (DlgCode(now, nullptr) & DLGC_UNDEFPUSHBUTTON))
    SendMessageA(now, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
}

LRESULT DefaultDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      // A dialog that does not handle closing hears it as Cancel.
      PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
      return 0;
    case WM_NEXTDLGCTL:
      NextControl(dialog, wParam, lParam);
      return 0;
    case DM_GETDEFID: {
      Lock lock(S().mutex);
      auto w = Find(dialog);
      int id = w && w->dialog ? w->dialog->defId : 0;
      return id ? MAKELRESULT(id, DC_HASDEFID) : 0;
    }
    case DM_SETDEFID:
      SetDefaultId(dialog, static_cast<int>(wParam));
      return TRUE;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) RestoreFocus(dialog);
      return 0;
    case WM_SETFOCUS:
      RestoreFocus(dialog);
      return 0;
    case WM_INITDIALOG:
    case WM_COMMAND:
    case WM_GETDLGCODE:
      return 0;
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(dialog, &r);
      FillRect(reinterpret_cast<HDC>(wParam), &r,
               GetSysColorBrush(COLOR_BTNFACE));
      return 1;
    }
    default:
      return DefWindowProcA(dialog, message, wParam, lParam);
  }
}

// The control whose mnemonic is letter, searching from after the focus.
HWND FindMnemonic(HWND dialog, char letter) {
  letter = LowerWindows1252(letter);
  std::vector<HWND> children = ChildrenOf(dialog);
  HWND focus = GetFocus();
  auto start = std::find(children.begin(), children.end(), focus);
  std::size_t first =
      start == children.end()
          ? 0
          : static_cast<std::size_t>(start - children.begin()) + 1;
  for (std::size_t n = 0; n < children.size(); ++n) {
    HWND child = children[(first + n) % children.size()];
    if (!Usable(child)) continue;
    DWORD style = StyleOf(child);
    if (EqualNoCaseWindows1252(ClassNameOf(child), "STATIC") &&
        (style & SS_NOPREFIX))
      continue;
    if (MnemonicOf(TextOfWindow(child)) == letter) return child;
  }
  return nullptr;
}

void ActivateMnemonic(HWND dialog, HWND control) {
  LRESULT code = DlgCode(control, nullptr);
  if (code & DLGC_STATIC) {
    // A label hands its mnemonic to the control after it.
    std::vector<HWND> children = ChildrenOf(dialog);
    auto it = std::find(children.begin(), children.end(), control);
    for (++it; it != children.end(); ++it) {
      if (Usable(*it) && (StyleOf(*it) & WS_TABSTOP) &&
          !(DlgCode(*it, nullptr) & DLGC_STATIC)) {
        FocusControl(*it);
        return;
      }
    }
    return;
  }
  if (code & DLGC_BUTTON) {
    if (!(code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)))
      SetFocus(control);
    SendMessageA(control, BM_CLICK, 0, 0);
    return;
  }
  FocusControl(control);
}

void PressDefault(HWND dialog, HWND focus) {
  LRESULT code = focus && IsChild(dialog, focus) ? DlgCode(focus, nullptr) : 0;
  int id;
  HWND button;
  if (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) {
    button = focus;
    id = GetDlgCtrlID(focus);
  } else {
    LRESULT def = SendMessageA(dialog, DM_GETDEFID, 0, 0);
    id = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK;
    button = GetDlgItem(dialog, id);
  }
  if (button && !IsWindowEnabled(button)) {
    MessageBeep(0);
    return;
  }
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
}

HWND CreateFromTemplate(const vtres::Dialog* tpl, HWND owner, DLGPROC procedure,
                        LPARAM initParam, bool modal) {
  if (!tpl) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  HFONT font = tpl->font ? gdi::CreateFontObject(tpl->font, tpl->pointSize, 400)
                         : gdi::SystemFont();
  platform::FontMetrics metrics = gdi::MetricsOf(font);
  int baseX = metrics.averageCharWidth;
  int baseY = metrics.height;
  DWORD style = tpl->style & ~WS_VISIBLE;
  DWORD exStyle = tpl->exStyle;
  if (style & DS_MODALFRAME) exStyle |= WS_EX_DLGMODALFRAME;
  RECT insets = NonClientInsets(style, exStyle);
  int width = MulDivRound(tpl->cx, baseX, 4) + insets.left + insets.right;
  int height = MulDivRound(tpl->cy, baseY, 8) + insets.top + insets.bottom;
  int x;
  int y;
  if (style & DS_CENTER) {
    SIZE screen = platform::TheDriver().screenSize();
    x = (screen.cx - width) / 2;
    y = (screen.cy - height) / 2;
  } else {
    POINT origin{0, 0};
    if (owner && !(style & DS_ABSALIGN)) ClientToScreen(owner, &origin);
    x = origin.x + MulDivRound(tpl->x, baseX, 4);
    y = origin.y + MulDivRound(tpl->y, baseY, 8);
  }
  HWND dialog =
      CreateWindowExA(exStyle, kDialogClass, tpl->caption, style, x, y, width,
                      height, owner, nullptr, nullptr, nullptr);
  if (!dialog) return nullptr;
  {
    Lock lock(S().mutex);
    auto w = Find(dialog);
    if (!w) return nullptr;
    w->dialog = std::make_unique<DialogState>();
    w->dialog->font = font;
    w->dialog->baseX = baseX;
    w->dialog->baseY = baseY;
    w->dialog->modal = modal;
    w->font = font;
  }
  SetWindowLongPtrA(dialog, DWLP_DLGPROC,
                    reinterpret_cast<LONG_PTR>(procedure));
  SendMessageA(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  int defId = 0;
  for (int i = 0; i < tpl->itemCount; ++i) {
    const vtres::DialogItem& item = tpl->items[i];
    int ix = MulDivRound(item.x, baseX, 4);
    int iy = MulDivRound(item.y, baseY, 8);
    int icx = MulDivRound(item.cx, baseX, 4);
    int icy = MulDivRound(item.cy, baseY, 8);
    // A control with the sunken client edge has no flat border besides:
    // dialogs here have the three-dimensional look throughout.
    DWORD itemStyle = item.style | WS_CHILD;
    if (item.exStyle & WS_EX_CLIENTEDGE) itemStyle &= ~WS_BORDER;
    HWND control = CreateWindowExA(
        item.exStyle, item.windowClass, item.text ? item.text : "", itemStyle,
        ix, iy, icx, icy, dialog,
        reinterpret_cast<HMENU>(static_cast<LONG_PTR>(item.id)), nullptr,
        nullptr);
    if (!control) {
      DestroyWindow(dialog);
      return nullptr;
    }
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (!defId && EqualNoCaseWindows1252(item.windowClass, "BUTTON") &&
        (item.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
      defId = item.id;
  }
  {
    Lock lock(S().mutex);
    if (auto w = Find(dialog)) w->dialog->defId = defId;
  }
  HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE);
  LRESULT wantsFocus = SendMessageA(dialog, WM_INITDIALOG,
                                    reinterpret_cast<WPARAM>(first), initParam);
  if (!IsWindow(dialog)) return nullptr;
  bool ended = false;
  {
    Lock lock(S().mutex);
    auto w = Find(dialog);
    if (w) w->dialog->defaultFocus = wantsFocus != 0;
    ended = w && w->dialog->ended;
  }
  if (wantsFocus && !ended) {
    // The procedure asked for the default focus. It may have changed the
    // controls, so the first tab stop is looked for again; the focus goes
    // there at once, shown or not, and comes back there on activation.
    if (HWND target = GetNextDlgTabItem(dialog, nullptr, FALSE))
      FocusControl(target);
  }
  if ((tpl->style & WS_VISIBLE) && !ended && IsWindow(dialog))
    ShowWindow(dialog, SW_SHOWNORMAL);
  return dialog;
}

}  // namespace

LRESULT CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam,
                            LPARAM lParam) {
  auto procedure =
      reinterpret_cast<DLGPROC>(GetWindowLongPtrA(dialog, DWLP_DLGPROC));
  if (procedure) {
    INT_PTR handled = procedure(dialog, message, wParam, lParam);
    if (handled) {
      if (AnswersDirectly(message)) return handled;
      return IsWindow(dialog) ? GetWindowLongPtrA(dialog, DWLP_MSGRESULT) : 0;
    }
    if (!IsWindow(dialog)) return 0;
  }
  return DefaultDialog(dialog, message, wParam, lParam);
}

}  // namespace vt::user

using namespace vt::user;

HWND CreateDialogParamA(HINSTANCE, LPCSTR templateName, HWND owner,
                        DLGPROC procedure, LPARAM initParam) {
  return CreateFromTemplate(FindTemplate(templateName), owner, procedure,
                            initParam, false);
}

INT_PTR DialogBoxParamA(HINSTANCE, LPCSTR templateName, HWND owner,
                        DLGPROC procedure, LPARAM initParam) {
  return RunModalDialog(FindTemplate(templateName), owner, procedure,
                        initParam);
}

namespace vt::user {

INT_PTR RunModalDialog(const vtres::Dialog* tpl, HWND owner, DLGPROC procedure,
                       LPARAM initParam) {
  HWND ownerTop = nullptr;
  if (owner) {
    Lock lock(S().mutex);
    auto o = Find(owner);
    if (o) ownerTop = TopLevelOf(*o);
  }
  HWND dialog = CreateFromTemplate(tpl, ownerTop, procedure, initParam, true);
  if (!dialog) return -1;
  auto record = DialogRecord(dialog);
  if (!record) return -1;
  if (ownerTop && IsWindowEnabled(ownerTop)) {
    EnableWindow(ownerTop, FALSE);
    Lock lock(S().mutex);
    record->dialog->disabledOwner = ownerTop;
  }
  auto ended = [record] {
    Lock lock(S().mutex);
    return record->dialog->ended || !Find(record->handle);
  };
  if (!ended()) {
    ShowWindow(dialog, SW_SHOWNORMAL);
    RunModalLoop(ended, dialog);
  }
  INT_PTR result;
  HWND disabledOwner;
  {
    Lock lock(S().mutex);
    result = record->dialog->ended ? record->dialog->result : 0;
    disabledOwner = record->dialog->disabledOwner;
    record->dialog->disabledOwner = nullptr;
  }
  if (disabledOwner) EnableWindow(disabledOwner, TRUE);
  if (IsWindow(dialog)) DestroyWindow(dialog);
  return result;
}

}  // namespace vt::user

BOOL EndDialog(HWND dialog, INT_PTR result) {
  HWND owner = nullptr;
  {
    Lock lock(S().mutex);
    auto w = Find(dialog);
    if (!w || !w->dialog) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    w->dialog->ended = true;
    w->dialog->result = result;
    owner = w->dialog->disabledOwner;
    w->dialog->disabledOwner = nullptr;
  }
  // The owner comes back before the dialog goes, so that it is the window
  // activated next.
  if (owner) EnableWindow(owner, TRUE);
  ShowWindow(dialog, SW_HIDE);
  PostMessageA(dialog, WM_NULL, 0, 0);
  return TRUE;
}

HWND GetDlgItem(HWND dialog, int id) {
  Lock lock(S().mutex);
  auto w = Find(dialog);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  for (HWND child : w->children) {
    auto c = Find(child);
    if (c && c->id == id) return child;
  }
  SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
  return nullptr;
}

int GetDlgCtrlID(HWND window) {
  Lock lock(S().mutex);
  auto w = Find(window);
  return w && w->parent ? static_cast<int>(w->id) : 0;
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
  HWND control = GetDlgItem(dialog, id);
  return control ? SetWindowTextA(control, text) : FALSE;
}

UINT GetDlgItemTextA(HWND dialog, int id, LPSTR text, int size) {
  HWND control = GetDlgItem(dialog, id);
  if (!control) {
    if (text && size > 0) text[0] = '\0';
    return 0;
  }
  return static_cast<UINT>(GetWindowTextA(control, text, size));
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned) {
  char buffer[16];
  if (isSigned)
    std::snprintf(buffer, sizeof buffer, "%d", static_cast<int>(value));
  else
    std::snprintf(buffer, sizeof buffer, "%u", value);
  return SetDlgItemTextA(dialog, id, buffer);
}

UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned) {
  if (translated) *translated = FALSE;
  HWND control = GetDlgItem(dialog, id);
  if (!control) return 0;
  std::string text = TextOfWindow(control);
  const char* p = text.c_str();
  while (*p == ' ' || *p == '\t') ++p;
  bool negative = false;
  if (*p == '-' && isSigned) {
    negative = true;
    ++p;
  } else if (*p == '+') {
    ++p;
  }
  if (*p < '0' || *p > '9') return 0;
  unsigned long long value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + static_cast<unsigned>(*p - '0');
    if (value > 0xFFFFFFFFull) return 0;
  }
  if (*p) return 0;
  if (isSigned) {
    if (!negative && value > 0x7FFFFFFFull) return 0;
    if (negative && value > 0x80000000ull) return 0;
    if (translated) *translated = TRUE;
    long long v = negative ? -static_cast<long long>(value)
                           : static_cast<long long>(value);
    return static_cast<UINT>(static_cast<int>(v));
  }
  if (translated) *translated = TRUE;
  return static_cast<UINT>(value);
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
  HWND control = GetDlgItem(dialog, id);
  if (!control) return FALSE;
  SendMessageA(control, BM_SETCHECK, check, 0);
  return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  if (!control) return 0;
  return static_cast<UINT>(SendMessageA(control, BM_GETCHECK, 0, 0));
}

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam,
                            LPARAM lParam) {
  HWND control = GetDlgItem(dialog, id);
  return control ? SendMessageA(control, message, wParam, lParam) : 0;
}

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
  std::vector<HWND> children = ChildrenOf(dialog);
  std::vector<HWND> stops;
  for (HWND child : children) {
    DWORD style = StyleOf(child);
    if ((style & WS_TABSTOP) && (style & WS_VISIBLE) && !(style & WS_DISABLED))
      stops.push_back(child);
  }
  if (stops.empty()) return nullptr;
  auto at = std::find(children.begin(), children.end(), control);
  if (at == children.end()) return previous ? stops.back() : stops.front();
  std::size_t index = static_cast<std::size_t>(at - children.begin());
  std::size_t n = children.size();
  for (std::size_t step = 1; step <= n; ++step) {
    std::size_t i = previous ? (index + n - step) % n : (index + step) % n;
    if (std::find(stops.begin(), stops.end(), children[i]) != stops.end())
      return children[i];
  }
  return control;
}

BOOL IsDialogMessageA(HWND dialog, LPMSG msg) {
  if (!msg || !dialog) return FALSE;
  if (msg->hwnd != dialog && !IsChild(dialog, msg->hwnd)) return FALSE;
  switch (msg->message) {
    case WM_KEYDOWN: {
      LRESULT code = DlgCode(msg->hwnd, msg);
      if (code & DLGC_WANTMESSAGE) break;
      switch (msg->wParam) {
        case VK_TAB:
          if (code & DLGC_WANTTAB) break;
          SendMessageA(dialog, WM_NEXTDLGCTL,
                       (GetKeyState(VK_SHIFT) < 0) ? 1 : 0, 0);
          return TRUE;
        case VK_RETURN:
          PressDefault(dialog, GetFocus());
          return TRUE;
        case VK_ESCAPE:
          SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                       reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
          return TRUE;
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN: {
          if (code & DLGC_WANTARROWS) break;
          bool back = msg->wParam == VK_LEFT || msg->wParam == VK_UP;
          HWND next =
              GetNextDlgTabItem(dialog, GetFocus(), back ? TRUE : FALSE);
          if (next) FocusControl(next);
          return TRUE;
        }
        default:
          break;
      }
      break;
    }
    case WM_CHAR: {
      LRESULT code = DlgCode(msg->hwnd, msg);
      if (code & (DLGC_WANTCHARS | DLGC_WANTMESSAGE)) break;
      if (msg->wParam == '\t' || msg->wParam == '\r' || msg->wParam == 0x1B)
        return TRUE;
      if (HWND target = FindMnemonic(dialog, static_cast<char>(msg->wParam))) {
        ActivateMnemonic(dialog, target);
        return TRUE;
      }
      break;
    }
    case WM_SYSCHAR:
      if (HWND target = FindMnemonic(dialog, static_cast<char>(msg->wParam))) {
        ActivateMnemonic(dialog, target);
        return TRUE;
      }
      break;
    default:
      break;
  }
  TranslateMessage(msg);
  DispatchMessageA(msg);
  return TRUE;
}

BOOL MapDialogRect(HWND dialog, LPRECT rect) {
  if (!rect) return FALSE;
  auto w = DialogRecord(dialog);
  if (!w) return FALSE;
  int bx;
  int by;
  {
    Lock lock(S().mutex);
    bx = w->dialog->baseX;
    by = w->dialog->baseY;
  }
  rect->left = MulDivRound(rect->left, bx, 4);
  rect->right = MulDivRound(rect->right, bx, 4);
  rect->top = MulDivRound(rect->top, by, 8);
  rect->bottom = MulDivRound(rect->bottom, by, 8);
  return TRUE;
}

LONG GetDialogBaseUnits() {
  auto metrics = vt::gdi::MetricsOf(vt::gdi::SystemFont());
  return MAKELONG(metrics.averageCharWidth, metrics.height);
}
