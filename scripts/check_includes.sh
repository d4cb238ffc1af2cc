#!/usr/bin/env bash
# Fails when a source file includes a header of a folder its own folder may not include, or a
# folder's CMakeLists.txt links a library of such a folder.
# Usage: scripts/check_includes.sh [DIR]   (default: this checkout; files git knows or would add)
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

# The folders as layers, read from the table under "## Layers" in docs/ARCHITECTURE.md, the one
# place that states them: each folder may include itself and the folders named in backticks in its
# "May include" cell, never one above it. The row `tests/<folder>/` is the rule allowed_for applies.
declare -A may_include=()
doc=docs/ARCHITECTURE.md
while IFS='|' read -r _ folder _ allowed rest; do
  folder=$(tr -d '` ' <<<"$folder")
  folder=${folder%/}
  [[ $folder == *'<'* ]] && continue
  if [[ -n ${rest//[[:space:]]/} ]]; then
    echo "$doc: the row of '$folder' has more than three cells"
    exit 1
  fi
  may_include[$folder]=$(grep -o '`[^`]*`' <<<"$allowed" | tr -d '`' | tr '\n' ' ' || true)
done < <(sed -n '/^## Layers$/,/^## /p' "$doc" | grep '^| `')
if ((${#may_include[@]} < 10)); then
  echo "$doc: no layer table found under '## Layers'" >&2
  exit 1
fi
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
    echo "$file: folder '$layer' has no place in the layers ($doc)"
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

# The CMake links keep to the same table: a folder's CMakeLists.txt links only the libraries of its
# own folder and of the folders it may include.
declare -A library_layer=()
cmake_files=$(git ls-files '*CMakeLists.txt' | grep /)
for cmake in $cmake_files; do
  for lib in $(grep -oE 'add_library\(vornmark_[a-z0-9_]+' "$cmake" | sed 's/^add_library(//'); do
    library_layer[$lib]=$(layer_of "$cmake")
  done
done
for cmake in $cmake_files; do
  layer=$(layer_of "$cmake")
  [[ $layer == tests/* || -n ${may_include[$layer]+known} ]] || continue
  allowed=" $(allowed_for "$layer") "
  for lib in $(sed 's/#.*//' "$cmake" | grep -oE '\bvornmark_[a-z0-9_]+' | sort -u); do
    to=${library_layer[$lib]-}
    if [[ -n $to && $allowed != *" $to "* ]]; then
      echo "$cmake: '$layer' may not link $lib of '$to' (it may include:$(sed 's/ \+/ /g' <<<"$allowed"))"
      failures=$((failures + 1))
    fi
  done
done

if ((failures > 0)); then
  echo "check_includes: $failures include(s) or link(s) against the layers" >&2
  exit 1
fi
echo "check_includes: every include and link keeps to the layers"
