# Sourced by the process-level test scripts that run the real Velto.exe,
# headless, on port 79 of a private network namespace they are already in.

. "$(dirname "${BASH_SOURCE[0]}")/port79.sh"

# start_velto_daemon OUT_DIR: brings up lo, gives the daemon a system root of
# its own under a fresh work folder ($velto_work) with a profile and a 4 KB
# plan, starts it from OUT_DIR and waits for port 79. Sets velto_pid,
# velto_login, velto_work and velto_root; removes the work folder and stops
# the daemon on exit.
start_velto_daemon() {
  local out=$1
  ip link set lo up || return 1
  velto_work=$(mktemp -d)
  velto_root=$velto_work/root
  velto_pid=
  trap 'stop_velto_daemon >/dev/null 2>&1; rm -rf "$velto_work"' EXIT
  mkdir -p "$velto_root"
  export VELLUMTIDE_ROOT=$velto_root VELLUMTIDE_DRIVER=null
  unset DISPLAY VELLUMTIDE_ANSWERS
  local key='HKCU\Software\Tollerbay\Vellumtide'
  head -c 4096 /dev/zero | tr '\0' p | fold -w 64 > "$velto_work/plan.txt"
  "$out/reg" add "$key" /v "Real Name" /t REG_SZ /d "Bob Smith" /f >/dev/null &&
    "$out/reg" add "$key" /v "Office" /t REG_SZ /d "Room 4" /f >/dev/null &&
    "$out/reg" add "$key" /v "Plan File" /t REG_SZ /d "$velto_work/plan.txt" /f >/dev/null ||
    { echo "reg add failed"; return 1; }
  (cd "$out" && exec ./Velto.exe) > "$velto_work/velto.out" 2> "$velto_work/velto.err" &
  velto_pid=$!
  if ! wait_for_port_79 "$velto_pid"; then
    echo "Velto.exe does not listen on port 79"
    cat "$velto_work/velto.out" "$velto_work/velto.err"
    return 1
  fi
  velto_login=$(timeout 20 finger "@127.0.0.1" | sed -n 's/^Login: *//p')
  [ -n "$velto_login" ] || { echo "no login in the daemon's reply"; return 1; }
}

# The daemon's open descriptors once it has finished with every connection:
# a client sees the reply end before the daemon has closed its side, so the
# count is taken only when no connection on port 79 is left but in
# TIME-WAIT (up to 10 s).
daemon_descriptors() {
  local _
  for _ in $(seq 200); do
    ss -tanH '( sport = :79 )' | grep -vqE '^(LISTEN|TIME-WAIT)' || break
    sleep 0.05
  done
  ls "/proc/$velto_pid/fd" | wc -l
}
daemon_rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$velto_pid/status"; }

# stop_velto_daemon: SIGTERM, then waits up to 10 s; true when it ended with
# status 0 and nothing on standard error.
stop_velto_daemon() {
  [ -n "${velto_pid:-}" ] || return 0
  kill -TERM "$velto_pid" 2>/dev/null
  local status _
  for _ in $(seq 100); do
    kill -0 "$velto_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$velto_pid" 2>/dev/null; then
    kill -KILL "$velto_pid"
    velto_pid=
    return 1
  fi
  wait "$velto_pid"
  status=$?
  velto_pid=
  [ "$status" = 0 ] && [ ! -s "$velto_work/velto.err" ] && return 0
  echo "status $status; standard error:"
  cat "$velto_work/velto.err"
  return 1
}
