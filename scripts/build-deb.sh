#!/usr/bin/env bash
# Builds the Debian package the way Debian builds its own (dpkg-buildpackage:
# dh with CMake, the test suite but its load tests) and moves what
# dpkg-buildpackage writes beside the source tree into OUTDIR.
# Usage: build-deb.sh [OUTDIR [JOBS]]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build-deb}
jobs=${2:-2}
version=$(dpkg-parsechangelog -S Version)
arch=$(dpkg-architecture -qDEB_HOST_ARCH)
made=("pemblor_${version}_${arch}.deb" "pemblor-dbgsym_${version}_${arch}.deb"
      "pemblor_${version}_${arch}.buildinfo" "pemblor_${version}_${arch}.changes")
# Files of an earlier build left beside the tree would pass for this one's.
for f in "${made[@]}"; do rm -f "../$f"; done
# dh gives the build a home folder of its own; the compiler cache stays the user's.
if command -v ccache >/dev/null && [ -z "${CCACHE_DIR-}" ]; then
  CCACHE_DIR=$(ccache -k cache_dir)
  export CCACHE_DIR
fi
dpkg-buildpackage -us -uc -b --post-clean -j"$jobs"
mkdir -p "$out"
for f in "${made[@]}"; do mv -f "../$f" "$out/"; done
ls -l "$out"
