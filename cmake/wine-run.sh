#!/bin/sh
# Runs a Windows program of the build under Wine, in the tests' own prefix
# (scripts/wine-prefix.sh); CTest's emulator for the Windows build.
export WINEPREFIX="${ZARVEX_WINE_PREFIX:-/var/tmp/zarvex-wine}"
export WINEDEBUG="${WINEDEBUG:--all}"
# The first Wine program of a run starts the Wine server, which would keep
# that program's output pipe open for as long as it lives: CTest would then
# wait for the server, not the test, and time the test out. A server started
# here holds none of CTest's pipes; when one runs already this one just ends.
/usr/lib/wine/wineserver </dev/null >/dev/null 2>&1
# A program that reaches the server just as it shuts down (the last one
# ended a moment ago) is refused before it runs a line of its own
# ("wine client error: ... Connection reset by peer"): that, and only that,
# is tried once more.
err=$(mktemp)
trap 'rm -f "$err"' EXIT
for attempt in 1 2; do
  status=0
  /usr/lib/wine/wine64 "$@" 2>"$err" || status=$?
  if [ "$status" -ne 0 ] && [ "$attempt" = 1 ] && grep -q "^wine client error" "$err"; then
    /usr/lib/wine/wineserver </dev/null >/dev/null 2>&1
    continue
  fi
  cat "$err" >&2
  exit "$status"
done
