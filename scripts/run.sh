#!/usr/bin/env bash
# Installs what is missing, builds Release and starts Vornmark: the window when a
# display is available, otherwise the headless runner.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build
if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" && -x build/bin/vornmark ]]; then
  exec build/bin/vornmark
fi
echo "No display found: running the headless benchmark (build/bin/vornmark-cli) instead." >&2
exec build/bin/vornmark-cli "$@"
