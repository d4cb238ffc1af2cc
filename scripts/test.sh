#!/usr/bin/env bash
# Installs what is missing (everything, scripts/setup.sh test), builds Release with the tests and
# benchmarks and runs the whole test suite through ctest; then cross-builds the Windows program and
# runs its suite under Wine. The package install test runs only under CI=true or
# VORNMARK_PACKAGE_TEST=1 (it installs and purges the two Debian packages on this machine).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh test
bash scripts/build.sh build -DVORNMARK_BUILD_TESTS=ON -DVORNMARK_BUILD_BENCH=ON
if [[ ${CI:-} != true && ${VORNMARK_PACKAGE_TEST:-} != 1 ]]; then
  echo "The package install test is skipped: it installs and purges the vornmark packages on this" \
    "machine; VORNMARK_PACKAGE_TEST=1 (as root) includes it." >&2
fi
ctest --test-dir build --output-on-failure -j 2 --timeout 600

bash scripts/build-windows.sh build-windows
ctest --test-dir build-windows --output-on-failure -j 2 --timeout 600
