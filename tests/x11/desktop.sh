# Sourced by the X11 process tests: a desktop of real parts, started and
# torn down by the test.
#
#   start_x           Xvfb on a free display (it picks the number itself and
#                     writes it to us), DISPLAY exported
#   start_trayer      trayer as the tray host, waits until it owns the
#                     tray selection
#   stop_trayer       kills it and waits until the selection is free
#   start_openbox     openbox as the window manager, waits until it runs
#   wait_for CMD...   runs CMD every 50 ms until it succeeds (10 s at most)
#   stop_desktop      ends everything started here (set as the EXIT trap)
#
# PROBE must name the x11_probe helper. Every wait has a bound, and the
# caller runs the whole script under `timeout`.

desktop_pids=()
desktop_work=$(mktemp -d)

stop_desktop() {
  local pid
  for pid in "${desktop_pids[@]}"; do
    kill "$pid" 2>/dev/null
  done
  for pid in "${desktop_pids[@]}"; do
    wait "$pid" 2>/dev/null
  done
  rm -rf "$desktop_work"
}

wait_for() {
  local _
  for _ in $(seq 200); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.05
  done
  return 1
}

start_x() {
  local fifo=$desktop_work/displayfd number=
  mkfifo "$fifo"
  Xvfb -displayfd 3 -noreset -dpi 96 -screen 0 1024x768x24 -nolisten tcp \
    3>"$fifo" 2>"$desktop_work/xvfb.err" &
  desktop_pids+=($!)
  read -r -t 10 number <"$fifo" || {
    echo "Xvfb did not start"
    cat "$desktop_work/xvfb.err"
    return 1
  }
  export DISPLAY=:$number
}

start_trayer() {
  trayer --edge bottom --align right --widthtype request --height 24 \
    --SetDockType true --expand false 2>"$desktop_work/trayer.err" &
  trayer_pid=$!
  desktop_pids+=($trayer_pid)
  wait_for "$PROBE" owner _NET_SYSTEM_TRAY_S0 || {
    echo "trayer did not take the tray selection"
    cat "$desktop_work/trayer.err"
    return 1
  }
}

stop_trayer() {
  kill "$trayer_pid" 2>/dev/null
  wait "$trayer_pid" 2>/dev/null
  wait_for sh -c "! '$PROBE' owner _NET_SYSTEM_TRAY_S0"
}

start_openbox() {
  openbox --sm-disable 2>"$desktop_work/openbox.err" &
  desktop_pids+=($!)
  wait_for "$PROBE" owner WM_S0 || {
    echo "openbox did not start"
    cat "$desktop_work/openbox.err"
    return 1
  }
}
