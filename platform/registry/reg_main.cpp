// reg: read and change the registry from a shell, in the form of the target
// system's own tool, so a person or a test can see and set what the program
// stores.
//
//   reg query KEY [/v NAME | /ve]
//   reg add KEY [/v NAME | /ve] [/t REG_SZ|REG_EXPAND_SZ|REG_DWORD|REG_BINARY]
//           [/d DATA] [/f]
//   reg delete KEY [/v NAME | /ve | /va] [/f]
//
// KEY starts with its hive, short or long: HKCU\Software\... or
// HKEY_CURRENT_USER\Software\.... Arguments come from the OS in UTF-8 and
// are converted to ANSI; output goes back in UTF-8. Exit status 0 on
// success, 1 on failure with "ERROR: ..." on standard error.
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/internal/platform.h"
#include "platform/internal/text.h"

using vt::platform::EqualNoCase;

namespace {

using vt::platform::AnsiToUtf8;
using vt::platform::Utf8ToAnsi;

constexpr const char* kNotFound =
    "The system was unable to find the specified registry key or value.";

// Columns: short name, long name, handle.
struct HiveName {
  const char* shortName;
  const char* longName;
  HKEY handle;
};
const HiveName kHiveNames[] = {
    {"HKCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HKCR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
};

// Columns: type name, type.
struct TypeName {
  const char* name;
  DWORD type;
};
const TypeName kTypeNames[] = {
    {"REG_SZ", REG_SZ},       {"REG_EXPAND_SZ", REG_EXPAND_SZ},
    {"REG_DWORD", REG_DWORD}, {"REG_BINARY", REG_BINARY},
    {"REG_NONE", REG_NONE},
};

int Fail(const std::string& message) {
  std::cerr << "ERROR: " << AnsiToUtf8(message) << "\n";
  return 1;
}

// The reason a registry call failed, in the words the tool prints.
// Columns: result, text.
struct FailureText {
  LONG result;
  const char* text;
};
const FailureText kFailureTexts[] = {
    {ERROR_FILE_NOT_FOUND, kNotFound},
    {ERROR_KEY_DELETED, kNotFound},
    {ERROR_ACCESS_DENIED, "Access is denied."},
    {ERROR_BUSY,
     "The registry is in use by another program. Try again in a moment."},
    {ERROR_BADDB, "The registry database is damaged."},
    {ERROR_DISK_FULL, "There is not enough space on the disk."},
    {ERROR_CANTOPEN, "The registry database cannot be opened."},
    {ERROR_CANTREAD, "The registry database cannot be read."},
    {ERROR_CANTWRITE, "The registry database cannot be written."},
};

int FailWith(LONG result) {
  for (const auto& entry : kFailureTexts) {
    if (entry.result == result) return Fail(entry.text);
  }
  return Fail("The registry call failed with error " + std::to_string(result) +
              ".");
}

int Succeeded() {
  std::cout << "The operation completed successfully.\n";
  return 0;
}

const char* TypeNameOf(DWORD type) {
  for (const auto& entry : kTypeNames) {
    if (entry.type == type) return entry.name;
  }
  return "REG_NONE";
}

struct KeyName {
  HKEY hive;
  std::string hiveName;  // the long form, as query prints it
  std::string path;      // below the hive, without leading backslash
};

std::optional<KeyName> ParseKey(const std::string& text) {
  const auto slash = text.find('\\');
  const std::string head = text.substr(0, slash);
  for (const auto& hive : kHiveNames) {
    if (EqualNoCase(head, hive.shortName) || EqualNoCase(head, hive.longName)) {
      std::string rest =
          slash == std::string::npos ? std::string() : text.substr(slash + 1);
      while (!rest.empty() && rest.back() == '\\') rest.pop_back();
      return KeyName{hive.handle, hive.longName, rest};
    }
  }
  return std::nullopt;
}

struct Options {
  std::string operation;
  std::string key;
  std::optional<std::string> value;  // "" for /ve
  bool allValues = false;
  std::optional<std::string> type;
  std::optional<std::string> data;
  bool force = false;
};

// A switch as /name or -name, in any case.
bool IsSwitch(std::string_view arg, std::string_view name) {
  return !arg.empty() && (arg[0] == '/' || arg[0] == '-') &&
         EqualNoCase(arg.substr(1), name);
}

// nullopt when the arguments are not a command of the form above.
std::optional<Options> ParseArguments(const std::vector<std::string>& args) {
  if (args.size() < 2) return std::nullopt;
  Options options;
  options.operation = args[0];
  options.key = args[1];
  for (std::size_t i = 2; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasNext = i + 1 < args.size();
    if (IsSwitch(arg, "v") && hasNext) {
      options.value = args[++i];
    } else if (IsSwitch(arg, "ve")) {
      options.value = "";
    } else if (IsSwitch(arg, "va")) {
      options.allValues = true;
    } else if (IsSwitch(arg, "t") && hasNext) {
      options.type = args[++i];
    } else if (IsSwitch(arg, "d") && hasNext) {
      options.data = args[++i];
    } else if (IsSwitch(arg, "f")) {
      options.force = true;
    } else {
      return std::nullopt;
    }
  }
  return options;
}

// Asks on standard input; anything but a yes (or no input at all) is a no.
bool Confirm(const std::string& question) {
  std::cout << AnsiToUtf8(question) << " (Yes/No)? " << std::flush;
  std::string answer;
  if (!std::getline(std::cin, answer)) return false;
  return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

std::string ShowData(DWORD type, const std::vector<BYTE>& data) {
  char hex[16];
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
      const auto* text = reinterpret_cast<const char*>(data.data());
      std::size_t length = 0;
      while (length < data.size() && text[length] != '\0') ++length;
      return std::string(text, length);
    }
    case REG_DWORD:
      if (data.size() == 4) {
        DWORD value = 0;
        std::memcpy(&value, data.data(), 4);
        std::snprintf(hex, sizeof hex, "0x%x", value);
        return hex;
      }
      [[fallthrough]];
    default: {
      std::string out;
      for (const BYTE byte : data) {
        std::snprintf(hex, sizeof hex, "%02X", byte);
        out += hex;
      }
      return out;
    }
  }
}

void PrintValue(const std::string& name, DWORD type,
                const std::vector<BYTE>& data) {
  std::cout << "    " << AnsiToUtf8(name.empty() ? "(Default)" : name) << "    "
            << TypeNameOf(type) << "    " << AnsiToUtf8(ShowData(type, data))
            << "\n";
}

int Query(HKEY key, const std::string& shownPath, const Options& options) {
  if (options.value) {
    DWORD type = 0;
    DWORD size = 0;
    LONG result = RegQueryValueExA(key, options.value->c_str(), nullptr, &type,
                                   nullptr, &size);
    std::vector<BYTE> data(size);
    if (result == ERROR_SUCCESS) {
      result = RegQueryValueExA(key, options.value->c_str(), nullptr, &type,
                                data.data(), &size);
    }
    if (result != ERROR_SUCCESS) return FailWith(result);
    data.resize(size);
    std::cout << "\n" << AnsiToUtf8(shownPath) << "\n";
    PrintValue(*options.value, type, data);
    std::cout << "\n";
    return 0;
  }
  std::cout << "\n" << AnsiToUtf8(shownPath) << "\n";
  for (DWORD index = 0;; ++index) {
    char name[16384];
    DWORD nameSize = sizeof name;
    DWORD type = 0;
    DWORD size = 0;
    LONG listed = RegEnumValueA(key, index, name, &nameSize, nullptr, &type,
                                nullptr, &size);
    if (listed == ERROR_NO_MORE_ITEMS) break;
    if (listed != ERROR_SUCCESS) return FailWith(listed);
    std::vector<BYTE> data(size);
    nameSize = sizeof name;
    listed = RegEnumValueA(key, index, name, &nameSize, nullptr, &type,
                           data.data(), &size);
    if (listed != ERROR_SUCCESS) return FailWith(listed);
    data.resize(size);
    PrintValue(name, type, data);
  }
  std::cout << "\n";
  for (DWORD index = 0;; ++index) {
    char name[16384];
    DWORD nameSize = sizeof name;
    const LONG listed = RegEnumKeyExA(key, index, name, &nameSize, nullptr,
                                      nullptr, nullptr, nullptr);
    if (listed == ERROR_NO_MORE_ITEMS) break;
    if (listed != ERROR_SUCCESS) return FailWith(listed);
    std::cout << AnsiToUtf8(shownPath + "\\" + name) << "\n";
  }
  return 0;
}

std::optional<std::vector<BYTE>> ParseData(DWORD type,
                                           const std::string& text) {
  std::vector<BYTE> data;
  switch (type) {
    case REG_DWORD: {
      if (text.empty()) return std::vector<BYTE>(4, 0);
      char* end = nullptr;
      const bool hex = text.size() > 2 && text[0] == '0' &&
                       (text[1] == 'x' || text[1] == 'X');
      errno = 0;
      const unsigned long long value =
          std::strtoull(text.c_str(), &end, hex ? 16 : 10);
      if (*end != '\0' || errno != 0 || value > 0xFFFFFFFFull ||
          text[0] == '-') {
        return std::nullopt;
      }
      const auto dword = static_cast<DWORD>(value);
      data.resize(4);
      std::memcpy(data.data(), &dword, 4);
      return data;
    }
    case REG_BINARY:
    case REG_NONE: {
      if (text.size() % 2 != 0) return std::nullopt;
      for (std::size_t i = 0; i < text.size(); i += 2) {
        if (!std::isxdigit(static_cast<unsigned char>(text[i])) ||
            !std::isxdigit(static_cast<unsigned char>(text[i + 1]))) {
          return std::nullopt;
        }
        data.push_back(
            static_cast<BYTE>(std::stoi(text.substr(i, 2), nullptr, 16)));
      }
      return data;
    }
    default:
      // Texts are stored with their terminator, as the target tool does.
      data.assign(text.begin(), text.end());
      data.push_back(0);
      return data;
  }
}

int Add(const KeyName& name, const Options& options) {
  DWORD type = REG_SZ;
  if (options.type) {
    bool known = false;
    for (const auto& entry : kTypeNames) {
      if (EqualNoCase(*options.type, entry.name)) {
        type = entry.type;
        known = true;
      }
    }
    if (!known) return Fail("Invalid syntax.");
  }
  const auto data = ParseData(type, options.data.value_or(""));
  if (!data) return Fail("Invalid syntax.");
  HKEY key = nullptr;
  if (const LONG created = RegCreateKeyExA(
          name.hive, name.path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
          KEY_ALL_ACCESS, nullptr, &key, nullptr);
      created != ERROR_SUCCESS) {
    return FailWith(created);
  }
  if (options.value && !options.force &&
      RegQueryValueExA(key, options.value->c_str(), nullptr, nullptr, nullptr,
                       nullptr) == ERROR_SUCCESS &&
      !Confirm("Value " + *options.value + " exists, overwrite")) {
    RegCloseKey(key);
    return Fail("The operation was cancelled.");
  }
  LONG result = ERROR_SUCCESS;
  if (options.value) {
    result = RegSetValueExA(key, options.value->c_str(), 0, type, data->data(),
                            static_cast<DWORD>(data->size()));
  }
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return FailWith(result);
  return Succeeded();
}

// Deletes a key with everything below it, as the tool (unlike
// RegDeleteKeyA) does. It walks down to a key without subkeys, deletes it
// and goes on from its parent; the open keys of the walk are kept on the
// heap, so a key of any depth costs no more stack than a shallow one.
LONG DeleteTree(HKEY hive, const std::string& path) {
  // One level of the walk: the key open there and its name under its parent.
  struct Level {
    HKEY key;
    std::string name;
  };
  std::vector<Level> levels;
  auto closeAll = [&levels] {
    for (const Level& level : levels) RegCloseKey(level.key);
    levels.clear();
  };
  HKEY top = nullptr;
  if (const LONG opened =
          RegOpenKeyExA(hive, path.c_str(), 0, KEY_ALL_ACCESS, &top)) {
    return opened;
  }
  levels.push_back({top, path});
  std::vector<char> child(16384);
  while (!levels.empty()) {
    DWORD size = static_cast<DWORD>(child.size());
    const LONG listed = RegEnumKeyExA(levels.back().key, 0, child.data(), &size,
                                      nullptr, nullptr, nullptr, nullptr);
    if (listed == ERROR_SUCCESS) {
      HKEY below = nullptr;
      const std::string name(child.data(), size);
      if (const LONG opened = RegOpenKeyExA(levels.back().key, name.c_str(), 0,
                                            KEY_ALL_ACCESS, &below)) {
        closeAll();
        return opened;
      }
      levels.push_back({below, name});
      continue;
    }
    if (listed != ERROR_NO_MORE_ITEMS) {
      closeAll();
      return listed;
    }
    const Level done = levels.back();
    levels.pop_back();
    RegCloseKey(done.key);
    const LONG deleted = RegDeleteKeyA(
        levels.empty() ? hive : levels.back().key, done.name.c_str());
    if (deleted != ERROR_SUCCESS) {
      closeAll();
      return deleted;
    }
  }
  return ERROR_SUCCESS;
}

int Delete(const KeyName& name, const std::string& shownPath,
           const Options& options) {
  HKEY key = nullptr;
  if (const LONG opened = RegOpenKeyExA(name.hive, name.path.c_str(), 0,
                                        KEY_ALL_ACCESS, &key)) {
    return FailWith(opened);
  }
  LONG result = ERROR_SUCCESS;
  if (options.value || options.allValues) {
    const std::string question =
        options.allValues
            ? "Delete all values under the registry key " + shownPath
            : "Delete the registry value " + *options.value;
    if (!options.force && !Confirm(question)) {
      RegCloseKey(key);
      return Fail("The operation was cancelled.");
    }
    if (options.allValues) {
      std::vector<char> value(16384);
      for (;;) {
        DWORD size = static_cast<DWORD>(value.size());
        const LONG listed = RegEnumValueA(key, 0, value.data(), &size, nullptr,
                                          nullptr, nullptr, nullptr);
        if (listed != ERROR_SUCCESS) {
          if (listed != ERROR_NO_MORE_ITEMS) result = listed;
          break;
        }
        if ((result = RegDeleteValueA(key, value.data())) != ERROR_SUCCESS) {
          break;
        }
      }
    } else {
      result = RegDeleteValueA(key, options.value->c_str());
    }
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) return FailWith(result);
    return Succeeded();
  }
  RegCloseKey(key);
  if (name.path.empty()) return Fail("Access is denied.");
  if (!options.force &&
      !Confirm("Permanently delete the registry key " + shownPath)) {
    return Fail("The operation was cancelled.");
  }
  result = DeleteTree(name.hive, name.path);
  if (result != ERROR_SUCCESS) return FailWith(result);
  return Succeeded();
}

int Usage() {
  std::cerr << "ERROR: Invalid syntax.\n"
               "Usage: reg query KEY [/v NAME | /ve]\n"
               "       reg add KEY [/v NAME | /ve] [/t TYPE] [/d DATA] [/f]\n"
               "       reg delete KEY [/v NAME | /ve | /va] [/f]\n";
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(Utf8ToAnsi(argv[i]));
  const auto options = ParseArguments(args);
  if (!options) return Usage();
  const auto name = ParseKey(options->key);
  if (!name) return Fail("Invalid key name.");
  const std::string shownPath =
      name->path.empty() ? name->hiveName : name->hiveName + "\\" + name->path;

  if (EqualNoCase(options->operation, "query")) {
    HKEY key = nullptr;
    if (const LONG opened =
            RegOpenKeyExA(name->hive, name->path.c_str(), 0, KEY_READ, &key)) {
      return FailWith(opened);
    }
    const int status = Query(key, shownPath, *options);
    RegCloseKey(key);
    return status;
  }
  if (EqualNoCase(options->operation, "add")) return Add(*name, *options);
  if (EqualNoCase(options->operation, "delete")) {
    return Delete(*name, shownPath, *options);
  }
  return Usage();
}
