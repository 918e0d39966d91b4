// Icon art on the X server: scaled to the size a tray host gives, blended
// over what is below it, and handed to the window manager as _NET_WM_ICON.
#include <X11/extensions/Xrender.h>

#include <algorithm>
#include <cstdlib>

#include "platform/drivers/x11/x11_internal.h"

namespace vt::x11 {
namespace {

std::uint32_t Premultiplied(std::uint32_t argb) {
  std::uint32_t a = argb >> 24;
  auto channel = [a](std::uint32_t c) { return (c * a + 127) / 255; };
  return (a << 24) | (channel((argb >> 16) & 0xFF) << 16) |
         (channel((argb >> 8) & 0xFF) << 8) | channel(argb & 0xFF);
}

const vtres::IconImage* NearestImage(const vtres::Icon& icon, int size) {
  const vtres::IconImage* best = nullptr;
  for (int i = 0; i < icon.imageCount; ++i) {
    const vtres::IconImage& image = icon.images[i];
    if (!best) {
      best = &image;
      continue;
    }
    // Prefer the smallest image at least as large as wanted (scaling down
    // keeps the art crisp); otherwise the largest there is.
    bool bigEnough = image.width >= size;
    bool bestBigEnough = best->width >= size;
    if (bigEnough && (!bestBigEnough || image.width < best->width))
      best = &image;
    else if (!bigEnough && !bestBigEnough && image.width > best->width)
      best = &image;
  }
  return best;
}

}  // namespace

std::vector<std::uint32_t> ScaledIcon(const vtres::Icon& icon, int width,
                                      int height) {
  std::vector<std::uint32_t> out(static_cast<std::size_t>(width) * height, 0);
  const vtres::IconImage* image = NearestImage(icon, std::max(width, height));
  if (!image || width <= 0 || height <= 0) return out;
  // Each target pixel averages a 4 × 4 grid of samples over the source area
  // it covers: a box filter when shrinking, close to bilinear when growing.
  constexpr int kSamples = 4;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      std::uint32_t sum[4] = {0, 0, 0, 0};
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          int srcX = ((x * kSamples + sx) * image->width) / (width * kSamples);
          int srcY =
              ((y * kSamples + sy) * image->height) / (height * kSamples);
          std::uint32_t p = Premultiplied(
              image
                  ->argb[static_cast<std::size_t>(srcY) * image->width + srcX]);
          for (int c = 0; c < 4; ++c) sum[c] += (p >> (c * 8)) & 0xFF;
        }
      }
      std::uint32_t pixel = 0;
      for (int c = 0; c < 4; ++c)
        pixel |= ((sum[c] + kSamples * kSamples / 2) / (kSamples * kSamples))
                 << (c * 8);
      out[static_cast<std::size_t>(y) * width + x] = pixel;
    }
  }
  return out;
}

void CompositeArgb(Drawable target, int x, int y, int width, int height,
                   const std::vector<std::uint32_t>& argb) {
  if (width <= 0 || height <= 0) return;
  Display* d = X().display;
  Pixmap source = XCreatePixmap(d, target, static_cast<unsigned>(width),
                                static_cast<unsigned>(height), 32);
  // The image borrows the pixels; it is taken apart by hand below so that
  // XDestroyImage does not free memory it does not own.
  XImage* image = XCreateImage(
      d, nullptr, 32, ZPixmap, 0,
      reinterpret_cast<char*>(const_cast<std::uint32_t*>(argb.data())),
      static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
  GC gc = XCreateGC(d, source, 0, nullptr);
  XPutImage(d, source, gc, image, 0, 0, 0, 0, static_cast<unsigned>(width),
            static_cast<unsigned>(height));
  XFreeGC(d, gc);
  image->data = nullptr;
  XDestroyImage(image);
  XRenderPictFormat* argbFormat =
      XRenderFindStandardFormat(d, PictStandardARGB32);
  XRenderPictFormat* targetFormat = XRenderFindVisualFormat(d, X().visual);
  Picture from = XRenderCreatePicture(d, source, argbFormat, 0, nullptr);
  Picture to = XRenderCreatePicture(d, target, targetFormat, 0, nullptr);
  XRenderComposite(d, PictOpOver, from, None, to, 0, 0, 0, 0, x, y,
                   static_cast<unsigned>(width), static_cast<unsigned>(height));
  XRenderFreePicture(d, from);
  XRenderFreePicture(d, to);
  XFreePixmap(d, source);
}

std::vector<unsigned long> NetWmIconValue(const vtres::Icon& icon) {
  std::vector<unsigned long> value;
  for (int i = 0; i < icon.imageCount; ++i) {
    const vtres::IconImage& image = icon.images[i];
    value.push_back(static_cast<unsigned long>(image.width));
    value.push_back(static_cast<unsigned long>(image.height));
    for (int p = 0; p < image.width * image.height; ++p)
      value.push_back(image.argb[p]);
  }
  return value;
}

unsigned long PixelOf(COLORREF color) {
  // TrueColor visuals on every server we meet: place each channel by the
  // visual's masks.
  Visual* v = X().visual;
  auto place = [](unsigned long mask, unsigned value) {
    if (!mask) return 0ul;
    int shift = __builtin_ctzl(mask);
    int bits = __builtin_popcountl(mask);
    unsigned long scaled = bits >= 8
                               ? static_cast<unsigned long>(value) << (bits - 8)
                               : value >> (8 - bits);
    return (scaled << shift) & mask;
  };
  return place(v->red_mask, color & 0xFF) |
         place(v->green_mask, (color >> 8) & 0xFF) |
         place(v->blue_mask, (color >> 16) & 0xFF);
}

}  // namespace vt::x11
