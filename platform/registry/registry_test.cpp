#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/internal/platform.h"
#include "platform/kernel/test_child.h"
#include "platform/registry/registry_testing.h"
#include "vttest.h"

namespace {

constexpr const char* kVellumtide = "Software\\Tollerbay\\Vellumtide";

// A key handle that closes itself.
class Key {
 public:
  Key() = default;
  ~Key() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  PHKEY out() { return &key_; }
  operator HKEY() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

LONG Create(HKEY base, const char* path, Key& key,
            DWORD* disposition = nullptr) {
  return RegCreateKeyExA(base, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                         KEY_ALL_ACCESS, nullptr, key.out(), disposition);
}

LONG Open(HKEY base, const char* path, Key& key) {
  return RegOpenKeyExA(base, path, 0, KEY_ALL_ACCESS, key.out());
}

LONG SetText(HKEY key, const char* name, const std::string& text) {
  return RegSetValueExA(key, name, 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>(text.size() + 1));
}

// The value's type and bytes, or the error.
struct Read {
  LONG result;
  DWORD type;
  std::string data;
};
Read ReadValue(HKEY key, const char* name) {
  DWORD type = 0, size = 0;
  LONG result = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
  if (result != ERROR_SUCCESS) return {result, 0, {}};
  std::string data(size, '\0');
  result = RegQueryValueExA(key, name, nullptr, &type,
                            reinterpret_cast<BYTE*>(data.data()), &size);
  data.resize(size);
  return {result, type, data};
}

std::string RegistryFile() {
  return vt::platform::SystemRoot() + "/registry.db";
}

TEST(Registry, CreatesMissingKeysAndTellsWhetherItDid) {
  Key first, second, parent;
  DWORD disposition = 0;
  ASSERT_EQ(Create(HKEY_CURRENT_USER, kVellumtide, first, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  ASSERT_EQ(Create(HKEY_CURRENT_USER, "SOFTWARE\\tollerbay\\VELLUMTIDE", second,
                   &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  // The intermediate keys exist too.
  EXPECT_EQ(Open(HKEY_CURRENT_USER, "software\\TOLLERBAY", parent),
            ERROR_SUCCESS);
  // What one handle writes, another sees.
  ASSERT_EQ(SetText(first, "Real Name", "Bob"), ERROR_SUCCESS);
  EXPECT_EQ(ReadValue(second, "REAL NAME").data, std::string("Bob\0", 4));
}

TEST(Registry, OpeningAMissingKeyFails) {
  Key key;
  EXPECT_EQ(Open(HKEY_CURRENT_USER, kVellumtide, key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(static_cast<HKEY>(key), nullptr);
  // Opening never creates.
  Key again;
  EXPECT_EQ(Open(HKEY_CURRENT_USER, "Software", again), ERROR_FILE_NOT_FOUND);
}

TEST(Registry, StoresTypesAndExactBytes) {
  Key key;
  ASSERT_EQ(Create(HKEY_CURRENT_USER, kVellumtide, key), ERROR_SUCCESS);
  // A 256-byte text field with bytes after its terminator, as the settings
  // store writes it.
  std::string field(256, '\0');
  std::memcpy(field.data(), "Office 12\0old tail", 18);
  ASSERT_EQ(RegSetValueExA(key, "Office", 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(field.data()), 256),
            ERROR_SUCCESS);
  const DWORD minutes = 15;
  ASSERT_EQ(RegSetValueExA(key, "Set Away After", 0, REG_DWORD,
                           reinterpret_cast<const BYTE*>(&minutes), 4),
            ERROR_SUCCESS);
  const BYTE binary[] = {0, 1, 2, 0xFF};
  ASSERT_EQ(RegSetValueExA(key, "Blob", 0, REG_BINARY, binary, 4),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, "Empty", 0, REG_BINARY, nullptr, 0),
            ERROR_SUCCESS);
  ASSERT_EQ(SetText(key, "", "default"), ERROR_SUCCESS);

  // Columns: name, type, bytes.
  const struct {
    const char* name;
    DWORD type;
    std::string data;
  } cases[] = {
      {"office", REG_SZ, field},
      {"SET AWAY AFTER", REG_DWORD, std::string("\x0f\0\0\0", 4)},
      {"Blob", REG_BINARY, std::string("\0\1\2\xff", 4)},
      {"Empty", REG_BINARY, ""},
      {nullptr, REG_SZ, std::string("default\0", 8)},
  };
  for (const auto& c : cases) {
    const auto read = ReadValue(key, c.name);
    EXPECT_EQ(read.result, ERROR_SUCCESS) << (c.name ? c.name : "default");
    EXPECT_EQ(read.type, c.type) << (c.name ? c.name : "default");
    EXPECT_EQ(read.data, c.data) << (c.name ? c.name : "default");
  }

  // Rewriting keeps one value, with the new type and size.
  ASSERT_EQ(SetText(key, "OFFICE", "x"), ERROR_SUCCESS);
  EXPECT_EQ(ReadValue(key, "Office").data, std::string("x\0", 2));
}

TEST(Registry, QueryNeverWritesPastTheCallersBuffer) {
  Key key;
  ASSERT_EQ(Create(HKEY_CURRENT_USER, kVellumtide, key), ERROR_SUCCESS);
  const std::string text(300, 'p');
  ASSERT_EQ(SetText(key, "Plan File", text), ERROR_SUCCESS);

  // A 256-byte field inside a larger buffer whose tail must stay as it was.
  std::vector<BYTE> buffer(300, '#');
  DWORD size = 256;
  DWORD type = 0;
  EXPECT_EQ(
      RegQueryValueExA(key, "Plan File", nullptr, &type, buffer.data(), &size),
      ERROR_MORE_DATA);
  EXPECT_EQ(size, 301u);
  EXPECT_EQ(type, REG_SZ);
  for (std::size_t i = 256; i < buffer.size(); ++i) {
    ASSERT_EQ(buffer[i], '#') << "written at " << i;
  }

  // The size alone, without a buffer; and a missing size with a buffer.
  size = 0;
  EXPECT_EQ(
      RegQueryValueExA(key, "plan file", nullptr, nullptr, nullptr, &size),
      ERROR_SUCCESS);
  EXPECT_EQ(size, 301u);
  EXPECT_EQ(RegQueryValueExA(key, "Plan File", nullptr, nullptr, buffer.data(),
                             nullptr),
            ERROR_INVALID_PARAMETER);
  DWORD reserved = 0;
  size = 300;
  EXPECT_EQ(RegQueryValueExA(key, "Plan File", &reserved, nullptr,
                             buffer.data(), &size),
            ERROR_INVALID_PARAMETER);
}

TEST(Registry, MissingValuesAndBadHandles) {
  Key key;
  ASSERT_EQ(Create(HKEY_CURRENT_USER, kVellumtide, key), ERROR_SUCCESS);
  BYTE buffer[4];
  DWORD size = sizeof buffer;
  EXPECT_EQ(RegQueryValueExA(key, "Home", nullptr, nullptr, buffer, &size),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteValueA(key, "Home"), ERROR_FILE_NOT_FOUND);

  int notAKey = 0;
  auto* bogus = reinterpret_cast<HKEY>(&notAKey);
  EXPECT_EQ(RegQueryValueExA(bogus, "Home", nullptr, nullptr, buffer, &size),
            ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(bogus), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "x", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, nullptr, nullptr),
            ERROR_INVALID_PARAMETER);
}

TEST(Registry, DeletesValuesAndKeysButNotKeysWithSubkeys) {
  {
    Key key, sub;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, kVellumtide, key), ERROR_SUCCESS);
    ASSERT_EQ(SetText(key, "Home", "here"), ERROR_SUCCESS);
    ASSERT_EQ(SetText(key, "Away File", "a.txt"), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteValueA(key, "HOME"), ERROR_SUCCESS);
    EXPECT_EQ(ReadValue(key, "Home").result, ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(Create(key, "Sub", sub), ERROR_SUCCESS);
  }
  Key tollerbay;
  ASSERT_EQ(Open(HKEY_CURRENT_USER, "Software\\Tollerbay", tollerbay),
            ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(tollerbay, "Vellumtide"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Tollerbay\\NotHere"),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyA(tollerbay, "VELLUMTIDE\\sub"), ERROR_SUCCESS);

  Key open;
  ASSERT_EQ(Open(tollerbay, "vellumtide", open), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(tollerbay, "Vellumtide"), ERROR_SUCCESS);
  // Its values went with it, and the parent stays.
  EXPECT_EQ(ReadValue(open, "Away File").result, ERROR_KEY_DELETED);
  Key recreated;
  ASSERT_EQ(Create(tollerbay, "Vellumtide", recreated), ERROR_SUCCESS);
  EXPECT_EQ(ReadValue(recreated, "Away File").result, ERROR_FILE_NOT_FOUND);
  // A hive is never deleted.
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, ""), ERROR_ACCESS_DENIED);
}

TEST(Registry, EnumeratesValuesInOrderAndSubkeysByName) {
  Key key, a, b;
  ASSERT_EQ(Create(HKEY_CURRENT_USER, kVellumtide, key), ERROR_SUCCESS);
  ASSERT_EQ(SetText(key, "Real Name", "Bob"), ERROR_SUCCESS);
  ASSERT_EQ(SetText(key, "Office", "12"), ERROR_SUCCESS);
  ASSERT_EQ(SetText(key, "REAL NAME", "Robert"), ERROR_SUCCESS);  // in place
  ASSERT_EQ(Create(key, "zeta", a), ERROR_SUCCESS);
  ASSERT_EQ(Create(key, "Alpha", b), ERROR_SUCCESS);

  std::vector<std::string> names;
  for (DWORD i = 0;; ++i) {
    char name[64];
    DWORD nameSize = sizeof name;
    char data[64];
    DWORD dataSize = sizeof data;
    DWORD type = 0;
    const LONG result = RegEnumValueA(key, i, name, &nameSize, nullptr, &type,
                                      reinterpret_cast<BYTE*>(data), &dataSize);
    if (result == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(result, ERROR_SUCCESS);
    EXPECT_EQ(nameSize, std::strlen(name));
    names.push_back(std::string(name) + "=" + data);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Real Name=Robert", "Office=12"}));

  char small[4];
  DWORD smallSize = sizeof small;
  EXPECT_EQ(RegEnumValueA(key, 0, small, &smallSize, nullptr, nullptr, nullptr,
                          nullptr),
            ERROR_MORE_DATA);

  std::vector<std::string> keys;
  for (DWORD i = 0;; ++i) {
    char name[64];
    DWORD nameSize = sizeof name;
    if (RegEnumKeyExA(key, i, name, &nameSize, nullptr, nullptr, nullptr,
                      nullptr) != ERROR_SUCCESS) {
      break;
    }
    keys.emplace_back(name);
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"Alpha", "zeta"}));
}

TEST(Registry, AnsiNamesCompareWithoutRegardToCase) {
  Key key, same;
  ASSERT_EQ(Create(HKEY_CURRENT_USER, "Software\\Caf\xC9", key), ERROR_SUCCESS);
  ASSERT_EQ(Open(HKEY_CURRENT_USER, "software\\caf\xE9", same), ERROR_SUCCESS);
  ASSERT_EQ(SetText(key, "\xC5t\x8A", "v"), ERROR_SUCCESS);  // "ÅtŠ"
  EXPECT_EQ(ReadValue(same, "\xE5T\x9A").result, ERROR_SUCCESS);
  char name[16];
  DWORD size = sizeof name;
  ASSERT_EQ(
      RegEnumValueA(same, 0, name, &size, nullptr, nullptr, nullptr, nullptr),
      ERROR_SUCCESS);
  EXPECT_STREQ(name, "\xC5t\x8A");  // kept as first written
}

TEST(Registry, HivesAreSeparate) {
  Key user, machine;
  ASSERT_EQ(Create(HKEY_CURRENT_USER, "Software\\X", user), ERROR_SUCCESS);
  ASSERT_EQ(SetText(user, "v", "user"), ERROR_SUCCESS);
  Key missing;
  EXPECT_EQ(Open(HKEY_LOCAL_MACHINE, "Software\\X", missing),
            ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(Create(HKEY_LOCAL_MACHINE, "Software\\X", machine), ERROR_SUCCESS);
  EXPECT_EQ(ReadValue(machine, "v").result, ERROR_FILE_NOT_FOUND);
}

TEST(Registry, FollowsTheSystemRootAndKeepsItPrivate) {
  {
    Key key;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, kVellumtide, key), ERROR_SUCCESS);
    ASSERT_EQ(SetText(key, "Home", "outer"), ERROR_SUCCESS);
  }
  const std::string outerFile = RegistryFile();
  {
    vt::testing::ScopedSystemRoot inner;
    Key key;
    EXPECT_EQ(Open(HKEY_CURRENT_USER, kVellumtide, key), ERROR_FILE_NOT_FOUND);
  }
  Key key;
  ASSERT_EQ(Open(HKEY_CURRENT_USER, kVellumtide, key), ERROR_SUCCESS);
  EXPECT_EQ(ReadValue(key, "Home").data, std::string("outer\0", 6));

  struct stat info {};
  ASSERT_EQ(stat(vt::platform::SystemRoot().c_str(), &info), 0);
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
    const std::string path = outerFile + suffix;
    if (stat(path.c_str(), &info) != 0) continue;
    EXPECT_EQ(info.st_mode & 0777, 0600u) << path;
  }
  ASSERT_EQ(stat(outerFile.c_str(), &info), 0);
}

TEST(Registry, AStoreRemovedUnderneathIsMadeAfresh) {
  {
    Key key;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, kVellumtide, key), ERROR_SUCCESS);
    ASSERT_EQ(SetText(key, "Home", "old"), ERROR_SUCCESS);
  }
  for (const char* suffix : {"", "-wal", "-shm"}) {
    unlink((RegistryFile() + suffix).c_str());
  }
  Key key;
  EXPECT_EQ(Open(HKEY_CURRENT_USER, kVellumtide, key), ERROR_FILE_NOT_FOUND);
  Key created;
  ASSERT_EQ(Create(HKEY_CURRENT_USER, kVellumtide, created), ERROR_SUCCESS);
  ASSERT_EQ(SetText(created, "Home", "new"), ERROR_SUCCESS);
  struct stat info {};
  EXPECT_EQ(stat(RegistryFile().c_str(), &info), 0);
}

TEST(Registry, AFileThatIsNotAStoreIsReportedAndLeftAlone) {
  const std::string junk = "this is not a database, and it is someone's\n";
  {
    FILE* file = std::fopen(RegistryFile().c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs(junk.c_str(), file);
    std::fclose(file);
  }
  Key key;
  const LONG result = Create(HKEY_CURRENT_USER, kVellumtide, key);
  EXPECT_NE(result, ERROR_SUCCESS);
  EXPECT_EQ(static_cast<HKEY>(key), nullptr);
  BYTE data[4];
  DWORD size = sizeof data;
  EXPECT_NE(
      RegQueryValueExA(HKEY_CURRENT_USER, "x", nullptr, nullptr, data, &size),
      ERROR_SUCCESS);
  FILE* file = std::fopen(RegistryFile().c_str(), "r");
  ASSERT_NE(file, nullptr);
  char back[128] = {};
  ASSERT_NE(std::fgets(back, sizeof back, file), nullptr);
  std::fclose(file);
  EXPECT_EQ(std::string(back), junk);
}

TEST(Registry, ManyThreadsAtOnce) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      Key key;
      const std::string path =
          std::string(kVellumtide) + "\\T" + std::to_string(t);
      ASSERT_EQ(Create(HKEY_CURRENT_USER, path.c_str(), key), ERROR_SUCCESS);
      for (int i = 0; i < 50; ++i) {
        ASSERT_EQ(SetText(key, "n", std::to_string(i)), ERROR_SUCCESS);
        ASSERT_EQ(ReadValue(key, "n").data, std::to_string(i) + '\0');
      }
    });
  }
  for (auto& thread : threads) thread.join();
}

