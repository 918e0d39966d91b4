// End to end, as a person would try it: a profile set with the reg command,
// the daemon started by tools/run-daemon (what `make run` runs) from the
// output folder, and Debian's finger client asking for it on the real port
// 79, all inside a private network namespace where binding 79 needs no
// privileges.
#include <gtest/gtest.h>

#include <string>

#include "child_process.h"
#include "vttest.h"

namespace {

using namespace std::chrono_literals;

bool NamespacesWork() {
  vt::proctest::ChildOptions probe;
  probe.argv = {"/usr/bin/unshare", "-rn", "/bin/true"};
  vt::proctest::ChildExit end =
      vt::proctest::RunToEnd(probe, nullptr, nullptr, 10s);
  return end.exited && end.exitCode == 0;
}

// The script that runs inside the namespace. It prints the daemon's exit
// status last, so the test sees whether SIGTERM ended it cleanly.
constexpr const char* kScript = R"SH(
set -u
ip link set lo up
key='HKCU\Software\Tollerbay\Vellumtide'
printf 'Sailing on Thursday.\r\nBack on Monday.\r\n' > "$VELLUMTIDE_ROOT/plan.txt"
"$VT_OUT/reg" add "$key" /v "Real Name" /t REG_SZ /d "Ada Example" /f >/dev/null || exit 10
"$VT_OUT/reg" add "$key" /v "Office" /t REG_SZ /d "Room 4.17" /f >/dev/null || exit 10
"$VT_OUT/reg" add "$key" /v "Office Phone" /t REG_SZ /d "555-0142" /f >/dev/null || exit 10
"$VT_OUT/reg" add "$key" /v "Home" /t REG_SZ /d "Harbour Street 3" /f >/dev/null || exit 10
"$VT_OUT/reg" add "$key" /v "Plan File" /t REG_SZ /d "$VELLUMTIDE_ROOT/plan.txt" /f >/dev/null || exit 10
"$VT_SOURCE/tools/run-daemon" "$VT_OUT" 2>"$VELLUMTIDE_ROOT/daemon.err" &
daemon=$!
tries=0
until finger @127.0.0.1 >/dev/null 2>&1; do
  tries=$((tries + 1))
  [ $tries -lt 200 ] || { cat "$VELLUMTIDE_ROOT/daemon.err" >&2; exit 11; }
  sleep 0.05
done
login=$(finger @127.0.0.1 | sed -n 's/^Login: *//p')
echo "=== empty"
finger @127.0.0.1
echo "=== login"
finger -l "$login@127.0.0.1"
echo "=== other"
finger nobody-here@127.0.0.1
kill -TERM $daemon
wait $daemon
echo "=== daemon exit $?"
)SH";

TEST(EndToEnd, RegProfileIsWhatDebianFingerPrints) {
  if (!NamespacesWork()) GTEST_SKIP() << "no private network namespaces here";
  vt::testing::ScopedSystemRoot root;
  vt::proctest::ChildOptions options;
  options.argv = {"/usr/bin/unshare", "-rn", "/bin/sh", "-c", kScript};
  options.environment = {{"VELLUMTIDE_ROOT", root.path()},
                         {"VELLUMTIDE_DRIVER", "null"}};
  options.unset = {"DISPLAY", "VELLUMTIDE_ANSWERS"};
  std::string out;
  std::string err;
  vt::proctest::ChildExit end =
      vt::proctest::RunToEnd(options, &out, &err, 60s);
  ASSERT_TRUE(end.exited) << err;
  ASSERT_EQ(end.exitCode, 0) << out << err;

  // Inside the namespace the user is root, so the login is root's name.
  const std::string profile =
      "Idle:      0 hours and 0 minutes\n"
      "Real Name: Ada Example\n"
      "Office:    Room 4.17, Phone: 555-0142\n"
      "Home:      Harbour Street 3, Phone: ?~????\n"
      "\n"
      "Plan:\n"
      "Sailing on Thursday.\n"
      "Back on Monday.\n"
      "\n";
  const std::string expected = "=== empty\nLogin:     root\n" + profile +
                               "=== login\nLogin:     root\n" + profile +
                               "=== other\nnobody-here hidden or not "
                               "logged-in.\n" +
                               "=== daemon exit 0\n";
  EXPECT_EQ(out, expected) << err;
}

}  // namespace
