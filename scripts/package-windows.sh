#!/usr/bin/env bash
# Builds the Windows installer and the portable archive into DIR:
# Vornmark-X.Y.Z-x64.msi and Vornmark-X.Y.Z-x64-portable.zip. Only what they hold is built, in a
# tree of their own without the tests (default build-windows-package); the build's output goes
# to package-build.log there.
# Usage: scripts/package-windows.sh DIR [BUILD_DIR]
#   Installing:   msiexec /i Vornmark-X.Y.Z-x64.msi [/qn] [LEADERBOARD_URL=https://host:port]
#   Uninstalling: msiexec /x Vornmark-X.Y.Z-x64.msi [/qn]   (each user's history stays)
set -euo pipefail
cd "$(dirname "$0")/.."
if (($# < 1)); then
  echo "usage: scripts/package-windows.sh DIR [BUILD_DIR]" >&2
  exit 2
fi
out=$(realpath -m "$1")
build=${2:-build-windows-package}
bash scripts/setup.sh
mkdir -p "$build"
log=$build/package-build.log
# shellcheck source=scripts/build-progress.sh
source scripts/build-progress.sh
if ! bash scripts/build-windows.sh --target windows_packages "$build" -DVORNMARK_BUILD_TESTS=OFF 2>&1 |
  build_progress "Building the Windows programs and packages" "$log"; then
  tail -n 25 "$log" >&2
  echo "package-windows.sh: the build failed; the whole log is in $log" >&2
  exit 1
fi
mkdir -p "$out"
for package in "$build"/packages/Vornmark-*-x64.msi "$build"/packages/Vornmark-*-x64-portable.zip; do
  cp "$package" "$out"/
  echo "$out/$(basename "$package")"
done
