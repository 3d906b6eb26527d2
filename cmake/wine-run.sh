#!/bin/sh
# Runs a Windows program of the build under Wine, in the tests' own prefix
# (scripts/wine-prefix.sh); CTest's emulator for the Windows build.
export WINEPREFIX="${ZARVEX_WINE_PREFIX:-/var/tmp/zarvex-wine}"
export WINEDEBUG="${WINEDEBUG:--all}"
exec /usr/lib/wine/wine64 "$@"
