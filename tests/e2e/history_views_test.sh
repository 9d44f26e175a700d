#!/usr/bin/env bash
# The play history as a user meets it, on a real X server with the keys alone: play a ROM twice
# with Enter, find it at the top of "Recently Played" (Enter there plays it again), star another
# with Ctrl+D, start Marlit again and find the star's ROM at the top of "Favourites". What the
# views hold is proved by what Enter on their first row starts.
# Usage: history_views_test.sh MARLIT [SCREENSHOT-PREFIX]
set -euo pipefail

marlit=$1
shots=${2:-}
source "$(dirname "$0")/x-session.sh"
start_x_session

starts="$work/starts.log"
# Waits until the emulator has been started COUNT times in all, and its last start has ended.
wait_for_starts() {
  for _ in $(seq 100); do
    [ -f "$starts" ] && [ "$(wc -l <"$starts")" -ge "$1" ] && break
    sleep 0.1
  done
  [ -f "$starts" ] && [ "$(wc -l <"$starts")" -eq "$1" ] ||
    { cat "$work/marlit.log" >&2; fail "the emulator was started $(wc -l <"$starts" 2>/dev/null || echo 0) times, not $1"; }
  sleep 1
}
plays_of() {
  sqlite3 -readonly "$work/ws/marlit-history.db" \
    "SELECT plays FROM roms WHERE CAST(path AS TEXT) = '$roms/$1'" 2>/dev/null || true
}
start_marlit() {
  QT_QPA_PLATFORM=xcb "$marlit" --workspace . >>"$work/marlit.log" 2>&1 &
  marlit_pid=$!
  track "$marlit_pid"
  wid=$(wait_for_window '^Marlit$') || { cat "$work/marlit.log" >&2; fail "the window did not appear"; }
  # The folder readers' names come soon after the window: a key before them has no row to move.
  sleep 2
  xdotool windowactivate --sync "$wid" 2>/dev/null || true
  sleep 0.5
}
close_marlit() {
  close_through_window_manager "$wid" "$marlit_pid"
  [ "$close_status" = 0 ] || { cat "$work/marlit.log" >&2; fail "Marlit's exit status is '$close_status'"; }
}

roms="$work/roms"
mkdir -p "$roms" "$work/ws"
for name in "Alpha (U).nes" "Beta (E).nes" "Gamma (J).nes"; do : >"$roms/$name"; done
printf '#!/bin/sh\necho "$1" >> %s\n' "'$starts'" >"$work/stand-in"
chmod +x "$work/stand-in"
cd "$work/ws"
printf 'NAME = NES\r\nDESC = \r\nROMDIR = %s/\r\nEMU = %s\r\nCOMMAND LINE = \r\nICON = \r\nSNAPADIR = \r\nSNAPBDIR = \r\nSNAPSHOT = \r\n\r\n' \
  "$roms" "$work/stand-in" >classic.ini

# The ROM list has the keys (its first key picks the first row): Gamma is the last row. Enter
# twice, one play after the other.
start_marlit
key Home End Return
wait_for_starts 1
key Return
wait_for_starts 2
for _ in $(seq 50); do [ "$(plays_of 'Gamma (J).nes')" = 2 ] && break; sleep 0.1; done
[ "$(plays_of 'Gamma (J).nes')" = 2 ] || fail "two plays of Gamma were not recorded: '$(plays_of 'Gamma (J).nes')'"

# The folder tree is four Tabs back from the ROM list; above "ROMS" stands "Recently Played".
key shift+Tab shift+Tab shift+Tab shift+Tab Up
key Tab Tab Tab Tab Home
shot 1-recently-played
key Return
wait_for_starts 3
[ "$(tail -n 1 "$starts")" = "$roms/Gamma (J).nes" ] ||
  fail "the first row of \"Recently Played\" started $(tail -n 1 "$starts")"

# Back to the folder, Beta starred with Ctrl+D.
key shift+Tab shift+Tab shift+Tab shift+Tab Down
key Tab Tab Tab Tab Home Down ctrl+d
shot 2-starred
close_marlit

# Started again: "Favourites" is the tree's first item, and Beta its one row.
start_marlit
key shift+Tab shift+Tab shift+Tab shift+Tab Up Up
key Tab Tab Tab Tab Home
shot 3-favourites
key Return
wait_for_starts 4
[ "$(tail -n 1 "$starts")" = "$roms/Beta (E).nes" ] || fail "the first row of \"Favourites\" started $(tail -n 1 "$starts")"
close_marlit
[ "$(plays_of 'Gamma (J).nes')" = 3 ] || fail "Gamma's third play, from \"Recently Played\", was not recorded"
echo "history views test passed"
