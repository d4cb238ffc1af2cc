#!/usr/bin/env bash
# Builds the Debian packages vornmark and vornmark-leaderboard into DIR.
# Usage: scripts/package.sh DIR [BUILD_DIR]   (BUILD_DIR: the Release tree, default build)
set -euo pipefail
cd "$(dirname "$0")/.."
if (($# < 1)); then
  echo "usage: scripts/package.sh DIR [BUILD_DIR]" >&2
  exit 2
fi
out=$(realpath -m "$1")
build=${2:-build}
bash scripts/setup.sh package
bash scripts/build.sh "$build"
mkdir -p "$out"
# cpack's own work folder stays out of DIR, so DIR gets the two packages and nothing else.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >/dev/null
for deb in "$work"/*.deb; do
  mv "$deb" "$out"/
  echo "$out/$(basename "$deb")"
done
