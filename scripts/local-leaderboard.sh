# The local leaderboard of scripts/run.sh, sourced by it (and by its test): one vornmark-leaderboard
# per folder on 127.0.0.1 and a free port, with a certificate made once and its SQLite file kept in
# that folder. Every user holds users.lock shared while it runs; start.lock orders starting and
# stopping, and the last user to stop ends the server. Uses file descriptors 8 and 9.
#   local_leaderboard_start DIR BIN_DIR   sets LOCAL_LEADERBOARD_URL (https://127.0.0.1:PORT) and
#                                         LOCAL_LEADERBOARD_CA; returns 1 when the server would not start
#   local_leaderboard_stop                ends this user's share, the server with the last one

local_leaderboard_dir=""
local_leaderboard_bin=""
local_leaderboard_started_pid=""
# Further flags for the server, for whoever sources this (run.sh adds none).
local_leaderboard_server_flags=()

# The pid in server.pid when that process is still this folder's leaderboard server.
local_leaderboard_running_pid() {
  local pid
  pid=$(cat "$local_leaderboard_dir/server.pid" 2>/dev/null || true)
  [[ $pid =~ ^[0-9]+$ ]] || return 1
  tr '\0' '\n' 2>/dev/null <"/proc/$pid/cmdline" | grep -qxF "$local_leaderboard_dir/leaderboard.db" || return 1
  echo "$pid"
}

local_leaderboard_make_certificate() {
  local cert=$local_leaderboard_dir/cert.pem key=$local_leaderboard_dir/key.pem
  if [[ -s $cert && -s $key ]] && openssl x509 -checkend 86400 -noout -in "$cert" >/dev/null 2>&1; then
    return 0
  fi
  (umask 077 && openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 3650 \
    -keyout "$key" -out "$cert" -subj "/CN=Vornmark local leaderboard" \
    -addext "subjectAltName=IP:127.0.0.1" >/dev/null 2>&1)
}

local_leaderboard_launch() {
  local log=$local_leaderboard_dir/server.log offset port="" pid
  touch "$log"
  offset=$(stat -c %s "$log")
  # The lock files stay closed in the server: only the users' ends decide about it.
  "$local_leaderboard_bin/vornmark-leaderboard" --listen 127.0.0.1:0 \
    --cert "$local_leaderboard_dir/cert.pem" --key "$local_leaderboard_dir/key.pem" \
    --db "$local_leaderboard_dir/leaderboard.db" --address-key "$local_leaderboard_dir/address.key" \
    --private "${local_leaderboard_server_flags[@]}" </dev/null >>"$log" 2>&1 8>&- 9>&- &
  pid=$!
  # Up to 30 s: a machine busy with other work may take well over the usual second to start it.
  for _ in $(seq 600); do
    port=$(tail -c +"$((offset + 1))" "$log" | sed -n 's|.*listening on https://127\.0\.0\.1:\([0-9]*\).*|\1|p')
    [[ -n $port ]] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  if [[ -z $port ]]; then
    kill "$pid" 2>/dev/null || true
    return 1
  fi
  echo "$pid" >"$local_leaderboard_dir/server.pid"
  echo "https://127.0.0.1:$port" >"$local_leaderboard_dir/server.url"
  local_leaderboard_started_pid=$pid
}

local_leaderboard_start() {
  local_leaderboard_dir=$(realpath -m "$1")
  local_leaderboard_bin=$(realpath -m "$2")
  mkdir -p "$local_leaderboard_dir"
  exec 8>>"$local_leaderboard_dir/start.lock"
  flock 8
  exec 9>>"$local_leaderboard_dir/users.lock"
  flock -s 9
  local status=0
  if local_leaderboard_running_pid >/dev/null || { local_leaderboard_make_certificate && local_leaderboard_launch; }; then
    LOCAL_LEADERBOARD_URL=$(cat "$local_leaderboard_dir/server.url")
    LOCAL_LEADERBOARD_CA=$local_leaderboard_dir/cert.pem
  else
    status=1
  fi
  exec 8>&-
  return "$status"
}

local_leaderboard_stop() {
  [[ -n $local_leaderboard_dir ]] || return 0
  exec 9>&-
  exec 8>>"$local_leaderboard_dir/start.lock"
  flock 8
  exec 9>>"$local_leaderboard_dir/users.lock"
  if flock -n -x 9; then
    local pid
    if pid=$(local_leaderboard_running_pid); then
      kill -TERM "$pid" 2>/dev/null || true
      if [[ $pid == "$local_leaderboard_started_pid" ]]; then
        wait "$pid" 2>/dev/null || true
      else
        for _ in $(seq 100); do
          kill -0 "$pid" 2>/dev/null || break
          sleep 0.1
        done
      fi
    fi
    rm -f "$local_leaderboard_dir/server.pid" "$local_leaderboard_dir/server.url"
  fi
  exec 9>&- 8>&-
  local_leaderboard_dir=""
}
