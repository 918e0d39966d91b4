// Resource names and mnemonics, and the table of the program's resources.
//
// Resources register themselves from static initialisers (VT_RESOURCE), in
// whatever order the linker runs them, so the table is built on first use
// and never destroyed.
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <utility>

#include "platform/internal/no_destroy.h"
#include "platform/user/user_internal.h"

namespace vt::user {

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
    return LowerWindows1252(text[i + 1]);
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
  auto [it, added] =
      table.entries.try_emplace({static_cast<int>(type), id}, data);
  if (!added && it->second != data) {
    // Two tables under one identifier: whichever registered last would
    // silently stand in for the other, so a program (or test) would show
    // the wrong dialog. Stop at start-up where the fault is plain to see.
    std::fprintf(stderr, "two resources of type %d share the identifier %d\n",
                 static_cast<int>(type), id);
    std::abort();
  }
  return true;
}

const void* FindResource(Type type, int id) {
  auto& table = Resources();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto it = table.entries.find({static_cast<int>(type), id});
  return it == table.entries.end() ? nullptr : it->second;
}

}  // namespace vtres
