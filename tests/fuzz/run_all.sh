#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in a tree of their own (only those targets) and runs each
# for a while from its seed corpus in tests/fuzz/corpus, under AddressSanitizer and
# UndefinedBehaviorSanitizer. New inputs go to a temporary directory, never into the seeds; a
# crash stops the run with its input saved as BUILD_DIR/tests/fuzz/<target>-crash-...
# Usage: tests/fuzz/run_all.sh [BUILD_DIR] [SECONDS_PER_TARGET]
set -euo pipefail
cd "$(dirname "$0")/../.."
dir=${1:-build-fuzz}
seconds=${2:-30}
CC=clang CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORNMARK_FUZZ=ON \
  -DVORNMARK_BUILD_GUI=OFF -DVORNMARK_BUILD_TESTS=OFF -DVORNMARK_BUILD_BENCH=OFF >/dev/null
cmake --build "$dir" -j "$(nproc)" --target fuzz_targets
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for seeds in tests/fuzz/corpus/*/; do
  target=$(basename "$seeds")
  mkdir -p "$work/$target"
  echo "fuzz: $target for $seconds s"
  "$dir/tests/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$dir/tests/fuzz/$target-" "$work/$target" "$seeds" 2>"$work/$target.log" ||
    { tail -n 60 "$work/$target.log"; exit 1; }
  grep -E "^(#[0-9]+ +DONE|Done [0-9]+ runs)" "$work/$target.log" | tail -n 1
done
