#!/usr/bin/env bash
# One session of the window under an X server that xvfb-run provides:
#   run_benchmark_e2e.sh PROGRAM WORKDIR BUTTON RUNS
# starts PROGRAM (a copy beside which history.json is written) in WORKDIR, takes
# WORKDIR/before.png, clicks the start button BUTTON ("single": Single-Core,
# "both": Run Both) where the screenshot shows it, waits until history.json holds
# RUNS runs, and takes WORKDIR/after.png. The button's position is read from the
# screenshot: the start buttons are the only areas of their colour in the left column.
# BUTTON "cancel" clicks Single-Core, lets the run go on for 4 s, clicks Cancel and waits
# until the frame log (VORNMARK_TEST_FRAME_LOG) shows the run ended.
set -euo pipefail
program=$1
workdir=$2
button=$3
runs=$4
cd "$workdir"

"$program" >program.log 2>&1 &
pid=$!
cleanup() {
    if kill -0 "$pid" 2>/dev/null; then
        kill -TERM "$pid" 2>/dev/null || true
        for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -KILL "$pid" 2>/dev/null || true
    fi
    wait "$pid" 2>/dev/null || true
}
trap cleanup EXIT

for _ in $(seq 1 300); do
    xdotool search --name "Vornmark" >/dev/null 2>&1 && break
    kill -0 "$pid" 2>/dev/null || { echo "the program ended early"; cat program.log; exit 1; }
    sleep 0.1
done
# A few frames for the layout (tab bars and tables settle in their second frame).
sleep 2
import -window root before.png

# Single-Core and Multi-Core (0.0, 0.5, 0.4) = #008066; Run Both (0.6, 0.25, 0.1) = #99401A.
case "$button" in
    single|cancel) colour="#008066" ;;
    both) colour="#99401A" ;;
    *) echo "unknown button $button"; exit 2 ;;
esac
# The topmost pixel of that colour in the left column: the top edge of the button.
hit=$(convert before.png -crop 300x1080+0+0 +repage txt:- | grep -m1 -i "$colour" | cut -d: -f1 || true)
if [ -z "$hit" ]; then
    echo "no $button button in the screenshot"
    exit 1
fi
x=$(( ${hit%,*} + 40 ))
y=$(( ${hit#*,} + 17 ))
echo "clicking $button at $x,$y"
xdotool mousemove "$x" "$y"
sleep 0.3
xdotool click 1

if [ "$button" = cancel ]; then
    sleep 4
    # Cancel's centre: below the three start buttons (35 px high, 6 apart) and a spacing
    # of 6, it is 30 px high.
    xdotool mousemove "$x" "$((y + 127))"
    sleep 0.3
    xdotool click 1
    for _ in $(seq 1 600); do
        [ "$(tail -n1 "$VORNMARK_TEST_FRAME_LOG" | cut -d' ' -f2)" = 0 ] && break
        sleep 0.1
    done
    import -window root after.png
    exit 0
fi

for _ in $(seq 1 600); do
    if [ -f history.json ] && [ "$(grep -c '"type"' history.json || true)" -ge "$runs" ]; then
        break
    fi
    sleep 0.1
done
# The submission and the leaderboard refresh behind it, then a couple of frames.
sleep 3
import -window root after.png
