#!/usr/bin/env bash
# A new user's first start with a real emulator: Marlit in an empty folder offers a system for
# each emulator of its table found on this machine. With the keys alone: typing "dosbox" finds
# DOSBox's line, Enter opens the folder picker at the home folder, the DOS folder is picked, Alt+A
# adds it. The window then shows the new system on the "Computer" tab with the DOS program, and
# Enter plays it: the program's file proves DOSBox ran it, and DOSBox, given -exit after it by the
# table, closes with it.
# Usage: first_start_test.sh MARLIT NASM DOSBOX PROGRAM.asm [SCREENSHOT-PREFIX]
set -euo pipefail

marlit=$1
nasm=$2
dosbox=$3
program_source=$4
shots=${5:-}
source "$(dirname "$0")/x-session.sh"
start_x_session

# DOSBox writes its configuration into the home folder and wants a sound device; the table is the
# one built into the program, whatever is installed on the machine.
export HOME="$work/home"
export SDL_AUDIODRIVER=dummy
export XDG_DATA_DIRS="$work/no-data"
unset XDG_DATA_HOME
[ "$(command -v dosbox)" = "$dosbox" ] || fail "the dosbox on PATH is not $dosbox"
roms="$HOME/DOS programs"
mkdir -p "$roms" "$work/ws"
"$nasm" -f bin -DLEAVE_MARK -o "$roms/HELLO.COM" "$program_source"

cd "$work/ws"
QT_QPA_PLATFORM=xcb "$marlit" --workspace . >"$work/marlit.log" 2>&1 &
marlit_pid=$!
track "$marlit_pid"
wid=$(wait_for_window '^Marlit$') || { cat "$work/marlit.log" >&2; fail "the window did not appear"; }
offer=$(wait_for_window '^Add Your Emulators$') || { cat "$work/marlit.log" >&2; fail "nothing was offered"; }
xdotool windowactivate --sync "$offer" 2>/dev/null || true
shot 1-offer

# The list has the keys: typing a line's beginning goes to it, Enter picks its folder.
xdotool type --delay 20 dosbox
xdotool key --clearmodifiers Return
picker=$(wait_for_window '^Browse for Folder$') || fail "Enter on DOSBox's line opened no folder picker"
# It opens on the home folder: Right opens it, Down goes to its one folder, Enter chooses it.
sleep 1
xdotool key --clearmodifiers Right
sleep 1
xdotool key --clearmodifiers Down
sleep 0.5
shot 2-picker
xdotool key --clearmodifiers Return
for _ in $(seq 100); do
  xdotool search --onlyvisible --name '^Browse for Folder$' >/dev/null 2>&1 || break
  sleep 0.1
done
shot 3-picked
xdotool key --clearmodifiers alt+a
for _ in $(seq 100); do
  xdotool search --onlyvisible --name '^Add Your Emulators$' >/dev/null 2>&1 || break
  sleep 0.1
done
xdotool search --onlyvisible --name '^Add Your Emulators$' >/dev/null 2>&1 && fail "Alt+A did not add"

# DOSBox took the blank record's place in the "Computer" file; the other tabs kept theirs.
record=$(printf 'NAME = DOSBox\r\n') # the first line; the rest is the table's
[ "$(head -n 1 computer.ini)" = "$record" ] || fail "computer.ini holds $(cat -A computer.ini)"
grep -q "^ROMDIR = $roms/"$'\r'"\$" computer.ini || fail "computer.ini holds $(cat -A computer.ini)"
grep -q "^EMU = $dosbox"$'\r'"\$" computer.ini || fail "computer.ini holds $(cat -A computer.ini)"
[ "$(grep -c '^NAME = ' computer.ini)" = 1 ] || fail "computer.ini holds $(cat -A computer.ini)"
for file in classic.ini console.ini handheld.ini; do
  [ "$(stat -c %s "$file")" = 104 ] || fail "$file changed: $(cat -A "$file")"
done
for _ in $(seq 50); do [ -f marlit.offered ] && break; sleep 0.1; done
[ -f marlit.offered ] || fail "the offer answered is not remembered"

# The window shows DOSBox's folder: a click on its one ROM, and Enter plays it.
shot 4-added
xdotool windowactivate --sync "$wid" 2>/dev/null || true
xdotool mousemove --window "$wid" 300 60 click 1
xdotool key --clearmodifiers Return
wait_for_dos_mark "$roms"
dosbox_window=$(wait_for_window '^DOSBox') || fail "no DOSBox window"
shot 5-dosbox
# The program ends on a key, and DOSBox with it. A key sent while the window manager still
# settles the focus can go astray: it is sent again while DOSBox is open.
for _ in 1 2 3 4 5; do
  xdotool windowactivate --sync "$dosbox_window" 2>/dev/null || true
  xdotool key --clearmodifiers space 2>/dev/null || true
  for _ in $(seq 40); do
    xdotool search --name '^DOSBox' >/dev/null 2>&1 || break 2
    sleep 0.1
  done
done
xdotool search --name '^DOSBox' >/dev/null 2>&1 && fail "DOSBox is still open after the program ended"

close_through_window_manager "$wid" "$marlit_pid"
status=$close_status
[ "$status" = 0 ] || { cat "$work/marlit.log" >&2; fail "Marlit's exit status is '$status'"; }
echo "first start test passed"
