// What user needs of gdi beyond the public calls: font objects (dialogs
// make them from their templates) and device contexts for windows.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/internal/driver.h"

namespace vt::gdi {

// Fonts are shared: the same face and size give the same handle.
HFONT CreateFontObject(std::string_view face, int pointSize, int weight);
// The dialog font when a template names none.
HFONT SystemFont();
platform::FontMetrics MetricsOf(HFONT font);
platform::FontSpec SpecOf(HFONT font);

// A context for drawing anywhere in the window's client area (GetDC).
HDC CreateWindowDC(HWND window);
// A context for one WM_PAINT: the driver's beginPaint now, its endPaint
// when the context is released, and drawing clipped to update meanwhile.
HDC CreatePaintDC(HWND window, const RECT& update);
// A context for drawing a child window's frame, around its client area:
// client coordinates, bounded by the whole window.
HDC CreateFrameDC(HWND window);
// Releases any kind.
void ReleaseWindowDC(HDC dc);
HWND WindowOfDC(HDC dc);
// Draws the bitmap with its top-left at (x, y) of the context's window.
bool DrawBitmapAt(HDC dc, int x, int y, HBITMAP bitmap);

}  // namespace vt::gdi
