#!/usr/bin/env bash
# What the open window costs the measurement, on Linux and on Windows (under Wine), each in an
# X server of its own (Xvfb, software OpenGL):
#   bench/window_cost.sh [LINUX_BUILD] [WINDOWS_BUILD] [WIDTHxHEIGHTxSAMPLES]
# (defaults: build, build-windows, 640x360x32; a platform whose build is missing is skipped).
# For each platform, with the end-to-end program (vornmark-e2e, Vornmark-e2e.exe) and its
# frame log:
#   idle     the window's processor time over 10 s, without and then with the pointer resting
#            on it, in % of one core (under Wine with its wineserver); target at most 2 %
#   speed    the run on every hardware thread started from the window (Multi-Core), and the
#            same run headless (vornmark-cli), one after the other; headless time / window
#            time; target at least 0.97
#   frames   during that run: progress-line updates per second (mean, and the fewest in any
#            whole second), the window's processor share; target at least 2 a second
#   click    from the click on Multi-Core to the first frame that shows the run; target 0.3 s
#   cancel   a second run, Cancel clicked after 3 s: from the click to the first frame that
#            shows the run ended; target 0.3 s plus the tiles in flight (a tile's mean time
#            on one worker is printed beside it)
# ROUNDS=N repeats the speed pair N times, alternating which goes first, and prints the
# ratios' median (0: no speed pair).
# WINE_CSMT=off turns off Wine's Direct3D command thread in the bench's Wine prefix (it spins
# while it waits), to tell Wine's share of a frame from the program's. Needs Xvfb, xdotool,
# ImageMagick and (for Windows) wine; builds nothing. Other load skews the figures: the load
# average is printed before and after.
set -euo pipefail
linux_build=${1:-build}
windows_build=${2:-build-windows}
run=${3:-640x360x32}
rounds=${ROUNDS:-1}
IFS=x read -r width height samples <<<"$run"
threads=$(nproc)
ticks_per_second=$(getconf CLK_TCK)

