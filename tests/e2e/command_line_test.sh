#!/usr/bin/env bash
# The real program, asked for its help and its version in an empty folder with no display: each
# prints its text and ends with status 0, and the folder stays empty. No toolkit is started for
# them (it would fail without a display), whatever other arguments stand beside them.
# Usage: command_line_test.sh MARLIT VERSION
set -euo pipefail

marlit=$1
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
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
run "Usage: marlit [--tv | --help | --version]" --help
run "Marlit $version" --version
run "Usage: marlit [--tv | --help | --version]" -reverse --help --version
run "Usage: marlit [--tv | --help | --version]" --tv --help
run "Marlit $version" -style windows --version
echo "command line test passed"
