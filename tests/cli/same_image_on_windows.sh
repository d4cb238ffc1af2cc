#!/usr/bin/env bash
# The Windows runner (under Wine) and the Linux runner write the same image, byte for byte, for
# the same small custom run. Usage: same_image_on_windows.sh LINUX_CLI WINDOWS_CLI WINE_RUN
set -euo pipefail
linux_cli=$1 windows_cli=$2 wine_run=$3
dir=$(mktemp -d "${TMPDIR:-/tmp}/vornmark-image-XXXXXX")
trap 'rm -rf "$dir"' EXIT
run=(--width 160 --height 90 --samples 4 --depth 12 --tile 16 --threads 2)
"$linux_cli" "${run[@]}" --image "$dir/linux.ppm" >/dev/null
# Wine maps the Linux root to drive Z:.
"$wine_run" "$windows_cli" "${run[@]}" --image "Z:${dir//\//\\}\\windows.ppm" >/dev/null
cmp "$dir/linux.ppm" "$dir/windows.ppm"
echo "same $(stat -c %s "$dir/linux.ppm") bytes"
