#!/usr/bin/env bash
# Corvane for Windows as one package: cross-builds the run-time and the
# tools (crvpack.exe, crvmesh.exe, crvdbg.exe, crvfont.exe) with mingw-w64,
# installs them into PREFIX with the static libraries they need (libpng,
# libjpeg, LZO, zlib, FreeType), the CMake package, corvane.pc, the manual
# (when Doxygen is installed) and the toolchain file
# (share/corvane/toolchains/), and zips PREFIX into
# build-win/Corvane-<version>-win64.zip, to be unpacked anywhere: on Debian
# for cross-building, or in MSYS2.
#
# usage: scripts/windows-package.sh PREFIX [BUILD]
# BUILD is the build folder (default build-win-release, a Release build);
# a folder configured by scripts/test-windows.sh can be given instead, and
# then only what the package needs is built in it.
set -euo pipefail
[ $# -ge 1 ] && [ $# -le 2 ] || { echo "usage: $0 PREFIX [BUILD]" >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/lib.sh"
prefix=$(realpath -m "$1")
build=$(realpath -m "${2:-$root/build-win-release}")
jobs=${CRV_JOBS:-$(nproc)}

# The libraries (built once per machine and set of versions) and the
# compilers; the build folder's deps is a link to them.
"$root/scripts/win-deps.sh" "$build" >/dev/null
deps=$(realpath "$build/deps")

crv_use_ccache "$root"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/toolchains/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCRV_BUILD_TESTS=OFF -DCRV_BUILD_EXAMPLES=OFF -DCRV_BUILD_TOOLS=ON \
    -DCRV_INSTALL=ON "${crv_launcher[@]}" >/dev/null
else
  cmake "$build" -DCRV_INSTALL=ON >/dev/null
fi
targets=(corvane corvane_main crvpack crvmesh crvdbg crvfont)
# crvfont needs FreeType in the libraries' prefix; the manual needs Doxygen.
grep -q '^CRV_FREETYPE_FOUND:INTERNAL=1' "$build/CMakeCache.txt" || {
  echo "windows-package: FreeType for Windows was not found in $deps (crvfont.exe needs it)" >&2
  exit 1
}
grep -q '^CRV_DOXYGEN:FILEPATH=.*doxygen$' "$build/CMakeCache.txt" && targets+=(docs)
cmake --build "$build" -j"$jobs" --target "${targets[@]}"

cmake --install "$build" --prefix "$prefix" >/dev/null

# The libraries' headers, static libraries and pkg-config files, and zlib
# from the toolchain's own folder. The .pc files name their prefix relative
# to their own folder, so the package can be unpacked anywhere.
toolchain_root=/usr/x86_64-w64-mingw32
mkdir -p "$prefix/include" "$prefix/lib/pkgconfig"
cp -a "$deps/include/." "$prefix/include/"
rm -rf "$prefix/include/gtest" "$prefix/include/gmock"
for lib in "$deps"/lib/*.a; do
  case "$(basename "$lib")" in libgtest* | libgmock*) continue ;; esac
  cp -a "$lib" "$prefix/lib/"
done
cp "$toolchain_root/lib/libz.a" "$prefix/lib/"
cp "$toolchain_root/include/zlib.h" "$toolchain_root/include/zconf.h" "$prefix/include/"
relocate_pc() {  # .pc file, the prefix it was written for
  local file=$1 old=$2
  sed -e "s|^prefix=$old\$|prefix=\${pcfiledir}/../..|" -e "s#$old\(/\|\$\)#\${prefix}\1#g" "$file" \
    >"$prefix/lib/pkgconfig/$(basename "$file")"
}
for pc in "$deps"/lib/pkgconfig/*.pc "$deps"/share/pkgconfig/*.pc; do
  [ -e "$pc" ] || continue
  case "$(basename "$pc")" in gtest* | gmock*) continue ;; esac
  # The prefix as the library's build wrote it (the cache's path, which
  # may name a link) and as it resolves.
  relocate_pc "$pc" "$(sed -n 's/^prefix=//p' "$pc")"
  sed -i "s#$deps\(/\|\$\)#\${prefix}\1#g" "$prefix/lib/pkgconfig/$(basename "$pc")"
done
relocate_pc "$toolchain_root/lib/pkgconfig/zlib.pc" "$toolchain_root"
# The libraries' licences, which go wherever they are linked into a game:
# Debian's copyright files of their sources.
mkdir -p "$prefix/share/licenses/zlib"
cp -a "$deps/share/licenses/." "$prefix/share/licenses/"
cp /usr/share/doc/libz-mingw-w64-dev/copyright "$prefix/share/licenses/zlib/copyright"

# The zip holds one folder, Corvane-<version>-win64, with the prefix's
# contents.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
name=Corvane-$version-win64
zip=$root/build-win/$name.zip
stage=$(mktemp -d "${TMPDIR:-/tmp}/crv_package.XXXXXX")
trap 'rm -rf "$stage"' EXIT
cp -a "$prefix" "$stage/$name"
mkdir -p "$root/build-win"
rm -f "$zip"
(cd "$stage" && cmake -E tar cf "$zip" --format=zip "$name")
echo "Corvane for Windows in $prefix and $zip"
