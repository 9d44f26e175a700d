#!/usr/bin/env bash
# A real emulator started through the real window: DOSBox on our DOS program (assembled with its
# mark, so it writes MARLIT.TXT beside itself), from a ROM folder whose path holds a blank, with
# the parameters after the ROM. The program's file proves DOSBox got the whole path as one
# argument and ran it; a key press must then end the program and, through -exit, DOSBox.
# Usage: dosbox_launch_test.sh MARLIT NASM DOSBOX PROGRAM.asm [SCREENSHOT.png]
set -euo pipefail

marlit=$1
nasm=$2
dosbox=$3
program_source=$4
shot=${5:-}
source "$(dirname "$0")/x-session.sh"
start_x_session

# DOSBox writes its configuration into the home folder, and wants a sound device: neither is the
# machine's business here.
export HOME="$work/home"
export SDL_AUDIODRIVER=dummy
mkdir -p "$HOME" "$work/ws"

roms="$work/DOS programs"
mkdir -p "$roms"
"$nasm" -f bin -DLEAVE_MARK -o "$roms/MARK.COM" "$program_source"

cd "$work/ws"
catalogue_record "DOSBox" "MS-DOS programs" "$roms/" "$dosbox" "@-exit" >computer.ini
# Open on the "Computer" tab (category 3), its first system, in a 640 x 480 window.
{
  printf '\x01\x01\x00\x02\x80\x01\xe0\x03\x00%s%s%s' 120 00000000 Arial
  head -c 103 /dev/zero
} >marlit.cfg

QT_QPA_PLATFORM=xcb "$marlit" --workspace . >"$work/marlit.log" 2>&1 &
marlit_pid=$!
track "$marlit_pid"
wid=$(wait_for_window '^Marlit$') || { cat "$work/marlit.log" >&2; fail "the window did not appear"; }

# As a user does: a click on the one ROM (the first row of the ROM list, which starts at (235, 50)
# in the client area) selects it, and Enter starts the emulator on it.
xdotool windowactivate --sync "$wid" 2>/dev/null || true
xdotool mousemove --window "$wid" 300 60 click 1
xdotool key --clearmodifiers Return

wait_for_dos_mark "$roms"

dosbox_window=$(wait_for_window '^DOSBox') || fail "no DOSBox window"
[ -n "$shot" ] && import -window root "$shot" 2>/dev/null || true

# The program waits for a key; once it ends, DOSBox must close by itself.
xdotool windowactivate --sync "$dosbox_window" 2>/dev/null || true
xdotool key --clearmodifiers space
for _ in $(seq 200); do
  xdotool search --name '^DOSBox' >/dev/null 2>&1 || break
  sleep 0.1
done
if xdotool search --name '^DOSBox' >/dev/null 2>&1; then
  fail "DOSBox is still open after the program ended"
fi

# Marlit neither waited for the emulator nor minded it: it is still there and closes normally.
kill -0 "$marlit_pid" 2>/dev/null || fail "Marlit ended with the emulator"
close_through_window_manager "$wid" "$marlit_pid"
status=$close_status
[ "$status" = 0 ] || { cat "$work/marlit.log" >&2; fail "Marlit's exit status is '$status'"; }
echo "DOSBox launch test passed"
