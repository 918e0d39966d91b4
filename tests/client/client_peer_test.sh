#!/bin/bash
# The finger client against real servers on port 79 of a private network
# namespace: for each query, the response window must hold the same lines
# as what Debian's finger prints for it.
#
#   client_peer_test.sh PROBE OUT_DIR
#
# PROBE runs one query and prints the response window's text. The servers
# are Debian's in.fingerd behind socat, then the daemon's own listener
# (finger_test_server beside PROBE, with a profile set through OUT_DIR/reg).
# Exit 0 when every query matches, 1 when one does not, 77 when this machine
# cannot give a namespace where in.fingerd runs.
set -u

if [ "${1:-}" != --inside ]; then
  for tool in finger socat ss /usr/sbin/in.fingerd; do
    if ! command -v "$tool" >/dev/null; then
      echo "FAIL: $tool is not installed"
      exit 1
    fi
  done
  # in.fingerd gives up its rights to those of nobody, which a namespace of
  # an unprivileged user does not have; a root's plain network namespace
  # does.
  if [ "$(id -u)" != 0 ] || ! unshare -n true 2>/dev/null; then
    echo "no network namespace in which in.fingerd can run"
    exit 77
  fi
  exec timeout 100 unshare -n bash "$0" --inside "$@"
fi
shift
probe=$1
out=$2
own_server=$(dirname "$probe")/finger_test_server

ip link set lo up || exit 1
work=$(mktemp -d)
server_pid=
stop_server() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null
    wait "$server_pid" 2>/dev/null
  fi
  server_pid=
}
trap 'stop_server; rm -rf "$work"' EXIT
export VELLUMTIDE_ROOT=$work/root VELLUMTIDE_DRIVER=null
mkdir -p "$VELLUMTIDE_ROOT"

# shellcheck source=../lib/port79.sh
. "$(dirname "$0")/../lib/port79.sh"

failures=0
# compare LABEL USER: the probe's query for USER at 127.0.0.1 against
# Debian's finger USER@127.0.0.1 (@127.0.0.1 for an empty user).
compare() {
  local label=$1 user=$2
  VT_PROBE_USER=$user VT_PROBE_HOST=127.0.0.1 timeout 60 "$probe" \
    > "$work/shown" 2> "$work/probe.err"
  local status=$?
  timeout 20 finger "$user@127.0.0.1" > "$work/printed" 2>&1
  # The window shows CR LF line ends; finger prints LF. Debian's finger may
  # put the host in brackets on a line of its own before the answer.
  tr -d '\r' < "$work/shown" > "$work/shown.lines"
  sed '1{/^\[[^]]*\]$/d}' "$work/printed" > "$work/printed.lines"
  if [ "$status" != 0 ]; then
    echo "FAIL: $label: no response window (probe ended with $status)"
    cat "$work/probe.err"
    failures=$((failures + 1))
  elif [ ! -s "$work/printed.lines" ]; then
    echo "FAIL: $label: Debian's finger printed nothing"
    failures=$((failures + 1))
  elif ! diff -u "$work/printed.lines" "$work/shown.lines"; then
    echo "FAIL: $label: the window differs from Debian's finger (above)"
    failures=$((failures + 1))
  else
    echo "ok:   $label ($(wc -l < "$work/shown.lines") lines)"
  fi
}

# --- Debian's in.fingerd -------------------------------------------------------
socat TCP-LISTEN:79,bind=127.0.0.1,reuseaddr,fork \
  EXEC:/usr/sbin/in.fingerd,nofork 2> "$work/socat.err" &
server_pid=$!
if ! wait_for_port_79 "$server_pid"; then
  echo "FAIL: in.fingerd does not listen on port 79"
  cat "$work/socat.err"
  exit 1
fi
compare "in.fingerd, user root" root
compare "in.fingerd, every user" ""
stop_server

# --- the daemon's own listener -------------------------------------------------
if [ ! -x "$own_server" ] || [ ! -x "$out/reg" ]; then
  echo "FAIL: $own_server or $out/reg is missing"
  exit 1
fi
key='HKCU\Software\Tollerbay\Vellumtide'
printf 'Gone sailing.\r\nBack soon.\r\n' > "$work/plan.txt"
for value in "Real Name=Bob Smith" "Office=Room 4" "Plan File=$work/plan.txt"; do
  if ! "$out/reg" add "$key" /v "${value%%=*}" /t REG_SZ /d "${value#*=}" /f \
      > /dev/null; then
    echo "FAIL: reg add ${value%%=*}"
    exit 1
  fi
done
"$own_server" > "$work/server.out" 2> "$work/server.err" &
server_pid=$!
if ! wait_for_port_79 "$server_pid"; then
  echo "FAIL: the listener does not listen on port 79"
  cat "$work/server.out" "$work/server.err"
  exit 1
fi
login=$(sed -n 's/^login: //p' "$work/server.out")
compare "own listener, user $login" "$login"
compare "own listener, every user" ""
compare "own listener, someone else" other
stop_server

exit $((failures > 0))
