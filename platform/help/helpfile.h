// The platform's help files, and the parser the help viewer reads them with.
//
// A help file is plain text in the ANSI code page (Windows-1252), with lines
// ending in LF or CR LF, written to be readable as it stands:
//
//   = Index =                        the index: one entry per line, each the
//   What the program is              title of a topic, or "keyword | Title"
//   Quitting | Stopping the program  for a keyword that leads to the topic
//                                    with another title
//   = What the program is =          a line "= Title =" begins a topic
//   Lines of text are joined with    a paragraph: lines up to a blank line,
//   single spaces into paragraphs.   joined and re-flowed by the viewer
//
//   - A line beginning "- " is a     a list item; lines indented under it
//     list item.                     continue the item
//
//       finger bob@yourhost          four or more spaces (or a tab): kept
//                                    line for line, as for examples and key
//                                    tables; blank lines between such lines
//                                    stay inside the block
//
// The topic titled "Index" (in any case) is not a topic to read but the
// index the help viewer opens with HELP_INDEX; without one, the index lists
// every topic by its title. The first other topic is the contents. Titles
// are matched without regard to case. Text before the first topic, an empty
// or repeated title and an index entry that names no topic are reported as
// problems; the parser still returns everything else, so a viewer can show a
// damaged file.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vt::platform {

enum class HelpBlockKind { Paragraph, ListItem, Verbatim };

struct HelpBlock {
  HelpBlockKind kind = HelpBlockKind::Paragraph;
  // Paragraphs and list items: one line of words, without the "- ".
  // Verbatim blocks: the lines joined by '\n', four columns of indent taken
  // off.
  std::string text;
};

struct HelpTopic {
  std::string title;
  std::vector<HelpBlock> blocks;
  int line = 0;  // of its heading, counted from 1
};

struct HelpIndexEntry {
  std::string keyword;
  std::size_t topic = 0;  // into HelpFile::topics
};

struct HelpProblem {
  int line = 0;
  std::string text;
};

struct HelpFile {
  std::vector<HelpTopic> topics;  // without the index
  std::vector<HelpIndexEntry> index;
  std::vector<HelpProblem> problems;

  // The topic of that title, matched without regard to case.
  std::optional<std::size_t> FindTopic(std::string_view title) const;
};

HelpFile ParseHelpFile(std::string_view text);

// Reads and parses the file at path (UTF-8); nullopt when it cannot be read
// or is larger than any help file should be (4 MiB).
std::optional<HelpFile> LoadHelpFile(const std::string& path);

}  // namespace vt::platform
