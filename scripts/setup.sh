#!/usr/bin/env bash
# Installs the Debian packages the build, the viewer and the tests need, where any is missing.
set -euo pipefail

packages=(
  cmake g++ clang libclang-rt-14-dev make pkg-config
  freeglut3-dev libglu1-mesa-dev libgl1-mesa-dev libegl-dev libegl-mesa0 libgl1-mesa-dri
  libgtest-dev libbenchmark-dev libpng-dev libassimp-dev libtinyobjloader-dev libcli11-dev
  libgmock-dev xvfb xauth x11-utils xdotool
  help2man desktop-file-utils dpkg-dev
  libpotrace-dev libpolyclipping-dev librsvg2-bin libxml2-utils
  libwebp-dev libgif-dev libimagequant-dev
)
# Packages only a script needs (scripts/bench-peers.sh: f3d), named on the command line.
packages+=("$@")

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
