#!/usr/bin/env bash
# Installs what is missing, builds Release and runs the whole test suite through ctest; then
# cross-builds the Windows program and runs its suite under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build
ctest --test-dir build --output-on-failure -j 2 --timeout 600

bash scripts/build-windows.sh build-windows
ctest --test-dir build-windows --output-on-failure -j 2 --timeout 600
