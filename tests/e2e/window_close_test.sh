#!/usr/bin/env bash
# Starts the real program on its own X server with a window manager, in a fresh working
# directory: the catalogue files must appear, the emulators found are offered (and dismissed), a
# click on the "Console" tab must select it, and a close through the window manager must end the
# program with status 0 after writing marlit.cfg.
# The toolkit's own options given to it change nothing: the title stays "Marlit", the tabs stay
# left to right.
# Usage: window_close_test.sh MARLIT [SCREENSHOT.png]
set -euo pipefail

marlit=$1
shot=${2:-}
source "$(dirname "$0")/x-session.sh"
start_x_session

mkdir "$work/ws"
cd "$work/ws"
QT_QPA_PLATFORM=xcb "$marlit" --workspace . --no-such-option -reverse -qwindowtitle Other >"$work/marlit.log" 2>&1 &
marlit_pid=$!

wid=$(wait_for_window '^Marlit$') || { cat "$work/marlit.log" >&2; fail "the window did not appear"; }
dismiss_first_start_offer "$wid"
for _ in $(seq 50); do [ -f marlit.offered ] && break; sleep 0.1; done
[ -f marlit.offered ] || fail "a dismissed offer is not remembered"
sleep 1

for file in classic.ini console.ini handheld.ini computer.ini; do
  [ -f "$file" ] || fail "$file was not created"
  size=$(stat -c %s "$file")
  [ "$size" -eq 104 ] || fail "$file has $size bytes, not 104"
done

# The "Console" tab is the second of the strip that starts at (11, 28) in the client area.
eval "$(xdotool getwindowgeometry --shell "$wid")"
xdotool mousemove --window "$wid" 75 39 click 1
sleep 0.5
[ -n "$shot" ] && import -window root "$shot" 2>/dev/null || true

# Close as a user does: Alt+F4 through the window manager.
close_through_window_manager "$wid" "$marlit_pid"
status=$close_status
[ -n "$status" ] || fail "the program did not end after the close"
[ "$status" -eq 0 ] || { cat "$work/marlit.log" >&2; fail "exit status $status"; }

[ -f marlit.cfg ] || fail "marlit.cfg was not written"
size=$(stat -c %s marlit.cfg)
[ "$size" -eq 128 ] || fail "marlit.cfg has $size bytes"

hex=$(od -An -tx1 -v marlit.cfg | tr -d ' \n')
expect() { # offset, hex bytes, what
  local got=${hex:$(($1 * 2)):${#2}}
  [ "$got" = "$2" ] || fail "$3: bytes at offset $1 are $got, expected $2"
}
expect 0 0101 "remember flags"
expect 2 00 "snapshot mode"
# A first start takes three quarters of the 1024 x 768 screen's room: 756 x 540.
expect 3 02f4021c "client size 756 x 540"
expect 7 01 "category Console"
expect 8 00 "system"
expect 9 313230 "font size 120"
expect 12 3030303030303030 "colour 00000000"
expect 20 417269616c00 "face Arial"
echo "window close test passed"
