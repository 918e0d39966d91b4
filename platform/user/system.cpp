// Message boxes, icons, cursors and bitmaps, system metrics, parameters and
// colours, and the paint calls.
//
// MessageBoxA is a modal loop like the others: it disables the owner, runs
// what is pending for the thread, writes "caption: text" to standard error
// (so a headless process still tells what went wrong) and lets the driver
// answer. Icons and bitmaps are records made once per resource and shared by
// every load, so a handle stays valid for the life of the process.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "platform/gdi/gdi_internal.h"
#include "platform/internal/no_destroy.h"
#include "platform/user/user_internal.h"

namespace vt::user {

namespace {

struct ImageRecord {
  int id = 0;
  bool system = false;
  const vtres::Icon* icon = nullptr;
  const vtres::Bitmap* bitmap = nullptr;
};

struct Images {
  std::mutex mutex;
  std::map<std::pair<int, int>, std::unique_ptr<ImageRecord>> records;
};

Images& TheImages() {
  static platform::NoDestroy<Images> images;
  return images.get();
}

// kind: 0 icon, 1 cursor, 2 bitmap.
ImageRecord* LoadImageRecord(int kind, HINSTANCE instance, LPCSTR name) {
  int id = ResourceId(name);
  if (id < 0) return nullptr;
  bool system = !instance && id >= 32512 && id <= 32650;
  const void* data = nullptr;
  if (!system) {
    data = vtres::FindResource(
        kind == 2 ? vtres::Type::Bitmap : vtres::Type::Icon, id);
    // A program's cursor is never a resource of ours; an unknown one is the
    // arrow, as the target system's default would be.
    if (!data && kind != 1) return nullptr;
    if (!data) system = true;
  }
  auto& images = TheImages();
  std::lock_guard<std::mutex> lock(images.mutex);
  auto& slot = images.records[{kind, system ? -id : id}];
  if (!slot) {
    slot = std::make_unique<ImageRecord>();
    slot->id = id;
    slot->system = system;
    if (kind == 2)
      slot->bitmap = static_cast<const vtres::Bitmap*>(data);
    else if (kind == 0 && system)
      slot->icon = SystemIconPicture(id);
    else
      slot->icon = static_cast<const vtres::Icon*>(data);
  }
  return slot.get();
}

}  // namespace

}  // namespace vt::user

using namespace vt::user;

namespace vt::platform {

// What a driver that draws needs of an icon or bitmap handle.
const vtres::Icon* IconResource(HICON icon) {
  auto* record = reinterpret_cast<ImageRecord*>(icon);
  return record ? record->icon : nullptr;
}

const vtres::Bitmap* BitmapResource(HBITMAP bitmap) {
  auto* record = reinterpret_cast<ImageRecord*>(bitmap);
  return record ? record->bitmap : nullptr;
}

}  // namespace vt::platform

BOOL MessageBeep(UINT type) {
  vt::platform::TheDriver().beep(type);
  return TRUE;
}

HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
  auto* record = LoadImageRecord(0, instance, name);
  if (!record) SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return reinterpret_cast<HICON>(record);
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
  auto* record = LoadImageRecord(1, instance, name);
  if (!record) SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return reinterpret_cast<HCURSOR>(record);
}

HBITMAP LoadBitmapA(HINSTANCE instance, LPCSTR name) {
  auto* record = LoadImageRecord(2, instance, name);
  if (!record) SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return reinterpret_cast<HBITMAP>(record);
}

// Loaded icons are shared and live as long as the process.
BOOL DestroyIcon(HICON icon) { return icon ? TRUE : FALSE; }

int GetSystemMetrics(int index) {
  const auto& driver = vt::platform::TheDriver();
  if (index == SM_CXSCREEN) return driver.screenSize().cx;
  if (index == SM_CYSCREEN) return driver.screenSize().cy;
  vt::platform::SystemMetrics m = driver.systemMetrics();
  switch (index) {
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
      return m.scrollBar;
    case SM_CYCAPTION:
      return m.caption;
    case SM_CXBORDER:
    case SM_CYBORDER:
      return m.border;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
      return m.dialogFrame;
    case SM_CXICON:
    case SM_CYICON:
      return m.icon;
    case SM_CYMENU:
      return m.menuBar;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
      return m.doubleClickSlop;
    case SM_CXSMICON:
    case SM_CYSMICON:
      return m.smallIcon;
    default:
      return 0;
  }
}

BOOL SystemParametersInfoA(UINT action, UINT uiParam, LPVOID param, UINT) {
  switch (action) {
    case SPI_GETSCREENSAVETIMEOUT: {
      if (!param) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
      }
      UINT seconds = 0;
      if (vt::platform::TheDriver().screenSaverTimeout(&seconds)) {
        *static_cast<UINT*>(param) = seconds;
        return TRUE;
      }
      // The headless desktop keeps the setting where the target system
      // does: a decimal string of seconds in the user's desktop key.
      seconds = 0;
      HKEY key = nullptr;
      if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0,
                        KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
        char text[32] = {};
        DWORD size = sizeof text - 1;
        DWORD valueType = 0;
        if (RegQueryValueExA(key, "ScreenSaveTimeOut", nullptr, &valueType,
                             reinterpret_cast<BYTE*>(text),
                             &size) == ERROR_SUCCESS) {
          if (valueType == REG_SZ) {
            text[std::min<DWORD>(size, sizeof text - 1)] = '\0';
            char* end = nullptr;
            unsigned long v = std::strtoul(text, &end, 10);
            if (end != text && v <= 0xFFFFFFFFul)
              seconds = static_cast<UINT>(v);
          } else if (valueType == REG_DWORD && size == 4) {
            std::memcpy(&seconds, text, 4);
          }
        }
        RegCloseKey(key);
      }
      *static_cast<UINT*>(param) = seconds;
      return TRUE;
    }
    case SPI_SETSCREENSAVETIMEOUT: {
      HKEY key = nullptr;
      if (RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0,
                          nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                          nullptr) != ERROR_SUCCESS)
        return FALSE;
      std::string text = std::to_string(uiParam);
      LONG result = RegSetValueExA(key, "ScreenSaveTimeOut", 0, REG_SZ,
                                   reinterpret_cast<const BYTE*>(text.c_str()),
                                   static_cast<DWORD>(text.size() + 1));
      RegCloseKey(key);
      return result == ERROR_SUCCESS ? TRUE : FALSE;
    }
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
  }
}

