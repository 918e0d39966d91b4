#!/bin/bash
# Whole-process figures of Velto.exe beside Debian's in.fingerd, on port 79
# of private user, mount and network namespaces (nothing leaves loopback):
#
#   bench/whole_process/run.sh [OUT_DIR] [REQUESTS]
#
# OUT_DIR is an optimised build's output folder (default build/release/out,
# which `cmake --preset release && cmake --build --preset release` makes);
# REQUESTS defaults to 200. The peer is in.fingerd started per connection
# by socat (TCP-LISTEN:79,fork, the program given the connection as its
# standard input and output, as inetd does), answering for the same user
# with the same 4 KB plan (a private /root holds its .plan).
#
# Prints, as Markdown rows: CPU per request (user + system, children
# included, from /proc), latency from connect to the reply's last byte
# (median and 99th percentile; Velto.exe then pauses 250 ms before it
# closes, which the figures leave out), start-up to a listening socket,
# resident memory, and wake-ups per minute while idle (context switches of
# every thread over IDLE_SECONDS, default 60).
set -eu

if [ "${1:-}" != --inside ]; then
  here=$(cd "$(dirname "$0")" && pwd)
  out=$(cd "${1:-$here/../../build/release/out}" && pwd)
  # in.fingerd drops to the user nobody, which a namespace that maps only
  # the caller's own user does not have: the peer needs root.
  namespaces=-rmn
  [ "$(id -u)" = 0 ] && namespaces=-mn
  exec unshare $namespaces bash "$here/run.sh" --inside "$out" "${2:-200}"
fi
out=$2
requests=$3
idle_seconds=${IDLE_SECONDS:-60}

ip link set lo up
work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; rm -rf "$work"' EXIT
timer=$out/finger_timer
ticks=$(getconf CLK_TCK)

# The same 4 KB plan for both: 64 lines of 63 letters.
for _ in $(seq 64); do printf '%063d\n' 0 | tr 0 p; done > "$work/plan.txt"
# in.fingerd's finger runs as nobody, which must reach the plan.
chmod 755 "$work"
mkdir -m 755 "$work/home"
cp "$work/plan.txt" "$work/home/.plan"
chmod 644 "$work/home/.plan"
mount --bind "$work/home" /root
user=root

export VELLUMTIDE_ROOT=$work/root VELLUMTIDE_DRIVER=null
unset DISPLAY VELLUMTIDE_ANSWERS
mkdir -p "$VELLUMTIDE_ROOT"
key='HKCU\Software\Tollerbay\Vellumtide'
"$out/reg" add "$key" /v "Real Name" /t REG_SZ /d "Bob Smith" /f >/dev/null
"$out/reg" add "$key" /v "Office" /t REG_SZ /d "Room 4" /f >/dev/null

set_plan() { "$out/reg" add "$key" /v "Plan File" /t REG_SZ /d "$1" /f >/dev/null; }

# CPU time of a process and its reaped children, in clock ticks.
cpu_ticks() { awk '{ print $14 + $15 + $16 + $17 }' "/proc/$1/stat"; }
# Time on a CPU of every thread of a process, in ns (user and system; the
# clock-tick counts above are too coarse for a few hundred short requests).
cpu_ns() { cat /proc/"$1"/task/*/schedstat | awk '{ n += $1 } END { print n }'; }
# Resident, proportional and private (clean + dirty) sizes in kB: most of
# the resident pages are shared libraries' code that other processes map
# too.
memory_kb() {
  awk '/^Rss:/ { r = $2 } /^Pss:/ { p = $2 } /^Private_(Clean|Dirty):/ { v += $2 }
       END { printf "%d / %d / %d", r, p, v }' "/proc/$1/smaps_rollup"
}
switches() {
  cat /proc/"$1"/task/*/status |
    awk '/^(non)?voluntary_ctxt_switches:/ { n += $2 } END { print n }'
}
now_ns() { date +%s%N; }

start_velto() {
  (cd "$out" && exec ./Velto.exe) > "$work/velto.out" 2> "$work/velto.err" &
  velto=$!
  pids+=("$velto")
  "$timer" listen 10000
}
start_peer() {
  socat TCP-LISTEN:79,reuseaddr,fork EXEC:/usr/sbin/in.fingerd,nofork \
    2> "$work/socat.err" &
  peer=$!
  pids+=("$peer")
  "$timer" listen 10000
}
stop() { kill -TERM "$1"; wait "$1" 2>/dev/null || true; }

# percentile FILE COLUMN P: the P-th percentile of a column, in ms.
percentile() {
  sort -n -k"$2" "$1" | awk -v c="$2" -v p="$3" '{ v[NR] = $c }
    END { i = int((NR - 1) * p / 100 + 0.5) + 1; printf "%.3f", v[i] / 1000 }'
}
ms_per_request() { awk -v t="$1" -v k="$ticks" -v n="$2" 'BEGIN { printf "%.3f", t * 1000 / k / n }'; }

