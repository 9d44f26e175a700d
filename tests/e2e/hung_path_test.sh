#!/usr/bin/env bash
# A folder on PATH on a share that never answers (a FUSE folder whose every look-up is taken and
# never replied to), before the folder that holds dosbox: the first start still offers DOSBox,
# and the window names the folder that does not answer. "Setup", whose "Presets..." looks for
# the emulators again, opened again and again adds no thread to the program and a bounded number
# of reader processes; Alt+F4 closes the window, and the program ends within two seconds with
# status 0. Needs root (FUSE).
# Usage: hung_path_test.sh MARLIT MISBEHAVING_FS [SCREENSHOT_PREFIX]
set -euo pipefail

marlit=$1
share_daemon=$2
shots=${3:-}
source "$(dirname "$0")/x-session.sh"
[ "$(id -u)" -eq 0 ] || fail "mounting the share with FUSE needs root"

mount_hung_share "$share_daemon" "$work/nas"

start_x_session

mkdir -p "$work/ws" "$work/bin" "$work/home"
printf '#!/bin/sh\nexit 0\n' >"$work/bin/dosbox"
chmod +x "$work/bin/dosbox"
export HOME="$work/home" XDG_DATA_DIRS="$work/no-data"
# A desktop session has its message bus; without one, the toolkit's accessibility would have it
# started by dbus-launch, looked for on this PATH in a process that waits for the share for good.
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus"
unset XDG_DATA_HOME

cd "$work/ws"
PATH="$share/hang:$work/bin:$PATH" QT_QPA_PLATFORM=xcb "$marlit" --workspace . >"$work/marlit.log" 2>&1 &
marlit_pid=$!
track "$marlit_pid"
wid=$(wait_for_window '^Marlit$') || { cat "$work/marlit.log" >&2; fail "the window did not appear"; }
offer=$(wait_for_window '^Add Your Emulators$') || { cat "$work/marlit.log" >&2; fail "nothing was offered"; }
shot 1-offer
grep -q "^marlit: $share/hang/: the folder does not answer" "$work/marlit.log" ||
  { cat "$work/marlit.log" >&2; fail "the folder that does not answer is not named"; }
escape_window "$offer" '^Add Your Emulators$' "the offer"

threads() { ls "/proc/$marlit_pid/task" | wc -l; }
# The program and every process under it.
family() {
  ps -e -o pid=,ppid= | awk -v root="$marlit_pid" '
    { parent[$1] = $2 }
    END { n = 0; for (p in parent) { q = p; while (q in parent && q != root) q = parent[q]; if (q == root) n++ } print n }'
}
eval "$(xdotool getwindowgeometry --shell "$wid" | grep '^WIDTH=')"
spacing=$(((WIDTH - 605) / 4))
open_setup() { # then Tab to "Presets...", Space opens it, and Escape twice
  xdotool windowactivate --sync "$wid" 2>/dev/null || true
  xdotool mousemove --window "$wid" $((355 + 2 * spacing + 60)) 25 click 1
  setup=$(wait_for_window '^System Configuration$') || fail "Setup opened no dialog"
  xdotool windowactivate --sync "$setup" 2>/dev/null || true
  sleep 0.3
  xdotool key --clearmodifiers Tab space
  sleep "$1"
  [ "$2" ] && shot "$2"
  xdotool key --clearmodifiers Escape Escape
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name '^System Configuration$' >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  fail "Escape did not close System Configuration"
}
open_setup 4 2-presets
before=$(threads)
for _ in 1 2 3 4 5 6; do open_setup 1 ""; done
sleep 4 # the last search's folders passed over
after=$(threads)
processes=$(family)
echo "threads: $before before, $after after six more searches; processes under the program: $processes"
[ "$after" -le $((before + 1)) ] || fail "threads grew from $before to $after"
[ "$processes" -le 10 ] || fail "$processes processes under the program"

close_and_end_within "$wid" "$marlit_pid" 2
echo "hung PATH test passed"
