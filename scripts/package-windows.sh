#!/usr/bin/env bash
# Builds the Windows installer and the portable archive into DIR:
# Vornmark-X.Y.Z-x64.msi and Vornmark-X.Y.Z-x64-portable.zip.
# Usage: scripts/package-windows.sh DIR [BUILD_DIR]   (BUILD_DIR: the Windows tree, default build-windows)
#   Installing:   msiexec /i Vornmark-X.Y.Z-x64.msi [/qn] [LEADERBOARD_URL=https://host:port]
#   Uninstalling: msiexec /x Vornmark-X.Y.Z-x64.msi [/qn]   (each user's history stays)
set -euo pipefail
cd "$(dirname "$0")/.."
if (($# < 1)); then
  echo "usage: scripts/package-windows.sh DIR [BUILD_DIR]" >&2
  exit 2
fi
out=$(realpath -m "$1")
build=${2:-build-windows}
bash scripts/setup.sh
bash scripts/build-windows.sh "$build"  # packs them too (target windows_packages)
mkdir -p "$out"
for package in "$build"/packages/Vornmark-*-x64.msi "$build"/packages/Vornmark-*-x64-portable.zip; do
  cp "$package" "$out"/
  echo "$out/$(basename "$package")"
done
