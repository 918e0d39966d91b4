#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/internal/platform.h"
#include "platform/kernel/test_child.h"
#include "vttest.h"

namespace {

std::string Root() { return vt::platform::SystemRoot(); }

void MakeFile(const std::string& path, const std::string& bytes = "x") {
  std::ofstream(path, std::ios::binary) << bytes;
}

bool Exists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

// Runs the test body in another current folder and comes back.
class InFolder {
 public:
  explicit InFolder(const std::string& folder) {
    previous_ = getcwd(nullptr, 0);
    EXPECT_EQ(chdir(folder.c_str()), 0);
  }
  ~InFolder() {
    EXPECT_EQ(chdir(previous_), 0);
    std::free(previous_);
  }

 private:
  char* previous_;
};

std::string ExpectedLoginName() {
  const passwd* entry = getpwuid(geteuid());
  return entry != nullptr ? entry->pw_name : "";
}

TEST(GetUserName, FollowsTheBufferRules) {
  const std::string name = ExpectedLoginName();
  ASSERT_FALSE(name.empty());
  const auto needed = static_cast<DWORD>(name.size() + 1);

  char buffer[64];
  DWORD size = sizeof buffer;
  ASSERT_TRUE(GetUserNameA(buffer, &size));
  EXPECT_STREQ(buffer, name.c_str());
  EXPECT_EQ(size, needed);  // the terminator counts

  // Exactly enough room.
  size = needed;
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_TRUE(GetUserNameA(buffer, &size));
  EXPECT_STREQ(buffer, name.c_str());

  // One short: nothing written, the size needed given back.
  size = needed - 1;
  std::memset(buffer, '#', sizeof buffer);
  SetLastError(0);
  EXPECT_FALSE(GetUserNameA(buffer, &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(size, needed);
  EXPECT_EQ(buffer[0], '#');

  // Asking for the size alone.
  size = 0;
  EXPECT_FALSE(GetUserNameA(nullptr, &size));
  EXPECT_EQ(size, needed);

  EXPECT_FALSE(GetUserNameA(buffer, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// The shared libraries of the build that this process has loaded (the
// platform library, unless the programs link it in statically): a program
// copied out of the build needs them beside it.
std::vector<std::string> BuildLibrariesLoaded() {
  std::vector<std::string> libraries;
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    const auto slash = line.find('/');
    if (slash == std::string::npos) continue;
    const std::string path = line.substr(slash);
    if (path.find("/libvtplatform") == std::string::npos) continue;
    if (std::find(libraries.begin(), libraries.end(), path) ==
        libraries.end()) {
      libraries.push_back(path);
    }
  }
  return libraries;
}

// A folder under /tmp that any user may enter, holding a copy of a program
// of the build and the build's libraries it needs, so that another uid can
// run it wherever the checkout lies (a home of mode 0700 included). Removed
// with what it holds.
class ReachableCopy {
 public:
  explicit ReachableCopy(const std::string& program) {
    char folder[] = "/tmp/vt-probe-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
      reason_ = "cannot make a folder in /tmp";
      return;
    }
    folder_ = folder;
    std::error_code error;
    std::filesystem::permissions(folder_, std::filesystem::perms(0755), error);
    std::vector<std::string> files = BuildLibrariesLoaded();
    files.push_back(program);
    for (const std::string& file : files) {
      const std::string copy =
          folder_ + "/" + std::filesystem::path(file).filename().string();
      std::filesystem::copy_file(file, copy, error);
      if (!error) {
        std::filesystem::permissions(copy, std::filesystem::perms(0755), error);
      }
      if (error) {
        reason_ = "cannot copy " + file + ": " + error.message();
        return;
      }
    }
    program_ =
        folder_ + "/" + std::filesystem::path(program).filename().string();
  }
  ~ReachableCopy() {
    std::error_code error;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, error);
  }
  ReachableCopy(const ReachableCopy&) = delete;
  ReachableCopy& operator=(const ReachableCopy&) = delete;

  // The copy's path, or empty with reason() saying why there is none.
  const std::string& program() const { return program_; }
  const std::string& reason() const { return reason_; }

 private:
  std::string folder_;
  std::string program_;
  std::string reason_;
};

TEST(GetUserName, FallsBackToTheEnvironmentInAnsi) {
  if (geteuid() != 0 || access("/usr/bin/setpriv", X_OK) != 0) {
    GTEST_SKIP() << "needs root and setpriv to take a uid without a name";
  }
  // The other uid may not be able to reach the build (a checkout in a home
  // of mode 0700), so it runs a copy from a folder it can enter.
  const ReachableCopy probe(vt::platform::ExecutableDirectory() +
                            "/kernel_entry_probe");
  if (probe.program().empty()) {
    GTEST_SKIP() << "no copy of the probe another uid can run: "
                 << probe.reason();
  }
  // A uid with no passwd entry has only $USER to go by; its UTF-8 arrives
  // in ANSI.
  const char* old = std::getenv("USER");
  const std::string saved = old ? old : "";
  setenv("USER", "zo\xC3\xAB", 1);
  const auto result =
      vt::testchild::Run({"/usr/bin/setpriv", "--reuid=54321", "--regid=54321",
                          "--clear-groups", probe.program(), "user"});
  if (old) {
    setenv("USER", saved.c_str(), 1);
  } else {
    unsetenv("USER");
  }
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "7A6FEB 4\n");
}

TEST(GetWindowsDirectory, IsTheRootsWindowsFolder) {
  const std::string expected = Root() + "/Windows";
  char buffer[255];
  const UINT length = GetWindowsDirectoryA(buffer, sizeof buffer);
  ASSERT_EQ(length, expected.size());
  EXPECT_EQ(std::string(buffer), expected);
  struct stat info {};
  ASSERT_EQ(stat(expected.c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));

  // Too small: the size needed, terminator included, and nothing written.
  char small[4] = {'#', '#', '#', '#'};
  EXPECT_EQ(GetWindowsDirectoryA(small, sizeof small), expected.size() + 1);
  EXPECT_EQ(small[0], '#');
}

TEST(GetWindowsDirectory, FailsWithZeroWhenTheFolderCannotBeMade) {
  // A file where the folder should be.
  MakeFile(Root() + "/Windows");
  char buffer[255];
  EXPECT_EQ(GetWindowsDirectoryA(buffer, sizeof buffer), 0u);
}

TEST(CurrentDirectory, GetAndSet) {
  const std::string folder = Root() + "/Here";
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  char* previous = getcwd(nullptr, 0);
  ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str()));
  char buffer[MAX_PATH];
  EXPECT_EQ(GetCurrentDirectoryA(sizeof buffer, buffer), folder.size());
  EXPECT_EQ(std::string(buffer), folder);
  EXPECT_EQ(GetCurrentDirectoryA(3, buffer), folder.size() + 1);
  EXPECT_FALSE(SetCurrentDirectoryA((Root() + "/Nowhere").c_str()));
  EXPECT_EQ(chdir(previous), 0);
  std::free(previous);
}

