#!/bin/bash
# Long fuzzing runs: builds the fuzz targets (clang, sanitizers) and runs each named target, or
# every one, for SECONDS seconds in turn. New inputs are kept in BUILD/fuzz/found/NAME and reused
# by the next run; each run's output goes to BUILD/fuzz/NAME.log. A failing input is written to
# the current folder as crash-*, leak-* or timeout-* and stops the script with the report's end.
#   tools/fuzz.sh [SECONDS] [NAME...]      (default 300 seconds, every target)
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VARIM_FUZZ_BUILD_DIR:-$top/build-fuzz}
seconds=${1:-300}
shift || true

CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVARIM_BUILD_FUZZERS=ON -DVARIM_BUILD_GUI=OFF -DVARIM_BUILD_TESTS=OFF -DVARIM_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target varim_fuzzers

names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for corpus in "$top"/fuzz/corpus/*/; do names+=("$(basename "$corpus")"); done
fi
for name in "${names[@]}"; do
  found=$build/fuzz/found/$name
  log=$build/fuzz/$name.log
  mkdir -p "$found"
  echo "== fuzz_$name for ${seconds}s"
  status=0
  "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -max_len=4096 -timeout=20 -print_final_stats=1 \
    "$found" "$top/fuzz/corpus/$name" >"$log" 2>&1 || status=$?
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$log" || true
  if [ $status -ne 0 ]; then
    tail -n 40 "$log" >&2
    echo "fuzz_$name failed (exit $status); whole report in $log" >&2
    exit 1
  fi
done
