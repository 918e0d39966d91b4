// Icon 110, the program's icon: a round teal badge with a white "V", in a
// 16 × 16 and a 32 × 32 picture for the notification area, the window class
// and the About window.
//
// The pictures are drawn at compile time from a few shapes, each pixel
// sampled 4 × 4 times so that the edges of the disc and of the letter are
// smooth at both sizes. Change the shapes or colours below to touch it up.
#include <vtresource.h>
#include <windows.h>

#include <array>
#include <cstdint>

#include "resources/resource.h"

namespace {

struct Colour {
  double r, g, b;
};

constexpr Colour kRim{14, 74, 92};
constexpr Colour kFillTop{52, 164, 190};
constexpr Colour kFillBottom{20, 104, 130};
constexpr Colour kLetter{255, 255, 255};

constexpr int kSamples = 4;

// The square of the distance from (px, py) to the segment (ax, ay)-(bx, by).
constexpr double SegmentDistance2(double px, double py, double ax, double ay,
                                  double bx, double by) {
  const double dx = bx - ax, dy = by - ay;
  double t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy);
  t = t < 0 ? 0 : (t > 1 ? 1 : t);
  const double ex = px - (ax + t * dx), ey = py - (ay + t * dy);
  return ex * ex + ey * ey;
}

// What one sample point of an n-pixel picture shows, in units of the
// picture's width (0..1); false when it lies outside the badge.
constexpr bool Sample(double x, double y, Colour* colour) {
  const double dx = x - 0.5, dy = y - 0.5;
  const double d2 = dx * dx + dy * dy;
  if (d2 > 0.5 * 0.5) return false;
  constexpr double kStroke = 0.085;
  if (SegmentDistance2(x, y, 0.28, 0.26, 0.5, 0.76) < kStroke * kStroke ||
      SegmentDistance2(x, y, 0.72, 0.26, 0.5, 0.76) < kStroke * kStroke) {
    *colour = kLetter;
  } else if (d2 > 0.43 * 0.43) {
    *colour = kRim;
  } else {
    const double t = y;
    *colour = {kFillTop.r + (kFillBottom.r - kFillTop.r) * t,
               kFillTop.g + (kFillBottom.g - kFillTop.g) * t,
               kFillTop.b + (kFillBottom.b - kFillTop.b) * t};
  }
  return true;
}

template <int N>
constexpr std::array<std::uint32_t, N * N> DrawBadge() {
  return vtres::Rasterise<N, kSamples, Colour>(Sample);
}

constexpr auto kSmall = DrawBadge<16>();
constexpr auto kLarge = DrawBadge<32>();

constexpr vtres::IconImage kImages[] = {
    {16, 16, kSmall.data()},
    {32, 32, kLarge.data()},
};

constexpr vtres::Icon kIcon = {kImages, 2};

}  // namespace

VT_RESOURCE(Icon, IDI_VELTO, kIcon);