std::string Writer() {
  return vt::platform::ExecutableDirectory() + "/registry_writer";
}

TEST(Registry, TwoProcessesWriteAtOnce) {
  // The reg tool adds values in a loop of processes while this process
  // writes its own, and a writer child rewrites a third: nothing is lost
  // and nobody fails for the store being busy.
  const char* out = std::getenv("VT_OUT");
  const std::string reg =
      (out ? std::string(out)
           : vt::platform::ExecutableDirectory() + "/../out") +
      "/reg";
  vt::testchild::Child writer(
      {Writer(), "Software\\Tollerbay\\Busy", "Churn", "400"});
  ASSERT_TRUE(writer.started());
  std::thread tool([&] {
    for (int i = 0; i < 12; ++i) {
      const auto result = vt::testchild::Run(
          {reg, "add", "HKCU\\Software\\Tollerbay\\Vellumtide", "/v",
           "Tool" + std::to_string(i), "/t", "REG_DWORD", "/d",
           std::to_string(i), "/f"});
      EXPECT_EQ(result.status, 0) << result.err;
    }
  });
  Key key;
  ASSERT_EQ(Create(HKEY_CURRENT_USER, kVellumtide, key), ERROR_SUCCESS);
  for (int i = 0; i < 200; ++i) {
    ASSERT_EQ(SetText(key, ("Mine" + std::to_string(i % 20)).c_str(),
                      std::to_string(i)),
              ERROR_SUCCESS);
  }
  tool.join();
  const auto written = writer.Finish();
  EXPECT_EQ(written.status, 0) << written.err;
  for (int i = 0; i < 12; ++i) {
    const auto read = ReadValue(key, ("Tool" + std::to_string(i)).c_str());
    EXPECT_EQ(read.result, ERROR_SUCCESS) << i;
    EXPECT_EQ(read.type, REG_DWORD);
    DWORD value = 0;
    std::memcpy(&value, read.data.data(), 4);
    EXPECT_EQ(value, static_cast<DWORD>(i));
  }
  for (int i = 180; i < 200; ++i) {
    EXPECT_EQ(ReadValue(key, ("Mine" + std::to_string(i % 20)).c_str()).data,
              std::to_string(i) + '\0');
  }
}

