#!/bin/bash
# Builds the programs for installation (Release, under /usr), makes the Debian package with CPack
# and, with --install, installs it with apt, which fetches its dependencies.
# Usage: tools/package.sh [--install]     (the package lands in build-package/)
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VARIM_PACKAGE_BUILD_DIR:-$top/build-package}
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DVARIM_BUILD_TESTS=OFF -DVARIM_BUILD_STATIC_CLI=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target varim varim-repair varim-repair-demo varim_packaging_files
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/varim-hdd-repair_*.deb)
echo "package: $deb"
if [ "${1:-}" = --install ]; then
  SUDO=''
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get install -y "$deb"
fi
