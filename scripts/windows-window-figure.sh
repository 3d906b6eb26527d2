#!/usr/bin/env bash
# The Windows program's time to a mapped window under Wine against a bare Qt
# window built the same way, three starts each, in one run; prints both
# medians and their ratio, and leaves a screenshot of the program.
#   bash scripts/windows-window-figure.sh [Windows build directory, default build-windows]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build-windows}")
export ZARVEX_WINE_PREFIX
ZARVEX_WINE_PREFIX=$(bash scripts/wine-prefix.sh)
out=$build/window-figure
mkdir -p "$out"
measure() {  # exe name → median seconds
  local times=() i
  for i in 1 2 3; do
    times+=("$(xvfb-run -a -s "-screen 0 1280x1024x24" \
      bash scripts/windows-window-shot.sh "$1" "$out/$2-$i.png" "$out" | sed -n 's/^mapped after \([0-9.]*\) s$/\1/p')")
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n 2p
}
program=$(measure "$build/dist/zarvex-settings.exe" program)
bare=$(measure "$(find "$build/bench" -name bare_window.exe | head -1)" bare)
echo "time to a mapped window under Wine: zarvex-settings.exe ${program} s, bare Qt window ${bare} s," \
     "ratio $(echo "scale=2; $program / $bare" | bc)"
echo "screenshot: $out/program-1.png"
