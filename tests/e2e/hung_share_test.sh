#!/usr/bin/env bash
# A ROM folder on a share that stops answering, tried as a user would: the remembered system's
# folder never answers (a FUSE folder whose listing is taken and never replied to), yet the
# window comes up and says so; the user's ES-DE folder, where game lists are looked for, is on
# that share too (no look-up in it ever answers); a click on another system shows its ROMs, Enter plays one; a ROM
# copied into that folder appears by itself and plays; Alt+F4 closes the window, and the program
# ends within a second of it with status 0, having written marlit.cfg. Needs root (FUSE).
# Usage: hung_share_test.sh MARLIT MISBEHAVING_FS [SCREENSHOT_PREFIX]
set -euo pipefail

marlit=$1
share_daemon=$2
shots=${3:-}
source "$(dirname "$0")/x-session.sh"
[ "$(id -u)" -eq 0 ] || fail "mounting the share with FUSE needs root"

mount_hung_share "$share_daemon" "$work/nas"

start_x_session

roms="$work/roms"
mkdir -p "$work/ws" "$roms"
: >"$roms/Alpha.nes"
: >"$roms/Beta.nes"
played="$work/played.log"
printf '#!/bin/sh\necho "$1" >>"%s"\n' "$played" >"$work/emulator.sh"
chmod +x "$work/emulator.sh"

# ES-DE's folder of the user, kept on the share: looking for a game list there never returns.
mkdir -p "$work/home"
ln -s "$share/hang" "$work/home/ES-DE"

cd "$work/ws"
record() { # name romdir
  printf 'NAME = %s\r\nDESC = \r\nROMDIR = %s\r\nEMU = %s\r\nCOMMAND LINE = \r\n' "$1" "$2" "$work/emulator.sh"
  printf 'ICON = \r\nSNAPADIR = \r\nSNAPBDIR = \r\nSNAPSHOT = \r\n\r\n'
}
{ record "NAS" "$share/hang/"; record "Local" "$roms/"; } >console.ini
# Remember the "Console" tab and its first system, the one on the share, in a 640 x 480 window.
{
  printf '\x01\x01\x00\x02\x80\x01\xe0\x01\x00%s%s%s' 120 00000000 Arial
  head -c 103 /dev/zero
} >marlit.cfg

HOME="$work/home" QT_QPA_PLATFORM=xcb "$marlit" --workspace . >"$work/marlit.log" 2>&1 &
marlit_pid=$!
track "$marlit_pid"
wid=$(wait_for_window '^Marlit$') || { cat "$work/marlit.log" >&2; fail "the window did not appear"; }
xdotool windowactivate --sync "$wid" 2>/dev/null || true

# It says what the share does (seen on the screenshot): reading, then not answering.
sleep 6
[ -n "$shots" ] && import -window root "$shots-not-answering.png" 2>/dev/null || true

wait_for_play() { # count
  for _ in $(seq 100); do
    [ "$(wc -l <"$played" 2>/dev/null || echo 0)" -ge "$1" ] && return 0
    sleep 0.1
  done
  cat "$work/marlit.log" >&2
  fail "no play number $1 (played: $(cat "$played" 2>/dev/null))"
}

# The second system's card (cards of 38 pixels from (10, 50)), then the first ROM and Enter.
xdotool mousemove --window "$wid" 100 107 click 1
sleep 1
xdotool mousemove --window "$wid" 300 60 click 1
xdotool key --clearmodifiers Return
wait_for_play 1
[ "$(sed -n 1p "$played")" = "$roms/Alpha.nes" ] || fail "played $(sed -n 1p "$played"), not Alpha.nes"

# A ROM copied in shows by itself: it is the last row, where End and Enter find it.
: >"$roms/Zeta.nes"
sleep 1.5
xdotool key --clearmodifiers End Return
wait_for_play 2
[ "$(sed -n 2p "$played")" = "$roms/Zeta.nes" ] || fail "played $(sed -n 2p "$played"), not the new Zeta.nes"
[ -n "$shots" ] && import -window root "$shots-new-rom.png" 2>/dev/null || true

# Back on the hung share, then Alt+F4: the window goes at once, the program within a second.
xdotool mousemove --window "$wid" 100 69 click 1
sleep 0.5
close_and_end_within "$wid" "$marlit_pid" 1

[ "$(stat -c %s marlit.cfg)" -eq 128 ] || fail "marlit.cfg was not written whole"
[ "$(od -An -tx1 -j8 -N1 marlit.cfg | tr -d ' ')" = 00 ] || fail "marlit.cfg does not remember the system"
echo "hung share test passed"
