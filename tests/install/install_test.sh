#!/usr/bin/env bash
# Installs the build as a package build does (DESTDIR, prefix /usr) and checks it as a desktop
# would read it: the menu entry and the AppStream metainfo pass their validators, the entry's
# command is the installed launcher, its icon is in the hicolor theme, every PNG of it has the
# size its folder says, and the manual page formats without a warning. Then the launcher of an
# install under a scratch prefix must start Marlit in $XDG_DATA_HOME/marlit, made on first use,
# and write nothing into the home folder itself.
# Usage: install_test.sh BUILD_DIR APP_ID
set -euo pipefail

build=$1
app_id=$2
work=$(mktemp -d)
marlit_pid=
cleanup() {
  [ -n "$marlit_pid" ] && kill "$marlit_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

stage=$work/stage
DESTDIR=$stage cmake --install "$build" --prefix /usr >"$work/install.log" || { cat "$work/install.log" >&2; fail "install"; }

entry=$stage/usr/share/applications/$app_id.desktop
desktop-file-validate "$entry" || fail "the menu entry does not validate"
appstreamcli validate --no-net "$stage/usr/share/metainfo/$app_id.metainfo.xml" || fail "the metainfo does not validate"

# The table of known emulators, where the program looks for it.
cmp "$stage/usr/share/marlit/emulators.json" "$(dirname "$0")/../../data/emulators.json" ||
  fail "the table of known emulators is not installed as share/marlit/emulators.json"

exec_line=$(sed -n 's/^Exec=//p' "$entry")
[[ $exec_line == /* && -x $stage$exec_line ]] || fail "the menu entry runs '$exec_line', which is not installed"
icon=$(sed -n 's/^Icon=//p' "$entry")
[ -f "$stage/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon named $icon"
pictures=0
for picture in "$stage"/usr/share/icons/hicolor/*/apps/"$icon".png; do
  folder=$(basename "$(dirname "$(dirname "$picture")")")
  size=$(identify -format '%wx%h' "$picture")
  [ "$size" = "$folder" ] || fail "$picture is $size"
  pictures=$((pictures + 1))
done
[ "$pictures" -ge 4 ] || fail "only $pictures PNG sizes of the icon"

if command -v man >/dev/null; then
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$stage/usr/share/man/man1/marlit.1.gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "the manual page has warnings: $warnings"
fi

# The launcher, installed where it can run.
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log" >&2; fail "install"; }
launcher=$(sed -n 's/^Exec=//p' "$prefix/share/applications/$app_id.desktop")

# Starts the launcher with the given environment, waits for Marlit's last catalogue file in the
# folder it should work in, and ends Marlit.
launch_into() { # workspace env...
  local workspace=$1
  shift
  env "$@" QT_QPA_PLATFORM=offscreen "$launcher" >"$work/marlit.log" 2>&1 &
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

home=$work/home
mkdir "$home"
(cd "$work" && launch_into "$home/.local/share/marlit" -u XDG_DATA_HOME HOME="$home")
[ "$(stat -c %a "$home/.local/share/marlit")" = 700 ] || fail "the workspace folder is not private"
[ "$(ls -A "$home")" = .local ] || fail "the home folder holds $(ls -A "$home" | tr '\n' ' ')"
for file in "$work"/*.ini; do
  [ -e "$file" ] && fail "the launcher's own working folder got $file"
done

# A relative XDG_DATA_HOME is to be ignored; an absolute one is used.
rm -rf "$home/.local"
(cd "$work" && launch_into "$home/.local/share/marlit" HOME="$home" XDG_DATA_HOME=relative)
[ ! -e "$work/relative" ] || fail "a relative XDG_DATA_HOME was used"
(cd "$work" && launch_into "$work/data home/marlit" HOME="$home" XDG_DATA_HOME="$work/data home")
echo "install test passed"
