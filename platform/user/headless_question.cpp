// A message box with a choice when nobody sees the desktop.
//
// When standard input is a terminal, the question goes there: the caption,
// the text and the buttons, answered by a button's name or its first
// letter in any case; an empty line takes the default button, and the end
// of input takes Cancel or No where the box has one. The line is read on a
// thread of its own while the asking thread keeps answering what is sent
// to it, as it would with the box on the screen. Without a terminal, the
// default button is taken and said, so a log shows what was decided.
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "platform/user/user_internal.h"

namespace vt::user {

namespace {

// The button's name as a person types it: its label without the "&".
std::string NameOf(const MessageBoxButton& button) {
  std::string name;
  for (const char* p = button.label; *p; ++p) {
    if (*p != '&') name += *p;
  }
  return name;
}

std::string Trimmed(const std::string& line) {
  std::size_t b = line.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return std::string();
  std::size_t e = line.find_last_not_of(" \t\r\n");
  return line.substr(b, e - b + 1);
}

// The button answer names (0 when it names none).
int ButtonNamed(const MessageBoxLayout& layout, const std::string& answer) {
  for (const auto& button : layout.buttons) {
    std::string name = NameOf(button);
    if (platform::EqualNoCase(answer, name)) return button.id;
  }
  if (answer.size() == 1) {
    for (const auto& button : layout.buttons) {
      if (platform::LowerAscii(answer[0]) ==
          platform::LowerAscii(NameOf(button)[0]))
        return button.id;
    }
  }
  return 0;
}

std::string Choices(const MessageBoxLayout& layout) {
  std::string out;
  for (const auto& button : layout.buttons) {
    if (!out.empty()) out += "/";
    out += NameOf(button);
  }
  return out;
}

std::string DefaultName(const MessageBoxLayout& layout) {
  for (const auto& button : layout.buttons) {
    if (button.id == layout.defaultId) return NameOf(button);
  }
  return std::string();
}

// One line of standard input, read on its own thread; the asking thread
// waits processing sent messages.
struct LineReader {
  std::string line;
  bool ended = false;  // end of input before a line
  bool done = false;   // guarded by S().mutex
  std::shared_ptr<Queue> waiter;
};

void ReadLine(const std::shared_ptr<LineReader>& reader) {
  std::string line;
  bool ended = false;
  for (;;) {
    char c;
    ssize_t n = read(STDIN_FILENO, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ended = line.empty();
      break;
    }
    if (c == '\n') break;
    line += c;
  }
  Lock lock(S().mutex);
  reader->line = std::move(line);
  reader->ended = ended;
  reader->done = true;
  Wake(*reader->waiter);
}

// Reads one answer; false at the end of input.
bool ReadAnswer(std::string* answer) {
  auto reader = std::make_shared<LineReader>();
  reader->waiter = MyQueue();
  std::thread thread(ReadLine, reader);
  WaitProcessingSent([&] { return reader->done; });
  thread.join();
  *answer = reader->line;
  return !reader->ended;
}

}  // namespace

int AskWithoutDisplay(const MessageBoxLayout& layout) {
  const std::string choices = Choices(layout);
  const std::string byDefault = DefaultName(layout);
  if (!isatty(STDIN_FILENO)) {
    std::fprintf(stderr,
                 "Vellumtide: no terminal to ask \"%s\" (%s); taking the "
                 "default button, %s\n",
                 layout.caption.c_str(), choices.c_str(), byDefault.c_str());
    std::fflush(stderr);
    return layout.defaultId;
  }
  for (;;) {
    std::fprintf(stderr, "%s [%s, default %s]: ", layout.caption.c_str(),
                 choices.c_str(), byDefault.c_str());
    std::fflush(stderr);
    std::string line;
    if (!ReadAnswer(&line)) {
      int answer = EscapeAnswerOf(layout);
      if (!answer) answer = layout.defaultId;
      for (const auto& button : layout.buttons) {
        if (button.id == answer)
          std::fprintf(stderr, "\n(end of input: %s)\n",
                       NameOf(button).c_str());
      }
      std::fflush(stderr);
      return answer;
    }
    std::string answer = Trimmed(line);
    if (answer.empty()) return layout.defaultId;
    if (int id = ButtonNamed(layout, answer)) return id;
    std::fprintf(stderr, "Please answer %s.\n", choices.c_str());
  }
}

}  // namespace vt::user
