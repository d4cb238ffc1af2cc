#!/usr/bin/env bash
# Cross-builds the Windows program with MinGW-w64 into one build tree: Vornmark.exe (the
# window), vornmark-cli.exe (the headless runner), the packages and the Windows test programs,
# all statically linked; with --target, only that target and what it needs.
# Usage: scripts/build-windows.sh [--target TARGET] DIR [cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."
target=()
if [[ ${1:-} == --target ]]; then
  target=(--target "$2")
  shift 2
fi
dir=$1; shift
bash scripts/imgui-source.sh "$dir/imgui-src"
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
  -DVORNMARK_BUILD_BENCH=OFF "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)" "${target[@]}"
