#!/usr/bin/env bash
# The real program, asked for its help and its version in an empty folder with no display: each
# prints its text and ends with status 0, and the folder stays empty. No toolkit is started for
# them (it would fail without a display), whatever other arguments stand beside them.
# Then started for real (offscreen) as from a terminal: in an empty folder it works in
# $XDG_DATA_HOME/marlit, the menu entry's folder, and leaves the folder empty; in a folder that
# holds a catalogue it works there; --workspace names the folder.
# Usage: command_line_test.sh MARLIT VERSION
set -euo pipefail

marlit=$1
version=$2
work=$(mktemp -d)
marlit_pid=
trap '[ -z "$marlit_pid" ] || kill "$marlit_pid" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir "$work/empty"
cd "$work/empty"
run() { # expected first line, arguments...
  local expected=$1 status=0
  shift
  env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$marlit" "$@" >"$work/out" 2>"$work/err" || status=$?
  [ "$status" -eq 0 ] || fail "marlit $*: status $status: $(cat "$work/err")"
  [ "$(head -n 1 "$work/out")" = "$expected" ] || fail "marlit $*: printed $(cat "$work/out")"
  [ ! -s "$work/err" ] || fail "marlit $*: said on standard error $(cat "$work/err")"
  [ -z "$(ls -A)" ] || fail "marlit $* wrote into its working folder: $(ls -A)"
}
run "Usage: marlit [--workspace FOLDER] [--tv | --help | --version]" --help
run "Marlit $version" --version
run "Usage: marlit [--workspace FOLDER] [--tv | --help | --version]" -reverse --help --version
run "Usage: marlit [--workspace FOLDER] [--tv | --help | --version]" --tv --help
run "Marlit $version" -style windows --version
run "Usage: marlit [--workspace FOLDER] [--tv | --help | --version]" --workspace "$work/never" --help
[ ! -e "$work/never" ] || fail "--help made the workspace"
status=0
env -u DISPLAY -u WAYLAND_DISPLAY "$marlit" --workspace 2>"$work/err" || status=$?
[ "$status" -eq 2 ] && grep -q -- "--workspace needs a folder" "$work/err" || fail "--workspace without a folder: status $status"

# Starts Marlit in the current folder, waits for the catalogue files in the folder it should work
# in, and ends it.
start_into() { # workspace arguments...
  local workspace=$1
  shift
  env -u XDG_DATA_HOME HOME="$work/home" QT_QPA_PLATFORM=offscreen "$marlit" "$@" >"$work/marlit.log" 2>&1 &
  marlit_pid=$!
  for _ in $(seq 300); do
    [ -f "$workspace/computer.ini" ] && break
    kill -0 "$marlit_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$marlit_pid" 2>/dev/null || true
  wait "$marlit_pid" 2>/dev/null || true
  marlit_pid=
  [ -f "$workspace/computer.ini" ] || { cat "$work/marlit.log" >&2; fail "no catalogue files in $workspace"; }
}
mkdir "$work/home"
cd "$work/home"
start_into "$work/home/.local/share/marlit"
[ "$(ls -A "$work/home")" = .local ] || fail "a start in the home folder wrote $(ls -A "$work/home" | tr '\n' ' ')"
[ "$(stat -c %a "$work/home/.local/share/marlit")" = 700 ] || fail "the workspace folder is not private"
mkdir "$work/collection"
printf '' >"$work/collection/console.ini"
cd "$work/collection"
start_into "$work/collection"
cd "$work/empty"
start_into "$work/named folder" --workspace "$work/named folder"
[ -z "$(ls -A)" ] || fail "--workspace wrote into the current folder: $(ls -A)"
echo "command line test passed"
