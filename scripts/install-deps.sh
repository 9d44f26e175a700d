#!/usr/bin/env bash
# Installs what Marlit needs to build, run and test, from Debian's packages only.
# Idempotent: packages already present are left alone. Works as root or through sudo.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-base-dev-tools libqt6svg6 qt6-svg-dev qt6-image-formats-plugins
  libgl-dev libxkbcommon-dev
  libgtest-dev zlib1g-dev
  libsqlite3-dev libsqlitecpp-dev sqlite3
  libpugixml-dev
  libsdl2-dev
  clang-14 libclang-rt-14-dev
  xvfb xauth xdotool openbox x11-utils imagemagick fonts-liberation
  adwaita-icon-theme
  desktop-file-utils appstream dpkg-dev
  dosbox nasm
  fuse3 python3-fusepy
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
