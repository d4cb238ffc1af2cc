#!/usr/bin/env bash
# Starts Vornmark from this checkout: installs what building and running needs, builds the
# three programs (window, runner, leaderboard server) into build/bin, brings up a local
# leaderboard unless one is configured, then starts the window when a display can be opened and
# otherwise the headless runner. Arguments go to the runner; the window takes none, so with
# arguments the runner starts even when there is a display.
# Usage: scripts/run.sh [--no-leaderboard] [runner arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build
bin=$build/bin

use_local_leaderboard=true
args=()
for arg in "$@"; do
  case $arg in
    --no-leaderboard) use_local_leaderboard=false ;;
    # A leaderboard named on the command line, or commands that reach none.
    --leaderboard-url | --leaderboard-url=* | --history | --help | -h)
      use_local_leaderboard=false
      args+=("$arg")
      ;;
    *) args+=("$arg") ;;
  esac
done

bash scripts/setup.sh run

# ---- Build: only the programs, quietly; the log keeps the details ------------------------------
mkdir -p "$build"
configure=(-DCMAKE_BUILD_TYPE=Release)
# A new tree leaves out the tests and benchmarks (scripts/test.sh turns them on); an existing
# tree keeps its settings.
[[ -f $build/CMakeCache.txt ]] || configure+=(-DVORNMARK_BUILD_TESTS=OFF -DVORNMARK_BUILD_BENCH=OFF)
log=$build/run-build.log
echo "Building the programs into build/bin (a few minutes the first time; log: build/run-build.log)..." >&2
started=$SECONDS
if ! { cmake -S . -B "$build" "${configure[@]}" &&
  cmake --build "$build" -j "$(nproc)" --target vornmark vornmark-cli vornmark-leaderboard; } >"$log" 2>&1; then
  tail -n 25 "$log" >&2
  echo "run.sh: the build failed; the whole log is in build/run-build.log" >&2
  exit 1
fi
echo "Built in $((SECONDS - started)) s." >&2

# ---- The local leaderboard ---------------------------------------------------------------------
# One server per checkout on 127.0.0.1 and a free port, with a certificate made once and its
# SQLite file kept in build/local-leaderboard/. Every run.sh using it holds users.lock shared;
# start.lock orders starting and stopping, and the last one to leave stops the server.
local_dir=$build/local-leaderboard
server_pid=""
started_server=false

leaderboard_configured() {
  # The runner says where its leaderboard comes from; only the build's default is ours to replace.
  local info
  info=$("$bin/vornmark-cli" --info 2>/dev/null || true)
  [[ $info != *"(built-in default)"* ]]
}

make_certificate() {
  local cert=$local_dir/cert.pem key=$local_dir/key.pem
  if [[ -s $cert && -s $key ]] && openssl x509 -checkend 86400 -noout -in "$cert" >/dev/null 2>&1; then
    return 0
  fi
  (umask 077 && openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 3650 \
    -keyout "$key" -out "$cert" -subj "/CN=Vornmark local leaderboard" \
    -addext "subjectAltName=IP:127.0.0.1" >/dev/null 2>&1)
}

# The pid in server.pid when that process is still this checkout's leaderboard server.
running_server() {
  local pid
  pid=$(cat "$local_dir/server.pid" 2>/dev/null || true)
  [[ $pid =~ ^[0-9]+$ ]] || return 1
  tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -qF "$bin/vornmark-leaderboard " || return 1
  echo "$pid"
}

start_server() {
  local log=$local_dir/server.log offset port=""
  touch "$log"
  offset=$(stat -c %s "$log")
  # The lock files stay closed in the server, so that its end alone decides nothing about them.
  "$bin/vornmark-leaderboard" --listen 127.0.0.1:0 --cert "$local_dir/cert.pem" --key "$local_dir/key.pem" \
    --db "$local_dir/leaderboard.db" </dev/null >>"$log" 2>&1 8>&- 9>&- &
  server_pid=$!
  for _ in $(seq 200); do
    port=$(tail -c +"$((offset + 1))" "$log" | sed -n 's|.*listening on https://127\.0\.0\.1:\([0-9]*\).*|\1|p')
    [[ -n $port ]] && break
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.05
  done
  if [[ -z $port ]]; then
    kill "$server_pid" 2>/dev/null || true
    server_pid=""
    return 1
  fi
  echo "$server_pid" >"$local_dir/server.pid"
  echo "https://127.0.0.1:$port" >"$local_dir/server.url"
  started_server=true
}

stop_server_if_last() {
  exec 9>&-
  exec 8>>"$local_dir/start.lock"
  flock 8
  exec 9>>"$local_dir/users.lock"
  if flock -n -x 9; then
    local pid
    if pid=$(running_server); then
      kill -TERM "$pid" 2>/dev/null || true
      if $started_server; then
        wait "$pid" 2>/dev/null || true
      else
        for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
      fi
    fi
    rm -f "$local_dir/server.pid" "$local_dir/server.url"
  fi
  exec 9>&- 8>&-
}

if $use_local_leaderboard && ! leaderboard_configured; then
  mkdir -p "$local_dir"
  exec 8>>"$local_dir/start.lock"
  flock 8
  exec 9>>"$local_dir/users.lock"
  flock -s 9
  url=""
  if running_server >/dev/null; then
    url=$(cat "$local_dir/server.url")
  elif make_certificate && start_server; then
    url=$(cat "$local_dir/server.url")
  fi
  exec 8>&-
  trap stop_server_if_last EXIT
  if [[ -n $url ]]; then
    export VORNMARK_LEADERBOARD_URL=$url VORNMARK_LEADERBOARD_CA=$local_dir/cert.pem
    echo "Local leaderboard: $url, stored in build/local-leaderboard/ (stops when Vornmark ends;" \
      "run.sh --no-leaderboard goes without)." >&2
  else
    echo "The local leaderboard did not start (see build/local-leaderboard/server.log); going without it." >&2
  fi
fi
trap 'exit 130' INT
trap 'exit 143' TERM

# ---- The program ------------------------------------------------------------------------------
run_runner() {
  status=0
  "$bin/vornmark-cli" "${args[@]}" || status=$?
  exit "$status"
}

if [[ -z ${DISPLAY:-}${WAYLAND_DISPLAY:-} ]]; then
  echo "No display found: running the headless benchmark (build/bin/vornmark-cli) instead." >&2
  run_runner
fi
if ((${#args[@]} > 0)); then
  echo "The window takes no arguments: running the headless benchmark (build/bin/vornmark-cli ${args[*]})." >&2
  run_runner
fi
# The window exits with 1 only when it cannot open (no usable display or OpenGL 3.3); its one line
# then becomes part of ours.
window_errors=$(mktemp)
status=0
"$bin/vornmark" 2>"$window_errors" || status=$?
if ((status == 1)); then
  reason=$(head -n 1 "$window_errors")
  rm -f "$window_errors"
  echo "The window could not open (${reason#vornmark: }): running the headless benchmark instead." >&2
  run_runner
fi
cat "$window_errors" >&2
rm -f "$window_errors"
exit "$status"
