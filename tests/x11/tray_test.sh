#!/bin/bash
# The icon never gets out of reach: with no tray host it sits in a small
# window of its own that takes a double click and shows the tip after half
# a second of rest; a tray host started later
# takes it in; when the host dies the window comes back, and a restarted
# host takes it in again; at shut-down the icon leaves the tray cleanly.
#
#   tray_test.sh OUT_DIR PROBE
set -u

if [ "${1:-}" != --inside ]; then
  for tool in Xvfb trayer xdotool; do
    command -v $tool >/dev/null || { echo "$tool is not installed"; exit 77; }
  done
  unshare -rn true 2>/dev/null || { echo "no private network namespace"; exit 77; }
  exec timeout 100 unshare -rn bash "$0" --inside "$@"
fi
shift
out=$1
PROBE=$2

ip link set lo up || exit 1
# shellcheck source=desktop.sh
. "$(dirname "$0")/desktop.sh"
trap stop_desktop EXIT
fail() {
  echo "FAIL: $*"
  cat "$desktop_work/velto.err"
  exit 1
}
icon_is() {
  "$PROBE" icon | grep -q "^$1"
}

start_x || exit 1
export VELLUMTIDE_ROOT=$desktop_work/root VELLUMTIDE_DRIVER=x11
mkdir -p "$VELLUMTIDE_ROOT"
(cd "$out" && exec ./Velto.exe) >"$desktop_work/velto.out" 2>"$desktop_work/velto.err" &
velto=$!
desktop_pids+=($velto)

wait_for icon_is fallback || fail "no fallback icon window without a tray host"
read -r state x y pid < <("$PROBE" icon)
xdotool mousemove "$x" "$y" click --repeat 2 --delay 60 1
wait_for "$PROBE" window "Vellumtide v" ||
  fail "a double click on the fallback window opened nothing"
xdotool key Escape
wait_for sh -c "! '$PROBE' window 'Vellumtide v'" || fail "Esc did not hide the window"

# Resting the pointer on the icon shows its tip after half a second, and
# not before: every look in the first 450 ms after the pointer arrived
# (the look starts after the arrival, so a slow machine only shortens the
# span looked at) finds none.
xdotool mousemove "$x" "$y"
arrived=$(date +%s%N)
while elapsed=$((($(date +%s%N) - arrived) / 1000000)); [ "$elapsed" -lt 450 ]; do
  "$PROBE" tip >/dev/null && fail "the tip showed after $elapsed ms"
  sleep 0.02
done
wait_for "$PROBE" tip || fail "no tip after resting on the icon"
tip=$("$PROBE" tip)
case $tip in "Velto (Status: "*) ;; *) fail "the tip reads '$tip'" ;; esac
xdotool mousemove 10 10
wait_for sh -c "! '$PROBE' tip" || fail "the tip stayed after the pointer left"

for round in "started late" restarted; do
  start_trayer || exit 1
  wait_for icon_is docked || fail "the icon did not dock when trayer $round"
  stop_trayer || fail "trayer did not go away"
  wait_for icon_is fallback || fail "no fallback window after trayer $round died"
done

# Shutting down removes the icon from the tray and leaves the host running.
start_trayer || exit 1
wait_for icon_is docked || fail "the icon did not dock before shut-down"
kill -TERM "$velto"
wait "$velto"
status=$?
[ "$status" = 0 ] || fail "Velto.exe ended with $status after SIGTERM"
wait_for sh -c "! '$PROBE' icon" || fail "the icon stayed after shut-down"
kill -0 "$trayer_pid" || fail "trayer did not survive the icon leaving"
echo PASS
