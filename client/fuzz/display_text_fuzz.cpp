// Fuzzes the conversion of a finger answer into the response window's text.
// The first two input bytes pick the size of the display buffer (0 stands
// for the window's own 32,768 bytes, so that answers longer than the window
// holds are cut the way the window cuts them); the rest is the answer, which
// ends at its first zero byte as the window reads it.
//
// The reference builds the whole converted text first and cuts it after:
// each LF becomes CR LF, a CR right before an LF goes, every other byte
// stays; then whole pieces (a CR LF pair is one piece) are kept while they
// fit in the buffer's size less one for the terminator.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "client/query_windows.h"

namespace {

constexpr int kWindowBufferSize = 32768;

std::string Reference(const std::string& answer, int displaySize) {
  std::vector<std::string> pieces;
  for (size_t i = 0; i < answer.size(); ++i) {
    if (answer[i] == '\r' && i + 1 < answer.size() && answer[i + 1] == '\n') {
      continue;
    }
    pieces.push_back(answer[i] == '\n' ? std::string("\r\n")
                                       : std::string(1, answer[i]));
  }
  std::string shown;
  for (const std::string& piece : pieces) {
    if (shown.size() + piece.size() > static_cast<size_t>(displaySize - 1)) {
      break;
    }
    shown += piece;
  }
  return shown;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size < 2) return 0;
  int displaySize = data[0] | (data[1] << 8);
  if (displaySize == 0) displaySize = kWindowBufferSize;
  std::string answer(reinterpret_cast<const char*>(data + 2), size - 2);
  answer = answer.substr(0, answer.find('\0'));

  // Exactly the buffer's size, so a write past it is caught.
  std::vector<char> display(static_cast<size_t>(displaySize));
  int length =
      ConvertAnswerForDisplay(answer.c_str(), display.data(), displaySize);
  std::string expected = Reference(answer, displaySize);
  if (length != static_cast<int>(expected.size()) ||
      std::memchr(display.data(), '\0', static_cast<size_t>(length)) !=
          nullptr ||
      display[static_cast<size_t>(length)] != '\0' ||
      std::memcmp(display.data(), expected.data(), expected.size()) != 0) {
    std::fprintf(stderr, "size %d: expected %zu bytes, got %d\n", displaySize,
                 expected.size(), length);
    std::abort();
  }
  return 0;
}