// One SQL answer from the store, read directly, beside the registry.
std::string AskStore(const std::string& sql) {
  sqlite3* db = nullptr;
  std::string answer = "<cannot open>";
  if (sqlite3_open(RegistryFile().c_str(), &db) == SQLITE_OK) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) ==
            SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
      const auto* text = sqlite3_column_text(statement, 0);
      answer = text ? reinterpret_cast<const char*>(text) : "";
    } else {
      answer = std::string("<") + sqlite3_errmsg(db) + ">";
    }
    sqlite3_finalize(statement);
  }
  sqlite3_close(db);
  return answer;
}

std::string Chain(const std::string& top, int depth) {
  std::string path = top;
  for (int level = 1; level <= depth; ++level) {
    path += "\\L" + std::to_string(level);
  }
  return path;
}

constexpr int kWriterDepth = 40;  // as registry_writer builds its chains

// Whole changes only: what each writer may leave behind when it is killed.
// Each check returns a description of what is wrong, or "".
std::string ValueIsOldOrNew(const std::string& top) {
  Key key;
  if (Open(HKEY_CURRENT_USER, top.c_str(), key) != ERROR_SUCCESS) {
    return "no key";
  }
  const auto read = ReadValue(key, "Field");
  if (read.result != ERROR_SUCCESS) return "no value";
  if (read.data != std::string(256, 'A') &&
      read.data != std::string(256, 'B')) {
    return "a mixed value";
  }
  return "";
}

