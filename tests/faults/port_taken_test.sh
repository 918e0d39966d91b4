#!/bin/bash
# Another program holds port 79: Velto.exe says "Cannot bind server to
# socket" under "Velto Error 04" and ends by itself with status 0, leaving
# nothing behind that would stop it from starting again: once the port is
# free, the next start serves finger.
#
#   port_taken_test.sh OUT_DIR
#
# Exit 77 without socat or an unprivileged network namespace.
set -u

if [ "${1:-}" != --inside ]; then
  if ! command -v socat >/dev/null || ! unshare -rn true 2>/dev/null; then
    echo "socat or an unprivileged network namespace is not available"
    exit 77
  fi
  exec timeout 50 unshare -rn bash "$0" --inside "$@"
fi
out=$2

. "$(dirname "$0")/../lib/port79.sh"
ip link set lo up || exit 1
work=$(mktemp -d)
taker=
pid=
trap '[ -n "$taker" ] && kill "$taker"; [ -n "$pid" ] && kill "$pid"; rm -rf "$work"' EXIT
export VELLUMTIDE_ROOT=$work/root VELLUMTIDE_DRIVER=null
unset DISPLAY VELLUMTIDE_ANSWERS
mkdir -p "$VELLUMTIDE_ROOT"

failures=0
socat -u TCP-LISTEN:79,reuseaddr,fork OPEN:/dev/null > /dev/null 2>&1 &
taker=$!
wait_for_port_79 "$taker" || { echo "FAIL: socat does not hold port 79"; exit 1; }

(cd "$out" && exec timeout 20 ./Velto.exe) > "$work/out" 2> "$work/err" < /dev/null
status=$?
printed=$(cat "$work/err")
if [ "$status" = 0 ] && [ "$printed" = "Velto Error 04: Cannot bind server to socket" ]; then
  echo "ok:   Error 04 and a clean end"
else
  echo "FAIL: status $status, standard error:"
  echo "$printed"
  failures=$((failures + 1))
fi

kill "$taker"; wait "$taker" 2>/dev/null; taker=
(cd "$out" && exec ./Velto.exe) > "$work/out" 2> "$work/err" < /dev/null &
pid=$!
if wait_for_port_79 "$pid" &&
   printf 'nobody\r\n' | timeout 10 socat -t 5 - TCP:127.0.0.1:79 | grep -qx 'nobody hidden or not logged-in.'; then
  echo "ok:   the next start serves finger"
else
  echo "FAIL: the next start does not serve finger"
  cat "$work/err"
  failures=$((failures + 1))
fi
kill -TERM "$pid"; wait "$pid"; pid=
exit $((failures > 0))
