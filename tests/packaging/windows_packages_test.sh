#!/usr/bin/env bash
# The Windows packages under Wine, as a user named "Jürgen ベンチ" gets them, in one Wine prefix
# of the test's own:
# - the MSI installs quietly into Program Files with a Start-menu shortcut, an Apps & Features
#   entry and the leaderboard address given to it; the installed runner describes the machine and
#   renders a custom run into a file in the user's folder; an installed program's history lies in
#   %LOCALAPPDATA%\Vornmark although Wine lets it write to Program Files; a later version
#   replaces it, keeps the leaderboard address and removes a layout file an older version left in
#   the program folder; uninstalling removes the program folder, the shortcut and the settings, and
#   keeps the history;
# - the portable archive holds both programs and the read-me, and its program keeps the history
#   beside itself, in a folder whose name is not ASCII.
# The recorded runs come from the end-to-end runner (tiny preset runs), copied where an installed
# and a portable program lie.
# Usage: windows_packages_test.sh MSI ZIP E2E_RUNNER.exe WXS STAGE
#   (WXS and STAGE: the installer's source and the folder of its files, to make a later version)
set -euo pipefail
msi=$(realpath "$1") zip=$(realpath "$2") e2e_runner=$(realpath "$3") wxs=$(realpath "$4") stage=$(realpath "$5")

# No menu entries or icons for the shortcut on this machine (winemenubuilder off), and a home
# folder of the test's own: Wine links the profile's Desktop and Documents to the home folder.
export LC_ALL=C.UTF-8 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
user="Jürgen ベンチ"
work=$(mktemp -d "${TMPDIR:-/tmp}/vornmark-packages-XXXXXX")
mkdir "$work/home"
export WINEPREFIX=$work/prefix USER=$user LOGNAME=$user HOME=$work/home XDG_DATA_HOME=$work/home/.local/share \
  XDG_CONFIG_HOME=$work/home/.config
trap 'wineserver -k >/dev/null 2>&1; rm -rf "$work"' EXIT

fail() {
  echo "FAILED: $*" >&2
  exit 1
}
step() { echo "--- $*"; }
# Z:\... for a Linux path.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
# Runs a Windows program, stdout to $work/out (CR LF made LF), stderr to $work/err.
run() {
  local code=0
  wine "$@" >"$work/out.raw" 2>"$work/err" || code=$?
  tr -d '\r' <"$work/out.raw" >"$work/out"
  return $code
}
# The registry as the Wine server has written it, once every process has ended.
registry() {
  wineserver -w
  cat "$WINEPREFIX/system.reg"
}
expect_out() { grep -qF -- "$1" "$work/out" || fail "expected '$1' in: $(cat "$work/out" "$work/err")"; }

drive_c=$WINEPREFIX/drive_c
profile=$drive_c/users/$user
installed="$drive_c/Program Files/Vornmark"
wine cmd /c exit >/dev/null 2>&1 || true
[[ -d $profile ]] || fail "Wine made no profile folder for $user: $(ls "$drive_c/users")"

step "install quietly, with a leaderboard address"
run msiexec /i "$(windows_path "$msi")" /qn LEADERBOARD_URL=https://bench.example.org:8443 ||
  fail "msiexec /i: $(cat "$work/err")"
for program in Vornmark.exe vornmark-cli.exe; do
  [[ -f $installed/$program ]] || fail "$program is not in Program Files\\Vornmark"
done
shortcut=$(find "$drive_c" -name Vornmark.lnk -path '*Start Menu/Programs/*' | head -1)
[[ -n $shortcut ]] || fail "no Start-menu shortcut"
strings -el "$shortcut" | grep -q 'VornmarkIcon.exe' || fail "the shortcut has not the program's icon"
reg=$(registry)
grep -q '"LeaderboardUrl"="https://bench.example.org:8443"' <<<"$reg" || fail "no LeaderboardUrl in HKLM"
# The Apps & Features entry: name, publisher and version in the Uninstall key; the icon is the
# one the product publishes (ARPPRODUCTICON), which Windows shows for an installed package.
# The registry key below $reg whose name starts with $1 and whose values hold $2.
block() {
  KEY=$1 HAS=$2 awk 'index($0, ENVIRON["KEY"]) == 2 { keep = 1; text = "" } keep { text = text $0 "\n" }
    /^$/ { if (keep && index(text, ENVIRON["HAS"])) print text; keep = 0 }' <<<"$reg"
}
entry=$(block 'Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{' '"DisplayName"="Vornmark"')
for value in '"Publisher"="Vornmark"' '"DisplayVersion"="1.3.0"'; do
  grep -qF "$value" <<<"$entry" || fail "the Apps & Features entry lacks $value: $entry"
done
icon=$(block 'Software\\Classes\\Installer\\Products\\' '"ProductName"="Vornmark"' |
  sed -n 's/^"ProductIcon"="C:\\\\\(.*\)"$/\1/p' | sed 's/\\\\/\//g')
