// Pictures as PNG files, for the desktop's icon theme.
//
// Image holds straight (not premultiplied) 0xAARRGGBB pixels, the form the
// program's icon resources use. EncodePng writes 8-bit RGBA with the image
// data in stored (uncompressed) deflate blocks: the icons are small, and a
// writer without compression needs no library and is easy to check.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vt::tools {

struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> argb;  // row by row from the top
};

// The PNG file's bytes.
std::string EncodePng(const Image& image);

// The image resampled to width × height by area: each new pixel is the
// average of the source area it covers, weighted by alpha so that the
// colour of transparent pixels does not bleed into the edge.
Image Scale(const Image& source, int width, int height);

}  // namespace vt::tools
