#!/usr/bin/env bash
# Lists the test programs that hold tests labelled "tsan": a test folder
# declares them in a file named tsan-targets, one target per line.
cd "$(dirname "$0")/.."
cat tests/*/tsan-targets 2>/dev/null | sed '/^#/d;/^$/d' | tr '\n' ' '
