#!/usr/bin/env bash
# Runs Veltrack for 10 seconds on a private virtual X server and reports the
# interval between presented frames (median, p99, max) and the CPU time per
# frame. Usage: bench/frame/veltrack_frames.sh [build-dir] (default
# build-release, built with ./run or cmake -DCMAKE_BUILD_TYPE=Release).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build-release}
game=$build/bin/veltrack
[ -x "$game" ] || { echo "build $game first (./run builds it)"; exit 1; }
source scripts/xvfb.sh
start_xvfb
trap stop_xvfb EXIT
trace=$(mktemp)
CORVANE_AUTOMATION=1 CORVANE_FRAME_TRACE="$trace" "$game" >/dev/null 2>&1 &
pid=$!
window=$(xdotool search --sync --name '^Veltrack$' | head -n 1)
sleep 10
xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool keydown --window "$window" Escape; sleep 0.2; xdotool keyup --window "$window" Escape 2>/dev/null || true
wait "$pid" || true
# Skip the first second (start-up and the screen-mode change).
awk 'NR > 1 { if ($1 > 1000) { d = $1 - t; c = $2 - cpu; print d, c } } { t = $1; cpu = $2 }' "$trace" |
  sort -n -k1,1 > "$trace.sorted"
n=$(wc -l < "$trace.sorted")
awk -v n="$n" '
  { d[NR] = $1; c += $2 }
  END {
    printf "frames: %d\n", n
    printf "interval median: %.3f ms  p99: %.3f ms  max: %.3f ms\n", d[int(n * 0.5) + 1], d[int(n * 0.99) + 1], d[n]
    printf "cpu per frame: %.3f ms\n", c / n
  }' "$trace.sorted"
rm -f "$trace" "$trace.sorted"
