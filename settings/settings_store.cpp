// The settings store. Eight values live under one key: seven texts, each
// stored as the whole 256-byte field with zeros after its terminator (so no
// tail of an earlier, longer entry is kept), and the away-after minutes as a
// DWORD. The table below ties each value to its field and its control, in
// the order they are written and read.
//
// The listener reads the text fields from another thread, so every write of
// one happens under presenceTextLock. Controls are filled only after the
// lock is released: filling one makes the configuration window compare it
// with its field, which must not wait on a lock this thread holds.
#include "settings/settings_store.h"

#include <cstring>
#include <mutex>
#include <vector>

#include "resources/resource.h"
#include "service/presence_state.h"

namespace {

constexpr char kSettingsKey[] = "Software\\Tollerbay\\Vellumtide";
constexpr char kAwayAfterValue[] = "Set Away After";
constexpr int kTextSize = 256;

struct TextSetting {
  const char* valueName;
  char* field;
  int control;
};

// Columns: value name, presence field, control.
const TextSetting kTextSettings[] = {
    {"Real Name", presence.realName, IDC_REAL_NAME},
    {"Office", presence.office, IDC_OFFICE},
    {"Office Phone", presence.officePhone, IDC_OFFICE_PHONE},
    {"Home", presence.home, IDC_HOME},
    {"Home Phone", presence.homePhone, IDC_HOME_PHONE},
    {"Plan File", presence.planFile, IDC_PLAN_FILE},
    {"Away File", presence.awayFile, IDC_AWAY_FILE},
};
constexpr int kTextSettingCount =
    static_cast<int>(sizeof kTextSettings / sizeof kTextSettings[0]);

// Stores text (which need not be terminated within length bytes) in a
// field: at most 255 characters, then zeros to the field's end.
void StoreField(char* field, const char* text, size_t length) {
  size_t used = strnlen(text, length < kTextSize - 1 ? length : kTextSize - 1);
  std::lock_guard<std::mutex> guard(presenceTextLock);
  std::memset(field, 0, kTextSize);
  std::memcpy(field, text, used);
}

void CopyField(char* copy, const char* field) {
  std::lock_guard<std::mutex> guard(presenceTextLock);
  std::memcpy(copy, field, kTextSize);
}

// Reads a text value whatever its stored size: a text longer than the field
// is cut; a value that is missing or cannot be read leaves the field.
void LoadText(HKEY key, const TextSetting* setting) {
  DWORD size = 0;
  if (RegQueryValueExA(key, setting->valueName, nullptr, nullptr, nullptr,
                       &size) != ERROR_SUCCESS) {
    return;
  }
  std::vector<BYTE> data(size + 1u, 0);
  DWORD read = size;
  if (RegQueryValueExA(key, setting->valueName, nullptr, nullptr, data.data(),
                       &read) != ERROR_SUCCESS) {
    return;
  }
  StoreField(setting->field, reinterpret_cast<const char*>(data.data()),
             read < size ? read : size);
}

// The minutes are taken only from a value of exactly four bytes.
void LoadAwayAfter(HKEY key) {
  BYTE data[8] = {};
  DWORD size = sizeof data;
  if (RegQueryValueExA(key, kAwayAfterValue, nullptr, nullptr, data, &size) !=
          ERROR_SUCCESS ||
      size != sizeof(DWORD)) {
    return;
  }
  DWORD minutes;
  std::memcpy(&minutes, data, sizeof minutes);
  presence.awayAfterMinutes = minutes;
}

void FillControls(HWND window) {
  char text[kTextSize];
  for (int i = 0; i < kTextSettingCount; ++i) {
    CopyField(text, kTextSettings[i].field);
    SetDlgItemTextA(window, kTextSettings[i].control, text);
  }
  SetDlgItemInt(window, IDC_AWAY_AFTER, presence.awayAfterMinutes, FALSE);
  char login[sizeof presence.loginName];
  {
    std::lock_guard<std::mutex> guard(presenceTextLock);
    std::memcpy(login, presence.loginName, sizeof login);
  }
  login[sizeof login - 1] = '\0';
  SetDlgItemTextA(window, IDC_LOGIN, login);
}

void ReadControls(HWND window) {
  char text[kTextSize];
  for (int i = 0; i < kTextSettingCount; ++i) {
    text[0] = '\0';
    GetDlgItemTextA(window, kTextSettings[i].control, text, kTextSize);
    StoreField(kTextSettings[i].field, text, kTextSize);
  }
  // GetDlgItemInt gives 0 for text that is not a number.
  presence.awayAfterMinutes =
      GetDlgItemInt(window, IDC_AWAY_AFTER, nullptr, FALSE);
}

// Writes all eight values, going on past one that fails so that as much as
// can be kept is kept; false when any of them could not be written.
bool WriteValues(HKEY key) {
  bool allWritten = true;
  char text[kTextSize];
  for (int i = 0; i < kTextSettingCount; ++i) {
    CopyField(text, kTextSettings[i].field);
    if (RegSetValueExA(key, kTextSettings[i].valueName, 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(text),
                       kTextSize) != ERROR_SUCCESS) {
      allWritten = false;
    }
  }
  DWORD minutes = presence.awayAfterMinutes;
  if (RegSetValueExA(key, kAwayAfterValue, 0, REG_DWORD,
                     reinterpret_cast<const BYTE*>(&minutes),
                     sizeof minutes) != ERROR_SUCCESS) {
    allWritten = false;
  }
  return allWritten;
}

}  // namespace

void LoadSettings(HWND window) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_ALL_ACCESS, &key) ==
      ERROR_SUCCESS) {
    for (int i = 0; i < kTextSettingCount; ++i) {
      LoadText(key, &kTextSettings[i]);
    }
    LoadAwayAfter(key);
    RegCloseKey(key);
  }
  FillControls(window);
}

const char* TextFieldOfControl(int control) {
  for (const TextSetting& setting : kTextSettings) {
    if (setting.control == control) return setting.field;
  }
  return nullptr;
}

bool SaveSettings(HWND window) {
  ReadControls(window);
  HKEY key = nullptr;
  char noClass[] = "";
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, noClass,
                      REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  bool saved = WriteValues(key);
  RegCloseKey(key);
  return saved;
}
