#!/usr/bin/env bash
# Unpacks the source of Debian's Dear ImGui package (with its Win32 and Direct3D 11 backends,
# which the Windows build compiles) into DIR/imgui-<version>, once. The source lists are
# derived from this machine's own apt sources (deb entries copied as deb-src) and kept in DIR
# with a private package index, so the system's apt configuration is left as it is.
# Usage: scripts/imgui-source.sh DIR
set -euo pipefail
dir=$(realpath -m "$1")
if compgen -G "$dir/imgui-*/backends/imgui_impl_dx11.cpp" >/dev/null; then
  exit 0
fi
apt_dir=$dir/apt
rm -rf "$apt_dir"
mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"

# deb822 files: every stanza's "Types: deb" becomes "Types: deb-src".
for file in /etc/apt/sources.list.d/*.sources; do
  [[ -f $file ]] || continue
  sed -E 's/^Types:.*$/Types: deb-src/' "$file" >"$apt_dir/sources.list.d/$(basename "$file")"
done
# One-line files: "deb " lines become "deb-src " lines.
: >"$apt_dir/sources.list"
for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [[ -f $file ]] || continue
  sed -nE 's/^[[:space:]]*deb[[:space:]]+/deb-src /p' "$file" >>"$apt_dir/sources.list"
done

apt_options=(
  -o "Dir::Etc::SourceList=$apt_dir/sources.list"
  -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
  -o "Dir::State::Lists=$apt_dir/lists"
  -o "Dir::Cache=$apt_dir/cache"
  -o "Debug::NoLocking=1"
)
apt-get "${apt_options[@]}" -qq update
cd "$dir"
apt-get "${apt_options[@]}" -qq --only-source source imgui >/dev/null
compgen -G "$dir/imgui-*/backends/imgui_impl_dx11.cpp" >/dev/null || {
  echo "imgui-source.sh: the imgui source package has no DirectX 11 backend" >&2
  exit 1
}
