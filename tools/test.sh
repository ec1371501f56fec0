#!/bin/bash
# Sets everything up, builds everything and runs every test; then the same suite built with
# AddressSanitizer and UndefinedBehaviorSanitizer. Passes can be named to run only those:
# tools/test.sh [plain] [sanitize].
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc)
passes=("$@")
[ ${#passes[@]} -gt 0 ] || passes=(plain sanitize)

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

"$top/tools/setup.sh"
for pass in "${passes[@]}"; do
  case $pass in
    plain | sanitize) echo "== test pass: $pass"; SECONDS=0; "$pass"; echo "== $pass: ${SECONDS}s" ;;
    *) echo "tools/test.sh: unknown pass $pass (plain, sanitize)" >&2; exit 2 ;;
  esac
done
