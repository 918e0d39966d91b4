// The help viewer's window in this process, driven by keys and clicks: the
// index with every topic, a topic with its links, Back and Index, and Esc.
// Also the check that the program's own help file is whole.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/help/helpfile.h"
#include "platform/help/winhelp.h"
#include "vttest.h"

namespace {

using vt::platform::kHelpBackButton;
using vt::platform::kHelpIndexButton;
using vt::platform::kHelpIndexList;
using vt::platform::kHelpLinkList;
using vt::platform::kHelpTopicText;

constexpr int kItemHeight = 13;

constexpr char kHelpText[] =
    "= Index =\n"
    "Starting\n"
    "Quitting | Stopping\n"
    "\n"
    "= Starting =\n"
    "Start it. See \"Stopping\", \"quitting\" and \"Nowhere\".\n"
    "\n"
    "= Stopping =\n"
    "Stop it.\n"
    "\n"
    "- item one\n"
    "  continued\n"
    "\n"
    "    verbatim line\n"
    "\n"
    "= Orphan =\n"
    "Not in the index.\n";

std::vector<std::string> Items(HWND window, int id) {
  std::vector<std::string> items;
  const LRESULT count = SendDlgItemMessageA(window, id, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    char text[256] = {};
    SendDlgItemMessageA(window, id, LB_GETTEXT, static_cast<WPARAM>(i),
                        reinterpret_cast<LPARAM>(text));
    items.emplace_back(text);
  }
  return items;
}

bool Shown(HWND window, int id) {
  return IsWindowVisible(GetDlgItem(window, id)) != FALSE;
}

// Runs the viewer's own loop over the test file; each step runs at one idle
// moment of it. The loop ends when the window is gone; a window left after
// the last step is a failure, and is closed.
void RunViewer(std::vector<std::function<void(HWND)>> steps) {
  HWND viewer = vt::platform::CreateHelpViewer(
      vt::platform::ParseHelpFile(kHelpText), "Test.hlp");
  ASSERT_NE(viewer, nullptr);
  for (auto& step : steps) {
    vt::testing::WhenIdle([step, viewer] {
      if (IsWindow(viewer)) step(viewer);
    });
  }
  vt::testing::WhenIdle([viewer] {
    if (IsWindow(viewer)) {
      ADD_FAILURE() << "the viewer is still open";
      DestroyWindow(viewer);
    }
  });
  vt::platform::RunHelpViewer(viewer);
  EXPECT_FALSE(IsWindow(viewer));
}

TEST(HelpViewer, IndexTopicsLinksBackAndEsc) {
  RunViewer({
      [](HWND viewer) {
        EXPECT_EQ(vt::testing::TextOf(viewer), "Test.hlp - Index");
        // Every topic is a link, also the one the index forgot.
        EXPECT_EQ(Items(viewer, kHelpIndexList),
                  (std::vector<std::string>{"Starting", "Quitting", "Orphan"}));
        EXPECT_TRUE(Shown(viewer, kHelpIndexList));
        EXPECT_FALSE(Shown(viewer, kHelpTopicText));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(viewer, kHelpBackButton)));
        // Enter opens the selected entry, the first.
        vt::testing::PressKey(VK_RETURN);
      },
      [](HWND viewer) {
        EXPECT_EQ(vt::testing::TextOf(viewer), "Starting");
        EXPECT_TRUE(Shown(viewer, kHelpTopicText));
        EXPECT_FALSE(Shown(viewer, kHelpIndexList));
        EXPECT_NE(vt::testing::TextOf(GetDlgItem(viewer, kHelpTopicText))
                      .find("Start it."),
                  std::string::npos);
        // Quoted names of topics are links, once each; others are not.
        EXPECT_EQ(Items(viewer, kHelpLinkList),
                  std::vector<std::string>{"Stopping"});
        vt::testing::DoubleClickAt(GetDlgItem(viewer, kHelpLinkList), 4, 6);
      },
      [](HWND viewer) {
        EXPECT_EQ(vt::testing::TextOf(viewer), "Stopping");
        const std::string text =
            vt::testing::TextOf(GetDlgItem(viewer, kHelpTopicText));
        EXPECT_NE(text.find("  - item one continued"), std::string::npos)
            << text;
        EXPECT_NE(text.find("\r\n    verbatim line"), std::string::npos)
            << text;
        EXPECT_FALSE(Shown(viewer, kHelpLinkList));
        vt::testing::Click(GetDlgItem(viewer, kHelpBackButton));
      },
      [](HWND viewer) {
        EXPECT_EQ(vt::testing::TextOf(viewer), "Starting");
        vt::testing::PressKey('B', vt::testing::Modifiers::Alt);
      },
      [](HWND viewer) {
        EXPECT_EQ(vt::testing::TextOf(viewer), "Test.hlp - Index");
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(viewer, kHelpBackButton)));
        // The third entry, by a double click on it.
        vt::testing::DoubleClickAt(GetDlgItem(viewer, kHelpIndexList), 4,
                                   2 * kItemHeight + 6);
      },
      [](HWND viewer) {
        EXPECT_EQ(vt::testing::TextOf(viewer), "Orphan");
        vt::testing::Click(GetDlgItem(viewer, kHelpIndexButton));
      },
      [](HWND viewer) {
        EXPECT_EQ(vt::testing::TextOf(viewer), "Test.hlp - Index");
        // Back goes to the topic left for the index.
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(viewer, kHelpBackButton)));
        vt::testing::PressKey(VK_ESCAPE);
      },
  });
}

