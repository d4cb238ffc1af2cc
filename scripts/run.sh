#!/usr/bin/env bash
# Starts Vornmark from this checkout: installs what building and running needs, builds the
# three programs (window, runner, leaderboard server) into build/bin, brings up a local
# leaderboard unless one is configured, then starts the window when a display can be opened and
# otherwise the headless runner. Arguments go to the runner; the window takes none, so with
# arguments the runner starts even when there is a display.
# Usage: scripts/run.sh [--no-leaderboard] [runner arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build
bin=$build/bin

use_local_leaderboard=true
args=()
for arg in "$@"; do
  case $arg in
    --no-leaderboard) use_local_leaderboard=false ;;
    # A leaderboard named on the command line, or commands that reach none.
    --leaderboard-url | --leaderboard-url=* | --history | --help | -h)
      use_local_leaderboard=false
      args+=("$arg")
      ;;
    *) args+=("$arg") ;;
  esac
done

bash scripts/setup.sh run

# ---- Build: only the programs, quietly; the log keeps the details ------------------------------
mkdir -p "$build"
configure=(-DCMAKE_BUILD_TYPE=Release)
# A new tree leaves out the tests and benchmarks (scripts/test.sh turns them on); an existing
# tree keeps its settings.
[[ -f $build/CMakeCache.txt ]] || configure+=(-DVORNMARK_BUILD_TESTS=OFF -DVORNMARK_BUILD_BENCH=OFF)
log=$build/run-build.log
echo "Building the programs into build/bin (a few minutes the first time; log: build/run-build.log)" >&2
# shellcheck source=scripts/build-progress.sh
source scripts/build-progress.sh
started=$SECONDS
if ! { cmake -S . -B "$build" "${configure[@]}" &&
  cmake --build "$build" -j "$(nproc)" --target vornmark_programs; } 2>&1 |
  build_progress "Building" "$log"; then
  tail -n 25 "$log" >&2
  echo "run.sh: the build failed; the whole log is in build/run-build.log" >&2
  exit 1
fi
echo "Built in $((SECONDS - started)) s." >&2

# ---- The local leaderboard ---------------------------------------------------------------------
# Only the build's default, or none, is ours to replace: the runner says where its leaderboard
# comes from.
leaderboard_configured() {
  local info
  info=$("$bin/vornmark-cli" --info 2>/dev/null || true)
  [[ $info != *"(built-in default)"* && $info != *"No leaderboard set"* ]]
}

if $use_local_leaderboard && ! leaderboard_configured; then
  # shellcheck source=scripts/local-leaderboard.sh
  source scripts/local-leaderboard.sh
  trap local_leaderboard_stop EXIT
  if local_leaderboard_start "$build/local-leaderboard" "$bin"; then
    # STARTED_BY: the programs call it the local leaderboard, not a setting of the user's.
    export VORNMARK_LEADERBOARD_URL=$LOCAL_LEADERBOARD_URL VORNMARK_LEADERBOARD_CA=$LOCAL_LEADERBOARD_CA \
      VORNMARK_LEADERBOARD_STARTED_BY=run.sh
    echo "Local leaderboard: $LOCAL_LEADERBOARD_URL, stored in build/local-leaderboard/ (stops when" \
      "Vornmark ends; run.sh --no-leaderboard goes without)." >&2
  else
    echo "The local leaderboard did not start (see build/local-leaderboard/server.log); going without it." >&2
  fi
fi
trap 'exit 130' INT
trap 'exit 143' TERM

# ---- The program ------------------------------------------------------------------------------
run_runner() {
  status=0
  "$bin/vornmark-cli" "${args[@]}" || status=$?
  exit "$status"
}

if [[ -z ${DISPLAY:-}${WAYLAND_DISPLAY:-} ]]; then
  echo "No display found: running the headless benchmark (build/bin/vornmark-cli) instead." >&2
  run_runner
fi
if ((${#args[@]} > 0)); then
  echo "The window takes no arguments: running the headless benchmark (build/bin/vornmark-cli ${args[*]})." >&2
  run_runner
fi
# The window exits with 1 only when it cannot open (no usable display or OpenGL 3.3); its one line
# then becomes part of ours.
window_errors=$(mktemp)
status=0
"$bin/vornmark" 2>"$window_errors" || status=$?
if ((status == 1)); then
  reason=$(head -n 1 "$window_errors")
  rm -f "$window_errors"
  echo "The window could not open (${reason#vornmark: }): running the headless benchmark instead." >&2
  run_runner
fi
cat "$window_errors" >&2
rm -f "$window_errors"
exit "$status"