TEST(DeleteFile, ResultsAsTheTargetSystemGivesThem) {
  const std::string root = Root();
  ASSERT_EQ(mkdir((root + "/Folder").c_str(), 0700), 0);
  MakeFile(root + "/Velto.dll");
  MakeFile(root + "/exact.txt");
  MakeFile(root + "/locked.txt");
  ASSERT_EQ(chmod((root + "/locked.txt").c_str(), 0444), 0);
  MakeFile(root + "/relative.hlp");

  // Columns: name (relative ones against the current folder, the root),
  // result, error, the file that must be gone afterwards (or empty).
  const struct {
    std::string name;
    BOOL result;
    DWORD error;
    std::string gone;
  } cases[] = {
      {root + "/exact.txt", TRUE, 0, root + "/exact.txt"},
      {root + "/VELTO.DLL", TRUE, 0, root + "/Velto.dll"},
      {"Relative.HLP", TRUE, 0, root + "/relative.hlp"},
      {root + "/exact.txt", FALSE, ERROR_FILE_NOT_FOUND, ""},
      {root + "/missing.exe", FALSE, ERROR_FILE_NOT_FOUND, ""},
      {root + "/NoFolder/file.txt", FALSE, ERROR_PATH_NOT_FOUND, ""},
      {root + "/Folder", FALSE, ERROR_ACCESS_DENIED, ""},
      {root + "/locked.txt", FALSE, ERROR_ACCESS_DENIED, ""},
      {"", FALSE, ERROR_PATH_NOT_FOUND, ""},
  };
  InFolder here(root);
  for (const auto& c : cases) {
    SetLastError(0);
    EXPECT_EQ(DeleteFileA(c.name.c_str()), c.result) << c.name;
    if (!c.result) {
      EXPECT_EQ(GetLastError(), c.error) << c.name;
    }
    if (!c.gone.empty()) {
      EXPECT_FALSE(Exists(c.gone)) << c.name;
    }
  }
  EXPECT_TRUE(Exists(root + "/Folder"));
  EXPECT_TRUE(Exists(root + "/locked.txt"));
}

