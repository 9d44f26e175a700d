#!/usr/bin/env bash
# Builds Marlit's Debian package in build-package/: an optimised build with Debian's hardening
# flags, installed under /usr and packed by CPack, its dependencies read from the program by
# dpkg-shlibdeps. Then, on Debian 12:
#
#   sudo apt-get install ./build-package/marlit_*.deb      (and: sudo apt-get remove marlit)
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh --tests

# Debian's own compiler and linker flags, as a Debian package build would use them.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
eval "$(dpkg-buildflags --export=sh)"
export CXXFLAGS="$CPPFLAGS $CXXFLAGS"

cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DBUILD_TESTING=OFF
cmake --build build-package -j "$(nproc)"
(cd build-package && cpack -G DEB)
ls -l build-package/marlit_*.deb
