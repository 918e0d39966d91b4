// Small helpers on ANSI text, and the table of the program's resources.
//
// Resources register themselves from static initialisers (VT_RESOURCE), in
// whatever order the linker runs them, so the table is built on first use
// and never destroyed.
#include <cstdlib>
#include <map>
#include <mutex>
#include <utility>

#include "platform/internal/no_destroy.h"
#include "platform/user/user_internal.h"

namespace vt::user {

// Windows-1252 letters: ASCII, the Latin-1 range (without × and ÷), and the
// five letters the code page adds in 0x80-0x9F.
char ToLowerAnsi(char c) {
  auto u = static_cast<unsigned char>(c);
  if (u >= 'A' && u <= 'Z') return static_cast<char>(u + 32);
  if (u >= 0xC0 && u <= 0xDE && u != 0xD7) return static_cast<char>(u + 32);
  switch (u) {
    case 0x8A:
    case 0x8C:
    case 0x8E:
      return static_cast<char>(u + 0x10);
    case 0x9F:
      return static_cast<char>(0xFF);
    default:
      return c;
  }
}

char ToUpperAnsi(char c) {
  auto u = static_cast<unsigned char>(c);
  if (u >= 'a' && u <= 'z') return static_cast<char>(u - 32);
  if (u >= 0xE0 && u <= 0xFE && u != 0xF7) return static_cast<char>(u - 32);
  switch (u) {
    case 0x9A:
    case 0x9C:
    case 0x9E:
      return static_cast<char>(u - 0x10);
    case 0xFF:
      return static_cast<char>(0x9F);
    default:
      return c;
  }
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ToLowerAnsi(a[i]) != ToLowerAnsi(b[i])) return false;
  }
  return true;
}

int ResourceId(LPCSTR name) {
  if (!name) return -1;
  if (IS_INTRESOURCE(name))
    return static_cast<int>(reinterpret_cast<std::uintptr_t>(name));
  if (name[0] != '#' || !name[1]) return -1;
  char* end = nullptr;
  long id = std::strtol(name + 1, &end, 10);
  if (*end || id < 0 || id > 0xFFFF) return -1;
  return static_cast<int>(id);
}

char MnemonicOf(std::string_view text) {
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '&') continue;
    if (text[i + 1] == '&') {
      ++i;  // "&&" is a plain ampersand
      continue;
    }
    return ToLowerAnsi(text[i + 1]);
  }
  return 0;
}

int MulDivRound(int value, int numerator, int denominator) {
  long long product = static_cast<long long>(value) * numerator;
  long long half = denominator / 2;
  return static_cast<int>(product >= 0 ? (product + half) / denominator
                                       : (product - half) / denominator);
}

}  // namespace vt::user

namespace vtres {

namespace {

struct Table {
  std::mutex mutex;
  std::map<std::pair<int, int>, const void*> entries;
};

Table& Resources() {
  static vt::platform::NoDestroy<Table> table;
  return table.get();
}

}  // namespace

bool RegisterResource(Type type, int id, const void* data) {
  auto& table = Resources();
  std::lock_guard<std::mutex> lock(table.mutex);
  table.entries[{static_cast<int>(type), id}] = data;
  return true;
}

const void* FindResource(Type type, int id) {
  auto& table = Resources();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto it = table.entries.find({static_cast<int>(type), id});
  return it == table.entries.end() ? nullptr : it->second;
}

}  // namespace vtres
