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
# usage: install_test.sh BUILD_DIR SOURCE_DIR CXX_COMPILER LAUNCHER BUILD_TYPE SANITIZE MANUAL
# (ctest passes these from the build it runs in; LAUNCHER may be empty)
set -euo pipefail

build=$1 src=$2 cxx=$3 launcher=$4 build_type=$5 sanitize=$6 manual=$7

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

work=$(mktemp -d "${TMPDIR:-/tmp}/crv_install_test.XXXXXX")
game_pid=
cleanup() {
  if [ -n "$game_pid" ]; then
    kill "$game_pid" 2>/dev/null || true
    xdotool keyup Escape 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# The consumers compile with the build's compiler and its cache.
cmake_args=(-DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE="$build_type" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON)
compile=("$cxx")
if [ -n "$launcher" ]; then
  cmake_args+=(-DCMAKE_CXX_COMPILER_LAUNCHER="$launcher" -DCMAKE_C_COMPILER_LAUNCHER="$launcher")
  compile=("$launcher" "$cxx")
fi

# One pixel of a binary PPM as "R G B".
pixel() {
  local file=$1 x=$2 y=$3 magic size depth width
  { read -r magic; read -r size; read -r depth; } <"$file"
  [ "$magic" = P6 ] || fail "$file is not a binary PPM"
  width=${size% *}
  local offset=$((${#magic} + ${#size} + ${#depth} + 3 + (y * width + x) * 3))
  od -An -tu1 -j "$offset" -N3 "$file" | xargs
}

# Runs a build of the template until it has presented frame 10, checks that
# frame, then ends the game with Escape as a player would.
run_hello() {
  local exe=$1 name=$2
  local run=$work/run-$name
  mkdir -p "$run"
  TMPDIR=$run CORVANE_AUTOMATION=1 CORVANE_CAPTURE_FRAMES="$run:10" "$exe" >"$run/output.txt" 2>&1 &
  game_pid=$!
  local waited=0
  until [ -e "$run/frame_10.ppm" ]; do
    kill -0 "$game_pid" 2>/dev/null || { cat "$run/output.txt" >&2; fail "$name ended before frame 10"; }
    [ $waited -lt 600 ] || fail "$name presented no frame 10 in 60 s"
    sleep 0.1
    waited=$((waited + 1))
  done

  # Inside the rectangle, and the cleared background below it.
  [ "$(pixel "$run/frame_10.ppm" 160 120)" = "255 160 0" ] ||
    fail "$name: rectangle pixel is $(pixel "$run/frame_10.ppm" 160 120), not 255 160 0"
  [ "$(pixel "$run/frame_10.ppm" 160 230)" = "0 0 0" ] ||
    fail "$name: background pixel is $(pixel "$run/frame_10.ppm" 160 230), not 0 0 0"

  local window
  window=$(xdotool search --onlyvisible --pid "$game_pid" 2>/dev/null | head -n 1) || true
  [ -n "$window" ] || fail "$name: no window found"
  xdotool windowfocus --sync "$window" 2>/dev/null || true
  # Held across a few frames: the run-time polls the keyboard once per frame.
  # The game's window is gone by the release; the key is then released
  # without a window, or it would stay down in the X server for every later
  # program.
  xdotool keydown --window "$window" Escape
  sleep 0.3
  xdotool keyup --window "$window" Escape 2>/dev/null || xdotool keyup Escape
  waited=0
  while kill -0 "$game_pid" 2>/dev/null; do
    [ $waited -lt 200 ] || fail "$name did not end on Escape"
    sleep 0.1
    waited=$((waited + 1))
  done
  local status=0
  wait "$game_pid" || status=$?
  game_pid=
  [ $status -eq 0 ] || { cat "$run/output.txt" >&2; fail "$name ended with status $status"; }
  echo "ok: $name"
}

# A game's compile command for hello.cpp: no -Werror, and no include path
# into the run-time's sources other than its public headers.
check_compile_line() {
  local commands=$1 name=$2 line
  line=$(grep '"command"' "$commands" | grep 'hello\.cpp') || fail "$name: no compile command for hello.cpp"
  if grep -q -- '-Werror' <<<"$line"; then fail "$name: the game is compiled with -Werror: $line"; fi
  local dir
  for dir in $(grep -oE -- '(-I|-isystem) *[^ ]+' <<<"$line" | sed -E 's/^(-I|-isystem) *//'); do
    case "$dir" in
      "$src/include") ;;
      "$src" | "$src"/* | "$build"*) fail "$name: internal include path $dir" ;;
    esac
  done
}

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
