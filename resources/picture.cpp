// Bitmap 102, the picture in the configuration window: a sheet of vellum
// riding the tide under the sun, 64 × 54 pixels in the 16 colours every
// display of the program's era could show.
//
// The art is kept as text, one hexadecimal digit per pixel naming its
// palette entry, so it can be read and touched up in an editor; the index
// table is built from it at compile time.
#include <vtresource.h>
#include <windows.h>

#include <array>

#include "resources/resource.h"

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 54;

// The classic 16-colour palette, in the order the digits below name it.
constexpr COLORREF kPalette[16] = {
    RGB(0, 0, 0),       RGB(128, 0, 0),   RGB(0, 128, 0),   RGB(128, 128, 0),
    RGB(0, 0, 128),     RGB(128, 0, 128), RGB(0, 128, 128), RGB(192, 192, 192),
    RGB(128, 128, 128), RGB(255, 0, 0),   RGB(0, 255, 0),   RGB(255, 255, 0),
    RGB(0, 0, 255),     RGB(255, 0, 255), RGB(0, 255, 255), RGB(255, 255, 255),
};

// clang-format off
constexpr const char* kArt[kHeight] = {
    "ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff",
    "ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff",
    "ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff",
    "fffffffffffffffffffffffffffffffffffffffffffffffffffbfbffffffffff",
    "ffffffffffffffffffffffffffffffffffffffffffffffffbfbbbbbfbfffffff",
    "fffffffffffffffffffffffffffffffffffffffffffffffbfbbbbbbbfbffffff",
    "ffffffffffffffffffffffffffffffffffffffffffffffffbbbbbbbbbfffffff",
    "fffffffff33333333333333333333333333333fffffffffbbbbbbbbbbbffffff",
    "fefefefef13333333333333333333333333331fefefefebbbbbbbbbbbbbefefe",
    "efefefefef3ffffffffffffffffff7fffff3efefefefefebbbbbbbbbbbefefef",
    "fefefefefe3fffffffffff7ffffffffffff3fefefefefebbbbbbbbbbbbbefefe",
    "efefefefef3ffff7fffffffffffffffffff3efefefefefebbbbbbbbbbbefefef",
    "fefefefefe3ffffffffffffffffffff7fff3fefefefefefebbbbbbbbbefefefe",
    "efefefefef3ff8888f8888887888888ffff3efefefefefebebbbbbbbebefefef",
    "fefefefefe3ffffff7fffffffffffffffff3fefefefefefebebbbbbebefefefe",
    "eeeeeeeeee3ffffffffffffffffffffff7f3eeeeeeeeeeeeeeebebeeeeeeeeee",
    "eeeeeeeeeee3ffffffffffffff7fffffffff3eeeeeeeeeeeeeeeeeeeeeeeeeee",
    "eeeeeeeeeee3ff888f888888f888888f88883eeeeeeeeeeeeeeeeeeeeeeeeeee",
    "eeeeeeeeeee37ffffffffffffffffffffff73eeeeeeeeeeeeeeeeeeeeeeeeeee",
    "eeeeeeeeeee3ffffffffffffffff7fffffff3eeeeeeeeeeeeeeeeeeeeeeeeeee",
    "eeeeeeeeeee3fffffffff7ffffffffffffff3eeeeeeeeeeeeeeeeeeeeeeeeeee",
    "eeeeeeeeeee3ff888f888888f888ffffffff3eeeeeeeeeeeeeeeeeeeeeeeeeee",
    "eeeeeeeeeee3ffffffffffffffffff7fffff3eeeeeeeeeeeeeeeeeeeeeeeeeee",
    "eeeeeeeeeee3fffffffffff7ffffffffffff3eeeeeeeeeeeeeeeeeeeeeeeeeee",
    "eeeeeeeeeeee3fff7ffffffffffffffffffff3eeeeeeeeeeeeeeeeeeeeeeeeee",
    "eeeeeeeeeeee3ff88f888888f888888f888ff3eeeeeeeeeeeeeeeeeeeeeeeeee",
    "eeeeeeeeeeee3ffffffffffff7fffffffffff3eeeeeeeeeeeeeeeeeeeeeeeeee",
    "eeeeeeeeeeee3fffff7ffffffffffffffffff3eeeeeeeeeeeeeeeeeeeeeeeeee",
    "eeeeeeeeeeee3fffffffffffffffffffff7ff3eeeeeeeeeeeeeeeeeeeeeeeeee",
    "eeeeeeeeeeee3ff88f888888f888888ffffff3eeeeeeeeeeeeeeeeeeeeeeeeee",
    "eeeeeeeeeeee3fffffff7ffffffffffffffff3eeeeeeeeeeeeeeeeeeeeeeeeee",
    "eeeeeeeeeeee37ffffffffffffffffffffff73eeeeeeeeeeeeeeeeeeeeeeeeee",
    "eeeeeeeeeeeee3fffffffffffffff7ffffffff3eeeeeeeeeeeeeeeeeeeeeeeee",
    "eeeeeeeeeeeee3ff8f888888f888888f8888883efffffffffeeeeeeeeeeeeeee",
    "feeeeeeeeeeee3f7ffffffffffffffffffffff3f666666666ffeeeeeeeeeeeef",
    "6ffeeeeeeeeff3ffffffffffffff9ff7ff9fff3666666666666ffeeeeeeeeff6",
    "666ffffffff663ffffffffff7ffff99f99f9ff366666666666666ffffffff666",
    "66666666666663fff7fffffffffffff9ffffff36666666666666666666666666",
    "66666666666663fffffffffffffffffff7ffff36666666666666666666666666",
    "6666666666666333333333333333333333333336ccccccccc666666666666666",
    "c666666666666ccc4c4c4c4c4c4646464646464c4cccccccccc666666666666c",
    "ccc66666666cccccc4c4c4c4c4c464646464c4c4c4ccccccccccc66666666ccc",
    "cccccccceeeecccc4c4c4c4c4c4eee4c4c4c4c4c4cccceeeeccccccccccccccc",
    "ccccceeeeeeeeecccccccccceeeeeeeeecccccccccceeeeeeeeeccccccccccee",
    "ccceeeecccccceeecccccceeeccccccceeecccccceeecccccceeeecccccceeec",
    "eeeeecccccccccceeeeeeee4cccccccccceeeeeeee4444444ccceeeeeeeeeccc",
    "eeccccccccccc4444eeee44444cccccccccceeee44444444444cccceeeecccc4",
    "444cccccccc44444444444444444cccccccc44444444444444444cccccccc444",
    "4444444444444444444444444444444444444444444444444444444444444444",
    "4444444444444444444444444444444444444444444444444444444444444444",
    "4444444444444444444444444444444444444444444444444444444444444444",
    "4444444444444444444444444444444444444444444444444444444444444444",
    "4444444444444444444444444444444444444444444444444444444444444444",
    "4444444444444444444444444444444444444444444444444444444444444444",
};
// clang-format on

constexpr BYTE HexDigit(char c) {
  return static_cast<BYTE>(c <= '9' ? c - '0' : c - 'a' + 10);
}

constexpr std::array<BYTE, kWidth * kHeight> BuildIndices() {
  std::array<BYTE, kWidth * kHeight> indices{};
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      indices[y * kWidth + x] = HexDigit(kArt[y][x]);
    }
  }
  return indices;
}

// Every row must be exactly one pixel per column; a slip while editing the
// art would otherwise shear the picture.
constexpr bool RowsAreWhole() {
  for (const char* row : kArt) {
    int length = 0;
    while (row[length] != '\0') {
      char c = row[length];
      if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
      ++length;
    }
    if (length != kWidth) return false;
  }
  return true;
}
static_assert(RowsAreWhole(), "each row of the art is 64 hex digits");

constexpr std::array<BYTE, kWidth* kHeight> kIndices = BuildIndices();

constexpr vtres::Bitmap kPicture = {kWidth, kHeight, kPalette, 16,
                                    kIndices.data()};

}  // namespace

VT_RESOURCE(Bitmap, IDB_PICTURE, kPicture);
