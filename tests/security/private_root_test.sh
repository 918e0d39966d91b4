#!/bin/bash
# The daemon keeps its system root to its owner: under a umask that lets
# everyone read and write, the root Velto.exe makes is 0700 and the registry
# 0600 after start-up, and after the reg tool has written to it.
#
#   private_root_test.sh OUT_DIR
#
# Runs in a private network namespace (port 79). Exit 77 when this machine
# cannot give one.
set -u

if [ "${1:-}" != --inside ]; then
  unshare -rn true 2>/dev/null || { echo "no unprivileged network namespace"; exit 77; }
  exec timeout 60 unshare -rn bash "$0" --inside "$@"
fi
out=$2

. "$(dirname "$0")/../lib/port79.sh"
ip link set lo up || exit 1
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
export VELLUMTIDE_ROOT=$work/root VELLUMTIDE_DRIVER=null
unset DISPLAY VELLUMTIDE_ANSWERS

failures=0
# check WHAT PATH MODE
check() {
  local mode
  mode=$(stat -c %a "$2" 2>/dev/null)
  if [ "$mode" = "$3" ]; then
    echo "ok:   $1 is $3"
  else
    echo "FAIL: $1 is ${mode:-missing}, not $3"
    failures=$((failures + 1))
  fi
}

umask 000
(cd "$out" && exec ./Velto.exe) > "$work/velto.out" 2> "$work/velto.err" &
pid=$!
wait_for_port_79 "$pid" || { echo "FAIL: no daemon on port 79"; cat "$work/velto.err"; exit 1; }
check "the system root after start-up" "$VELLUMTIDE_ROOT" 700
check "the registry after start-up" "$VELLUMTIDE_ROOT/registry.db" 600
"$out/reg" add 'HKCU\Software\Tollerbay\Vellumtide' /v Office /t REG_SZ /d "Room 4" /f >/dev/null ||
  { echo "FAIL: reg add"; failures=$((failures + 1)); }
check "the registry after a write" "$VELLUMTIDE_ROOT/registry.db" 600
# Whatever else the root holds (journals, the run folder) is the owner's.
others=$(find "$VELLUMTIDE_ROOT" -perm /077 -printf '%m %p\n')
if [ -n "$others" ]; then
  echo "FAIL: open to others:"
  echo "$others"
  failures=$((failures + 1))
else
  echo "ok:   nothing in the root is open to others"
fi
kill -TERM "$pid"
wait "$pid"
pid=
exit $((failures > 0))
