#!/bin/bash
# The README's route to port 79: a Velto.exe given cap_net_bind_service
# starts and serves finger as a user who is not root.
#
#   capability_test.sh OUT_DIR
#   capability_test.sh --installed ROOT CONTROL_DIR
#
# The first form copies the output folder where another user can reach it
# (the checkout may not be) and grants the capability with setcap, as the
# README says. The second takes a package unpacked into ROOT (reachable by
# others) with its maintainer scripts in CONTROL_DIR, grants it by running
# the post-install, and starts the daemon through the launcher.
#
# The daemon runs as nobody, in network and process namespaces made by root,
# on the real port 79, and Debian's finger asks it. Before the capability is
# granted the same daemon must fail to bind, or the namespace would be
# proving nothing. Exit 0 when all holds, 1 when not, 77 when this machine
# cannot set a file capability or make a network namespace (the reason is
# printed).
set -u

skip() {
  echo "skipped: $*"
  exit 77
}

if [ "${1:-}" != --inside ]; then
  [ "$(id -u)" = 0 ] || skip "setting a capability and making a namespace need root"
  for tool in setcap getcap setpriv unshare finger ip ss; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
  done
  # A process namespace as well, so that whatever the test starts ends with
  # it, whatever happens.
  unshare -n --pid --fork --mount-proc true 2>/dev/null ||
    skip "this machine gives no network and process namespaces"
  getent passwd nobody >/dev/null || skip "there is no user nobody"
  # File capabilities count only where set-user-ID programs may run.
  base=
  for candidate in /tmp /var/tmp; do
    if ! findmnt -n -o OPTIONS -T "$candidate" | tr , '\n' | grep -qx nosuid; then
      base=$candidate
      break
    fi
  done
  [ -n "$base" ] || skip "/tmp and /var/tmp are mounted nosuid"
  work=$(mktemp -d "$base/vt-capability.XXXXXX") || exit 1
  trap 'rm -rf "$work"' EXIT
  chmod 755 "$work"
  mkdir "$work/root" && chown nobody "$work/root" || exit 1
  # Whether this file system keeps file capabilities at all, so that a grant
  # that leaves none below is the grant's fault.
  cp /bin/true "$work/probe" || exit 1
  setcap cap_net_bind_service=+ep "$work/probe" 2>/dev/null ||
    skip "$base keeps no file capabilities"
  rm -f "$work/probe"
  if [ "${1:-}" = --installed ]; then
    root=${2:?usage: capability_test.sh --installed ROOT CONTROL_DIR}
    control=${3:?usage: capability_test.sh --installed ROOT CONTROL_DIR}
    set -- "$work" "$root/usr/lib/vellumtide/Velto.exe" "$root/usr/bin/vellumtide" \
      "DPKG_ROOT=$root sh $control/postinst configure"
  else
    out=${1:?usage: capability_test.sh OUT_DIR}
    mkdir "$work/out" && chmod 755 "$work/out" || exit 1
    # The program's files, and any shared library the folder holds beside
    # them (the benchmarks are left behind: they are large and not run).
    for file in "$out"/Velto.exe "$out"/Velto.dll "$out"/Velto.hlp "$out"/reg "$out"/*.so; do
      [ -e "$file" ] || continue
      cp "$file" "$work/out/" || exit 1
    done
    set -- "$work" "$work/out/Velto.exe" "$work/out/Velto.exe" \
      "setcap cap_net_bind_service=+ep $work/out/Velto.exe"
  fi
  timeout 100 unshare -n --pid --fork --mount-proc bash "$0" --inside "$@"
  exit $?
fi

# Inside: WORK PROGRAM COMMAND GRANT. PROGRAM is the Velto.exe that gets the
# capability, COMMAND what a person runs, GRANT the shell command that gives
# it.
work=$2 program=$3 command=$4 grant=$5
ip link set lo up || exit 1
# shellcheck source=../lib/port79.sh
. "$(dirname "$0")/../lib/port79.sh"

# run_as_nobody: starts COMMAND as nobody, headless, with its settings in
# WORK; sets pid.
run_as_nobody() {
  setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups \
    env -i PATH=/usr/bin:/bin VELLUMTIDE_DRIVER=null \
    VELLUMTIDE_ROOT="$work/root" "$command" \
    > "$work/daemon.out" 2> "$work/daemon.err" < /dev/null &
  pid=$!
}

# end_within SECONDS: waits for the daemon to end, killing it when it has not
# after SECONDS; sets status to its exit status, and fails when it was killed.
end_within() {
  (sleep "$1"; kill -KILL "$pid") >/dev/null 2>&1 &
  local watchdog=$!
  wait "$pid"
  status=$?
  # The watchdog's sleep goes too: it would hold the test's output open.
  pkill -KILL -P "$watchdog"
  kill -KILL "$watchdog" 2>/dev/null
  wait "$watchdog" 2>/dev/null
  [ "$status" != 137 ]
}

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Without the capability nobody may not bind port 79 here: the daemon says
# so and ends.
run_as_nobody
if end_within 20; then
  grep -q "Velto Error 04" "$work/daemon.err" ||
    fail "without the capability, no Velto Error 04: $(cat "$work/daemon.err")"
else
  fail "without the capability the daemon still ran after 20 s"
fi

echo "granting: $grant"
sh -c "$grant" || fail "granting the capability failed"
getcap "$program" | grep -q cap_net_bind_service || fail "$program has no capability after the grant"

run_as_nobody
if ! wait_for_port_79 "$pid"; then
  fail "with the capability the daemon does not listen on port 79"
  cat "$work/daemon.out" "$work/daemon.err"
  kill -KILL "$pid" 2>/dev/null
  exit 1
fi
echo "ok:   it listens on port 79"

# It is nobody, with the one capability and no other.
uid=$(awk '/^Uid:/ { print $3 }' "/proc/$pid/status")
effective=$(awk '/^CapEff:/ { print $2 }' "/proc/$pid/status")
[ "$uid" = "$(id -u nobody)" ] || fail "the daemon runs as uid $uid"
[ "$effective" = 0000000000000400 ] || fail "the daemon's capabilities are $effective"

reply=$(timeout 20 finger @127.0.0.1 2>&1)
if printf '%s\n' "$reply" | grep -q '^Login: *nobody$'; then
  echo "ok:   finger @127.0.0.1 answers for nobody"
else
  fail "finger @127.0.0.1 printed: $reply"
fi

kill -TERM "$pid"
if end_within 20; then
  if [ "$status" = 0 ]; then
    echo "ok:   SIGTERM ends it with 0"
  else
    fail "SIGTERM ended it with $status"
  fi
else
  fail "the daemon did not end within 20 s of SIGTERM"
fi
if grep -q "Velto Error" "$work/daemon.err"; then
  fail "the daemon reported an error: $(cat "$work/daemon.err")"
fi
[ "$failures" = 0 ]
