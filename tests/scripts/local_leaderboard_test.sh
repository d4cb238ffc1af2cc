#!/usr/bin/env bash
# run.sh's local leaderboard (scripts/local-leaderboard.sh) with the real server and runner:
# users in separate processes share one server, the last to leave stops it, the certificate is
# made once and the runs are kept, and a server that died is replaced.
# Usage: local_leaderboard_test.sh BIN_DIR E2E_RUNNER (BIN_DIR holds vornmark-leaderboard and
# vornmark-cli; E2E_RUNNER is vornmark-cli-e2e, whose preset runs are tiny).
set -euo pipefail
bin=$(realpath "$1")
e2e_runner=$(realpath "$2")
source "$(dirname "$0")/../../scripts/local-leaderboard.sh"
# The end-to-end runner's tiny preset scores far above what any processor reaches on the real one.
local_leaderboard_server_flags=(--max-score-per-thread 10000000)
work=$(mktemp -d)
dir=$work/local-leaderboard
users=()
cleanup() {
  local pid
  for pid in "${users[@]}"; do kill "$pid" 2>/dev/null || true; done
  pid=$(cat "$dir/server.pid" 2>/dev/null || true)
  [[ -n $pid ]] && kill "$pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*" >&2
  cat "$dir/server.log" >&2 2>/dev/null || true
  exit 1
}
# Waits (up to a minute) until a file exists.
wait_for_file() {
  for _ in $(seq 1200); do
    [[ -e $1 ]] && return 0
    sleep 0.05
  done
  fail "$1 never appeared"
}

# One user in a process of its own: starts (or joins) the server, writes the URL to NAME.url and
# stays until NAME.leave exists.
user() {
  (
    local_leaderboard_start "$dir" "$bin" || exit 1
    echo "$LOCAL_LEADERBOARD_URL" >"$work/$1.url"
    while [[ ! -e $work/$1.leave ]]; do sleep 0.05; done
    local_leaderboard_stop
  ) &
  users+=($!)
  wait_for_file "$work/$1.url"
}
leave() {
  touch "$work/$1.leave"
  wait "${users[$2]}" || fail "user $1 failed"
}
server_pid() { cat "$dir/server.pid" 2>/dev/null || true; }
# The runner's standings from the server at URL $1; fails when it cannot reach it.
standings() {
  VORNMARK_LEADERBOARD_URL=$1 VORNMARK_LEADERBOARD_CA=$dir/cert.pem XDG_CONFIG_HOME=$work \
    "$bin/vornmark-cli" --leaderboard 2>&1
}

user a
url=$(cat "$work/a.url")
[[ $url =~ ^https://127\.0\.0\.1:[0-9]+$ ]] || fail "URL $url"
standings "$url" >/dev/null || fail "the runner could not reach $url with the local certificate"
# A finished preset run (tiny in the end-to-end runner) is submitted there.
cp "$e2e_runner" "$work/runner"
VORNMARK_LEADERBOARD_URL=$url VORNMARK_LEADERBOARD_CA=$dir/cert.pem XDG_CONFIG_HOME=$work \
  "$work/runner" --single >"$work/run.log" 2>&1 || fail "the run: $(cat "$work/run.log")"
cert=$(stat -c %Y-%i "$dir/cert.pem")
user b
[[ $(cat "$work/b.url") == "$url" ]] || fail "the second user started a server of its own"
first=$(server_pid)
leave a 0
kill -0 "$first" 2>/dev/null || fail "the server ended while a user was still there"
leave b 1
! kill -0 "$first" 2>/dev/null || fail "the server outlived its last user"
[[ ! -e $dir/server.pid && ! -e $dir/server.url ]] || fail "server.pid or server.url left behind"

# Next time: the same certificate and database, a new server; one that died is replaced.
user c
[[ $(stat -c %Y-%i "$dir/cert.pem") == "$cert" ]] || fail "the certificate was made again"
standings "$(cat "$work/c.url")" | grep -q '^>' || fail "the earlier run is not in the kept standings"
kill -KILL "$(server_pid)"
user d
standings "$(cat "$work/d.url")" >/dev/null || fail "no server after the last one died"
leave c 2
leave d 3
[[ -z $(server_pid) ]] || fail "server.pid left behind"
echo PASSED
