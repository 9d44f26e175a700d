#!/usr/bin/env bash
# The real program with standard error a pipe whose reader has gone, as when the terminal that
# started it was closed: an emulator that fails early (and writes to standard error itself) and a
# start that fails must each be said without ending Marlit, and a close must still end it with
# status 0 and write marlit.cfg.
# Usage: closed_stderr_test.sh MARLIT
set -euo pipefail

marlit=$1
source "$(dirname "$0")/x-session.sh"
start_x_session

mkdir -p "$work/ws" "$work/roms"
touch "$work/roms/Game.nes"
cat >"$work/emu.sh" <<SCRIPT
#!/bin/sh
touch "$work/emu.ran"
echo "emu: no BIOS" >&2
exit 3
SCRIPT
chmod 755 "$work/emu.sh"

cd "$work/ws"
printf 'NAME = Broken\r\nDESC = fails\r\nROMDIR = %s\r\nEMU = %s\r\nCOMMAND LINE = \r\n' "$work/roms/" "$work/emu.sh" \
  >console.ini
printf 'ICON = \r\nSNAPADIR = \r\nSNAPBDIR = \r\nSNAPSHOT = \r\n\r\n' >>console.ini
# Open on the "Console" tab (category 1), its first system, in a 640 x 480 window.
{
  printf '\x01\x01\x00\x02\x80\x01\xe0\x01\x00%s%s%s' 120 00000000 Arial
  head -c 103 /dev/zero
} >marlit.cfg

# Standard error is a FIFO; once the window is up, its only reader goes.
mkfifo "$work/stderr"
exec 4<>"$work/stderr"
QT_QPA_PLATFORM=xcb "$marlit" --workspace . >"$work/marlit.log" 2>"$work/stderr" 4<&- &
marlit_pid=$!
track "$marlit_pid"
wid=$(wait_for_window '^Marlit$') || fail "the window did not appear"
exec 4<&-

# The one ROM, selected with a click on the first row of the ROM list, started with Enter: the
# emulator says why on standard error and ends with status 3, and Marlit says so too.
xdotool windowactivate --sync "$wid" 2>/dev/null || true
xdotool mousemove --window "$wid" 300 60 click 1
xdotool key --clearmodifiers Return
for _ in $(seq 100); do
  [ -e "$work/emu.ran" ] && break
  sleep 0.1
done
[ -e "$work/emu.ran" ] || fail "the emulator did not run"
sleep 4 # the first seconds are watched; then the failure is said
kill -0 "$marlit_pid" 2>/dev/null || fail "Marlit ended after the emulator's early failure"

# Now the emulator cannot be started at all.
chmod 644 "$work/emu.sh"
xdotool windowactivate --sync "$wid" 2>/dev/null || true
xdotool key --clearmodifiers Return
sleep 1
kill -0 "$marlit_pid" 2>/dev/null || fail "Marlit ended after a failed start"

rm marlit.cfg
close_through_window_manager "$wid" "$marlit_pid"
status=$close_status
[ "$status" = 0 ] || fail "Marlit's exit status is '$status'"
[ -f marlit.cfg ] || fail "marlit.cfg was not written"
size=$(stat -c %s marlit.cfg)
[ "$size" -eq 128 ] || fail "marlit.cfg has $size bytes"
echo "closed standard error test passed"
