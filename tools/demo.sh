#!/bin/bash
# Sets everything up, builds, and starts the demo window on its built-in simulated machine.
# Without a display it shows the same demo machine through the console tool instead: its
# drives, one drive's S.M.A.R.T. table, and a short scan that finds and repairs a few blocks.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$top/tools/setup.sh"
build=${VARIM_BUILD_DIR:-$top/build}
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target varim-repair-demo varim

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$build/src/qt/varim-repair-demo" "$@"
fi

varim="$build/src/cli/varim"
cat <<'TEXT'

No display found (neither DISPLAY nor WAYLAND_DISPLAY is set), so the window cannot open here.
Showing the same demo machine through the console tool `varim` instead.

TEXT
echo '$ varim --demo drives'
"$varim" --demo drives
echo
echo '$ varim --demo smart 2'
"$varim" --demo smart 2
echo
echo '$ varim --demo scan 3 --start 0 --end 10000 --mode standard'
"$varim" --demo scan 3 --start 0 --end 10000 --mode standard || true
