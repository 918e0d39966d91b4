// The help-file parser (the format is described in helpfile.h).
//
// One pass over the lines: a heading closes the current block and topic; a
// blank line closes the current block; every other line either continues
// the open block or closes it and opens one of its own kind. The index is
// collected as raw entries and resolved to topics at the end, when every
// title is known.
#include "platform/help/helpfile.h"

#include <cctype>
#include <fstream>

#include "platform/internal/text.h"

namespace vt::platform {
namespace {

constexpr std::size_t kMaxHelpFileSize = 4u << 20;
constexpr std::size_t kVerbatimIndent = 4;

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() &&
         std::isspace(static_cast<unsigned char>(text.front())))
    text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
    text.remove_suffix(1);
  return text;
}

// "= Title =" gives the title (possibly empty); anything else nullopt.
std::optional<std::string_view> HeadingTitle(std::string_view line) {
  const std::string_view trimmed = Trim(line);
  if (line.empty() || line.front() != '=' || trimmed.size() < 2 ||
      trimmed.back() != '=') {
    return std::nullopt;
  }
  return Trim(trimmed.substr(1, trimmed.size() - 2));
}

std::size_t Indent(std::string_view line) {
  std::size_t columns = 0;
  for (const char c : line) {
    if (c == ' ') {
      ++columns;
    } else if (c == '\t') {
      columns += kVerbatimIndent;
    } else {
      break;
    }
  }
  return columns;
}

// The line with up to four columns of leading blanks removed.
std::string_view Unindent(std::string_view line) {
  std::size_t columns = 0;
  std::size_t at = 0;
  while (at < line.size() && columns < kVerbatimIndent && IsSpace(line[at])) {
    columns += line[at] == '\t' ? kVerbatimIndent : 1;
    ++at;
  }
  return line.substr(at);
}

struct RawIndexEntry {
  std::string keyword;
  std::string title;
  int line = 0;
};

class Parser {
 public:
  HelpFile Run(std::string_view text) {
    int number = 0;
    while (!text.empty()) {
      const auto end = text.find('\n');
      std::string_view line = text.substr(0, end);
      text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      Line(line, ++number);
    }
    CloseBlock();
    ResolveIndex();
    return std::move(file_);
  }

 private:
  void Line(std::string_view line, int number) {
    if (const auto title = HeadingTitle(line)) {
      Heading(*title, number);
      return;
    }
    const bool blank = Trim(line).empty();
    if (inIndex_) {
      if (!blank) IndexLine(Trim(line), number);
      return;
    }
    if (topic_ == nullptr) {
      if (!blank) Problem(number, "text before the first topic");
      return;
    }
    if (blank) {
      // A verbatim block keeps its blank lines when more of it follows.
      if (hasOpen_ && open_.kind == HelpBlockKind::Verbatim) {
        ++pendingBlankLines_;
      } else {
        CloseBlock();
      }
      return;
    }
    const std::size_t indent = Indent(line);
    const std::string_view words = Trim(line);
    if (hasOpen_ && open_.kind == HelpBlockKind::ListItem && indent > 0 &&
        indent < kVerbatimIndent + 2 && pendingBlankLines_ == 0) {
      Append(words);
    } else if (indent >= kVerbatimIndent) {
      Verbatim(Unindent(line));
    } else if (words.size() >= 2 && words.substr(0, 2) == "- ") {
      Open(HelpBlockKind::ListItem);
      Append(Trim(words.substr(2)));
    } else {
      if (!hasOpen_ || open_.kind != HelpBlockKind::Paragraph) {
        Open(HelpBlockKind::Paragraph);
      }
      Append(words);
    }
  }

  void Heading(std::string_view title, int number) {
    CloseBlock();
    topic_ = nullptr;
    inIndex_ = false;
    if (EqualNoCase(title, "Index")) {
      if (sawIndex_) Problem(number, "a second index");
      sawIndex_ = true;
      inIndex_ = true;
      return;
    }
    if (title.empty()) Problem(number, "a topic without a title");
    if (!title.empty() && file_.FindTopic(title)) {
      Problem(number, "a second topic titled \"" + std::string(title) + "\"");
    }
    file_.topics.push_back(HelpTopic{std::string(title), {}, number});
    topic_ = &file_.topics.back();
  }

  void IndexLine(std::string_view line, int number) {
    RawIndexEntry entry;
    entry.line = number;
    if (const auto bar = line.find('|'); bar != std::string_view::npos) {
      entry.keyword = Trim(line.substr(0, bar));
      entry.title = Trim(line.substr(bar + 1));
    } else {
      entry.keyword = line;
      entry.title = line;
    }
    rawIndex_.push_back(std::move(entry));
  }

  void Verbatim(std::string_view line) {
    if (!hasOpen_ || open_.kind != HelpBlockKind::Verbatim) {
      Open(HelpBlockKind::Verbatim);
    } else {
      open_.text.append(pendingBlankLines_ + 1, '\n');
    }
    pendingBlankLines_ = 0;
    open_.text.append(line);
  }

  void Open(HelpBlockKind kind) {
    CloseBlock();
    open_ = HelpBlock{};
    open_.kind = kind;
    hasOpen_ = true;
  }

  void Append(std::string_view words) {
    if (!open_.text.empty()) open_.text.push_back(' ');
    open_.text.append(words);
  }

  void CloseBlock() {
    if (hasOpen_ && topic_ != nullptr)
      topic_->blocks.push_back(std::move(open_));
    open_ = HelpBlock{};
    hasOpen_ = false;
    pendingBlankLines_ = 0;
  }

  void ResolveIndex() {
    if (!sawIndex_) {
      for (std::size_t i = 0; i < file_.topics.size(); ++i) {
        file_.index.push_back(HelpIndexEntry{file_.topics[i].title, i});
      }
      return;
    }
    for (const auto& entry : rawIndex_) {
      if (const auto topic = file_.FindTopic(entry.title)) {
        file_.index.push_back(HelpIndexEntry{entry.keyword, *topic});
      } else {
        Problem(entry.line, "the index names no topic \"" + entry.title + "\"");
      }
    }
  }

  void Problem(int line, std::string text) {
    file_.problems.push_back(HelpProblem{line, std::move(text)});
  }

  HelpFile file_;
  // topics is not added to while a pointer into it is held: a new topic
  // replaces topic_ at once.
  HelpTopic* topic_ = nullptr;
  // The block being filled, when hasOpen_; a plain member rather than an
  // optional, which g++ 12 at -O3 wrongly thinks may be read uninitialised.
  HelpBlock open_;
  bool hasOpen_ = false;
  int pendingBlankLines_ = 0;
  bool inIndex_ = false;
  bool sawIndex_ = false;
  std::vector<RawIndexEntry> rawIndex_;
};

}  // namespace

std::optional<std::size_t> HelpFile::FindTopic(std::string_view title) const {
  for (std::size_t i = 0; i < topics.size(); ++i) {
    if (EqualNoCase(topics[i].title, title)) return i;
  }
  return std::nullopt;
}

HelpFile ParseHelpFile(std::string_view text) { return Parser().Run(text); }

std::optional<HelpFile> LoadHelpFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::string text;
  char buffer[8192];
  while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
    text.append(buffer, static_cast<std::size_t>(file.gcount()));
    if (text.size() > kMaxHelpFileSize) return std::nullopt;
  }
  return ParseHelpFile(text);
}

}  // namespace vt::platform
