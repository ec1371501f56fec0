#!/bin/bash
# Installs what building, testing and running need on Debian 12, only where missing.
# Idempotent; run as root (or with sudo available). Safe to run before every build.
set -euo pipefail
packages=(
  cmake g++ make ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev fonts-liberation
  # the fuzz targets: clang with libFuzzer and the sanitizer runtimes
  clang libclang-rt-14-dev
  # the real-hardware tests in a small QEMU guest
  qemu-system-x86 linux-image-amd64 busybox-static cpio kmod xz-utils
  smartmontools e2fsprogs coreutils gcc libc6-dev util-linux
  # the window under a real X server for screenshots
  xvfb xauth
  # the Debian package: made by CPack, checked, installed on a clean Debian 12 root
  dpkg-dev lintian desktop-file-utils appstream libxml2-utils man-db debootstrap wget
  # the metrics checks: promtool (in prometheus), systemd-analyze, the dashboard's JSON
  prometheus systemd python3
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi
echo "setup: installing ${missing[*]}"
SUDO=''
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