work=$(mktemp -d)
xvfb_pid=""
window_pid=""
cleanup() {
    if [ -n "$window_pid" ]; then kill -TERM "$window_pid" 2>/dev/null || true; wait "$window_pid" 2>/dev/null || true; fi
    if [ -n "${WINEPREFIX:-}" ]; then wineserver -k 2>/dev/null || true; fi
    if [ -n "$xvfb_pid" ]; then kill -TERM "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

now() { date +%s.%N; }
cpu_ticks() { local sum=0 pid; for pid in "$@"; do sum=$((sum + $(awk '{print $14 + $15}' "/proc/$pid/stat"))); done; echo "$sum"; }
percent_of_core() { awk -v t="$1" -v hz="$ticks_per_second" -v s="$2" 'BEGIN { printf "%.2f", t / hz / s * 100 }'; }

start_xvfb() {
    exec 3>"$work/display"
    Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.1; done
    export DISPLAY=":$(head -n1 "$work/display")"
    exec 3>&-
}

# Starts the window in $dir with its frame log; sets window_pid and cost_pids (the processes
# whose processor time is the window's).
start_window() {
    local dir=$1
    rm -f "$dir/frames.log" "$dir/history.json"
    if [ "$platform" = linux ]; then
        (cd "$dir" && VORNMARK_LEADERBOARD_URL=https://127.0.0.1:1 VORNMARK_TEST_RUN="$run" VORNMARK_TEST_FRAME_LOG=frames.log exec ./vornmark-e2e >window.log 2>&1) &
        window_pid=$!
    else
        (cd "$dir" && VORNMARK_LEADERBOARD_URL=https://127.0.0.1:1 VORNMARK_TEST_RUN="$run" VORNMARK_TEST_FRAME_LOG=frames.log exec wine Vornmark-e2e.exe >window.log 2>&1) &
        window_pid=$!
    fi
    for _ in $(seq 1 600); do
        xdotool search --name "^Vornmark v[0-9.]* - CPU Benchmark$" >/dev/null 2>&1 && break
        sleep 0.1
    done
    cost_pids=$window_pid
    if [ "$platform" = windows ]; then
        local server
        for server in $(pgrep -u "$(id -u)" wineserver); do
            grep -qz "^WINEPREFIX=$WINEPREFIX\$" "/proc/$server/environ" 2>/dev/null && cost_pids="$cost_pids $server"
        done
    fi
    sleep 3
}

stop_window() {
    kill -TERM "$window_pid" 2>/dev/null || true
    if [ "$platform" = windows ]; then wineserver -k 2>/dev/null || true; fi
    wait "$window_pid" 2>/dev/null || true
    window_pid=""
}

# The centre of the Multi-Core button: the start buttons are the only areas of their colour in
# the left of the screen; Multi-Core is the second, 35 px high and 6 px below Single-Core.
multi_core_button() {
    import -window root "$work/screen.png"
    local hit
    hit=$(convert "$work/screen.png" -crop 400x1080+0+0 +repage txt:- | grep -m1 -i "#008066" | cut -d: -f1 || true)
    [ -n "$hit" ] || { echo "no start button found in the window" >&2; exit 1; }
    button_x=$((${hit%,*} + 40))
    button_y=$((${hit#*,} + 41 + 17))
}

click_at() { xdotool mousemove "$1" "$2"; sleep 0.5; clicked=$(now); xdotool click 1; }

wait_for_history() {
    for _ in $(seq 1 12000); do
        [ -f "$1/history.json" ] && grep -q '"time_seconds"' "$1/history.json" && return
        sleep 0.1
    done
}

# The first frame after time $2 whose run state is $3, in seconds after $2.
frame_after() { awk -v t="$2" -v r="$3" '/^#/ { next } $1 > t && $2 == r { printf "%.3f", $1 - t; exit }' "$1"; }

# The frames of a run between the times $2 and $3: updates per second (mean, fewest in a whole
# second), the window's processor share of one core.
frames_during_run() {
    awk -v t="$2" -v end="$3" '/^#/ { next } $1 > t && $1 < end && $2 == 1 {
            if (!n) { first = $1; cpu0 = $5 }
            last = $1; cpu1 = $5; n++
            text = $0; sub(/^([^ ]+ ){7}/, "", text)
            if (text != line) { changes++; second[int($1 - first)]++ }
            line = text
        }
        END {
            span = last - first; fewest = 1e9
            for (s = 0; s < int(span); s++) if (second[s] + 0 < fewest) fewest = second[s] + 0
            if (fewest == 1e9) fewest = "-"
            printf "%.2f/s mean, %s in the slowest second, window %.1f %% of a core", changes / span, fewest, (cpu1 - cpu0) / span * 100
        }' "$1"
}

headless_seconds() {
    local program=$1
    if [ "$platform" = linux ]; then
        "$program" --threads "$threads" --width "$width" --height "$height" --samples "$samples" --no-submit --json 2>/dev/null
    else
        wine "$program" --threads "$threads" --width "$width" --height "$height" --samples "$samples" --no-submit --json 2>/dev/null
    fi | grep -o '"time_seconds":[0-9.e+-]*' | head -n1 | sed 's/.*://'
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { printf "%.3f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

window_run_seconds() { grep -o '"time_seconds": *[0-9.e+-]*' "$1/history.json" | head -n1 | sed 's/.*: *//'; }

measure_platform() {
    local dir=$work/$platform
    mkdir -p "$dir"
    echo "== $platform ($threads hardware threads, run ${run})"

    start_window "$dir"
    local before after
    before=$(cpu_ticks $cost_pids); sleep 10; after=$(cpu_ticks $cost_pids)
    echo "idle:    $(percent_of_core $((after - before)) 10) % of one core over 10 s"
    multi_core_button
    xdotool mousemove $((button_x + 400)) $((button_y + 200)); sleep 2
    before=$(cpu_ticks $cost_pids); sleep 10; after=$(cpu_ticks $cost_pids)
    echo "idle:    $(percent_of_core $((after - before)) 10) % of one core over 10 s, the pointer resting on the window"

    # Cancel after 3 s; its centre lies 86 px below Multi-Core's (below Run Both and a spacing).
    click_at "$button_x" "$button_y"
    local started=$clicked
    sleep 3
    click_at "$button_x" $((button_y - 41 + 127))
    local cancel_seconds
    for _ in $(seq 1 300); do
        cancel_seconds=$(frame_after "$dir/frames.log" "$clicked" 0)
        [ -n "$cancel_seconds" ] && break
        sleep 0.1
    done
    echo "click:   $(frame_after "$dir/frames.log" "$started" 1) s from the click to the first frame of the run"
    if ((rounds == 0)); then echo "frames:  $(frames_during_run "$dir/frames.log" "$started" "$clicked") (3 s of a run)"; fi
    local cancel_line=$cancel_seconds
    sleep 2

    local round ratios="" window_seconds="" headless tiles
    for round in $(seq 1 "$rounds"); do
        if ((round % 2 == 0)); then headless=$(headless_seconds "$cli"); fi
        rm -f "$dir/history.json"
        click_at "$button_x" "$button_y"
        local run_started=$clicked
        wait_for_history "$dir"
        window_seconds=$(window_run_seconds "$dir")
        if [ "$round" = 1 ]; then echo "frames:  $(frames_during_run "$dir/frames.log" "$run_started" "$(now)")"; fi
        if ((round % 2 == 1)); then headless=$(headless_seconds "$cli"); fi
        ratios="$ratios $(awk -v h="$headless" -v w="$window_seconds" 'BEGIN { printf "%.3f", h / w }')"
        echo "speed:   round $round: window ${window_seconds} s, headless ${headless} s"
        sleep 2
    done
    tiles=$(awk '/^#/ { next } $2 == 1 { t = $4 } END { print t }' "$dir/frames.log")
    echo "cancel:  ${cancel_line} s from the click to the first frame without the run"
    if [ -n "$window_seconds" ]; then
        echo "         one tile takes $(awk -v w="$window_seconds" -v n="$threads" -v t="$tiles" 'BEGIN { printf "%.3f", w * n / t }') s on one worker"
        echo "speed:   from the window relative to headless (headless time / window time):$ratios"
        if ((rounds > 1)); then echo "         median $(median $ratios)"; fi
    fi
    stop_window
}

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) processors"
start_xvfb
if [ -x "$linux_build/app/vornmark-e2e" ] && [ -x "$linux_build/bin/vornmark-cli" ]; then
    platform=linux
    cp "$linux_build/app/vornmark-e2e" "$work/"
    mkdir -p "$work/linux" && mv "$work/vornmark-e2e" "$work/linux/"
    cli=$(cd "$linux_build/bin" && pwd)/vornmark-cli
    measure_platform
else
    echo "== linux: no $linux_build/app/vornmark-e2e or $linux_build/bin/vornmark-cli, skipped"
fi
if [ -f "$windows_build/bin/Vornmark-e2e.exe" ] && [ -f "$windows_build/bin/vornmark-cli.exe" ] && command -v wine >/dev/null; then
    platform=windows
    export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    mkdir -p "$work/windows"
    cp "$windows_build/bin/Vornmark-e2e.exe" "$work/windows/"
    cp "$windows_build/bin/vornmark-cli.exe" "$work/windows/"
    cli=$work/windows/vornmark-cli.exe
    if [ "${WINE_CSMT:-}" = off ]; then
        wine reg add 'HKCU\Software\Wine\Direct3D' /v csmt /t REG_DWORD /d 0 /f >/dev/null 2>&1
        echo "(Wine's Direct3D command thread turned off)"
    fi
    measure_platform
else
    echo "== windows: no $windows_build/bin/Vornmark-e2e.exe or vornmark-cli.exe (or no wine), skipped"
fi
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
