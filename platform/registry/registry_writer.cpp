// A registry writer for tests: rewrites one 256-byte value, all 'A' then
// all 'B', as fast as it can, until it is killed. It says "ready" on
// standard output once the first write has landed.
//
//   registry_writer KEY VALUE [count]
//
// With a count it stops after that many writes and exits 0, or 1 at the
// first write that fails.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: registry_writer KEY VALUE [count]\n");
    return 2;
  }
  const long count = argc > 3 ? std::strtol(argv[3], nullptr, 10) : -1;
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, argv[1], 0, nullptr,
                      REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    std::fprintf(stderr, "registry_writer: cannot create the key\n");
    return 1;
  }
  BYTE data[256];
  for (long i = 0; count < 0 || i < count; ++i) {
    std::memset(data, i % 2 == 0 ? 'A' : 'B', sizeof data);
    if (RegSetValueExA(key, argv[2], 0, REG_BINARY, data, sizeof data) !=
        ERROR_SUCCESS) {
      std::fprintf(stderr, "registry_writer: write %ld failed\n", i);
      return 1;
    }
    if (i == 0) {
      std::puts("ready");
      std::fflush(stdout);
    }
  }
  RegCloseKey(key);
  return 0;
}
