#!/usr/bin/env bash
# The game template built the three ways a game programmer builds it, each
# run under the X server for a few frames and ended with Escape:
#   1. against an install of this build: find_package(Corvane) with
#      CMAKE_PREFIX_PATH, through examples/hello/CMakeLists.txt as shipped
#      (and the same with Corvane_DIR naming this build folder);
#   2. against the same install: one compiler command with
#      `pkg-config --cflags --libs corvane`;
#   3. from a game tree that builds the run-time with add_subdirectory.
# Each captured frame must show the template's orange rectangle; a game's
# compile line must carry neither the project's -Werror nor its
# source-tree include paths.
#
# The install also holds the reference manual when the build makes one
# (MANUAL ON: Doxygen was found when it was configured).
#
# usage: install_test.sh BUILD_DIR SOURCE_DIR CXX_COMPILER LAUNCHER BUILD_TYPE SANITIZE MANUAL FLAGS
# (ctest passes these from the build it runs in; LAUNCHER may be empty;
# FLAGS are the build type's compiler flags)
set -euo pipefail

build=$1 src=$2 cxx=$3 launcher=$4 build_type=$5 sanitize=$6 manual=$7 build_flags=${8:-}

work=$(mktemp -d "${TMPDIR:-/tmp}/crv_install_test.XXXXXX")
source "$src/tests/install/hello_run.sh"
trap hello_cleanup EXIT

# The consumers compile with the build's compiler, its flags and its cache
# (a subproject's files are then the ones the cache holds from this build).
cmake_args=(-DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE="$build_type" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON)
if [ -n "$build_type" ]; then
  cmake_args+=(-DCMAKE_CXX_FLAGS_"${build_type^^}"="$build_flags" -DCMAKE_C_FLAGS_"${build_type^^}"="$build_flags")
fi
compile=("$cxx")
if [ -n "$launcher" ]; then
  cmake_args+=(-DCMAKE_CXX_COMPILER_LAUNCHER="$launcher" -DCMAKE_C_COMPILER_LAUNCHER="$launcher")
  compile=("$launcher" "$cxx")
fi

# The install: libraries, public headers only, tools, package files.
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in lib/libcorvane.a lib/libcorvane_main.a include/corvane/corvane.hpp bin/crvpack bin/crvmesh bin/crvdbg \
  lib/cmake/Corvane/CorvaneConfig.cmake lib/cmake/Corvane/CorvaneConfigVersion.cmake lib/pkgconfig/corvane.pc; do
  [ -e "$prefix/$f" ] || fail "not installed: $f"
done
[ "$(ls "$prefix/include")" = corvane ] || fail "headers installed outside include/corvane: $(ls "$prefix/include")"
if [ "$manual" = ON ]; then
  [ -s "$prefix/share/doc/corvane/html/index.html" ] || fail "not installed: the manual's index.html"
  [ -s "$prefix/share/doc/corvane/html/group__render2d.html" ] || fail "not installed: the manual's subsystem pages"
  [ ! -e "$prefix/share/doc/corvane/html/.corvane-manual" ] || fail "installed: the manual folder's marker file"
fi

# 1. The template as shipped, through the CMake package.
cmake -S "$src/examples/hello" -B "$work/cmake" "${cmake_args[@]}" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake" >/dev/null
check_compile_line "$work/cmake/compile_commands.json" "find_package"
run_hello "$work/cmake/hello" find_package

# 1b. The same against this build folder, without installing.
cmake -S "$src/examples/hello" -B "$work/cmake-build-tree" "${cmake_args[@]}" -DCorvane_DIR="$build" >/dev/null
cmake --build "$work/cmake-build-tree" >/dev/null
run_hello "$work/cmake-build-tree/hello" build-tree-package

# 2. A plain compiler command line through pkg-config (the sanitizer link
# flags of an instrumented build come with the package's flags).
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
# shellcheck disable=SC2046
"${compile[@]}" -std=c++20 "$src/examples/hello/hello.cpp" $(pkg-config --cflags --libs corvane) -o "$work/hello-pc"
run_hello "$work/hello-pc" pkg-config

# 3. A game tree with the run-time as a subproject. The run-time's binary
# folder lies beside this build's, at the same depth below the sources, so
# that the compiler cache recognises every file compiled for this build.
game=$work/game
mkdir -p "$game"
cp "$src/examples/hello/hello.cpp" "$game/"
cat >"$game/CMakeLists.txt" <<EOF
cmake_minimum_required(VERSION 3.25)
project(hello_game CXX)
add_subdirectory("$src" "$build-subproject")
add_executable(hello hello.cpp)
target_link_libraries(hello PRIVATE Corvane::corvane)
EOF
cmake -S "$game" -B "$work/game-build" "${cmake_args[@]}" -DCRV_SANITIZE="$sanitize" >/dev/null
cmake --build "$work/game-build" -j"$(nproc)" --target hello >/dev/null
# A game that does not ask for the run-time's tools (CRV_BUILD_TOOLS) does
# not get them as targets of its build.
if cmake --build "$work/game-build" --target help | grep -qE '(^|[ .])crv(pack|mesh|dbg|font)($|[ .])'; then
  fail "add_subdirectory defines the tools although the game did not ask for them"
fi
check_compile_line "$work/game-build/compile_commands.json" "add_subdirectory"
run_hello "$work/game-build/hello" add_subdirectory
