// The open-file dialog without a display: the request as recorded, and the
// scripted choices handed back, refused or cancelled.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <fstream>
#include <optional>
#include <string>

#include "vttest.h"

namespace {

// The filters the program offers, two pairs ending in a double zero.
constexpr char kFilter[] = "Text Files(*.txt)\0*.txt\0All Files(*.*)\0*.*\0";
constexpr DWORD kProgramFlags =
    OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_LONGNAMES;

// A request as the program builds it, over caller-owned buffers.
struct Request {
  char file[256] = "*.txt";
  char title[256] = {};
  OPENFILENAMEA data{};

  explicit Request(DWORD flags = kProgramFlags) {
    data.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    data.hwndOwner = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x700));
    data.lpstrFilter = kFilter;
    data.nFilterIndex = 1;
    data.lpstrFile = file;
    data.nMaxFile = sizeof file;
    data.lpstrFileTitle = title;
    data.nMaxFileTitle = sizeof title;
    data.lpstrInitialDir = "";
    data.lpstrTitle = "Select Plan File";
    data.Flags = flags;
  }
};

// Tests make their files in a ScopedSystemRoot: a fresh folder of their own
// that is removed afterwards.
std::string MakeFile(const std::string& folder, const std::string& name) {
  const std::string path = folder + "/" + name;
  std::ofstream(path) << "plan\n";
  return path;
}

TEST(OpenFile, RecordsTheRequestAsGiven) {
  Request request;
  EXPECT_FALSE(GetOpenFileNameA(&request.data));
  EXPECT_EQ(CommDlgExtendedError(), 0u);  // cancelled, not failed

  const auto requests = vt::testing::OpenFileRequests();
  ASSERT_EQ(requests.size(), 1u);
  const auto& record = requests[0];
  EXPECT_EQ(record.structSize, 76u);
  EXPECT_EQ(record.owner, request.data.hwndOwner);
  EXPECT_EQ(record.filter, std::string(kFilter, sizeof kFilter));
  EXPECT_EQ(record.filterIndex, 1u);
  EXPECT_EQ(record.initialFile, "*.txt");
  EXPECT_EQ(record.fileBufferSize, 256u);
  EXPECT_TRUE(record.hasFileTitle);
  EXPECT_EQ(record.fileTitleBufferSize, 256u);
  EXPECT_EQ(record.initialDir, "");
  EXPECT_EQ(record.title, "Select Plan File");
  EXPECT_EQ(record.flags, 0x201804u);
  EXPECT_FALSE(record.hasHook);
  EXPECT_FALSE(record.hasTemplate);
  EXPECT_FALSE(record.hasCustomFilter);
  EXPECT_FALSE(record.hasDefaultExtension);
  EXPECT_FALSE(record.succeeded);
}

TEST(OpenFile, StructSizeMustBeOneOfTheTwo) {
  // size given, accepted
  const struct {
    DWORD size;
    bool accepted;
  } kCases[] = {
      {OPENFILENAME_SIZE_VERSION_400A, true},
      {sizeof(OPENFILENAMEA), true},
      {0, false},
      {75, false},
      {88, false},
  };
  for (const auto& c : kCases) {
    Request request;
    request.data.lStructSize = c.size;
    EXPECT_FALSE(GetOpenFileNameA(&request.data));
    EXPECT_EQ(CommDlgExtendedError(), c.accepted ? 0u : CDERR_STRUCTSIZE)
        << c.size;
  }
  EXPECT_FALSE(GetOpenFileNameA(nullptr));
  EXPECT_EQ(CommDlgExtendedError(), CDERR_STRUCTSIZE);
}

TEST(OpenFile, ScriptedPathComesBackWithItsParts) {
  vt::testing::ScopedSystemRoot folder;
  const std::string path = MakeFile(folder.path(), "plan.txt");
  vt::testing::ScriptOpenFileAnswer(path);

  Request request;
  ASSERT_TRUE(GetOpenFileNameA(&request.data));
  EXPECT_EQ(CommDlgExtendedError(), 0u);
  EXPECT_EQ(std::string(request.file), path);
  EXPECT_STREQ(request.title, "plan.txt");
  EXPECT_EQ(request.data.nFileOffset, path.size() - 8);
  EXPECT_EQ(request.data.nFileExtension, path.size() - 3);
  const auto record = vt::testing::OpenFileRequests().at(0);
  EXPECT_TRUE(record.succeeded);
  EXPECT_EQ(record.chosen, path);

  // The next dialog has no answer left: the person cancels.
  Request next;
  EXPECT_FALSE(GetOpenFileNameA(&next.data));
  EXPECT_EQ(CommDlgExtendedError(), 0u);
  EXPECT_STREQ(next.file, "*.txt");
}

