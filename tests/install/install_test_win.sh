#!/usr/bin/env bash
# The game template built for Windows the ways a game programmer builds it
# from Debian, each run under Wine for a few frames and ended with Escape:
#   1. against the Windows package (scripts/windows-package.sh), unpacked
#      from its zip: find_package(Corvane) through the toolchain file
#      installed with it and CMAKE_PREFIX_PATH;
#   2. against the same package: one compiler command with
#      `pkg-config --cflags --libs corvane`;
#   3. from a game tree that builds the run-time with add_subdirectory and
#      the source tree's toolchain file (and a tree without the Windows
#      libraries stops with a message that says where they come from).
# Each captured frame must show the template's orange rectangle; a game is a
# windowed (GUI) program, the tools are console programs; the package asks
# for no library of the Linux backend.
#
# usage: install_test_win.sh BUILD_DIR SOURCE_DIR
# BUILD_DIR is the Windows build of scripts/test-windows.sh; Wine and the X
# server are set up by it.
set -euo pipefail

build=$(realpath "$1") src=$(realpath "$2")
work=$(mktemp -d "${TMPDIR:-/tmp}/crv_install_test_win.XXXXXX")
hello_wine=1
source "$src/tests/install/hello_run.sh"
trap hello_cleanup EXIT
source "$src/scripts/lib.sh"
crv_use_ccache "$src"
# The games compile with the Windows build's flags, so that the subproject's
# files are the ones the compiler cache holds from it.
build_flags=$(sed -n 's/^CMAKE_CXX_FLAGS_RELWITHDEBINFO:STRING=//p' "$build/CMakeCache.txt")
cmake_args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$build_flags"
  -DCMAKE_C_FLAGS_RELWITHDEBINFO="$build_flags" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON "${crv_launcher[@]}")
unset CRV_WIN_DEPS

# The subsystem field of a PE file's optional header: 2 windowed, 3 console.
subsystem() {
  local header
  header=$(od -An -tu4 -j 60 -N4 "$1" | xargs)
  od -An -tu2 -j $((header + 92)) -N2 "$1" | xargs
}

# The package, unpacked from its zip as a user unpacks it.
"$src/scripts/windows-package.sh" "$work/prefix" "$build" >/dev/null
zips=("$src"/build-win/Corvane-*-win64.zip)
[ ${#zips[@]} -eq 1 ] && [ -f "${zips[0]}" ] || fail "not one package zip in build-win: ${zips[*]}"
mkdir -p "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "${zips[0]}")
pkg=$(basename "${zips[0]}" .zip)
pkg=$work/unpacked/$pkg
[ -d "$pkg" ] || fail "the zip does not hold the folder $(basename "$pkg")"
for f in lib/libcorvane.a lib/libcorvane_main.a include/corvane/corvane.hpp \
  lib/libpng16.a lib/libjpeg.a lib/liblzo2.a lib/libz.a lib/libfreetype.a \
  include/png.h include/jpeglib.h include/lzo/lzo1x.h include/zlib.h include/freetype2/ft2build.h \
  bin/crvpack.exe bin/crvmesh.exe bin/crvdbg.exe bin/crvfont.exe \
  lib/cmake/Corvane/CorvaneConfig.cmake lib/pkgconfig/corvane.pc lib/pkgconfig/lzo2.pc \
  share/corvane/toolchains/mingw-w64-x86_64.cmake share/licenses/libpng/copyright share/licenses/zlib/copyright; do
  [ -e "$pkg/$f" ] || fail "not in the package: $f"
done
if grep -nE '\b(sdl2|x11|openal|mpv)\b' "$pkg/lib/cmake/Corvane/CorvaneConfig.cmake" "$pkg/lib/pkgconfig/corvane.pc"; then
  fail "the Windows package asks for libraries of the Linux backend"
fi
if grep -l "$work/prefix\|$HOME/.cache" "$pkg"/lib/pkgconfig/*.pc; then
  fail "pkg-config files name the folder the package was made in"
fi
for tool in crvpack crvmesh crvdbg crvfont; do
  [ "$(subsystem "$pkg/bin/$tool.exe")" = 3 ] || fail "$tool.exe is not a console program"
done

# 1. The template as shipped, through the CMake package.
cmake -S "$src/examples/hello" -B "$work/cmake" "${cmake_args[@]}" \
  -DCMAKE_TOOLCHAIN_FILE="$pkg/share/corvane/toolchains/mingw-w64-x86_64.cmake" -DCMAKE_PREFIX_PATH="$pkg" >/dev/null
cmake --build "$work/cmake" >/dev/null
check_compile_line "$work/cmake/compile_commands.json" "find_package"
[ "$(subsystem "$work/cmake/hello.exe")" = 2 ] || fail "find_package: hello.exe is not a windowed program"
run_hello "$work/cmake/hello.exe" find_package

# 2. One compiler command through pkg-config; the package's own .pc files
# only, none of the host's.
flags=$(PKG_CONFIG_LIBDIR="$pkg/lib/pkgconfig" PKG_CONFIG_PATH= pkg-config --cflags --libs --static corvane)
compile=(x86_64-w64-mingw32-g++-posix)
[ ${#crv_launcher[@]} -eq 0 ] || compile=(ccache "${compile[@]}")
# shellcheck disable=SC2086
"${compile[@]}" -std=c++20 "$src/examples/hello/hello.cpp" $flags \
  -o "$work/hello-pc.exe"
[ "$(subsystem "$work/hello-pc.exe")" = 2 ] || fail "pkg-config: hello-pc.exe is not a windowed program"
run_hello "$work/hello-pc.exe" pkg-config

# 3. A game tree with the run-time as a subproject, cross-built with the
# source tree's toolchain file. The run-time's binary folder lies beside
# the Windows build's, at the same depth, so that the compiler cache
# recognises every file compiled for that build.
game=$work/game
mkdir -p "$game"
cp "$src/examples/hello/hello.cpp" "$game/"
cat >"$game/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(hello_game CXX)
add_subdirectory("$src" "$build-subproject")
add_executable(hello hello.cpp)
target_link_libraries(hello PRIVATE Corvane::corvane)
CMAKE
toolchain=$src/toolchains/mingw-w64-x86_64.cmake
# Without the Windows libraries it stops and says where they come from.
if out=$(cmake -S "$game" -B "$work/game-nodeps" "${cmake_args[@]}" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCRV_WIN_DEPS="$work/nothing" 2>&1); then
  fail "add_subdirectory configured without the Windows libraries"
fi
grep -q 'scripts/win-deps.sh' <<<"$out" || fail "add_subdirectory without the libraries does not say what to do: $out"
cmake -S "$game" -B "$work/game-build" "${cmake_args[@]}" -DCMAKE_TOOLCHAIN_FILE="$toolchain" >/dev/null
cmake --build "$work/game-build" -j"$(nproc)" --target hello >/dev/null
check_compile_line "$work/game-build/compile_commands.json" "add_subdirectory"
[ "$(subsystem "$work/game-build/hello.exe")" = 2 ] || fail "add_subdirectory: hello.exe is not a windowed program"
run_hello "$work/game-build/hello.exe" add_subdirectory
