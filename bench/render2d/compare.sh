#!/usr/bin/env bash
# Rotated blended 32 x 32 sprites per 16.7 ms frame at 640 x 480, in one
# go: Corvane (render2d_bench), the hand-made one-call ceiling, and SFML's
# sf::Sprite-per-sprite and sf::VertexArray ways (sfml_render2d_bench);
# then Corvane's text and rectangles beside their ceilings. Medians of
# REPS repetitions, the programs alternating so that load changes hit all.
# The sprite rows come twice: frames per 16.7 ms (wall clock, rasterising
# included) and the CPU time of the drawing thread per frame, which is what
# the library itself spends; with a software rasteriser the first is bound
# by its fill rate for all four ways alike.
# Needs a display: run under Xvfb (source scripts/xvfb.sh; start_xvfb).
#   bench/render2d/compare.sh [build dir] [repetitions]
set -euo pipefail
build=${1:-build}
reps=${2:-5}
corvane=$build/bin/render2d_bench
sfml=$build/bin/sfml_render2d_bench
[ -x "$corvane" ] || { echo "no $corvane (configure with -DCRV_BUILD_BENCH=ON)" >&2; exit 1; }
export CORVANE_AUTOMATION=1
out=$(mktemp)
trap 'rm -f "$out"' EXIT

# Appends "name real_time_ms" of every run to $out.
run() {
  "$@" --benchmark_format=csv 2>/dev/null |
    awk -F, '/^"BM_/ { gsub(/"/, "", $1); s = $5 == "us" ? 1e-3 : $5 == "ns" ? 1e-6 : 1; print $1, $3 * s, $4 * s }' >>"$out"
}
# Each case in a process of its own: what one case leaves behind (the C
# library's allocation thresholds, the driver's buffer pools) changes what
# the next one costs by as much as the differences measured here.
for ((i = 0; i < reps; i++)); do
  for f in RotatedSprites CeilingSprites BM_TextPerFrame CeilingText FilledRects CeilingRects; do
    run "$corvane" --benchmark_filter="$f"
  done
  if [ -x "$sfml" ]; then
    for f in SfmlSprites SfmlVertexArray; do run "$sfml" --benchmark_filter="$f"; done
  fi
done

awk -v have_sfml="$([ -x "$sfml" ] && echo 1 || echo 0)" '
# The median of the values a[key, 1..count[key]]; 0 without any.
function middle(a, key,   n, i, j, v, t) {
  n = count[key]
  if (n == 0) return 0
  for (i = 1; i <= n; i++) v[i] = a[key, i]
  for (i = 2; i <= n; i++) for (j = i; j > 1 && v[j - 1] > v[j]; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
  return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
}
function median(key) { return middle(times, key) }
# CPU time of the drawing thread per frame, in ms: what the library itself
# costs. The threads of the rasteriser are not in it.
function median_cpu(key) { return middle(cpu, key) }
function per_frame(key, items,   m) { m = median(key); return m > 0 ? items * 16.667 / m : 0 }
function ratio(a, b) { return b > 0 ? sprintf("%.2f", a / b) : "-" }
{ sub(/\/real_time$/, "", $1); times[$1, ++count[$1]] = $2; cpu[$1, count[$1]] = $3 }
END {
  print "Sprites per 16.7 ms frame (medians of " count["BM_RotatedSpritesPerFrame/1000"] " runs)"
  printf "%6s %9s %9s %9s %9s   %9s %9s %9s\n", "n", "corvane", "ceiling", "sf:Sprite", "sf:VArray", "/ceiling", "/Sprite", "/VArray"
  split("250 500 1000 2000 4000 8000", ns, " ")
  for (k = 1; k <= 6; k++) {
    n = ns[k]
    c = per_frame("BM_RotatedSpritesPerFrame/" n, n)
    h = per_frame("BM_CeilingSpritesPerFrame/" n, n)
    s = have_sfml ? per_frame("BM_SfmlSpritesPerFrame/" n, n) : 0
    v = have_sfml ? per_frame("BM_SfmlVertexArrayPerFrame/" n, n) : 0
    printf "%6d %9.0f %9.0f %9.0f %9.0f   %9s %9s %9s\n", n, c, h, s, v, ratio(c, h), ratio(c, s), ratio(c, v)
  }
  print ""
  print "CPU time of the drawing thread per frame, ms (the threads of the rasteriser not counted)"
  printf "%6s %9s %9s %9s %9s\n", "n", "corvane", "ceiling", "sf:Sprite", "sf:VArray"
  for (k = 1; k <= 6; k++) {
    n = ns[k]
    printf "%6d %9.2f %9.2f %9.2f %9.2f\n", n, median_cpu("BM_RotatedSpritesPerFrame/" n), median_cpu("BM_CeilingSpritesPerFrame/" n),
      have_sfml ? median_cpu("BM_SfmlSpritesPerFrame/" n) : 0, have_sfml ? median_cpu("BM_SfmlVertexArrayPerFrame/" n) : 0
  }
  print ""
  print "Prints of a 22-character line, rectangles per 16.7 ms frame"
  printf "%-14s %9s %9s %9s\n", "", "corvane", "ceiling", "/ceiling"
  c = per_frame("BM_TextPerFrame/0", 1000); h = per_frame("BM_CeilingTextPerFrame/0", 1000)
  printf "%-14s %9.0f %9.0f %9s\n", "text fixed", c, h, ratio(c, h)
  c = per_frame("BM_TextPerFrame/1", 1000); h = per_frame("BM_CeilingTextPerFrame/1", 1000)
  printf "%-14s %9.0f %9.0f %9s\n", "text prop.", c, h, ratio(c, h)
  c = per_frame("BM_FilledRectsPerFrame", 10000); h = per_frame("BM_CeilingRectsPerFrame", 10000)
  printf "%-14s %9.0f %9.0f %9s\n", "rectangles", c, h, ratio(c, h)
  if (!have_sfml) print "\n(SFML comparison not built: libsfml-dev missing)"
}' "$out"
