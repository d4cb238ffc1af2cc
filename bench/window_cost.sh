#!/usr/bin/env bash
# What the open window costs the measurement, on this machine under Xvfb:
#   bench/window_cost.sh [BUILD_DIR] [WIDTHxHEIGHTxSAMPLES]
# 1. the idle window's CPU use over 10 s (target: at most 2 % of one core);
# 2. the same run (default 640x360x32, about 20 s on two workers here) with one
#    worker per hardware thread, started from the window (vornmark-e2e, its
#    Multi-Core button) and then from the headless runner; the ratio of their
#    times, headless / window (target: at least 0.97).
# Needs Xvfb, xdotool and ImageMagick; builds nothing (build vornmark-e2e and
# vornmark-cli first). Other load on the machine skews the figures: run it idle.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
run=${2:-640x360x32}
IFS=x read -r width height samples <<<"$run"
threads=$(nproc)
window_program=$build/app/vornmark-e2e
cli_program=$build/bin/vornmark-cli
for program in "$window_program" "$cli_program"; do
    [ -x "$program" ] || { echo "missing $program: build it first" >&2; exit 2; }
done

work=$(mktemp -d)
xvfb_pid=""
window_pid=""
cleanup() {
    [ -n "$window_pid" ] && kill -TERM "$window_pid" 2>/dev/null && wait "$window_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill -TERM "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# An X server of our own; it writes its display number to fd 3.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"
exec 3>&-

# The window, in a folder of its own (its history.json goes there).
cp "$window_program" "$work/vornmark-e2e"
(cd "$work" && VORNMARK_TEST_RUN="$run" exec "$work/vornmark-e2e" >window.log 2>&1) &
window_pid=$!
for _ in $(seq 1 300); do
    xdotool search --name "Vornmark" >/dev/null 2>&1 && break
    sleep 0.1
done
# The subshell above became the program itself (exec).
program_pid=$window_pid
sleep 3

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
ticks_per_second=$(getconf CLK_TCK)
before=$(cpu_ticks "$program_pid")
sleep 10
after=$(cpu_ticks "$program_pid")
idle_percent=$(awk -v t=$((after - before)) -v hz="$ticks_per_second" 'BEGIN { printf "%.2f", t / hz / 10 * 100 }')
echo "idle window: ${idle_percent}% of one core over 10 s"

# The Multi-Core button: the start buttons are the only areas of their colour in
# the left column; Multi-Core is the second, 35 px high and 6 px below Single-Core.
import -window root "$work/before.png"
hit=$(convert "$work/before.png" -crop 300x1080+0+0 +repage txt:- | grep -m1 -i "#008066" | cut -d: -f1 || true)
[ -n "$hit" ] || { echo "no start button found in the window" >&2; exit 1; }
x=$((${hit%,*} + 40))
y=$((${hit#*,} + 41 + 17))
xdotool mousemove "$x" "$y"
sleep 0.5
xdotool click 1
for _ in $(seq 1 6000); do
    [ -f "$work/history.json" ] && grep -q '"time_seconds"' "$work/history.json" && break
    sleep 0.1
done
window_seconds=$(grep -o '"time_seconds": *[0-9.e+-]*' "$work/history.json" | head -n1 | sed 's/.*: *//')
window_threads=$(grep -o '"threads": *[0-9]*' "$work/history.json" | head -n1 | sed 's/.*: *//')
kill -TERM "$window_pid" 2>/dev/null || true
wait "$window_pid" 2>/dev/null || true
window_pid=""
[ "$window_threads" = "$threads" ] || echo "warning: the window ran $window_threads workers, not $threads" >&2

headless_seconds=$("$cli_program" --threads "$threads" --width "$width" --height "$height" --samples "$samples" --json \
    2>/dev/null | grep -o '"time_seconds":[0-9.e+-]*' | head -n1 | sed 's/.*://')

ratio=$(awk -v h="$headless_seconds" -v w="$window_seconds" 'BEGIN { printf "%.3f", h / w }')
echo "run ${run}, ${threads} workers: window ${window_seconds} s, headless ${headless_seconds} s"
echo "speed from the window relative to headless: ${ratio} (headless time / window time)"
