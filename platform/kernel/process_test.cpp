#include <gtest/gtest.h>
#include <signal.h>

#include <string>

#include "platform/internal/platform.h"
#include "platform/kernel/test_child.h"

namespace {

std::string Probe() {
  return vt::platform::ExecutableDirectory() + "/kernel_entry_probe";
}

TEST(Entry, HandsWinMainTheCommandLineAndEndsWithItsResult) {
  // Columns: the arguments after the program's name, the command line
  // WinMain must see.
  const struct {
    std::vector<std::string> args;
    std::string line;
  } cases[] = {
      {{"show"}, "show"},
      {{"show", "a", "b"}, "show a b"},
      {{"show", "two words", ""}, "show \"two words\" \"\""},
      {{"show", "say \"hi\""}, "show \"say \\\"hi\\\"\""},
      {{"show", "caf\xC3\xA9"}, "show caf\xE9"},  // UTF-8 arrives in ANSI
  };
  for (const auto& c : cases) {
    std::vector<std::string> argv{Probe()};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const auto result = vt::testchild::Run(argv);
    EXPECT_EQ(result.status, 7) << result.err;
    std::string hex;
    for (const char ch : c.line) {
      char two[3];
      std::snprintf(two, sizeof two, "%02X", static_cast<unsigned char>(ch));
      hex += two;
    }
    // The text after the line end was never followed by one: it arrives
    // only because the process flushes its streams as it ends.
    EXPECT_EQ(result.out, hex + "\n[" + c.line + "]");
  }
}

TEST(Entry, ExitProcessFromAnyThreadEndsTheProcess) {
  const auto result = vt::testchild::Run({Probe(), "thread", "5"});
  EXPECT_EQ(result.status, 5) << result.err;
}

TEST(Entry, TerminationSignalsAreTakenByThePlatformNotFatal) {
  vt::testchild::Child child({Probe(), "signals"});
  ASSERT_TRUE(child.started());
  ASSERT_TRUE(child.WaitForOutput("waiting"));
  for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGPIPE}) {
    ASSERT_EQ(kill(child.pid(), signal), 0);
  }
  const auto result = child.Finish();
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "waiting\nsurvived");
}

}  // namespace
