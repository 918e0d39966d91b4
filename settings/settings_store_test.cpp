// The settings store against the real registry (SQLite under the test's own
// system root), read back both through the registry calls and with the reg
// command a person would use.
#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/internal/platform.h"
#include "resources/resource.h"
#include "service/presence_state.h"
#include "vttest.h"

namespace {

constexpr char kKey[] = "Software\\Tollerbay\\Vellumtide";

INT_PTR CALLBACK MinimalProc(HWND, UINT msg, WPARAM, LPARAM) {
  return msg == WM_INITDIALOG;
}

struct Field {
  int control;
  const char* valueName;
  char* text;
};

// Columns: control, value name, presence field.
const Field kFields[] = {
    {IDC_REAL_NAME, "Real Name", presence.realName},
    {IDC_OFFICE, "Office", presence.office},
    {IDC_OFFICE_PHONE, "Office Phone", presence.officePhone},
    {IDC_HOME, "Home", presence.home},
    {IDC_HOME_PHONE, "Home Phone", presence.homePhone},
    {IDC_PLAN_FILE, "Plan File", presence.planFile},
    {IDC_AWAY_FILE, "Away File", presence.awayFile},
};

void SetField(char* field, const std::string& text) {
  std::lock_guard<std::mutex> guard(presenceTextLock);
  std::memset(field, 0, 256);
  std::memcpy(field, text.data(), std::min<size_t>(text.size(), 255));
}

std::string ControlText(HWND dialog, int control) {
  char text[1024] = {};
  GetDlgItemTextA(dialog, control, text, sizeof text);
  return text;
}

// The stored bytes of a value, with its type.
struct Stored {
  LONG result = ERROR_FILE_NOT_FOUND;
  DWORD type = REG_NONE;
  std::string bytes;
};

Stored Query(const char* valueName) {
  Stored stored;
  HKEY key = nullptr;
  stored.result = RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key);
  if (stored.result != ERROR_SUCCESS) return stored;
  char data[1024];
  DWORD size = sizeof data;
  stored.result = RegQueryValueExA(key, valueName, nullptr, &stored.type,
                                   reinterpret_cast<BYTE*>(data), &size);
  if (stored.result == ERROR_SUCCESS) stored.bytes.assign(data, size);
  RegCloseKey(key);
  return stored;
}

// What a 256-byte text value holds for text: the text, then zeros.
std::string Padded(const std::string& text) {
  std::string bytes = text;
  bytes.resize(256, '\0');
  return bytes;
}

// Runs the platform's reg command with arguments; its output and exit code.
struct RegRun {
  int status = -1;
  std::string output;
};

RegRun Reg(const std::string& arguments) {
  const char* out = std::getenv("VT_OUT");
  RegRun run;
  if (out == nullptr) {
    ADD_FAILURE() << "VT_OUT is not set";
    return run;
  }
  std::string command = std::string(out) + "/reg " + arguments + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
    run.output += buffer;
  }
  run.status = pclose(pipe);
  return run;
}

class SettingsStore : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog_ = CreateDialogParamA(nullptr, MAKEINTRESOURCEA(IDD_CONFIG), nullptr,
                                 MinimalProc, 0);
    ASSERT_NE(dialog_, nullptr);
    SetField(presence.loginName, "bob");
    for (const Field& f : kFields) SetField(f.text, "");
    presence.awayAfterMinutes = 0;
  }
  void TearDown() override {
    DestroyWindow(dialog_);
    SetField(presence.loginName, "");
    for (const Field& f : kFields) SetField(f.text, "");
    presence.awayAfterMinutes = 0;
  }
  HWND dialog_ = nullptr;
};

