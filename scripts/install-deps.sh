#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the screenshots need
# (edid-decode and xcvt are the references the timing tests compare with; ser2net
# serves the emulated board over the network in the link tests).
# Safe to run again: it only calls apt-get when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev
  libcli11-dev nlohmann-json3-dev dpkg-dev file lintian
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libxcb1-dev libxcb-keysyms1-dev libx11-dev
  xvfb xauth xdotool x11-utils imagemagick fonts-dejavu-core
  g++-mingw-w64-x86-64-posix wine64 zip unzip
  clang libclang-rt-14-dev
  edid-decode xcvt
  ser2net
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
