// Fuzzes the reg command's handling of its command line, in-process and
// against a registry of its own. The first input byte picks the form: raw
// arguments (the rest, split at zero bytes), or an add of a text value whose
// key, name and data come from the input. Whatever the line, the command
// answers with status 0 or 1 and never touches memory it should not; when
// an add of ASCII parts reports success, the value must read back through
// the registry calls as a REG_SZ holding exactly the data.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

int RegToolMain(int argc, char** argv);

namespace {

std::string root;

void RemoveRoot() { std::filesystem::remove_all(root); }

void Initialise() {
  char folder[] = "/tmp/vt-reg-fuzz-XXXXXX";
  if (mkdtemp(folder) == nullptr) std::abort();
  root = folder;
  setenv("VELLUMTIDE_ROOT", folder, 1);
  std::atexit(RemoveRoot);
  // A question without /f reads its answer here: the end of input is "No".
  if (std::freopen("/dev/null", "r", stdin) == nullptr) std::abort();
  // What the tool prints is not under test; keep the log to the fuzzer's.
  std::cout.rdbuf(nullptr);
  std::cerr.rdbuf(nullptr);
}

std::vector<std::string> SplitAtZeros(const std::uint8_t* data, size_t size) {
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      parts.emplace_back();
    } else {
      parts.back() += static_cast<char>(data[i]);
    }
  }
  return parts;
}

int Run(std::vector<std::string> args) {
  args.insert(args.begin(), "reg");
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::cin.clear();
  return RegToolMain(static_cast<int>(args.size()), argv.data());
}

bool IsAscii(const std::string& text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

void CheckAddedValue(const std::string& path, const std::string& name,
                     const std::string& text) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    Fail("reg said it added a value whose key does not open");
  }
  std::vector<char> data(text.size() + 16, '\x55');
  DWORD size = static_cast<DWORD>(data.size());
  DWORD type = 0;
  if (RegQueryValueExA(key, name.c_str(), nullptr, &type,
                       reinterpret_cast<BYTE*>(data.data()),
                       &size) != ERROR_SUCCESS) {
    Fail("reg said it added a value that cannot be read");
  }
  RegCloseKey(key);
  if (type != REG_SZ || size != text.size() + 1 ||
      std::memcmp(data.data(), text.c_str(), text.size() + 1) != 0) {
    Fail("the value read back is not what reg added");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  static bool initialised = (Initialise(), true);
  (void)initialised;
  if (size == 0) return 0;
  std::vector<std::string> parts = SplitAtZeros(data + 1, size - 1);
  if ((data[0] & 1) == 0) {
    int status = Run(parts);
    if (status != 0 && status != 1) Fail("reg ended with an odd status");
    return 0;
  }
  parts.resize(3);
  const std::string path = "Software\\Fuzz\\" + parts[0];
  int status = Run({"add", "HKCU\\" + path, "/v", parts[1], "/t", "REG_SZ",
                    "/d", parts[2], "/f"});
  if (status != 0 && status != 1) Fail("reg ended with an odd status");
  if (status == 0 && IsAscii(parts[0]) && IsAscii(parts[1]) &&
      IsAscii(parts[2])) {
    CheckAddedValue(path, parts[1], parts[2]);
  }
  return 0;
}
