#!/bin/sh
# Runs one of the checkers Debian's tools apply to an installed program's
# pages and desktop files: validate.sh man|desktop|appstream FILE...
# Any complaint fails (status 1); a checker that is not installed skips the
# check (status 77) and says so.
set -u
kind=$1
shift
need() {
  command -v "$1" >/dev/null 2>&1 && return
  echo "skipped: $1 is not installed (scripts/install-deps.sh installs it)"
  exit 77
}
complaints=""
for file in "$@"; do
  case $kind in
    man)
      need man
      # As lintian reads a manual page.
      out=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$file" 2>&1 >/dev/null) ;;
    desktop)
      need desktop-file-validate
      out=$(desktop-file-validate "$file" 2>&1) ;;
    appstream)
      need appstreamcli
      # Infos and pedantic remarks count too.
      out=$(appstreamcli validate --no-net --pedantic "$file" 2>&1) || [ -n "$out" ] || out="failed"
      out=$(printf '%s\n' "$out" | grep -Ev '^(✔|Validation was successful)' | grep -v '^$') ;;
    *)
      echo "validate.sh: unknown check '$kind'" >&2
      exit 2 ;;
  esac
  [ -z "$out" ] || complaints="$complaints$file:
$out
"
done
[ -z "$complaints" ] || { printf '%s' "$complaints"; exit 1; }
echo "$kind: $# file(s) clean"
