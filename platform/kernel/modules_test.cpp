#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/internal/platform.h"

namespace {

using ProbeFunction = int (*)();

TEST(LoadLibrary, FindsTheLibraryBesideTheExecutableWhateverItsCase) {
  HMODULE module = LoadLibraryA("KERNELPROBE.DLL");
  ASSERT_NE(module, nullptr) << "KernelProbe.dll beside the test";
  auto answer =
      reinterpret_cast<ProbeFunction>(GetProcAddress(module, "ProbeAnswer"));
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer(), 42);

  SetLastError(0);
  EXPECT_EQ(GetProcAddress(module, "MouseProc"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCEA(1)), nullptr);

  EXPECT_EQ(GetModuleHandleA("kernelprobe.dll"), module);
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(module, path, sizeof path);
  ASSERT_GT(length, 0u);
  EXPECT_EQ(std::string(path),
            vt::platform::ExecutableDirectory() + "/KernelProbe.dll");

  // Loading twice counts twice.
  HMODULE again = LoadLibraryA("KernelProbe.dll");
  EXPECT_EQ(again, module);
  EXPECT_TRUE(FreeLibrary(again));
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_FALSE(FreeLibrary(module));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(LoadLibrary, LooksInTheCurrentFolderNext) {
  const std::string folder = vt::platform::SystemRoot() + "/libs";
  std::filesystem::create_directory(folder);
  std::filesystem::copy_file(
      vt::platform::ExecutableDirectory() + "/KernelProbe.dll",
      folder + "/Other.dll");
  EXPECT_EQ(LoadLibraryA("OTHER.DLL"), nullptr);
  char* previous = getcwd(nullptr, 0);
  ASSERT_EQ(chdir(folder.c_str()), 0);
  HMODULE module = LoadLibraryA("other.DLL");
  ASSERT_EQ(chdir(previous), 0);
  std::free(previous);
  ASSERT_NE(module, nullptr);
  EXPECT_NE(GetProcAddress(module, "ProbeAnswer"), nullptr);
  EXPECT_TRUE(FreeLibrary(module));
}

TEST(LoadLibrary, ReportsWhatItCannotFind) {
  // Columns: name, error.
  const struct {
    const char* name;
    DWORD error;
  } cases[] = {
      {"Velto.DLL", ERROR_MOD_NOT_FOUND},
      {"/no/such/folder/x.dll", ERROR_MOD_NOT_FOUND},
      {"", ERROR_INVALID_PARAMETER},
      {nullptr, ERROR_INVALID_PARAMETER},
  };
  for (const auto& c : cases) {
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA(c.name), nullptr) << (c.name ? c.name : "null");
    EXPECT_EQ(GetLastError(), c.error) << (c.name ? c.name : "null");
  }
  // A file that is not a library.
  const std::string bogus = vt::platform::SystemRoot() + "/Bogus.dll";
  FILE* file = std::fopen(bogus.c_str(), "w");
  std::fputs("not a library", file);
  std::fclose(file);
  EXPECT_EQ(LoadLibraryA(bogus.c_str()), nullptr);
}

TEST(ModuleHandle, TheProgramsOwnIsStableAndKnown) {
  HMODULE self = GetModuleHandleA(nullptr);
  ASSERT_NE(self, nullptr);
  EXPECT_EQ(GetModuleHandleA(nullptr), self);
  EXPECT_EQ(GetModuleHandleA("KernelProbe.dll"), nullptr);  // not loaded

  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  ASSERT_GT(length, 0u);
  const std::string expected =
      std::filesystem::read_symlink("/proc/self/exe").string();
  EXPECT_EQ(std::string(path), expected);
  EXPECT_EQ(length, expected.size());

  // Too small: as much as fits, terminated, and the error.
  char small[5];
  SetLastError(0);
  EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof small), sizeof small);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(std::string(small), expected.substr(0, 4));
}

TEST(ModuleHandle, ForeignHandlesAreRefusedNotFollowed) {
  int notAModule = 0;
  auto* bogus = reinterpret_cast<HMODULE>(&notAModule);
  EXPECT_EQ(GetProcAddress(bogus, "ProbeAnswer"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(FreeLibrary(bogus));
  EXPECT_EQ(GetProcAddress(nullptr, "ProbeAnswer"), nullptr);
}

}  // namespace
