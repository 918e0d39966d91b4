#!/bin/bash
# Makes the README's screenshots: Velto.exe on Xvfb with trayer and
# openbox, a filled profile and a few finger connections in the log, each
# window opened with xdotool as a person would and cut out of the screen
# with its window manager's frame.
#
#   screenshots.sh OUT_DIR PROBE DEST_DIR
#
# Prints each picture it made, and each one it could not make and why.
set -u

if [ "${1:-}" != --inside ]; then
  exec timeout 170 unshare -rn bash "$0" --inside "$@"
fi
shift
out=$1
PROBE=$2
dest=$3
mkdir -p "$dest"

ip link set lo up || exit 1
# shellcheck source=desktop.sh
. "$(dirname "$0")/desktop.sh"
. "$(dirname "$0")/../lib/port79.sh"
trap stop_desktop EXIT

start_x || exit 1
start_openbox || exit 1
start_trayer || exit 1
export VELLUMTIDE_ROOT=$desktop_work/root VELLUMTIDE_DRIVER=x11
mkdir -p "$VELLUMTIDE_ROOT"
key='HKCU\Software\Tollerbay\Vellumtide'
printf 'Sailing the Sound until Friday.\r\n' >"$desktop_work/plan.txt"
reg() { "$out/reg" "$@" >/dev/null; }
reg add "$key" /v "Real Name" /t REG_SZ /d "Zoé Lindqvist" /f
reg add "$key" /v "Office" /t REG_SZ /d "Harbour Office, Room 4" /f
reg add "$key" /v "Office Phone" /t REG_SZ /d "555-0142" /f
reg add "$key" /v "Home" /t REG_SZ /d "12 Quay Street" /f
reg add "$key" /v "Home Phone" /t REG_SZ /d "555-0199" /f
reg add "$key" /v "Plan File" /t REG_SZ /d "$desktop_work/plan.txt" /f
reg add "$key" /v "Set Away After" /t REG_DWORD /d 15 /f

(cd "$out" && exec ./Velto.exe) >"$desktop_work/velto.out" 2>"$desktop_work/velto.err" &
velto=$!
desktop_pids+=($velto)
wait_for_port_79 "$velto" || { echo "Velto.exe does not listen"; exit 1; }
wait_for sh -c "'$PROBE' icon | grep -q '^docked'" || { echo "no icon"; exit 1; }
read -r _ ix iy _ < <("$PROBE" icon)

# shot NAME TITLE: the window whose title starts with TITLE, with its frame.
shot() {
  local name=$1 title=$2 id x y w h
  if ! wait_for "$PROBE" window "$title"; then
    echo "missing: $name (no window titled '$title')"
    return 1
  fi
  sleep 0.3
  read -r id x y w h < <("$PROBE" window "$title")
  # openbox's frame: a border and a title bar of about 20 pixels above.
  local top=$((y - 22)) left=$((x - 2))
  ((top < 0)) && top=0
  ((left < 0)) && left=0
  import -window root -crop "$((w + 4))x$((h + 25))+$left+$top" +repage "$dest/$name.png"
  echo "made: $dest/$name.png"
}

# Makes the configuration window the active one again: a click on its face.
focus_config() {
  local id x y w h
  wait_for "$PROBE" window "Vellumtide v" || return 1
  read -r id x y w h < <("$PROBE" window "Vellumtide v")
  xdotool mousemove $((x + 4)) $((y + 4)) click 1
  sleep 0.2
}

finger_once() {
  exec 3<>/dev/tcp/127.0.0.1/79 && printf '%s\r\n' "$1" >&3 && timeout 3 cat <&3 >/dev/null
  exec 3<&-
}

xdotool mousemove "$ix" "$iy" click --repeat 2 --delay 60 1
wait_for "$PROBE" window "Vellumtide v" || { echo "no configuration window"; exit 1; }
for who in "" "$(id -un)" "/W $(id -un)"; do finger_once "$who"; done
shot configuration-window "Vellumtide v"

xdotool key alt+b
shot about "About" && xdotool key Return
wait_for sh -c "! '$PROBE' window About"

xdotool key alt+f
if shot query "Vellumtide Finger"; then
  xdotool type --delay 30 "$(id -un)"
  xdotool key Tab
  xdotool type --delay 30 127.0.0.1
  xdotool key Return
  shot response "Finger Response"
  # The window manager's Alt+F4 closes it, as a person would.
  xdotool key alt+F4
  wait_for sh -c "! '$PROBE' window 'Finger Response'"
fi

# A message box: a query to a host that cannot be found.
focus_config && xdotool key alt+f
if wait_for "$PROBE" window "Vellumtide Finger"; then
  xdotool type --delay 30 nobody
  xdotool key Tab
  xdotool type --delay 30 no-such-host.invalid
  xdotool key Return
  shot message-box "Velto Error" && xdotool key Return
fi

focus_config && xdotool key alt+r
shot open-file-dialog "Select Plan File" && xdotool key Escape

# Alt+H is not one of the window's keys; F1 opens the help, as the help file says.
focus_config && xdotool key F1
shot help-viewer "Velto"

# The icon in the tray with its tip, as a person resting the pointer on it
# sees them: the corner of the screen around the icon.
xdotool mousemove "$ix" "$iy"
sleep 1
read -r sw sh < <(xdotool getdisplaygeometry)
left=$((ix - 220))
top=$((iy - 60))
((left < 0)) && left=0
((top < 0)) && top=0
import -window root -crop "$((sw - left))x$((sh - top))+$left+$top" +repage "$dest/tray.png"
echo "made: $dest/tray.png"

# The popup menu of the tray icon, cut out with the tray below it.
xdotool mousemove "$ix" "$iy" click 3
if wait_for "$PROBE" menu; then
  read -r _ mx my mw mh < <("$PROBE" menu)
  read -r sw sh < <(xdotool getdisplaygeometry)
  left=$((mx - 16))
  top=$((my - 16))
  import -window root -crop "$((sw - left))x$((sh - top))+$left+$top" +repage "$dest/popup-menu.png"
  echo "made: $dest/popup-menu.png"
  xdotool key Escape
else
  echo "missing: popup-menu (no menu after a right click on the icon)"
fi
