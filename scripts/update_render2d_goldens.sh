#!/usr/bin/env bash
# Regenerates the golden images of the 2D renderer tests
# (tests/render2d/golden/*.ppm): builds render2d_tests, runs its golden
# tests under a private virtual X server with CRV_UPDATE_GOLDEN=1, which
# makes them write the pictures they draw as the new expected images.
# Look at the result (e.g. convert name.ppm -scale 400% name.png) before
# committing it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" --target render2d_tests -j2
source "$root/scripts/xvfb.sh"
start_xvfb
trap stop_xvfb EXIT
CORVANE_AUTOMATION=1 CRV_UPDATE_GOLDEN=1 "$build/bin/render2d_tests" --gtest_filter='*Golden*:*GivesTheSamePicture*'
rm -f "$root"/tests/render2d/golden/*.actual.ppm
echo "Golden images written to $root/tests/render2d/golden"
