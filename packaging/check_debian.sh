#!/bin/sh
# Checks that debian/ follows the project: check_debian.sh SOURCE_DIR VERSION
# - the changelog and the AppStream releases start with the project version;
# - every build dependency of the package is one that scripts/install-deps.sh
#   installs (so `make deb` builds on a machine set up by it), and every
#   library package it installs for the build is a build dependency (so the
#   package builds where nothing else is installed).
set -u
src=$1 version=$2
fail=0
complain() { echo "$*"; fail=1; }

head -n 1 "$src/debian/changelog" | grep -q "^pemblor ($version) " ||
  complain "debian/changelog does not start with version $version"
grep -m 1 '<release ' "$src"/packaging/desktop/*.metainfo.xml | grep -q "version=\"$version\"" ||
  complain "packaging/desktop: the newest AppStream release is not $version"

# Build-Depends, one package a line, without versions, architectures or profiles.
build_depends=$(sed -n '/^Build-Depends:/,/^[A-Z]/p' "$src/debian/control" | sed '1d;$d' |
  sed 's/[(<\[].*//; s/:any//; s/[ ,]//g' | grep .)
# A package list of install-deps.sh, NAME=( ... ), on one line or several.
list() {
  awk -v name="$1" '$0 ~ "^" name "=\\(" { on = 1 } on { print } on && /\)/ { on = 0 }' "$src/scripts/install-deps.sh" |
    sed 's/^[A-Z_]*=(//; s/).*//' | tr ' ' '\n' | grep .
}
installed=$(list PACKAGES; list PACKAGING)
# Libraries only the benchmarks and fuzz targets use, which the package leaves out.
developer_only="libbenchmark-dev libavfilter-dev libclang-rt-14-dev"

for p in $build_depends; do
  [ "$p" = debhelper-compat ] && continue
  printf '%s\n' "$installed" | grep -qx "$p" || complain "debian/control: $p is not in scripts/install-deps.sh"
done
for p in $(list PACKAGES | grep -- '-dev$'); do
  case " $developer_only " in *" $p "*) continue ;; esac
  printf '%s\n' "$build_depends" | grep -qx "$p" || complain "scripts/install-deps.sh: $p is not a build dependency in debian/control"
done
[ $fail = 0 ] && echo "debian/ agrees with version $version and scripts/install-deps.sh"
exit $fail