TEST_F(SettingsStore, FirstStartKeepsFieldsAndCreatesNoKey) {
  SetField(presence.office, "kept office");
  LoadSettings(dialog_);
  EXPECT_STREQ(presence.office, "kept office");
  EXPECT_EQ(ControlText(dialog_, IDC_OFFICE), "kept office");
  EXPECT_EQ(ControlText(dialog_, IDC_REAL_NAME), "");
  EXPECT_EQ(ControlText(dialog_, IDC_AWAY_AFTER), "0");
  EXPECT_EQ(ControlText(dialog_, IDC_LOGIN), "bob");
  HKEY key = nullptr;
  EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key),
            ERROR_SUCCESS);
  // The tool itself ran and found no key: not a missing tool (127), not a
  // store it could not read.
  const RegRun query = Reg("query \"HKCU\\Software\\Tollerbay\\Vellumtide\"");
  ASSERT_TRUE(WIFEXITED(query.status));
  EXPECT_EQ(WEXITSTATUS(query.status), 1);
  EXPECT_NE(query.output.find("unable to find the specified registry key"),
            std::string::npos)
      << query.output;
}

// A store that cannot be read is not a first start: the fields keep what
// they hold, and a save says it failed.
TEST_F(SettingsStore, ADamagedStoreKeepsTheFieldsAndFailsTheSave) {
  SetField(presence.office, "kept office");
  presence.awayAfterMinutes = 7;
  {
    FILE* file =
        std::fopen((vt::platform::SystemRoot() + "/registry.db").c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs("not a registry, but long enough to be taken for one\n", file);
    std::fclose(file);
  }
  LoadSettings(dialog_);
  EXPECT_STREQ(presence.office, "kept office");
  EXPECT_EQ(presence.awayAfterMinutes, 7u);
  EXPECT_EQ(ControlText(dialog_, IDC_OFFICE), "kept office");
  EXPECT_FALSE(SaveSettings(dialog_));
  EXPECT_TRUE(vt::testing::MessageBoxes().empty())
      << "the store reports; the window tells the person";
}

TEST_F(SettingsStore, SaveAndLoadRoundTrip) {
  const char* texts[] = {
      "Alice Smith",         "Room 4",   "555-1234",
      "Elm Street",          "555-9876", "/home/alice/plan.txt",
      "/home/alice/away.txt"};
  for (int i = 0; i < 7; ++i) {
    SetDlgItemTextA(dialog_, kFields[i].control, texts[i]);
  }
  SetDlgItemTextA(dialog_, IDC_AWAY_AFTER, "15");
  SaveSettings(dialog_);

  for (int i = 0; i < 7; ++i) {
    EXPECT_STREQ(kFields[i].text, texts[i]);
    Stored stored = Query(kFields[i].valueName);
    ASSERT_EQ(stored.result, ERROR_SUCCESS) << kFields[i].valueName;
    EXPECT_EQ(stored.type, REG_SZ);
    EXPECT_EQ(stored.bytes, Padded(texts[i])) << kFields[i].valueName;
  }
  EXPECT_EQ(presence.awayAfterMinutes, 15u);
  Stored minutes = Query("Set Away After");
  EXPECT_EQ(minutes.type, REG_DWORD);
  EXPECT_EQ(minutes.bytes, std::string("\x0f\0\0\0", 4));

  RegRun shown = Reg("query \"HKCU\\Software\\Tollerbay\\Vellumtide\"");
  EXPECT_EQ(shown.status, 0);
  EXPECT_NE(shown.output.find("    Real Name    REG_SZ    Alice Smith\n"),
            std::string::npos)
      << shown.output;
  EXPECT_NE(
      shown.output.find("    Plan File    REG_SZ    /home/alice/plan.txt"),
      std::string::npos)
      << shown.output;
  EXPECT_NE(shown.output.find("    Set Away After    REG_DWORD    0xf\n"),
            std::string::npos)
      << shown.output;

  // Load into a cleared record and cleared controls.
  for (const Field& f : kFields) {
    SetField(f.text, "");
    SetDlgItemTextA(dialog_, f.control, "");
  }
  presence.awayAfterMinutes = 0;
  SetDlgItemTextA(dialog_, IDC_AWAY_AFTER, "");
  LoadSettings(dialog_);
  for (int i = 0; i < 7; ++i) {
    EXPECT_STREQ(kFields[i].text, texts[i]);
    EXPECT_EQ(ControlText(dialog_, kFields[i].control), texts[i]);
  }
  EXPECT_EQ(presence.awayAfterMinutes, 15u);
  EXPECT_EQ(ControlText(dialog_, IDC_AWAY_AFTER), "15");
  EXPECT_EQ(ControlText(dialog_, IDC_LOGIN), "bob");
}

// A shorter entry saved over a longer one leaves no tail of it in the store.
TEST_F(SettingsStore, ShorterTextLeavesNoTail) {
  SetDlgItemTextA(dialog_, IDC_HOME, std::string(200, 'h').c_str());
  SaveSettings(dialog_);
  SetDlgItemTextA(dialog_, IDC_HOME, "Flat 2");
  SaveSettings(dialog_);
  EXPECT_EQ(Query("Home").bytes, Padded("Flat 2"));
}

TEST_F(SettingsStore, MinutesThatAreNotANumberStoreZero) {
  for (const char* text : {"abc", "", "-"}) {
    presence.awayAfterMinutes = 7;
    SetDlgItemTextA(dialog_, IDC_AWAY_AFTER, text);
    SaveSettings(dialog_);
    EXPECT_EQ(presence.awayAfterMinutes, 0u) << text;
    EXPECT_EQ(Query("Set Away After").bytes, std::string(4, '\0')) << text;
  }
}

TEST_F(SettingsStore, LongTextIsCutTo255Characters) {
  SetDlgItemTextA(dialog_, IDC_REAL_NAME, std::string(300, 'n').c_str());
  SaveSettings(dialog_);
  EXPECT_EQ(std::string(presence.realName), std::string(255, 'n'));
  EXPECT_EQ(Query("Real Name").bytes, Padded(std::string(255, 'n')));
  // The control itself is not limited.
  EXPECT_EQ(ControlText(dialog_, IDC_REAL_NAME).size(), 300u);
}

// Values set by other means than the program: a text longer than its field
// is cut and terminated; minutes of the wrong size leave the field.
TEST_F(SettingsStore, LoadCutsOversizedValuesAndSkipsMisSizedMinutes) {
  std::string office(300, 'o');
  ASSERT_EQ(Reg("add \"HKCU\\Software\\Tollerbay\\Vellumtide\" /v Office /t "
                "REG_SZ /d " +
                office + " /f")
                .status,
            0);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, &key),
            ERROR_SUCCESS);
  const BYTE two[2] = {5, 0};
  RegSetValueExA(key, "Set Away After", 0, REG_DWORD, two, sizeof two);
  // Exactly 256 bytes with no terminator among them.
  std::string full(256, 'p');
  RegSetValueExA(key, "Plan File", 0, REG_SZ,
                 reinterpret_cast<const BYTE*>(full.data()), 256);
  RegCloseKey(key);

  presence.awayAfterMinutes = 9;
  LoadSettings(dialog_);
  EXPECT_EQ(std::string(presence.office), std::string(255, 'o'));
  EXPECT_EQ(ControlText(dialog_, IDC_OFFICE), std::string(255, 'o'));
  EXPECT_EQ(std::string(presence.planFile), std::string(255, 'p'));
  EXPECT_EQ(presence.awayAfterMinutes, 9u);
  EXPECT_EQ(ControlText(dialog_, IDC_AWAY_AFTER), "9");

  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, &key),
            ERROR_SUCCESS);
  const BYTE eight[8] = {5, 0, 0, 0, 0, 0, 0, 0};
  RegSetValueExA(key, "Set Away After", 0, REG_BINARY, eight, sizeof eight);
  RegCloseKey(key);
  LoadSettings(dialog_);
  EXPECT_EQ(presence.awayAfterMinutes, 9u);
}

}  // namespace
