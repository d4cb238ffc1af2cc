#!/usr/bin/env bash
# The Windows program end to end, under Wine in an X server (xvfb-run) with the leaderboard
# server beside it (with-leaderboard-server: VORNMARK_TEST_SERVER_PORT and _CA):
#   windows_e2e.sh VORNMARK_E2E_EXE TRUST_CA_EXE WINDOW_PROBE_EXE
# A copy of the test build starts in a temporary folder with its own Wine prefix (the server's
# CA trusted there); the window must be titled "Vornmark v1.3 - CPU Benchmark" and 1600 x 900;
# a click on Single-Core must store the run in history.json beside the .exe, with CR LF line
# ends, and on the server; closing the window (WM_CLOSE) must end the program with exit code 0.
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
VORNMARK_LEADERBOARD_URL=https://localhost:$VORNMARK_TEST_SERVER_PORT wine Vornmark-e2e.exe >program.log 2>&1 &
pid=$!

window=
for _ in $(seq 1 600); do
    window=$(xdotool search --name "^Vornmark v1.3 - CPU Benchmark$" 2>/dev/null | head -1 || true)
    [[ -n $window ]] && break
    kill -0 "$pid" 2>/dev/null || { echo "the program ended early"; cat program.log; exit 1; }
    sleep 0.1
done
[[ -n $window ]] || { echo "no window titled Vornmark v1.3 - CPU Benchmark"; exit 1; }
sleep 3
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

wine "$window_probe" close
for _ in $(seq 1 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
status=0
wait "$pid" || status=$?
pid=
echo "exit code $status"
[[ $status == 0 ]] || { cat program.log; exit 1; }
