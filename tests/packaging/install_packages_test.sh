#!/usr/bin/env bash
# The Debian packages on this machine: builds both from the build tree with cpack, installs
# them with dpkg -i, checks the menu entry, the icons and the unit, runs the installed runner,
# starts the installed server as its own user the way its unit does (throw-away certificate,
# loopback) and submits one run, then purges both and checks that nothing is left but the
# leaderboard's database and its user. Every exit path puts the machine back as it was.
# Usage: install_packages_test.sh BUILD_DIR. Runs only when asked (CI=true or
# VORNMARK_PACKAGE_TEST=1) and as root; exits 77 (skipped) otherwise.
set -euo pipefail

build=$(realpath "$1")
packages=(vornmark vornmark-leaderboard)
service_user=vornmark-leaderboard
state=/var/lib/vornmark-leaderboard
unit_name=vornmark-leaderboard.service
icon_sizes=(16 22 24 32 48 64 128 256)

skip() {
  echo "SKIPPED: $*"
  exit 77
}
fail() {
  echo "FAILED: $*" >&2
  exit 1
}
step() { echo "--- $*"; }
# dpkg, waiting a while for its lock when apt or dpkg runs elsewhere on the machine.
dpkg_waiting() {
  local _
  for _ in $(seq 60); do
    if dpkg "$@" >"$work/dpkg.log" 2>&1; then return 0; fi
    grep -q 'lock' "$work/dpkg.log" || break
    sleep 1
  done
  cat "$work/dpkg.log" >&2
  return 1
}

if [[ ${CI:-} != true && ${VORNMARK_PACKAGE_TEST:-} != 1 ]]; then
  skip "installs and purges the vornmark packages on this machine; run with VORNMARK_PACKAGE_TEST=1 (as root) to include it"
fi
[[ $(id -u) -eq 0 ]] || skip "installing packages needs root"
command -v dpkg >/dev/null || skip "no dpkg on this machine"
# One run at a time on a machine (other build trees may run the suite as root too).
mkdir -p /run/lock
exec 9>/run/lock/vornmark-package-test.lock
flock 9
package_known() {
  local status
  status=$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null || true)
  [[ -n "$status" && "$status" != *not-installed ]]
}
for p in "${packages[@]}"; do
  package_known "$p" && skip "$p is already on this machine; the test will not replace or purge it"
done
[[ -e "$state" ]] && skip "$state exists (a leaderboard kept from an earlier install)"
user_existed=false
getent passwd "$service_user" >/dev/null && user_existed=true
history_in_bin_existed=false
[[ -e /usr/bin/history.json ]] && history_in_bin_existed=true

work=$(mktemp -d)
chmod 755 "$work"
server_pid=""
window_pid=""
xvfb_pid=""
cleanup() {
  local status=$?
  set +e
  for pid in "$server_pid" "$window_pid" "$xvfb_pid"; do
    if [[ -n "$pid" ]] && kill -0 "$pid" 2>/dev/null; then
      kill -KILL "$pid"
      wait "$pid" 2>/dev/null
    fi
  done
  for p in "${packages[@]}"; do
    package_known "$p" && dpkg_waiting --purge "$p"
  done
  rm -rf "$state"
  if ! $user_existed && getent passwd "$service_user" >/dev/null; then
    deluser --quiet --system "$service_user" >/dev/null 2>&1 || userdel "$service_user"
  fi
  if ! $user_existed && getent group "$service_user" >/dev/null; then
    delgroup --quiet --system "$service_user" >/dev/null 2>&1 || groupdel "$service_user"
  fi
  $history_in_bin_existed || rm -f /usr/bin/history.json
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The files in the folders the packages touch, to compare after the purge. Folders are left
# out: shared ones (applications, hicolor, systemd's) may stay behind holding a system cache;
# one of our own would carry our name and is caught by the search after the purge.
watched=(/usr/bin /usr/share/applications /usr/share/icons /etc/systemd /usr/lib/systemd /var/lib/systemd)
snapshot() { find "${watched[@]}" -xdev -not -type d 2>/dev/null | sort; }
snapshot >"$work/before.txt"

step "cpack"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/cpack" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack"; }
app_deb=$(ls "$work"/cpack/vornmark_*.deb)
server_deb=$(ls "$work"/cpack/vornmark-leaderboard_*.deb)
for deb in "$app_deb" "$server_deb"; do
  depends=$(dpkg-deb -f "$deb" Depends)
  [[ "$depends" == *libc6* ]] || fail "$(basename "$deb"): no library dependencies from dpkg-shlibdeps: '$depends'"