TEST(OpenFile, ScriptedCancelAndMissingFilesAreCancels) {
  vt::testing::ScopedSystemRoot folder;
  const std::string missing = folder.path() + "/nothing.txt";
  // scripted answer, request flags, whether the dialog succeeds, whether
  // the answer was refused as missing
  const struct {
    std::optional<std::string> answer;
    DWORD flags;
    bool accepted;
    bool refused;
  } kCases[] = {
      {std::nullopt, kProgramFlags, false, false},
      {missing, kProgramFlags, false, true},
      {missing, OFN_PATHMUSTEXIST, true, false},
      {folder.path() + "/no/such/dir/x.txt", OFN_PATHMUSTEXIST, false, true},
      {folder.path(), OFN_FILEMUSTEXIST, false, true},
      {missing, 0, true, false},
  };
  for (const auto& c : kCases) {
    vt::testing::Reset();
    vt::testing::ScriptOpenFileAnswer(c.answer);
    Request request(c.flags);
    EXPECT_EQ(GetOpenFileNameA(&request.data) != FALSE, c.accepted)
        << c.answer.value_or("(cancel)");
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    EXPECT_EQ(vt::testing::OpenFileRequests().at(0).refusedMissing, c.refused)
        << c.answer.value_or("(cancel)");
    if (!c.accepted) {
      EXPECT_STREQ(request.file, "*.txt");
    }
  }
}

TEST(OpenFile, FileNamesMatchWithoutRegardToCase) {
  vt::testing::ScopedSystemRoot folder;
  MakeFile(folder.path(), "Plan.TXT");
  vt::testing::ScriptOpenFileAnswer(folder.path() + "/plan.txt");
  Request request;
  EXPECT_TRUE(GetOpenFileNameA(&request.data));
}

TEST(OpenFile, BufferTooSmallFailsWithoutOverrun) {
  vt::testing::ScopedSystemRoot folder;
  const std::string path = MakeFile(folder.path(), "a-rather-long-name.txt");
  vt::testing::ScriptOpenFileAnswer(path);

  // A buffer one byte short of the path and its terminator, with a guard
  // behind it that must stay untouched.
  std::string buffer(path.size() + 16, '#');
  std::strcpy(buffer.data(), "*.txt");
  Request request;
  request.data.lpstrFile = buffer.data();
  request.data.nMaxFile = static_cast<DWORD>(path.size());
  EXPECT_FALSE(GetOpenFileNameA(&request.data));
  EXPECT_EQ(CommDlgExtendedError(), FNERR_BUFFERTOOSMALL);
  WORD needed;
  std::memcpy(&needed, buffer.data(), sizeof needed);
  EXPECT_EQ(needed, path.size() + 1);
  EXPECT_EQ(buffer.substr(path.size()), std::string(16, '#'));
  EXPECT_FALSE(vt::testing::OpenFileRequests().at(0).succeeded);

  // A title buffer too small is cut, and terminated, within its size.
  vt::testing::ScriptOpenFileAnswer(path);
  char title[6];
  Request cut;
  cut.data.lpstrFileTitle = title;
  cut.data.nMaxFileTitle = sizeof title;
  ASSERT_TRUE(GetOpenFileNameA(&cut.data));
  EXPECT_STREQ(title, "a-rat");
}

TEST(OpenFile, ExtensionOffsets) {
  vt::testing::ScopedSystemRoot folder;
  // name, offset of the extension from the name's start (-1: the
  // terminator; 0: a name ending in a dot gives 0 overall)
  const struct {
    const char* name;
    int extensionAt;
  } kCases[] = {
      {"plan.txt", 5},
      {"archive.tar.gz", 12},
      {"README", -1},
      {"odd.", 0},
  };
  for (const auto& c : kCases) {
    const std::string path = MakeFile(folder.path(), c.name);
    vt::testing::ScriptOpenFileAnswer(path);
    Request request;
    ASSERT_TRUE(GetOpenFileNameA(&request.data)) << c.name;
    const int nameAt = static_cast<int>(path.size() - std::strlen(c.name));
    EXPECT_EQ(request.data.nFileOffset, nameAt) << c.name;
    const int expected = c.extensionAt < 0    ? static_cast<int>(path.size())
                         : c.extensionAt == 0 ? 0
                                              : nameAt + c.extensionAt;
    EXPECT_EQ(request.data.nFileExtension, expected) << c.name;
  }
}

}  // namespace
