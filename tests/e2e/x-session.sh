# Sourced by the end-to-end tests: a private X server with a window manager, a scratch folder
# and cleanup on exit. Xvfb picks a free display number itself (-displayfd), so tests run in
# parallel, or beside other X servers, never take each other's display.
# Provides: $work (scratch folder), fail, track PID, start_x_session, wait_for_window NAME, shot
# NAME (when the test set $shots), key KEYS, wait_for_dos_mark FOLDER, mount_hung_share DAEMON
# FOLDER.

work=$(mktemp -d)
pids=()
# No session bus, as in a session without one, but without its launcher: the gamepad library's
# start forks dbus-launch, and in a sanitised build the forked copy can hang before it runs it
# (the allocator's lock taken by another thread at the fork), outliving the test with its files.
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-session-bus"

cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
track() { pids+=("$1"); }

# Whether process PID is still running (an ended child stays a zombie until it is waited for).
running() {
  local state
  state=$(ps -o stat= -p "$1" 2>/dev/null) && [[ $state != Z* ]]
}

start_x_session() {
  local fifo="$work/displayfd"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "${X_SESSION_SCREEN:-1024x768x24}" -nolisten tcp 3>"$fifo" >"$work/xvfb.log" 2>&1 &
  local xvfb=$!
  track "$xvfb"
  local number
  read -r -t 20 number <"$fifo" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  [[ $number =~ ^[0-9]+$ ]] || fail "Xvfb gave no display number: $(cat "$work/xvfb.log")"
  export DISPLAY=":$number"
  # A machine busy building can keep a fresh server from answering for many seconds.
  for _ in $(seq 300); do
    xdpyinfo >/dev/null 2>&1 && break
    running "$xvfb" || fail "Xvfb ended: $(cat "$work/xvfb.log")"
    sleep 0.1
  done
  xdpyinfo >/dev/null 2>&1 || fail "Xvfb did not answer within 30 s: $(cat "$work/xvfb.log")"
  # openbox is ready once it has set its supporting window on the root; a loaded machine (CI
  # building beside the tests) can take many seconds to get there. Now and then a fresh server
  # turns openbox's first connection away; an openbox that gave up is started again.
  local attempt wm
  for attempt in 1 2 3; do
    openbox >"$work/openbox.log" 2>&1 &
    wm=$!
    track $wm
    for _ in $(seq 600); do
      xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
      running $wm || break
      sleep 0.1
    done
  done
  fail "openbox did not start: $(cat "$work/openbox.log") $(cat "$work/xvfb.log")"
}

# Mounts the misbehaving FUSE share (needs root) of DAEMON at FOLDER, sets $share to it, and
# makes sure that whatever happens the share is let go first on exit: a request it never answers
# would otherwise hold whoever made it for good.
mount_hung_share() { # daemon folder
  share=$2
  mkdir -p "$share"
  /usr/bin/python3 "$1" "$share" >"$work/share.log" 2>&1 &
  share_pid=$!
  for _ in $(seq 100); do
    mountpoint -q "$share" && break
    sleep 0.1
  done
  mountpoint -q "$share" || fail "the share did not mount: $(cat "$work/share.log")"
  connection=$(mountpoint -d "$share" | cut -d: -f2)
  [ -d "/sys/fs/fuse/connections/$connection" ] || mount -t fusectl none /sys/fs/fuse/connections
  trap 'release_share; cleanup' EXIT
}
release_share() {
  echo 1 >"/sys/fs/fuse/connections/$connection/abort" 2>/dev/null || true
  umount -l "$share" 2>/dev/null || true
  kill -9 "$share_pid" 2>/dev/null || true
}

# Prints the id of the first visible window whose title matches the regular expression NAME.
wait_for_window() {
  local wid=
  for _ in $(seq 300); do
    wid=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
    [ -n "$wid" ] && { echo "$wid"; return 0; }
    sleep 0.1
  done
  return 1
}

# Closes window WID as a user does, with Alt+F4 through the window manager, and waits for the
# process PID (a child of the test's shell) to end; sets close_status to its exit status, or to
# nothing if it did not end. A key sent while the
# window manager is still settling focus can go astray, so the key is sent again, a few times,
# while the process lives: once it is closing, a further Alt+F4 has nothing left to reach.
close_through_window_manager() {
  local wid=$1 pid=$2 attempt tick
  close_status=
  for attempt in 1 2 3 4 5; do
    xdotool windowactivate --sync "$wid" 2>/dev/null || true
    xdotool key --clearmodifiers alt+F4 2>/dev/null || true
    for tick in $(seq 50); do
      if ! kill -0 "$pid" 2>/dev/null; then
        close_status=0
        wait "$pid" || close_status=$?
        return 0
      fi
      sleep 0.1
    done
  done
  return 0
}