// Every deep key was created in one call, so each is there in full.
std::string DeepKeysAreWhole(const std::string& top) {
  Key parent;
  if (Open(HKEY_CURRENT_USER, top.c_str(), parent) != ERROR_SUCCESS) {
    return "no key";
  }
  for (DWORD index = 0;; ++index) {
    char name[64];
    DWORD size = sizeof name;
    const LONG listed = RegEnumKeyExA(parent, index, name, &size, nullptr,
                                      nullptr, nullptr, nullptr);
    if (listed == ERROR_NO_MORE_ITEMS) return "";
    if (listed != ERROR_SUCCESS) return "cannot list";
    Key leaf;
    if (Open(HKEY_CURRENT_USER, Chain(top + "\\" + name, kWriterDepth).c_str(),
             leaf) != ERROR_SUCCESS) {
      return std::string("deep key ") + name + " is cut short";
    }
  }
}

// Marks go on from the deepest key up and keys go with their marks from the
// deepest up, so a marked key never has an unmarked key below it; a key
// deleted without its mark, or a mark without its key, would break that.
std::string MarksComeFromBelow(const std::string& top) {
  bool above = false;  // a key above this one is marked
  for (int depth = 1; depth <= kWriterDepth; ++depth) {
    Key key;
    if (Open(HKEY_CURRENT_USER, Chain(top, depth).c_str(), key) !=
        ERROR_SUCCESS) {
      return "";
    }
    const bool marked = ReadValue(key, "Mark").result == ERROR_SUCCESS;
    if (above && !marked) {
      return "level " + std::to_string(depth) +
             " lost its mark while keeping its key";
    }
    above = above || marked;
  }
  return "";
}

