#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Vornmark need.
# As root it installs what is missing with apt-get; otherwise it prints the line to run.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libgtest-dev libbenchmark-dev
  nlohmann-json3-dev libcurl4-openssl-dev libssl-dev
  libsqlite3-dev libpq-dev postgresql
  libmicrohttpd-dev libgnutls28-dev
  libstb-dev libfontconfig-dev fonts-dejavu-core
  libpci-dev pci.ids
  libimgui-dev libglfw3-dev libgl-dev libx11-dev
  xvfb xauth xdotool imagemagick openssl
  dpkg-dev file desktop-file-utils adduser curl  # the Debian packages: cpack and their install test
  # The Windows build: MinGW-w64 cross compiler, GoogleTest's sources, Wine to run it (dpkg-dev
  # above also unpacks Dear ImGui's source package, scripts/imgui-source.sh).
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 googletest wine wine64
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

if [[ $(id -u) -ne 0 ]]; then
  echo "Missing packages. Install them with:" >&2
  echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi

echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
