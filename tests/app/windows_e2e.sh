#!/usr/bin/env bash
# The Windows program end to end, under Wine in an X server (xvfb-run) with the leaderboard
# server beside it (with-leaderboard-server: VORNMARK_TEST_SERVER_PORT and _CA):
#   windows_e2e.sh VORNMARK_E2E_EXE TRUST_CA_EXE WINDOW_PROBE_EXE
# A copy of the test build starts in a temporary folder with its own Wine prefix (the server's
# CA trusted there; no Segoe UI or Consolas, so GDI gives the nearest faces, Debian's DejaVu Sans
# and DejaVu Sans Mono). At 96 DPI the window must be titled "Vornmark v1.3 - CPU Benchmark" and
# 1600 x 900, load both faces at their four sizes, and a click on Single-Core must store the run in history.json beside the .exe,
# with CR LF line ends, and on the server. At 144 DPI (LogPixels) the fonts and the style scale
# by 1.5 and the window stays on the screen; minimising and restoring never leaves a back buffer
# of no size; three WM_SIZE before one frame give one resize, to the last size; Alt alone
# leaves the loop drawing (no window menu). Closing the window (WM_CLOSE) must end the program
# with exit code 0 each time. The frame log (VORNMARK_TEST_FRAME_LOG) tells what the window did.
set -euo pipefail
exe=$1 trust_ca=$2 window_probe=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/vornmark-windows-e2e-XXXXXX")
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
pid=
cleanup() {
    # VORNMARK_E2E_KEEP=DIR keeps the screenshots and the history for a look afterwards.
    if [[ -n ${VORNMARK_E2E_KEEP:-} ]]; then cp "$work"/*.png "$work"/history.json "$VORNMARK_E2E_KEEP"/ 2>/dev/null || true; fi
    [[ -n $pid ]] && kill "$pid" 2>/dev/null || true
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
cp "$exe" "$work/Vornmark-e2e.exe"
cd "$work"
ca_linux=${VORNMARK_TEST_SERVER_CA#Z:}
ca_linux=${ca_linux//\\//}

wine "$trust_ca" "$VORNMARK_TEST_SERVER_CA"

# Starts the program and waits for its window; sets pid.
start_program() {
    rm -f frames.log
    VORNMARK_LEADERBOARD_URL=https://localhost:$VORNMARK_TEST_SERVER_PORT VORNMARK_TEST_FRAME_LOG=frames.log \
        wine Vornmark-e2e.exe >program.log 2>&1 &
    pid=$!
    local window=
    for _ in $(seq 1 600); do
        window=$(xdotool search --name "^Vornmark v1.3 - CPU Benchmark$" 2>/dev/null | head -1 || true)
        [[ -n $window ]] && break
        kill -0 "$pid" 2>/dev/null || { echo "the program ended early"; cat program.log; exit 1; }
        sleep 0.1
    done
    [[ -n $window ]] || { echo "no window titled Vornmark v1.3 - CPU Benchmark"; exit 1; }
    sleep 3
}

# Closes the window as its close button would; the program must end with exit code 0.
close_program() {
    wine "$window_probe" close
    for _ in $(seq 1 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    local status=0
    wait "$pid" || status=$?
    pid=
    echo "exit code $status"
    [[ $status == 0 ]] || { cat program.log; exit 1; }
}

# The GUI as the program set it up (the frame log's first line) must be $1.
expect_gui() {
    local gui
    gui=$(head -n1 frames.log | tr -d '\r')
    echo "$gui"
    [[ $gui == "# gui $1" ]] || { echo "expected: # gui $1"; exit 1; }
}

frame_count() { grep -vc '^#' frames.log || true; }
last_frame() { tail -n1 frames.log | tr -d '\r'; }

# Waits until the log holds more than $1 frames; false after 20 s.
wait_for_frame_after() {
    for _ in $(seq 1 200); do
        (($(frame_count) > $1)) && return 0
        sleep 0.1
    done
    return 1
}

start_program
expect_gui "scale=1.00 padding=12.0 ui=DejaVu Sans:16.0 heading=DejaVu Sans:24.0 mono=DejaVu Sans Mono:15.0 mono_large=DejaVu Sans Mono:28.0"
# Class, title and outer size as Windows reports them; centred on the screen.
read -r left top width height screen_width screen_height < <(wine "$window_probe" rect | tr -d '\r')
echo "window at $left,$top, $width x $height on a $screen_width x $screen_height screen"
[[ $width == 1600 && $height == 900 ]] || { echo "the window is not 1600 x 900"; exit 1; }
[[ $left == $(((screen_width - 1600) / 2)) && $top == $(((screen_height - 900) / 2)) ]] ||
    { echo "the window is not centred"; exit 1; }
import -window root before.png

# Single-Core's colour #008066: the topmost such pixel in the left column is the button's top edge.
hit=$(convert before.png -crop 400x1080+0+0 +repage txt:- | grep -m1 -i "#008066" | cut -d: -f1 || true)
[[ -n $hit ]] || { echo "no Single-Core button in the screenshot"; exit 1; }
x=$((${hit%,*} + 40)) y=$((${hit#*,} + 17))
echo "clicking Single-Core at $x,$y"
xdotool mousemove "$x" "$y"
sleep 0.3
# An instant press and release, both between two frames: the window must still count the click.
xdotool click 1

for _ in $(seq 1 600); do
    [[ -f history.json ]] && grep -q '"type": "single"' history.json && break
    sleep 0.1
done
sleep 3
import -window root after.png
[[ -f history.json ]] || { echo "no history.json beside the .exe"; ls; exit 1; }
lines=$(wc -l <history.json) crlf=$(grep -c $'\r$' history.json || true)
echo "history.json: $lines lines, $crlf ending in CR LF"
((lines > 5 && crlf == lines)) || { echo "history.json is not written with CR LF"; cat -A history.json; exit 1; }
grep -q '"score": [1-9]' history.json || { echo "no score in history.json"; exit 1; }
standings=$(curl -s --cacert "$ca_linux" "https://localhost:$VORNMARK_TEST_SERVER_PORT/api.php?type=single")
echo "standings: $standings"
[[ $standings == *'"runs":1'* ]] || { echo "the run did not reach the server"; exit 1; }

close_program

# 144 DPI: fonts and style sizes times 1.5. The window opens at 1600 x 900 physical pixels and
# grows, within the screen, to the size the scaled layout needs.
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null
start_program
expect_gui "scale=1.50 padding=18.0 ui=DejaVu Sans:24.0 heading=DejaVu Sans:36.0 mono=DejaVu Sans Mono:22.5 mono_large=DejaVu Sans Mono:42.0"
read -r left top width height screen_width screen_height < <(wine "$window_probe" rect | tr -d '\r')
((width >= 1600 && height >= 900 && width <= screen_width && height <= screen_height)) ||
    { echo "at 144 DPI the window is $width x $height on a $screen_width x $screen_height screen"; exit 1; }

# Minimised and restored: frames go on, no back buffer of no size, then the client area's size.
frames=$(frame_count)
wine "$window_probe" minimize
sleep 1
wine "$window_probe" restore
wait_for_frame_after "$frames" || { echo "no frame after minimising and restoring"; exit 1; }
sleep 1
kill -0 "$pid" 2>/dev/null || { echo "the program ended after minimising and restoring"; cat program.log; exit 1; }
if grep -v '^#' frames.log | awk '{ print $6 }' | grep -Eq '^0x|x0$'; then
    echo "a frame was drawn into a back buffer of no size"; exit 1
fi
read -r client_width client_height < <(wine "$window_probe" client | tr -d '\r')
[[ $(last_frame | awk '{ print $6 }') == "${client_width}x${client_height}" ]] ||
    { echo "after restoring, the back buffer is not the client area: $(last_frame)"; exit 1; }

# Three sizes before one frame: one resize, to the last.
frames=$(frame_count) resizes=$(last_frame | awk '{ print $7 }')
wine "$window_probe" sizes 1200 700 1300 750 1400 800
wait_for_frame_after "$frames" || { echo "no frame after three WM_SIZE"; exit 1; }
sleep 1
echo "after three WM_SIZE: $(last_frame | cut -d' ' -f6-7), $resizes resizes before"
[[ $(last_frame | awk '{ print $6 }') == 1400x800 && $(last_frame | awk '{ print $7 }') == $((resizes + 1)) ]] ||
    { echo "three WM_SIZE did not give one resize to 1400 x 800"; exit 1; }

# Alt alone opens no window menu: the loop goes on drawing on the next input. (Wine itself
# enters no menu mode here, so this step guards the loop, not the window procedure's answer.)
xdotool mousemove 800 500
sleep 0.5
xdotool key alt
sleep 0.5
frames=$(frame_count)
xdotool mousemove 900 550
wait_for_frame_after "$frames" || { echo "no frame after Alt alone: the window menu took the loop"; exit 1; }

close_program
