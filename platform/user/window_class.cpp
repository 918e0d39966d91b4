// Window classes: the built-in ones (dialogs and controls) and those a
// program registers. A class is found by name without regard to case, a
// program's own before a built-in one of the same name.
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/user/combobox.h"
#include "platform/user/user_internal.h"

namespace vt::user {

namespace {

void AddSystemClass(const char* name, WNDPROC proc, int extra, HBRUSH brush) {
  auto cls = std::make_shared<WindowClass>();
  cls->name = name;
  cls->atom = S().nextAtom++;
  cls->proc = proc;
  cls->windowExtra = extra;
  cls->system = true;
  cls->style = CS_DBLCLKS;
  cls->background = brush;
  S().classes.push_back(std::move(cls));
}

}  // namespace

std::shared_ptr<WindowClass> FindClass(LPCSTR name) {
  for (auto& cls : S().classes) {
    if (IS_INTRESOURCE(name)) {
      if (cls->atom ==
          static_cast<ATOM>(reinterpret_cast<std::uintptr_t>(name)))
        return cls;
    } else if (EqualNoCaseWindows1252(cls->name, name)) {
      return cls;
    }
  }
  return nullptr;
}

const char kDialogClass[] = "#32770";

// Lock held. Built-in classes are added the first time anything looks.
void RegisterSystemClasses() {
  if (!S().classes.empty()) return;
  AddSystemClass(
      "BUTTON", ButtonProc, 0,
      reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(COLOR_BTNFACE + 1)));
  AddSystemClass(
      "EDIT", EditProc, 0,
      reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(COLOR_WINDOW + 1)));
  AddSystemClass(
      "STATIC", StaticProc, 0,
      reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(COLOR_BTNFACE + 1)));
  AddSystemClass(
      "LISTBOX", ListBoxProc, 0,
      reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(COLOR_WINDOW + 1)));
  AddSystemClass(
      kPopupMenuClass, PopupMenuProc, 0,
      reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(COLOR_BTNFACE + 1)));
  AddSystemClass(
      "COMBOBOX", ComboBoxProc, kComboBoxExtraBytes,
      reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(COLOR_WINDOW + 1)));
  AddSystemClass(
      kDialogClass, DialogProc, 3 * sizeof(LONG_PTR),
      reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(COLOR_BTNFACE + 1)));
}

}  // namespace vt::user

using namespace vt::user;

// --- classes -----------------------------------------------------------------

ATOM RegisterClassA(const WNDCLASSA* wc) {
  if (!wc || !wc->lpszClassName || !wc->lpfnWndProc ||
      IS_INTRESOURCE(wc->lpszClassName) || !*wc->lpszClassName ||
      wc->cbWndExtra < 0 || wc->cbClsExtra < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  Lock lock(S().mutex);
  RegisterSystemClasses();
  for (auto& cls : S().classes) {
    if (!cls->system && EqualNoCaseWindows1252(cls->name, wc->lpszClassName)) {
      SetLastError(ERROR_CLASS_ALREADY_EXISTS);
      return 0;
    }
  }
  auto cls = std::make_shared<WindowClass>();
  cls->name = wc->lpszClassName;
  cls->atom = S().nextAtom++;
  cls->style = wc->style;
  cls->proc = wc->lpfnWndProc;
  cls->classExtra = wc->cbClsExtra;
  cls->windowExtra = wc->cbWndExtra;
  cls->instance = wc->hInstance;
  cls->icon = wc->hIcon;
  cls->cursor = wc->hCursor;
  cls->background = wc->hbrBackground;
  // A program's class of the same name as a built-in one comes first.
  S().classes.insert(S().classes.begin(), cls);
  return cls->atom;
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
  if (!className) return FALSE;
  Lock lock(S().mutex);
  auto& classes = S().classes;
  for (auto it = classes.begin(); it != classes.end(); ++it) {
    bool match =
        IS_INTRESOURCE(className)
            ? (*it)->atom == reinterpret_cast<std::uintptr_t>(className)
            : EqualNoCaseWindows1252((*it)->name, className);
    if (match && !(*it)->system) {
      for (auto& [h, w] : S().windows) {
        if (w->cls == *it) {
          SetLastError(ERROR_CLASS_HAS_WINDOWS);
          return FALSE;
        }
      }
      classes.erase(it);
      return TRUE;
    }
  }
  SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
  return FALSE;
}

BOOL GetClassInfoA(HINSTANCE, LPCSTR className, WNDCLASSA* info) {
  if (!className || !info) return FALSE;
  Lock lock(S().mutex);
  RegisterSystemClasses();
  auto cls = FindClass(className);
  if (!cls) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  info->style = cls->style;
  info->lpfnWndProc = cls->proc;
  info->cbClsExtra = cls->classExtra;
  info->cbWndExtra = cls->windowExtra;
  info->hInstance = cls->instance;
  info->hIcon = cls->icon;
  info->hCursor = cls->cursor;
  info->hbrBackground = cls->background;
  info->lpszMenuName = nullptr;
  info->lpszClassName = IS_INTRESOURCE(className) ? nullptr : className;
  return TRUE;
}

int GetClassNameA(HWND window, LPSTR className, int size) {
  if (!className || size <= 0) return 0;
  std::string name = ClassNameOf(window);
  if (name.empty()) {
    className[0] = '\0';
    return 0;
  }
  int n = std::min<int>(static_cast<int>(name.size()), size - 1);
  std::memcpy(className, name.data(), n);
  className[n] = '\0';
  return n;
}
