// How a program's resources are laid out: compile-time tables instead of a
// compiled resource script.
//
// A program defines its dialogs, menus, accelerator tables, icons and
// bitmaps as the constant tables below and registers each one with
// VT_RESOURCE at namespace scope, in a source that is linked into the
// executable (an object library, so no registration is dropped). LoadIconA,
// LoadMenuA, LoadAcceleratorsA, LoadBitmapA, CreateDialogParamA and
// DialogBoxParamA then find them by type and identifier. Resources are
// process-wide: the instance handle passed to those calls is not used to tell
// modules apart.
#pragma once

#include "windows.h"

#include <array>
#include <cstdint>

namespace vtres {

enum class Type : int {
  Bitmap = 2,
  Icon = 3,
  Menu = 4,
  Dialog = 5,
  Accelerator = 9,
};

// One control of a dialog. Columns: window class ("BUTTON", "EDIT",
// "STATIC", "LISTBOX"), text (for SS_ICON / SS_BITMAP statics, "#110" names
// the resource), identifier (-1 for none), style, extended style, and the
// geometry in dialog units. WS_CHILD is implied.
struct DialogItem {
  const char* windowClass;
  const char* text;
  int id;
  DWORD style;
  DWORD exStyle;
  short x, y, cx, cy;
};

// A dialog template. The items are in creation order, which is also the tab
// order. DS_SETFONT is implied by a non-null font.
struct Dialog {
  DWORD style;
  DWORD exStyle;
  short x, y, cx, cy;
  const char* caption;
  const char* font;
  WORD pointSize;
  const DialogItem* items;
  int itemCount;
};

// A menu template, flattened: an item with MF_POPUP opens a level that the
// next item flagged MF_END (inclusive) closes; the top level also ends with
// MF_END. Separators carry MF_SEPARATOR, id 0 and a null text.
struct MenuItem {
  UINT flags;
  UINT id;
  const char* text;
};

struct Menu {
  const MenuItem* items;
  int itemCount;
};

struct Accelerators {
  const ACCEL* entries;
  int count;
};

// One picture of an icon: width × height pixels, row by row from the top,
// each 0xAARRGGBB (alpha 0 is transparent).
struct IconImage {
  int width;
  int height;
  const std::uint32_t* argb;
};

struct Icon {
  const IconImage* images;
  int imageCount;
};

// A palette bitmap: width × height indices into palette, row by row from
// the top.
struct Bitmap {
  int width;
  int height;
  const COLORREF* palette;
  int paletteSize;
  const BYTE* indices;
};

// Registers data (which must outlive the process) under type and id. Returns
// true so that it can initialise a static.
bool RegisterResource(Type type, int id, const void* data);
const void* FindResource(Type type, int id);

// Draws a picture given as a function over the unit square into N x N ARGB
// pixels, at compile time: each pixel is sampled Samples x Samples times;
// the covered samples give its colour and their share its alpha, so edges
// come out smooth. sample(x, y, &colour) answers whether (x, y) is covered.
template <int N, int Samples, typename Colour, typename Sampler>
constexpr std::array<std::uint32_t, N * N> Rasterise(Sampler sample) {
  std::array<std::uint32_t, N * N> pixels{};
  for (int py = 0; py < N; ++py) {
    for (int px = 0; px < N; ++px) {
      double r = 0, g = 0, b = 0;
      int covered = 0;
      for (int sy = 0; sy < Samples; ++sy) {
        for (int sx = 0; sx < Samples; ++sx) {
          Colour c{};
          const double x = (px + (sx + 0.5) / Samples) / N;
          const double y = (py + (sy + 0.5) / Samples) / N;
          if (!sample(x, y, &c)) continue;
          r += c.r;
          g += c.g;
          b += c.b;
          ++covered;
        }
      }
      if (covered == 0) continue;  // transparent
      const auto channel = [covered](double sum) {
        return static_cast<std::uint32_t>(sum / covered + 0.5) & 0xFFu;
      };
      const auto alpha =
          static_cast<std::uint32_t>(covered * 255 / (Samples * Samples));
      pixels[py * N + px] =
          alpha << 24 | channel(r) << 16 | channel(g) << 8 | channel(b);
    }
  }
  return pixels;
}

}  // namespace vtres

#define VT_RESOURCE_CAT2(a, b) a##b
#define VT_RESOURCE_CAT(a, b) VT_RESOURCE_CAT2(a, b)
#define VT_RESOURCE(type, id, object)                                         \
  [[maybe_unused]] static const bool VT_RESOURCE_CAT(vtResource_, __LINE__) = \
      ::vtres::RegisterResource(::vtres::Type::type, id, &(object))
