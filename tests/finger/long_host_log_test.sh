#!/bin/bash
# A peer whose host name is longer than a log entry holds: the entry is cut
# to its first 255 characters and the connection is still answered.
#
#   long_host_log_test.sh SERVER
#
# Runs in private user, mount and network namespaces, where 127.0.0.1 is
# given a 300-character name by a hosts file mounted over /etc/hosts. Exit
# 77 when this machine cannot give such namespaces.
set -u

if [ "${1:-}" != --inside ]; then
  if ! command -v finger >/dev/null || ! unshare -rmn true 2>/dev/null; then
    echo "finger or unprivileged namespaces are not available"
    exit 77
  fi
  exec timeout 60 unshare -rmn bash "$0" --inside "$1"
fi
server=$2

work=$(mktemp -d)
server_pid=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

name=$(head -c 300 /dev/zero | tr '\0' a)
printf '127.0.0.1 %s\n' "$name" > "$work/hosts"
mount --bind "$work/hosts" /etc/hosts || exit 1
ip link set lo up || exit 1
export VELLUMTIDE_ROOT=$work/root VELLUMTIDE_DRIVER=null
mkdir -p "$VELLUMTIDE_ROOT"

"$server" > "$work/server.out" 2> "$work/server.err" &
server_pid=$!
# shellcheck source=../lib/port79.sh
. "$(dirname "$0")/../lib/port79.sh"
wait_for_port_79 "$server_pid"

failures=0
printed=$(timeout 20 finger nobody@127.0.0.1 2>&1)
if [ "$printed" == "nobody hidden or not logged-in." ]; then
  echo "ok:   the connection was answered"
else
  echo "FAIL: finger printed: $printed"
  failures=$((failures + 1))
fi

kill -TERM "$server_pid"
wait "$server_pid"
server_pid=
entry=$(sed -n 's/^log: //p' "$work/server.out")
if [ "$entry" == "${name:0:255}" ]; then
  echo "ok:   the log entry is the name's first 255 characters"
else
  echo "FAIL: log entry of ${#entry} characters: $entry"
  cat "$work/server.err"
  failures=$((failures + 1))
fi
exit $((failures > 0))
