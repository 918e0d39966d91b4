// The icon theme's PNG files: what EncodePng writes must read back, through
// a reader that checks every CRC, length and checksum, as the pixels given;
// Scale must keep colours true at transparent edges.
#include "tools/icons/png.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace vt::tools {
namespace {

std::uint32_t BigEndian(const std::string& bytes, size_t at) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i)
    value = value << 8 | static_cast<unsigned char>(bytes.at(at + i));
  return value;
}

std::uint32_t ReferenceCrc(const std::string& bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char byte : bytes) {
    crc ^= byte;
    for (int k = 0; k < 8; ++k)
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

// Reads a PNG as EncodePng writes it (RGBA, stored deflate blocks, filter 0),
// failing the test on any fault a viewer would reject.
Image Decode(const std::string& png) {
  Image image;
  EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n"));
  std::string zlib;
  size_t at = 8;
  bool ended = false;
  while (at + 12 <= png.size() && !ended) {
    const std::uint32_t length = BigEndian(png, at);
    const std::string typed = png.substr(at + 4, 4 + length);
    EXPECT_EQ(BigEndian(png, at + 8 + length), ReferenceCrc(typed))
        << typed.substr(0, 4);
    const std::string type = typed.substr(0, 4), data = typed.substr(4);
    if (type == "IHDR") {
      image.width = static_cast<int>(BigEndian(data, 0));
      image.height = static_cast<int>(BigEndian(data, 4));
      EXPECT_EQ(data.substr(8), std::string("\x08\x06\x00\x00\x00", 5));
    } else if (type == "IDAT") {
      zlib += data;
    } else {
      ended = type == "IEND";
    }
    at += 12 + length;
  }
  EXPECT_TRUE(ended);
  EXPECT_EQ(at, png.size());
  // The zlib header must be a valid one (a multiple of 31), then blocks.
  EXPECT_EQ((static_cast<unsigned char>(zlib.at(0)) * 256 +
             static_cast<unsigned char>(zlib.at(1))) %
                31,
            0);
  std::string raw;
  size_t z = 2;
  for (bool last = false; !last;) {
    const auto flags = static_cast<unsigned char>(zlib.at(z));
    EXPECT_EQ(flags & 6, 0) << "only stored blocks are expected";
    last = flags & 1;
    const unsigned len = static_cast<unsigned char>(zlib.at(z + 1)) |
                         static_cast<unsigned char>(zlib.at(z + 2)) << 8;
    const unsigned nlen = static_cast<unsigned char>(zlib.at(z + 3)) |
                          static_cast<unsigned char>(zlib.at(z + 4)) << 8;
    EXPECT_EQ(len ^ 0xFFFFu, nlen);
    raw += zlib.substr(z + 5, len);
    z += 5 + len;
  }
  std::uint32_t a = 1, b = 0;
  for (unsigned char byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  EXPECT_EQ(BigEndian(zlib, z), b << 16 | a);
  EXPECT_EQ(z + 4, zlib.size());
  const size_t stride = static_cast<size_t>(image.width) * 4 + 1;
  EXPECT_EQ(raw.size(), stride * image.height);
  for (int y = 0; y < image.height && raw.size() == stride * image.height;
       ++y) {
    EXPECT_EQ(raw[y * stride], 0) << "row " << y << " is filtered";
    for (int x = 0; x < image.width; ++x) {
      const auto* p = reinterpret_cast<const unsigned char*>(
          raw.data() + y * stride + 1 + x * 4);
      image.argb.push_back(std::uint32_t{p[3]} << 24 |
                           std::uint32_t{p[0]} << 16 |
                           std::uint32_t{p[1]} << 8 | p[2]);
    }
  }
  return image;
}

Image Pattern(int width, int height) {
  Image image{width, height, {}};
  for (int i = 0; i < width * height; ++i) {
    image.argb.push_back(static_cast<std::uint32_t>(i * 2654435761u));
  }
  return image;
}

TEST(Png, ReadsBackAsWritten) {
  // Columns: width, height. 200 × 100 needs more than one stored block.
  const struct {
    int width, height;
  } cases[] = {{1, 1}, {16, 16}, {48, 48}, {200, 100}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    const Image image = Pattern(c.width, c.height);
    const Image read = Decode(EncodePng(image));
    EXPECT_EQ(read.width, c.width);
    EXPECT_EQ(read.height, c.height);
    EXPECT_EQ(read.argb, image.argb);
  }
}

TEST(Scale, AveragesByAreaWithoutBleedingTransparentColour) {
  constexpr std::uint32_t kRed = 0xFFFF0000, kClearBlack = 0x00000000,
                          kClearWhite = 0x00FFFFFF, kBlue = 0xFF0000FF;
  // Columns: source picture, target size, expected pixels.
  const struct {
    Image source;
    int size;
    std::vector<std::uint32_t> expected;
  } cases[] = {
      // One opaque pixel among transparent ones: a quarter of the alpha,
      // and still pure red.
      {{2, 2, {kRed, kClearBlack, kClearWhite, kClearBlack}}, 1, {0x40FF0000}},
      // Two colours side by side meet half way.
      {{2, 1, {kRed, kBlue}}, 1, {0xFF800080}},
      // Growing by 3/2: the middle pixel of three covers half of each.
      {{2, 2, {kRed, kBlue, kRed, kBlue}},
       3,
       {kRed, 0xFF800080, kBlue, kRed, 0xFF800080, kBlue, kRed, 0xFF800080,
        kBlue}},
      // Fully transparent stays fully transparent.
      {{2, 2, {kClearWhite, kClearWhite, kClearWhite, kClearWhite}},
       3,
       std::vector<std::uint32_t>(9, 0)},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    const Image scaled = Scale(cases[i].source, cases[i].size, cases[i].size);
    EXPECT_EQ(scaled.width, cases[i].size);
    EXPECT_EQ(scaled.height, cases[i].size);
    EXPECT_EQ(scaled.argb, cases[i].expected);
  }
}

}  // namespace
}  // namespace vt::tools
