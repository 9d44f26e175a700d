#!/usr/bin/env bash
# Runs every fuzz target for a given time, for longer than the short runs of scripts/test.sh.
#
#   scripts/fuzz.sh [seconds per target, default 600] [targets at once, default 1]
#
# Each target starts from its checked-in seeds (tests/fuzz/corpus/<target>) and from what earlier
# runs found (build-fuzz/tests/fuzz/corpus/<target>). An input that makes a target fail is written
# next to the seeds as crash-<hash>, so that every later run, the short ones included, tries it
# again: mend the fault, give the file a name that says what it caught, and commit it.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-600}
parallel=${2:-1}

CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMARLIT_WITH_WIDGETS=OFF -DMARLIT_FUZZ=ON >/dev/null
cmake --build build-fuzz -j "$(nproc)"

logs=build-fuzz/fuzz-logs
mkdir -p "$logs"
targets=()
for source in tests/fuzz/*Fuzzer.cpp; do
  targets+=("$(basename "$source" .cpp)")
done

run_target() {
  local name=$1
  local found="build-fuzz/tests/fuzz/corpus/$name"
  local seeds="tests/fuzz/corpus/$name"
  mkdir -p "$found"
  if nice "build-fuzz/tests/fuzz/$name" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
    -print_final_stats=1 -artifact_prefix="$seeds/" "$found" "$seeds" >"$logs/$name.log" 2>&1; then
    echo "$name: clean, $(grep -o 'Done [0-9]* runs in [0-9]* second(s)' "$logs/$name.log" | tail -1)"
  else
    echo "$name: FAILED, see $logs/$name.log and the crash- file in $seeds"
    return 1
  fi
}

status=0
running=0
for name in "${targets[@]}"; do
  run_target "$name" &
  running=$((running + 1))
  if [ "$running" -ge "$parallel" ]; then
    wait -n || status=1
    running=$((running - 1))
  fi
done
while [ "$running" -gt 0 ]; do
  wait -n || status=1
  running=$((running - 1))
done
exit "$status"
