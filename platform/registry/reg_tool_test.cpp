#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/internal/platform.h"
#include "platform/kernel/test_child.h"

namespace {

std::string RegTool() {
  const char* out = std::getenv("VT_OUT");
  return (out ? std::string(out)
              : vt::platform::ExecutableDirectory() + "/../out") +
         "/reg";
}

vt::testchild::Result Reg(std::vector<std::string> args,
                          const std::string& input = {}) {
  args.insert(args.begin(), RegTool());
  return vt::testchild::Run(args, input);
}

const std::string kKey = "HKCU\\Software\\Tollerbay\\Vellumtide";
const std::string kLong = "HKEY_CURRENT_USER\\Software\\Tollerbay\\Vellumtide";

TEST(RegTool, AddQueryDeleteRoundTrip) {
  // Columns: arguments, exit status, text standard output must hold.
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out;
  } steps[] = {
      {{"add", kKey, "/v", "Real Name", "/t", "REG_SZ", "/d", "Bob Smith",
        "/f"},
       0,
       "The operation completed successfully."},
      {{"add", kKey, "/v", "Set Away After", "/t", "REG_DWORD", "/d", "15",
        "/f"},
       0,
       ""},
      {{"add", kKey, "/v", "Blob", "/t", "REG_BINARY", "/d", "00ff10", "/f"},
       0,
       ""},
      {{"add", kKey + "\\Sub", "/f"}, 0, ""},
      {{"query", kKey},
       0,
       "\n" + kLong +
           "\n    Real Name    REG_SZ    Bob Smith\n"
           "    Set Away After    REG_DWORD    0xf\n"
           "    Blob    REG_BINARY    00FF10\n\n" +
           kLong + "\\Sub\n"},
      {{"query", "hkey_current_user\\software\\tollerbay\\vellumtide", "/v",
        "REAL NAME"},
       0,
       "    REAL NAME    REG_SZ    Bob Smith\n"},
      {{"delete", kKey, "/v", "Real Name", "/f"}, 0, ""},
      {{"query", kKey, "/v", "Real Name"}, 1, ""},
      {{"delete", kKey, "/v", "Real Name", "/f"}, 1, ""},
      {{"delete", kKey, "/f"}, 0, ""},  // with its subkey, as the tool does
      {{"query", kKey}, 1, ""},
      {{"query", "HKCU\\Software\\Tollerbay"}, 0, ""},
  };
  for (const auto& step : steps) {
    const auto result = Reg(step.args);
    std::string shown;
    for (const auto& arg : step.args) shown += arg + " ";
    EXPECT_EQ(result.status, step.status) << shown << "\n" << result.err;
    if (step.status == 0) {
      EXPECT_NE(result.out.find(step.out), std::string::npos) << shown << "\n"
                                                              << result.out;
      EXPECT_EQ(result.err, "") << shown;
    } else {
      EXPECT_EQ(result.err.rfind("ERROR: ", 0), 0u) << shown << result.err;
    }
  }
}

TEST(RegTool, ValuesReachTheProgramsCallsAndBack) {
  ASSERT_EQ(
      Reg({"add", kKey, "/v", "Office", "/d", "Caf\xC3\xA9 2", "/f"}).status,
      0);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Tollerbay\\Vellumtide",
                          0, KEY_READ, &key),
            ERROR_SUCCESS);
  char office[256];
  DWORD size = sizeof office;
  DWORD type = 0;
  ASSERT_EQ(RegQueryValueExA(key, "Office", nullptr, &type,
                             reinterpret_cast<BYTE*>(office), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 7u);  // one byte for the e with acute, and a terminator
  EXPECT_STREQ(office, "Caf\xE9 2");

  // A 256-byte field, as the program writes it, shows up to its first zero.
  std::string field(256, '\0');
  std::memcpy(field.data(), "Bob\0stale tail", 14);
  ASSERT_EQ(RegSetValueExA(key, "Real Name", 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(field.data()), 256),
            ERROR_SUCCESS);
  RegCloseKey(key);
  const auto result = Reg({"query", kKey});
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(result.out.find("    Office    REG_SZ    Caf\xC3\xA9 2\n"),
            std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find("    Real Name    REG_SZ    Bob\n"),
            std::string::npos)
      << result.out;
}

