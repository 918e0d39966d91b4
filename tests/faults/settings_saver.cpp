// Saves the profile through the configuration window's Apply button, as a
// person would, for the fault tests; and checks what the registry holds.
//
//   settings_saver once GEN      one save of generation GEN; prints "saved"
//   settings_saver loop GEN      saves GEN, GEN+1, ... until killed
//   settings_saver check         checks the stored values, prints their
//                                generations; exit 1 when one is damaged
//
// Generation G stores "G <value name>" in each text value (with a tail of x
// when G is even, so sizes change too) and G as the minutes. A save writes
// the values in the order of the table, so a save cut short leaves the first
// values at the new generation and the rest at the old one; "check" holds
// the store to exactly that. Message boxes go to standard error, as the
// headless driver shows them.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "app/app_globals.h"
#include "resources/resource.h"
#include "service/presence_state.h"
#include "settings/config_window.h"

namespace {

constexpr char kKey[] = "Software\\Tollerbay\\Vellumtide";

// Columns: value name, control. In the order a save writes them.
struct Value {
  const char* name;
  int control;
};
const Value kTextValues[] = {
    {"Real Name", IDC_REAL_NAME},       {"Office", IDC_OFFICE},
    {"Office Phone", IDC_OFFICE_PHONE}, {"Home", IDC_HOME},
    {"Home Phone", IDC_HOME_PHONE},     {"Plan File", IDC_PLAN_FILE},
    {"Away File", IDC_AWAY_FILE},
};

std::string TextOf(long generation, const char* name) {
  std::string text = std::to_string(generation) + " " + name;
  if (generation % 2 == 0) text += std::string(200, 'x');
  return text;
}

void Save(HWND window, long generation) {
  for (const Value& value : kTextValues) {
    SetDlgItemTextA(window, value.control,
                    TextOf(generation, value.name).c_str());
  }
  SetDlgItemInt(window, IDC_AWAY_AFTER, static_cast<UINT>(generation), FALSE);
  SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_APPLY, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(window, IDC_APPLY)));
}

// The generation of a stored text value, or -1 when it is not one that a
// save of this program wrote whole.
long GenerationOf(HKEY key, const char* name) {
  char data[600] = {};
  DWORD size = sizeof data;
  DWORD type = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data),
                       &size) != ERROR_SUCCESS ||
      type != REG_SZ || size != 256) {
    return -1;
  }
  long generation = std::strtol(data, nullptr, 10);
  if (TextOf(generation, name) != data) return -1;
  // Zeros after the text, to the end of the field.
  for (size_t i = std::strlen(data); i < 256; ++i) {
    if (data[i] != '\0') return -1;
  }
  return generation;
}

int Check() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    std::printf("no key\n");
    return 1;
  }
  long generations[8];
  for (int i = 0; i < 7; ++i) {
    generations[i] = GenerationOf(key, kTextValues[i].name);
  }
  DWORD minutes = 0;
  DWORD size = sizeof minutes;
  DWORD type = 0;
  generations[7] = RegQueryValueExA(key, "Set Away After", nullptr, &type,
                                    reinterpret_cast<BYTE*>(&minutes),
                                    &size) == ERROR_SUCCESS &&
                           type == REG_DWORD && size == 4
                       ? static_cast<long>(minutes)
                       : -1;
  RegCloseKey(key);
  bool whole = true;
  std::printf("generations:");
  for (int i = 0; i < 8; ++i) {
    std::printf(" %ld", generations[i]);
    if (generations[i] < 0) whole = false;
    // Newer values first, at most one generation apart.
    if (i > 0 && (generations[i] > generations[i - 1] ||
                  generations[i] < generations[0] - 1)) {
      whole = false;
    }
  }
  std::printf("\n");
  return whole ? 0 : 1;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  char mode[16] = {};
  long generation = 0;
  std::sscanf(commandLine, "%15s %ld", mode, &generation);
  if (std::strcmp(mode, "check") == 0) return Check();
  {
    std::lock_guard<std::mutex> guard(presenceTextLock);
    DWORD size = sizeof presence.loginName;
    GetUserNameA(presence.loginName, &size);
  }
  configWindow = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_CONFIG),
                                    nullptr, ConfigDialogProc, 0);
  if (configWindow == nullptr) return 100;
  if (std::strcmp(mode, "once") == 0) {
    Save(configWindow, generation);
    std::printf("saved\n");
    return 0;
  }
  if (std::strcmp(mode, "loop") == 0) {
    for (;; ++generation) Save(configWindow, generation);
  }
  return 2;
}
