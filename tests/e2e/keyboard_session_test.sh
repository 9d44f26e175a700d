#!/usr/bin/env bash
# A whole session without the mouse, on a real X server: set the system up and configure the
# snapshots through the dialogs with Tab, Enter and the arrow keys, search with Ctrl+F and Enter,
# then play by holding Enter for three seconds under X's own key repeat, which must start the
# emulator once. The catalogue and marlit.cfg must hold what was typed and chosen.
# Usage: keyboard_session_test.sh MARLIT [SCREENSHOT-PREFIX]
set -euo pipefail

marlit=$1
shots=${2:-}
source "$(dirname "$0")/x-session.sh"
start_x_session


roms="$work/roms"
mkdir -p "$roms" "$work/ws"
: >"$roms/Mario (U).nes"
: >"$roms/Zelda (U).nes"
starts="$work/starts.log"
printf '#!/bin/sh\necho "$1" >> %s\n' "'$starts'" >"$work/stand-in"
chmod +x "$work/stand-in"
cd "$work/ws"
printf 'NAME = NES\r\nDESC = \r\nROMDIR = %s/\r\nEMU = %s\r\nCOMMAND LINE = \r\nICON = \r\nSNAPADIR = \r\nSNAPBDIR = \r\nSNAPSHOT = \r\n\r\n' \
  "$roms" "$work/stand-in" >classic.ini

QT_QPA_PLATFORM=xcb "$marlit" --workspace . >"$work/marlit.log" 2>&1 &
marlit_pid=$!
track "$marlit_pid"
wid=$(wait_for_window '^Marlit$') || { cat "$work/marlit.log" >&2; fail "the window did not appear"; }
sleep 1
xdotool windowactivate --sync "$wid" 2>/dev/null || true

# Setup is two Tabs back from the ROM list, where the window puts the focus; the dialog opens on
# the name, and Enter there is "Save".
key shift+Tab shift+Tab Return
wait_for_window '^System Configuration$' >/dev/null || fail "Enter on Setup opened no dialog"
key End
xdotool type --delay 40 " Deluxe"
shot 1-setup
key Return
for _ in $(seq 50); do grep -q 'NAME = NES Deluxe' classic.ini && break; sleep 0.1; done
grep -q 'NAME = NES Deluxe' classic.ini || fail "the typed name was not saved: $(cat -A classic.ini)"

# Config is the next button back; Tab in the options stops at the checked snapshot mode after
# the two boxes, Right checks the mode beside it, Enter is OK.
xdotool windowactivate --sync "$wid" 2>/dev/null || true
key shift+Tab Return
wait_for_window '^Marlit Configuration$' >/dev/null || fail "Enter on Config opened no dialog"
key Tab Tab Tab Right
shot 2-options
key Return

# Ctrl+F, a text and Enter: the list keeps the one name; two Tabs back is the ROM list.
xdotool windowactivate --sync "$wid" 2>/dev/null || true
key ctrl+f
xdotool type --delay 40 "zel"
key Return shift+Tab shift+Tab Down
shot 3-search

# X repeats a held key about 25 times a second once it has waited a little.
xdotool keydown Return
sleep 3
xdotool keyup Return
sleep 2
shot 4-played
[ -s "$starts" ] || { cat "$work/marlit.log" >&2; fail "holding Enter started nothing"; }
count=$(wc -l <"$starts")
[ "$count" -eq 1 ] || fail "holding Enter for 3 s started the emulator $count times"
[ "$(cat "$starts")" = "$roms/Zelda (U).nes" ] || fail "the emulator got $(cat "$starts")"

close_through_window_manager "$wid" "$marlit_pid"
[ "$close_status" = 0 ] || { cat "$work/marlit.log" >&2; fail "Marlit's exit status is '$close_status'"; }
[ "$(od -An -tx1 -j2 -N1 marlit.cfg | tr -d ' ')" = 02 ] || fail "the snapshot mode chosen is not \"to the Right\""
echo "keyboard session test passed"
