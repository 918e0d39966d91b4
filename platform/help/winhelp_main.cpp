// winhelp: the help viewer program that WinHelpA starts.
//
// Its command line is the request, the calling program's folder and the
// help file's name as the program gave it (see WinHelpA). It finds the file
// by the target's rules, shows its own message when the file is missing or
// unreadable, and otherwise shows the file in the viewer window until the
// person closes it or a HELP_QUIT arrives. When another viewer already
// shows the same file, the request goes to that one instead.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/help/winhelp.h"
#include "platform/internal/platform.h"

namespace {

constexpr char kCaption[] = "Windows Help";

// Splits a command line the way the target runtime does: blanks separate,
// double quotes group, backslashes escape only before a quote.
std::vector<std::string> Arguments(const char* line) {
  std::vector<std::string> arguments;
  const std::string text = line != nullptr ? line : "";
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i >= text.size()) break;
    std::string argument;
    bool quoted = false;
    while (i < text.size() && (quoted || (text[i] != ' ' && text[i] != '\t'))) {
      std::size_t backslashes = 0;
      while (i < text.size() && text[i] == '\\') {
        ++backslashes;
        ++i;
      }
      if (i < text.size() && text[i] == '"') {
        argument.append(backslashes / 2, '\\');
        if (backslashes % 2 == 1) {
          argument += '"';
        } else {
          quoted = !quoted;
        }
        ++i;
      } else {
        argument.append(backslashes, '\\');
        if (i < text.size() && (quoted || (text[i] != ' ' && text[i] != '\t')))
          argument += text[i++];
      }
    }
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

int Complain(const std::string& text) {
  MessageBoxA(nullptr, text.c_str(), kCaption, MB_OK | MB_ICONEXCLAMATION);
  return 1;
}

std::string NameOf(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  using namespace vt::platform;
  const auto arguments = Arguments(commandLine);
  const auto request =
      arguments.size() == 3 ? DecodeHelpRequest(arguments[0]) : std::nullopt;
  if (!request) {
    return Complain(
        "winhelp is started by programs that ask for help.\n"
        "Usage: winhelp REQUEST PROGRAM-FOLDER HELP-FILE");
  }
  const std::string& name = arguments[2];
  const auto found = FindHelpFile(name, AnsiToUtf8(arguments[1]));
  if (request->command == HELP_QUIT) {
    // A viewer that started since the caller looked is the one to close.
    if (const auto channel = HelpChannelPath(found.value_or(name)))
      SendHelpRequest(*channel, *request);
    return 0;
  }
  if (!found) return Complain("Cannot find the help file " + name + ".");
  auto file = LoadHelpFile(*found);
  if (!file) {
    return Complain("The help file " + name +
                    " cannot be read, or is not a help file.");
  }
  // The socket comes first, so whoever sees the window can reach it; a
  // viewer that started since the caller looked takes the request instead.
  const auto path = HelpChannelPath(*found);
  const HelpChannel channel = path ? OpenHelpChannel(*path) : HelpChannel{};
  if (channel.taken && SendHelpRequest(*path, *request)) return 0;
  HWND viewer = CreateHelpViewer(std::move(*file), Utf8ToAnsi(NameOf(*found)));
  if (viewer == nullptr) return Complain("The help viewer cannot start.");
  // Without its socket the viewer still works; later requests then start
  // another one.
  ServeHelpRequests(channel, viewer);
  if (request->command != HELP_INDEX) ApplyHelpRequest(viewer, *request);
  return RunHelpViewer(viewer);
}
