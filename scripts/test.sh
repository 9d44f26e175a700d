#!/usr/bin/env bash
# Installs what is missing, builds Marlit with AddressSanitizer and UndefinedBehaviorSanitizer,
# and runs every test: unit tests, widget tests (offscreen), the end-to-end test on its own X
# server; then the tests of the threaded code with ThreadSanitizer, and short runs of the fuzz
# targets.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh --tests

jobs=$(nproc)
# Work trees and clones in other folders share the compiler cache.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1

cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMARLIT_SANITIZE=ON -DMARLIT_WERROR=ON
cmake --build build-test -j "$jobs"
(cd build-test && ctest --output-on-failure -j "$jobs")

# The tests of the code that runs on worker threads, once more with ThreadSanitizer.
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMARLIT_TSAN=ON -DMARLIT_WERROR=ON
cmake --build build-tsan -j "$jobs" --target snapshots_tests tst_snapshotloader tst_mainframe tst_newuser \
  history_tests tst_playhistory launch_tests pad_tests tst_padwindow tst_padstart metadata_tests
(cd build-tsan && ctest --output-on-failure -j "$jobs" \
  -R '^(snapshots\.|ui\.tst_mainframe$|ui\.tst_newuser$|history\.|launch\.ProcessLauncher\.|pad\.|metadata\.GamelistXml\.)')

CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMARLIT_WITH_WIDGETS=OFF -DMARLIT_FUZZ=ON -DMARLIT_WERROR=ON
cmake --build build-fuzz -j "$jobs"
(cd build-fuzz && ctest --output-on-failure)
