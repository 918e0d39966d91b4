// The process's main: start the platform, hand the program its command
// line, and end the process with WinMain's result the moment it returns.
#include <string>

#include "../internal/platform.h"

namespace {

// The arguments after the program's name, joined as one command line. An
// argument that holds a blank or a quote, or is empty, is quoted the way
// the target runtime would split it again.
std::string CommandLine(int argc, char** argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = vt::platform::Utf8ToAnsi(argv[i]);
    if (!line.empty()) line += ' ';
    if (!argument.empty() &&
        argument.find_first_of(" \t\"") == std::string::npos) {
      line += argument;
      continue;
    }
    line += '"';
    std::size_t backslashes = 0;
    for (const char c : argument) {
      if (c == '\\') {
        ++backslashes;
        continue;
      }
      if (c == '"') backslashes = backslashes * 2 + 1;
      line.append(backslashes, '\\');
      backslashes = 0;
      line += c;
    }
    line.append(backslashes * 2, '\\');
    line += '"';
  }
  return line;
}

}  // namespace

int main(int argc, char** argv) {
  vt::platform::Startup();
  std::string commandLine = CommandLine(argc, argv);
  const int result = WinMain(GetModuleHandleA(nullptr), nullptr,
                             commandLine.data(), SW_SHOWDEFAULT);
  vt::platform::ExitProcessNow(result);
}
