#!/usr/bin/env bash
# Installs the Debian packages Vornmark needs for one purpose:
#   run      building and running the programs (scripts/run.sh)
#   package  that, and building the Debian packages (scripts/package.sh)
#   test     everything: the test suite, the Windows cross build and Wine (scripts/test.sh; the default)
# As root it installs what is missing with apt-get; otherwise it prints the line to run.
# Usage: scripts/setup.sh [run|package|test]
set -euo pipefail

# Building and running the window, the runner and the leaderboard server; openssl makes the local
# leaderboard's certificate.
run_packages=(
  build-essential cmake pkg-config
  nlohmann-json3-dev libcurl4-openssl-dev libssl-dev
  libsqlite3-dev libpq-dev
  libmicrohttpd-dev libgnutls28-dev libicu-dev zlib1g-dev
  libstb-dev libfontconfig-dev fonts-dejavu-core
  libpci-dev pci.ids
  libimgui-dev libglfw3-dev libgl-dev
  openssl
)
# The Debian packages: cpack and the tools it calls.
package_packages=(dpkg-dev file)
# The tests and benchmarks: GoogleTest and Google Benchmark, a PostgreSQL for the server's tests,
# clang for the fuzz targets (libFuzzer),
# a virtual display and X tools for the window's, a real browser for the leaderboard's pages and a
# reverse proxy for the README's proxy set-up, what the package install test uses, and the
# Windows build: MinGW-w64, GoogleTest's sources and Wine (dpkg-dev above also unpacks Dear ImGui's
# source package, scripts/imgui-source.sh).
test_packages=(
  libgtest-dev libbenchmark-dev postgresql clang
  libx11-dev xvfb xauth xdotool imagemagick
  chromium nginx-light
  desktop-file-utils adduser curl
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 googletest wine wine64
  wixl msitools zip unzip  # the Windows installer and the portable archive (scripts/package-windows.sh)
  time  # bench/windows_vs_linux.sh: the processes' CPU seconds
)

purpose=${1:-test}
case $purpose in
  run) packages=("${run_packages[@]}") ;;
  package) packages=("${run_packages[@]}" "${package_packages[@]}") ;;
  test) packages=("${run_packages[@]}" "${package_packages[@]}" "${test_packages[@]}") ;;
  *)
    echo "usage: scripts/setup.sh [run|package|test]" >&2
    exit 2
    ;;
esac

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
  echo "  sudo apt-get update && sudo apt-get install -y --no-install-recommends ${missing[*]}" >&2
  exit 1
fi

echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
