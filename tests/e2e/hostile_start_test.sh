#!/usr/bin/env bash
# The real program started on settings and a catalogue that do not fit: on a 1600 x 1000 screen
# at twice the pixels (800 x 500 to the program), a remembered 1600 x 960 window, and then on a
# 1024 x 768 screen a remembered 65535 x 65535 one beside a system whose name is one line of
# 50 MB. Each window must lie wholly on its screen, the System Configuration dialog too, the size
# saved at the close must be the one shown, and the catalogue must stay byte for byte as it was.
# (What such a start costs is measured by bench/gui/HostileTextBench.)
# Usage: hostile_start_test.sh MARLIT [SCREENSHOT-PREFIX]
set -euo pipefail

marlit=$1
shots=${2:-}
source "$(dirname "$0")/x-session.sh"

settings() { # width height: a marlit.cfg that remembers that client size
  /usr/bin/python3 - "$1" "$2" <<'PY'
import sys
w, h = int(sys.argv[1]), int(sys.argv[2])
record = bytearray(128)
record[0:3] = b"\x01\x01\x00"
record[3:7] = bytes([w >> 8, w & 255, h >> 8, h & 255])
record[9:25] = b"12000000000Arial"
open("marlit.cfg", "wb").write(record)
PY
}
stored_size() { od -An -tu1 -j3 -N4 marlit.cfg | awk '{ print $1 * 256 + $2 "x" $3 * 256 + $4 }'; }
# Fails unless window WID's frame (as the window manager has it) lies within the screen.
on_screen() { # wid what
  local frame
  frame=$(xwininfo -id "$1" -frame 2>/dev/null) || fail "no geometry for $2"
  local x y w h
  x=$(awk '/Absolute upper-left X/ { print $4 }' <<<"$frame")
  y=$(awk '/Absolute upper-left Y/ { print $4 }' <<<"$frame")
  w=$(awk '/Width:/ { print $2 }' <<<"$frame")
  h=$(awk '/Height:/ { print $2 }' <<<"$frame")
  read -r sw sh < <(xdpyinfo | awk '/dimensions:/ { split($2, d, "x"); print d[1], d[2] }')
  [ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + w)) -le "$sw" ] && [ $((y + h)) -le "$sh" ] ||
    fail "$2 at $x,$y, $w x $h, is not wholly on the $sw x $sh screen"
}

run_marlit() { # extra environment...
  env "$@" QT_QPA_PLATFORM=xcb "$marlit" --workspace . >"$work/marlit.log" 2>&1 &
  marlit_pid=$!
  track "$marlit_pid"
  wid=$(wait_for_window '^Marlit$') || { cat "$work/marlit.log" >&2; fail "the window did not appear"; }
  sleep 1
  xdotool windowactivate --sync "$wid" 2>/dev/null || true
}

# Twice the pixels: the window and the dialog fit the 800 x 500 the program sees.
X_SESSION_SCREEN=1600x1000x24 start_x_session
mkdir -p "$work/doubled"
cd "$work/doubled"
settings 1600 960
run_marlit QT_SCALE_FACTOR=2
on_screen "$wid" "the window"
# A new workspace is offered the emulators found: answered first, or the keys below reach the offer.
dismiss_first_start_offer "$wid"
xdotool key --clearmodifiers shift+Tab shift+Tab Return # "Setup", two Tabs back from the ROM list
setup=$(wait_for_window '^System Configuration$') || fail "Setup opened no dialog"
sleep 0.5
[ -n "$shots" ] && import -window root "$shots-doubled.png" 2>/dev/null || true
on_screen "$setup" "the System Configuration dialog"
escape_window "$setup" '^System Configuration$' "the System Configuration dialog"
close_through_window_manager "$wid" "$marlit_pid"
[ "$close_status" = 0 ] || { cat "$work/marlit.log" >&2; fail "exit status '$close_status' (shown: $(visible_windows))"; }
[ "$(stored_size)" = "784x452" ] || fail "saved $(stored_size), not the 784 x 452 shown"
for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
wait 2>/dev/null || true
pids=()
rm -f "$work/displayfd"

# 65535 x 65535 beside a 50 MB system name.
start_x_session
mkdir -p "$work/huge"
cd "$work/huge"
settings 65535 65535
/usr/bin/python3 - <<'PY'
name = b"N" * 50_000_000
open("classic.ini", "wb").write(b"NAME = " + name + b"\r\nDESC = d\r\nROMDIR = \r\nEMU = \r\nCOMMAND LINE = \r\n"
                                b"ICON = \r\nSNAPADIR = \r\nSNAPBDIR = \r\nSNAPSHOT = \r\n\r\n")
PY
before=$(md5sum classic.ini)
run_marlit
on_screen "$wid" "the window"
[ -n "$shots" ] && import -window root "$shots-huge.png" 2>/dev/null || true
close_through_window_manager "$wid" "$marlit_pid"
[ "$close_status" = 0 ] || { cat "$work/marlit.log" >&2; fail "exit status '$close_status' in a 50 MB name's workspace (shown: $(visible_windows))"; }
[ "$(stored_size)" = "1008x720" ] || fail "saved $(stored_size), not the 1008 x 720 shown"
[ "$(md5sum classic.ini)" = "$before" ] || fail "the catalogue changed"
echo "hostile start test passed"