[[ -n $icon && -s $drive_c/$icon ]] || fail "the product publishes no icon ($icon)"

step "the installed runner: --info, a custom run into the user's folder, where its history lies"
run "C:\\Program Files\\Vornmark\\vornmark-cli.exe" --info || fail "--info: $(cat "$work/err")"
expect_out "CPU"
run "C:\\Program Files\\Vornmark\\vornmark-cli.exe" --width 32 --height 18 --samples 1 --depth 3 \
  --image "C:\\users\\$user\\abs.png" || fail "custom run: $(cat "$work/err")"
[[ -s $profile/abs.png ]] || fail "the image is not in the user's folder: $(ls "$drive_c/users")"
[[ ! -e $profile/AppData/Local/Vornmark/history.json ]] || fail "a custom run was recorded"
run "C:\\Program Files\\Vornmark\\vornmark-cli.exe" --history || true
expect_out "History file: C:\\users\\$user\\AppData\\Local\\Vornmark\\history.json"

step "a program under Program Files records its runs in %LOCALAPPDATA%\\Vornmark"
mkdir -p "$drive_c/Program Files/Vornmark Tests"
cp "$e2e_runner" "$drive_c/Program Files/Vornmark Tests/runner.exe"
run "C:\\Program Files\\Vornmark Tests\\runner.exe" --single --no-submit || fail "tiny run: $(cat "$work/err")"
expect_out "History: C:\\users\\$user\\AppData\\Local\\Vornmark\\history.json"
grep -q '"type": "single"' "$profile/AppData/Local/Vornmark/history.json" || fail "the run is not in the history"
[[ ! -e "$drive_c/Program Files/Vornmark Tests/history.json" ]] || fail "a history beside an installed program"
rm -rf "$drive_c/Program Files/Vornmark Tests"

step "a later version replaces it and keeps the leaderboard address; an old layout file goes"
# An older version's window kept its layout in the program folder.
printf '[Window][Debug##Default]\r\nPos=60,60\r\n' >"$installed/imgui.ini"
(cd "$stage" && wixl -a x64 -D Version=1.3.99 -D ProductCode="$(cat /proc/sys/kernel/random/uuid)" \
  -o "$work/later.msi" "$wxs" 2>/dev/null) || fail "cannot make a later version"
run msiexec /i "$(windows_path "$work/later.msi")" /qn || fail "msiexec /i (later version): $(cat "$work/err")"
reg=$(registry)
versions=$(block 'Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{' '"DisplayName"="Vornmark"' |
  grep '"DisplayVersion"' | tr '\n' ' ')
[[ $versions == '"DisplayVersion"="1.3.99" ' ]] || fail "Apps & Features lists: $versions"
grep -q '"LeaderboardUrl"="https://bench.example.org:8443"' <<<"$reg" || fail "the upgrade lost LeaderboardUrl"
[[ -f $installed/vornmark-cli.exe ]] || fail "the upgrade left no runner"
[[ ! -e $installed/imgui.ini ]] || fail "removing the older version left its imgui.ini"

step "uninstall quietly: no program folder, shortcut or setting left; the history stays"
run msiexec /x "$(windows_path "$work/later.msi")" /qn || fail "msiexec /x: $(cat "$work/err")"
left=$(find "$installed" 2>/dev/null || true)
[[ -z $left ]] || fail "left in Program Files: $left"
[[ ! -e $shortcut ]] || fail "the shortcut is still there"
! grep -q 'LeaderboardUrl' <<<"$(registry)" || fail "LeaderboardUrl is still in the registry"
grep -q '"type": "single"' "$profile/AppData/Local/Vornmark/history.json" || fail "the history went"

step "the portable archive: both programs and the read-me; the history beside them"
portable="$profile/Vornmark ベンチ"
mkdir -p "$portable"
unzip -q "$zip" -d "$portable"
[[ $(cd "$portable" && ls | sort | tr '\n' ' ') == "README.txt Vornmark.exe vornmark-cli.exe " ]] ||
  fail "the archive holds: $(ls "$portable")"
version=$(basename "$zip" -x64-portable.zip) version=${version#Vornmark-}
grep -q "^Vornmark $version - CPU benchmark (portable)" "$portable/README.txt" &&
  grep -q "(Vornmark-$version-x64.msi)" "$portable/README.txt" ||
  fail "the read-me does not name version $version: $(cat "$portable/README.txt")"
! grep -q '@' "$portable/README.txt" || fail "the read-me has a placeholder left: $(grep '@' "$portable/README.txt")"
cp "$e2e_runner" "$portable/runner.exe"
portable_windows="C:\\users\\$user\\Vornmark ベンチ"
run "$portable_windows\\runner.exe" --multi --no-submit || fail "tiny run: $(cat "$work/err")"
expect_out "History: $portable_windows\\history.json"
run "$portable_windows\\vornmark-cli.exe" --history || fail "--history: $(cat "$work/err")"
expect_out "History file: $portable_windows\\history.json"
expect_out "multi"
echo "packages install, run, uninstall and travel as they should"
