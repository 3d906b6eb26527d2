#!/usr/bin/env bash
# Makes the Wine prefix the Windows tests run in, once per machine, and
# prints its path: Tahoma copied into C:\windows\Fonts (a fresh prefix does
# not find the one fonts-wine ships, and line edits then draw no text), and
# winebus told to present hidraw devices (its udev bus stays down while SDL
# is on, even without libSDL2).
#   ZARVEX_WINE_PREFIX  the prefix (default /var/tmp/zarvex-wine)
set -euo pipefail
prefix=${ZARVEX_WINE_PREFIX:-/var/tmp/zarvex-wine}
wine=/usr/lib/wine/wine64
stamp=$prefix/.zarvex-ready
if [ -f "$stamp" ]; then echo "$prefix"; exit 0; fi
[ -x "$wine" ] || { echo "wine-prefix.sh: $wine is missing (apt-get install wine64)" >&2; exit 1; }
export WINEPREFIX=$prefix WINEDEBUG=-all
rm -rf "$prefix"
mkdir -p "$(dirname "$prefix")"
"$wine" wineboot -i >/dev/null 2>&1 || { echo "wine-prefix.sh: wineboot failed" >&2; exit 1; }
"$wine" reg add 'HKLM\System\CurrentControlSet\Services\winebus' /v 'Enable SDL' /t REG_DWORD /d 0 /f \
  >/dev/null 2>&1 || { echo "wine-prefix.sh: cannot set winebus's Enable SDL" >&2; exit 1; }
fonts=$prefix/drive_c/windows/Fonts
mkdir -p "$fonts"
cp /usr/share/wine/fonts/tahoma*.ttf "$fonts/" || { echo "wine-prefix.sh: fonts-wine is missing" >&2; exit 1; }
/usr/lib/wine/wineserver -w || true
touch "$stamp"
echo "$prefix"
