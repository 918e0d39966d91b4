#!/bin/bash
# Velto.exe on a desktop of real parts (Xvfb, trayer, openbox), driven with
# xdotool's global commands, which go through XTEST like a real keyboard
# and mouse:
#   - its icon docks in trayer, and carries the program's _NET_WM_PID;
#   - a double click on the icon opens the configuration window, a dialog
#     of the program whose client area is 409 x 222 dialog units at the
#     base units of Liberation Sans at 11 pixels (6 and 13): 614 x 361;
#   - the window has the face colour, a button's bevel and rendered text
#     where the template puts them;
#   - typed text, with é, reaches the focused edit, Tab moves to the next,
#     Alt+A applies, and the registry holds the text in Windows-1252;
#   - Esc hides the window;
#   - a right click on the icon opens the menu at the screen's bottom edge
#     with its right edge at the pointer, and choosing "Away Locked" there
#     makes the finger reply the away reply;
#   - the window manager's close button closes the configuration window.
#
#   desktop_test.sh OUT_DIR PROBE [SCREENSHOT_DIR]
#
# Exit 0 when all hold, 1 when one does not, 77 when the desktop parts or a
# private network namespace are missing.
set -u

if [ "${1:-}" != --inside ]; then
  for tool in Xvfb trayer openbox xdotool; do
    command -v $tool >/dev/null || { echo "$tool is not installed"; exit 77; }
  done
  unshare -rn true 2>/dev/null || { echo "no private network namespace"; exit 77; }
  exec timeout 100 unshare -rn bash "$0" --inside "$@"
fi
shift
out=$1
PROBE=$2
shots=${3:-}

ip link set lo up || exit 1
# shellcheck source=desktop.sh
. "$(dirname "$0")/desktop.sh"
trap stop_desktop EXIT
fail() {
  echo "FAIL: $*"
  [ -f "$desktop_work/velto.err" ] && cat "$desktop_work/velto.err"
  import -window root "$desktop_work/failure.png" 2>/dev/null &&
    echo "screen at the failure: $desktop_work/failure.png (kept)" &&
    cp "$desktop_work/failure.png" "${TMPDIR:-/tmp}/x11_desktop_failure.png"
  exit 1
}

start_x || exit 1
start_openbox || exit 1
start_trayer || exit 1

export VELLUMTIDE_ROOT=$desktop_work/root VELLUMTIDE_DRIVER=x11
mkdir -p "$VELLUMTIDE_ROOT"
(cd "$out" && exec ./Velto.exe) >"$desktop_work/velto.out" 2>"$desktop_work/velto.err" &
velto=$!
desktop_pids+=($velto)

# The icon docks, and says whose it is.
wait_for sh -c "'$PROBE' icon | grep -q '^docked'" || fail "the icon did not dock in trayer"
read -r state x y pid < <("$PROBE" icon)
[ "$pid" = "$velto" ] || fail "the icon's _NET_WM_PID is $pid, not $velto"

# A double click opens the configuration window, at its template's size.
xdotool mousemove "$x" "$y" click --repeat 2 --delay 60 1
wait_for "$PROBE" window "Vellumtide v" || fail "no configuration window after a double click"
read -r id wx wy width height < <("$PROBE" window "Vellumtide v")
[ "$width x $height" = "614 x 361" ] || fail "client area is $width x $height, not 614 x 361"
props=$("$PROBE" props "$id")
for want in class=velto.Vellumtide "pid=$velto" type=_NET_WM_WINDOW_TYPE_DIALOG; do
  case " $props " in *" $want "*) ;; *) fail "window properties '$props' lack $want" ;; esac
done

# With no sizing border and no minimize or maximize box, the window asks
# the window manager for moving and closing only (Motif functions 4 + 32),
# and is offered neither resizing nor maximizing.
has_close() { "$PROBE" frame "$id" | grep -q _NET_WM_ACTION_CLOSE; }
wait_for has_close || fail "the window manager offers no close: $("$PROBE" frame "$id")"
frame=$("$PROBE" frame "$id")
case "$frame" in functions=36\ *) ;; *) fail "the window's frame hints are '$frame'" ;; esac
case " $frame " in *_MAXIMIZE* | *_ACTION_RESIZE*) fail "the window manager offers '$frame'" ;; esac

# The look, where the template puts it. The OK button is at (158,10) in
# dialog units, 52 x 14: (237,16) to (315,39) in pixels.
wait_for sh -c "'$PROBE' pixels $((wx + 2)) $((wy + 2)) 1 1 | grep -qx c0c0c0" ||
  fail "the dialog's face is not #C0C0C0"
check_pixel() {
  local got
  got=$("$PROBE" pixels $((wx + $1)) $((wy + $2)) 1 1)
  [ "$got" = "$3" ] || fail "$4 at ($1,$2) is $got, not $3"
}
# Pixels of the look, as x y colour what: the OK button (the default one,
# (237,16) to (315,39)), Cancel below it ((237,68) to (315,91)), the name
# edit ((57,59) to (219,82)) and the "User Information" group box ((11,11)
# to (229,263)), all from their template's dialog units.
while read -r px py colour what; do
  check_pixel "$px" "$py" "$colour" "$what"
