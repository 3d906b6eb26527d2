#!/usr/bin/env bash
# Renders each of the seven pages of the main window to a PNG, without a
# display: bash scripts/render-pages.sh [output directory, default build/pages]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/pages}
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target render_pages
QT_QPA_PLATFORM=offscreen ./build/tests/ui/render_pages "$out"
