#!/usr/bin/env bash
# The README's nginx set-up, as written, in front of the real server on loopback: the program's
# requests and the web pages pass through it, with the pages' security headers, and the server
# counts the client by the address the proxy adds. Only the machine's own parts of the README's
# block are replaced: the ports, the certificate's files and the server name. Skips (exit 77)
# without nginx (Debian package nginx-light).
# Usage: proxy_readme_test.sh VORNMARK_LEADERBOARD_BINARY
set -eEuo pipefail
trap 'echo "FAILED at line $LINENO: $BASH_COMMAND (exit $?)" >&2' ERR
readme=$(cd "$(dirname "$0")/../.." && pwd)/README.md
server_binary=$1
nginx=$(command -v nginx || echo /usr/sbin/nginx)
[[ -x $nginx ]] || { echo "skipped: no nginx (Debian package nginx-light)"; exit 77; }

work=$(mktemp -d)
server_pid= nginx_pid=
cleanup() {
  [[ -n $nginx_pid ]] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
  [[ -n $server_pid ]] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# The block as the README has it, exactly one.
awk '/^```nginx$/ {inside = 1; count++; next} /^```$/ {inside = 0} inside' "$readme" >"$work/readme.conf"
[[ $(grep -c '^```nginx$' "$readme") -eq 1 && -s $work/readme.conf ]] || { echo "no single nginx block in README.md"; exit 1; }

openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 -keyout "$work/key.pem" \
  -out "$work/cert.pem" -subj /CN=localhost -addext "subjectAltName=DNS:localhost,IP:127.0.0.1" >/dev/null 2>&1

"$server_binary" --http --listen 127.0.0.1:0 --trust-forwarded-for --db "$work/board.db" \
  --connections-per-address 1000 --rate-limit 2 >"$work/server.log" 2>&1 &
server_pid=$!
server_port=
for _ in $(seq 1 200); do
  server_port=$(sed -n 's|.*listening on http://127\.0\.0\.1:\([0-9]*\).*|\1|p' "$work/server.log")
  [[ -n $server_port ]] && break
  kill -0 "$server_pid" 2>/dev/null || { cat "$work/server.log"; exit 1; }
  sleep 0.05
done
[[ -n $server_port ]] || { cat "$work/server.log"; exit 1; }

mkdir "$work/temp"
for attempt in 1 2 3 4 5; do
  proxy_port=$((20000 + RANDOM % 20000))
  sed -e "s|server 127.0.0.1:8081; server 127.0.0.1:8082;|server 127.0.0.1:$server_port;|" \
    -e "s|listen 443 ssl;|listen 127.0.0.1:$proxy_port ssl;|" \
    -e "s|server_name bench.example.org;|server_name localhost;|" \
    -e "s|/etc/vornmark/fullchain.pem|$work/cert.pem|" -e "s|/etc/vornmark/privkey.pem|$work/key.pem|" \
    "$work/readme.conf" >"$work/site.conf"
  cat >"$work/nginx.conf" <<CONF
daemon off;
user root;
worker_processes 1;
pid $work/nginx.pid;
error_log $work/nginx-error.log;
events {}
http {
    access_log off;
    client_body_temp_path $work/temp/body;
    proxy_temp_path $work/temp/proxy;
    include $work/site.conf;
}
CONF
  "$nginx" -p "$work" -c "$work/nginx.conf" 2>>"$work/nginx-error.log" &
  nginx_pid=$!
  for _ in $(seq 1 100); do
    curl -s --noproxy '*' -o /dev/null "https://localhost:$proxy_port/" --cacert "$work/cert.pem" && break 2
    kill -0 "$nginx_pid" 2>/dev/null || break
    sleep 0.05
  done
  kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null || true
  nginx_pid=
  [[ $attempt -lt 5 ]] || { cat "$work/nginx-error.log"; exit 1; }
done

through() { curl -s --noproxy '*' --cacert "$work/cert.pem" "$@"; }
proxy=https://localhost:$proxy_port

stored=$(through -H 'Content-Type: application/json' -d '{"cpu_name":"Proxied CPU","score":321,"threads":1,"type":"single"}' "$proxy/api.php")
[[ $stored == '{"ok":true}' ]] || { echo "submission: $stored"; exit 1; }
standings=$(through "$proxy/api.php?type=single")
[[ $standings == '{"leaderboard":[{"avg_score":321,"cpu":"Proxied CPU","runs":1}]}' ]] || { echo "standings: $standings"; exit 1; }

# The pages, with the headers every page carries.
for target in / "/cpu?type=single&cpu=Proxied%20CPU"; do
  through -D "$work/headers" -o "$work/page" "$proxy$target"
  grep -q '^HTTP/1.1 200' "$work/headers" || { echo "$target:"; cat "$work/headers"; exit 1; }
  grep -qi "^content-security-policy: default-src 'none';" "$work/headers" || { echo "$target: no policy"; cat "$work/headers"; exit 1; }
  grep -qi '^x-content-type-options: nosniff' "$work/headers" || { echo "$target: no nosniff"; exit 1; }
  grep -qi '^referrer-policy: no-referrer' "$work/headers" || { echo "$target: no referrer policy"; exit 1; }
  grep -q '<bdi>Proxied CPU</bdi>' "$work/page" || { echo "$target:"; cat "$work/page"; exit 1; }
done
missing=$(through -o /dev/null -w '%{http_code}' "$proxy/cpu?type=multi&cpu=Proxied%20CPU")
[[ $missing == 404 ]] || { echo "an unknown processor's page: $missing"; exit 1; }

# The server counts the client by the proxy's entry: two runs a minute from 127.0.0.1, then 429.
through -o /dev/null -H 'Content-Type: application/json' -d '{"cpu_name":"Proxied CPU","score":322,"threads":1,"type":"single"}' "$proxy/api.php"
limited=$(through -o /dev/null -w '%{http_code}' -H 'Content-Type: application/json' -H 'X-Forwarded-For: 10.1.1.1' \
  -d '{"cpu_name":"Proxied CPU","score":323,"threads":1,"type":"single"}' "$proxy/api.php")
[[ $limited == 429 ]] || { echo "a client's own X-Forwarded-For counted: $limited"; cat "$work/server.log"; exit 1; }
grep -q '127.0.0.1 GET /cpu' "$work/server.log" || { cat "$work/server.log"; exit 1; }
echo "the README's proxy set-up passes the requests and the pages"
