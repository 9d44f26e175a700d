#!/usr/bin/env bash
# Makes the README's screenshot: Marlit on a fresh demo workspace, on its own Xvfb server with
# openbox, the Super Nintendo system of the "Console" tab, a ROM selected and its two snapshots
# below the ROM list. Nothing outside the scratch folder is touched.
#
#   scripts/screenshot.sh [OUT.png [SCALE]]      (default doc/screenshot.png; SCALE e.g. 2 for a
#                                                 high-density screen, QT_SCALE_FACTOR)
# MARLIT_PROGRAM names a marlit already built (a test build, say) instead of building build/.
set -euo pipefail
cd "$(dirname "$0")/.."
sources=$PWD
out=$(realpath -m -- "${1:-doc/screenshot.png}")
scale=${2:-1}

program=${MARLIT_PROGRAM:-}
if [ -z "$program" ]; then
  bash scripts/install-deps.sh --tests
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
  cmake --build build -j "$(nproc)" --target marlit
  program=$sources/build/marlit
fi
program=$(realpath -- "$program")

# A screen that holds the 1000 x 700 window of the demo at the scale asked for.
export X_SESSION_SCREEN="$((1100 * scale))x$((800 * scale))x24"
source tests/e2e/x-session.sh
start_x_session

bash scripts/make-demo.sh "$work/demo" >/dev/null
cd "$work/demo"
QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale "$program" >"$work/marlit.log" 2>&1 &
track $!
wid=$(wait_for_window '^Marlit$') || { cat "$work/marlit.log" >&2; fail "the window did not appear"; }
xdotool windowactivate --sync "$wid" 2>/dev/null || true

# The ROM list has the focus: typing a name's first letters selects it, as in any list.
xdotool type --delay 60 "Chrono T"
# Time for the two pictures to be decoded and drawn.
sleep 1.5

# The window with its frame: the client area grown by the frame's extents.
info=$(xwininfo -id "$wid")
X=$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$info")
Y=$(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$info")
WIDTH=$(sed -n 's/.*Width: *//p' <<<"$info")
HEIGHT=$(sed -n 's/.*Height: *//p' <<<"$info")
read -r left right top bottom < <(xprop -id "$wid" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
import -window root "$work/screen.png"
mkdir -p "$(dirname "$out")"
convert "$work/screen.png" \
  -crop "$((WIDTH + left + right))x$((HEIGHT + top + bottom))+$((X - left))+$((Y - top))" +repage \
  -colors 256 -strip -define png:compression-level=9 "$out"
echo "Wrote $out ($(identify -format '%wx%h' "$out"), $(stat -c %s "$out") bytes)"
