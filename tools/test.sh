#!/bin/bash
# Sets everything up, builds everything and runs every test; then the same suite built with
# AddressSanitizer and UndefinedBehaviorSanitizer, and every fuzz target for a fixed number of
# inputs. Passes can be named to run only those: tools/test.sh [plain] [sanitize] [fuzz].
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc)
passes=("$@")
[ ${#passes[@]} -gt 0 ] || passes=(plain sanitize fuzz)

run_ctest() {
  (cd "$1" && ctest --output-on-failure -j"$jobs" --timeout 900)
}

# Everything, as shipped.
plain() {
  local build=${VARIM_BUILD_DIR:-$top/build}
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARIM_WARNINGS_AS_ERRORS=ON
  cmake --build "$build" -j"$jobs"
  run_ctest "$build"
}

# The whole suite with sanitizers; a sanitized program cannot be linked statically, so the
# QEMU guest tests (the same guest as the plain pass) are left out, and so are the benchmarks.
sanitize() {
  local build=${VARIM_SANITIZE_BUILD_DIR:-$top/build-asan}
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVARIM_WARNINGS_AS_ERRORS=ON -DVARIM_SANITIZE=ON -DVARIM_BUILD_BENCH=OFF
  cmake --build "$build" -j"$jobs"
  run_ctest "$build"
}

# The fuzz targets with clang: only the libraries they read through, no window.
fuzz() {
  local build=${VARIM_FUZZ_BUILD_DIR:-$top/build-fuzz}
  CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVARIM_WARNINGS_AS_ERRORS=ON -DVARIM_BUILD_FUZZERS=ON -DVARIM_BUILD_GUI=OFF -DVARIM_BUILD_TESTS=OFF -DVARIM_BUILD_BENCH=OFF
  cmake --build "$build" -j"$jobs" --target varim_fuzzers
  run_ctest "$build"
}

"$top/tools/setup.sh"
for pass in "${passes[@]}"; do
  case $pass in
    plain | sanitize | fuzz) echo "== test pass: $pass"; SECONDS=0; "$pass"; echo "== $pass: ${SECONDS}s" ;;
    *) echo "tools/test.sh: unknown pass $pass (plain, sanitize, fuzz)" >&2; exit 2 ;;
  esac
done
