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
std::string FaceOf(HFONT font);

HDC CreateWindowDC(HWND window);
void ReleaseWindowDC(HDC dc);
HWND WindowOfDC(HDC dc);

}  // namespace vt::gdi
