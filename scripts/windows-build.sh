#!/usr/bin/env bash
# Builds zarvex-settings.exe and zarvex-cli.exe for 64-bit Windows with
# mingw-w64, the cross-built static Qt (scripts/windows-qt.sh), SQLite
# (scripts/windows-sqlite.sh) and libpq.dll (scripts/windows-libpq.sh), runs the
# tests under Wine and Xvfb, and packs the installer and the portable zip.
#   bash scripts/windows-build.sh [--no-tests] [build directory, default build-windows]
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
tests=1
[ "${1:-}" = --no-tests ] && { tests=0; shift; }
build=$(realpath -m "${1:-build-windows}")
step() { echo "windows-build.sh: $1" >&2; }
trap 'echo "windows-build.sh: FAILED (see above)" >&2' ERR

qt=$(bash scripts/windows-qt.sh | tail -1)
sqlite=$(bash scripts/windows-sqlite.sh | tail -1)
libpq=$(bash scripts/windows-libpq.sh | tail -1)
step "configure ($qt, $sqlite, $libpq)"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" \
  -DZARVEX_WINDOWS_QT="$qt" -DCMAKE_PREFIX_PATH="$qt" -DQT_HOST_PATH=/usr \
  -DZARVEX_WINDOWS_SQLITE="$sqlite" -DZARVEX_WINDOWS_LIBPQ="$libpq" \
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$repo/cmake/wine-run.sh" >/dev/null
step "build"
cmake --build "$build" -j "$(nproc)"
step "strip the programs; debug information kept beside the build"
mkdir -p "$build/dist" "$build/debug"
for program in zarvex-settings zarvex-cli; do
  exe=$(find "$build/src" -name "$program.exe" | head -1)
  x86_64-w64-mingw32-objcopy --only-keep-debug "$exe" "$build/debug/$program.exe.debug"
  x86_64-w64-mingw32-strip -o "$build/dist/$program.exe" "$exe"
done
# The one DLL the programs need, beside them, with its licences.
cp "$libpq/bin/libpq.dll" "$libpq/LICENSE-PostgreSQL.txt" "$libpq/LICENSE-OpenSSL.txt" "$build/dist/"
step "installer and portable zip"
version=$(sed -n 's/^project(ZarvexSettings VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
makensis -V2 -DVERSION="$version" -DDIST="$build/dist" -DICON="$build/src/app/zarvex-settings.ico" \
  -DOUTFILE="$build/zarvex-settings-$version-setup.exe" packaging/windows/installer.nsi
(cd "$build/dist" && rm -f "../zarvex-settings-$version-portable.zip" &&
  zip -q -9 "../zarvex-settings-$version-portable.zip" zarvex-settings.exe zarvex-cli.exe libpq.dll \
    LICENSE-PostgreSQL.txt LICENSE-OpenSSL.txt)
ls -l "$build/dist" "$build"/zarvex-settings-"$version"-* | sed 's/^/  /' >&2
if [ "$tests" = 1 ]; then
  step "tests under Wine"
  export ZARVEX_WINE_PREFIX
  ZARVEX_WINE_PREFIX=$(bash scripts/wine-prefix.sh)
  xvfb-run -a -s "-screen 0 1280x1024x24" \
    ctest --test-dir "$build" --output-on-failure -j "$(nproc)" -LE kernel
  step "the installer under Wine"
  bash scripts/windows-installer-test.sh "$build"
  step "the window's start under Wine"
  bash scripts/windows-window-figure.sh "$build"
  step "the window and its dialogs under Wine, as screenshots in $build/dialogs"
  mkdir -p "$build/dialogs"
  (cd "$build" && export WINEPREFIX=$ZARVEX_WINE_PREFIX WINEDEBUG=-all WINEPATH="Z:${libpq//\//\\}\\bin" &&
    /usr/lib/wine/wineserver -w && xvfb-run -a -s "-screen 0 1280x1024x24" \
      /usr/lib/wine/wine64 tests/ui/render_dialogs.exe "Z:${build//\//\\}\\dialogs" >/dev/null &&
    /usr/lib/wine/wineserver -w)
fi