done <<'PIXELS'
237 27 000000 the default button's black frame, left
260 16 000000 the default button's black frame, top
260 38 000000 the default button's black frame, below
239 27 ffffff the default button's light edge
260 18 ffffff the default button's top edge
260 36 808080 the default button's inner shadow
260 37 000000 the default button's outer shadow
237 80 c0c0c0 Cancel's outer light edge, with no black frame
238 80 ffffff Cancel's light edge
260 89 808080 Cancel's inner shadow
260 90 000000 Cancel's outer shadow
200 70 ffffff the name edit's background
100 59 808080 the name edit's sunken edge, outer top
100 60 000000 the name edit's sunken edge, inner top
57 70 808080 the name edit's sunken edge, outer left
58 70 000000 the name edit's sunken edge, inner left
218 70 ffffff the name edit's sunken edge, outer right
100 81 ffffff the name edit's sunken edge, outer bottom
200 17 808080 the group box's etched line, its dark half
200 18 ffffff the group box's etched line, its light half
11 150 808080 the group box's etched left side, dark
12 150 ffffff the group box's etched left side, light
100 262 ffffff the group box's etched bottom, light
18 17 c0c0c0 the group box's line stopping before its caption
25 247 ffffff the Away Locked check box's white square
PIXELS
# The OK button's caption: some pixels inside it are neither face nor white.
ink=$("$PROBE" pixels $((wx + 250)) $((wy + 20)) 50 16 | grep -cvE '^(c0c0c0|ffffff)$')
[ "$ink" -gt 10 ] || fail "no text rendered in the OK button ($ink pixels)"
# "&OK": the O is underlined a pixel below the baseline, in row 32, where
# no letter of "OK" reaches.
under=$("$PROBE" pixels $((wx + 250)) $((wy + 32)) 50 1 | grep -cx 000000)
[ "$under" -ge 5 ] || fail "the mnemonic of OK is not underlined ($under black pixels)"

[ -n "$shots" ] && import -window root "$shots/configuration-window.png"

# Typing reaches the focused edit (the real name), Tab walks to the next
# control in template order (the office), Alt+A applies.
xdotool type --delay 40 'Zoé Ab'
xdotool key Tab
xdotool type --delay 40 'Room 5'
xdotool key alt+a
key='HKCU\Software\Tollerbay\Vellumtide'
wait_for sh -c "'$out/reg' query '$key' /v Office | grep -q 'Room 5'" ||
  fail "Alt+A did not store the office typed after Tab"
name=$("$out/reg" query "$key" /v "Real Name" | sed -n 's/.*REG_SZ *//p')
# reg writes the stored Windows-1252 as UTF-8: é here was the byte 0xE9.
[ "$name" = "Zoé Ab" ] || fail "the real name stored is '$name'"

# Esc hides the window.
xdotool key Escape
wait_for sh -c "! '$PROBE' window 'Vellumtide v'" || fail "Esc did not hide the window"

# The menu, and Away Locked in it (its last item).
xdotool mousemove "$x" "$y" click 3
wait_for "$PROBE" menu || fail "no menu after a right click on the icon"
read -r _ mx my mw mh < <("$PROBE" menu)
screen_height=$(xdotool getdisplaygeometry | cut -d' ' -f2)
[ $((mx + mw)) = "$x" ] || fail "the menu's right edge is at $((mx + mw)), the pointer at $x"
[ $((my + mh)) = "$screen_height" ] || fail "the menu's bottom is at $((my + mh)), not $screen_height"
xdotool mousemove $((mx + 30)) $((my + mh - 12)) click 1
wait_for sh -c "! '$PROBE' menu" || fail "the menu stayed open after a choice"
away_reply() {
  exec 3<>/dev/tcp/127.0.0.1/79 || return 1
  printf '\r\n' >&3
  timeout 1 head -n1 <&3 | grep -q ' away'
  local found=$?
  exec 3<&-
  return $found
}
wait_for away_reply || fail "the finger reply is not the away reply after Away Locked"
# The menu again: Away Locked now has its check mark, black strokes in the
# item's left column.
# The first click on the icon after a choice in its menu is lost today (see
# the look note); a second one opens the menu.
menu_after_click() {
  local _
  xdotool mousemove "$x" "$y" click 3
  for _ in $(seq 40); do
    "$PROBE" menu >/dev/null && return 0
    sleep 0.05
  done
  return 1
}
menu_after_click || menu_after_click || fail "no menu after the second right click"
read -r _ mx my mw mh < <("$PROBE" menu)
mark=$("$PROBE" pixels $((mx + 4)) $((my + mh - 20)) 16 16 | grep -cx 000000)
[ "$mark" -ge 6 ] || fail "Away Locked shows no check mark ($mark black pixels)"
xdotool key Escape
wait_for sh -c "! '$PROBE' menu" || fail "Esc did not close the menu"
# The window manager's close (openbox's Alt+F4 sends WM_DELETE_WINDOW)
# closes the configuration window as its Cancel would: hidden, the daemon
# running on.
xdotool mousemove "$x" "$y" click --repeat 2 --delay 60 1
wait_for "$PROBE" window "Vellumtide v" || fail "no configuration window the second time"
xdotool key alt+F4
wait_for sh -c "! '$PROBE' window 'Vellumtide v'" || fail "the window manager's close did not close the window"
kill -0 "$velto" || fail "Velto.exe ended"
echo "PASS"
