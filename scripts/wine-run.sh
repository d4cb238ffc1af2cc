#!/usr/bin/env bash
# Runs one Windows program under Wine in a Wine prefix of its own, made for this run in a
# temporary directory and removed afterwards; exits with the program's exit code.
# Usage: scripts/wine-run.sh PROGRAM.exe [arguments...]
set -uo pipefail
prefix=$(mktemp -d "${TMPDIR:-/tmp}/vornmark-wine-XXXXXX")
cleanup() {
  WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1
  rm -rf "$prefix"
}
trap cleanup EXIT
trap 'exit 143' TERM
trap 'exit 130' INT
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# No display: Wine needs none for programs without a window.
wine "$@"
