#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing pemblor need;
# with --packaging also what `make deb` needs to build and check the package.
# Idempotent: packages already present are not touched, and apt is only asked
# when something is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config python3
  qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl-dev fonts-dejavu-core fonts-wqy-microhei
  libavcodec-dev libavformat-dev libavfilter-dev libavutil-dev libswscale-dev libpng-dev
  libcli11-dev nlohmann-json3-dev libpugixml-dev
  prometheus-cpp-dev libsystemd-dev prometheus
  ffmpeg x264 ccache
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xauth
  man-db desktop-file-utils appstream bash-completion
)
# Building the Debian package and checking it (lintian).
PACKAGING=(debhelper dpkg-dev fakeroot lintian)
if [ "${1-}" = --packaging ]; then
  PACKAGES+=("${PACKAGING[@]}")
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
