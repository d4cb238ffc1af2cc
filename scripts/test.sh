#!/usr/bin/env bash
# Installs what is missing, builds Release and runs the whole test suite through ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build
ctest --test-dir build --output-on-failure -j 2 --timeout 600
