#!/bin/bash
# Runs a test program on an X server of its own, with the X11 driver:
#
#   with_xvfb.sh PROGRAM [ARGS...]
#
# Exit: the program's, or 77 when Xvfb is missing.
set -u
command -v Xvfb >/dev/null || { echo "Xvfb is not installed"; exit 77; }
PROBE=/bin/false
# shellcheck source=desktop.sh
. "$(dirname "$0")/desktop.sh"
trap stop_desktop EXIT
start_x || exit 1
VT_TEST_KEEP_DRIVER=1 VELLUMTIDE_DRIVER=x11 timeout 80 "$@"
