#!/usr/bin/env bash
# Everything the Windows cross-build needs, from Debian only: the mingw-w64
# compilers, zlib for mingw-w64 and Wine from the archive; libpng,
# libjpeg-turbo, LZO, FreeType and GoogleTest built static for
# x86_64-w64-mingw32 from Debian's own source packages. Packages are
# installed only when missing (sudo when not root).
# The libraries are built once per set of versions (the source packages',
# the compilers', this script's and the toolchain file's) into a cache
# outside the checkout, ${CRV_CACHE_DIR:-~/.cache/corvane}/win-deps-<key>,
# which every clone on this machine shares; <build>/deps (default
# build-win/deps) is made a link to it. A new version of any of them gives
# a new key and one new build.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build-win}")
link=$build/deps
toolchain=$root/toolchains/mingw-w64-x86_64.cmake
jobs=${CRV_JOBS:-2}

# The build machine's compiler and libpng make the build-time generators;
# the tests read Debian's DejaVu fonts and drive windows with xdotool.
packages=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix libz-mingw-w64-dev
  wine wine64 wine64-preloader xvfb x11-utils xdotool
  cmake make pkg-config ccache dpkg-dev nasm googletest g++ libpng-dev fonts-dejavu-core
)
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
updated=0
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  updated=1
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Source packages need a deb-src entry beside the binary ones.
if ! grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  echo "Adding deb-src entries for Debian's source packages"
  "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/corvane-deb-src.sources >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  updated=0
fi