// A writer killed at any moment, in the middle of a change of many
// statements, leaves every change whole or absent, and the store sound.
// Each kind of writer is killed a bounded number of times (a second or two
// in all), at a random moment up to 10 ms after its first change.
TEST(Registry, AWriterKilledAtAnyMomentLeavesWholeChanges) {
  // Columns: what the writer does, the check of what it leaves.
  const struct {
    const char* mode;
    std::string (*check)(const std::string& top);
  } kWriters[] = {
      {"Field", ValueIsOldOrNew},
      {"/deep", DeepKeysAreWhole},
      {"/tree", MarksComeFromBelow},
  };
  std::mt19937 random(12345);
  int kind = 0;
  for (const auto& writerKind : kWriters) {
    SCOPED_TRACE(writerKind.mode);
    const std::string top =
        std::string(kVellumtide) + "\\Killed" + std::to_string(++kind);
    for (int round = 0; round < 25; ++round) {
      vt::testchild::Child writer({Writer(), top, writerKind.mode});
      ASSERT_TRUE(writer.started());
      ASSERT_TRUE(writer.WaitForOutput("ready")) << "round " << round;
      usleep(static_cast<useconds_t>(random() % 10000));
      ASSERT_EQ(kill(writer.pid(), SIGKILL), 0);
      writer.Finish();
      EXPECT_EQ(writerKind.check(top), "") << "round " << round;
    }
    // And the file as a whole is sound: no key without its parent, no
    // value without its key.
    EXPECT_EQ(AskStore("PRAGMA integrity_check"), "ok");
    EXPECT_EQ(AskStore("SELECT count(*) FROM keys WHERE parent IS NOT NULL "
                       "AND parent NOT IN (SELECT id FROM keys)"),
              "0");
    EXPECT_EQ(AskStore("SELECT count(*) FROM vals WHERE key NOT IN "
                       "(SELECT id FROM keys)"),
              "0");
  }
}

