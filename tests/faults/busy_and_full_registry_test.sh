#!/bin/bash
# Saving the profile when the registry cannot take it at once, through the
# configuration window's Apply as a person saves:
#   - another process holds a write transaction for 2 s: the save waits and
#     succeeds, or says "Cannot save the settings"; it is never lost without
#     a word;
#   - another process holds it for longer than any wait may last: the save
#     ends within a bound and says "Cannot save the settings";
#   - the disk is full (a small tmpfs as the system root): the save says
#     "Cannot save the settings" and every value stored before is still
#     there, old or new; once there is room again, a save succeeds.
#
#   busy_and_full_registry_test.sh SAVER
#
# Exit 77 without sqlite3 or private user and mount namespaces.
set -u

if [ "${1:-}" != --inside ]; then
  if ! command -v sqlite3 >/dev/null || ! unshare -rm true 2>/dev/null; then
    echo "sqlite3 or private user and mount namespaces are not available"
    exit 77
  fi
  exec timeout 110 unshare -rm bash "$0" --inside "$@"
fi
saver=$2

work=$(mktemp -d)
holder=
trap '[ -n "$holder" ] && kill "$holder" 2>/dev/null; exec 5>&-; umount "$work/root" 2>/dev/null; rm -rf "$work"' EXIT
export VELLUMTIDE_ROOT=$work/root VELLUMTIDE_DRIVER=null
unset DISPLAY VELLUMTIDE_ANSWERS
mkdir -p "$VELLUMTIDE_ROOT"
database=$VELLUMTIDE_ROOT/registry.db
message="Velto Error: Cannot save the settings"

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# save GEN: one save; sets reported. check GEN: sets saved_all (every value
# at GEN); fails when a value is damaged or missing.
save() {
  local out
  out=$(timeout 60 "$saver" once "$1" 2> "$work/err")
  [ "$out" = saved ] || fail "the saver did not finish: $out $(cat "$work/err")"
  reported=no
  grep -qF "$message" "$work/err" && reported=yes
  echo "$reported" > "$work/reported"
}
check() {
  local printed
  printed=$(timeout 30 "$saver" check) || fail "a value is damaged: $printed"
  saved_all=no
  [ "$printed" = "generations: $(printf "$1 %.0s" 1 2 3 4 5 6 7 8 | sed 's/ $//')" ] && saved_all=yes
  echo "      save $1: $printed, reported: $reported"
}

# hold: another process takes a write transaction on the registry and keeps
# it until release; returns once it holds it.
hold() {
  rm -f "$work/feed" "$work/held"
  mkfifo "$work/feed"
  sqlite3 "$database" < "$work/feed" > "$work/held" &
  holder=$!
  exec 5> "$work/feed"
  echo "BEGIN IMMEDIATE; SELECT 'held';" >&5
  local _
  for _ in $(seq 200); do
    grep -q held "$work/held" 2>/dev/null && return 0
    sleep 0.05
  done
  fail "the holder never held the registry"
}
release() {
  echo 'COMMIT;' >&5
  exec 5>&-
  wait "$holder"
  holder=
}

save 1
check 1
[ "$saved_all" = yes ] && [ "$reported" = no ] || fail "a plain save"

hold
save 2 &
saving=$!
sleep 2
release
wait "$saving"
reported=$(cat "$work/reported")
check 2
if [ "$saved_all" = yes ] && [ "$reported" = no ]; then
  echo "ok:   a save behind a 2 s transaction waited and succeeded"
elif [ "$reported" = yes ]; then
  echo "ok:   a save behind a 2 s transaction was reported"
else
  fail "a save behind a 2 s transaction was lost without a word"
fi

hold
start=$SECONDS
save 4
release
check 4
if [ "$reported" = yes ] && [ "$saved_all" = no ]; then
  echo "ok:   a save behind a held transaction was reported after $((SECONDS - start)) s"
else
  fail "a save behind a held transaction: saved $saved_all, reported $reported"
fi

# The same store on a small tmpfs, filled up after a first save.
cp -a "$VELLUMTIDE_ROOT" "$work/saved"
rm -rf "${VELLUMTIDE_ROOT:?}"/*
mount -t tmpfs -o size=1m tmpfs "$VELLUMTIDE_ROOT" || fail "no tmpfs"
cp -a "$work/saved/." "$VELLUMTIDE_ROOT/"
chmod 700 "$VELLUMTIDE_ROOT"
save 5
check 5
[ "$saved_all" = yes ] || fail "a save with room"
dd if=/dev/zero of="$VELLUMTIDE_ROOT/filler" bs=1k 2>/dev/null
save 6
check 6
if [ "$reported" = yes ] && [ "$saved_all" = no ]; then
  echo "ok:   a save on a full disk was reported and lost nothing stored"
else
  fail "a save on a full disk: saved $saved_all, reported $reported"
fi
rm -f "$VELLUMTIDE_ROOT/filler"
save 8
check 8
if [ "$saved_all" = yes ] && [ "$reported" = no ]; then
  echo "ok:   with room again a save succeeds"
else
  fail "a save with room again"
fi
exit $((failures > 0))