done
[[ $(dpkg-deb -f "$server_deb" Depends) == *adduser* ]] || fail "vornmark-leaderboard does not depend on adduser"

step "dpkg -i"
dpkg_waiting -i "$app_deb" "$server_deb" || fail "dpkg -i"

step "menu entry and icons"
desktop=/usr/share/applications/vornmark.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
grep -qx 'Exec=vornmark' "$desktop" || fail "menu entry: no Exec=vornmark"
grep -qx 'Icon=vornmark' "$desktop" || fail "menu entry: no Icon=vornmark"
for size in "${icon_sizes[@]}"; do
  icon=/usr/share/icons/hicolor/${size}x${size}/apps/vornmark.png
  file "$icon" | grep -q "PNG image data, $size x $size, 8-bit/color RGBA" || fail "icon $icon: $(file "$icon")"
done
for program in /usr/bin/vornmark /usr/bin/vornmark-cli /usr/bin/vornmark-leaderboard; do
  [[ -x "$program" ]] || fail "$program missing"
  if ldd "$program" | grep -q 'not found'; then fail "$program: $(ldd "$program" | grep 'not found')"; fi
done

step "the unit"
unit=$(dpkg -L vornmark-leaderboard | grep "/systemd/system/$unit_name\$")
[[ -f "$unit" ]] || fail "no $unit_name in the package"
conf=/etc/vornmark-leaderboard/leaderboard.conf
[[ $(dpkg-query -W -f='${Conffiles}' vornmark-leaderboard) == *"$conf"* ]] || fail "$conf is not a conffile"
for setting in NoNewPrivileges=yes PrivateTmp=yes ProtectSystem=strict ProtectHome=yes \
  StateDirectory=vornmark-leaderboard User=vornmark-leaderboard \
  AmbientCapabilities=CAP_NET_BIND_SERVICE CapabilityBoundingSet=CAP_NET_BIND_SERVICE \
  EnvironmentFile=$conf; do
  grep -qx "$setting" "$unit" || fail "$unit lacks $setting"
done
if command -v systemd-analyze >/dev/null; then
  # A bad value is only a warning to systemd, so any word from verify counts as a failure.
  verdict=$(systemd-analyze verify "$unit" 2>&1) || fail "systemd-analyze verify $unit: $verdict"
  [[ -z "$verdict" ]] || fail "systemd-analyze verify $unit: $verdict"
else
  echo "(no systemd-analyze here: the unit is not verified)"
fi
if compgen -G "/etc/systemd/system/*.wants/$unit_name" >/dev/null; then
  fail "the unit is enabled before a certificate is configured"
fi
getent passwd "$service_user" | grep -q ':/usr/sbin/nologin$' || fail "no system user $service_user"
[[ $(stat -c '%U %a' "$state") == "$service_user 750" ]] || fail "$state: $(stat -c '%U %a' "$state")"

step "vornmark-cli from /usr/bin"
/usr/bin/vornmark-cli --info >"$work/info.txt" || fail "vornmark-cli --info"
[[ -s "$work/info.txt" ]] || fail "vornmark-cli --info printed nothing"
/usr/bin/vornmark-cli --width 16 --height 9 --samples 1 --depth 2 --tile 8 --threads 1 >"$work/run.txt" ||
  { cat "$work/run.txt"; fail "a tiny custom run"; }