// Writes values through another process, so that this process first meets
// the store after the damage; then spoils the pages of the value table and
// its index, as a disk fault would.
void MakeDamagedStore() {
  const auto added = vt::testchild::Run({Writer(), kVellumtide, "Field", "3"});
  ASSERT_EQ(added.status, 0) << added.err;
  const std::string rootPages = AskStore(
      "SELECT group_concat(rootpage) FROM sqlite_master WHERE tbl_name = "
      "'vals'");
  const long pageSize = std::stol(AskStore("PRAGMA page_size"));
  FILE* file = std::fopen(RegistryFile().c_str(), "r+b");
  ASSERT_NE(file, nullptr);
  const std::string junk(static_cast<size_t>(pageSize), '\x5a');
  size_t start = 0;
  while (start < rootPages.size()) {
    size_t end = rootPages.find(',', start);
    if (end == std::string::npos) end = rootPages.size();
    const long page = std::stol(rootPages.substr(start, end - start));
    ASSERT_GT(page, 1);
    std::fseek(file, (page - 1) * pageSize, SEEK_SET);
    std::fwrite(junk.data(), 1, junk.size(), file);
    start = end + 1;
  }
  std::fclose(file);
}

// A damaged store is an error, never a missing value: a caller that took
// it for missing would load defaults or count the key as removed.
TEST(Registry, ADamagedStoreIsReportedAsDamaged) {
  MakeDamagedStore();
  Key key;
  ASSERT_EQ(Open(HKEY_CURRENT_USER, kVellumtide, key), ERROR_SUCCESS);
  EXPECT_EQ(ReadValue(key, "Field").result, ERROR_BADDB);
  EXPECT_EQ(ReadValue(key, "Missing").result, ERROR_BADDB);
  EXPECT_EQ(SetText(key, "Field", "new"), ERROR_BADDB);
  char name[64];
  DWORD size = sizeof name;
  EXPECT_EQ(
      RegEnumValueA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr),
      ERROR_BADDB);
}

