// A registry writer for tests, run as a child process that the test kills
// at a random moment. It says "ready" on standard output once its first
// change has landed, then goes on until it is killed or has made count
// changes (exit 0), or a change fails (exit 1).
//
//   registry_writer KEY VALUE [count]   rewrites one 256-byte value, all 'A'
//                                       then all 'B'
//   registry_writer KEY /deep [count]   creates KEY\<n>\L1\...\L40 in one
//                                       call, for n = 0, 1, 2, ...
//   registry_writer KEY /tree [count]   builds the chain KEY\L1\...\L40, gives
//                                       its keys a value from the deepest up,
//                                       then deletes it from the deepest up
//
// The last two make changes of many statements each, so a test that kills
// them can see a change that was left half done.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kDepth = 40;

void SayReady(long change) {
  if (change == 0) {
    std::puts("ready");
    std::fflush(stdout);
  }
}

std::string Chain(const std::string& top, int depth) {
  std::string path = top;
  for (int level = 1; level <= depth; ++level) {
    path += "\\L" + std::to_string(level);
  }
  return path;
}

bool Create(const std::string& path, HKEY* key) {
  return RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr,
                         REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key,
                         nullptr) == ERROR_SUCCESS;
}

int RewriteValue(const char* keyPath, const char* value, long count) {
  HKEY key = nullptr;
  if (!Create(keyPath, &key)) {
    std::fprintf(stderr, "registry_writer: cannot create the key\n");
    return 1;
  }
  BYTE data[256];
  for (long i = 0; count < 0 || i < count; ++i) {
    std::memset(data, i % 2 == 0 ? 'A' : 'B', sizeof data);
    if (RegSetValueExA(key, value, 0, REG_BINARY, data, sizeof data) !=
        ERROR_SUCCESS) {
      std::fprintf(stderr, "registry_writer: write %ld failed\n", i);
      return 1;
    }
    SayReady(i);
  }
  RegCloseKey(key);
  return 0;
}

int CreateDeepKeys(const char* keyPath, long count) {
  for (long i = 0; count < 0 || i < count; ++i) {
    HKEY key = nullptr;
    if (!Create(Chain(std::string(keyPath) + "\\" + std::to_string(i), kDepth),
                &key)) {
      std::fprintf(stderr, "registry_writer: deep key %ld failed\n", i);
      return 1;
    }
    RegCloseKey(key);
    SayReady(i);
  }
  return 0;
}

// Works through handles opened once per chain, so that the time goes into
// the changes themselves rather than into finding the keys by path.
int BuildAndDeleteTrees(const char* keyPath, long count) {
  HKEY top = nullptr;
  if (!Create(keyPath, &top)) return 1;
  for (long i = 0; count < 0 || i < count; ++i) {
    HKEY leaf = nullptr;
    if (!Create(Chain(keyPath, kDepth), &leaf)) return 1;
    RegCloseKey(leaf);
    // levels[d] is the key at depth d, levels[0] the top.
    std::vector<HKEY> levels(1, top);
    for (int depth = 1; depth <= kDepth; ++depth) {
      HKEY key = nullptr;
      if (RegOpenKeyExA(levels.back(), ("L" + std::to_string(depth)).c_str(), 0,
                        KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        return 1;
      }
      levels.push_back(key);
    }
    const BYTE mark[4] = {1, 2, 3, 4};
    for (int depth = kDepth; depth >= 1; --depth) {
      if (RegSetValueExA(levels[depth], "Mark", 0, REG_BINARY, mark,
                         sizeof mark) != ERROR_SUCCESS) {
        return 1;
      }
    }
    for (int depth = kDepth; depth >= 1; --depth) {
      RegCloseKey(levels[depth]);
      if (RegDeleteKeyA(levels[depth - 1],
                        ("L" + std::to_string(depth)).c_str()) !=
          ERROR_SUCCESS) {
        std::fprintf(stderr, "registry_writer: delete failed\n");
        return 1;
      }
    }
    SayReady(i);
  }
  RegCloseKey(top);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: registry_writer KEY VALUE|/deep|/tree [count]\n");
    return 2;
  }
  const long count = argc > 3 ? std::strtol(argv[3], nullptr, 10) : -1;
  if (std::strcmp(argv[2], "/deep") == 0) return CreateDeepKeys(argv[1], count);
  if (std::strcmp(argv[2], "/tree") == 0) {
    return BuildAndDeleteTrees(argv[1], count);
  }
  return RewriteValue(argv[1], argv[2], count);
}
