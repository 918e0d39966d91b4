// WinHelpA without a display: where the help file is looked for, what is
// recorded, how requests travel to a viewer, and a viewer that cannot be
// started.
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

// Where a help file is found: as given, then its name in the current
// folder, then in the calling program's folder, without regard to case.
TEST(WinHelp, FindsTheFileByTheTargetsRules) {
  vt::testing::ScopedSystemRoot root;
  const std::string given = root.path() + "/given";
  const std::string here = root.path() + "/here";
  const std::string caller = root.path() + "/caller";
  for (const auto& folder : {given, here, caller}) {
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
  }
  HelpFileOnDisk inGiven(given + "/Both.hlp");
  HelpFileOnDisk inHere(here + "/Both.hlp");
  HelpFileOnDisk hereOnly(here + "/Here.hlp");
  HelpFileOnDisk callerOnly(caller + "/Caller.HLP");
  ASSERT_EQ(::mkdir((here + "/Folder.hlp").c_str(), 0700), 0);
  InFolder inFolder(here);
  // name asked for, where it is found ("" for nowhere)
  const struct {
    std::string name;
    std::string found;
  } kCases[] = {
      {given + "/BOTH.hlp", inGiven.path()},
      {"both.hlp", inHere.path()},
      {given + "/here.hlp", hereOnly.path()},  // not there: the name here
      {given + "\\Both.hlp", inGiven.path()},  // the target's separator
      {"caller.hlp", callerOnly.path()},
      {root.path() + "/none/Caller.hlp", callerOnly.path()},
      {"Missing.hlp", ""},
      {"Folder.hlp", ""},  // a folder is not a help file
      {"", ""},
      {given + "/", ""},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(vt::platform::FindHelpFile(c.name, caller).value_or(""), c.found)
        << c.name;
  }
}

TEST(WinHelp, WithoutADisplayRequestsAreRecordedOnly) {
  vt::testing::ScopedSystemRoot folder;
  HelpFileOnDisk here(folder.path() + "/Guide.hlp");
  InFolder inFolder(folder.path());
  // file, command, data, found
  const struct {
    const char* file;
    UINT command;
    ULONG_PTR data;
    bool found;
  } kCases[] = {
      {"guide.HLP", HELP_INDEX, 0, true},
      {"Missing.hlp", HELP_CONTENTS, 0, false},
      {"Guide.hlp", HELP_QUIT, 0, true},
  };
  for (const auto& c : kCases) {
    EXPECT_TRUE(WinHelpA(kOwner, c.file, c.command, c.data)) << c.file;
  }
  const auto requests = vt::testing::HelpRequests();
  ASSERT_EQ(requests.size(), std::size(kCases));
  for (std::size_t i = 0; i < requests.size(); ++i) {
    EXPECT_EQ(requests[i].owner, kOwner);
    EXPECT_EQ(requests[i].file, kCases[i].file);
    EXPECT_EQ(requests[i].command, kCases[i].command);
    EXPECT_EQ(requests[i].foundPath, kCases[i].found ? here.path() : "");
    EXPECT_FALSE(requests[i].startedViewer);
    EXPECT_FALSE(requests[i].reachedViewer);
  }
  // The viewer reports a missing file, not the caller.
  EXPECT_TRUE(vt::testing::MessageBoxes().empty());
}

TEST(WinHelp, AViewerThatCannotBeStartedFailsTheCall) {
  vt::testing::ScopedSystemRoot folder;
  HelpFileOnDisk here(folder.path() + "/Guide.hlp");
  InFolder inFolder(folder.path());
  const std::string notAProgram = folder.path() + "/Guide.hlp";
  for (const std::string& viewer :
       {folder.path() + "/no-such-winhelp", notAProgram, std::string()}) {
    vt::testing::Reset();
    vt::testing::UseHelpViewer(viewer);
    EXPECT_FALSE(WinHelpA(kOwner, "Guide.hlp", HELP_INDEX, 0)) << viewer;
    ASSERT_EQ(vt::testing::HelpRequests().size(), 1u);
    EXPECT_FALSE(vt::testing::HelpRequests()[0].startedViewer);
  }
}

TEST(WinHelp, RequestsTravelAsOneLine) {
  // line, decodes, command, keyword
  const struct {
    const char* line;
    bool valid;
    UINT command;
    const char* keyword;
  } kCases[] = {
      {"3", true, HELP_INDEX, ""},
      {"2", true, HELP_QUIT, ""},
      {"257 Away Locked", true, HELP_KEY, "Away Locked"},
      {"257 ", true, HELP_KEY, ""},
      {"257", false, 0, ""},
      {"3 extra", false, 0, ""},
      {"", false, 0, ""},
      {"x", false, 0, ""},
      {"99999999999999999999", false, 0, ""},
  };
  for (const auto& c : kCases) {
    const auto request = vt::platform::DecodeHelpRequest(c.line);
    ASSERT_EQ(request.has_value(), c.valid) << c.line;
    if (!request) continue;
    EXPECT_EQ(request->command, c.command) << c.line;
    EXPECT_EQ(request->keyword, c.keyword) << c.line;
    EXPECT_EQ(vt::platform::EncodeHelpRequest(*request), c.line);
  }
}

}  // namespace
