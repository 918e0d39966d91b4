#!/bin/bash
# The hooks see the whole desktop: while the configuration window is
# hidden, pointer motion and a key press made with xdotool (XTEST, as a
# real keyboard and mouse) anywhere on the screen reach Velto.dll's hooks
# through the driver's desktop-wide input, and the idle time the finger
# service reports goes back to 0 minutes.
#
#   idle_test.sh OUT_DIR PROBE
#
# The idle clock must first grow past a minute, so this test waits about
# 62 seconds; it runs beside the others.
set -u

if [ "${1:-}" != --inside ]; then
  for tool in Xvfb xdotool; do
    command -v $tool >/dev/null || { echo "$tool is not installed"; exit 77; }
  done
  unshare -rn true 2>/dev/null || { echo "no private network namespace"; exit 77; }
  exec timeout 110 unshare -rn bash "$0" --inside "$@"
fi
shift
out=$1
PROBE=$2

ip link set lo up || exit 1
# shellcheck source=desktop.sh
. "$(dirname "$0")/desktop.sh"
# shellcheck source=../lib/port79.sh
. "$(dirname "$0")/../lib/port79.sh"
trap stop_desktop EXIT
fail() {
  echo "FAIL: $*"
  cat "$desktop_work/velto.err"
  exit 1
}
idle_line() {
  local reply
  exec 3<>/dev/tcp/127.0.0.1/79 || return 1
  printf '\r\n' >&3
  reply=$(timeout 5 cat <&3)
  exec 3<&-
  printf '%s\n' "$reply" | grep -m1 '^Idle:'
}

start_x || exit 1
export VELLUMTIDE_ROOT=$desktop_work/root VELLUMTIDE_DRIVER=x11
mkdir -p "$VELLUMTIDE_ROOT"
# The pointer rests away from where the fallback icon will appear.
xdotool mousemove 10 10
(cd "$out" && exec ./Velto.exe) >"$desktop_work/velto.out" 2>"$desktop_work/velto.err" &
velto=$!
desktop_pids+=($velto)
wait_for_port_79 "$velto" || fail "Velto.exe does not listen on port 79"

# Nobody touches the desktop for a minute.
for _ in $(seq 160); do
  line=$(idle_line)
  case $line in *"0 hours and 0 minutes"*) sleep 0.5 ;; *) break ;; esac
done
case $line in
  *"0 hours and 1 minute"*) ;;
  *) fail "after a minute untouched the reply says '$line'" ;;
esac

# Motion and a key press elsewhere on the desktop reset the idle clock.
xdotool mousemove 400 300 mousemove 420 320 key shift
start=$(date +%s%N)
for _ in $(seq 40); do
  line=$(idle_line)
  case $line in *"0 hours and 0 minutes"*) break ;; esac
  sleep 0.05
done
took=$((($(date +%s%N) - start) / 1000000))
case $line in
  *"0 hours and 0 minutes"*) ;;
  *) fail "desktop input did not reset the idle clock: '$line'" ;;
esac
# The hooks run within 50 ms of an event; a second leaves room for a
# loaded machine, and for the presence record's own update.
[ "$took" -le 1000 ] || fail "the reply showed 0 minutes only after $took ms"
echo "PASS (idle reset seen after $took ms)"