TEST(HelpViewer, RequestsOpenATopicByKeywordOrTheIndex) {
  // request, keyword, caption afterwards
  const struct {
    UINT command;
    const char* keyword;
    const char* caption;
  } kCases[] = {
      {HELP_KEY, "quitting", "Stopping"},  // an index keyword
      {HELP_KEY, "ORPHAN", "Orphan"},      // a title
      {HELP_KEY, "Nowhere", "Test.hlp - Index"},
      {HELP_INDEX, "", "Test.hlp - Index"},
      {HELP_CONTEXT, "", "Test.hlp - Index"},
  };
  for (const auto& c : kCases) {
    RunViewer({[&](HWND viewer) {
                 vt::platform::HelpRequest request;
                 request.command = c.command;
                 request.keyword = c.keyword;
                 vt::platform::ApplyHelpRequest(viewer, request);
                 EXPECT_EQ(vt::testing::TextOf(viewer), c.caption) << c.keyword;
                 EXPECT_EQ(GetForegroundWindow(), viewer);
               },
               [](HWND viewer) {
                 vt::platform::HelpRequest quit;
                 quit.command = HELP_QUIT;
                 vt::platform::ApplyHelpRequest(viewer, quit);
               }});
  }
}

// The program's help file: every index entry names a topic that exists,
// every topic is in the index, and the parser finds nothing wrong.
TEST(HelpFile, VeltoIndexNamesOnlyTopicsThatExist) {
  std::ifstream in(VT_HELP_FILE, std::ios::binary);
  ASSERT_TRUE(in) << VT_HELP_FILE;
  std::stringstream text;
  text << in.rdbuf();
  const auto file = vt::platform::ParseHelpFile(text.str());
  for (const auto& problem : file.problems) {
    ADD_FAILURE() << VT_HELP_FILE << ":" << problem.line << ": "
                  << problem.text;
  }
  // Count the index's lines as written, so an entry the parser dropped for
  // naming no topic shows as a missing entry too.
  std::istringstream lines(text.str());
  std::string line;
  std::size_t written = 0;
  bool inIndex = false;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line.front() == '=') {
      inIndex = line.find("Index") != std::string::npos;
      continue;
    }
    if (inIndex && line.find_first_not_of(" \t") != std::string::npos)
      ++written;
  }
  EXPECT_GT(written, 0u);
  EXPECT_EQ(file.index.size(), written);
  std::vector<bool> listed(file.topics.size(), false);
  for (const auto& entry : file.index) {
    ASSERT_LT(entry.topic, file.topics.size());
    listed[entry.topic] = true;
  }
  for (std::size_t i = 0; i < file.topics.size(); ++i) {
    EXPECT_TRUE(listed[i]) << "not in the index: " << file.topics[i].title;
  }
}

}  // namespace
