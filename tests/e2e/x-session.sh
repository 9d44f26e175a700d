# Sourced by the end-to-end tests: a private X server with a window manager, a scratch folder
# and cleanup on exit. Xvfb picks a free display number itself (-displayfd), so tests run in
# parallel, or beside other X servers, never take each other's display.
# Provides: $work (scratch folder), fail, track PID, start_x_session, wait_for_window NAME.

work=$(mktemp -d)
pids=()

cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
track() { pids+=("$1"); }

start_x_session() {
  local fifo="$work/displayfd"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "${X_SESSION_SCREEN:-1024x768x24}" -nolisten tcp 3>"$fifo" >"$work/xvfb.log" 2>&1 &
  track $!
  local number
  read -r -t 20 number <"$fifo" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  export DISPLAY=":$number"
  for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  xdpyinfo >/dev/null 2>&1 || fail "Xvfb did not answer"
  openbox >"$work/openbox.log" 2>&1 &
  track $!
  # openbox is ready once it has set its supporting window on the root; a loaded machine (CI
  # building beside the tests) can take many seconds to get there.
  for _ in $(seq 600); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
    sleep 0.1
  done
  fail "openbox did not start: $(cat "$work/openbox.log")"
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
