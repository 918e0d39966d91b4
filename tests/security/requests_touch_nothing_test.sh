#!/bin/bash
# No request makes the daemon open a file, run a program or connect
# anywhere. Velto.exe runs under strace on port 79 of a private network
# namespace; requests that name files, programs, other hosts and options
# each get the hidden line, and the calls that open, run or connect which
# the daemon makes while answering them are no other than those it makes
# for a plain request for nobody (the reverse lookup of the peer's name).
#
#   requests_touch_nothing_test.sh OUT_DIR
#
# Exit 77 without strace or an unprivileged network namespace.
set -u

if [ "${1:-}" != --inside ]; then
  if ! command -v strace >/dev/null || ! unshare -rn true 2>/dev/null; then
    echo "strace or an unprivileged network namespace is not available"
    exit 77
  fi
  exec timeout 120 unshare -rn bash "$0" --inside "$@"
fi
out=$2

. "$(dirname "$0")/../lib/port79.sh"
ip link set lo up || exit 1
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && pkill -KILL -P "$pid"; [ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
export VELLUMTIDE_ROOT=$work/root VELLUMTIDE_DRIVER=null
unset DISPLAY VELLUMTIDE_ANSWERS
mkdir -p "$VELLUMTIDE_ROOT"

calls=open,openat,openat2,creat,execve,execveat,connect,socket
(cd "$out" && exec strace -f -qq -o "$work/trace" -e trace=$calls ./Velto.exe) \
  > "$work/velto.out" 2> "$work/velto.err" &
pid=$!
wait_for_port_79 "$pid" || { echo "FAIL: no daemon on port 79"; cat "$work/velto.err"; exit 1; }

# ask REQUEST: one connection, the request sent at once; prints the reply.
ask() {
  timeout 20 bash -c 'exec 3<>/dev/tcp/127.0.0.1/79 && printf "%s\r\n" "$1" >&3 && cat <&3' _ "$1"
}
# The calls of the trace from line FROM on, without process numbers, file
# descriptor numbers or results, one of each.
calls_from() {
  tail -n +"$1" "$work/trace" | grep -E '^[0-9]+ +[a-z0-9_]+\(' |
    sed -E 's/^[0-9]+ +//; s/ <unfinished \.\.\.>$//; s/\) += .*$/)/; s/^([a-z_]+)\([0-9]+,/\1(N,/' |
    sort -u
}
lines() { wc -l < "$work/trace"; }

failures=0
ask nobody > /dev/null
start=$(($(lines) + 1))
for _ in 1 2 3; do ask nobody > /dev/null; done
# A last plain request: its reply comes only after the calls of the ones
# before it are all in the trace.
ask nobody > /dev/null
calls_from "$start" > "$work/plain"

start=$(($(lines) + 1))
for request in "../../etc/passwd" "|id" "a@b" "-l root" "/W /etc/shadow" \
               '$(touch /tmp/x)' "\`id\`" "/etc/passwd" "%s%s%s%n" "root@127.0.0.1"; do
  printed=$(ask "$request")
  expected=$(printf '%s' "$request" | sed -E 's#^/W ##' | awk '{print $1}')
  if [ "$printed" = "$expected hidden or not logged-in." ]; then
    echo "ok:   '$request' gets the hidden line"
  else
    echo "FAIL: '$request' got: $printed"
    failures=$((failures + 1))
  fi
done
ask nobody > /dev/null
calls_from "$start" > "$work/hostile"

extra=$(comm -13 "$work/plain" "$work/hostile")
if [ -n "$extra" ]; then
  echo "FAIL: calls that only the requests above caused:"
  echo "$extra"
  failures=$((failures + 1))
else
  echo "ok:   no open, exec or connect beyond a plain request's ($(wc -l < "$work/plain") kinds)"
fi
if tail -n +2 "$work/trace" | grep -qE '^[0-9]+ +exec'; then
  echo "FAIL: the daemon ran a program:"
  grep -E '^[0-9]+ +exec' "$work/trace"
  failures=$((failures + 1))
fi

# The daemon is strace's child; it ends on SIGTERM, and strace with it.
daemon=$(pgrep -P "$pid" | head -1)
kill -TERM "${daemon:-$pid}"
wait "$pid"
pid=
exit $((failures > 0))
