#!/usr/bin/env bash
# A multi-disc game as a collection keeps it: two discs, each a cue sheet with its track, an m3u
# list of the discs, a save file and a read-me beside them. The system is Mednafen's PlayStation
# with no file types of its own: the emulator table gives them. The ROM list shows the one game,
# Enter starts Mednafen on its m3u list, and Mednafen reads both discs through it (its output
# shows the second disc's table of contents). The discs are blank, so Mednafen then says it knows
# no system for them and ends: the launch notice says so, with the command line it ran.
# Usage: mednafen_multidisc_test.sh MARLIT MEDNAFEN [SCREENSHOT-PREFIX]
set -euo pipefail

marlit=$1
mednafen=$2
shots=${3:-}
source "$(dirname "$0")/x-session.sh"
start_x_session

# Mednafen writes its configuration into the home folder and wants a sound device.
export HOME="$work/home"
export SDL_AUDIODRIVER=dummy
mkdir -p "$HOME" "$work/ws"

roms="$work/PlayStation games"
mkdir -p "$roms"
for disc in 1 2; do
  printf 'FILE "Legend (USA) (Disc %s).bin" BINARY\r\n  TRACK 01 MODE2/2352\r\n    INDEX 01 00:00:00\r\n' \
    "$disc" >"$roms/Legend (USA) (Disc $disc).cue"
  head -c 2352000 /dev/zero >"$roms/Legend (USA) (Disc $disc).bin"
done
printf 'Legend (USA) (Disc 1).cue\nLegend (USA) (Disc 2).cue\n' >"$roms/Legend (USA).m3u"
echo save >"$roms/Legend (USA).srm"
echo "read me" >"$roms/readme.txt"
touch "$roms/.directory"

cd "$work/ws"
catalogue_record "Sony" "PlayStation" "$roms/" "$mednafen" "" >console.ini
: >classic.ini
: >handheld.ini
: >computer.ini
# Open on the "Console" tab (category 1), its first system, in a 640 x 480 window.
{
  printf '\x01\x01\x00\x02\x80\x01\xe0\x01\x00%s%s%s' 120 00000000 Arial
  head -c 103 /dev/zero
} >marlit.cfg

QT_QPA_PLATFORM=xcb "$marlit" >"$work/marlit.log" 2>&1 &
marlit_pid=$!
track "$marlit_pid"
wid=$(wait_for_window '^Marlit$') || { cat "$work/marlit.log" >&2; fail "the window did not appear"; }
xdotool windowactivate --sync "$wid" 2>/dev/null || true

# A click in the list, as a user does, then time for the emulator table to be read and the list
# read again with its file types.
xdotool mousemove --window "$wid" 300 60 click 1
sleep 3
shot 1-one-row

# The first row is the game's list: with the discs, tracks, save or read-me listed, a disc's cue
# sheet (same title, longer name) or another file would come first or be the only row.
xdotool key --clearmodifiers ctrl+Home
key Return
for _ in $(seq 200); do
  grep -q "mednafen" "$work/marlit.log" && break
  sleep 0.1
done
sleep 1
shot 2-launch-notice
line=$(grep "mednafen" "$work/marlit.log" | tail -1)
[[ $line == *"$mednafen '$roms/Legend (USA).m3u'"* ]] ||
  fail "Mednafen was not started on the game's list: '$line'"
[[ $line == *"255"* ]] ||
  fail "Mednafen's failure on the blank discs is not what the notice says: '$line'"

# Mednafen itself, given the same list, reads both discs.
HOME="$work/home" "$mednafen" "$roms/Legend (USA).m3u" >"$work/mednafen.log" 2>&1 || true
grep -q "CD 2 TOC" "$work/mednafen.log" || fail "Mednafen did not read the second disc: $(tail -5 "$work/mednafen.log")"

kill -0 "$marlit_pid" 2>/dev/null || fail "Marlit ended with the emulator"
close_through_window_manager "$wid" "$marlit_pid"
status=$close_status
[ "$status" = 0 ] || { cat "$work/marlit.log" >&2; fail "Marlit's exit status is '$status'"; }
echo "Mednafen multi-disc test passed"
