#!/usr/bin/env bash
# Cross-builds SQLite for 64-bit Windows (a static library) from Debian's own
# sqlite3 source, once per machine, into a cache folder later runs reuse.
# Prints the folder's path on its last line.
#   ZARVEX_WINDOWS_SQLITE_CACHE  cache folder (default /var/tmp/zarvex-windows-sqlite)
set -euo pipefail
cd "$(dirname "$0")/.."
cache=${ZARVEX_WINDOWS_SQLITE_CACHE:-/var/tmp/zarvex-windows-sqlite}
prefix=$cache/sqlite
stamp=$prefix/.zarvex-complete
step() { current_step=$1; echo "windows-sqlite.sh: $1" >&2; }
trap 'echo "windows-sqlite.sh: FAILED at step: ${current_step:-start} (log: $cache/logs)" >&2' ERR
if [ -f "$stamp" ]; then echo "$prefix"; exit 0; fi

step "install the cross compiler and tclsh"
bash scripts/install-deps.sh windows
bash scripts/deb-src.sh

mkdir -p "$cache/src" "$cache/logs"
step "download sqlite3 source"
if ! compgen -G "$cache/src/sqlite3-*/" >/dev/null; then
  (cd "$cache/src" && apt-get source --download-only sqlite3 && dpkg-source -x sqlite3_*.dsc) \
    >"$cache/logs/fetch.log" 2>&1
fi
src=$(compgen -G "$cache/src/sqlite3-*/" | head -1)

step "make the amalgamation (sqlite3.c)"
rm -rf "$cache/build" "$prefix"
mkdir -p "$cache/build" "$prefix/include" "$prefix/lib"
(cd "$cache/build" && "$src/configure" --disable-tcl >/dev/null && make sqlite3.c sqlite3.h) \
  >"$cache/logs/amalgamation.log" 2>&1

step "compile for Windows"
# Threadsafe for the window and its reading thread; the same options as
# Debian's own library where they matter to us.
x86_64-w64-mingw32-gcc-posix -O2 -c "$cache/build/sqlite3.c" -o "$cache/build/sqlite3.o" \
  -DSQLITE_THREADSAFE=1 -DSQLITE_ENABLE_COLUMN_METADATA -DSQLITE_SECURE_DELETE \
  -DSQLITE_ENABLE_UNLOCK_NOTIFY -DSQLITE_DEFAULT_FOREIGN_KEYS=0 \
  >"$cache/logs/compile.log" 2>&1
x86_64-w64-mingw32-ar rcs "$prefix/lib/libsqlite3.a" "$cache/build/sqlite3.o"
cp "$cache/build/sqlite3.h" "$src/src/sqlite3ext.h" "$prefix/include/" 2>/dev/null ||
  cp "$cache/build/sqlite3.h" "$prefix/include/"
basename "$src" > "$prefix/VERSION"
touch "$stamp"
echo "$prefix"
