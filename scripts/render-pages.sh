#!/usr/bin/env bash
# Renders each of the seven pages of the main window to a PNG, without a
# display: bash scripts/render-pages.sh [output directory, default build-pages/pages]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build-pages/pages}
cmake -S . -B build-pages -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZARVEX_BUILD_TESTS=ON >/dev/null
cmake --build build-pages --target render_pages
QT_QPA_PLATFORM=offscreen ./build-pages/tests/ui/render_pages "$out"
