// Velto.hlp as the help viewer reads it: a well-formed file whose index
// leads to every topic, and which tells about every field, button, menu
// item and key of the program, so a control added without help shows up.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/help/helpfile.h"

namespace {

vt::platform::HelpFile LoadOurHelp() {
  const char* source = std::getenv("VT_SOURCE");
  EXPECT_NE(source, nullptr);
  auto file = vt::platform::LoadHelpFile(std::string(source ? source : ".") +
                                         "/resources/Velto.hlp");
  EXPECT_TRUE(file.has_value());
  return file.value_or(vt::platform::HelpFile{});
}

std::string AllText(const vt::platform::HelpFile& file) {
  std::string text;
  for (const auto& topic : file.topics) {
    text += topic.title + "\n";
    for (const auto& block : topic.blocks) text += block.text + "\n";
  }
  return text;
}

TEST(HelpFile, ParsesCleanlyAndItsIndexReachesEveryTopic) {
  auto file = LoadOurHelp();
  for (const auto& problem : file.problems) {
    ADD_FAILURE() << "line " << problem.line << ": " << problem.text;
  }
  ASSERT_FALSE(file.topics.empty());
  std::vector<bool> indexed(file.topics.size(), false);
  for (const auto& entry : file.index) {
    ASSERT_LT(entry.topic, file.topics.size());
    indexed[entry.topic] = true;
  }
  for (size_t i = 0; i < file.topics.size(); ++i) {
    EXPECT_TRUE(indexed[i]) << "not in the index: " << file.topics[i].title;
  }
}

TEST(HelpFile, TellsAboutEveryControlMenuItemAndKey) {
  std::string text = AllText(LoadOurHelp());
  // The labels and keys as the person sees them.
  const char* mentioned[] = {
      "Login:",
      "Name:",
      "Office",
      "Phone",
      "Home",
      "Set Away After",
      "Away Locked",
      "Plan:",
      "Away:",
      "Browse...",
      "OK",
      "Apply",
      "Cancel",
      "Finger",
      "Stop Server",
      "Help",
      "About",
      "Incoming Fingers",
      "Configure",
      "About Vellumtide",
      "Tab",
      "Shift+Tab",
      "Enter",
      "Esc",
      "F1",
      "Alt+A",
      "Alt+B",
      "Alt+C",
      "Alt+F",
      "Alt+L",
      "Alt+O",
      "Alt+R",
      "Alt+S",
      "Alt+W",
      "RFC 1288",
      "hidden or not logged-in",
      "~/.config/autostart",
      "setcap",
      "Uninstall.exe",
  };
  for (const char* phrase : mentioned) {
    EXPECT_NE(text.find(phrase), std::string::npos) << phrase;
  }
  EXPECT_EQ(text.find("Alt+H"), std::string::npos)
      << "there is no Alt+H; the help must not promise one";
}

}  // namespace
