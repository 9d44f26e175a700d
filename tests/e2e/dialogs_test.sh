#!/usr/bin/env bash
# A new user's first minutes, in a fresh folder on a real X server: a system added through
# "Setup" and "Save as New Entry" (the category file must hold exactly that record), a ROM's
# picture that appears only once "Config" turns snapshots on, and where it lands then; last the
# ROM played, which must start the system's emulator with the parameters and the ROM path.
# Usage: dialogs_test.sh MARLIT [SCREENSHOT-PREFIX]
set -euo pipefail

marlit=$1
shots=${2:-}
source "$(dirname "$0")/x-session.sh"
start_x_session

# A ROM folder and a snapshot folder whose names hold blanks, a red picture for the one ROM, and
# an emulator stand-in that writes its arguments, one per bracket pair.
roms="$work/Console ROMs"
snaps="$work/Snap shots"
mkdir -p "$roms" "$snaps" "$work/emu" "$work/ws"
: >"$roms/Zelda (U).nes"
convert -size 200x150 xc:red "$snaps/Zelda (U).png"
log="$work/argv.log"
cat >"$work/emu/stand-in" <<EOF
#!/bin/sh
for a in "\$@"; do printf '[%s]' "\$a"; done > '$log.part' && mv '$log.part' '$log'
EOF
chmod +x "$work/emu/stand-in"

cd "$work/ws"
QT_QPA_PLATFORM=xcb "$marlit" --workspace . >"$work/marlit.log" 2>&1 &
marlit_pid=$!
track "$marlit_pid"
wid=$(wait_for_window '^Marlit$') || { cat "$work/marlit.log" >&2; fail "the window did not appear"; }
eval "$(xdotool getwindowgeometry --shell "$wid")"
# A first start suits the screen: three quarters of the 1024 x 768 screen's room for a window.
[ "$WIDTH" = 756 ] && [ "$HEIGHT" = 540 ] || fail "a first start opens a 756 x 540 window, not $WIDTH x $HEIGHT"
main_width=$WIDTH
main_height=$HEIGHT
# This user sets the system up by hand: the emulators found are not wanted now.
dismiss_first_start_offer "$wid"
for _ in $(seq 100); do [ -f classic.ini ] && break; sleep 0.1; done
template=$(od -An -tx1 -v classic.ini | tr -d ' \n')

# Clicks a control of a dialog at the centre of its template rectangle (x y width height, in
# dialog units), scaled by the dialog's size in pixels against its size in units.
dialog_click() { # window width-units height-units x y w h
  local geometry
  geometry=$(xdotool getwindowgeometry --shell "$1")
  local WIDTH HEIGHT
  eval "$(grep -E '^(WIDTH|HEIGHT)=' <<<"$geometry")"
  xdotool mousemove --window "$1" $((($4 + $6 / 2) * WIDTH / $2)) $((($5 + $7 / 2) * HEIGHT / $3)) click 1
}
setup_click() { dialog_click "$setup" 300 233 "$@"; }
type_into() { # x y w h text: a click into an edit, then the text
  setup_click "$1" "$2" "$3" "$4"
  xdotool type --delay 5 -- "$5"
}
window_gone() { # window id
  for _ in $(seq 100); do
    xdotool getwindowname "$1" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  return 1
}

# The top buttons are 120 wide, spaced by s = (width - 605) / 4: "Setup" at 355 + 2s, "Config"
# at 475 + 3s. "Setup" first, on the one empty system the fresh "Classic" file holds.
spacing=$(((main_width - 605) / 4))
xdotool mousemove --window "$wid" $((355 + 2 * spacing + 60)) 25 click 1
setup=$(wait_for_window '^System Configuration$') || fail "Setup opened no dialog"
type_into 98 7 186 14 "Test Console"
type_into 98 24 186 14 "Added with the dialogs"
type_into 98 41 167 14 "$roms"
type_into 98 58 167 14 "$work/emu/stand-in"
type_into 98 75 186 14 "-fullscreen"
type_into 98 122 167 14 "$snaps"
setup_click 15 210 78 10 # "Save as New Entry"
shot 1-setup
setup_click 116 207 50 14 # "Save"
window_gone "$setup" || fail "Save did not close the dialog"

# The new system goes after the empty one; the folders gained their separator.
expected=$template$(printf 'NAME = Test Console\r\nDESC = Added with the dialogs\r\nROMDIR = %s/\r\nEMU = %s\r\nCOMMAND LINE = -fullscreen\r\nICON = \r\nSNAPADIR = %s/\r\nSNAPBDIR = \r\nSNAPSHOT = \r\n\r\n' \
  "$roms" "$work/emu/stand-in" "$snaps" | od -An -tx1 -v | tr -d ' \n')
got=$(od -An -tx1 -v classic.ini | tr -d ' \n')
[ "$got" = "$expected" ] || fail "classic.ini holds $(cat -A classic.ini)"

# The new system is selected and shown at once; its ROM is the first row of the ROM list.
xdotool mousemove --window "$wid" 300 60 click 1

# Red where a picture to the right of the ROM list would be: the one picture's cell, for a
# client size (see the window layout), and the colour of its centre pixel.
picture_centre() {
  local sw=$((main_width / 4)) sh
  sh=$((sw / 4 * 3))
  if [ "$main_height" -lt $((2 * sh + 100)) ]; then
    sh=$(((main_height - 100) / 2))
    sw=$((sh / 3 * 4))
  fi
  echo "$((main_width - sw + (sw - 10) / 2)) $(((main_height - 50) / 2 - sh / 2 + 50 + sh / 2))"
}
read -r px py < <(picture_centre)
colour_at() { import -window "$wid" -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null | grep -o '#[0-9A-F]\{6\}' | head -n 1; }
shot 2-no-snapshots

# "Config", "Snapshots to the Right", then Escape.
xdotool mousemove --window "$wid" $((475 + 3 * spacing + 60)) 25 click 1
options=$(wait_for_window '^Marlit Configuration$') || fail "Config opened no dialog"
dialog_click "$options" 256 93 76 54 20 10
shot 3-options
xdotool key --clearmodifiers Escape
window_gone "$options" || fail "Escape did not close the options"
colour=
for _ in $(seq 100); do
  colour=$(colour_at "$px" "$py")
  [ "$colour" = "#FF0000" ] && break
  sleep 0.1
done
shot 4-snapshots-right
[ "$colour" = "#FF0000" ] || fail "the picture is not right of the ROM list: ($px, $py) is $colour"

# Enter in the ROM list plays the selected ROM.
xdotool windowactivate --sync "$wid" 2>/dev/null || true
xdotool key --clearmodifiers Return
for _ in $(seq 100); do [ -s "$log" ] && break; sleep 0.1; done
[ -s "$log" ] || { cat "$work/marlit.log" >&2; fail "the emulator was not started"; }
[ "$(cat "$log")" = "[-fullscreen][$roms/Zelda (U).nes]" ] || fail "the emulator got $(cat "$log")"

close_through_window_manager "$wid" "$marlit_pid"
status=$close_status
[ "$status" = 0 ] || { cat "$work/marlit.log" >&2; fail "Marlit's exit status is '$status'"; }
[ "$(od -An -tx1 -j2 -N1 marlit.cfg | tr -d ' ')" = 02 ] || fail "marlit.cfg does not keep the snapshot mode"
echo "dialogs test passed"