# The versions of a source package the package lists know, newest first
# by Debian's own ordering (epochs and "+deb12uN" included).
candidates() {
  local v i sorted=()
  for v in $(apt-cache showsrc "$1" 2>/dev/null | sed -n 's/^Version: //p' | sort -u); do
    i=${#sorted[@]}
    sorted+=("$v")
    while [ "$i" -gt 0 ] && dpkg --compare-versions "${sorted[i-1]}" lt "$v"; do
      sorted[i]=${sorted[i-1]}
      i=$((i - 1))
    done
    sorted[i]=$v
  done
  [ ${#sorted[@]} -eq 0 ] || printf '%s\n' "${sorted[@]}"
}
sources=(libpng1.6 libjpeg-turbo lzo2 freetype)
cache=${CRV_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/corvane}
choose_prefix() {
  local key name
  key=$({
    cat "$root/scripts/win-deps.sh" "$toolchain"
    for name in "${sources[@]}"; do echo "$name $(candidates "$name" | head -n 1)"; done
    dpkg-query -W -f='${Package} ${Version}\n' g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest nasm
  } | sha256sum | cut -c1-16)
  prefix=$cache/win-deps-$key
  src=$prefix/src
}
use_prefix() {
  mkdir -p "$build"
  [ -L "$link" ] || rm -rf "$link"
  ln -sfn "$prefix" "$link"
  echo "Windows libraries in $prefix"
}
choose_prefix
[ -f "$prefix/.complete" ] && { use_prefix; exit 0; }
# Before building, the package lists are brought up to date (they may be
# missing on a new machine), which may name newer versions.
if [ "$updated" -eq 0 ]; then
  "${sudo_cmd[@]}" apt-get update -qq
  choose_prefix
  [ -f "$prefix/.complete" ] && { use_prefix; exit 0; }
fi
# One build at a time per set of versions; a second clone waits for it and
# then finds it done.
mkdir -p "$cache"
exec 9>"$prefix.lock"
flock 9
[ -f "$prefix/.complete" ] && { use_prefix; exit 0; }
mkdir -p "$src"
# A run stopped half-way keeps the libraries it finished.
built() { [ -f "$prefix/lib/$1" ]; }

# Fetches and unpacks a source package into $src once; prints its folder.
# Tries the versions the package lists name, newest first: an index (the
# security one above all) can name a version whose files the archive does
# not serve (any more, or not yet), and then the next one is taken. Each
# version is downloaded and checked against the signed index by apt, then
# unpacked into a folder of its own that is renamed into place only when
# complete, so an interrupted run never leaves a half source tree behind.
fetch() {
  local name=$1 version dir stage got
  dir=$src/$name
  [ -f "$dir/.unpacked" ] && { echo "$dir"; return 0; }
  local versions
  versions=$(candidates "$name")
  if [ -z "$versions" ]; then
    echo "win-deps: apt knows no source package $name (are the deb-src entries there?)" >&2
    return 1
  fi
  for version in $versions; do
    stage=$src/.fetch-$name
    rm -rf "$stage" "$dir"
    mkdir -p "$stage"
    # A second try per version, for a connection that dropped.
    got=0
    for _ in 1 2; do
      if (cd "$stage" && apt-get source -qq --download-only "$name=$version" >/dev/null 2>>"$stage/errors"); then
        got=1
        break
      fi
    done
    if [ $got -eq 1 ] && (cd "$stage" && dpkg-source -x ./*.dsc tree >/dev/null 2>>"$stage/errors"); then
      echo "win-deps: $name $version from Debian's archive" >&2
      : >"$stage/tree/.unpacked"
      mv "$stage/tree" "$dir"
      rm -rf "$stage"
      echo "$dir"
      return 0
    fi
    echo "win-deps: $name $version could not be fetched ($(grep -m1 -E '^E:|dpkg-source: error' "$stage/errors" || echo 'no reason given')); trying the next older version" >&2
  done
  echo "win-deps: no version of $name could be fetched ($(echo $versions)); see $stage/errors" >&2
  return 1
}

cmake_build() {  # source folder, extra cmake options...
  local dir=$1; shift
  cmake -S "$dir" -B "$dir/build-mingw" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCRV_WIN_DEPS="$prefix" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_POLICY_DEFAULT_CMP0074=NEW "$@" >/dev/null
  cmake --build "$dir/build-mingw" -j"$jobs" >/dev/null
  cmake --install "$dir/build-mingw" >/dev/null
}

# A library's licence goes with it (the Windows package ships it):
# Debian's copyright file of its source package.
licence() {  # source folder, name
  mkdir -p "$prefix/share/licenses/$2"
  cp "$1/debian/copyright" "$prefix/share/licenses/$2/copyright"
}

if ! built libpng16.a; then
  echo "Building libpng for mingw-w64"
  dir=$(fetch libpng1.6)
  cmake_build "$dir" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DZLIB_USE_STATIC_LIBS=ON -DSKIP_INSTALL_PROGRAMS=ON
  licence "$dir" libpng
fi
if ! built libjpeg.a; then
  echo "Building libjpeg-turbo for mingw-w64"
  dir=$(fetch libjpeg-turbo)
  cmake_build "$dir" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
    -DCMAKE_ASM_NASM_COMPILER=nasm
  licence "$dir" libjpeg-turbo
fi
if ! built liblzo2.a; then
  echo "Building LZO for mingw-w64"
  dir=$(fetch lzo2)
  (cd "$dir" && ./configure -q --host=x86_64-w64-mingw32 --prefix="$prefix" \
      --disable-shared --enable-static >/dev/null && \
    make -s -j"$jobs" >/dev/null 2>&1 && make -s install >/dev/null)
  licence "$dir" lzo
fi
if ! built libfreetype.a; then
  echo "Building FreeType for mingw-w64"
  dir=$(fetch freetype)
  # zlib is the toolchain's, as libpng's (FreeType's own copy of it would
  # clash with it in a program that links both). bzip2 and HarfBuzz are
  # left out as in Debian's own build; PNG (colour bitmap glyphs) and
  # Brotli (WOFF2 fonts) too, which outline fonts do not use, so that
  # these render as on Linux. Built static, the pkg-config file names zlib
  # among its requirements, so "pkg-config --libs freetype2" is enough to
  # link.
  cmake_build "$dir" -DBUILD_SHARED_LIBS=OFF -DFT_REQUIRE_ZLIB=ON -DFT_DISABLE_PNG=ON \
    -DFT_DISABLE_BROTLI=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_HARFBUZZ=ON
  licence "$dir" freetype
fi
if ! built libgtest.a; then
  echo "Building GoogleTest for mingw-w64"
  cmake -S /usr/src/googletest -B "$src/googletest-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCRV_WIN_DEPS="$prefix" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_INSTALL_LIBDIR=lib -Dgtest_disable_pthreads=OFF >/dev/null
  cmake --build "$src/googletest-build" -j"$jobs" >/dev/null
  cmake --install "$src/googletest-build" >/dev/null
fi
# The sources are not needed any more; the mark says the prefix is whole.
rm -rf "$src"
: >"$prefix/.complete"
use_prefix
