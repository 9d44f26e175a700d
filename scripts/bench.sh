#!/usr/bin/env bash
# Installs what is missing, builds an optimised Marlit with its benchmarks and runs them all.
# Each prints its figures next to a baseline measured in the same run, as ratios.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh --tests
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DMARLIT_BENCH=ON -DBUILD_TESTING=OFF
cmake --build build-bench -j "$(nproc)"

export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
for bench in build-bench/bench/*Bench; do
  echo "== $(basename "$bench")"
  "$bench" "$@"
done
