#!/usr/bin/env bash
# path_find beside the graph library's A* search on the same maps: CPU time
# per search and the ratio (graph library / path_find) for each map size and
# weight, as the median and as the best of REPS repetitions. On a shared
# machine the best is the steadier figure: other processes only ever add
# time to a run.
# The repetitions are spread over three processes: how fast one search
# runs depends on where a process's memory landed (the graph library's
# times at 256 x 256 differ by half from one process to the next), so one
# process alone can land on either side.
#   bench/path/compare.sh [build dir] [repetitions]
set -euo pipefail
build=${1:-build}
reps=${2:-9}
processes=3
bench=$build/bin/path_bench
[ -x "$bench" ] || { echo "no $bench (configure with -DCRV_BUILD_BENCH=ON)" >&2; exit 1; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for ((p = 0; p < processes; p++)); do
  n=$(( (reps + processes - 1 - p) / processes ))
  [ "$n" -gt 0 ] || continue
  "$bench" --benchmark_filter='path_find_bench|graph_astar_bench' --benchmark_repetitions="$n" \
    --benchmark_format=json >"$out/$p.json" 2>/dev/null
done
python3 - "$out"/*.json <<'PY'
import json, statistics, sys
scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}
times = {}
runs = [run for name in sys.argv[1:] for run in json.load(open(name))["benchmarks"]]
for run in runs:
    if run.get("run_type") != "iteration":
        continue
    name, size, weight = run["run_name"].split("/")
    key = (name, int(size.split(":")[1]), int(weight.split(":")[1]))
    times.setdefault(key, []).append(run["cpu_time"] * scale[run["time_unit"]])
print(f"{'size':>6} {'weight':>7} {'path_find ms':>13} {'graph ms':>9} {'x median':>9} {'x best':>7}")
for size in (256, 512, 1024):
    for weight in (0, 50):
        p = times.get(("path_find_bench", size, weight))
        g = times.get(("graph_astar_bench", size, weight))
        if not p or not g:
            continue
        mp, mg = statistics.median(p), statistics.median(g)
        print(f"{size:>6} {weight / 100:>7.2f} {mp:>13.2f} {mg:>9.2f} {mg / mp:>9.2f} {min(g) / min(p):>7.2f}")
PY
