// The desktop's own icons for message boxes: a red disc with a white cross
// for errors, a yellow triangle with an exclamation mark for warnings, and
// white discs with a blue "i" or "?" for information and questions.
//
// Each is drawn at compile time from a few shapes, every pixel sampled 4 × 4
// times so that curves and slants come out smooth, in the picture format of
// a program's icons (32 × 32 and 16 × 16, 0xAARRGGBB). Coordinates below are
// fractions of the picture's side, y downwards.
#include <array>
#include <cstdint>

#include "platform/user/user_internal.h"

namespace vt::user {

namespace {

struct Colour {
  double r, g, b;
};

constexpr int kSamples = 4;

constexpr Colour kBlack{0, 0, 0};
constexpr Colour kWhite{255, 255, 255};
constexpr Colour kErrorRed{224, 24, 24};
constexpr Colour kErrorRim{128, 0, 0};
constexpr Colour kWarningYellow{255, 224, 32};
constexpr Colour kWarningRim{96, 72, 0};
constexpr Colour kSignBlue{0, 0, 160};
constexpr Colour kDiscRim{64, 64, 96};

constexpr double Square(double v) { return v * v; }

// The square of the distance from (px, py) to the segment (ax, ay)-(bx, by).
constexpr double SegmentDistance2(double px, double py, double ax, double ay,
                                  double bx, double by) {
  const double dx = bx - ax, dy = by - ay;
  double t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy);
  t = t < 0 ? 0 : (t > 1 ? 1 : t);
  return Square(px - (ax + t * dx)) + Square(py - (ay + t * dy));
}

constexpr bool NearSegment(double x, double y, double ax, double ay, double bx,
                           double by, double halfWidth) {
  return SegmentDistance2(x, y, ax, ay, bx, by) < Square(halfWidth);
}

constexpr double DiscDistance2(double x, double y) {
  return Square(x - 0.5) + Square(y - 0.5);
}

// A round sign: its rim, its face and, on the face, what mark says.
constexpr bool RoundSign(double x, double y, Colour rim, Colour face,
                         bool (*mark)(double, double), Colour ink,
                         Colour* out) {
  const double d2 = DiscDistance2(x, y);
  if (d2 > Square(0.47)) return false;
  if (d2 > Square(0.42))
    *out = rim;
  else if (mark(x, y))
    *out = ink;
  else
    *out = face;
  return true;
}

constexpr bool Cross(double x, double y) {
  return NearSegment(x, y, 0.32, 0.32, 0.68, 0.68, 0.07) ||
         NearSegment(x, y, 0.68, 0.32, 0.32, 0.68, 0.07);
}

constexpr bool LetterI(double x, double y) {
  return DiscDistance2(x, y + 0.22) < Square(0.065) ||
         NearSegment(x, y, 0.5, 0.43, 0.5, 0.76, 0.065);
}

// A question mark: the upper arc of a ring, a stroke down to the middle,
// and the dot.
constexpr bool QuestionMark(double x, double y) {
  constexpr double cx = 0.5, cy = 0.36, radius = 0.14, half = 0.06;
  const double d2 = Square(x - cx) + Square(y - cy);
  const bool onRing = d2 > Square(radius - half) && d2 < Square(radius + half);
  if (onRing && (y < cy || x > cx + 0.04)) return true;
  if (NearSegment(x, y, cx + 0.1, cy + 0.1, cx, 0.58, half)) return true;
  if (NearSegment(x, y, cx, 0.58, cx, 0.63, half)) return true;
  return Square(x - cx) + Square(y - 0.76) < Square(0.065);
}

constexpr bool ErrorSample(double x, double y, Colour* out) {
  return RoundSign(x, y, kErrorRim, kErrorRed, Cross, kWhite, out);
}

constexpr bool InformationSample(double x, double y, Colour* out) {
  return RoundSign(x, y, kDiscRim, kWhite, LetterI, kSignBlue, out);
}

constexpr bool QuestionSample(double x, double y, Colour* out) {
  return RoundSign(x, y, kDiscRim, kWhite, QuestionMark, kSignBlue, out);
}

// Which side of the line from a to b the point lies on.
constexpr double Side(double x, double y, double ax, double ay, double bx,
                      double by) {
  return (bx - ax) * (y - ay) - (by - ay) * (x - ax);
}

constexpr bool InTriangle(double x, double y, double inset) {
  // Apex at the top, base at the bottom; inset shrinks it evenly.
  const double ax = 0.5, ay = 0.05 + 2 * inset;
  const double bx = 0.97 - 1.6 * inset, by = 0.93 - inset;
  const double cx = 0.03 + 1.6 * inset, cy = 0.93 - inset;
  return Side(x, y, ax, ay, bx, by) >= 0 && Side(x, y, bx, by, cx, cy) >= 0 &&
         Side(x, y, cx, cy, ax, ay) >= 0;
}

constexpr bool WarningSample(double x, double y, Colour* out) {
  if (!InTriangle(x, y, 0)) return false;
  if (!InTriangle(x, y, 0.045))
    *out = kWarningRim;
  else if (NearSegment(x, y, 0.5, 0.33, 0.5, 0.64, 0.055) ||
           Square(x - 0.5) + Square(y - 0.78) < Square(0.06))
    *out = kBlack;
  else
    *out = kWarningYellow;
  return true;
}

template <int N>
constexpr std::array<std::uint32_t, N * N> Draw(bool (*sample)(double, double,
                                                               Colour*)) {
  return vtres::Rasterise<N, kSamples, Colour>(sample);
}

constexpr auto kErrorSmall = Draw<16>(ErrorSample);
constexpr auto kErrorLarge = Draw<32>(ErrorSample);
constexpr auto kQuestionSmall = Draw<16>(QuestionSample);
constexpr auto kQuestionLarge = Draw<32>(QuestionSample);
constexpr auto kWarningSmall = Draw<16>(WarningSample);
constexpr auto kWarningLarge = Draw<32>(WarningSample);
constexpr auto kInformationSmall = Draw<16>(InformationSample);
constexpr auto kInformationLarge = Draw<32>(InformationSample);

constexpr vtres::IconImage kErrorImages[] = {{16, 16, kErrorSmall.data()},
                                             {32, 32, kErrorLarge.data()}};
constexpr vtres::IconImage kQuestionImages[] = {
    {16, 16, kQuestionSmall.data()}, {32, 32, kQuestionLarge.data()}};
constexpr vtres::IconImage kWarningImages[] = {{16, 16, kWarningSmall.data()},
                                               {32, 32, kWarningLarge.data()}};
constexpr vtres::IconImage kInformationImages[] = {
    {16, 16, kInformationSmall.data()}, {32, 32, kInformationLarge.data()}};

constexpr vtres::Icon kError{kErrorImages, 2};
constexpr vtres::Icon kQuestion{kQuestionImages, 2};
constexpr vtres::Icon kWarning{kWarningImages, 2};
constexpr vtres::Icon kInformation{kInformationImages, 2};

}  // namespace

const vtres::Icon* SystemIconPicture(int id) {
  switch (id) {
    case 32513:  // the hand: errors
      return &kError;
    case 32514:
      return &kQuestion;
    case 32515:  // the exclamation mark: warnings
      return &kWarning;
    case 32516:  // the asterisk: information
      return &kInformation;
    default:
      return nullptr;
  }
}

}  // namespace vt::user
