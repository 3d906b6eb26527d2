#!/usr/bin/env bash
# Cross-builds Qt 6 for 64-bit Windows (static, release) from Debian's own
# qt6-base source, once per machine, into a cache folder that
# later runs reuse. Prints the folder's path on its last line.
#   ZARVEX_WINDOWS_QT_CACHE  cache folder (default /var/tmp/zarvex-windows-qt)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
cache=${ZARVEX_WINDOWS_QT_CACHE:-/var/tmp/zarvex-windows-qt}
prefix=$cache/qt
stamp=$prefix/.zarvex-complete
jobs=$(nproc)

step() { current_step=$1; echo "windows-qt.sh: $1" >&2; }
trap 'echo "windows-qt.sh: FAILED at step: ${current_step:-start} (log: $cache/logs)" >&2' ERR

if [ -f "$stamp" ]; then
  echo "$prefix"; exit 0
fi


step "install the cross compiler and build tools"
bash scripts/install-deps.sh windows

step "enable Debian source packages"
bash scripts/deb-src.sh

mkdir -p "$cache/src" "$cache/logs"
fetch() {  # source package, folder glob
  if ! compgen -G "$cache/src/$2" >/dev/null; then
    (cd "$cache/src" && apt-get source --download-only "$1" && dpkg-source -x "$1"_*.dsc) \
      >"$cache/logs/fetch-$1.log" 2>&1
  fi
  compgen -G "$cache/src/$2" | head -1
}
step "download qt6-base source"
base_src=$(fetch qt6-base 'qt6-base-*/')

step "configure qtbase"
rm -rf "$cache/build-base" "$prefix"
mkdir -p "$cache/build-base"
start=$(date +%s)
(cd "$cache/build-base" && "$base_src/configure" \
  -prefix "$prefix" -release -static -static-runtime \
  -opensource -confirm-license -nomake examples -nomake tests \
  -xplatform win32-g++ -qt-host-path /usr \
  -no-opengl -no-dbus -no-icu -no-feature-network -no-feature-sql \
  -no-feature-tabletevent -no-feature-concurrent -no-feature-xml \
  -qt-zlib -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz -qt-pcre \
  -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" \
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake) \
  >"$cache/logs/configure-base.log" 2>&1
configured=$(date +%s)
step "build qtbase"
cmake --build "$cache/build-base" -j "$jobs" >"$cache/logs/build-base.log" 2>&1
built=$(date +%s)
step "install qtbase"
cmake --install "$cache/build-base" >"$cache/logs/install-base.log" 2>&1

done_at=$(date +%s)

{
  echo "configure $((configured - start)) s"
  echo "build qtbase $((built - configured)) s"
  echo "install $((done_at - built)) s"
  du -sh "$prefix" | cut -f1 | sed 's/^/installed /'
} | tee "$cache/figures.txt" >&2
touch "$stamp"
echo "$prefix"
