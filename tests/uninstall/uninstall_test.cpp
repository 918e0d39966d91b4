// Uninstall.exe as a real process: each case sets up a system root (with or
// without the registry key), a folder (with or without the program's files)
// and the answers to its message boxes, runs it, and checks what it said,
// what it returned and what is left. The messages come from the headless
// driver's standard error as "caption: text", in the order shown.
#include <gtest/gtest.h>
#include <signal.h>
#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

#include "child_process.h"
#include "vttest.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* kQuestion =
    "Vellumtide Un-Install: Are you sure you want to delete Vellumtide";
constexpr const char* kStillRunning =
    "Vellumtide Un-Install Error: Vellumtide is still running\nPlease Close "
    "it before un-installing";
constexpr const char* kIncomplete =
    "Vellumtide Un-Install: Vellumtide has not been un-installed "
    "properly\nThere may still exist files or registry entries\nSo please try "
    "again...";
constexpr const char* kSuccess =
    "Vellumtide Un-Install: Vellumtide has been un-installed "
    "successfully\nThank you for using Vellumtide";
constexpr const char* kFiles[] = {"Velto.exe", "Velto.hlp", "Velto.dll"};
constexpr const char* kKey = "Software\\Tollerbay\\Vellumtide";

std::string UnableToDelete(const char* name) {
  return std::string("Velto Un-Install Error: Unable to delete ") + name;
}

void CreateKey(const char* path) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr,
                            REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  const char name[] = "Ada";
  RegSetValueExA(key, "Real Name", 0, REG_SZ,
                 reinterpret_cast<const BYTE*>(name), sizeof name);
  RegCloseKey(key);
}

