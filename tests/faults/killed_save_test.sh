#!/bin/bash
# A program killed with SIGKILL while it saves the profile over and over
# leaves every value old or new: the values a save reached hold the new
# generation, the rest the one before, and none is damaged or missing.
#
#   killed_save_test.sh SAVER [ROUNDS]
#
# Each round lets the saver run for a random moment (the check holds
# whenever the kill falls; the randomness only spreads the moments).
set -u
saver=$1
rounds=${2:-20}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export VELLUMTIDE_ROOT=$work/root VELLUMTIDE_DRIVER=null
unset DISPLAY VELLUMTIDE_ANSWERS
mkdir -p "$VELLUMTIDE_ROOT"

timeout 30 "$saver" once 1 > /dev/null || { echo "FAIL: the first save"; exit 1; }
generation=2
failures=0
for round in $(seq "$rounds"); do
  "$saver" loop "$generation" > /dev/null 2> "$work/err" &
  pid=$!
  sleep "0.$((RANDOM % 4 + 1))$((RANDOM % 10))"
  kill -KILL "$pid"
  wait "$pid" 2>/dev/null
  if ! printed=$(timeout 30 "$saver" check); then
    echo "FAIL: round $round: $printed"
    failures=$((failures + 1))
  fi
  newest=$(echo "$printed" | awk '{ print $2 }')
  generation=$((newest + 1))
done
echo "$rounds kills; newest generation $((generation - 1)); $failures damaged"
[ -s "$work/err" ] && { echo "FAIL: the saver said:"; cat "$work/err"; failures=$((failures + 1)); }
exit $((failures > 0))