# Closes window WID with Alt+F4 (sent again while it stays), then fails unless the process PID (a
# child of the test's shell) ends within SECONDS of the window going, with status 0.
close_and_end_within() { # wid pid seconds
  local wid=$1 pid=$2 closed_at= status=0
  viewable() { xwininfo -id "$wid" 2>/dev/null | grep -q 'IsViewable'; }
  for _ in 1 2 3 4 5; do
    xdotool windowactivate --sync "$wid" 2>/dev/null || true
    xdotool key --clearmodifiers alt+F4 2>/dev/null || true
    for _ in $(seq 50); do
      if ! viewable || ! running "$pid"; then
        closed_at=$(date +%s%N)
        break 2
      fi
      sleep 0.02
    done
  done
  [ -n "$closed_at" ] || fail "the window did not close"
  while running "$pid" && [ $(($(date +%s%N) - closed_at)) -lt $(($3 * 1000000000)) ]; do
    sleep 0.02
  done
  running "$pid" && fail "the program still runs $3 s after its window closed"
  wait "$pid" || status=$?
  [ "$status" -eq 0 ] || { cat "$work/marlit.log" >&2; fail "exit status $status"; }
}

# Closes the dialog WID titled TITLE (a regular expression) with Escape, as a user does: the
# dialog is activated first and the key sent again while it stays, since a key sent while the
# window manager still moves the focus reaches the window under it. Fails naming WHAT.
escape_window() { # wid title what
  for _ in 1 2 3 4 5; do
    xdotool windowactivate --sync "$1" 2>/dev/null || true
    xdotool key --clearmodifiers Escape
    for _ in $(seq 20); do
      xdotool search --onlyvisible --name "$2" >/dev/null 2>&1 || return 0
      sleep 0.1
    done
  done
  fail "Escape did not close $3 (shown: $(visible_windows))"
}

# The titles of the visible windows, for a failure's message.
visible_windows() {
  local id
  for id in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
    printf '"%s" ' "$(xdotool getwindowname "$id" 2>/dev/null)"
  done
}

# In a new workspace Marlit offers, beside its window WID, a system for each emulator it found.
# Dismisses that offer as a user who sets up by hand does (Escape: "Not now"), waits until it has
# gone and activates the window again, so that a click on it is not taken while the window
# manager still moves the focus; fails when nothing is offered.
dismiss_first_start_offer() { # wid
  local offer
  offer=$(wait_for_window '^Add Your Emulators$') || fail "no offer of the emulators found"
  escape_window "$offer" '^Add Your Emulators$' "the offer of the emulators found"
  xdotool windowactivate --sync "$1" 2>/dev/null || true
}

catalogue_record() { # name description romdir emulator commandline: one system of a catalogue file
  printf 'NAME = %s\r\nDESC = %s\r\nROMDIR = %s\r\nEMU = %s\r\nCOMMAND LINE = %s\r\n' "$@"
  printf 'ICON = \r\nSNAPADIR = \r\nSNAPBDIR = \r\nSNAPSHOT = \r\n\r\n'
}

shot() { # name: the screen as it is now, kept when the test was given a prefix in $shots
  [ -n "${shots:-}" ] && import -window root "$shots-$1.png" 2>/dev/null || true
}

key() { # keys, sent with a pause between them and after, as a person types
  xdotool key --clearmodifiers --delay 150 "$@"
  sleep 0.5
}

wait_for_dos_mark() { # folder: the demo's DOS program, started by DOSBox, writes MARLIT.TXT there
  local mark="$1/MARLIT.TXT"
  for _ in $(seq 300); do
    [ -s "$mark" ] && break
    sleep 0.1
  done
  [ -s "$mark" ] || { cat "$work/marlit.log" >&2; fail "the DOS program did not run (no $mark)"; }
  [ "$(tr -d '\r' <"$mark")" = "Started by Marlit" ] || fail "MARLIT.TXT holds '$(cat "$mark")'"
}
