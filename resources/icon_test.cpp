// Icon 110: both pictures are there, round (clear corners, solid middle) and
// carry the white letter.
#include <gtest/gtest.h>
#include <vtresource.h>
#include <windows.h>

#include "resources/resource.h"

namespace {

std::uint32_t Pixel(const vtres::IconImage& image, int x, int y) {
  return image.argb[y * image.width + x];
}

TEST(Icon, SixteenAndThirtyTwoPixelBadges) {
  const auto* icon = static_cast<const vtres::Icon*>(
      vtres::FindResource(vtres::Type::Icon, IDI_VELTO));
  ASSERT_NE(icon, nullptr);
  ASSERT_EQ(icon->imageCount, 2);
  const int sizes[] = {16, 32};
  for (int i = 0; i < 2; ++i) {
    const vtres::IconImage& image = icon->images[i];
    const int n = sizes[i];
    SCOPED_TRACE(n);
    ASSERT_EQ(image.width, n);
    ASSERT_EQ(image.height, n);
    ASSERT_NE(image.argb, nullptr);
    // Clear corners, an opaque rim.
    EXPECT_EQ(Pixel(image, 0, 0) >> 24, 0u);
    EXPECT_EQ(Pixel(image, n - 1, n - 1) >> 24, 0u);
    EXPECT_EQ(Pixel(image, n / 2, 1) >> 24, 0xFFu);
    // The point of the V, low in the middle, is white; beside it is teal.
    EXPECT_EQ(Pixel(image, n / 2, n * 7 / 10), 0xFFFFFFFFu);
    const std::uint32_t teal = Pixel(image, n / 8 + 1, n / 2);
    EXPECT_EQ(teal >> 24, 0xFFu);
    EXPECT_LT((teal >> 16) & 0xFF, (teal >> 8) & 0xFF) << "more green than red";
  }
}

}  // namespace
