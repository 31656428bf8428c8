#!/usr/bin/env bash
# Installs the Debian packages the project builds, tests and runs with
# ("scripts/deps.sh run": only those for building and running).
# Only what is missing is installed; uses sudo when not root.
set -euo pipefail

# What building and running the run-time, Veltrack and the examples needs
# (./run asks for only these) ...
packages=(
  cmake g++ make pkg-config git ccache
  libsdl2-dev libgl-dev libgl1-mesa-dri mesa-utils
  liblzo2-dev libpng-dev libjpeg62-turbo-dev zlib1g-dev
  libfreetype-dev fonts-dejavu-core
  libopenal-dev libmpv-dev libgtk-3-dev
  xvfb xauth xdotool x11-utils imagemagick xterm
)
# ... and what the tests, the fuzz targets, the benchmarks and the manual
# need besides.
if [ "${1:-}" != run ]; then
  packages+=(
    clang libclang-rt-14-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    libboost-graph-dev libsfml-dev
    python3 curl nginx
    doxygen openbox
  )
fi

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
