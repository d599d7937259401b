#!/usr/bin/env bash
# Checks the package that build-deb.sh made, as a user would meet it:
# lintian, then an install on this machine (dpkg -i, apt-get -f install), the
# programs run from /usr/bin, the manual pages and the completion found where
# the system looks, and a removal that leaves nothing behind. Needs root (or
# sudo); the package is removed again at the end, also when a check fails.
# Usage: check-deb.sh [DEBDIR]
set -euo pipefail
dir=${1:-build-deb}
version=$(cd "$(dirname "$0")/.." && dpkg-parsechangelog -S Version)
arch=$(dpkg-architecture -qDEB_HOST_ARCH)
deb=$dir/pemblor_${version}_${arch}.deb
dbgsym=$dir/pemblor-dbgsym_${version}_${arch}.deb
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
fail() { echo "check-deb: $*" >&2; exit 1; }
step() { echo "== $*"; }

step "package: $(du -k "$deb" | cut -f1) KiB, $(du -k "$dbgsym" | cut -f1) KiB of debug symbols"
step "lintian, overrides not applied"
lintian --no-override --display-info "$deb" "$dbgsym" || true
step "lintian"
lintian --display-info --fail-on error,warning "$deb" "$dbgsym"

if dpkg-query -W -f='${Status}' pemblor 2>/dev/null | grep -q "install ok installed"; then
  fail "pemblor is installed already; remove it first (dpkg -r pemblor)"
fi
work=$(mktemp -d)
cleanup() {
  $SUDO dpkg -r pemblor >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

step "install"
$SUDO dpkg -i "$deb" || true   # missing dependencies are left to apt
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get -f install -y -qq
dpkg-query -W -f='${Status}' pemblor | grep -q "install ok installed" || fail "not installed"
dpkg -L pemblor > "$work/files"
count=$(while read -r f; do [ -f "$f" ] && echo "$f"; done < "$work/files" | wc -l)
step "installed: $count files, $(dpkg-query -W -f='${Installed-Size}' pemblor) KiB"

step "the programs from /usr/bin"
[ "$(command -v pemblorctl)" = /usr/bin/pemblorctl ] || fail "pemblorctl is not /usr/bin/pemblorctl"
/usr/bin/pemblorctl --version | tee "$work/version"
grep -Eqx "pemblorctl $version \(commit ([0-9a-f]+(-dirty)?|unknown)\)" "$work/version" || fail "pemblorctl --version"
DISPLAY='' /usr/bin/pemblor --version | grep -q "^pemblor $version " || fail "pemblor --version"
/usr/bin/pemblorctl --root "$work/root" list | tee "$work/list"
grep -q '^Dev0 ' "$work/list" && grep -q '^Dev1 ' "$work/list" || fail "pemblorctl list"
if /usr/bin/pemblorctl --help | grep -q '^  selftest '; then
  /usr/bin/pemblorctl --root "$work/root" selftest --quick || fail "pemblorctl selftest --quick"
fi
/usr/bin/pemblorctl image /usr/share/pemblor/sample.IMG | head -n 1 | grep -qx "result 0" || fail "the sample image"
/usr/bin/pemblorctl --root "$work/root" --sim-config /usr/share/pemblor/run-cards.ini \
  console --script /usr/share/pemblor/demo.txt > "$work/demo" || fail "the demo script"
grep -q '^LINE Open Dev KSVECWDM1 OK' "$work/demo" || fail "the demo script's output"
# Without settings of its own the console takes the shipped ones, whose
# section adds card 1 even to an empty --cards.
QT_QPA_PLATFORM=offscreen /usr/bin/pemblor --root "$work/root" --cards '' --exit-when-shown \
  --sim-report "$work/cards.json" || fail "pemblor did not start"
grep -q '"device": 1' "$work/cards.json" || fail "pemblor did not find /usr/share/pemblor/run-cards.ini"

step "manual pages, desktop files, completion"
for page in pemblor pemblorctl; do
  [ "$(man -w "$page")" = "/usr/share/man/man1/$page.1.gz" ] || fail "man $page"
done
desktop-file-validate /usr/share/applications/pemblor.desktop
appstreamcli validate --no-net /usr/share/metainfo/org.example.pemblor.metainfo.xml >/dev/null
commands=$(/usr/bin/pemblorctl --help | sed -n '/^Subcommands:/,$p' | awk 'NR > 1 && /^  [a-z]/ { print $1 }' | sort | xargs)
offered=$(bash -c 'source /usr/share/bash-completion/bash_completion
  __load_completion pemblorctl || exit 1
  COMP_LINE="pemblorctl "; COMP_POINT=11; COMP_WORDS=(pemblorctl ""); COMP_CWORD=1
  $(complete -p pemblorctl | sed "s/.*-F \([^ ]*\) .*/\1/") pemblorctl "" pemblorctl
  printf "%s\n" "${COMPREPLY[@]}"' | sort | xargs)
echo "completion offers: $offered"
[ -n "$commands" ] && [ "$offered" = "$commands" ] || fail "the completion offers '$offered', the help lists '$commands'"

step "remove"
$SUDO dpkg -r pemblor
status=$(dpkg-query -W -f='${Status}' pemblor 2>/dev/null || true)
case $status in "" | *not-installed) ;; *) fail "after dpkg -r: $status" ;; esac
left=0
while read -r f; do
  [ "$f" = /. ] && continue
  # A folder that stays must belong to another package (/usr/share/man/man1 ...).
  if [ -e "$f" ] && ! { [ -d "$f" ] && dpkg -S "$f" >/dev/null 2>&1; }; then
    echo "left behind: $f"
    left=1
  fi
done < "$work/files"
[ $left = 0 ] || fail "dpkg -r left files behind"
echo "check-deb: all checks passed"
