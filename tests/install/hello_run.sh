# Shared by the install tests (sourced): running a build of the game
# template and checking what it shows, and checking a game's compile line.
# The sourcing script sets work (a scratch folder, removed at the end by
# hello_cleanup), src (the source tree) and build (the run-time's build
# folder), and may set hello_wine=1 to run Windows builds under Wine.

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

game_pid=
hello_wine=${hello_wine:-0}
hello_cleanup() {
  if [ -n "$game_pid" ]; then
    kill "$game_pid" 2>/dev/null || true
    xdotool keyup Escape 2>/dev/null || true
  fi
  rm -rf "$work"
}

# One pixel of a binary PPM as "R G B".
pixel() {
  local file=$1 x=$2 y=$3 magic size depth width
  { read -r magic; read -r size; read -r depth; } <"$file"
  [ "$magic" = P6 ] || fail "$file is not a binary PPM"
  width=${size% *}
  local offset=$((${#magic} + ${#size} + ${#depth} + 3 + (y * width + x) * 3))
  od -An -tu1 -j "$offset" -N3 "$file" | xargs
}

# The game's window on the X server: by the game's process, or under Wine
# (whose processes the X server does not know by the shell's id) by the
# template's caption.
hello_window() {
  if [ "$hello_wine" = 1 ]; then
    xdotool search --onlyvisible --name '^Hello$' 2>/dev/null | head -n 1
  else
    xdotool search --onlyvisible --pid "$game_pid" 2>/dev/null | head -n 1
  fi
}

# Runs a build of the template until it has presented frame 10, checks that
# frame, then ends the game with Escape as a player would.
run_hello() {
  local exe=$1 name=$2
  local run=$work/run-$name
  mkdir -p "$run"
  if [ "$hello_wine" = 1 ]; then
    local wrun
    wrun=$(winepath -w "$run" 2>/dev/null)
    TMP=$wrun CORVANE_AUTOMATION=1 CORVANE_CAPTURE_FRAMES="$wrun:10" wine "$exe" >"$run/output.txt" 2>&1 &
  else
    TMPDIR=$run CORVANE_AUTOMATION=1 CORVANE_CAPTURE_FRAMES="$run:10" "$exe" >"$run/output.txt" 2>&1 &
  fi
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
  window=$(hello_window) || true
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
