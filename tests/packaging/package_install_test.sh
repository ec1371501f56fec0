#!/bin/bash
# The Debian package on a clean Debian 12: builds the .deb with CPack, creates a minimal bookworm
# root with debootstrap (cached in the build tree), installs the package there with apt so its
# Depends come from the archive, runs the programs inside and checks where the files landed.
# Exits 77 (skipped) with the reason where root, debootstrap or the archive is missing.
# Usage: package_install_test.sh BUILD_DIR RES_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
res=$2
work=$build/package-test
root=$work/bookworm-root
skip() { echo "SKIPPED: $*"; exit 77; }
started=$SECONDS

[ "$(id -u)" -eq 0 ] || skip "needs root (debootstrap, chroot)"
for tool in debootstrap cpack dpkg-shlibdeps unshare wget; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (tools/setup.sh installs it)"
done

# The archive this machine installs from (deb822 or one-line sources), or VARIM_DEBIAN_MIRROR.
mirror=${VARIM_DEBIAN_MIRROR:-}
if [ -z "$mirror" ]; then
  mirror=$(cat /etc/apt/sources.list.d/*.sources 2>/dev/null |
    awk '/^URIs:/ {uri=$2} /^Suites:/ && / bookworm( |$)/ && uri !~ /security/ {print uri; exit}')
fi
if [ -z "$mirror" ]; then
  mirror=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
    awk '$1 == "deb" && $3 == "bookworm" {print $2; exit}')
fi
mirror=${mirror:-http://deb.debian.org/debian}
wget -q -T 20 -t 2 -O /dev/null "$mirror/dists/bookworm/Release" ||
  skip "the Debian archive $mirror cannot be reached"

# The package, from what the build has built.
mkdir -p "$work"
rm -rf "$work/deb"
(cd "$build" && cpack -G DEB -B "$work/deb" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/deb/*.deb)
echo "package: $(basename "$deb") ($((SECONDS - started)) s)"
if command -v lintian >/dev/null; then
  # Errors fail; warnings are listed with their reasons in docs/packaging.md.
  lintian --fail-on error --suppress-tags initial-upload-closes-no-bugs "$deb" 2>/dev/null
fi

# The minimal root, made once and reused: building it is most of the first run's time.
if [ ! -e "$root/.varim-complete" ]; then
  rm -rf "$root"
  mkdir -p "$work"
  echo "debootstrap bookworm from $mirror"
  # debootstrap mounts /proc in the root while it works: in a mount namespace of its own, that
  # mount cannot outlive it even when it is killed.
  unshare --mount --propagation private \
    debootstrap --variant=minbase --include=man-db bookworm "$root" "$mirror" >"$work/debootstrap.log" 2>&1 ||
    { tail -20 "$work/debootstrap.log"; skip "debootstrap of bookworm from $mirror failed"; }
  cat >"$root/etc/apt/apt.conf.d/90varim-test" <<'CONF'
Acquire::Check-Valid-Until "false";
Acquire::Languages "none";
APT::Install-Recommends "false";
CONF
  touch "$root/.varim-complete"
  echo "root created ($((SECONDS - started)) s)"
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$deb" "$root/tmp/varim.deb"

# Everything inside runs in a mount namespace of its own: its mounts vanish with it, whatever
# happens; the trap unmounts them even earlier.
# The root keeps the dependencies of the last package installed in it: a second run then installs
# without unpacking them again. When the package's Depends change, they are removed first, so the
# new Depends alone must bring in what the programs need.
depends=$(dpkg-deb -f "$deb" Depends)
if [ -e "$root/.varim-depends" ] && [ "$(cat "$root/.varim-depends")" != "$depends" ]; then
  chroot "$root" apt-get autoremove -y -q --purge >/dev/null
fi
rm -f "$root/.varim-depends"

sizes=$(for icon in "$res"/icon-*.png; do size=$(basename "$icon" .png); echo "${size#icon-}"; done)
units=$(cd "$res/../packaging" && ls systemd/*.service systemd/*.timer 2>/dev/null | xargs -r -n1 basename | tr '\n' ' ')
unshare --mount --propagation private bash -s "$root" "$units" $sizes <<'INSIDE'
set -euo pipefail
root=$1
units=$2
shift 2
cleanup() {
  umount -l "$root/dev" 2>/dev/null || true
  umount -l "$root/proc" 2>/dev/null || true
}
trap cleanup EXIT
mount -t proc proc "$root/proc"
mount --rbind /dev "$root/dev"
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }
export DEBIAN_FRONTEND=noninteractive
if ! in_root apt-get install -y -q /tmp/varim.deb >/tmp/varim-apt.log 2>&1; then
  in_root apt-get update -q >/dev/null
  in_root apt-get install -y -q /tmp/varim.deb
fi

fail() { echo "FAILED: $*"; exit 1; }
in_root varim --demo drives
in_root varim --demo --json smart 0 | grep -q '"number": 0' || fail "varim --demo --json smart 0"
in_root man -w varim | grep -q '/usr/share/man/man1/varim.1.gz' || fail "man -w varim"
in_root man -w varim-repair >/dev/null || fail "man -w varim-repair"

# The demo window offscreen for a moment: it must still be running, then end on SIGTERM.
chroot "$root" env -i PATH=/usr/bin:/bin HOME=/root QT_QPA_PLATFORM=offscreen varim-repair-demo &
demo=$!
sleep 3
kill -0 "$demo" 2>/dev/null || fail "varim-repair-demo ended by itself"
kill -TERM "$demo"
wait "$demo" || fail "varim-repair-demo did not end cleanly on SIGTERM"

# Where menus, icon themes, software centres, polkit and bash look.
for file in usr/bin/varim usr/bin/varim-repair usr/bin/varim-repair-demo \
    usr/share/applications/example.varim.HddRepair.desktop \
    usr/share/applications/example.varim.HddRepair.Demo.desktop \
    usr/share/metainfo/example.varim.HddRepair.metainfo.xml \
    usr/share/polkit-1/actions/example.varim.hddrepair.policy \
    usr/share/bash-completion/completions/varim \
    usr/share/varim/grafana/varim-drives.json usr/share/varim/prometheus/varim-alerts.yml; do
  [ -e "$root/$file" ] || fail "/$file is missing"
done
for unit in $units; do
  [ -e "$root/usr/lib/systemd/system/$unit" ] || fail "the systemd unit $unit is missing"
done
for size in "$@"; do
  [ -e "$root/usr/share/icons/hicolor/${size}x${size}/apps/example.varim.HddRepair.png" ] ||
    fail "the ${size}x${size} icon is missing"
done

# Take the package out again; its dependencies stay for the next run (see above).
in_root apt-get purge -y -q varim-hdd-repair >/dev/null
INSIDE
echo "$depends" >"$root/.varim-depends"
echo "installed and ran in the root ($((SECONDS - started)) s)"

echo "package test passed in $((SECONDS - started)) s"
