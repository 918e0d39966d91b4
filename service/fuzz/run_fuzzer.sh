#!/bin/bash
# Runs one fuzzer for a bounded time, under a watchdog.
#
#   run_fuzzer.sh SECONDS FUZZER [libFuzzer arguments and folders]
#
# SECONDS is how long the fuzzer runs in `make test`; VT_FUZZ_SECONDS, when
# set, replaces it (`make fuzz`). Each input may take at most 10 s, and the
# whole run at most a minute more than its time, so a hang fails the test
# instead of stalling it. A crash input is written to the build folder; keep
# it in the fuzzer's seeds/ folder as a regression case once it is fixed.
set -u
seconds=${VT_FUZZ_SECONDS:-$1}
fuzzer=$2
shift 2
crashes=$(dirname "$fuzzer")/fuzz-crashes
mkdir -p "$crashes"
exec timeout --kill-after=10 $((seconds + 60)) "$fuzzer" \
  -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 \
  -print_final_stats=1 -artifact_prefix="$crashes/$(basename "$fuzzer")-" "$@"
