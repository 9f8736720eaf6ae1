#!/bin/sh
# Installs the Debian packages the build needs (only when missing), then
# configures and builds everything into build/. Safe to run again.
set -eu
cd "$(dirname "$0")/.."

PACKAGES="build-essential cmake ninja-build pkg-config git
  libsdl2-dev libfreeimage-dev libsqlite3-dev zlib1g-dev libminizip-dev libexpat1-dev
  libdeflate-dev libjpeg-dev
  libcurl4-openssl-dev libfreetype-dev libfontconfig-dev
  fonts-liberation fonts-dejavu-core zenity yad mupdf-tools espeak-ng
  libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth xdotool python3"

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
    missing="$missing $p"
  fi
done
if [ -n "$missing" ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing
fi

BUILD_DIR="${TVL_BUILD_DIR:-build}"
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE="${TVL_BUILD_TYPE:-RelWithDebInfo}" \
  -DTVL_SANITIZE="${TVL_SANITIZE:-OFF}" -DTVL_WERROR="${TVL_WERROR:-OFF}" \
  -DTVL_SMALL_DEBUG="${TVL_SMALL_DEBUG:-OFF}"
cmake --build "$BUILD_DIR"
