#!/bin/bash
# The files the package installs beside the programs: each manual page documents every option and
# command its program's --help lists, and the desktop entries, AppStream metadata, polkit policy
# and manual pages pass their validators (each validator only where it is installed).
# Usage: packaging_files_test.sh SOURCE_DIR VARIM VARIM_REPAIR
set -uo pipefail
source=$1
varim=$2
repair=$3
packaging=$source/packaging
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# A manual page's text with the roff escapes for hyphens and fonts taken out.
page_text() { sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' -e 's/\\\\//g' "$1"; }

# Every --option (and -h) of the usage appears in the page; every command of the usage's
# "commands:" list heads an entry of the page.
check_page() {
  local program=$1 page=$2 usage text option command
  usage=$("$program" --help) || { fail "$program --help failed"; return; }
  text=$(page_text "$page")
  for option in $(grep -oE -- '(^|[^a-z-])-(-[a-z][a-z-]*|h)\b' <<<"$usage" | grep -oE -- '-(-[a-z][a-z-]*|h)$' | sort -u); do
    grep -qE -- "(^|[^a-z-])$option([^a-z-]|$)" <<<"$text" || fail "$(basename "$page") does not document $option"
  done
  for command in $(sed -n '/^commands:/,$ s/^  \([a-z][a-z-]*\)\( .*\)\{0,1\}$/\1/p' <<<"$usage"); do
    grep -qE "^\.BI? \"?$command( |\"|$)" <<<"$text" || fail "$(basename "$page") has no entry for the command $command"
  done
}
check_page "$varim" "$packaging/man/varim.1"
check_page "$repair" "$packaging/man/varim-repair.1"

skipped=()
if command -v groff >/dev/null; then
  for page in "$packaging"/man/*.1; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 groff -man -Tutf8 -ww -z "$page" 2>&1)
    [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
  done
else skipped+=(groff); fi
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$packaging"/desktop/*.desktop || fail "desktop-file-validate"
else skipped+=(desktop-file-validate); fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net --explain "$packaging"/*.metainfo.xml || fail "appstreamcli validate --no-net"
else skipped+=(appstreamcli); fi
if command -v xmllint >/dev/null; then
  xmllint --noout "$packaging"/*.policy.in || fail "the polkit policy is not well-formed XML"
else skipped+=(xmllint); fi
if command -v bash >/dev/null; then
  bash -n "$packaging/completion/varim" || fail "the bash completion does not parse"
fi

[ ${#skipped[@]} -eq 0 ] || echo "not installed, not checked: ${skipped[*]} (tools/setup.sh installs them)"
[ "$failures" -eq 0 ]
