# Sourced by the scripts that build quietly (run.sh, package-windows.sh).
# build_progress LABEL LOG: reads a build's output on stdin into LOG and shows its progress on one
# line of stderr, "LABEL: 42%", from the "[ 42%]" (make) or "[12/345]" (ninja) it prints; the line
# is ended when the input ends. Not a terminal: only the label, once.
build_progress() {
  local label=$1 log=$2 line percent= shown=
  : >"$log"
  [[ -t 2 ]] || echo "$label..." >&2
  while IFS= read -r line; do
    printf '%s\n' "$line" >>"$log"
    if [[ $line =~ ^\[\ *([0-9]+)%\] ]]; then
      percent=${BASH_REMATCH[1]}
    elif [[ $line =~ ^\[([0-9]+)/([0-9]+)\] ]] && ((BASH_REMATCH[2] > 0)); then
      percent=$((BASH_REMATCH[1] * 100 / BASH_REMATCH[2]))
    else
      continue
    fi
    if [[ -t 2 && $percent != "$shown" ]]; then
      printf '\r%s: %3d%%' "$label" "$percent" >&2
      shown=$percent
    fi
  done
  [[ -t 2 && -n $shown ]] && printf '\n' >&2
  return 0
}
