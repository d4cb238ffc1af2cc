#!/usr/bin/env bash
# Cross-builds the Windows program with MinGW-w64 into one build tree: Vornmark.exe (the
# window), vornmark-cli.exe (the headless runner) and the Windows test programs, all
# statically linked. Usage: scripts/build-windows.sh DIR [cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$1; shift
bash scripts/imgui-source.sh "$dir/imgui-src"
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
  -DVORNMARK_BUILD_BENCH=OFF "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