# exchange PID LABEL: REQUESTS exchanges; CPU of PID over them.
exchange() {
  local before after before_ns after_ns
  "$timer" latency 5 "$user" > /dev/null   # warm up
  sleep 0.5
  before=$(cpu_ticks "$1")
  before_ns=$(cpu_ns "$1")
  "$timer" latency "$requests" "$user" > "$work/$2.times"
  sleep 1   # the last child is reaped and counted
  after=$(cpu_ticks "$1")
  after_ns=$(cpu_ns "$1")
  cpu[$2]=$(ms_per_request $((after - before)) "$requests")
  cpu_ns_of[$2]=$(awk -v t=$((after_ns - before_ns)) -v n="$requests" 'BEGIN { printf "%.3f", t / 1e6 / n }')
  bytes[$2]=$(awk '{ print $3; exit }' "$work/$2.times")
  median[$2]=$(percentile "$work/$2.times" 1 50)
  p99[$2]=$(percentile "$work/$2.times" 1 99)
}
declare -A cpu cpu_ns_of bytes median p99

# Velto.exe: with the plan, then without.
set_plan "$work/plan.txt"
start_velto
exchange "$velto" velto_plan
rss_after_load=$(memory_kb "$velto")
stop "$velto"
set_plan ""
start_velto
exchange "$velto" velto_noplan
stop "$velto"

# The peer: with its .plan, then without.
start_peer
exchange "$peer" peer_plan
rm "$work/home/.plan"
exchange "$peer" peer_noplan
cp "$work/plan.txt" "$work/home/.plan"
peer_rss=$(memory_kb "$peer")
# One in.fingerd with its finger: the largest resident size among them.
peer_child_rss=$(printf '%s\r\n' "$user" | /usr/bin/time -f %M /usr/sbin/in.fingerd 2>&1 >/dev/null | tail -1)
sleep 2
before=$(switches "$peer")
sleep "$idle_seconds"
peer_wakeups=$(( ($(switches "$peer") - before) * 60 / idle_seconds ))
stop "$peer"

# Start-up to a listening socket, five times each.
set_plan "$work/plan.txt"
velto_starts=()
peer_starts=()
for _ in 1 2 3 4 5; do
  t0=$(now_ns); start_velto; t1=$(now_ns)
  velto_starts+=($(( (t1 - t0) / 1000 )))
  stop "$velto"
  t0=$(now_ns); start_peer; t1=$(now_ns)
  peer_starts+=($(( (t1 - t0) / 1000 )))
  stop "$peer"
done
median_of() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { printf "%.1f", v[int((NR + 1) / 2)] / 1000 }'; }

# Idle: memory after start-up, and wake-ups.
start_velto
sleep 2
rss_idle=$(memory_kb "$velto")
before=$(switches "$velto")
sleep "$idle_seconds"
velto_wakeups=$(( ($(switches "$velto") - before) * 60 / idle_seconds ))
threads=$(ls "/proc/$velto/task" | wc -l)
# Which threads wake: name and switches of each over the same minute are
# not kept, only the sum; IDLE_DETAIL=1 prints them.
if [ "${IDLE_DETAIL:-0}" = 1 ]; then
  for task in /proc/$velto/task/*; do
    echo "thread $(cat "$task/comm"): $(awk '/ctxt_switches/ { n += $2 } END { print n }' "$task/status") switches since start" >&2
  done
fi
stop "$velto"

ratio=$(awk -v a="${cpu_ns_of[velto_plan]}" -v b="${cpu[peer_plan]}" 'BEGIN { printf "%.3f", a / b }')
cat <<TABLE
| figure | Velto.exe | in.fingerd (socat, per connection) |
|---|---|---|
| CPU per request, 4 KB plan, $requests requests (ms, user+system; Velto.exe: its threads' time on a CPU, in clock ticks after the slash; peer: socat with every in.fingerd and finger it started, in clock ticks) | ${cpu_ns_of[velto_plan]} / ${cpu[velto_plan]} | ${cpu[peer_plan]} |
| ratio Velto.exe / peer, 4 KB plan | $ratio | |
| CPU per request, no plan (ms) | ${cpu_ns_of[velto_noplan]} / ${cpu[velto_noplan]} | ${cpu[peer_noplan]} |
| latency to last byte, 4 KB plan, median / p99 (ms) | ${median[velto_plan]} / ${p99[velto_plan]} | ${median[peer_plan]} / ${p99[peer_plan]} |
| latency to last byte, no plan, median / p99 (ms) | ${median[velto_noplan]} / ${p99[velto_noplan]} | ${median[peer_noplan]} / ${p99[peer_noplan]} |
| reply size, 4 KB plan / no plan (bytes) | ${bytes[velto_plan]} / ${bytes[velto_noplan]} | ${bytes[peer_plan]} / ${bytes[peer_noplan]} |
| start-up to listening, median of 5 (ms) | $(median_of "${velto_starts[@]}") | $(median_of "${peer_starts[@]}") (socat) |
| memory idle, resident / proportional / private (kB) | $rss_idle | socat $peer_rss |
| memory after the requests, resident / proportional / private (kB) | $rss_after_load | one in.fingerd with its finger: at most $peer_child_rss resident |
| wake-ups per minute idle ($threads threads) | $velto_wakeups | $peer_wakeups (socat) |
TABLE