DWORD GetSysColor(int index) {
  switch (index) {
    case COLOR_SCROLLBAR:
      return RGB(0xC0, 0xC0, 0xC0);
    case COLOR_BACKGROUND:
      return RGB(0x00, 0x80, 0x80);
    case COLOR_WINDOW:
      return RGB(0xFF, 0xFF, 0xFF);
    case COLOR_WINDOWTEXT:
    case COLOR_BTNTEXT:
      return RGB(0, 0, 0);
    case COLOR_APPWORKSPACE:
      return RGB(0x80, 0x80, 0x80);
    case COLOR_HIGHLIGHT:
      return RGB(0x00, 0x00, 0x80);
    case COLOR_HIGHLIGHTTEXT:
    case COLOR_BTNHIGHLIGHT:
      return RGB(0xFF, 0xFF, 0xFF);
    case COLOR_BTNFACE:
    case COLOR_3DLIGHT:
      return RGB(0xC0, 0xC0, 0xC0);
    case COLOR_BTNSHADOW:
    case COLOR_GRAYTEXT:
      return RGB(0x80, 0x80, 0x80);
    case COLOR_3DDKSHADOW:
      return RGB(0, 0, 0);
    default:
      return RGB(0xC0, 0xC0, 0xC0);
  }
}

// --- painting ---------------------------------------------------------------

namespace {

// A control's frame lies outside its client area, in its parent's; it is
// drawn whenever the control paints: the sunken edge of an edit or a list
// box, a static edge, a flat border.
void PaintChildFrame(HWND window) {
  DWORD style = 0, exStyle = 0;
  {
    Lock lock(S().mutex);
    auto w = Find(window);
    if (!w || !w->parent || !(w->style & WS_CHILD)) return;
    style = w->style;
    exStyle = w->exStyle;
  }
  if (!(exStyle & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE)) &&
      !(style & WS_BORDER))
    return;
  RECT client{};
  GetClientRect(window, &client);
  RECT in = NonClientInsets(style & (WS_BORDER | WS_CHILD), exStyle);
  // The frame goes round the scroll bars as well as the client area.
  RECT bars = NonClientInsets(style & (WS_VSCROLL | WS_HSCROLL), 0);
  RECT frame{-in.left, -in.top, client.right + bars.right + in.right,
             client.bottom + bars.bottom + in.bottom};
  HDC dc = vt::gdi::CreateFrameDC(window);
  if (style & WS_BORDER) {
    HBRUSH black = GetSysColorBrush(COLOR_WINDOWTEXT);
    RECT sides[] = {{frame.left, frame.top, frame.right, frame.top + 1},
                    {frame.left, frame.bottom - 1, frame.right, frame.bottom},
                    {frame.left, frame.top, frame.left + 1, frame.bottom},
                    {frame.right - 1, frame.top, frame.right, frame.bottom}};
    for (const RECT& side : sides) FillRect(dc, &side, black);
    frame =
        RECT{frame.left + 1, frame.top + 1, frame.right - 1, frame.bottom - 1};
  }
  if (exStyle & WS_EX_CLIENTEDGE) {
    DrawEdge(dc, &frame, EDGE_SUNKEN, BF_RECT);
    frame =
        RECT{frame.left + 2, frame.top + 2, frame.right - 2, frame.bottom - 2};
  }
  if (exStyle & WS_EX_STATICEDGE)
    DrawEdge(dc, &frame, BDR_SUNKENOUTER, BF_RECT);
  vt::gdi::ReleaseWindowDC(dc);
}

}  // namespace

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
  if (!paint || !IsWindow(window)) return nullptr;
  bool erase = NeedsPaint(window);
  RECT update = TakeDirty(window);
  // A paint nobody asked for (UpdateWindow on a clean window, a procedure
  // calling BeginPaint itself) draws the whole client area.
  if (!erase) GetClientRect(window, &update);
  HDC dc = vt::gdi::CreatePaintDC(window, update);
  *paint = PAINTSTRUCT{};
  paint->hdc = dc;
  paint->rcPaint = update;
  paint->fErase = FALSE;
  PaintChildFrame(window);
  PaintScrollBars(window);
  if (erase) {
    // The background is erased before the window draws on it.
    paint->fErase =
        SendMessageA(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0)
            ? FALSE
            : TRUE;
  }
  return dc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* paint) {
  if (!paint) return FALSE;
  vt::gdi::ReleaseWindowDC(paint->hdc);
  return TRUE;
}

HDC GetDC(HWND window) {
  if (window && !IsWindow(window)) return nullptr;
  return vt::gdi::CreateWindowDC(window);
}

int ReleaseDC(HWND, HDC dc) {
  vt::gdi::ReleaseWindowDC(dc);
  return 1;
}
