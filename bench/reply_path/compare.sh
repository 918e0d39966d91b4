#!/bin/bash
# The reply path side by side: Velto.exe against Debian's in.fingerd started
# per connection by socat, each answering the same request for a user with a
# 4 KB plan, in a private network namespace. Not a test: it prints figures.
#
#   bench/reply_path/compare.sh OUT_DIR [REQUESTS]
#
# OUT_DIR is an output folder (build/release/out). For each server it gives
# the CPU time per request (all its threads; for in.fingerd, socat and every
# process it started) and the median time from connect to the end of the
# reply, less Velto's fixed 250 ms pause before it closes a connection.
# Needs finger, fingerd, socat and /usr/bin/python3, and root.
set -eu

if [ "${1:-}" != --inside ]; then
  out=$(cd "${1:?usage: compare.sh OUT_DIR [REQUESTS]}" && pwd)
  # in.fingerd gives up its privileges to nobody, which only a namespace
  # without a user namespace of its own (so, as root) lets it do.
  exec unshare -nm bash "$0" --inside "$out" "${2:-100}"
fi
out=$2
requests=$3
ip link set lo up
# The system's Python: the home folder is about to be covered, and with it
# any Python a person keeps there.
py=/usr/bin/python3

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  umount "$HOME" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The plan: 4 KB in lines of 77 bytes, the same file for both servers. The
# home folder is replaced, in this mount namespace only, by one that holds
# it, so in.fingerd's finger finds it as ~/.plan.
mkdir -p "$work/home" "$work/root"
"$py" -c "
line = 'x' * 76 + '\n'
text = (line * 54)[:4096]
open('$work/home/.plan', 'w').write(text)"
chmod 755 "$work/home"
chmod 644 "$work/home/.plan"
mount --bind "$work/home" "$HOME"
user=$(id -un)

export VELLUMTIDE_ROOT=$work/root VELLUMTIDE_DRIVER=null
"$out/reg" add 'HKCU\Software\Tollerbay\Vellumtide' /v "Plan File" /t REG_SZ \
  /d "$HOME/.plan" /f >/dev/null
(cd "$out" && exec ./Velto.exe) >"$work/velto.log" 2>&1 &
velto=$!
pids+=("$velto")
socat TCP-LISTEN:7979,reuseaddr,fork EXEC:/usr/sbin/in.fingerd,nofork \
  2>"$work/socat.log" &
socat=$!
pids+=("$socat")

# CPU time in nanoseconds: Velto.exe's threads by their scheduler counts;
# socat and its reaped children by the clock ticks the kernel keeps.
velto_cpu() { cat /proc/"$velto"/task/*/schedstat | awk '{s += $1} END {print s}'; }
tree_cpu() {
  awk -v hz="$(getconf CLK_TCK)" '{print ($14 + $15 + $16 + $17) * 1e9 / hz}' \
    /proc/"$socat"/stat
}

# Connects, asks, reads to the end, for each request; prints each time in
# milliseconds, and checks the replies are whole.
client() {
  "$py" - "$1" "$requests" "$user" <<'PY'
import socket, sys, time
port, count, user = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
for _ in range(count):
    start = time.perf_counter()
    s = socket.create_connection(("127.0.0.1", port))
    s.sendall((user + "\r\n").encode())
    reply = b""
    while True:
        piece = s.recv(65536)
        if not piece:
            break
        reply += piece
    s.close()
    elapsed = (time.perf_counter() - start) * 1000
    if reply.count(b"x" * 76) < 53:
        sys.exit("a reply without the whole plan: %r" % reply[:200])
    print("%.3f" % elapsed)
PY
}

wait_for() {
  for _ in $(seq 100); do
    "$py" -c "import socket; socket.create_connection(('127.0.0.1', $1)).close()" \
      2>/dev/null && return 0
    sleep 0.1
  done
  echo "nothing listens on port $1" >&2
  cat "$work"/*.log >&2
  exit 1
}
wait_for 79
wait_for 7979
sleep 0.5  # let the probes' connections be served and closed

measure() {  # name port cpu-function pause-ms
  client "$2" >/dev/null  # warm up: caches, the resolver, the page cache
  local before after
  before=$($3)
  client "$2" >"$work/$1.times"
  after=$($3)
  local median
  median=$(sort -n "$work/$1.times" | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}')
  awk -v b="$before" -v a="$after" -v n="$requests" -v m="$median" \
    -v p="$4" -v name="$1" 'BEGIN {
      printf "%-10s %8.3f ms CPU per request   %8.3f ms median to the end (%.3f above the pause)\n",
        name, (a - b) / n / 1e6, m, m - p }'
}

echo "$requests requests for $user, 4096-byte plan, loopback in a private namespace"
measure Velto.exe 79 velto_cpu 250 | tee "$work/velto.line"
measure in.fingerd 7979 tree_cpu 0 | tee "$work/fingerd.line"
awk 'NR == FNR {v = $2; next} {printf "CPU ratio Velto.exe / in.fingerd: %.3f\n", v / $2}' \
  "$work/velto.line" "$work/fingerd.line"
