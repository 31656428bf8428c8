#!/usr/bin/env bash
# Installs the Debian packages the project builds, tests and runs with.
# Only what is missing is installed; uses sudo when not root.
set -euo pipefail

packages=(
  cmake g++ make pkg-config git ccache
  clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libsdl2-dev libgl-dev libgl1-mesa-dri mesa-utils
  liblzo2-dev libpng-dev libjpeg62-turbo-dev zlib1g-dev
  libfreetype-dev fonts-dejavu-core
  libopenal-dev libmpv-dev libgtk-3-dev
  libboost-graph-dev libsfml-dev
  python3 curl nginx
  doxygen
  xvfb xauth xdotool x11-utils openbox imagemagick xterm
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
