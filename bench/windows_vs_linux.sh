#!/usr/bin/env bash
# Speed of the Windows build under Wine against the Linux build, on the same small run: each
# runner reports the timed span of its run (workers started, every tile rendered, workers
# stopped), so Wine's start-up does not count. Prints both times and their ratio
# (Linux time / Windows time: 1.0 is the same speed). Runs each side REPEAT times, alternating,
# and compares the fastest of each.
# Usage: bench/windows_vs_linux.sh [LINUX_BUILD [WINDOWS_BUILD [REPEAT]]]
#   defaults: build, build-windows, 3; the run is 384 x 216, 8 samples, depth 50, one worker.
set -euo pipefail
cd "$(dirname "$0")/.."
linux_cli=${1:-build}/bin/vornmark-cli
windows_cli=${2:-build-windows}/bin/vornmark-cli.exe
repeat=${3:-3}
run=(--width 384 --height 216 --samples 8 --depth 50 --tile 32 --threads 1 --json)

seconds() { sed -n 's/.*"time_seconds":\([0-9.eE+-]*\).*/\1/p' | head -1; }

# One Wine prefix for all Windows runs, made before the first timed run.
prefix=$(mktemp -d "${TMPDIR:-/tmp}/vornmark-bench-wine-XXXXXX")
trap 'WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1; rm -rf "$prefix"' EXIT
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine cmd /c exit >/dev/null 2>&1 || true

best_linux="" best_windows=""
for ((i = 1; i <= repeat; i++)); do
  l=$("$linux_cli" "${run[@]}" 2>/dev/null | seconds)
  w=$(wine "$windows_cli" "${run[@]}" 2>/dev/null | tr -d '\r' | seconds)
  echo "run $i: linux ${l} s, windows ${w} s"
  best_linux=$(awk -v a="$l" -v b="$best_linux" 'BEGIN { print (b == "" || a < b) ? a : b }')
  best_windows=$(awk -v a="$w" -v b="$best_windows" 'BEGIN { print (b == "" || a < b) ? a : b }')
done
awk -v l="$best_linux" -v w="$best_windows" \
  'BEGIN { printf "fastest: linux %.3f s, windows under Wine %.3f s, ratio %.3f\n", l, w, l / w }'
