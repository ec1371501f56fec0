#!/bin/bash
# The metrics service's sandbox, checked without a running systemd: systemd-analyze rates its
# exposure at most 4.0, it grants read access to disks and nothing more, and `varim metrics`
# as the unit starts it does its whole job with only the unit's capabilities (root only: an
# unprivileged user cannot shrink a bounding set).
# Usage: metrics_unit_test.sh UNIT VARIM
set -uo pipefail
unit=$1
varim=$2
failures=0
checked=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
setting() { sed -n "s/^$1=//p" "$unit"; }

if command -v systemd-analyze >/dev/null; then
  checked=$((checked + 1))
  report=$(systemd-analyze security --offline=true "$unit" 2>&1)
  exposure=$(sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p' <<<"$report")
  if [ -z "$exposure" ]; then fail "systemd-analyze gave no exposure: $report"
  elif ! awk -v e="$exposure" 'BEGIN { exit !(e <= 4.0) }'; then fail "exposure $exposure is above 4.0"$'\n'"$report"
  else echo "exposure $exposure"; fi
else echo "systemd-analyze not installed: exposure not rated"; fi

# Devices: a closed policy, and read access to disks only.
[ "$(setting DevicePolicy)" = closed ] || fail "DevicePolicy is not closed"
while read -r device; do
  [[ $device =~ ^block-(sd|blkext)\ r$ ]] || fail "DeviceAllow=$device grants more than reading disks"
done < <(setting DeviceAllow)

if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null; then
  checked=$((checked + 1))
  caps=$(setting CapabilityBoundingSet | tr 'A-Z' 'a-z' | sed 's/cap_//g')
  bounding="-all$(printf ',+%s' $caps)"
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  printf '[Drive0]\nSectors = 2000\n[Drive1]\nSectors = 2000\nTransport = nvme\n' >"$work/machine.ini"
  folder="$work/textfile"
  mkdir -p "$folder"
  # The unit's own command line, its folder variable set to the test's folder.
  command=$(setting ExecStart | sed "s|\${VARIM_TEXTFILE_DIR}|$folder|g")
  read -r -a words <<<"$command"
  [ "${words[0]}" = varim ] || fail "ExecStart does not run varim: $command"
  out=$(setpriv --bounding-set "$bounding" --inh-caps=-all --no-new-privs -- \
        "$varim" --machine "$work/machine.ini" "${words[@]:1}" 2>&1) || fail "varim failed with only $caps: $out"
  grep -q '^varim_drive_info{drive="1"' "$folder/varim.prom" 2>/dev/null || fail "no metrics written with only $caps"
fi

[ "$checked" -gt 0 ] || { echo "SKIPPED: neither systemd-analyze nor root"; exit 77; }
[ "$failures" -eq 0 ]
