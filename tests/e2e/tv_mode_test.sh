#!/usr/bin/env bash
# TV Mode as a user on the sofa meets it, on a real X server of the size in X_SESSION_SCREEN with
# the keys alone: Marlit started with --tv fills the screen with nothing cut (its key hints at
# the bottom and the pictures at the right drawn inside it) and its games' titles written; Up
# reaches the systems and Right chooses the next one, in another tab; Enter on a game plays it; F11 leaves for the window on the
# same system, which Marlit remembers at its close.
# Usage: tv_mode_test.sh MARLIT [SCREENSHOT-PREFIX]
set -euo pipefail

marlit=$1
shots=${2:-}
source "$(dirname "$0")/x-session.sh"
start_x_session
read -r width height < <(xdpyinfo | awk '/dimensions:/ { split($2, size, "x"); print size[1], size[2] }')

starts="$work/starts.log"
mkdir -p "$work/ws" "$work/nes" "$work/gb" "$work/snaps"
for name in "Alpha (U).nes" "Beta (E).nes"; do : >"$work/nes/$name"; done
: >"$work/gb/Tetris.gb"
convert -size 320x240 xc:'#3080e0' "$work/snaps/Tetris.png"
printf '#!/bin/sh\necho "$1" >> %s\n' "'$starts'" >"$work/stand-in"
chmod +x "$work/stand-in"
record() { # name romdir snapshots
  printf 'NAME = %s\r\nDESC = \r\nROMDIR = %s/\r\nEMU = %s\r\nCOMMAND LINE = \r\nICON = \r\nSNAPADIR = %s\r\nSNAPBDIR = \r\nSNAPSHOT = \r\n\r\n' \
    "$1" "$2" "$work/stand-in" "$3"
}
cd "$work/ws"
record NES "$work/nes" "" >console.ini
record "Game Boy" "$work/gb" "$work/snaps/" >handheld.ini

QT_QPA_PLATFORM=xcb "$marlit" --tv >>"$work/marlit.log" 2>&1 &
marlit_pid=$!
track "$marlit_pid"
wid=$(wait_for_window '^Marlit$') || { cat "$work/marlit.log" >&2; fail "no window appeared"; }
sleep 2
xdotool windowactivate --sync "$wid" 2>/dev/null || true
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$wid")"
[ "$WIDTH" = "$width" ] && [ "$HEIGHT" = "$height" ] ||
  fail "the TV view is ${WIDTH}x${HEIGHT} on a ${width}x${height} screen"

# Nothing cut: what is drawn at the bottom (the key hints) and at the right (the pictures) lies
# inside the screen, with the background's margin around it.
drawn_in() { # x y w h: whether the screen there holds more than the background
  [ "$(convert "$work/screen.png" -crop "$3x$4+$1+$2" +repage -format '%k' info:)" -gt 1 ]
}
text_in() { # x y w h: how many pixels there have the colour of the titles
  convert "$work/screen.png" -crop "$3x$4+$1+$2" +repage -fuzz 6% -fill white -opaque 'rgb(244,246,248)' \
    -fill black +opaque white -format '%[fx:int(mean*w*h+0.5)]' info:
}
check_screen() { # name
  import -window root "$work/screen.png"
  shot "$1"
  local margin=$((height / 60))
  # The games' titles are written, in the large type (which the toolkit alone once left blank at 4K).
  [ "$(text_in "$margin" $((height * 3 / 10)) $((width / 2)) $((height / 5)))" -gt $((margin * margin)) ] ||
    fail "$1: no game titles written"
  drawn_in "$margin" $((height - 3 * margin)) $((width / 3)) $((2 * margin)) || fail "$1: no key hints at the bottom"
  ! drawn_in 0 $((height - margin / 2)) "$width" $((margin / 2)) || fail "$1: something drawn over the bottom margin"
  ! drawn_in $((width - margin / 2)) 0 $((margin / 2)) "$height" || fail "$1: something drawn over the right margin"
}
check_screen 1-nes

# Up twice reaches the systems; Right chooses the next, Game Boy, in the "Handheld" tab; its
# picture shows on the right. Down twice to its games; Enter plays the first.
key Up Up Right
sleep 1
check_screen 2-game-boy
key Down Down
sleep 1
check_screen 3-tetris
[ "$(convert "$work/screen.png" -crop 1x1+$((width * 3 / 4))+$((height / 2)) -format '%[hex:p{0,0}]' info:)" = 3080E0 ] ||
  fail "the picture of Tetris is not in the middle of the right half"
key Return
for _ in $(seq 100); do [ -s "$starts" ] && break; sleep 0.1; done
[ "$(cat "$starts" 2>/dev/null)" = "$work/gb/Tetris.gb" ] || fail "Enter started '$(cat "$starts" 2>/dev/null)'"

# F11 leaves: the window again, not full-screen, on the Game Boy; closed, Marlit keeps it.
sleep 1
key F11
sleep 1
wid=$(wait_for_window '^Marlit$') || fail "the window did not come back"
eval "$(xdotool getwindowgeometry --shell "$wid")"
[ "$WIDTH" -lt "$width" ] || fail "the window is ${WIDTH} wide after TV Mode, the screen's width"
shot 4-window
close_through_window_manager "$wid" "$marlit_pid"
[ "$close_status" = 0 ] || { cat "$work/marlit.log" >&2; fail "Marlit's exit status is '$close_status'"; }
[ "$(od -An -tu1 -j7 -N2 marlit.cfg | tr -s ' ')" = " 2 0" ] || fail "marlit.cfg remembers $(od -An -tu1 -j7 -N2 marlit.cfg)"
echo "TV Mode at ${width}x${height}: fine"
