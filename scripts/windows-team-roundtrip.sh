#!/usr/bin/env bash
# The company's server between the two builds: a throwaway PostgreSQL 15 on
# 127.0.0.1 (TLS verified against a CA made for the run, SCRAM only), the
# Linux zarvex-cli sets it up and syncs a site in; zarvex-cli.exe under Wine
# joins (its password kept where libpq looks on Windows), syncs the site in
# with its snapshots, a Russian panel's (Windows-1251 texts, the codes)
# byte for byte, edits it and syncs back; the Linux build then has the
# edit. A join with a CA that signed nothing is refused.
#   bash scripts/windows-team-roundtrip.sh [Windows build] [Linux build]
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
windows=$(realpath "${1:-build-windows}") linux=$(realpath "${2:-build-test}")
bash scripts/install-deps.sh team >/dev/null
export ZARVEX_WINE_PREFIX WINEDEBUG=-all
ZARVEX_WINE_PREFIX=$(bash scripts/wine-prefix.sh)
export WINEPREFIX=$ZARVEX_WINE_PREFIX
export LC_ALL=C.UTF-8
wine=/usr/lib/wine/wine64
fail() { echo "team-roundtrip: $*" >&2; exit 1; }
work=$(mktemp -d)
port=$((20000 + $$ % 30000))
cleanup() {
  bash "$repo/tests/team/pg-test-server.sh" stop "$work/server" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
cp tests/team/data/cyrillic-panel.zxsite "$work/с-линукса.zxsite"
chmod 755 "$work"
bash tests/team/pg-test-server.sh start "$work/server" "$port" >"$work/server.log" 2>&1 ||
  fail "the test server did not start: $(cat "$work/server.log")"
cd "$work"
cli=$linux/src/cli/zarvex-cli
exe=$windows/dist/zarvex-cli.exe
site="Склад №3"
ca=$work/server/ca.crt
win_path() { printf 'Z:%s' "${1//\//\\}"; }

# The administrator, on Linux: the schema and two technicians of one branch.
export PGPASSFILE=$work/linux.pgpass
printf '127.0.0.1:%s:postgres:company_root:%s\n' "$port" "$(cat server/admin.password)" >"$PGPASSFILE"
chmod 600 "$PGPASSFILE"
admin="postgresql://company_root@127.0.0.1:$port/postgres?sslrootcert=$ca"
"$cli" team init "$admin" >init.log 2>&1 || fail "team init: $(cat init.log)"
# Ivan may see the codes, so what he receives is the whole file, its hash the same.
for who in olga ivan; do
  codes=$([ "$who" = ivan ] && echo --codes || true)
  echo "$who-password" | "$cli" team add-technician "$who" --branch Север --role technician --password-stdin \
    $codes --admin "$admin" --db admin.db >>init.log 2>&1 || fail "add-technician $who: $(cat init.log)"
done

# Olga's Linux laptop: the handed-over site, synced to the server.
"$cli" sites import "с-линукса.zxsite" --db "olga.db" >import.log 2>&1 || fail "import: $(cat import.log)"
echo olga-password | "$cli" team join "postgresql://olga@127.0.0.1:$port/postgres" --ca "$ca" --password-stdin \
  --db olga.db >join-linux.log 2>&1 || fail "Linux join: $(cat join-linux.log)"
"$cli" team sync --db olga.db >sync-linux.log 2>&1 || fail "Linux sync: $(cat sync-linux.log)"

# Ivan's Windows laptop: libpq's own password file under %APPDATA%.
unset PGPASSFILE
appdata=$("$wine" cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')
pgpass=$(sed 's|^C:|'"$WINEPREFIX"'/drive_c|; s|\\|/|g' <<<"$appdata")/postgresql/pgpass.conf
rm -f "$pgpass"
echo ivan-password | "$wine" "$exe" team join "postgresql://ivan@127.0.0.1:$port/postgres" --ca "$(win_path "$work/server/other-ca.crt")" \
  --password-stdin --db "windows.db" >join-wrong-ca.log 2>&1 && fail "Windows: a join with a CA that signed nothing was taken"
grep -q "certificate verify failed" join-wrong-ca.log || fail "Windows: the wrong CA was not told: $(cat join-wrong-ca.log)"
echo ivan-password | "$wine" "$exe" team join "postgresql://ivan@127.0.0.1:$port/postgres" --ca "$(win_path "$ca")" \
  --password-stdin --db "windows.db" >join-windows.log 2>&1 || fail "Windows join: $(cat join-windows.log)"
grep -q "^127.0.0.1:$port:postgres:ivan:ivan-password" "$pgpass" ||
  fail "Windows: the password is not where libpq looks for it ($pgpass)"
"$wine" "$exe" team sync --db "windows.db" >sync-windows.log 2>&1 || fail "Windows sync: $(cat sync-windows.log)"
"$wine" "$exe" sites show "$site" --json --db "windows.db" 2>&1 | tr -d '\r' >show-windows.json
"$cli" sites show "$site" --json --db olga.db >show-linux.json
strip() { sed -E 's/"(id|changed|created)": ("[^"]*"|[0-9]+)//g' "$1"; }
diff <(strip show-windows.json) <(strip show-linux.json) >show.diff ||
  fail "the Windows build shows the synced site differently: $(cat show.diff)"
# The snapshots' hashes name the Russian panel's file itself.
grep -q '"sha256": "e06c6882ee14c82cb4f7e8c80423796f96c8842a6f582b667205ceb567088ef1"' show-windows.json ||
  fail "Windows: the Russian panel's snapshot is not the file that was filed: $(cat show-windows.json)"

# An edit on Windows travels back.
"$wine" "$exe" sites resolve "$site" address "Винная ул., 12" --db "windows.db" >edit.log 2>&1 ||
  fail "Windows edit: $(cat edit.log)"
"$wine" "$exe" team status --json --db "windows.db" 2>&1 | tr -d '\r' >status-before.json
grep -q '"changes_waiting": 1' status-before.json || fail "Windows: the edit is not told as waiting: $(cat status-before.json)"
"$wine" "$exe" team sync --db "windows.db" >>sync-windows.log 2>&1 || fail "Windows sync back: $(cat sync-windows.log)"
"$wine" "$exe" team status --json --db "windows.db" 2>&1 | tr -d '\r' >status.json
/usr/lib/wine/wineserver -w
grep -q '"reachable": true' status.json && grep -q '"changes_waiting": 0' status.json ||
  fail "Windows status after the sync: $(cat status.json)"
export PGPASSFILE=$work/linux.pgpass
"$cli" team sync --db olga.db >>sync-linux.log 2>&1 || fail "Linux sync back: $(cat sync-linux.log)"
"$cli" sites show "$site" --json --db olga.db | grep -q '"address": "Винная ул., 12"' ||
  fail "the Windows edit did not reach the Linux laptop"
echo "team-roundtrip: Linux → server → Windows → server → Linux, the site, its Windows-1251 snapshots and an edit alike"
