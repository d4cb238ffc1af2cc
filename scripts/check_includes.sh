#!/usr/bin/env bash
# Fails when a source file includes a header of a folder its own folder may not include.
# Usage: scripts/check_includes.sh [DIR]   (default: this checkout; files git knows or would add)
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

# The folders as layers: each may include itself and the folders named here, never one above it.
# docs/ARCHITECTURE.md tells why.
declare -A may_include=(
  [base]=""
  [engine/render]="base"
  [engine]="base engine/render"
  [verify]="base engine engine/render"
  [history]="base"
  [net]="base"
  [sysinfo]="base"
  [session]="base verify engine engine/render history net sysinfo"
  [ui]="base session verify engine history net sysinfo"
  [app]="base ui session verify engine history net sysinfo"
  [cli]="base session verify engine engine/render history net sysinfo"
  [server]=""
  [bench]="base app session engine engine/render server tests/support"
  [packaging]="app"
  [tests/support]="base engine engine/render history net sysinfo"
  # The fuzz targets feed the parsers of the programs (not the window's) with made-up input.
  [tests/fuzz]="base cli session verify engine engine/render history net sysinfo server"
)
# Third-party headers only the window's folders may use: everything else builds without a display.
gui_headers='^(imgui|imgui_internal\.h|backends/|GLFW/|GL/|X11/)'
gui_folders=" ui app bench packaging tests/ui tests/app "
# A panel reaches the runs through the run controller, never the engine itself.
panel_file='^ui/[a-z_]+_panel\.(h|cpp)$'
panel_refused='engine/benchmark_engine.h'
# The shared words, the kernel and the engine use the standard library alone (no header with a dot
# or a slash).
std_only_folders=" base engine/render engine "

# The folder (layer) a path lies in: the longest name above that starts it.
layer_of() {
  case $1 in
    engine/render/*) echo engine/render ;;
    tests/support/*) echo tests/support ;;
    tests/render/*) echo tests/render ;;
    tests/*/*) local rest=${1#tests/}; echo "tests/${rest%%/*}" ;;
    */*) echo "${1%%/*}" ;;
    *) echo "" ;;
  esac
}

# What a folder may include besides itself. A test folder: its subject, what the subject may
# include, and the shared test support.
allowed_for() {
  local layer=$1
  if [[ $layer == tests/support || $layer == tests/fuzz ]]; then echo "$layer ${may_include[$layer]}"; return; fi
  if [[ $layer == tests/* ]]; then
    local subject=${layer#tests/}
    [[ $subject == render ]] && subject=engine/render
    echo "$layer $subject ${may_include[$subject]-} tests/support"
    return
  fi
  echo "$layer ${may_include[$layer]-}"
}

failures=0
while IFS= read -r file; do
  layer=$(layer_of "$file")
  [[ -n $layer ]] || continue
  if [[ $layer != tests/* && -z ${may_include[$layer]+known} ]]; then
    echo "$file: folder '$layer' has no place in the layers (scripts/check_includes.sh)"
    failures=$((failures + 1))
    continue
  fi
  allowed=" $(allowed_for "$layer") "
  while IFS=: read -r line text; do
    if [[ $text =~ \#[[:space:]]*include[[:space:]]*\"([^\"]+)\" ]]; then
      target=${BASH_REMATCH[1]}
      [[ $target == */* ]] || continue  # generated or same-folder header
      to=$(layer_of "$target")
      if [[ $allowed != *" $to "* ]]; then
        echo "$file:$line: '$layer' may not include \"$target\" (it may include:$(sed 's/ \+/ /g' <<<"$allowed"))"
        failures=$((failures + 1))
      elif [[ $file =~ $panel_file && $target == "$panel_refused" ]]; then
        echo "$file:$line: a panel reads the runs through session/run_controller.h, not \"$target\""
        failures=$((failures + 1))
      fi
    elif [[ $text =~ \#[[:space:]]*include[[:space:]]*\<([^\>]+)\> ]]; then
      target=${BASH_REMATCH[1]}
      if [[ $target =~ $gui_headers && $gui_folders != *" $layer "* ]]; then
        echo "$file:$line: '$layer' builds without a display and may not include <$target>"
        failures=$((failures + 1))
      elif [[ $std_only_folders == *" $layer "* && $target == *[./]* && $layer != tests/* ]]; then
        echo "$file:$line: '$layer' uses the standard library alone and may not include <$target>"
        failures=$((failures + 1))
      fi
    fi
  done < <(grep -n '^[[:space:]]*#[[:space:]]*include' "$file" || true)
done < <({ git ls-files; git ls-files --others --exclude-standard; } | grep -E '\.(cpp|h|hpp)$' | sort -u)

if ((failures > 0)); then
  echo "check_includes: $failures include(s) against the layers" >&2
  exit 1
fi
echo "check_includes: every include keeps to the layers"
