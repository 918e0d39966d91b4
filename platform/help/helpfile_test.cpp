// The help-file parser: topics and their blocks, the index, the problems it
// reports, and the program's own help file.
#include "platform/help/helpfile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

using vt::platform::HelpBlockKind;
using vt::platform::ParseHelpFile;

constexpr char kSample[] =
    "= Index =\r\n"
    "Starting\r\n"
    "quitting | Stopping\r\n"
    "\r\n"
    "= Starting =\r\n"
    "Start the program\r\n"
    "from its folder.\r\n"
    "\r\n"
    "The rules:\r\n"
    "- one item\r\n"
    "  continued here\r\n"
    "- another\r\n"
    "\r\n"
    "    finger bob@host\r\n"
    "\r\n"
    "    Plan:\r\n"
    "\tindented by a tab\r\n"
    "After the example.\r\n"
    "= Stopping =\r\n"
    "Choose Stop.\r\n";

TEST(HelpFile, TopicsAreMadeOfParagraphsListItemsAndVerbatimBlocks) {
  const auto file = ParseHelpFile(kSample);
  EXPECT_TRUE(file.problems.empty());
  ASSERT_EQ(file.topics.size(), 2u);
  EXPECT_EQ(file.topics[0].title, "Starting");
  EXPECT_EQ(file.topics[0].line, 5);
  // kind, text
  const std::vector<std::pair<HelpBlockKind, std::string>> kExpected = {
      {HelpBlockKind::Paragraph, "Start the program from its folder."},
      {HelpBlockKind::Paragraph, "The rules:"},
      {HelpBlockKind::ListItem, "one item continued here"},
      {HelpBlockKind::ListItem, "another"},
      {HelpBlockKind::Verbatim, "finger bob@host\n\nPlan:\nindented by a tab"},
      {HelpBlockKind::Paragraph, "After the example."},
  };
  const auto& blocks = file.topics[0].blocks;
  ASSERT_EQ(blocks.size(), kExpected.size());
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    EXPECT_EQ(blocks[i].kind, kExpected[i].first) << i;
    EXPECT_EQ(blocks[i].text, kExpected[i].second) << i;
  }
  ASSERT_EQ(file.topics[1].blocks.size(), 1u);
  EXPECT_EQ(file.topics[1].blocks[0].text, "Choose Stop.");
}

TEST(HelpFile, IndexLeadsToTopics) {
  const auto file = ParseHelpFile(kSample);
  ASSERT_EQ(file.index.size(), 2u);
  EXPECT_EQ(file.index[0].keyword, "Starting");
  EXPECT_EQ(file.index[0].topic, 0u);
  EXPECT_EQ(file.index[1].keyword, "quitting");
  EXPECT_EQ(file.index[1].topic, 1u);
  EXPECT_EQ(file.FindTopic("STOPPING"), 1u);
  EXPECT_FALSE(file.FindTopic("Index"));

  // Without an index every topic is listed by its title.
  const auto plain = ParseHelpFile("= One =\na\n= Two =\nb\n");
  ASSERT_EQ(plain.index.size(), 2u);
  EXPECT_EQ(plain.index[1].keyword, "Two");
  EXPECT_EQ(plain.index[1].topic, 1u);
}

TEST(HelpFile, DamageIsReportedAndTheRestKept) {
  // text, line of the problem reported (0: none)
  const struct {
    const char* text;
    int problemLine;
  } kCases[] = {
      {"stray text\n= Topic =\nbody\n", 1},
      {"= Topic =\nbody\n=  =\nmore\n", 3},
      {"= Topic =\nbody\n= topic =\nagain\n", 3},
      {"= Index =\nNowhere\n= Topic =\nbody\n", 2},
      {"= Index =\n= Topic =\n= INDEX =\n", 3},
      {"", 0},
      {"= Topic =", 0},
      {"==\n", 1},
      {"= A =\n=\n", 0},
  };
  for (const auto& c : kCases) {
    const auto file = ParseHelpFile(c.text);
    if (c.problemLine == 0) {
      EXPECT_TRUE(file.problems.empty()) << c.text;
      continue;
    }
    ASSERT_EQ(file.problems.size(), 1u) << c.text;
    EXPECT_EQ(file.problems[0].line, c.problemLine) << c.text;
  }
  // The topic after stray text is still there.
  EXPECT_EQ(ParseHelpFile(kCases[0].text).topics.at(0).blocks.at(0).text,
            "body");
}

TEST(HelpFile, TheProgramsHelpFileIsSound) {
  const char* source = std::getenv("VT_SOURCE");
  if (source == nullptr) GTEST_SKIP() << "VT_SOURCE is not set";
  const std::string path = std::string(source) + "/resources/Velto.hlp";
  if (!std::ifstream(path)) GTEST_SKIP() << path << " is not there yet";
  const auto file = vt::platform::LoadHelpFile(path);
  ASSERT_TRUE(file);
  for (const auto& problem : file->problems) {
    ADD_FAILURE() << path << ":" << problem.line << ": " << problem.text;
  }
  EXPECT_FALSE(file->topics.empty());
  EXPECT_FALSE(file->index.empty());
  for (const auto& topic : file->topics) {
    EXPECT_FALSE(topic.blocks.empty()) << topic.title;
  }
}

}  // namespace
