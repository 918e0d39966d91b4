#!/bin/bash
# Debian's finger client against the finger service on port 79 of a
# private network namespace, in every form the client sends a request.
#
#   finger_client_test.sh SERVER OUT_DIR
#
# SERVER is the test server program; OUT_DIR holds the reg tool. Exit 0 when
# every form prints what it should, 1 when one does not, 77 when this machine
# cannot give an unprivileged network namespace.
set -u

if [ "${1:-}" != --inside ]; then
  if ! command -v finger >/dev/null || ! unshare -rn true 2>/dev/null; then
    echo "finger or an unprivileged network namespace is not available"
    exit 77
  fi
  exec timeout 100 unshare -rn bash "$0" --inside "$@"
fi
shift
server=$1
out=$2

ip link set lo up || exit 1
work=$(mktemp -d)
server_pid=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export VELLUMTIDE_ROOT=$work/root VELLUMTIDE_DRIVER=null
mkdir -p "$VELLUMTIDE_ROOT"

key='HKCU\Software\Tollerbay\Vellumtide'
printf 'Gone sailing.\r\nBack soon.\r\n' > "$work/plan.txt"
reg() { "$out/reg" "$@" >/dev/null || { echo "reg $* failed"; exit 1; }; }
reg add "$key" /v "Real Name" /t REG_SZ /d "Bob Smith" /f
reg add "$key" /v "Office" /t REG_SZ /d "Room 4" /f
reg add "$key" /v "Office Phone" /t REG_SZ /d "555-1234" /f
reg add "$key" /v "Plan File" /t REG_SZ /d "$work/plan.txt" /f

"$server" > "$work/server.out" 2> "$work/server.err" &
server_pid=$!
# shellcheck source=../lib/port79.sh
. "$(dirname "$0")/../lib/port79.sh"
if ! wait_for_port_79 "$server_pid"; then
  echo "the server does not listen on port 79"
  cat "$work/server.out" "$work/server.err"
  exit 1
fi
login=$(sed -n 's/^login: //p' "$work/server.out")
if [ -z "$login" ]; then
  echo "the server did not tell its login name"
  exit 1
fi

full="Login:     $login
Idle:      0 hours and 0 minutes
Real Name: Bob Smith
Office:    Room 4, Phone: 555-1234

Plan:
Gone sailing.
Back soon.

"
failures=0
# check "ARGUMENTS" EXPECTED: runs finger with ARGUMENTS (split on blanks).
check() {
  local printed
  # shellcheck disable=SC2086
  printed=$(timeout 20 finger $1 2>&1; echo x)
  printed=${printed%x}
  if [ "$printed" == "$2" ]; then
    echo "ok:   finger $1"
  else
    echo "FAIL: finger $1"
    diff <(printf '%s' "$2") <(printf '%s' "$printed")
    failures=$((failures + 1))
  fi
}
check "@127.0.0.1" "$full"
check "-l @127.0.0.1" "$full"
check "$login@127.0.0.1" "$full"
check "-l $login@127.0.0.1" "$full"
check "other@127.0.0.1" "other hidden or not logged-in.
"
check "x@y@127.0.0.1" "x@y hidden or not logged-in.
"

kill -TERM "$server_pid"
wait "$server_pid"
status=$?
server_pid=
if [ "$status" != 0 ]; then
  echo "FAIL: the server ended with $status"
  cat "$work/server.err"
  failures=$((failures + 1))
fi
# Every connection came from 127.0.0.1, which has a name here.
name=$(getent hosts 127.0.0.1 | awk '{print $2; exit}')
entries=$(grep -c '^log: ' "$work/server.out")
well_formed=$(grep -cE "^log: ${name//./\\.} \(127\.0\.0\.1\): [0-2][0-9]:[0-5][0-9],[0-9]{1,2}/[0-9]{1,2}$" "$work/server.out")
if [ "$entries" != 6 ] || [ "$well_formed" != 6 ]; then
  echo "FAIL: expected 6 log entries for $name, got:"
  grep '^log: ' "$work/server.out"
  failures=$((failures + 1))
else
  echo "ok:   6 log entries"
fi
exit $((failures > 0))
