#!/usr/bin/env bash
# The figures behind a run's conditions, on this machine: what the sampling costs (runs with and
# without it, alternated), the others' share reported beside a known load of 0, 25 and 50 % of one
# core, and the runner's thread-scaling table. Usage: bench/conditions.sh BUILD_DIR [PAIRS]
set -euo pipefail
build=${1:?usage: bench/conditions.sh BUILD_DIR [PAIRS]}
pairs=${2:-5}
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "== sampling cost"
"$build/bench/conditions_bench" cost "$pairs"
for percent in 0 25 50; do
  echo "== others' share beside a load of $percent % of one core"
  "$build/bench/conditions_bench" load "$percent" 3
done
echo "== vornmark-cli --scaling"
"$build/bin/vornmark-cli" --scaling
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
