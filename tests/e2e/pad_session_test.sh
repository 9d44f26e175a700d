#!/usr/bin/env bash
# A user with nothing but a game controller, on a real X server, through the virtual controller
# that MARLIT_VIRTUAL_PAD attaches: from the start to a game played in another tab, the game
# ended by holding Back+Start (the emulator gone, the play recorded), the ROM starred, found
# again in "Recently Played" and played from there.
# Usage: pad_session_test.sh MARLIT [SCREENSHOT-PREFIX]
set -euo pipefail

marlit=$1
shots=${2:-}
source "$(dirname "$0")/x-session.sh"
start_x_session

starts="$work/starts.log"
roms="$work/roms"
pad="$work/pad"
mkdir -p "$roms" "$work/ws" "$work/arcade"
for name in "Alpha (U).nes" "Beta (E).nes" "Gamma (J).nes"; do : >"$roms/$name"; done
: >"$work/arcade/Galaga.zip"
# The stand-in emulator runs until it is ended, as a game does; it says whom it started and its id.
printf '#!/bin/sh\necho "$1" >> %s\necho $$ > %s\nexec sleep 300\n' "'$starts'" "'$work/game.pid'" >"$work/stand-in"
chmod +x "$work/stand-in"
record() { # name folder
  printf 'NAME = %s\r\nDESC = \r\nROMDIR = %s/\r\nEMU = %s\r\nCOMMAND LINE = \r\nICON = \r\nSNAPADIR = \r\nSNAPBDIR = \r\nSNAPSHOT = \r\n\r\n' \
    "$1" "$2" "$work/stand-in"
}
cd "$work/ws"
record MAME "$work/arcade" >classic.ini
record NES "$roms" >console.ini
mkfifo "$pad"

# Each line a press of the pad; the pause lets the window answer as a person's pace would.
press() {
  printf '%s\n' "$@" >"$pad"
  sleep 0.7
}
wait_for_starts() { # count
  for _ in $(seq 100); do
    [ -f "$starts" ] && [ "$(wc -l <"$starts")" -ge "$1" ] && break
    sleep 0.1
  done
  [ -f "$starts" ] && [ "$(wc -l <"$starts")" -eq "$1" ] ||
    { cat "$work/marlit.log" >&2; fail "the emulator was started $(wc -l <"$starts" 2>/dev/null || echo 0) times, not $1"; }
}
column_of() { # column rom
  sqlite3 -readonly "$work/ws/marlit-history.db" \
    "SELECT $1 FROM roms WHERE CAST(path AS TEXT) = '$roms/$2'" 2>/dev/null || true
}
# Ends the running game with the combination and checks that exactly it has gone.
end_game_with_combination() {
  local game
  game=$(cat "$work/game.pid")
  running "$game" || fail "the game ended before the combination"
  press "back+start 1500"
  for _ in $(seq 100); do running "$game" || break; sleep 0.1; done
  running "$game" && fail "Back+Start held did not end the game"
  running "$marlit_pid" || fail "Marlit ended with the game"
  rm -f "$work/game.pid"
}

MARLIT_VIRTUAL_PAD="$pad" QT_QPA_PLATFORM=xcb "$marlit" >>"$work/marlit.log" 2>&1 &
marlit_pid=$!
track "$marlit_pid"
wid=$(wait_for_window '^Marlit$') || { cat "$work/marlit.log" >&2; fail "the window did not appear"; }
sleep 2
xdotool windowactivate --sync "$wid" 2>/dev/null || true
sleep 0.5
shot 1-start

# The right trigger: the next tab, "Console", its first system. Down twice: Beta. a plays it.
press righttrigger
press dpdown dpdown
shot 2-console-tab
press a
wait_for_starts 1
[ "$(tail -n 1 "$starts")" = "$roms/Beta (E).nes" ] || fail "a started $(tail -n 1 "$starts")"
# While the game runs the pad is the game's: a second a starts nothing.
sleep 3.5
press a
shot 3-playing
end_game_with_combination
for _ in $(seq 50); do [ "$(column_of plays 'Beta (E).nes')" = 1 ] && break; sleep 0.1; done
[ "$(column_of plays 'Beta (E).nes')" = 1 ] || fail "the play was not recorded: '$(column_of plays 'Beta (E).nes')'"
[ "$(column_of played_ms 'Beta (E).nes')" -ge 3000 ] || fail "the time played is $(column_of played_ms 'Beta (E).nes') ms"
wait_for_starts 1

# y stars it.
press y
for _ in $(seq 50); do [ "$(column_of favourite 'Beta (E).nes')" = 1 ] && break; sleep 0.1; done
[ "$(column_of favourite 'Beta (E).nes')" = 1 ] || fail "y did not star Beta"
shot 4-starred

# Left to the systems, down past the last into the folder tree ("ROMS"), up to "Recently
# Played", right into its list; a plays its first row.
press dpleft dpdown dpup dpright
shot 5-recently-played
press a
wait_for_starts 2
[ "$(tail -n 1 "$starts")" = "$roms/Beta (E).nes" ] ||
  fail "the first row of \"Recently Played\" started $(tail -n 1 "$starts")"
sleep 3.5
end_game_with_combination
for _ in $(seq 50); do [ "$(column_of plays 'Beta (E).nes')" = 2 ] && break; sleep 0.1; done
[ "$(column_of plays 'Beta (E).nes')" = 2 ] || fail "the second play was not recorded"
shot 6-after-second-game

close_through_window_manager "$wid" "$marlit_pid"
[ "$close_status" = 0 ] || { cat "$work/marlit.log" >&2; fail "Marlit's exit status is '$close_status'"; }
echo "pad session test passed"