TEST(RegTool, RefusesBadInputWithAnError) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"query"},
      {"frobnicate", kKey},
      {"query", "HKXX\\Software"},
      {"add", kKey, "/v", "n", "/t", "REG_DWORD", "/d", "twelve", "/f"},
      {"add", kKey, "/v", "n", "/t", "REG_DWORD", "/d", "4294967296", "/f"},
      {"add", kKey, "/v", "n", "/t", "REG_BINARY", "/d", "abc", "/f"},
      {"add", kKey, "/v", "n", "/t", "REG_MULTI", "/d", "x", "/f"},
      {"add", kKey, "/v"},
      {"delete", "HKCU", "/f"},
  };
  for (const auto& args : cases) {
    const auto result = Reg(args);
    std::string shown;
    for (const auto& arg : args) shown += arg + " ";
    EXPECT_EQ(result.status, 1) << shown;
    EXPECT_EQ(result.err.rfind("ERROR: ", 0), 0u) << shown << result.err;
  }
  // None of it created the key.
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Tollerbay", 0, KEY_READ,
                          &key),
            ERROR_FILE_NOT_FOUND);
}

TEST(RegTool, AsksBeforeOverwritingOrDeletingWithoutF) {
  ASSERT_EQ(Reg({"add", kKey, "/v", "Home", "/d", "one", "/f"}).status, 0);
  // No answer (or no): nothing changes.
  EXPECT_EQ(Reg({"add", kKey, "/v", "Home", "/d", "two"}).status, 1);
  EXPECT_EQ(Reg({"delete", kKey, "/v", "Home"}, "no\n").status, 1);
  auto result = Reg({"query", kKey, "/v", "Home"});
  EXPECT_NE(result.out.find("REG_SZ    one"), std::string::npos) << result.out;
  // Yes: it goes ahead.
  EXPECT_EQ(Reg({"add", kKey, "/v", "Home", "/d", "two"}, "yes\n").status, 0);
  result = Reg({"query", kKey, "/v", "Home"});
  EXPECT_NE(result.out.find("REG_SZ    two"), std::string::npos) << result.out;
  EXPECT_EQ(Reg({"delete", kKey}, "y\n").status, 0);
  EXPECT_EQ(Reg({"query", kKey}).status, 1);
}

// The tool deletes a key of any depth: its walk keeps what it needs on the
// heap, so a thousand levels (which would take 16 MB of stack at 16 KB a
// level) are as safe as one.
TEST(RegTool, DeletesATreeOfAnyDepth) {
  std::string path = "Software\\Tollerbay\\Vellumtide\\Deep";
  for (int level = 0; level < 1000; ++level) path += "\\K";
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr,
                            REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  const BYTE one[1] = {1};
  ASSERT_EQ(RegSetValueExA(key, "Leaf", 0, REG_BINARY, one, 1), ERROR_SUCCESS);
  RegCloseKey(key);
  const auto deleted = Reg({"delete", kKey + "\\Deep", "/f"});
  EXPECT_EQ(deleted.status, 0) << deleted.err;
  EXPECT_EQ(
      RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Tollerbay\\Vellumtide\\Deep",
                    0, KEY_READ, &key),
      ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Tollerbay\\Vellumtide",
                          0, KEY_READ, &key),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

// The tool says why it failed, and fails: a store that is not a database
// is damaged, not a missing key.
TEST(RegTool, TellsTheRealReasonForAFailure) {
  {
    FILE* file =
        std::fopen((vt::platform::SystemRoot() + "/registry.db").c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs("not a database at all, but long enough to look like one\n",
               file);
    std::fclose(file);
  }
  // Columns: arguments, what standard error must hold.
  const struct {
    std::vector<std::string> args;
    const char* reason;
  } kCases[] = {
      {{"query", kKey}, "The registry database is damaged."},
      {{"add", kKey, "/v", "Home", "/d", "x", "/f"},
       "The registry database is damaged."},
      {{"delete", kKey, "/f"}, "The registry database is damaged."},
  };
  for (const auto& c : kCases) {
    const auto run = Reg(c.args);
    EXPECT_NE(run.status, 0) << c.args[0];
    EXPECT_NE(run.err.find(c.reason), std::string::npos)
        << c.args[0] << ": " << run.err;
  }
}

}  // namespace
