// WinHelpA without a display: where the help file is looked for, what is
// recorded, and the viewer's own message when the file is missing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <windows.h>

#include <cctype>
#include <climits>
#include <cstdio>
#include <fstream>
#include <string>

#include "platform/help/winhelp.h"
#include "platform/internal/platform.h"
#include "vttest.h"

namespace {

const HWND kOwner = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x900));

// A help file that exists while the object lives.
class HelpFileOnDisk {
 public:
  explicit HelpFileOnDisk(std::string path) : path_(std::move(path)) {
    std::ofstream(path_) << "= Index =\nTopic\n\n= Topic =\nText.\n";
  }
  ~HelpFileOnDisk() { std::remove(path_.c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Runs the test in another current folder, and goes back afterwards.
class InFolder {
 public:
  explicit InFolder(const std::string& folder) {
    if (::getcwd(previous_, sizeof previous_) == nullptr) previous_[0] = '\0';
    EXPECT_EQ(::chdir(folder.c_str()), 0);
  }
  ~InFolder() {
    if (previous_[0] != '\0') {
      EXPECT_EQ(::chdir(previous_), 0);
    }
  }

 private:
  char previous_[PATH_MAX];
};

std::string UniqueName(const char* stem) {
  return std::string(stem) + std::to_string(::getpid()) + ".HLP";
}

TEST(WinHelp, FindsTheFileBesideTheExecutableFirstWithoutRegardToCase) {
  const std::string name = UniqueName("Beside");
  HelpFileOnDisk beside(vt::platform::ExecutableDirectory() + "/" + name);
  vt::testing::ScopedSystemRoot folder;
  HelpFileOnDisk here(folder.path() + "/" + name);
  InFolder inFolder(folder.path());

  std::string asked = name;
  for (char& c : asked) c = static_cast<char>(std::tolower(c));
  EXPECT_TRUE(WinHelpA(kOwner, asked.c_str(), HELP_INDEX, 0));
  const auto requests = vt::testing::HelpRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].owner, kOwner);
  EXPECT_EQ(requests[0].file, asked);
  EXPECT_EQ(requests[0].command, HELP_INDEX);
  EXPECT_EQ(requests[0].data, 0u);
  EXPECT_EQ(requests[0].foundPath, beside.path());
  EXPECT_TRUE(vt::testing::MessageBoxes().empty());
}

TEST(WinHelp, FallsBackToTheCurrentFolder) {
  vt::testing::ScopedSystemRoot folder;
  const std::string name = UniqueName("Here");
  HelpFileOnDisk here(folder.path() + "/" + name);
  InFolder inFolder(folder.path());
  EXPECT_TRUE(WinHelpA(kOwner, name.c_str(), HELP_INDEX, 0));
  EXPECT_EQ(vt::testing::HelpRequests().at(0).foundPath, here.path());
}

TEST(WinHelp, MissingFileIsTheViewersMessage) {
  vt::testing::ScopedSystemRoot folder;
  InFolder inFolder(folder.path());
  EXPECT_FALSE(WinHelpA(kOwner, "Missing.hlp", HELP_INDEX, 0));
  const auto boxes = vt::testing::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Cannot find the help file Missing.hlp");
  EXPECT_EQ(boxes[0].caption, "Help");
  const auto requests = vt::testing::HelpRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].foundPath, "");

  // A folder of that name is not a help file.
  ::mkdir((folder.path() + "/Folder.hlp").c_str(), 0700);
  EXPECT_FALSE(WinHelpA(kOwner, "Folder.hlp", HELP_INDEX, 0));
}

TEST(WinHelp, QuitNeedsNoFile) {
  EXPECT_TRUE(WinHelpA(kOwner, "Missing.hlp", HELP_QUIT, 0));
  EXPECT_TRUE(vt::testing::MessageBoxes().empty());
  ASSERT_EQ(vt::testing::HelpRequests().size(), 1u);
  EXPECT_EQ(vt::testing::HelpRequests()[0].command, HELP_QUIT);
}

TEST(WinHelp, NameWithAFolderIsLookedForThereOnly) {
  vt::testing::ScopedSystemRoot folder;
  HelpFileOnDisk file(folder.path() + "/Guide.hlp");
  EXPECT_TRUE(WinHelpA(kOwner, (folder.path() + "/GUIDE.hlp").c_str(),
                       HELP_CONTENTS, 0));
  EXPECT_EQ(vt::testing::HelpRequests().at(0).foundPath, file.path());
  EXPECT_FALSE(vt::platform::FindHelpFile(folder.path() + "/none/Guide.hlp"));
  EXPECT_FALSE(vt::platform::FindHelpFile(""));
}

}  // namespace
