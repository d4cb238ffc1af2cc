#!/usr/bin/env bash
# Speed of the Windows runner under Wine against the Linux runner built from the same commit, on
# the same small run, with one worker and with every hardware thread. Each runner reports the
# timed span of its run (workers started, every tile rendered, workers stopped), so Wine's
# start-up does not count. The two run in turn, the order swapped every round, and each round
# gives a ratio Linux time / Windows time (1.0: the same speed; the target is at least 0.95);
# the median ratio of each kind is printed last. The two images must be equal byte for byte.
# On a machine that others load, wall times mean little: the ratio of the processes' CPU
# seconds (user + system, Wine's start-up included) is printed beside them.
# Usage: bench/windows_vs_linux.sh [LINUX_BUILD [WINDOWS_BUILD [ROUNDS]]]
#   defaults: build, build-windows, 5; the run is 384 x 216, 8 samples, depth 50, tile 32.
set -euo pipefail
cd "$(dirname "$0")/.."
linux_cli=$(realpath "${1:-build}/bin/vornmark-cli")
windows_cli=$(realpath "${2:-build-windows}/bin/vornmark-cli.exe")
rounds=${3:-5}
run=(--width 384 --height 216 --samples 8 --depth 50 --tile 32 --json)
all=$(nproc)

work=$(mktemp -d "${TMPDIR:-/tmp}/vornmark-bench-XXXXXX")
# One Wine prefix for all Windows runs, made before the first timed run.
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k >/dev/null 2>&1; rm -rf "$work"' EXIT
wine cmd /c exit >/dev/null 2>&1 || true

# "RUN_SECONDS CPU_SECONDS" of one run: the run's own timed span and the process's CPU time.
measure() {
  /usr/bin/time -f '%U %S' -o "$work/cpu" "$@" 2>/dev/null >"$work/out" || true
  local run cpu
  run=$(tr -d '\r' <"$work/out" | sed -n 's/.*"time_seconds":\([0-9.eE+-]*\).*/\1/p' | head -1)
  cpu=$(awk 'END { print $1 + $2 }' "$work/cpu")
  echo "$run $cpu"
}
linux() { measure "$linux_cli" "${run[@]}" --threads "$1" ${2:+--image "$2"}; }
windows() { measure wine "$windows_cli" "${run[@]}" --threads "$1" ${2:+--image "Z:${2//\//\\}"}; }
median() { tr ' ' '\n' <<<"$1" | grep . | sort -n | awk '{ v[NR] = $1 } END {
  print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg), $all hardware threads"
for threads in 1 "$all"; do
  linux "$threads" "$work/linux-$threads.ppm" >/dev/null
  windows "$threads" "$work/windows-$threads.ppm" >/dev/null
  cmp -s "$work/linux-$threads.ppm" "$work/windows-$threads.ppm" ||
    { echo "the images of the $threads-worker runs differ" >&2; exit 1; }
done
echo "images: equal byte for byte (one worker and $all workers)"

declare -A ratios cpu_ratios
for ((round = 1; round <= rounds; round++)); do
  for threads in 1 "$all"; do
    if ((round % 2)); then
      l=$(linux "$threads"); w=$(windows "$threads")
    else
      w=$(windows "$threads"); l=$(linux "$threads")
    fi
    read -r ratio cpu_ratio < <(awk -v l="$l" -v w="$w" 'BEGIN { split(l, a, " "); split(w, b, " ");
      printf "%.3f %.3f\n", a[1] / b[1], a[2] / b[2] }')
    ratios[$threads]+="$ratio "
    cpu_ratios[$threads]+="$cpu_ratio "
    echo "round $round, $threads worker(s): linux ${l% *} s, windows ${w% *} s, ratio $ratio;" \
      "CPU ${l#* } s / ${w#* } s, ratio $cpu_ratio"
  done
done
for threads in 1 "$all"; do
  echo "median ratio, $threads worker(s): $(median "${ratios[$threads]}") (linux time / windows time);" \
    "CPU $(median "${cpu_ratios[$threads]}")"
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
