#!/bin/bash
# Runs on the test's virtual X server ($DISPLAY): starts the window program in the current directory, waits
# for its first frames, captures the window, asks it to close in the way $1 names
# (term, int or wm) and records what happened in result.txt.
probe=$2
./vornmark >stdout.txt 2>stderr.txt &
pid=$!

wid=
for _ in $(seq 1 200); do
  wid=$(xdotool search --name "^Vornmark v[0-9.]* - CPU Benchmark$" 2>/dev/null | head -1)
  [ -n "$wid" ] && break
  sleep 0.05
done
if [ -z "$wid" ]; then
  echo "no-window" >result.txt
  kill -KILL "$pid"; wait "$pid"; exit 0
fi
# The header's teal appears with the first drawn frame.
if ! "$probe" wait-colour "$wid" 0 212 170 15000; then
  echo "no-frame" >result.txt
fi
xdotool getwindowgeometry "$wid" >geometry.txt
import -window "$wid" window.png
import -window root screen.png

case "$1" in
  term) kill -TERM "$pid" ;;
  int) kill -INT "$pid" ;;
  wm) "$probe" close "$wid" ;;
esac
# A watchdog ends a program that does not close (exit code 137 then).
( sleep 30; kill -KILL "$pid" 2>/dev/null ) >/dev/null 2>&1 &
watchdog=$!
wait "$pid"
rc=$?
kill "$watchdog" 2>/dev/null
wait "$watchdog" 2>/dev/null
echo "exit $rc" >>result.txt
