#!/usr/bin/env bash
# Packs the build with CPack into a .deb and checks what apt would see: the dependencies that
# dpkg-shlibdeps read from the program name the Qt libraries and SQLite, each of them once, the
# menu entry runs a launcher the package holds, and the program is stripped.
# Usage: deb_test.sh BUILD_DIR APP_ID
set -euo pipefail

build=$1
app_id=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB -B "$work/out" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack"; }
debs=("$work"/out/marlit_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no single package in $(ls "$work/out")"
deb=${debs[0]}

depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6 libsqlite3-0; do
  [[ ", $depends," == *", $library"[\ ,]* ]] || fail "Depends does not name $library: $depends"
done
# Each package once: apt takes a name given twice, but it shows a package made carelessly.
twice=$(tr ',' '\n' <<<"$depends" | sed -E 's/^ *//; s/[ (].*//' | sort | uniq -d)
[ -z "$twice" ] || fail "Depends names $(echo $twice) more than once: $depends"

dpkg-deb -x "$deb" "$work/root"
launcher=$(sed -n 's/^Exec=//p' "$work/root/usr/share/applications/$app_id.desktop")
[ -x "$work/root$launcher" ] || fail "the menu entry runs $launcher, which the package does not hold"
grep -q "^exec '/usr/bin/marlit'\$" "$work/root$launcher" || fail "the launcher does not start /usr/bin/marlit"
if readelf -S "$work/root/usr/bin/marlit" | grep -q '\.debug_info'; then
  fail "the program is not stripped"
fi
echo "package test passed"