bool KeyExists(const char* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

enum class Key { Present, Gone, WithSubkey };

struct Case {
  const char* name;
  const char* answers;  // VELLUMTIDE_ANSWERS
  Key key;
  bool filesInFolder;  // run where the program's files are
  // What it says, in order, after the question.
  std::vector<std::string> messages;
  bool keyLeft;
  bool filesLeft;
};

// Names the case in failure messages instead of dumping its bytes.
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class UninstallCase : public ::testing::TestWithParam<Case> {};

TEST_P(UninstallCase, SaysAndRemovesWhatItShould) {
  const Case& c = GetParam();
  vt::testing::ScopedSystemRoot root;
  CreateKey("Software\\Tollerbay");
  if (c.key != Key::Gone) CreateKey(kKey);
  if (c.key == Key::WithSubkey)
    CreateKey("Software\\Tollerbay\\Vellumtide\\Extra");
  vt::proctest::TempFolder folder;
  if (c.filesInFolder) {
    for (const char* file : kFiles) folder.Write(file, "program file");
  }
  vt::proctest::TempFolder elsewhere;

  vt::proctest::ChildOptions options;
  options.argv = {vt::proctest::OutputFolder() + "/Uninstall.exe"};
  options.directory = c.filesInFolder ? folder.path() : elsewhere.path();
  options.environment = {{"VELLUMTIDE_ROOT", root.path()},
                         {"VELLUMTIDE_DRIVER", "null"},
                         {"VELLUMTIDE_ANSWERS", c.answers}};
  options.unset = {"DISPLAY"};
  std::string err;
  vt::proctest::ChildExit end = vt::proctest::RunToEnd(options, nullptr, &err);
  ASSERT_TRUE(end.exited) << err;
  EXPECT_EQ(end.exitCode, 0);

  // Every expected message, in order, and nothing else that it shows.
  size_t at = err.find(kQuestion);
  ASSERT_NE(at, std::string::npos) << err;
  for (const std::string& message : c.messages) {
    size_t next = err.find(message, at);
    EXPECT_NE(next, std::string::npos) << "missing: " << message << "\n" << err;
    if (next != std::string::npos) at = next;
  }
  int shown = 0;
  for (const char* caption :
       {"Vellumtide Un-Install:", "Velto Un-Install Error:",
        "Vellumtide Un-Install Error:"}) {
    shown += vt::proctest::CountOf(err, caption);
  }
  EXPECT_EQ(shown, 1 + static_cast<int>(c.messages.size())) << err;
  EXPECT_EQ(vt::proctest::CountOf(err, kSuccess) == 1,
            !c.messages.empty() && c.messages.back() == kSuccess);

  EXPECT_EQ(KeyExists(kKey), c.keyLeft);
  EXPECT_TRUE(KeyExists("Software\\Tollerbay")) << "the parent key stays";
  for (const char* file : kFiles) {
    EXPECT_EQ(vt::proctest::FileExists(folder.path() + "/" + file),
              c.filesLeft && c.filesInFolder)
        << file;
  }
}

const std::vector<std::string> kEachFileTwice = {
    UnableToDelete("Velto.exe"), kIncomplete,
    UnableToDelete("Velto.hlp"), kIncomplete,
    UnableToDelete("Velto.dll"), kIncomplete};

INSTANTIATE_TEST_SUITE_P(
    Cases, UninstallCase,
    ::testing::Values(
        Case{"NoChangesNothing", "no", Key::Present, true, {}, true, true},
        Case{"EverythingRemoved",
             "yes,ok",
             Key::Present,
             true,
             {kSuccess},
             false,
             false},
        // From another folder: the key goes, each file is reported twice,
        // and it does not claim success.
        Case{"FromAnotherFolder", "yes", Key::Present, false, kEachFileTwice,
             false, false},
        // A key that is already gone counts as removed.
        Case{"KeyAlreadyGone",
             "yes,ok",
             Key::Gone,
             true,
             {kSuccess},
             false,
             false},
        // A key that cannot be deleted (it has a subkey) is a failure.
        Case{"KeyNotDeletable",
             "yes",
             Key::WithSubkey,
             true,
             {kIncomplete},
             true,
             false}),
    [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

// A running daemon: it refuses, returns -1 and changes nothing.
TEST(Uninstall, RefusesWhileTheDaemonRuns) {
  vt::testing::ScopedSystemRoot root;
  int port = vt::proctest::FreeTcpPort();
  root.WriteServices("finger " + std::to_string(port) + "/tcp\n");
  CreateKey(kKey);
  vt::proctest::TempFolder folder;
  for (const char* file : kFiles) folder.Write(file, "program file");

  vt::proctest::ChildOptions daemonOptions;
  daemonOptions.argv = {vt::proctest::OutputFolder() + "/Velto.exe"};
  daemonOptions.directory = vt::proctest::OutputFolder();
  daemonOptions.environment = {{"VELLUMTIDE_ROOT", root.path()},
                               {"VELLUMTIDE_DRIVER", "null"}};
  daemonOptions.unset = {"DISPLAY", "VELLUMTIDE_ANSWERS"};
  vt::proctest::Child daemon(daemonOptions);
  ASSERT_TRUE(vt::proctest::WaitUntil(
      [&] { return !daemon.Running() || FindWindowA("VeltoClass", nullptr); },
      10s));
  ASSERT_TRUE(daemon.Running()) << daemon.Stderr();

  vt::proctest::ChildOptions options;
  options.argv = {vt::proctest::OutputFolder() + "/Uninstall.exe"};
  options.directory = folder.path();
  options.environment = {{"VELLUMTIDE_ROOT", root.path()},
                         {"VELLUMTIDE_DRIVER", "null"},
                         {"VELLUMTIDE_ANSWERS", "yes,ok"}};
  options.unset = {"DISPLAY"};
  std::string err;
  vt::proctest::ChildExit end = vt::proctest::RunToEnd(options, nullptr, &err);
  ASSERT_TRUE(end.exited) << err;
  EXPECT_EQ(end.exitCode, 255) << "WinMain's -1";
  EXPECT_NE(err.find(kStillRunning), std::string::npos) << err;
  EXPECT_EQ(err.find(kSuccess), std::string::npos) << err;
  EXPECT_TRUE(KeyExists(kKey));
  for (const char* file : kFiles) {
    EXPECT_TRUE(vt::proctest::FileExists(folder.path() + "/" + file)) << file;
  }
  daemon.Signal(SIGTERM);
  EXPECT_TRUE(daemon.Wait(10s).exited);
}

}  // namespace
