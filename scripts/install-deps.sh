#!/usr/bin/env bash
# Installs what Marlit needs to build and run its demo (pictures drawn by ImageMagick, DOSBox,
# xmessage for the stand-in emulator's window), from Debian's packages
# only; with --tests also what its tests, fuzzing, benchmarks, screenshot and package need.
# Idempotent: packages already present are left alone. Works as root or through sudo.
#   scripts/install-deps.sh [--tests]
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-base-dev-tools libqt6svg6 qt6-svg-dev qt6-image-formats-plugins
  libgl-dev libxkbcommon-dev
  zlib1g-dev
  libsqlite3-dev libsqlitecpp-dev
  libpugixml-dev
  libsdl2-dev
  adwaita-icon-theme
  imagemagick fonts-liberation x11-utils
  dosbox nasm
)
if [ "${1:-}" = --tests ]; then
  packages+=(
    libgtest-dev sqlite3
    clang-14 libclang-rt-14-dev
    xvfb xauth xdotool openbox
    desktop-file-utils appstream dpkg-dev
    fuse3 python3-fusepy
    mednafen
  )
fi

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
