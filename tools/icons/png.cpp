// See png.h. The layout follows the PNG format: the signature, then
// chunks of length, type, data and the CRC-32 of type and data; IDAT holds a
// zlib stream (header, deflate blocks, Adler-32 of the raw bytes), whose raw
// bytes are each row prefixed with filter type 0.
#include "tools/icons/png.h"

#include <algorithm>
#include <array>

namespace vt::tools {
namespace {

std::array<std::uint32_t, 256> MakeCrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

std::uint32_t Crc32(const std::string& bytes) {
  static const auto table = MakeCrcTable();
  std::uint32_t c = 0xFFFFFFFFu;
  for (unsigned char byte : bytes) c = table[(c ^ byte) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

std::uint32_t Adler32(const std::string& bytes) {
  std::uint32_t a = 1, b = 0;
  for (unsigned char byte : bytes) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  return b << 16 | a;
}

void PutBigEndian(std::string* out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    out->push_back(static_cast<char>(value >> shift & 0xFF));
  }
}

void PutChunk(std::string* out, const char* type, const std::string& data) {
  PutBigEndian(out, static_cast<std::uint32_t>(data.size()));
  std::string typed = type + data;
  out->append(typed);
  PutBigEndian(out, Crc32(typed));
}

// A zlib stream of stored deflate blocks, at most 65535 bytes each.
std::string StoredZlib(const std::string& raw) {
  std::string out = "\x78\x01";
  size_t offset = 0;
  do {
    const size_t length = std::min<size_t>(raw.size() - offset, 65535);
    const bool last = offset + length == raw.size();
    out.push_back(last ? 1 : 0);
    out.push_back(static_cast<char>(length & 0xFF));
    out.push_back(static_cast<char>(length >> 8));
    out.push_back(static_cast<char>(~length & 0xFF));
    out.push_back(static_cast<char>(~length >> 8 & 0xFF));
    out.append(raw, offset, length);
    offset += length;
  } while (offset < raw.size());
  PutBigEndian(&out, Adler32(raw));
  return out;
}

}  // namespace

std::string EncodePng(const Image& image) {
  std::string out = "\x89PNG\r\n\x1a\n";
  std::string header;
  PutBigEndian(&header, static_cast<std::uint32_t>(image.width));
  PutBigEndian(&header, static_cast<std::uint32_t>(image.height));
  // 8 bits per channel, colour type 6 (RGBA), deflate, filter set 0, no
  // interlace.
  header.append(std::string("\x08\x06\x00\x00\x00", 5));
  PutChunk(&out, "IHDR", header);

  std::string raw;
  raw.reserve(static_cast<size_t>(image.height) * (image.width * 4 + 1));
  for (int y = 0; y < image.height; ++y) {
    raw.push_back(0);
    for (int x = 0; x < image.width; ++x) {
      const std::uint32_t p =
          image.argb[static_cast<size_t>(y) * image.width + x];
      raw.push_back(static_cast<char>(p >> 16 & 0xFF));
      raw.push_back(static_cast<char>(p >> 8 & 0xFF));
      raw.push_back(static_cast<char>(p & 0xFF));
      raw.push_back(static_cast<char>(p >> 24 & 0xFF));
    }
  }
  PutChunk(&out, "IDAT", StoredZlib(raw));
  PutChunk(&out, "IEND", "");
  return out;
}

Image Scale(const Image& source, int width, int height) {
  Image scaled{width, height,
               std::vector<std::uint32_t>(static_cast<size_t>(width) * height)};
  // Measured in units of 1 / (width × source.width) of the picture's width
  // (and the same for heights), every edge of a source or target pixel falls
  // on a whole unit, so the weights are exact integers and a pixel shared
  // evenly by two colours rounds the same way for every channel.
  const auto overlap = [](int a0, int a1, int b0, int b1) {
    return std::max(0, std::min(a1, b1) - std::max(a0, b0));
  };
  for (int y = 0; y < height; ++y) {
    const int y0 = y * source.height, y1 = y0 + source.height;
    for (int x = 0; x < width; ++x) {
      const int x0 = x * source.width, x1 = x0 + source.width;
      std::uint64_t area = 0, alpha = 0, r = 0, g = 0, b = 0;
      for (int v = y0 / height; v < source.height && v * height < y1; ++v) {
        const int h = overlap(y0, y1, v * height, (v + 1) * height);
        for (int u = x0 / width; u < source.width && u * width < x1; ++u) {
          const std::uint64_t w = static_cast<std::uint64_t>(overlap(
                                      x0, x1, u * width, (u + 1) * width)) *
                                  h;
          const std::uint32_t p =
              source.argb[static_cast<size_t>(v) * source.width + u];
          const std::uint64_t a = (p >> 24 & 0xFF) * w;
          area += w;
          alpha += a;
          r += (p >> 16 & 0xFF) * a;
          g += (p >> 8 & 0xFF) * a;
          b += (p & 0xFF) * a;
        }
      }
      if (alpha == 0) continue;  // transparent
      const auto rounded = [](std::uint64_t sum, std::uint64_t by) {
        return static_cast<std::uint32_t>((2 * sum + by) / (2 * by));
      };
      scaled.argb[static_cast<size_t>(y) * width + x] =
          rounded(alpha, area) << 24 | rounded(r, alpha) << 16 |
          rounded(g, alpha) << 8 | rounded(b, alpha);
    }
  }
  return scaled;
}

}  // namespace vt::tools
