// Fuzzes loading the profile from the registry. For each of the eight
// values the input says whether it is stored, with which type (the load
// never looks at it), how many bytes and which; a first byte may remove the
// key altogether. Every field starts from a known old text before the load.
//
// What a load may make of it: a text value gives its bytes up to the first
// zero, at most 255 of them, and zeros to the end of the 256-byte field; the
// minutes come only from a value of exactly four bytes; anything not stored
// leaves its field as it was. The sanitizers catch a field written past its
// end.
#include <fuzzer/FuzzedDataProvider.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "service/presence_state.h"
#include "settings/settings_store.h"

namespace {

constexpr char kKey[] = "Software\\Tollerbay\\Vellumtide";
constexpr DWORD kOldMinutes = 77;
constexpr int kTextSize = 256;

// Columns: value name, field.
struct TextValue {
  const char* name;
  char* field;
};
const TextValue kTextValues[] = {
    {"Real Name", presence.realName},       {"Office", presence.office},
    {"Office Phone", presence.officePhone}, {"Home", presence.home},
    {"Home Phone", presence.homePhone},     {"Plan File", presence.planFile},
    {"Away File", presence.awayFile},
};
// The types a value may carry, sensible or not.
const DWORD kTypes[] = {REG_NONE,  REG_SZ, 2u,  REG_BINARY,
                        REG_DWORD, 7u,     11u, 0xFFFFFFFFu};

std::string root;

void RemoveRoot() { std::filesystem::remove_all(root); }

void Initialise() {
  char folder[] = "/tmp/vt-settings-fuzz-XXXXXX";
  if (mkdtemp(folder) == nullptr) std::abort();
  root = folder;
  setenv("VELLUMTIDE_ROOT", folder, 1);
  std::atexit(RemoveRoot);
}

std::string OldText(int index) { return "old text " + std::to_string(index); }

void SetOldFields() {
  std::lock_guard<std::mutex> guard(presenceTextLock);
  for (int i = 0; i < 7; ++i) {
    std::memset(kTextValues[i].field, 0, kTextSize);
    std::strcpy(kTextValues[i].field, OldText(i).c_str());
  }
  presence.awayAfterMinutes = kOldMinutes;
}

[[noreturn]] void Fail(const char* what, int index) {
  std::fprintf(stderr, "%s (value %d)\n", what, index);
  std::abort();
}

// Stores one value as the input says; true when it is stored.
bool StoreValue(HKEY key, const char* name, FuzzedDataProvider* input) {
  RegDeleteValueA(key, name);
  if (!input->ConsumeBool()) return false;
  DWORD type = kTypes[input->ConsumeIntegralInRange<size_t>(0, 7)];
  size_t size = input->ConsumeIntegralInRange<size_t>(0, 600);
  std::vector<std::uint8_t> bytes = input->ConsumeBytes<std::uint8_t>(size);
  return RegSetValueExA(key, name, 0, type, bytes.data(),
                        static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  static bool initialised = (Initialise(), true);
  (void)initialised;
  FuzzedDataProvider input(data, size);
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr,
                      REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    std::abort();
  }
  std::string expected[7];
  bool stored[7];
  for (int i = 0; i < 7; ++i) {
    stored[i] = StoreValue(key, kTextValues[i].name, &input);
  }
  bool minutesStored = StoreValue(key, "Set Away After", &input);
  bool keyRemoved = input.ConsumeBool();
  // Read back what is stored, to know what the load should see.
  for (int i = 0; i < 7; ++i) {
    if (!stored[i]) continue;
    std::vector<char> bytes(700, 0);
    DWORD read = static_cast<DWORD>(bytes.size());
    if (RegQueryValueExA(key, kTextValues[i].name, nullptr, nullptr,
                         reinterpret_cast<BYTE*>(bytes.data()),
                         &read) != ERROR_SUCCESS) {
      Fail("a stored value cannot be read back", i);
    }
    size_t length = strnlen(bytes.data(), read < 255 ? read : 255);
    expected[i] = std::string(bytes.data(), length);
  }
  DWORD minutes = kOldMinutes;
  if (minutesStored) {
    BYTE bytes[700];
    DWORD read = sizeof bytes;
    if (RegQueryValueExA(key, "Set Away After", nullptr, nullptr, bytes,
                         &read) != ERROR_SUCCESS) {
      Fail("the stored minutes cannot be read back", 7);
    }
    if (read == 4) std::memcpy(&minutes, bytes, 4);
  }
  RegCloseKey(key);
  if (keyRemoved) {
    if (RegDeleteKeyA(HKEY_CURRENT_USER, kKey) != ERROR_SUCCESS) {
      Fail("the key cannot be removed", -1);
    }
  }

  SetOldFields();
  LoadSettings(nullptr);

  for (int i = 0; i < 7; ++i) {
    std::string want = (stored[i] && !keyRemoved) ? expected[i] : OldText(i);
    char field[kTextSize];
    {
      std::lock_guard<std::mutex> guard(presenceTextLock);
      std::memcpy(field, kTextValues[i].field, kTextSize);
    }
    if (std::memcmp(field, want.data(), want.size()) != 0) {
      Fail("a text field is not what was stored", i);
    }
    for (size_t j = want.size(); j < kTextSize; ++j) {
      if (field[j] != '\0') Fail("a text field is not cleared after it", i);
    }
  }
  DWORD wantMinutes = keyRemoved ? kOldMinutes : minutes;
  if (presence.awayAfterMinutes != wantMinutes) {
    Fail("the minutes are not what was stored", 7);
  }
  return 0;
}
