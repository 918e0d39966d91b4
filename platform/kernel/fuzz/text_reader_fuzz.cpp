// Fuzzes text-mode reading. The first input byte picks the size of the line
// buffer (1 to 256, so pieces of every length meet every place in the
// reader's own 4 KB buffer); the rest is the file's bytes.
//
// The reference reads the whole file at once: the text ends at the first
// Ctrl-Z, and each CR directly followed by LF is dropped; every other byte,
// NUL included, stays. Line reads must give that text cut into pieces that
// end after an LF or when the buffer is full, each terminated; a block read
// must give the same text whole.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::string folder;
std::string path;

void RemoveFolder() { std::filesystem::remove_all(folder); }

void Initialise() {
  char made[] = "/tmp/vt-text-fuzz-XXXXXX";
  if (mkdtemp(made) == nullptr) std::abort();
  folder = made;
  path = folder + "/file.txt";
  std::atexit(RemoveFolder);
}

std::string Reference(const std::string& bytes) {
  std::string text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\x1a') break;
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
      continue;
    }
    text += bytes[i];
  }
  return text;
}

[[noreturn]] void Fail(const char* what, size_t at) {
  std::fprintf(stderr, "%s at text offset %zu\n", what, at);
  std::abort();
}

void CheckLines(const std::string& text, int size) {
  TEXTFILE* file = OpenTextFileA(path.c_str());
  if (file == nullptr) Fail("the file does not open", 0);
  // One byte more than the reader is told, to see it never writes there.
  std::vector<char> buffer(static_cast<size_t>(size) + 1, '\x55');
  size_t at = 0;
  while (at < text.size()) {
    size_t room = static_cast<size_t>(size) - 1;
    size_t end = at;
    while (end < text.size() && end - at < room) {
      if (text[end++] == '\n') break;
    }
    if (room == 0) break;
    if (ReadTextLineA(buffer.data(), size, file) != buffer.data()) {
      Fail("a line read ended early", at);
    }
    if (std::memcmp(buffer.data(), text.data() + at, end - at) != 0 ||
        buffer[end - at] != '\0') {
      Fail("a line read differs", at);
    }
    if (buffer[static_cast<size_t>(size)] != '\x55') {
      Fail("a line read wrote past its buffer", at);
    }
    at = end;
  }
  if (size > 1 && ReadTextLineA(buffer.data(), size, file) != nullptr) {
    Fail("a line read went on after the text", at);
  }
  CloseTextFile(file);
}

void CheckBlock(const std::string& text) {
  TEXTFILE* file = OpenTextFileA(path.c_str());
  if (file == nullptr) Fail("the file does not open", 0);
  std::vector<char> buffer(text.size() + 16);
  SIZE_T got = ReadTextA(buffer.data(), buffer.size(), file);
  if (got != text.size() || std::memcmp(buffer.data(), text.data(), got) != 0) {
    Fail("a block read differs", 0);
  }
  CloseTextFile(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  static bool initialised = (Initialise(), true);
  (void)initialised;
  if (size == 0) return 0;
  int lineSize = data[0] + 1;
  std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);

  std::string text = Reference(bytes);
  CheckLines(text, lineSize);
  CheckBlock(text);
  return 0;
}