TEST(DeleteFile, AnsiNamesReachUtf8Files) {
  const std::string path = Root() + "/caf\xC3\xA9.txt";
  MakeFile(path);
  EXPECT_TRUE(DeleteFileA((Root() + "/CAF\xC9.TXT").c_str()));
  EXPECT_FALSE(Exists(path));
}

TEST(GetFileAttributes, TellsFilesFoldersAndReadOnly) {
  const std::string root = Root();
  MakeFile(root + "/plain.txt");
  MakeFile(root + "/ro.txt");
  ASSERT_EQ(chmod((root + "/ro.txt").c_str(), 0444), 0);
  EXPECT_EQ(GetFileAttributesA((root + "/PLAIN.txt").c_str()),
            FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(GetFileAttributesA((root + "/ro.txt").c_str()),
            FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(GetFileAttributesA(root.c_str()), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(GetFileAttributesA((root + "/none").c_str()),
            INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(FindFileNoCase, PrefersTheExactNameThenTheSmallestMatch) {
  const std::string root = Root();
  MakeFile(root + "/Plan.TXT");
  MakeFile(root + "/plan.txt");
  MakeFile(root + "/PLAN.txt");
  MakeFile(root + "/\xC3\x89t\xC3\xA9.txt");  // "Été.txt"
  EXPECT_EQ(vt::platform::FindFileNoCase(root, "plan.txt"), root + "/plan.txt");
  EXPECT_EQ(vt::platform::FindFileNoCase(root, "pLAN.txt"), root + "/PLAN.txt");
  EXPECT_EQ(vt::platform::FindFileNoCase(root, "\xC3\xA9T\xC3\x89.TXT"),
            root + "/\xC3\x89t\xC3\xA9.txt");
  EXPECT_EQ(vt::platform::FindFileNoCase(root, "plan.txt.bak"), std::nullopt);
  EXPECT_EQ(vt::platform::FindFileNoCase(root + "/none", "x"), std::nullopt);
}

TEST(SystemRoot, FollowsTheEnvironmentAndIsPrivate) {
  const std::string base = Root();
  const std::string saved = base;
  // Without VELLUMTIDE_ROOT the root is below XDG_CONFIG_HOME, made 0700.
  const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
  const std::string savedXdg = oldXdg ? oldXdg : "";
  unsetenv("VELLUMTIDE_ROOT");
  setenv("XDG_CONFIG_HOME", (base + "/config").c_str(), 1);
  const std::string root = vt::platform::SystemRoot();
  setenv("VELLUMTIDE_ROOT", saved.c_str(), 1);
  if (oldXdg) {
    setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
  } else {
    unsetenv("XDG_CONFIG_HOME");
  }
  EXPECT_EQ(root, base + "/config/vellumtide");
  struct stat info {};
  ASSERT_EQ(stat(root.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  EXPECT_EQ(vt::platform::SystemRoot(), saved);
}

TEST(ScopedSystemRoot, NestsAndCleansUp) {
  const std::string outer = Root();
  std::string inner;
  {
    vt::testing::ScopedSystemRoot nested;
    inner = nested.path();
    EXPECT_NE(inner, outer);
    EXPECT_EQ(Root(), inner);
    nested.WriteServices("finger 7979/tcp");
    std::ifstream services(inner + "/services");
    std::string line;
    std::getline(services, line);
    EXPECT_EQ(line, "finger 7979/tcp");
    MakeFile(inner + "/deep");
  }
  EXPECT_EQ(Root(), outer);
  EXPECT_FALSE(Exists(inner));
}

// Each test gets a root of its own from the test main: the second of these
// must not see what the first left.
TEST(ScopedSystemRoot, EachTestStartsEmptyA) {
  MakeFile(Root() + "/left-behind");
}
TEST(ScopedSystemRoot, EachTestStartsEmptyB) {
  EXPECT_FALSE(Exists(Root() + "/left-behind"));
}

}  // namespace
