#!/usr/bin/env bash
# A site handed over between the two builds: the file the Linux build
# exported (tests/sites/data) is imported by zarvex-cli.exe under Wine,
# exported again there, imported by the Linux zarvex-cli, and both show the
# same site, panels and snapshots. Names are Cyrillic, as a Russian
# installer's are, through Wine's wide command line.
#   bash scripts/windows-sites-roundtrip.sh [Windows build] [Linux build]
set -euo pipefail
cd "$(dirname "$0")/.."
windows=$(realpath "${1:-build-windows}") linux=$(realpath "${2:-build-test}")
export ZARVEX_WINE_PREFIX WINEDEBUG=-all
ZARVEX_WINE_PREFIX=$(bash scripts/wine-prefix.sh)
export WINEPREFIX=$ZARVEX_WINE_PREFIX
# Wine turns the command line into UTF-16 by the locale's character set.
export LC_ALL=C.UTF-8
wine=/usr/lib/wine/wine64
fail() { echo "sites-roundtrip: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp tests/sites/data/exported-by-linux.zxsite "$work/с-линукса.zxsite"
cd "$work"
exe=$windows/dist/zarvex-cli.exe
cli=$linux/src/cli/zarvex-cli
site="Склад №3"

"$wine" "$exe" sites import "с-линукса.zxsite" --db "база windows.db" > import-windows.log 2>&1 ||
  fail "Windows: import failed: $(cat import-windows.log)"
grep -q "снимков добавлено: 2" import-windows.log || fail "Windows: import took in other than 2 snapshots: $(cat import-windows.log)"
"$wine" "$exe" sites export "$site" -o "с-windows.zxsite" --db "база windows.db" > export-windows.log 2>&1 ||
  fail "Windows: export failed: $(cat export-windows.log)"
"$wine" "$exe" sites show "$site" --json --db "база windows.db" 2>&1 | tr -d '\r' > show-windows.json
/usr/lib/wine/wineserver -w

"$cli" sites import "с-windows.zxsite" --db "база linux.db" > import-linux.log 2>&1 ||
  fail "Linux: import of the Windows export failed: $(cat import-linux.log)"
"$cli" sites show "$site" --json --db "база linux.db" > show-linux.json
# Snapshot lists, panels and fields alike; created/changed and the ids are each database's own.
strip() { sed -E 's/"(id|changed|created)": ("[^"]*"|[0-9]+)//g' "$1"; }
diff <(strip show-windows.json) <(strip show-linux.json) > show.diff ||
  fail "the two builds show the handed-over site differently: $(cat show.diff)"
grep -q '"kind": "written"' show-linux.json || fail "the written snapshot did not travel"
"$cli" sites import "с-windows.zxsite" --db "база linux.db" | grep -q "снимков добавлено: 0, уже были: 2" ||
  fail "Linux: a second import added snapshots again"
echo "sites-roundtrip: Linux → Windows → Linux, the site and its 2 snapshots alike"
