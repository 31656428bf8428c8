#!/usr/bin/env bash
# Builds and runs the libFuzzer targets (tests/fuzz).
#   scripts/fuzz.sh --list              the target names, one a line
#   scripts/fuzz.sh --build             builds every target, runs none
#   scripts/fuzz.sh [TARGET|all] [SECONDS]
# runs one target, or every target one after the other, for SECONDS each
# (default 60) on its seed corpus. New inputs go to build-fuzz/corpus/
# (the seeds in the tree are never changed); a crash, a leak, a time-out, an
# allocation over 256 MiB or a process over its memory limit (256 MiB; the
# mesh target's is set below) stops that target, leaves the input in
# build-fuzz/artifacts/<target>/ and makes the script exit non-zero.
# Keep such an input in tests/fuzz/regressions/<target>/ once it is fixed:
# the test suite replays every file there.
# FUZZ_BUILD_DIR chooses the build folder (default build-fuzz); extra
# libFuzzer options can follow in FUZZ_OPTIONS.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
source scripts/lib.sh

targets=$(sed -n '/^set(crv_fuzz_targets/,/)/p' tests/fuzz/CMakeLists.txt |
  tr ' ()' '\n\n\n' | grep -v -e '^$' -e '^set$' -e '^crv_fuzz_targets$')

if [ "${1:-}" = "--list" ]; then
  printf '%s\n' $targets
  exit 0
fi

build_only=0
if [ "${1:-}" = "--build" ]; then
  build_only=1
  shift
fi
which=${1:-all}
seconds=${2:-60}
if [ "$which" != all ] && ! printf '%s\n' $targets | grep -qx "$which"; then
  echo "unknown fuzz target '$which' (scripts/fuzz.sh --list)" >&2
  exit 2
fi
[ "$which" = all ] && selected=$targets || selected=$which

build=${FUZZ_BUILD_DIR:-build-fuzz}
case $build in /*) ;; *) build=$root/$build ;; esac
crv_use_ccache "$root"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCRV_FUZZ=ON -DCRV_BUILD_TESTS=OFF \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang "${crv_launcher[@]}" >/dev/null
fi
build_targets=()
for t in $selected; do build_targets+=("fuzz_$t"); done
cmake --build "$build" -j"$(nproc)" --target "${build_targets[@]}"
[ $build_only -eq 0 ] || exit 0

# A small quarantine, so that freed memory does not count against the RSS
# limit; leaks are findings too.
export ASAN_OPTIONS="quarantine_size_mb=16:detect_leaks=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"
status=0
for t in $selected; do
  work=$build/corpus/$t
  artifacts=$build/artifacts/$t
  mkdir -p "$work" "$artifacts"
  rss_mb=256
  timeout=10
  extra=()
  if [ "$t" = mesh ]; then
    # Mesh files amplify: inputs up to 1 MiB, so that the limits see it.
    # A load may commit its budget of vertex records (gfx3d/mesh.hpp),
    # 1 MiB + 160 x the file size: 161 MiB for a 1 MiB input. The harness
    # holds one loaded mesh at a time and the file it saves from it.
    # Measured under these options, the costliest 1 MiB inputs the budget
    # accepts (many frames over faces of one corner, fans of 3 or 262,000
    # corners) peak at 260-340 MiB, of which libFuzzer and the
    # instrumented run-time take 93 MiB on their own: 512 MiB leaves some
    # 170 MiB for the inputs libFuzzer keeps in memory. No single array of
    # a load exceeds its budget, nor 256 MiB (k_mesh_load_limit) for any
    # size, so the allocation limit stays. Those inputs take 4-12 s on a
    # busy 2-core machine; 60 s per input is five times the slowest.
    rss_mb=512
    timeout=60
    extra=(-max_len=1048576)
    # libFuzzer lets its inputs grow slowly (after 5 minutes they were
    # still under 33 KB): a run of 10 minutes or more goes to the full
    # size at once. The short smoke runs keep the growth, which finds more
    # in their few seconds.
    [ "$seconds" -lt 600 ] || extra+=(-len_control=0)
  fi
  options=(-max_total_time="$seconds" -rss_limit_mb=$rss_mb -malloc_limit_mb=256 -timeout=$timeout
           -artifact_prefix="$artifacts/" -print_final_stats=1 "${extra[@]}")
  [ -f "tests/fuzz/dict/$t.dict" ] && options+=(-dict="$root/tests/fuzz/dict/$t.dict")
  seeds=$root/tests/fuzz/corpus/$t
  # Inputs that once failed are run again first, under the same limits.
  regressions=()
  [ -d "$root/tests/fuzz/regressions/$t" ] && regressions=("$root/tests/fuzz/regressions/$t")
  echo "== fuzz $t (${seconds} s)"
  log=$build/fuzz-$t.log
  if "$build/bin/fuzz_$t" "${options[@]}" ${FUZZ_OPTIONS:-} "$work" "$seeds" "${regressions[@]}" >"$log" 2>&1; then
    # The last progress line (coverage, executions per second), then the
    # totals.
    { grep -E '^#[0-9]+' "$log" | tail -1; grep -E 'stat::(number_of_executed_units|peak_rss_mb)' "$log"; } |
      tr -s ' \n' ' '
    echo
  else
    status=1
    echo "fuzz target $t FAILED; its report:" >&2
    grep -v '^INFO:' "$log" | tail -60 >&2
  fi
done
exit $status
