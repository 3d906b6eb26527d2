#!/usr/bin/env bash
# Starts zarvex-settings.exe under Wine on a virtual screen, waits until its
# window is mapped, and saves a screenshot; prints the seconds to the mapped
# window. Run inside xvfb-run (DISPLAY set).
#   bash scripts/windows-window-shot.sh <exe> <png> [working folder]
set -euo pipefail
exe=$1 png=$2 work=${3:-$(mktemp -d)}
export WINEPREFIX=${ZARVEX_WINE_PREFIX:-/var/tmp/zarvex-wine} WINEDEBUG=-all
cd "$work"
# A wineserver left by a program started without a display would take this
# one in, and its windows would go nowhere: wait for it to end.
/usr/lib/wine/wineserver -w
start=$(date +%s.%N)
/usr/lib/wine/wine64 "$exe" &
pid=$!
mapped=""
for _ in $(seq 1 600); do
  windows=$(xwininfo -root -tree 2>/dev/null || true)
  if grep -q '"Zarvex' <<<"$windows"; then mapped=$(date +%s.%N); break; fi
  sleep 0.1
done
[ -n "$mapped" ] || { echo "$windows" | head -20 >&2; kill $pid 2>/dev/null; echo "window-shot: no window after 60 s" >&2; exit 1; }
sleep 3  # drawn
xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng > "$png"
echo "mapped after $(echo "$mapped - $start" | bc) s"
/usr/lib/wine/wineserver -k 2>/dev/null || true
wait $pid 2>/dev/null || true
