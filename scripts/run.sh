#!/usr/bin/env bash
# Installs what is missing, builds Marlit and starts it on the demo workspace, which is made on
# first use in demo-workspace/ beside this repository's sources (nothing is downloaded).
# Needs a display (DISPLAY or WAYLAND_DISPLAY).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF
cmake --build build -j "$(nproc)" --target marlit

workspace=${MARLIT_DEMO_DIR:-$PWD/demo-workspace}
bash scripts/make-demo.sh "$workspace"
cd "$workspace"
exec "$OLDPWD/build/marlit"
