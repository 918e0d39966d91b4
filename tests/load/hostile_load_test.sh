#!/bin/bash
# Hostile load against a real headless Velto.exe on port 79 of a private
# network namespace (hostile_peers does the talking), then the checks that
# the daemon came through whole: a well-formed request from Debian's finger
# gets the right reply, the process's open descriptors are back where they
# were, its resident memory grew by less than 1 MB, and it ends cleanly on
# SIGTERM.
#
#   hostile_load_test.sh OUT_DIR HOSTILE_PEERS [WELL_FORMED SILENT [MEMORY]]
#
# MEMORY "no" leaves out the resident memory check, for the sanitizer
# builds, whose allocators keep freed memory aside on purpose.
# The counts default to 100 well-formed requests and 2 silent connections,
# which take about a minute: the daemon serves one connection at a time with
# a 250 ms pause, and a silent one holds it for the 10 s request time.
# VT_LOAD_FULL=1 runs 1,000 and 10 (about six minutes). Exit 77 when this
# machine cannot give an unprivileged network namespace.
set -u

if [ "${1:-}" != --inside ]; then
  if ! command -v finger >/dev/null || ! unshare -rn true 2>/dev/null; then
    echo "finger or an unprivileged network namespace is not available"
    exit 77
  fi
  if [ "${VT_LOAD_FULL:-0}" = 1 ]; then
    set -- "$1" "$2" 1000 10 "${5:-yes}"
  fi
  exec timeout 900 unshare -rn bash "$0" --inside "$@"
fi
shift
out=$1
peers=$2
well_formed=${3:-100}
silent=${4:-2}
memory=${5:-yes}

. "$(dirname "$0")/../lib/velto_daemon.sh"
start_velto_daemon "$out" || exit 1

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Warm up first, so what the first connections allocate once is not
# counted as growth.
for _ in 1 2 3 4 5; do timeout 20 finger "@127.0.0.1" >/dev/null; done
fds_before=$(daemon_descriptors)
rss_before=$(daemon_rss_kb)
echo "before: $fds_before descriptors, $rss_before kB resident"

"$peers" "$velto_login" "$well_formed" "$silent" "$RANDOM" || fail "hostile peers"

printed=$(timeout 20 finger "$velto_login@127.0.0.1" 2>&1)
case $printed in
  "Login:     $velto_login"*"Plan:"*) echo "ok:   the reply after the load" ;;
  *) fail "the reply after the load: $printed" ;;
esac
fds_after=$(daemon_descriptors)
rss_after=$(daemon_rss_kb)
echo "after:  $fds_after descriptors, $rss_after kB resident"
[ "$fds_after" = "$fds_before" ] || fail "descriptors $fds_before -> $fds_after"
if [ "$memory" = yes ] && [ $((rss_after - rss_before)) -ge 1024 ]; then
  fail "resident memory grew by $((rss_after - rss_before)) kB"
fi

stop_velto_daemon || fail "the daemon did not end cleanly"
exit $((failures > 0))
