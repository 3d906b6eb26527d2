#!/usr/bin/env bash
# The demo's scripted session as a person would run it: a first-model and a
# second-model simulated panel connected, read, changed, written, keys and
# wireless devices listed, the window closed; screenshots of both windows
# after every step.
#
#   scripts/demo-e2e.sh [screenshot-dir]      (default out/demo-e2e)
#   ZARVEX_DEMO=<path> scripts/demo-e2e.sh    uses that demo program instead
#                                             of building one
# Exits with the session's code: 0 only when every check passed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

shots="${1:-$root/out/demo-e2e}"
mkdir -p "$shots"
shots="$(cd "$shots" && pwd)"  # the run happens in another directory
# A picture left from an earlier run must not pass for one of this run.
rm -f "$shots"/[0-9][0-9]-*.png

demo="${ZARVEX_DEMO:-}"
if [ -z "$demo" ]; then
  bash "$root/scripts/install-deps.sh"
  cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZARVEX_BUILD_TESTS=OFF
  cmake --build "$root/build" --target zarvex-settings-demo
  demo="$root/build/demo/zarvex-settings-demo"
fi
demo="$(cd "$(dirname "$demo")" && pwd)/$(basename "$demo")"
[ -x "$demo" ] || { echo "demo-e2e: no demo program at $demo" >&2; exit 2; }

# A fresh working directory: no "zarvex.cfg" from earlier runs is loaded,
# and the one the closing window saves is checked by the session itself.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime"
cd "$work"

status=0
if command -v xvfb-run >/dev/null; then
  # Room for both windows side by side, in full colour.
  xvfb-run -a -s "-screen 0 2048x1200x24" "$demo" --scenario "$shots" || status=$?
else
  echo "demo-e2e: xvfb-run not found; running with QT_QPA_PLATFORM=offscreen" >&2
  QT_QPA_PLATFORM=offscreen "$demo" --scenario "$shots" || status=$?
fi
echo "demo-e2e: screenshots in $shots"
exit "$status"