# The history of an installed program lies in the user's data folder, for root as for anyone.
install -d -o nobody "$work/home"
history_of() { sed -n 's/^History file: //p'; }
got=$(setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$work/home" XDG_DATA_HOME="$work/home/data" \
  /usr/bin/vornmark-cli --history | history_of)
[[ "$got" == "$work/home/data/vornmark/history.json" ]] || fail "history of a user: $got"
got=$(env -u XDG_DATA_HOME HOME="$work/root" /usr/bin/vornmark-cli --history | history_of)
[[ "$got" == "$work/root/.local/share/vornmark/history.json" ]] || fail "history of root: $got"

step "vornmark from /usr/bin starts its window"
if command -v Xvfb >/dev/null; then
  Xvfb -displayfd 3 -screen 0 1600x900x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [[ -s "$work/display" ]] && break
    sleep 0.1
  done
  [[ -s "$work/display" ]] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  (cd "$work" && exec env DISPLAY=":$(cat "$work/display")" HOME="$work/root" /usr/bin/vornmark) \
    >"$work/window.log" 2>&1 &
  window_pid=$!
  # Still running after a few seconds: the window came up (a failed start ends at once).
  sleep 4
  kill -0 "$window_pid" 2>/dev/null || { cat "$work/window.log"; fail "/usr/bin/vornmark ended at start"; }
  kill -TERM "$window_pid"
  wait "$window_pid" 2>/dev/null || true
  window_pid=""
  kill -TERM "$xvfb_pid"
  wait "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=""
else
  echo "(no Xvfb here: the window is not started)"
fi

step "the installed server, as its user, with a throw-away certificate"
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
  -keyout "$work/key.pem" -out "$work/cert.pem" -subj /CN=localhost \
  -addext "subjectAltName=DNS:localhost,IP:127.0.0.1" 2>/dev/null
chgrp "$service_user" "$work/key.pem"
chmod 640 "$work/key.pem"
# The unit's own command line, with the settings file's values and the test's certificate and
# port: ${NAME} is one argument and $NAME splits at spaces, as systemd does.
exec_start=$(sed -n 's/^ExecStart=//p' "$unit")
mapfile -t command < <(
  set -a
  # shellcheck disable=SC1090
  . "$conf"
  # shellcheck disable=SC2034 # read by the eval below
  LEADERBOARD_CERT=$work/cert.pem LEADERBOARD_KEY=$work/key.pem LEADERBOARD_LISTEN=127.0.0.1:0
  eval "printf '%s\n' $exec_start"
)
echo "${command[*]}"
setpriv --reuid="$service_user" --regid="$service_user" --init-groups "${command[@]}" 2>"$work/server.log" &
server_pid=$!
port=""
for _ in $(seq 200); do
  port=$(sed -n 's/.*listening on [^ ]*:\([0-9][0-9]*\).*/\1/p' "$work/server.log")
  [[ -n "$port" ]] && break
  kill -0 "$server_pid" 2>/dev/null || break
  sleep 0.1
done
[[ -n "$port" ]] || { cat "$work/server.log"; fail "the server did not start"; }
api="https://127.0.0.1:$port/api.php"
reply=$(curl -sS --cacert "$work/cert.pem" --max-time 20 -H 'Content-Type: application/json' \
  -d '{"cpu_name":"Package Test CPU","score":1234,"threads":1,"type":"single"}' "$api")
[[ "$reply" == '{"ok":true}' ]] || fail "submission answered $reply"
standings=$(curl -sS --cacert "$work/cert.pem" --max-time 20 "$api?type=single")
[[ "$standings" == *'"cpu":"Package Test CPU"'* ]] || fail "standings without the run: $standings"
step "the machine's leaderboard setting, read by the installed runner"
machine_conf=/etc/vornmark/vornmark.conf
[[ $(dpkg-query -W -f='${Conffiles}' vornmark) == *"$machine_conf"* ]] || fail "$machine_conf is not a conffile"
leaderboard_line() {
  env -u VORNMARK_LEADERBOARD_URL -u VORNMARK_LEADERBOARD_CA -u VORNMARK_LEADERBOARD_STARTED_BY \
    -u XDG_CONFIG_HOME HOME="$work/root" /usr/bin/vornmark-cli --info | grep -E '^(Leaderboard|No leaderboard set)'
}
got=$(leaderboard_line)
[[ $got == *"(built-in default)" || $got == "No leaderboard set. "* ]] ||
  fail "the shipped $machine_conf sets something: $got"
printf 'leaderboard_url = https://127.0.0.1:%s\nleaderboard_ca = %s\n' "$port" "$work/cert.pem" >>"$machine_conf"
got=$(leaderboard_line)
[[ $got == "Leaderboard https://127.0.0.1:$port (set in $machine_conf; CA file $work/cert.pem)" ]] ||
  fail "--info with $machine_conf set: $got"
standings=$(env -u VORNMARK_LEADERBOARD_URL -u XDG_CONFIG_HOME HOME="$work/root" /usr/bin/vornmark-cli --leaderboard) ||
  fail "vornmark-cli --leaderboard through $machine_conf: $standings"
[[ $standings == *"Package Test CPU"* ]] || fail "standings through $machine_conf: $standings"

kill -TERM "$server_pid"
server_status=0
wait "$server_pid" || server_status=$?
server_pid=""
[[ $server_status -eq 0 ]] || { cat "$work/server.log"; fail "the server ended with status $server_status"; }
[[ $(stat -c %U "$state/leaderboard.db") == "$service_user" ]] || fail "the database is not the service user's"

step "enabled by the admin, then reinstalled"
# As an admin does once the certificate is in place (offline: the links only).
wants_link=/etc/systemd/system/multi-user.target.wants/$unit_name
systemctl enable "$unit_name" >/dev/null 2>&1 || ln -s "$unit" "$wants_link"
[[ -L "$wants_link" ]] || fail "enabling the unit made no link"
dpkg_waiting -i "$app_deb" "$server_deb" || fail "dpkg -i over the installed packages"
[[ -L "$wants_link" ]] || fail "reinstalling disabled the unit"
grep -q "^leaderboard_url = https://127.0.0.1:$port\$" "$machine_conf" || fail "reinstalling lost the admin's $machine_conf"
[[ -f "$state/leaderboard.db" ]] || fail "reinstalling lost the database"

step "dpkg --purge"
dpkg_waiting --purge "${packages[@]}" || fail "dpkg --purge"
for p in "${packages[@]}"; do
  package_known "$p" && fail "$p still known to dpkg after the purge"
done
# Kept on purpose: the submitted runs and the user owning them.
[[ -f "$state/leaderboard.db" ]] || fail "the purge deleted the leaderboard's database"
getent passwd "$service_user" >/dev/null || fail "the purge removed the user owning the database"
left=$(find /etc /usr /var /opt -xdev -iname '*vornmark*' -not -path "$state" -not -path '/var/lib/dpkg/*' \
  -not -path '/var/log/*' 2>/dev/null || true)
[[ -z "$left" ]] || fail "left behind: $left"
[[ $history_in_bin_existed == true || ! -e /usr/bin/history.json ]] || fail "a history.json was written to /usr/bin"
# System caches rebuilt by dpkg triggers, and the account files' backups, may appear.
snapshot | grep -v -e '/mimeinfo\.cache$' -e '/icon-theme\.cache$' -e '^/etc/\(passwd\|group\|shadow\|gshadow\)-$' \
  >"$work/after.txt"
grep -v -e '/mimeinfo\.cache$' -e '/icon-theme\.cache$' -e '^/etc/\(passwd\|group\|shadow\|gshadow\)-$' \
  "$work/before.txt" >"$work/before-filtered.txt"
if ! diff -u "$work/before-filtered.txt" "$work/after.txt" >"$work/diff.txt"; then
  cat "$work/diff.txt"
  fail "the purge left the watched folders changed"
fi
echo "PASSED"
