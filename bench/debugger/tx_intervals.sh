#!/usr/bin/env bash
# Veltrack's frame intervals measured from outside the process: crvdbg logs
# each frame's "319" debug text with a monotonic time stamp for 10 seconds;
# the intervals between them give median, p99 and max.
# Usage: bench/debugger/tx_intervals.sh [build-dir] (default build-release;
# build crvdbg and veltrack there first).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build-release}
cmake --build "$build" --target crvdbg veltrack >/dev/null
source scripts/xvfb.sh
start_xvfb
trap stop_xvfb EXIT
log=$(mktemp)
# "c" at the first stop lets the program run freely.
echo c | CORVANE_AUTOMATION=1 "$build/bin/crvdbg" --tx-log "$log" "$build/bin/veltrack" >/dev/null 2>&1 &
pid=$!
window=$(xdotool search --sync --name '^Veltrack$' | head -n 1)
sleep 10
xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool keydown --window "$window" Escape; sleep 0.2; xdotool keyup --window "$window" Escape 2>/dev/null || true
wait "$pid" || true
# Skip the first 60 frames (start-up and the screen-mode change).
awk 'NR > 61 { print $1 - t } { t = $1 }' "$log" | sort -n > "$log.sorted"
n=$(wc -l < "$log.sorted")
awk -v n="$n" '{ d[NR] = $1 } END {
  printf "frames: %d\ninterval median: %.3f ms  p99: %.3f ms  max: %.3f ms\n", n, d[int(n * 0.5) + 1], d[int(n * 0.99) + 1], d[n] }' "$log.sorted"
rm -f "$log" "$log.sorted"