// While another process holds the store's write lock, reads go on at once
// (from this process and from a new one, which must also open the store)
// and a change waits its bounded time and then says the store is busy.
TEST(Registry, ABusyStoreIsReadAndReportedBusyForChanges) {
  {
    Key key;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, kVellumtide, key), ERROR_SUCCESS);
    ASSERT_EQ(SetText(key, "Home", "before"), ERROR_SUCCESS);
  }
  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open(RegistryFile().c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr),
            SQLITE_OK);
  vt::platform::SetRegistryBusyTimeout(200);

  Key key;
  ASSERT_EQ(Open(HKEY_CURRENT_USER, kVellumtide, key), ERROR_SUCCESS);
  EXPECT_EQ(ReadValue(key, "Home").data, std::string("before") + '\0');
  EXPECT_EQ(SetText(key, "Home", "after"), ERROR_BUSY);
  Key other;
  EXPECT_EQ(Create(HKEY_CURRENT_USER, "Software\\Other", other), ERROR_BUSY);
  // The reg tool is a new process with a new connection; its busy wait is
  // the usual one, and a read must not need it at all.
  const char* out = std::getenv("VT_OUT");
  const std::string reg =
      (out ? std::string(out)
           : vt::platform::ExecutableDirectory() + "/../out") +
      "/reg";
  const auto query = vt::testchild::Run(
      {reg, "query", "HKCU\\Software\\Tollerbay\\Vellumtide", "/v", "Home"});
  EXPECT_EQ(query.status, 0) << query.err;
  EXPECT_NE(query.out.find("before"), std::string::npos) << query.out;
  const auto add =
      vt::testchild::Run({reg, "add", "HKCU\\Software\\Tollerbay\\Vellumtide",
                          "/v", "Home", "/d", "tool", "/f"});
  EXPECT_NE(add.status, 0);
  EXPECT_NE(add.err.find("in use by another program"), std::string::npos)
      << add.err;

  sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(holder);
  EXPECT_EQ(SetText(key, "Home", "after"), ERROR_SUCCESS);
  vt::platform::SetRegistryBusyTimeout(2000);
}

}  // namespace
